// Connection settings, connect/disconnect, table listing, metadata query and error handling.
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "support/FbTestDb.h"

#include <QtTest>

namespace {
// Runs `action`, which must raise EFbError, and returns the message.
template <typename F>
QString ErrorOf(F action) {
  try {
    action();
  } catch (const EFbError& error) {
    return error.Message();
  }
  return QString();
}

QStringList Sorted(QStringList list) {
  list.sort();
  return list;
}
} // namespace

class TestFbDatabase : public QObject {
  Q_OBJECT

private slots:
  void paramsAreNameValueLines() {
    TFbDatabase db;
    QVERIFY(db.Params().isEmpty());
    db.SetParams({"user_name=sysdba", "password=blueorbit"});
    QCOMPARE(db.Param("user_name"), QStringLiteral("sysdba"));
    QCOMPARE(db.Param("USER_NAME"), QStringLiteral("sysdba"));
    QCOMPARE(db.Param("isc_dpb_password"), QStringLiteral("blueorbit"));
    QCOMPARE(db.Param("sql_role"), QString());

    db.SetParam("user_name", "ADMIN");
    db.SetParam("sql_role", "READER");
    db.SetParam("lc_ctype", "WIN1251");
    QCOMPARE(db.Params(), QStringList({"user_name=ADMIN", "password=blueorbit", "sql_role=READER",
                                       "lc_ctype=WIN1251"}));
    QCOMPARE(db.Param("sql_role_name"), QStringLiteral("READER"));

    // An empty value removes the line, duplicates included.
    db.SetParams({"lc_ctype=UTF8", "user_name=A", "LC_CTYPE=WIN1252"});
    db.SetParam("lc_ctype", QString());
    QCOMPARE(db.Params(), QStringList({"user_name=A"}));
    db.SetParam("sql_role", QString());
    QCOMPARE(db.Params(), QStringList({"user_name=A"}));
    // A value may itself contain '='.
    db.SetParam("password", "a=b");
    QCOMPARE(db.Param("password"), QStringLiteral("a=b"));
  }

  void dialectSetting() {
    TFbDatabase db;
    QCOMPARE(db.SQLDialect(), 3);
    db.SetSQLDialect(1);
    QCOMPARE(db.SQLDialect(), 1);
    QVERIFY(!ErrorOf([&] { db.SetSQLDialect(4); }).isEmpty());
    QVERIFY(!ErrorOf([&] { db.SetSQLDialect(0); }).isEmpty());
    QCOMPARE(db.SQLDialect(), 1);
  }

  void quoteTableName() {
    QCOMPARE(QuoteTableName("EMPLOYEE", 3), QStringLiteral("\"EMPLOYEE\""));
    QCOMPARE(QuoteTableName("lower case", 3), QStringLiteral("\"lower case\""));
    QCOMPARE(QuoteTableName("a\"b", 3), QStringLiteral("\"a\"\"b\""));
    QCOMPARE(QuoteTableName("a\"b", 2), QStringLiteral("\"a\"\"b\""));
    QCOMPARE(QuoteTableName("Employee", 1), QStringLiteral("Employee"));
    QCOMPARE(TableFieldsSql("T", 3), QStringLiteral("SELECT * FROM \"T\" WHERE 0 = 1"));
    QCOMPARE(TableFieldsSql("T", 1), QStringLiteral("SELECT * FROM T WHERE 0 = 1"));
  }

  void connectAndDisconnectNotify() {
    TTestDb t;
    TFbDatabase& db = t.Db();
    db.Disconnect();
    QStringList events;
    db.AfterConnect = [&](TFbDatabase* sender) {
      QCOMPARE(sender, &db);
      QVERIFY(sender->Connected());
      events << "connect";
    };
    db.AfterDisconnect = [&](TFbDatabase* sender) {
      QVERIFY(!sender->Connected());
      // The main window clears the name from here.
      sender->SetDatabaseName(QString());
      events << "disconnect";
    };
    db.SetConnected(true);
    QVERIFY(db.Connected());
    QCOMPARE(db.DatabaseSQLDialect(), 3);
    db.Connect(); // already connected: nothing happens
    db.SetConnected(false);
    QVERIFY(!db.Connected());
    QCOMPARE(db.DatabaseName(), QString());
    db.Disconnect();
    QCOMPARE(events, QStringList({"connect", "disconnect"}));
  }

