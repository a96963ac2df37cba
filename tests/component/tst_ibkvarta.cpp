// The InterBase/Firebird designer as a host uses it: SQL in, surface and model in step, SQL out.

#include "KvFloatPanel.h"
#include "KvIBWindow.h"
#include "KvLinks.h"
#include "support/KvTestSupport.h"

#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QtTest>

#include <map>

namespace {

// Serves table columns from memory, as a database host would through its metadata query.
class THost {
public:
  explicit THost(TCustomKvarta* kvarta) {
    kvarta->OnGetTableFields = [this](const QString& name, const TKvDataSet*& dataSet,
                                      QStringList&) {
      Requests << name;
      auto it = Tables.find(name);
      if (it != Tables.end()) dataSet = &it->second;
    };
  }
  void Table(const QString& name, const QStringList& columns, int type = ftInteger) {
    TKvTestDataSet set;
    for (const QString& c : columns)
      set.Add(c, type);
    Tables[name] = set;
  }
  std::map<QString, TKvTestDataSet> Tables;
  QStringList Requests;
};

struct Fixture {
  Fixture() : kvarta(std::make_unique<TInterBaseKvarta>()), host(kvarta.get()) {
    kvarta->resize(1000, 760);
    kvarta->show();
    host.Table("EMPLOYEE", {"EMP_NO", "FIRST_NAME", "LAST_NAME", "DEPT_NO", "JOB_CODE", "JOB_GRADE",
                            "JOB_COUNTRY", "SALARY"});
    host.Table("DEPARTMENT", {"DEPT_NO", "DEPARTMENT", "HEAD_DEPT", "MNGR_NO", "BUDGET"});
    host.Table("JOB", {"JOB_CODE", "JOB_GRADE", "JOB_COUNTRY", "JOB_TITLE", "MAX_SALARY"});
    host.Table("PROJECT", {"PROJ_ID", "PROJ_NAME", "TEAM_LEADER"});
    host.Table("T", {"A", "B", "C"});
    host.Table("U", {"A", "B", "C"});
  }
  std::unique_ptr<TInterBaseKvarta> kvarta;
  THost host;

