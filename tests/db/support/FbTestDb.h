#pragma once

#include "FbDatabase.h"
#include "FbQuery.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A throw-away database in its own temporary folder, created through the embedded engine and
// left connected. Statements run through Exec are committed at once.
class TTestDb {
public:
  explicit TTestDb(int dialect = 3, const QString& defaultCharset = QStringLiteral("UTF8"),
                   const QString& connectionCharset = QStringLiteral("UTF8"));
  ~TTestDb();

  QString Path() const { return m_path; }
  QString Folder() const { return m_dir.path(); }
  TFbDatabase& Db() { return *m_db; }

  void Exec(const QString& sql);
  void ExecAll(const QStringList& statements);
  // Reconnects with the given connection character set ("" for none).
  void Reconnect(const QString& connectionCharset);

private:
  QTemporaryDir m_dir;
  QString m_path;
  std::unique_ptr<TFbDatabase> m_db;
};

// A statement that counts 10^8 rows: it runs far longer than any test waits for it.
QString CountingStatement();

// Runs CountingStatement in the background on a connection made with `settings`, checks that
// the event loop keeps turning meanwhile, cancels it, and checks that it stopped within a
// second and that the next statement runs. Empty when so, else what went wrong.
QString CancelsAtOnce(const TFbSettings& settings);

// The values of every row of a statement as display text, one QStringList per row.
QList<QStringList> FetchAllText(TFbDatabase& db, const QString& sql);
