// The EMPLOYEE sample database script, and the layer on real example data.
#include "FbDatabase.h"
#include "FbQuery.h"
#include "support/FbTestDb.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
QString MakeSampleDb(const QString& dir, QString* errors = nullptr) {
  QProcess script;
  script.start("bash", {QStringLiteral(KV_SOURCE_DIR "/scripts/make-sample-db.sh"), dir});
  if (!script.waitForFinished(120000) || script.exitCode() != 0) {
    if (errors) *errors = QString::fromLocal8Bit(script.readAllStandardError());
    return QString();
  }
  return QString::fromLocal8Bit(script.readAllStandardOutput()).trimmed();
}

ino_t Inode(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

class TestFbSampleDb : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;
  QString m_db;

private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    QString errors;
    m_db = MakeSampleDb(m_dir.path(), &errors);
    QVERIFY2(!m_db.isEmpty(), qPrintable(errors));
    QCOMPARE(m_db, m_dir.filePath("employee.fdb"));
    QVERIFY(QFileInfo(m_db).size() > 0);
    // Nothing is left of the build folder.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({"employee.fdb"}));
  }

  void tablesAndRows() {
    TFbDatabase db;
    db.SetDatabaseName(m_db);
    db.SetParams({"user_name=SYSDBA", "password=blueorbit", "lc_ctype=UTF8"});
    db.Connect();
    const QStringList tables = db.TableNames(false);
    for (const char* name : {"EMPLOYEE", "DEPARTMENT", "PROJECT", "SALES", "CUSTOMER", "COUNTRY",
                             "JOB", "SALARY_HISTORY", "EMPLOYEE_PROJECT", "PROJ_DEPT_BUDGET"})
      QVERIFY2(tables.contains(name), name);
    QVERIFY(!tables.contains("PHONE_LIST")); // a view

    TFbQuery query(&db);
    query.OpenTableFields("EMPLOYEE");
    QStringList names;
    for (int i = 0; i < query.FieldCount(); ++i)
      names << query.FieldName(i);
    QCOMPARE(names.mid(0, 4), QStringList({"EMP_NO", "FIRST_NAME", "LAST_NAME", "PHONE_EXT"}));
    QCOMPARE(query.FieldType(0), int(ftSmallint));
    QCOMPARE(query.FieldType(names.indexOf("HIRE_DATE")), int(ftDateTime));
    QCOMPARE(query.FieldType(names.indexOf("SALARY")), int(ftBCD));
    QCOMPARE(query.FieldType(names.indexOf("JOB_CODE")), int(ftString));
    QCOMPARE(query.FieldType(names.indexOf("FULL_NAME")), int(ftString));

    const QList<QStringList> rows = FetchAllText(
        db, "select EMP_NO, FULL_NAME, SALARY, HIRE_DATE from EMPLOYEE order by EMP_NO");
    QCOMPARE(rows.size(), 42);
    QCOMPARE(rows[0], QStringList({"2", "Nelson, Robert", "105900.00", "1988-12-28 00:00:00"}));
  }

  void runsOnceAndKeepsADatabaseInUse() {
    const ino_t before = Inode(m_db);
    QCOMPARE(MakeSampleDb(m_dir.path()), m_db);
    QCOMPARE(Inode(m_db), before);
    // While this process holds it open the script must not replace it either.
    TFbDatabase db;
    db.SetDatabaseName(m_db);
    db.SetParam("user_name", "SYSDBA");
    db.Connect();
    QCOMPARE(MakeSampleDb(m_dir.path()), m_db);
    QCOMPARE(Inode(m_db), before);
    QVERIFY(db.TableNames(false).contains("EMPLOYEE"));
  }

  void rebuildsABrokenFile() {
    QTemporaryDir dir;
    QFile junk(dir.filePath("employee.fdb"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a database");
    junk.close();
    const QString path = MakeSampleDb(dir.path());
    QCOMPARE(path, dir.filePath("employee.fdb"));
    TFbDatabase db;
    db.SetDatabaseName(path);
    db.SetParam("user_name", "SYSDBA");
    db.Connect();
    QVERIFY(db.TableNames(false).contains("EMPLOYEE"));
  }
};

QTEST_GUILESS_MAIN(TestFbSampleDb)
#include "tst_fbsampledb.moc"