  TKvWorkArea* Area() const { return kvarta->WorkArea(); }
  TKvTableDefs* Defs() const { return kvarta->SelectParser()->TableDefs(); }
  TKvTable* Window(const QString& aliasOrName) const {
    return kvarta->TableList().FindTable(aliasOrName);
  }
};

QString Crlf(const char* text) {
  return QString::fromUtf8(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

QStringList Ticked(const TKvTable* table) {
  QStringList names;
  for (const TKvListItem* item : table->Items())
    if (item->Checked()) names << item->Name();
  return names;
}

} // namespace

class TestIBKvarta : public QObject {
  Q_OBJECT

private slots:
  void defaults() {
    TInterBaseKvarta k;
    QCOMPARE(k.SQLDialect(), kibDialect3);
    QCOMPARE(k.SQLServer(), kssInterBase);
    QCOMPARE(k.Version(), QStringLiteral("2.01"));
    k.SetVersion(QStringLiteral("9"));
    k.SetAbout(QStringLiteral("x"));
    QCOMPARE(k.Version(), QStringLiteral("2.01"));
    QVERIFY(k.About().isEmpty());
    QVERIFY(dynamic_cast<TKvIBSelectParser*>(k.SelectParser()));
    QVERIFY(dynamic_cast<TKvIBSelectParser*>(k.CreateParser().get()));
    QCOMPARE(k.Functions(),
             (QStringList{"AVG", "CAST", "COUNT", "GEN_ID", "MAX", "MIN", "SUM", "UPPER"}));
    QCOMPARE(k.Keywords().size(), 290);
    QVERIFY(!k.AggregatesStored() && !k.FunctionsStored() && !k.KeywordsStored());
    k.SetKeywords(k.Keywords() << QStringLiteral("NEWWORD"));
    QVERIFY(k.KeywordsStored());
    QCOMPARE(k.Operators().Count(), 14);
    QCOMPARE(k.Options(), TKvOptions(kvoRowSelect));
    QCOMPARE(k.property("SQLDialect").toInt(), int(kibDialect3));
  }

  void tablesBecomeWindowsWithTheirAliases() {
    Fixture f;
    f.kvarta->SetSQL(QStringLiteral("SELECT A.EMP_NO, B.LAST_NAME FROM EMPLOYEE A INNER JOIN "
                                    "EMPLOYEE B ON (A.DEPT_NO = B.DEPT_NO)"));
    QCOMPARE(f.kvarta->TableList().Count(), 2);
    TKvTable* a = f.Window("A");
    TKvTable* b = f.Window("B");
    QVERIFY(a && b);
    QCOMPARE(a->TableName(), QStringLiteral("EMPLOYEE"));
    QCOMPARE(Ticked(a), QStringList{"EMP_NO"});
    QCOMPARE(Ticked(b), QStringList{"LAST_NAME"});
    // The host is asked by table name, not by alias.
    QCOMPARE(f.host.Requests, (QStringList{"EMPLOYEE", "EMPLOYEE"}));
    QCOMPARE(f.Defs()->Count(), 2);
    QCOMPARE(f.Defs()->FindByAlias("A")->Fields()->Count(), 1);
    QCOMPARE(f.Defs()->FindByAlias("B")->Fields()->Count(), 1);
    QCOMPARE(f.Area()->Links().size(), 1);
    const TKvLink* link = f.Area()->Links().first();
    QCOMPARE(link->Item1()->Name(), QStringLiteral("DEPT_NO"));
    QCOMPARE(link->Join()->Table1(), a);
    // A window named by an alias is as wide as its caption needs.
    f.kvarta->SetSQL(QStringLiteral("SELECT LONG_ALIAS_FOR_THE_TABLE.A FROM T "
                                    "LONG_ALIAS_FOR_THE_TABLE"));
    TKvTable* t = f.Window("LONG_ALIAS_FOR_THE_TABLE");
    QVERIFY(t->CaptionTextRect().width() >=
            QFontMetrics(f.Area()->BoldFieldFont()).horizontalAdvance(t->Caption()));
  }

  void columnsTheTableLacksStayInTheModel() {
    Fixture f;
    f.kvarta->SetSQL("SELECT T.A, T.GONE, T.C, COUNT(*) FROM T GROUP BY T.A, T.GONE, T.C");
    const QString sql = f.kvarta->SQL();
    QVERIFY(sql.contains("  T.GONE,\r\n  T.C,\r\n  COUNT(*)"));
    QVERIFY(sql.contains("GROUP BY\r\n  T.A,\r\n  T.GONE,\r\n  T.C\r\n"));
    QCOMPARE(Ticked(f.Window("T")), (QStringList{"A", "C"}));
    QCOMPARE(f.Defs()->FieldCount(), 4);
  }

  void hostRefusalsKeepTheStatement() {
    Fixture f;
    f.kvarta->OnAddRemoveTable = [](QObject*, TKvTable*, TKvAction, bool& accept) {
      accept = false;
    };
    const QString sql = Crlf("SELECT \n  E.EMP_NO,\n  D.DEPARTMENT\nFROM\n  EMPLOYEE E \n  INNER "
                             "JOIN DEPARTMENT D ON (E.DEPT_NO = D.DEPT_NO)\n");
    f.kvarta->SetSQL(sql);
    QCOMPARE(f.kvarta->TableList().Count(), 0);
    QCOMPARE(f.kvarta->SQL(), sql);

    // A host without columns for a table stops the windows there; the model stays whole.
    Fixture g;
    g.host.Tables.erase("EMPLOYEE");
    g.kvarta->SetSQL(QStringLiteral("SELECT D.BUDGET, E.EMP_NO FROM DEPARTMENT D, EMPLOYEE E, "
                                    "JOB J"));
    QCOMPARE(g.kvarta->TableList().Count(), 1);
    QCOMPARE(g.host.Requests, (QStringList{"DEPARTMENT", "EMPLOYEE"}));
    QVERIFY(g.kvarta->SQL().contains(QLatin1String("E.EMP_NO")));
  }

  void emptyTextEmptiesEverything() {
    Fixture f;
    f.kvarta->SetSQL(QStringLiteral("SELECT T.A FROM T ORDER BY T.A"));
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    f.kvarta->SetSQL(QString());
    QCOMPARE(f.kvarta->TableList().Count(), 0);
    QCOMPARE(f.Defs()->Count(), 0);
    QCOMPARE(f.kvarta->SelectParser()->OrderByItems()->Count(), 0);
    QCOMPARE(f.kvarta->SQL(), QString());
    QVERIFY(f.Area()->Links().isEmpty());
  }

  void surfaceChangesReachTheModel() {
    Fixture f;
    f.kvarta->SetSQL(QStringLiteral("SELECT E.EMP_NO, D.BUDGET FROM EMPLOYEE E INNER JOIN "
                                    "DEPARTMENT D ON (E.DEPT_NO = D.DEPT_NO) WHERE D.BUDGET > 0 "
                                    "AND UPPER(D.DEPARTMENT) = E.LAST_NAME ORDER BY D.BUDGET "
                                    "DESC, E.EMP_NO"));
    // Ticking a row adds the column; unticking takes it away again.
    TKvTable* e = f.Window("E");
    TKvListItem* salary = e->FindItem("SALARY");
    salary->Click(true);
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("  E.SALARY\r\nFROM")));
    salary->Click(false);
    QVERIFY(!f.kvarta->SQL().contains(QLatin1String("SALARY")));

    // Renaming a window's alias renames the joins that name it.
    TKvTable* d = f.Window("D");
    d->BeginAliasEdit();
    f.Area()->AliasEditor()->setText("DEP");
    f.Area()->AliasEditorExit();
    QVERIFY(f.Defs()->FindByAlias("DEP"));
    QCOMPARE(f.Defs()->FindByAlias("E")->Joins()->Items(0)->JoinTable(), QStringLiteral("DEP"));
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("INNER JOIN DEPARTMENT DEP ON (E.DEPT_NO = "
                                                   "DEP.DEPT_NO)")));
    // Conditions and sort lines follow the new name.
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("(DEP.BUDGET > 0) AND \r\n  "
                                                   "(UPPER(DEP.DEPARTMENT) = E.LAST_NAME)")));
    QCOMPARE(f.kvarta->SelectParser()->OrderByItems()->Lines(),
             (QStringList{"DEP.BUDGET", "E.EMP_NO"}));

    // Closing a window takes its definition, joins and sort lines with it.
    d->Close();
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    QVERIFY(!f.Defs()->FindByAlias("DEP"));
    QCOMPARE(f.Defs()->FindByAlias("E")->Joins()->Count(), 0);
    QCOMPARE(f.kvarta->SelectParser()->OrderByItems()->Lines(), QStringList{"E.EMP_NO"});
    QVERIFY(f.Area()->Links().isEmpty());
    QVERIFY(!f.kvarta->SQL().contains(QLatin1String("DEPARTMENT DEP")));
    // Conditions that mention the table stay for the user to change.
    QCOMPARE(f.kvarta->SelectParser()->WhereItems()->Count(), 2);

    // A table dropped by the host becomes a definition of its own.
    TKvTable* job = f.kvarta->TableList().Add("JOB", &f.host.Tables["JOB"]);
    QVERIFY(job);
    QVERIFY(f.Defs()->FindByAlias("JOB"));
    job->FindItem("JOB_TITLE")->Click(true);
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("JOB.JOB_TITLE")));
  }

  void joinsTakeTheirTypeAndOperator() {
    Fixture f;
    f.kvarta->SetSQL(QStringLiteral("SELECT D.DEPARTMENT FROM DEPARTMENT D LEFT OUTER JOIN "
                                    "EMPLOYEE E ON (D.MNGR_NO >= E.EMP_NO) AND (D.DEPT_NO = "
                                    "E.DEPT_NO)"));
    const QList<TKvLink*>& links = f.Area()->Links();
    QCOMPARE(links.size(), 2);
    QCOMPARE(links[0]->Join(), links[1]->Join());
    QCOMPARE(links[0]->Join()->JoinType(), 1);
    QCOMPARE(links[0]->OperatorText(), QStringLiteral(">="));
    QCOMPARE(links[1]->OperatorText(), QStringLiteral("="));
    QCOMPARE(links[0]->GetHint(), QStringLiteral("D.MNGR_NO>=E.EMP_NO"));
  }

  void parserErrors() {
    Fixture f;
    // Without a handler the error is raised and the statement before stays, with its surface.
    f.kvarta->SetSQL(QStringLiteral("SELECT U.B FROM U"));
    const QString before = f.kvarta->SQL();
    QVERIFY_THROWS_EXCEPTION(EKvParserError,
                             f.kvarta->SetSQL(QStringLiteral("SELECT T.A FROM T WHERE T.A =")));
    QCOMPARE(f.kvarta->SQL(), before);
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    QCOMPARE(Ticked(f.Window("U")), QStringList{"B"});
    QVERIFY(!f.kvarta->SelectParser()->Valid());
    // With one the handler hears of it and the surface shows what was read.
    QString message;
    int line = 0, pos = 0;
    f.kvarta->OnParserError = [&](TKvSelectParser*, const QString& m, const QString&, int l,
                                  int p) {
      message = m;
      line = l;
      pos = p;
    };
    f.kvarta->SetSQL(QStringLiteral("SELECT T.A, T.B\r\nFROM T\r\nWHERE T.A = = 1"));
    QCOMPARE(message, QStringLiteral("Invalid token '=' at position 13 of line 3."));
    QCOMPARE(line, 3);
    QCOMPARE(pos, 13);
    QVERIFY(!f.kvarta->SelectParser()->Valid());
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    QCOMPARE(Ticked(f.Window("T")), (QStringList{"A", "B"}));
    // An unterminated string is raised even with a handler.
    QVERIFY_THROWS_EXCEPTION(EKvParserError,
                             f.kvarta->SetSQL(QStringLiteral("SELECT T.A FROM T WHERE T.A = 'x")));
  }

  void dialectChangesQuotingWithoutReading() {
    Fixture f;
    f.host.Table("Mixed Case", {"Col"});
    f.kvarta->SetSQL(QStringLiteral("SELECT \"Mixed Case\".\"Col\" FROM \"Mixed Case\""));
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("\"Mixed Case\".\"Col\"")));
    f.kvarta->SetSQLDialect(kibDialect1);
    QCOMPARE(f.kvarta->SQLDialect(), kibDialect1);
    QVERIFY(f.kvarta->SQL().contains(QLatin1String("MIXED_CASE.COL")));
    QCOMPARE(f.kvarta->TableList().Count(), 1);
    f.kvarta->SetSQLServer(kssFireBird);
    QCOMPARE(f.kvarta->SQLServer(), kssFireBird);
  }

  // Text the designer wrote comes back unchanged through the surface: parse, windows and
  // links from the model, and write again.
  void surfaceRoundTrip_data() {
    QTest::addColumn<QString>("sql");
    const char* statements[] = {
        "SELECT \n  T.A\nFROM\n  T\n",
        "SELECT \n  T.A,\n  T.B AS X,\n  T.C AS \"Mixed\"\nFROM\n  T\n",
        "SELECT DISTINCT \n  T.A\nFROM\n  T\n",
        "SELECT *\nFROM\n  T\n",
        "SELECT *\nFROM\n  T,\n  U\n",
        "SELECT \n  T.A,\n  U.B\nFROM\n  T,\n  U\n",
        "SELECT \n  T.A,\n  COUNT(*) AS FIELD_1\nFROM\n  T\nGROUP BY\n  T.A\n",
        "SELECT \n  T.A,\n  SUM(T.B) AS TOTAL\nFROM\n  T\nGROUP BY\n  T.A\nHAVING\n  "
        "(SUM(T.B) > 10)\n",
        "SELECT \n  T.A\nFROM\n  T\nWHERE\n  (A = 1) AND \n  (B LIKE 'X%')\n",
        "SELECT \n  T.A\nFROM\n  T\nWHERE\n  NOT ((A = 1) OR \n  (B IS NULL))\n",
        "SELECT \n  T.A\nFROM\n  T\nWHERE\n  (A IN (1, 2, 3)) OR \n  (B BETWEEN 1 AND 9)\n",
        "SELECT \n  T.A\nFROM\n  T\nORDER BY\n  T.A DESC,\n  T.B\n",
        "SELECT \n  T.A\nFROM\n  T\nROWS 1 TO 10",
        "SELECT \n  T.A + 1 AS FIELD_1\nFROM\n  T\n",
        "SELECT \n  'text' AS FIELD_1,\n  T.A\nFROM\n  T\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.DEPT_NO = "
        "D.DEPT_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  LEFT OUTER JOIN DEPARTMENT D ON (E.DEPT_NO = "
        "D.DEPT_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  RIGHT OUTER JOIN DEPARTMENT D ON (E.DEPT_NO "
        "= D.DEPT_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  FULL OUTER JOIN DEPARTMENT D ON (E.DEPT_NO = "
        "D.DEPT_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.EMP_NO > "
        "D.MNGR_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.EMP_NO < "
        "D.MNGR_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.EMP_NO >= "
        "D.MNGR_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.EMP_NO <= "
        "D.MNGR_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.EMP_NO <> "
        "D.MNGR_NO)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN JOB J ON (E.JOB_CODE = "
        "J.JOB_CODE) AND (E.JOB_GRADE = J.JOB_GRADE) AND (E.JOB_COUNTRY = J.JOB_COUNTRY)\n",
        "SELECT \n  E.EMP_NO,\n  D.DEPARTMENT,\n  J.JOB_TITLE\nFROM\n  EMPLOYEE E \n  LEFT OUTER "
        "JOIN DEPARTMENT D ON (E.DEPT_NO = D.DEPT_NO)\n  INNER JOIN JOB J ON (E.JOB_CODE = "
        "J.JOB_CODE)\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E \n  INNER JOIN DEPARTMENT D ON (E.DEPT_NO = "
        "D.DEPT_NO)  \n  INNER JOIN PROJECT P ON (D.MNGR_NO = P.TEAM_LEADER)\n",
        "SELECT \n  A.EMP_NO,\n  B.EMP_NO\nFROM\n  EMPLOYEE A \n  INNER JOIN EMPLOYEE B ON "
        "(A.DEPT_NO = B.DEPT_NO)\n",
        "SELECT \n  E.DEPT_NO,\n  MAX(E.SALARY) AS TOP\nFROM\n  EMPLOYEE E\nWHERE\n  (E.SALARY "
        "> 0)\nGROUP BY\n  E.DEPT_NO\nHAVING\n  (COUNT(*) > 1)\nORDER BY\n  E.DEPT_NO\n",
        "SELECT \n  D.DEPARTMENT,\n  COUNT(E.EMP_NO) AS HEADS\nFROM\n  DEPARTMENT D \n  LEFT "
        "OUTER JOIN EMPLOYEE E ON (D.DEPT_NO = E.DEPT_NO)\nGROUP BY\n  D.DEPARTMENT\n",
        "SELECT \n  E.EMP_NO\nFROM\n  EMPLOYEE E\nWHERE\n  ((E.SALARY > 100) AND \n  (E.DEPT_NO "
        "= '600')) OR \n  (E.JOB_CODE IS NOT NULL)\n",
        "SELECT \n  T.A\nFROM\n  T\nWHERE\n  (A = 'it''s')\n",
    };
    for (const char* s : statements)
      QTest::newRow(qPrintable(QString::fromUtf8(s).simplified().left(90))) << Crlf(s);
  }

  void surfaceRoundTrip() {
    QFETCH(QString, sql);
    Fixture f;
    f.kvarta->SetSQL(sql);
    QVERIFY(f.kvarta->SelectParser()->Valid());
    QVERIFY(f.kvarta->TableList().Count() > 0);
    QCOMPARE(f.kvarta->SQL(), sql);
    // Every join of the model is drawn.
    int joins = 0;
    for (int t = 0; t < f.Defs()->Count(); ++t)
      joins += f.Defs()->Items(t)->Joins()->Count();
    QCOMPARE(int(f.Area()->Links().size()), joins);
  }

  void visibleTabsAndHeight() {
    Fixture f;
    QTabWidget* pages = f.kvarta->PageControl();
    QCOMPARE(f.kvarta->VisibleTabs(), kvtAll);
    pages->setCurrentIndex(1);
    f.kvarta->SetVisibleTabs(kvtAll & ~kvtSelection);
    QCOMPARE(pages->currentIndex(), 2);
    QVERIFY(!pages->isTabVisible(1));
    pages->setCurrentIndex(3);
    f.kvarta->SetVisibleTabs(kvtCriterions | kvtSelection);
    QCOMPARE(pages->currentIndex(), 1);
    f.kvarta->SetVisibleTabs(0);
    QVERIFY(!pages->isVisible());
    f.kvarta->SetVisibleTabs(kvtSorting);
    QVERIFY(pages->isVisible());

    const int height = f.kvarta->TabHeight();
    f.kvarta->SetTabHeight(100);
    f.kvarta->SetTabHeight(170);
    QCOMPARE(f.kvarta->TabHeight(), height);
    f.kvarta->SetTabHeight(200);
    QCOMPARE(f.kvarta->TabHeight(), 200);
  }
};

QTEST_MAIN(TestIBKvarta)
#include "tst_ibkvarta.moc"
