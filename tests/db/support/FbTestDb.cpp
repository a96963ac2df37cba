#include "FbTestDb.h"

#include "FbResultModel.h"
#include "FbStatementRunner.h"

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

QString CountingStatement() {
  return QStringLiteral("with recursive N (I) as (select 1 from rdb$database union all "
                        "select I + 1 from N where I < 1000) "
                        "select count(*) from N A, N B, N C where C.I <= 100");
}

QString CancelsAtOnce(const TFbSettings& settings) {
  TFbStatementRunner runner;
  TFbResultModel model(&runner);
  const auto idle = [&] { return QTest::qWaitFor([&] { return !model.Busy(); }, 60000); };
  model.Execute(settings, QStringLiteral("select 1 from rdb$database")); // connects
  if (!idle()) return QStringLiteral("no connection");
  model.Execute(settings, CountingStatement());
  QElapsedTimer clock;
  clock.start();
  qint64 widestGap = 0, last = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    widestGap = std::max(widestGap, clock.elapsed() - last);
    last = clock.elapsed();
  });
  ticker.start(10);
  QTest::qWait(700);
  ticker.stop();
  if (!model.Busy()) return QStringLiteral("the statement ended by itself: ") + model.StatusText();
  if (widestGap > 250) return QStringLiteral("the event loop stood still for %1 ms").arg(widestGap);
  clock.restart();
  model.Cancel();
  if (!idle()) return QStringLiteral("not cancelled");
  if (clock.elapsed() > 1000) return QStringLiteral("cancelled after %1 ms").arg(clock.elapsed());
  if (model.StatusText() != QLatin1String("Cancelled after 0 rows") || runner.ConnectionWasLost())
    return model.StatusText();
  model.Execute(settings, QStringLiteral("select count(*) from rdb$database"));
  if (!idle() || model.Text(0, 0) != QLatin1String("1")) return model.StatusText();
  return QString();
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
