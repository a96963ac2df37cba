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

// The values of every row of a statement as display text, one QStringList per row.
QList<QStringList> FetchAllText(TFbDatabase& db, const QString& sql);