  void databaseNameIsFixedWhileConnected() {
    TTestDb t;
    QVERIFY(ErrorOf([&] { t.Db().SetDatabaseName("/elsewhere.fdb"); }).contains("disconnect"));
    QCOMPARE(t.Db().DatabaseName(), t.Path());
    t.Db().SetDatabaseName(t.Path()); // the same name is fine
  }

  void wrongPathGivesServerMessageAndStaysUsable() {
    QTemporaryDir dir;
    TFbDatabase db;
    bool notified = false;
    db.AfterConnect = [&](TFbDatabase*) { notified = true; };
    const QString missing = dir.filePath("no-such.fdb");
    db.SetDatabaseName(missing);
    db.SetParams({"user_name=SYSDBA", "password=Sup3rSecretPw"});
    QString message;
    qint64 code = 0;
    try {
      db.Connect();
    } catch (const EFbError& error) {
      message = error.Message();
      code = error.ErrorCode();
    }
    QVERIFY2(message.contains("I/O error") && message.contains(missing), qPrintable(message));
    QVERIFY(code != 0);
    QVERIFY(!message.contains("Sup3rSecretPw"));
    QVERIFY(!db.Connected());
    QVERIFY(!notified);

    // The same object connects once the name is right.
    TTestDb t;
    t.Db().Disconnect();
    db.SetDatabaseName(t.Path());
    db.Connect();
    QVERIFY(db.Connected());
    QVERIFY(notified);
    QCOMPARE(db.TableNames(false), QStringList());
  }

  void refusedSettingsNeverShowValues() {
    TFbDatabase db;
    QVERIFY(ErrorOf([&] { db.Connect(); }).contains("No database"));
    QTemporaryDir dir;
    db.SetDatabaseName(dir.filePath("x.fdb"));
    db.SetParams({"user_name=SYSDBA", "pasword=Sup3rSecretPw"});
    const QString message = ErrorOf([&] { db.Connect(); });
    QVERIFY2(message.contains("pasword"), qPrintable(message));
    QVERIFY(!message.contains("Sup3rSecretPw"));
    QVERIFY(!db.Connected());
  }

  void tableListing() {
    TTestDb t;
    QCOMPARE(t.Db().TableNames(false), QStringList());
    const QStringList system = t.Db().TableNames(true);
    QVERIFY(system.contains("RDB$RELATIONS"));
    QVERIFY(system.contains("RDB$DATABASE"));
    for (const QString& name : system)
      QVERIFY2(!name.endsWith(' '), qPrintable(name));

    t.ExecAll({"create table T1 (A integer)", "create table \"lower case\" (\"Id\" integer)",
               "create table \"Z \"\"q\"\"\" (X integer)", "create view V1 as select A from T1"});
    QCOMPARE(Sorted(t.Db().TableNames(false)), QStringList({"T1", "Z \"q\"", "lower case"}));
    const QStringList all = t.Db().TableNames(true);
    QVERIFY(all.contains("T1") && all.contains("RDB$RELATIONS"));
    QVERIFY(!all.contains("V1"));
    QCOMPARE(all.size(), system.size() + 3);
    // The listing ends its transaction.
    QVERIFY(!t.Db().DefaultTransaction().Active());

    // GetTableNames replaces the list's contents.
    QStringList list = {"stale"};
    t.Db().GetTableNames(list, false);
    QCOMPARE(Sorted(list), QStringList({"T1", "Z \"q\"", "lower case"}));
  }

  void tableListingConnectsFirst() {
    TTestDb t;
    t.Exec("create table ONLY_ONE (A integer)");
    t.Db().Disconnect();
    int connects = 0;
    t.Db().AfterConnect = [&](TFbDatabase*) { ++connects; };
    QCOMPARE(t.Db().TableNames(false), QStringList({"ONLY_ONE"}));
    QVERIFY(t.Db().Connected());
    QCOMPARE(connects, 1);
  }

