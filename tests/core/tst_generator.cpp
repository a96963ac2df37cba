// Writing the query model as SQL: layout, letter case, quoting by dialect, the GROUP BY the
// columns call for, joins in any arrangement the designer can draw.

#include "KvIBParser.h"

#include <QtTest>

namespace {

QString Sql(TKvSelectParser& p, const QString& text) {
  p.SetSQL(text);
  return p.GetSQL();
}

QString Lines(std::initializer_list<const char*> lines) {
  QString r;
  for (const char* l : lines)
    r += QString::fromUtf8(l) + QStringLiteral("\r\n");
  return r;
}

TKvTableDef* AddTable(TKvSelectParser& p, const QString& name, const QString& alias = QString()) {
  TKvTableDef* t = p.TableDefs()->Add();
  t->SetTableName(name);
  if (!alias.isEmpty()) t->SetAlias(alias);
  return t;
}

TKvFieldDef* AddColumn(TKvTableDef* t, const QString& name, TKvFunctionKind kind = fkField) {
  TKvFieldDef* f = t->Fields()->Add();
  f->SetName(name);
  f->SetKind(kind);
  return f;
}

TKvJoinDef* Join(TKvTableDef* left, const QString& field, const TKvTableDef* right,
                 const QString& joinField, TKvJoinType type = jtInner,
                 const QString& op = QStringLiteral("=")) {
  TKvJoinDef* j = left->Joins()->Add();
  j->SetField(field);
  j->SetJoinTable(right->AliasOrName());
  j->SetJoinField(joinField);
  j->SetJoinType(type);
  j->SetOperator(op);
  return j;
}

} // namespace

class TestGenerator : public QObject {
  Q_OBJECT

private slots:
  void workedExample() {
    TKvIBSelectParser p;
    QCOMPARE(Sql(p, QStringLiteral("SELECT A AS X, SUM(B) FROM T WHERE (A = 1) AND (B LIKE "
                                   "'X%') GROUP BY A")),
             QStringLiteral("SELECT \r\n"
                            "  T.A AS X,\r\n"
                            "  SUM(T.B) AS FIELD_1\r\n"
                            "FROM\r\n"
                            "  T\r\n"
                            "WHERE\r\n"
                            "  (A = 1) AND \r\n"
                            "  (B LIKE 'X%')\r\n"
                            "GROUP BY\r\n"
                            "  T.A\r\n"));
  }

  void emptyAndStarStatements() {
    TKvIBSelectParser p;
    QCOMPARE(p.GetSQL(), QString());
    AddTable(p, QStringLiteral("T"));
    QCOMPARE(p.GetSQL(), Lines({"SELECT *", "FROM", "  T"}));
    // A column whose alias equals its name has no AS.
    TKvFieldDef* f = AddColumn(p.TableDefs()->Items(0), QStringLiteral("A"));
    QCOMPARE(f->Alias(), QStringLiteral("A"));
    QCOMPARE(p.GetSQL(), Lines({"SELECT ", "  T.A", "FROM", "  T"}));
    f->SetAlias(QStringLiteral("Other"));
    QCOMPARE(p.GetSQL(), Lines({"SELECT ", "  T.A AS \"Other\"", "FROM", "  T"}));
  }

