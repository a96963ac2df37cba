// Statements the parser accepts must return the same rows after they are written back: each
// statement runs on Firebird's EMPLOYEE example database twice, as typed and as regenerated,
// through isql with the embedded engine.

#include "KvIBParser.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

struct Result {
  bool ok = false;
  QString error;
  QStringList rows; // values only: column names may differ after regeneration
};

const QString Marker = QStringLiteral("KV-STATEMENT-END");

// Runs the statements in one isql session (an isql per statement would take most of the test's
// time) and cuts the listing at a marker row after each statement.
QList<Result> RunIsql(const QString& database, const QStringList& statements) {
  QString script = QStringLiteral("set list on;\n");
  for (QString sql : statements) {
    sql.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    script += sql + QStringLiteral(";\nselect '%1' from rdb$database;\n").arg(Marker);
  }
  QProcess isql;
  isql.setProcessChannelMode(QProcess::MergedChannels);
  isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-m"), database});
  QList<Result> results;
  if (!isql.waitForStarted(10000)) return results;
  isql.write(script.toUtf8());
  isql.closeWriteChannel();
  isql.waitForFinished(300000);
  Result current;
  current.ok = true;
  QStringList row;
  auto endRow = [&] {
    if (!row.isEmpty()) current.rows << row.join(QStringLiteral(" | "));
    row.clear();
  };
  for (const QString& line : QString::fromUtf8(isql.readAllStandardOutput()).split('\n')) {
    // isql lists a column as its name padded to 32 characters, then the value.
    const QString value = line.mid(32).trimmed();
    if (value == Marker) {
      endRow();
      results << current;
      current = Result();
      current.ok = true;
      continue;
    }
    if (line.startsWith(QLatin1String("Statement failed")) ||
        line.startsWith(QLatin1String("Dynamic SQL Error"))) {
      current.ok = false;
    }
    if (!current.ok) {
      current.error += line + QLatin1Char('\n');
      continue;
    }
    if (line.trimmed().isEmpty())
      endRow();
    else
      row << value;
  }
  return results;
}