  void tableListingKeepsOpenQueries() {
    TTestDb t;
    t.ExecAll(
        {"create table T (A integer)", "insert into T values (1)", "insert into T values (2)"});
    TFbQuery query(&t.Db());
    query.SetSQL("select A from T order by A");
    query.Open();
    QVERIFY(query.Next());
    QCOMPARE(t.Db().TableNames(false), QStringList({"T"}));
    QVERIFY(query.IsOpen());
    QVERIFY(query.Next());
    QCOMPARE(query.Text(0), QStringLiteral("2"));
  }

  void metadataQueryFindsQuotedNames() {
    TTestDb t;
    t.ExecAll(
        {"create table \"lower case\" (\"Id\" integer, \"name\" varchar(10), AMOUNT numeric(10,2))",
         "create table \"a\"\"b\" (X smallint)", "insert into \"lower case\" values (1, 'x', 2)"});
    TFbQuery query(&t.Db());
    query.OpenTableFields("lower case");
    QCOMPARE(query.SQL(), QStringLiteral("SELECT * FROM \"lower case\" WHERE 0 = 1"));
    QVERIFY(query.IsOpen());
    const TKvDataSet& set = query;
    QCOMPARE(set.FieldCount(), 3);
    QCOMPARE(set.FieldName(0), QStringLiteral("Id"));
    QCOMPARE(set.FieldType(0), int(ftInteger));
    QCOMPARE(set.FieldName(1), QStringLiteral("name"));
    QCOMPARE(set.FieldType(1), int(ftString));
    QCOMPARE(set.FieldName(2), QStringLiteral("AMOUNT"));
    QCOMPARE(set.FieldType(2), int(ftBCD));
    QCOMPARE(set.FieldName(3), QString());
    QVERIFY(!query.Next()); // no rows, only columns
    QCOMPARE(query.FieldIndex("name"), 1);

    query.OpenTableFields("a\"b");
    QCOMPARE(query.FieldCount(), 1);
    QCOMPARE(query.FieldType(0), int(ftSmallint));
    query.Close();
    QCOMPARE(query.FieldCount(), 0);
  }

  void missingTableGivesServerMessage() {
    TTestDb t;
    TFbQuery query(&t.Db());
    const QString message = ErrorOf([&] { query.OpenTableFields("NO_SUCH_TABLE"); });
    QVERIFY2(message.contains("Table unknown") && message.contains("NO_SUCH_TABLE"),
             qPrintable(message));
    QVERIFY(!query.IsOpen());
    QVERIFY(t.Db().Connected());
  }

  void statementErrorThenSuccess() {
    TTestDb t;
    t.ExecAll({"create table T (A integer)", "insert into T values (41)"});
    TFbQuery query(&t.Db());
    query.SetSQL("selec A from T");
    qint64 code = 0;
    QString message;
    try {
      query.Open();
    } catch (const EFbError& error) {
      message = error.Message();
      code = error.ErrorCode();
    }
    QVERIFY2(message.contains("Token unknown"), qPrintable(message));
    QVERIFY(code != 0);
    QVERIFY(!query.IsOpen());
    // Same connection, same transaction, same query object.
    query.SetSQL("select A + 1 from T");
    query.Open();
    QVERIFY(query.Next());
    QCOMPARE(query.Text(0), QStringLiteral("42"));
    // An error while fetching does not break the connection either.
    query.SetSQL("select 1 / (A - 41) from T");
    QVERIFY(ErrorOf([&] { query.Open(); }).contains("divide by zero"));
    QCOMPARE(FetchAllText(t.Db(), "select count(*) from T").value(0), QStringList({"1"}));
  }

  void onlyRowReturningStatementsOpen() {
    TTestDb t;
    t.ExecAll({"create table T (A integer)", "insert into T values (1)"});
    TFbQuery query(&t.Db());
    query.SetSQL("delete from T");
    QVERIFY(ErrorOf([&] { query.Open(); }).contains("not run"));
    query.SetSQL("select A from T where A = ?");
    QVERIFY(ErrorOf([&] { query.Open(); }).contains("parameter"));
    query.SetSQL("   ");
    QVERIFY(!ErrorOf([&] { query.Open(); }).isEmpty());
    // The refused DELETE did not run.
    QCOMPARE(FetchAllText(t.Db(), "select count(*) from T").value(0), QStringList({"1"}));
    // A statement as a script or file ends it: the server takes the terminator.
    QCOMPARE(FetchAllText(t.Db(), "select A from T ;\n").value(0), QStringList({"1"}));
    // Selectable statements beyond plain SELECT.
    QCOMPARE(FetchAllText(t.Db(), "select A from T with lock").value(0), QStringList({"1"}));
    QCOMPARE(FetchAllText(t.Db(), "execute block returns (X integer) as begin X = 5; suspend; end")
                 .value(0),
             QStringList({"5"}));
  }