  void literalsAndOperands() {
    TKvIBSelectParser p;
    TKvTableDef* t = AddTable(p, QStringLiteral("T"));
    TKvFieldDef* s = AddColumn(t, QStringLiteral("it's"), fkString);
    QCOMPARE(s->GetSQL().section(QLatin1Char(' '), 0, 0), QStringLiteral("'it''s'"));
    s->SetName(QString());
    QCOMPARE(s->GetSQL().section(QLatin1Char(' '), 0, 0), QStringLiteral("''"));
    // A value already in quotes loses one pair.
    s->SetName(QStringLiteral("\"abc\""));
    QCOMPARE(s->GetSQL().section(QLatin1Char(' '), 0, 0), QStringLiteral("'abc'"));
    TKvFieldDef* fn = AddColumn(t, QStringLiteral("GEN_UUID"), fkFunction);
    QCOMPARE(fn->GetSQL(), QStringLiteral("GEN_UUID() AS FIELD_2"));

    // BETWEEN writes its operands with the relating word; a missing one as a blank.
    TKvCriterion* c = p.WhereItems()->Add();
    c->Field()->SetName(QStringLiteral("A"));
    c->Field()->SetKind(fkField);
    c->SetOperator(QStringLiteral("BETWEEN"));
    TKvFunctionDef* low = c->Arguments()->Add();
    low->SetName(QStringLiteral("1"));
    low->SetKind(fkInteger);
    QCOMPARE(c->GetSQL(), QStringLiteral("A BETWEEN 1 AND  "));
    TKvFunctionDef* high = c->Arguments()->Add();
    high->SetName(QStringLiteral("9"));
    QCOMPARE(c->GetSQL(), QStringLiteral("A BETWEEN 1 AND 9"));
    c->SetOperator(QStringLiteral("IS NULL"));
    QCOMPARE(c->GetSQL(), QStringLiteral("A IS NULL"));
    // An operator the table does not know: its operands are listed.
    c->SetOperator(QStringLiteral("~"));
    QCOMPARE(c->GetSQL(), QStringLiteral("A ~ 1, 9"));
  }

  void conditionGroups() {
    TKvIBSelectParser p;
    QCOMPARE(
        Sql(p, QStringLiteral("SELECT A FROM T WHERE NOT ((A = 1) OR (B = 2))")),
        Lines({"SELECT ", "  T.A", "FROM", "  T", "WHERE", "  NOT ((A = 1) OR ", "  (B = 2))"}));
    QCOMPARE(Sql(p, QStringLiteral("SELECT A FROM T WHERE A = 1 AND (B = 2 OR NOT C = 3)")),
             Lines({"SELECT ", "  T.A", "FROM", "  T", "WHERE", "  (A = 1) AND ", "  ((B = 2) OR ",
                    "  (NOT ((C = 3))))"}));
    p.WhereItems()->SetRelation(krNotAll);
    QVERIFY(p.GetSQL().contains(QStringLiteral("WHERE\r\n  NOT ((A = 1) AND ")));
  }

  void letterCases() {
    TKvIBSelectParser p;
    p.ScriptFormat()->SetKeywordsFormat(kfmLowerCase);
    const QString text = Sql(p, QStringLiteral("SELECT DISTINCT A, COUNT(*) FROM T INNER JOIN U "
                                               "ON (T.A = U.A) WHERE A IS NULL GROUP BY A "
                                               "HAVING COUNT(*) > 1 ORDER BY A DESC"));
    for (const char* word : {"select distinct", "from", "where", "is null", "group by", "having",
                             "order by", "inner join", " on ", " DESC"})
      QVERIFY2(text.contains(QLatin1String(word)), word);
    QVERIFY(!text.contains(QLatin1String("SELECT")));
    // Functions keep the case they were read in until told otherwise.
    QVERIFY(text.contains(QLatin1String("COUNT(*)")));
    p.ScriptFormat()->SetFunctionsFormat(kfmLowerCase);
    QVERIFY(p.GetSQL().contains(QLatin1String("count(*)")));
    p.ScriptFormat()->SetKeywordsFormat(kfmFirstUpper);
    p.ScriptFormat()->SetFunctionsFormat(kfmFirstUpper);
    const QString first = p.GetSQL();
    QVERIFY(first.startsWith(QLatin1String("Select Distinct")));
    QVERIFY(first.contains(QLatin1String("Order By")));
    QVERIFY(first.contains(QLatin1String("Count(*)")));
    QCOMPARE(KvFormatCase(QStringLiteral("GEN_ID"), kfmFirstUpper), QStringLiteral("Gen_Id"));
    p.ScriptFormat()->SetKeywordsFormat(kfmUpperCase);
    QVERIFY(p.GetSQL().contains(QLatin1String("SELECT DISTINCT")));
  }

