#include "FbTestDb.h"

#include <QtTest>

TTestDb::TTestDb(int dialect, const QString& defaultCharset, const QString& connectionCharset)
    : m_db(std::make_unique<TFbDatabase>()) {
  if (!m_dir.isValid()) qFatal("no temporary folder");
  m_path = m_dir.filePath(QStringLiteral("test.fdb"));
  m_db->SetDatabaseName(m_path);
  m_db->SetParam(QStringLiteral("user_name"), QStringLiteral("SYSDBA"));
  m_db->SetParam(QStringLiteral("lc_ctype"), connectionCharset);
  m_db->SetSQLDialect(dialect);
  m_db->CreateDatabase(defaultCharset);
}

TTestDb::~TTestDb() {
  try {
    m_db->Disconnect();
  } catch (...) {
  }
}

void TTestDb::Exec(const QString& sql) {
  TFbQuery query(m_db.get());
  query.SetSQL(sql);
  query.ExecSQL();
  m_db->DefaultTransaction().Commit();
}

void TTestDb::ExecAll(const QStringList& statements) {
  for (const QString& sql : statements)
    Exec(sql);
}

void TTestDb::Reconnect(const QString& connectionCharset) {
  m_db->Disconnect();
  m_db->SetParam(QStringLiteral("lc_ctype"), connectionCharset);
  m_db->Connect();
}

QList<QStringList> FetchAllText(TFbDatabase& db, const QString& sql) {
  TFbQuery query(&db);
  query.SetSQL(sql);
  query.Open();
  QList<QStringList> rows;
  while (query.Next()) {
    QStringList row;
    for (int i = 0; i < query.FieldCount(); ++i)
      row.append(query.Text(i));
    rows.append(row);
  }
  return rows;
}