  void queryNeedsAConnection() {
    TFbDatabase db;
    TFbQuery query(&db);
    query.SetSQL("select 1 from rdb$database");
    QVERIFY(ErrorOf([&] { query.Open(); }).contains("Not connected"));
    TFbQuery orphan;
    orphan.SetSQL("select 1 from rdb$database");
    QVERIFY(ErrorOf([&] { orphan.Open(); }).contains("Not connected"));
    QVERIFY(!orphan.Next());
  }

  void disconnectClosesQueriesAndCommits() {
    TTestDb t;
    t.Exec("create table T (A integer)");
    TFbQuery writer(&t.Db());
    writer.SetSQL("insert into T values (7)");
    writer.ExecSQL(); // left uncommitted on purpose
    TFbQuery reader(&t.Db());
    int closing = 0;
    connect(&reader, &TFbQuery::BeforeClose, this, [&] { ++closing; });
    reader.SetSQL("select A from T");
    reader.Open();
    t.Db().Disconnect();
    QVERIFY(!reader.IsOpen());
    QCOMPARE(closing, 1);
    t.Db().Connect();
    QCOMPARE(FetchAllText(t.Db(), "select A from T"), QList<QStringList>({{"7"}}));
  }

  void commitClosesQueriesRollbackUndoes() {
    TTestDb t;
    t.Exec("create table T (A integer)");
    TFbQuery query(&t.Db());
    query.SetSQL("insert into T values (1)");
    query.ExecSQL();
    t.Db().DefaultTransaction().Rollback();
    QCOMPARE(FetchAllText(t.Db(), "select count(*) from T").value(0), QStringList({"0"}));
    query.SetSQL("select count(*) from T");
    query.Open();
    t.Db().DefaultTransaction().Commit();
    QVERIFY(!query.IsOpen());
    QVERIFY(!t.Db().DefaultTransaction().Active());
    QVERIFY(!ErrorOf([&] {
               TFbTransaction& tr = t.Db().DefaultTransaction();
               tr.Start();
               tr.Start();
             }).isEmpty());
  }

  void dialect1Database() {
    TTestDb t(1);
    t.ExecAll({"create table Plain (Id integer, Born date)",
               "insert into Plain values (1, '2001-02-03')"});
    t.Db().Disconnect();
    // A connection asking for dialect 3 gets the database's dialect.
    t.Db().SetSQLDialect(3);
    t.Db().Connect();
    QCOMPARE(t.Db().DatabaseSQLDialect(), 1);
    QCOMPARE(t.Db().SQLDialect(), 1);
    QVERIFY(!ErrorOf([&] { t.Db().SetSQLDialect(3); }).isEmpty());
    QCOMPARE(t.Db().TableNames(false), QStringList({"PLAIN"}));
    TFbQuery query(&t.Db());
    query.OpenTableFields("PLAIN");
    QCOMPARE(query.SQL(), QStringLiteral("SELECT * FROM PLAIN WHERE 0 = 1"));
    QCOMPARE(query.FieldName(1), QStringLiteral("BORN"));
    QCOMPARE(query.FieldType(1), int(ftDateTime));
  }

  void destroyingTheDatabaseFirstIsSafe() {
    auto t = std::make_unique<TTestDb>();
    TFbQuery query(&t->Db());
    query.SetSQL("select 1 from rdb$database");
    query.Open();
    t.reset();
    QVERIFY(!query.IsOpen());
    QCOMPARE(query.Database(), nullptr);
    QVERIFY(!ErrorOf([&] { query.Open(); }).isEmpty());
  }
};

QTEST_APPLESS_MAIN(TestFbDatabase)
#include "tst_fbdatabase.moc"
