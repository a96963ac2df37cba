#pragma once

// The command line of the demo: an optional database to connect to at start, its credentials,
// a statement to open, and the picture and timing modes used for documentation and checks.

#include <QSize>
#include <QString>
#include <QStringList>

class TfmMain;

class TDemoOptions {
public:
  enum TResult { orRun, orExit, orError };

  // Reads the arguments (the program name first). orExit with `message` the help text, orError
  // with `message` saying what is wrong.
  TResult Parse(const QStringList& arguments, QString& message);

  // Connects when a database was given and opens the statement, on the chosen page. Errors go
  // to the standard error box; what follows them still runs.
  void Apply(TfmMain& window) const;
  // Renders the window to the PNG file; false when it could not be written.
  static bool WriteScreenshot(TfmMain& window, const QString& path);

  QString Database;
  QString User;
  QString Password;
  QString Role;
  QString Charset;
  int Dialect = 0; // 0: the window's default
  QString Sql;
  bool HasSql = false;
  QString SqlFile;
  QString Screenshot;
  QString Page; // builder, sql or result; empty: builder
  QSize Size;
  bool StartupTime = false;
};
