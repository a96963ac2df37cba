// Against a real Firebird server: this test starts the packaged server on 127.0.0.1 with its own
// configuration, security database, lock folder and a free port, adds a user, and talks to it
// over TCP the way the demo does with "host/port:path".
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const QString ServerProgram = QStringLiteral("/usr/sbin/firebird");
const QString PackagedSecurityDb = QStringLiteral("/var/lib/firebird/3.0/system/security3.fdb");
const QString UserName = QStringLiteral("KVTEST");
const QString Password = QStringLiteral("Kv-t3st-pw");

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(quint16(port));
  const bool ok =
      fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}
} // namespace

class TestFbServer : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QProcess m_server;
  int m_port = 0;

  QProcessEnvironment ServerEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FIREBIRD", m_dir.path());
    env.insert("FIREBIRD_LOCK", m_dir.filePath("lock"));
    env.insert("FIREBIRD_TMP", m_dir.path());
    env.remove("ISC_USER");
    env.remove("ISC_PASSWORD");
    return env;
  }

  QString Remote(const QString& file) const {
    return QStringLiteral("127.0.0.1/%1:%2").arg(m_port).arg(m_dir.filePath(file));
  }

  void Setup(TFbDatabase& db, const QString& file, const QString& password = Password) {
    db.SetDatabaseName(Remote(file));
    db.SetParams({"user_name=" + UserName, "password=" + password, "lc_ctype=UTF8"});
  }

  void StopServer() {
    if (m_server.state() == QProcess::NotRunning) return;
    m_server.terminate();
    if (!m_server.waitForFinished(15000)) {
      m_server.kill();
      m_server.waitForFinished(5000);
    }
  }

private slots:
  void initTestCase() {
    QVERIFY2(QFile::exists(ServerProgram),
             "The Firebird server is missing: install package firebird3.0-server.");
    QVERIFY2(QFile::exists(PackagedSecurityDb),
             "The packaged security database is missing (firebird3.0-server).");
    QVERIFY(m_dir.isValid());
    m_port = FreePort();
    QVERIFY(m_port > 0);

    // The server reads firebird.conf from $FIREBIRD; plugins and messages stay where the
    // package put them.
    QVERIFY(QFile::copy(PackagedSecurityDb, m_dir.filePath("security3.fdb")));
    QFile::setPermissions(m_dir.filePath("security3.fdb"), QFile::ReadOwner | QFile::WriteOwner);
    QFile conf(m_dir.filePath("firebird.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral(
                   "RemoteServicePort = %1\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = %2\n")
                   .arg(m_port)
                   .arg(m_dir.filePath("security3.fdb"))
                   .toUtf8());
    conf.close();

    // The user is made in the private security database through the embedded engine, before
    // the server holds it.
    QProcess isql;
    isql.setProcessEnvironment(ServerEnvironment());
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start("isql-fb", {"-q", "-user", "SYSDBA", m_dir.filePath("security3.fdb")});
    QVERIFY2(isql.waitForStarted(), "isql-fb (firebird3.0-utils) cannot be started.");
    isql.write(QStringLiteral("create user %1 password '%2' using plugin Srp;\n"
                              "grant create database to user %1;\ncommit;\nexit;\n")
                   .arg(UserName, Password)
                   .toUtf8());
    isql.closeWriteChannel();
    QVERIFY(isql.waitForFinished(60000));
    const QByteArray isqlOutput = isql.readAll();
    QVERIFY2(isql.exitCode() == 0 && !isqlOutput.contains("failed"), isqlOutput.constData());

    m_server.setProcessEnvironment(ServerEnvironment());
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start(ServerProgram, {});
    QVERIFY2(m_server.waitForStarted(), qPrintable(m_server.errorString()));
    QDeadlineTimer deadline(20000);
    while (!Accepts(m_port)) {
      if (m_server.state() == QProcess::NotRunning || deadline.hasExpired()) {
        const QByteArray output = m_server.readAll();
        QFAIL(qPrintable("The server did not start listening: " + QString::fromLocal8Bit(output)));
      }
      QThread::msleep(50);
    }
  }

  void cleanupTestCase() { StopServer(); }

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

    TFbResultModel model(&query);
    query.SetSQL("select * from PEOPLE order by ID");
    query.Open();
    QCOMPARE(model.rowCount(), model.BatchSize());
    QCOMPARE(model.Text(0, 1), QStringLiteral("Person 1 ü"));
    model.Last();
    QCOMPARE(model.rowCount(), 3000);
    QCOMPARE(model.Text(2999, 0), QStringLiteral("3000"));
    QCOMPARE(model.Text(2999, 2), QStringLiteral("2008-03-19"));
    QCOMPARE(model.Text(2999, 3), QStringLiteral("-4500.00"));
    query.Close();
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
    db.SetParam("password", Password);
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
    db.SetDatabaseName(QStringLiteral("127.0.0.1/%1:/nowhere.fdb").arg(FreePort()));
    db.SetParams({"user_name=" + UserName, "password=" + Password});
    QString message;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.contains("Unable to complete network request"), qPrintable(message));
    QVERIFY(!db.Connected());
  }

  // Last: stops the server under an open connection.
  void lostConnectionIsReportedNotFatal() {
    TFbDatabase db;
    Setup(db, "remote.fdb");
    db.Connect();
    TFbQuery query(&db);
    query.SetSQL("select ID from PEOPLE");
    query.Open();
    int disconnects = 0;
    db.AfterDisconnect = [&](TFbDatabase*) { ++disconnects; };
    StopServer();
    QVERIFY_THROWS_EXCEPTION(EFbError, {
      while (query.Next()) {
      }
    });
    TFbQuery other(&db);
    other.SetSQL("select 1 from rdb$database");
    QVERIFY_THROWS_EXCEPTION(EFbError, other.Open());
    try {
      db.Disconnect();
    } catch (const EFbError&) {
      // The commit could not reach the server; the object is disconnected all the same.
    }
    QVERIFY(!db.Connected());
    QVERIFY(!query.IsOpen());
    QCOMPARE(disconnects, 1);
  }
};

QTEST_GUILESS_MAIN(TestFbServer)
#include "tst_fbserver.moc"