  void quotingByDialect_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("dialect3");
    QTest::addColumn<QString>("dialect1");
    QTest::newRow("plain") << "ORDERS"
                           << "ORDERS"
                           << "ORDERS";
    QTest::newRow("mixed case") << "Orders"
                                << "\"Orders\""
                                << "ORDERS";
    QTest::newRow("keyword") << "ORDER"
                             << "\"ORDER\""
                             << "ORDER";
    QTest::newRow("blank") << "MY TABLE"
                           << "\"MY TABLE\""
                           << "MY_TABLE";
    QTest::newRow("leading digit") << "1COL"
                                   << "\"1COL\""
                                   << "1COL";
    QTest::newRow("dollar") << "RDB$RELATIONS"
                            << "RDB$RELATIONS"
                            << "RDB$RELATIONS";
    QTest::newRow("inner quote") << "A\"B"
                                 << "\"A\"\"B\""
                                 << "A\"B";
    // A table named like a desktop-database file is quoted whole, in dialect 3 only.
    QTest::newRow("file name") << "data.DB"
                               << "\"data.DB\""
                               << "DATA.DB";
  }

  void quotingByDialect() {
    QFETCH(QString, name);
    QFETCH(QString, dialect3);
    QFETCH(QString, dialect1);
    TKvIBSelectParser p;
    AddTable(p, name);
    QCOMPARE(p.GetSQL(), Lines({"SELECT *", "FROM"}) + QStringLiteral("  ") + dialect3 +
                             QStringLiteral("\r\n"));
    // The dialect acts at the next write, without reading the text again.
    p.SetSQLDialect(kibDialect1);
    QCOMPARE(p.GetSQL(), Lines({"SELECT *", "FROM"}) + QStringLiteral("  ") + dialect1 +
                             QStringLiteral("\r\n"));
  }

  void columnsNamedLikeFilesKeepTheirQualifier() {
    TKvIBSelectParser p;
    const QString text = Sql(p, QStringLiteral("SELECT X.DB_NAME FROM T X WHERE X.DB_NAME = 1"));
    QVERIFY(text.contains(QLatin1String("  X.DB_NAME\r\n")));
    QVERIFY(text.contains(QLatin1String("(X.DB_NAME = 1)")));
  }

  void genericDialectQuotesEveryName() {
    TKvSelectParser p;
    AddColumn(AddTable(p, QStringLiteral("customer")), QStringLiteral("name"));
    QCOMPARE(p.GetSQL(), Lines({"SELECT ", "  \"customer\".\"name\"", "FROM", "  \"customer\""}));
  }

  void groupByFollowsTheColumns() {
    TKvIBSelectParser p;
    TKvTableDef* t = AddTable(p, QStringLiteral("T"));
    AddColumn(t, QStringLiteral("A"));
    // No aggregate: no GROUP BY, and HAVING is not written without one.
    TKvCriterion* h = p.HavingItems()->Add();
    h->Field()->SetName(QStringLiteral("COUNT(*)"));
    h->SetOperator(QStringLiteral(">"));
    h->Arguments()->Add()->SetName(QStringLiteral("1"));
    QVERIFY(!p.GetSQL().contains(QLatin1String("GROUP")));
    QVERIFY(!p.GetSQL().contains(QLatin1String("HAVING")));
    TKvFieldDef* sum = AddColumn(t, QStringLiteral("SUM"), fkFunction);
    TKvFunctionDef* arg = sum->Arguments()->Add();
    arg->SetName(QStringLiteral("B"));
    arg->SetKind(fkField);
    AddColumn(t, QStringLiteral("1 + 1"), fkExpression);
    AddColumn(t, QStringLiteral("C"));
    const QString text = p.GetSQL();
    QVERIFY(text.contains(
        QLatin1String("GROUP BY\r\n  T.A,\r\n  T.C\r\nHAVING\r\n  (COUNT(*) > 1)\r\n")));
    QCOMPARE(p.GroupByItems()->Lines(), (QStringList{"T.A", "T.C"}));
    // Only aggregates: no GROUP BY either.
    TKvIBSelectParser q;
    AddColumn(AddTable(q, QStringLiteral("T")), QStringLiteral("COUNT"), fkFunction);
    QVERIFY(!q.GetSQL().contains(QLatin1String("GROUP")));
  }

  void sortLines() {
    TKvIBSelectParser p;
    AddColumn(AddTable(p, QStringLiteral("T")), QStringLiteral("A"));
    p.OrderByItems()->AddItem(QStringLiteral("T.A"), 1);
    p.OrderByItems()->Add(QStringLiteral("Mixed"));
    p.OrderByItems()->Add(QStringLiteral("2"));
    QVERIFY(
        p.GetSQL().endsWith(QLatin1String("ORDER BY\r\n  T.A DESC,\r\n  \"Mixed\",\r\n  2\r\n")));
    p.ScriptFormat()->SetKeywordsFormat(kfmLowerCase);
    QVERIFY(
        p.GetSQL().endsWith(QLatin1String("order by\r\n  T.A DESC,\r\n  \"Mixed\",\r\n  2\r\n")));
  }

  void joinsChainDepthFirst() {
    TKvIBSelectParser p;
    TKvTableDef* a = AddTable(p, QStringLiteral("TA"), QStringLiteral("A"));
    TKvTableDef* b = AddTable(p, QStringLiteral("TB"), QStringLiteral("B"));
    TKvTableDef* c = AddTable(p, QStringLiteral("TC"), QStringLiteral("C"));
    TKvTableDef* d = AddTable(p, QStringLiteral("TD"), QStringLiteral("D"));
    AddColumn(a, QStringLiteral("X"));
    Join(a, QStringLiteral("ID"), b, QStringLiteral("AID"), jtLeftOuter);
    Join(b, QStringLiteral("ID"), c, QStringLiteral("BID"));
    Join(a, QStringLiteral("ID"), d, QStringLiteral("AID"), jtFullOuter, QStringLiteral(">="));
    QCOMPARE(p.GetSQL(), Lines({"SELECT ", "  A.X", "FROM", "  TA A ",
                                "  LEFT OUTER JOIN TB B ON (A.ID = B.AID)",
                                "  FULL OUTER JOIN TD D ON (A.ID >= D.AID)  ",
                                "  INNER JOIN TC C ON (B.ID = C.BID)"}));
    // The join list and the FROM entry on their own.
    QCOMPARE(a->Joins()->GetSQL(),
             QStringLiteral("\r\n  LEFT OUTER JOIN TB B ON (A.ID = B.AID)\r\n  FULL OUTER JOIN "
                            "TD D ON (A.ID >= D.AID)"));
    QVERIFY(a->GetFromSQL().startsWith(QLatin1String("  TA A \r\n  LEFT OUTER JOIN")));
    // A join entry whose columns are missing writes nothing.
    TKvJoinDef* broken = Join(c, QString(), d, QStringLiteral("X"));
    QCOMPARE(broken->GetSQL(), QString());
  }

  void severalColumnsOfOnePairShareOneJoin() {
    TKvIBSelectParser p;
    TKvTableDef* e = AddTable(p, QStringLiteral("EMPLOYEE"), QStringLiteral("E"));
    TKvTableDef* j = AddTable(p, QStringLiteral("JOB"), QStringLiteral("J"));
    AddColumn(e, QStringLiteral("EMP_NO"));
    Join(e, QStringLiteral("JOB_CODE"), j, QStringLiteral("JOB_CODE"));
    Join(e, QStringLiteral("JOB_GRADE"), j, QStringLiteral("JOB_GRADE"));
    QCOMPARE(p.GetSQL(), Lines({"SELECT ", "  E.EMP_NO", "FROM", "  EMPLOYEE E ",
                                "  INNER JOIN JOB J ON (E.JOB_CODE = J.JOB_CODE) AND "
                                "(E.JOB_GRADE = J.JOB_GRADE)"}));
  }

  // Links drawn towards one table from two others, or round in a ring, still name every
  // table once and keep every condition.
  void everyTableOnceEveryConditionKept() {
    TKvIBSelectParser p;
    TKvTableDef* d = AddTable(p, QStringLiteral("DEPARTMENT"), QStringLiteral("D"));
    TKvTableDef* j = AddTable(p, QStringLiteral("JOB"), QStringLiteral("J"));
    TKvTableDef* e = AddTable(p, QStringLiteral("EMPLOYEE"), QStringLiteral("E"));
    AddColumn(e, QStringLiteral("EMP_NO"));
    Join(d, QStringLiteral("DEPT_NO"), e, QStringLiteral("DEPT_NO"), jtLeftOuter);
    Join(j, QStringLiteral("JOB_CODE"), e, QStringLiteral("JOB_CODE"), jtLeftOuter);
    QString text = p.GetSQL();
    QCOMPARE(text.count(QLatin1String("EMPLOYEE E")), 1);
    QCOMPARE(text.count(QLatin1String("JOB J")), 1);
    // JOB comes in after EMPLOYEE; its left join turns round so that JOB keeps all rows.
    QVERIFY(text.contains(QLatin1String("RIGHT OUTER JOIN JOB J ON (J.JOB_CODE = E.JOB_CODE)")));
    QVERIFY(!text.contains(QLatin1String(",\r\n")));

    // A ring: every condition lands in the ON clause of whichever of its tables comes later.
    TKvIBSelectParser r;
    TKvTableDef* a = AddTable(r, QStringLiteral("TA"), QStringLiteral("A"));
    TKvTableDef* b = AddTable(r, QStringLiteral("TB"), QStringLiteral("B"));
    TKvTableDef* c = AddTable(r, QStringLiteral("TC"), QStringLiteral("C"));
    AddColumn(a, QStringLiteral("X"));
    Join(a, QStringLiteral("ID"), b, QStringLiteral("AID"));
    Join(b, QStringLiteral("ID"), c, QStringLiteral("BID"));
    Join(c, QStringLiteral("ID"), a, QStringLiteral("CID"));
    text = r.GetSQL();
    for (const char* t : {"TA A", "TB B", "TC C"})
      QCOMPARE(text.count(QLatin1String(t)), 1);
    QVERIFY(text.contains(QLatin1String("INNER JOIN TB B ON (A.ID = B.AID)")));
    QVERIFY(text.contains(QLatin1String("INNER JOIN TC C ON (C.ID = A.CID) AND (B.ID = C.BID)")));
  }

  void firebirdAndInterbaseClauses() {
    TKvIBSelectParser p;
    p.SetSQLServer(kssFireBird);
    QVERIFY(Sql(p, QStringLiteral("SELECT FIRST 10 SKIP 20 DISTINCT A FROM T"))
                .startsWith(QLatin1String("SELECT FIRST 10 SKIP 20 DISTINCT \r\n  T.A")));
    p.FBOptions()->First = 0;
    QVERIFY(p.GetSQL().startsWith(QLatin1String("SELECT SKIP 20 DISTINCT ")));
    // The clause belongs to Firebird: InterBase writes ROWS instead.
    p.SetSQLServer(kssInterBase);
    QVERIFY(p.GetSQL().startsWith(QLatin1String("SELECT DISTINCT ")));

    TKvIBSelectParser q;
    QVERIFY(Sql(q, QStringLiteral("SELECT A FROM T ORDER BY A ROWS 1 TO 10"))
                .endsWith(QLatin1String("ORDER BY\r\n  A\r\nROWS 1 TO 10")));
    q.IBOptions()->Rows = 0;
    QVERIFY(q.GetSQL().endsWith(QLatin1String("ROWS 0 TO 10")));
    q.IBOptions()->RowsTo = 0;
    q.IBOptions()->RowsBy = 3;
    q.IBOptions()->Percent = true;
    q.IBOptions()->WithTies = true;
    QVERIFY(q.GetSQL().endsWith(QLatin1String("A\r\nROWS 0 BY 3 PERCENT WITH TIES")));
    q.ScriptFormat()->SetKeywordsFormat(kfmLowerCase);
    QVERIFY(q.GetSQL().endsWith(QLatin1String("ROWS 0 BY 3 PERCENT WITH TIES")));
  }

  void fieldListOnItsOwn() {
    TKvIBSelectParser p;
    TKvTableDef* t = AddTable(p, QStringLiteral("T"));
    AddColumn(t, QStringLiteral("A"));
    AddColumn(t, QStringLiteral("B"));
    QCOMPARE(t->Fields()->GetSQL(), QStringLiteral("  T.A,\r\n  T.B"));
  }
};

QTEST_APPLESS_MAIN(TestGenerator)
#include "tst_generator.moc"