bool Ordered(const QString& sql) {
  static const QRegularExpression limits(QStringLiteral("\\border\\s+by\\b|\\brows\\b|\\bfirst\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
  return sql.contains(limits);
}

// Statements whose rows change from run to run cannot be compared.
bool Deterministic(const QString& sql) {
  static const QRegularExpression volatileWords(
      QStringLiteral("gen_uuid|rand\\s*\\(|current_|\\bnow\\b|gen_id"),
      QRegularExpression::CaseInsensitiveOption);
  return !sql.contains(volatileWords);
}

struct Case {
  QString sql;
  TKvIBSQLServer server = kssInterBase;
  QString regenerated;
  QString refused;
  Result original;
  Result again;
};

const char* const Statements[] = {
    // Columns, aliases, letter case.
    "select emp_no, first_name, last_name from employee",
    "SELECT E.EMP_NO AS NUM, E.FULL_NAME NAME FROM EMPLOYEE E",
    "select distinct job_code from employee",
    "select distinct dept_no, job_code from employee e",
    "SELECT \"EMPLOYEE\".\"LAST_NAME\" FROM \"EMPLOYEE\"",
    "select country, currency from country where currency like 'D%'",
    "select * from department",
    "select d.*, e.full_name from department d inner join employee e on d.mngr_no = e.emp_no",
    // Literals and expressions.
    "select emp_no, salary * 2, salary / 12 as monthly from employee",
    "select last_name || ', ' || first_name as who from employee",
    "select 'it''s', 'x', -1, 2.50 from rdb$database",
    "select emp_no, salary + -100 from employee where salary > -1",
    "select upper(last_name), coalesce(phone_ext, 'none') from employee",
    "select cust_no, customer from customer where customer = 'O''Neil''s' or cust_no > 1010",
    "select '''quoted''', '\"double\"' from rdb$database",
    // Conditions: precedence, NOT, brackets, operators.
    "select emp_no from employee where dept_no = '600' and job_code = 'Eng' or salary > 100000",
    "select emp_no from employee where dept_no = '600' or job_code = 'Eng' and salary > 100000",
    "select emp_no from employee where (dept_no = '600' or job_code = 'Eng') and salary > 50000",
    "select emp_no from employee where not (dept_no = '600' or dept_no = '621')",
    "select emp_no from employee where not dept_no = '600' and salary < 60000",
    "select emp_no from employee where not ((salary > 50000) and (job_grade = 4))",
    "select emp_no from employee where ((dept_no = '600')) or (not (emp_no > 100))",
    "select emp_no from employee where salary between 40000 and 60000",
    "select emp_no from employee where salary not between 40000 and 60000 and emp_no < 50",
    "select emp_no from employee where job_code in ('Eng', 'Mngr', 'VP')",
    "select emp_no from employee where emp_no not in (2, 4, 5, 8)",
    "select emp_no from employee where last_name like 'B%' or last_name not like '%n'",
    "select emp_no from employee where phone_ext is null or phone_ext is not null",
    "select dept_no from department where head_dept is null",
    "select emp_no from employee where salary <> 0 and salary >= 1 and salary <= 999999",
    "select emp_no from employee where upper(first_name) = 'ROBERT'",
    "select emp_no from employee where salary * 2 > 100000",
    // Joins of every type, reversed and multi-column conditions.
    "select e.full_name, d.department from employee e inner join department d on "
    "e.dept_no = d.dept_no",
    "select e.full_name, d.department from employee e left outer join department d on "
    "(d.dept_no = e.dept_no)",
    "select d.department, e.full_name from department d left join employee e on "
    "(e.emp_no = d.mngr_no)",
    "select d.department, e.full_name from employee e right outer join department d on "
    "(e.emp_no = d.mngr_no)",
    "select d.department, e.full_name from employee e full outer join department d on "
    "(e.emp_no = d.mngr_no)",
    "select e.full_name, j.job_title from employee e inner join job j on (e.job_code = "
    "j.job_code) and (e.job_grade = j.job_grade) and (e.job_country = j.job_country)",
    "select e.full_name, j.job_title from employee e inner join job j on (e.job_code = "
    "j.job_code and e.job_grade = j.job_grade and e.job_country = j.job_country)",
    "select e.full_name, d.department, c.currency from employee e inner join department d "
    "on (e.dept_no = d.dept_no) left outer join country c on (e.job_country = c.country)",
    "select e.full_name, p.proj_name from employee e inner join employee_project ep on "
    "(e.emp_no = ep.emp_no) inner join project p on (ep.proj_id = p.proj_id)",
    "select s.po_number, c.customer from sales s inner join customer c on (c.cust_no = "
    "s.cust_no) where (s.total_value > 1000)",
    "select e.emp_no, h.new_salary from employee e inner join salary_history h on "
    "(e.emp_no = h.emp_no) where h.new_salary > h.old_salary",
    "select a.emp_no, b.emp_no from employee a inner join employee b on (a.emp_no < "
    "b.emp_no) where a.dept_no = '600' and b.dept_no = '600'",
    // Unqualified columns over several tables stay as written.
    "select full_name, department from employee e inner join department d on (e.dept_no "
    "= d.dept_no)",
    "select currency, cust_no, city from country, customer where customer.country = "
    "country.country",
    // Aggregates, grouping, having.
    "select count(*) from employee",
    "select count(*), max(salary), min(salary), avg(salary), sum(salary) from employee",
    "select dept_no, count(*) from employee group by dept_no",
    "select e.dept_no, e.job_code, sum(e.salary) as total from employee e group by "
    "e.job_code, e.dept_no",
    "select dept_no, count(*) from employee group by dept_no having count(*) > 2",
    "select dept_no, avg(salary) from employee group by dept_no having (max(salary) > "
    "50000) or (count(*) = 1)",
    "select d.department, count(e.emp_no) from department d left outer join employee e on "
    "(d.dept_no = e.dept_no) group by d.department",
    // Sorting.
    "select emp_no, last_name from employee order by last_name",
    "select emp_no, last_name from employee order by 2 desc, 1",
    "select e.emp_no, e.salary from employee e order by e.salary desc, e.emp_no asc",
    "select emp_no, salary from employee order by salary descending, emp_no",
    // Row limits.
    "select emp_no from employee order by emp_no rows 5",
    "select emp_no from employee order by emp_no rows 3 to 7",
    "select emp_no from employee where salary > 0 rows 1",
    // Line breaks and spacing of typed text.
    "select\n  emp_no,\r\n  last_name\nfrom\n  employee\nwhere\n  (emp_no > 100)\n",
    "select emp_no from employee;",
};

} // namespace

class TestMeaning : public QObject {
  Q_OBJECT

  QString m_db;
  QList<Case> m_cases;
  int m_referenceStart = 0;

  static QStringList ReferenceStatements() {
    QFile f(QStringLiteral(KV_SHARED_DIR "/corpus/fblangref30-employee.sql"));
    QStringList list;
    if (!f.open(QIODevice::ReadOnly)) return list;
    static const QRegularExpression separator(QStringLiteral("^;$"),
                                              QRegularExpression::MultilineOption);
    for (const QString& p : QString::fromUtf8(f.readAll()).split(separator, Qt::SkipEmptyParts))
      if (!p.trimmed().isEmpty()) list << p.trimmed();
    return list;
  }

  void Add(const QString& sql, TKvIBSQLServer server, bool mustParse) {
    Case c;
    c.sql = sql;
    c.server = server;
    TKvIBSelectParser parser;
    parser.SetSQLServer(server);
    try {
      parser.SetSQL(sql);
      c.regenerated = parser.GetSQL();
    } catch (const EKvParserError& e) {
      if (!mustParse) return;
      c.refused = e.Message();
    }
    m_cases << c;
  }

  static void Check(const Case& c) {
    QVERIFY2(c.refused.isEmpty(), qPrintable(QStringLiteral("refused: %1").arg(c.refused)));
    QVERIFY2(c.original.ok, qPrintable(c.original.error));
    QVERIFY2(c.again.ok, qPrintable(c.again.error + c.regenerated));
    QStringList before = c.original.rows;
    QStringList after = c.again.rows;
    if (!Ordered(c.sql)) {
      before.sort();
      after.sort();
    }
    QCOMPARE(after, before);
  }

private slots:
  void initTestCase() {
    QProcess make;
    make.start(QStringLiteral(KV_SOURCE_DIR "/scripts/make-sample-db.sh"),
               {QStringLiteral(KV_BINARY_DIR "/test-data/meaning")});
    QVERIFY(make.waitForFinished(120000));
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());
    m_db = QString::fromUtf8(make.readAllStandardOutput()).trimmed();
    QVERIFY(QFile::exists(m_db));

    for (const char* sql : Statements)
      Add(QString::fromUtf8(sql), kssInterBase, true);
    for (const char* sql : {"select first 3 emp_no from employee order by 1",
                            "select first 2 skip 3 emp_no from employee order by emp_no desc",
                            "select skip 40 emp_no from employee order by 1",
                            "select first 2 distinct job_code from employee order by 1"})
      Add(QString::fromUtf8(sql), kssFireBird, true);
    m_referenceStart = int(m_cases.size());
    for (const QString& sql : ReferenceStatements())
      if (Deterministic(sql)) Add(sql, kssInterBase, false);

    QStringList originals, regenerated;
    for (const Case& c : m_cases) {
      originals << c.sql;
      regenerated << (c.refused.isEmpty() ? c.regenerated : c.sql);
    }
    const QList<Result> before = RunIsql(m_db, originals);
    const QList<Result> after = RunIsql(m_db, regenerated);
    QCOMPARE(before.size(), m_cases.size());
    QCOMPARE(after.size(), m_cases.size());
    for (int i = 0; i < m_cases.size(); ++i) {
      m_cases[i].original = before[i];
      m_cases[i].again = after[i];
    }
  }

  void sameRows_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < m_referenceStart; ++i)
      QTest::newRow(qPrintable(m_cases[i].sql.simplified().left(110))) << i;
  }

  void sameRows() {
    QFETCH(int, index);
    Check(m_cases[index]);
  }

  // The language reference's statements that run on EMPLOYEE: those the parser accepts must
  // keep their rows.
  void referenceStatements_data() {
    QTest::addColumn<int>("index");
    for (int i = m_referenceStart; i < m_cases.size(); ++i)
      QTest::newRow(qPrintable(m_cases[i].sql.simplified().left(110))) << i;
    if (m_referenceStart == m_cases.size()) QTest::newRow("corpus not available") << -1;
  }

  void referenceStatements() {
    QFETCH(int, index);
    if (index < 0) QSKIP("the statement corpus is not available");
    Check(m_cases[index]);
  }

  // The harness itself: the listing of a known statement is read row by row.
  void listingIsRead() {
    QCOMPARE(m_cases[0].original.rows.size(), 42); // EMPLOYEE's rows
    QVERIFY(m_cases[0].original.rows.first().contains(QLatin1String(" | ")));
    QCOMPARE(m_cases[0].original.rows, m_cases[0].again.rows);
  }

  void enoughStatementsCompared() {
    QVERIFY(m_referenceStart >= 40);
    if (!ReferenceStatements().isEmpty()) QVERIFY(m_cases.size() - m_referenceStart >= 15);
  }
};

QTEST_GUILESS_MAIN(TestMeaning)
#include "tst_meaning.moc"
