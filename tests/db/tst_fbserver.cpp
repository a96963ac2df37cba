// Against a real Firebird server: the packaged server on 127.0.0.1 with its own configuration,
// security database, lock folder and a free port, talked to over TCP the way the demo does
// with "host/port:path".
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "FbWorker.h"
#include "support/FbTestDb.h"

#include "support/FbTestServer.h"

#include <QSignalSpy>
#include <QtTest>

class TestFbServer : public QObject {
  Q_OBJECT

  TTestServer m_server;

  void Setup(TFbDatabase& db, const QString& file,
             const QString& password = TTestServer::Password) {
    db.SetSettings(m_server.Settings(file, password));
  }

private slots:
  void initTestCase() {
    const QString error = m_server.Start();
    QVERIFY2(error.isEmpty(), qPrintable(error));
  }

  void createListAndFetchOverTcp() {
    TFbDatabase db;
    Setup(db, "remote.fdb");
    db.CreateDatabase("UTF8");
    QVERIFY(db.Connected());
    QCOMPARE(db.DatabaseSQLDialect(), 3);
    TFbQuery query(&db);
    for (const char* sql : {"create table PEOPLE (ID integer not null primary key, NAME "
                            "varchar(30), BORN date, SALARY numeric(12,2))",
                            "create view RICH as select * from PEOPLE where SALARY > 1000",
                            "create table \"Mixed Case\" (\"Value\" integer)"}) {
      query.SetSQL(sql);
      query.ExecSQL();
      db.DefaultTransaction().Commit();
    }
    query.SetSQL("execute block as declare i integer = 1; begin while (i <= 3000) do begin "
                 "insert into PEOPLE values (:i, 'Person ' || :i || ' ü', dateadd(:i day to date "
                 "'2000-01-01'), "
                 ":i * -1.5); i = i + 1; end end");
    query.ExecSQL();
    db.DefaultTransaction().Commit();
    db.Disconnect();

    db.Connect();
    QStringList tables = db.TableNames(false);
    tables.sort();
    QCOMPARE(tables, QStringList({"Mixed Case", "PEOPLE"}));
    QVERIFY(db.TableNames(true).contains("RDB$RELATIONS"));

    query.OpenTableFields("Mixed Case");
    QCOMPARE(query.FieldName(0), QStringLiteral("Value"));
    QCOMPARE(query.FieldType(0), int(ftInteger));

    const QList<QStringList> rows = FetchAllText(db, "select * from PEOPLE order by ID");
    QCOMPARE(rows.size(), 3000);
    QCOMPARE(rows[0][1], QStringLiteral("Person 1 ü"));
    QCOMPARE(rows[2999], QStringList({"3000", "Person 3000 ü", "2008-03-19", "-4500.00"}));
    db.Disconnect();
  }

  void wrongPasswordGivesServerMessage() {
    TFbDatabase db;
    Setup(db, "remote.fdb", "not-the-password");
    QString message;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.contains("user name and password are not defined"), qPrintable(message));
    QVERIFY(!message.contains("not-the-password"));
    QVERIFY(!db.Connected());
    db.SetParam("password", TTestServer::Password);
    db.Connect();
    QCOMPARE(db.TableNames(false).size(), 2);
  }

  void missingFileOnTheServer() {
    TFbDatabase db;
    Setup(db, "absent.fdb");
    QString message;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.contains("absent.fdb"), qPrintable(message));
    QVERIFY(!db.Connected());
  }

  void noServerOnThePort() {
    TFbDatabase db;
    // A port nobody listens on: the server's, while it is stopped.
    m_server.Stop();
    Setup(db, "nowhere.fdb");
    QString message;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.contains("Unable to complete network request"), qPrintable(message));
    QVERIFY(!db.Connected());
    QCOMPARE(m_server.Start(), QString());
  }

  void cancelsOverTcpAtOnce() {
    TFbDatabase db;
    Setup(db, "remote.fdb");
    QCOMPARE(CancelsAtOnce(db.Settings()), QString());
  }

  // The server is killed while rows are fetched and started again.
  void lostConnectionIsToldOnceAndReconnects() {
    TFbDatabase db;
    Setup(db, "remote.fdb");
    db.Connect();
    // An error before the loss: the client library would repeat it on the first call after.
    TFbQuery failing(&db);
    failing.SetSQL("select X from NO_SUCH_TABLE");
    QVERIFY_THROWS_EXCEPTION(EFbError, failing.Open());
    TFbStatementRunner runner;
    TFbResultModel model(&runner);
    const auto idle = [&] { return QTest::qWaitFor([&] { return !model.Busy(); }, 30000); };
    QSignalSpy lost(&runner, &TFbStatementRunner::ConnectionLost);
    model.Execute(db.Settings(), "select ID from PEOPLE");
    QVERIFY(idle());
    m_server.Kill();
    model.FetchAll();
    QVERIFY(idle());
    QCOMPARE(runner.State(), TFbStatementRunner::rsFailed);
    QVERIFY(runner.ConnectionWasLost());
    QCOMPARE(lost.count(), 1);
    // The rows fetched stay (with those the client library had buffered).
    QVERIFY(model.rowCount() >= 256 && model.rowCount() < 3000);
    QVERIFY2(model.StatusText().startsWith(
                 QStringLiteral("Failed after %L1 rows: Error").arg(model.rowCount())),
             qPrintable(model.StatusText()));

    QString message;
    try {
      db.TableNames(false);
    } catch (const EFbError& error) {
      message = error.Message();
      QVERIFY(error.ConnectionLost());
    }
    QVERIFY2(message.contains("connection") && !message.contains("NO_SUCH_TABLE"),
             qPrintable(message));
    QVERIFY(db.Lost());
    QVERIFY(!db.Connected());
    QVERIFY(db.Settings().DatabaseName.endsWith("remote.fdb"));

    QCOMPARE(m_server.Start(), QString());
    db.Connect();
    QVERIFY(!db.Lost());
    QCOMPARE(db.TableNames(false).size(), 2);
    model.Execute(db.Settings(), "select count(*) from PEOPLE");
    QVERIFY(idle());
    QCOMPARE(model.Text(0, 0), QStringLiteral("3000"));
  }

  // Last: a server that stops answering (SIGSTOP) is given up on.
  void silentServerIsCutOffAndConnectTimesOut() {
    TFbDatabase db;
    Setup(db, "remote.fdb");
    TFbStatementRunner runner;
    runner.Worker().SetAbortAfter(500);
    TFbResultModel model(&runner);
    model.Execute(db.Settings(), CountingStatement());
    QTest::qWait(500);
    QVERIFY2(model.Busy(), qPrintable(model.StatusText()));
    m_server.Pause(true);
    QElapsedTimer clock;
    clock.start();
    model.Cancel();
    QVERIFY(QTest::qWaitFor([&] { return !model.Busy(); }, 10000));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(runner.ConnectionWasLost());
    QCOMPARE(runner.State(), TFbStatementRunner::rsCancelled);

    db.SetParam("connect_timeout", "2");
    clock.restart();
    QString message;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.startsWith("The server did not answer within 2 seconds."),
             qPrintable(message));
    QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    m_server.Pause(false);
  }
};

QTEST_GUILESS_MAIN(TestFbServer)
#include "tst_fbserver.moc"
