// Reading SELECT text into the query model, reader by reader, and the refusals that keep a
// statement's meaning.

#include "KvIBParser.h"

#include <QtTest>

namespace {

struct Error {
  bool raised = false;
  int code = 0;
  int line = 0;
  int position = 0;
  QString token;
  QString message;
};

Error ParseError(TKvSelectParser& parser, const QString& sql) {
  Error e;
  try {
    parser.SetSQL(sql);
  } catch (const EKvParserError& ex) {
    e.raised = true;
    e.code = ex.Code();
    e.line = ex.Line();
    e.position = ex.Position();
    e.token = ex.Token();
    e.message = ex.Message();
  }
  return e;
}

// Parses with the InterBase/Firebird parser; fails the test when the text is refused.
#define PARSE(parser, sql)                                                                         \
  do {                                                                                             \
    const Error e_ = ParseError(parser, sql);                                                      \
    QVERIFY2(!e_.raised, qPrintable(e_.message + QStringLiteral(" :: ") + (sql)));                 \
  } while (0)

QStringList FieldNames(const TKvTableDef* t) {
  QStringList names;
  for (int i = 0; i < t->Fields()->Count(); ++i)
    names << t->Fields()->Items(i)->Name();
  return names;
}

QString Condition(const TKvCriterion* c) {
  QStringList args;
  for (int i = 0; i < c->Arguments()->Count(); ++i)
    args << c->Arguments()->Items(i)->Name();
  return c->Field()->Name() + QLatin1Char(' ') + c->Operator() + QLatin1Char(' ') +
         args.join(QLatin1Char('|'));
}

} // namespace

class TestParser : public QObject {
  Q_OBJECT

private slots:
  // --- The statement head and errors -----------------------------------------------------

  void errorsShowTheTokenAsTyped() {
    TKvIBSelectParser p;
    // Names are folded to upper case when read; the message keeps what the user wrote.
    Error e = ParseError(p, QStringLiteral("select a b c from t"));
    QCOMPARE(e.token, QStringLiteral("c"));
    QCOMPARE(e.message, QStringLiteral("Invalid token 'c' at position 12 of line 1."));
    // A string over two lines moves the lines after it on.
    e = ParseError(p, QStringLiteral("SELECT 'a\nb' AS X FROM T WHERE (A = B C)"));
    QCOMPARE(e.line, 2);
    QCOMPARE(e.position, 29);
    // An unterminated string points at its opening quote.
    e = ParseError(p, QStringLiteral("SELECT A FROM T WHERE (A = 'x) AND (B = 1)"));
    QCOMPARE(e.code, 3);
    QCOMPARE(e.line, 1);
    QCOMPARE(e.position, 28);
  }

  void errorsCarryCodeTokenAndPlace() {
    TKvIBSelectParser p;
    Error e = ParseError(p, QStringLiteral("SELEC A"));
    QVERIFY(e.raised);
    QCOMPARE(e.code, 1);
    QCOMPARE(e.token, QStringLiteral("SELEC"));
    QCOMPARE(e.position, 1);
    QCOMPARE(e.line, 1);
    QCOMPARE(e.message, QStringLiteral("Invalid token 'SELEC' at position 1 of line 1."));
    QVERIFY(!p.Valid());

    e = ParseError(p, QStringLiteral("SELECT A FROM"));
    QCOMPARE(e.code, 2);
    QCOMPARE(e.message, QStringLiteral("Unexpected end of statement."));

    e = ParseError(p, QStringLiteral("SELECT A\r\nFROM T\r\nWHERE A = = 1"));
    QCOMPARE(e.code, 1);
    QCOMPARE(e.line, 3);
    QCOMPARE(e.token, QStringLiteral("="));
    QCOMPARE(e.position, 11);

    // A bare line feed counts as a line break too.
    e = ParseError(p, QStringLiteral("SELECT A\nFROM T\n  WHERE A LIKE"));
    QCOMPARE(e.code, 2);
    e = ParseError(p, QStringLiteral("SELECT A\nFROM T\n  WHERE ? = 1"));
    QCOMPARE(e.line, 3);
    QCOMPARE(e.position, 9);
  }

  void errorEventReplacesTheException() {
    TKvIBSelectParser p;
    QString message, token;
    int line = 0, pos = 0, calls = 0;
    TKvSelectParser* sender = nullptr;
    p.OnParserError = [&](TKvSelectParser* s, const QString& m, const QString& t, int l, int c) {
      sender = s;
      message = m;
      token = t;
      line = l;
      pos = c;
      ++calls;
    };
    p.SetSQL(QStringLiteral("SELECT A FROM T\r\nORDER BY A B"));
    QCOMPARE(calls, 1);
    QCOMPARE(sender, &p);
    QCOMPARE(token, QStringLiteral("B"));
    QCOMPARE(line, 2);
    QCOMPARE(pos, 12);
    QCOMPARE(message, QStringLiteral("Invalid token 'B' at position 12 of line 2."));
    QVERIFY(!p.Valid());
    // What was read before the error stays in the model.
    QCOMPARE(p.TableDefs()->Count(), 1);

    // An unterminated string is raised whether or not the event is set.
    QVERIFY_THROWS_EXCEPTION(EKvParserError,
                             p.SetSQL(QStringLiteral("SELECT A FROM T WHERE A = 'x")));
    QCOMPARE(calls, 1);
    QVERIFY(!p.Valid());

    p.SetSQL(QStringLiteral("SELECT A FROM T"));
    QVERIFY(p.Valid());
  }

  void emptyTextEmptiesTheModel() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT DISTINCT A FROM T WHERE A = 1 ORDER BY A"));
    QVERIFY(p.Distinct());
    p.SetSQL(QStringLiteral("   \r\n "));
    QCOMPARE(p.TableDefs()->Count(), 0);
    QCOMPARE(p.WhereItems()->Count(), 0);
    QCOMPARE(p.OrderByItems()->Count(), 0);
    QVERIFY(p.Valid());
    QCOMPARE(p.GetSQL(), QString());
    // Clear keeps DISTINCT until the next statement is read.
    QVERIFY(p.Distinct());
    PARSE(p, QStringLiteral("SELECT A FROM T"));
    QVERIFY(!p.Distinct());
  }

  void semicolonEndsTheStatement() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A FROM T;"));
    QCOMPARE(p.TableDefs()->Count(), 1);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE A = 1 ;\r\n  "));
    // Anything after it would be lost unseen: a second statement is refused.
    const Error e = ParseError(p, QStringLiteral("SELECT A FROM T; SELECT B FROM U"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("SELECT"));
    QCOMPARE(e.position, 18);
    PARSE(p, QStringLiteral("SELECT A FROM T;;"));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T;; x")).raised);
  }

  // --- The SELECT list -----------------------------------------------------------------------

  void distinctAggregateExample() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT DISTINCT A, SUM(B) FROM T GROUP BY A"));
    QVERIFY(p.Distinct());
    QCOMPARE(p.TableDefs()->Count(), 1);
    const TKvTableDef* t = p.TableDefs()->Items(0);
    QCOMPARE(t->TableName(), QStringLiteral("T"));
    QCOMPARE(t->Alias(), QStringLiteral("T"));
    QCOMPARE(t->Fields()->Count(), 2);
    const TKvFieldDef* a = t->Fields()->Items(0);
    QCOMPARE(a->Name(), QStringLiteral("A"));
    QCOMPARE(a->Kind(), fkField);
    QCOMPARE(a->Number(), 0);
    const TKvFieldDef* sum = t->Fields()->Items(1);
    QCOMPARE(sum->Name(), QStringLiteral("SUM"));
    QCOMPARE(sum->Kind(), fkFunction);
    QCOMPARE(sum->Alias(), QStringLiteral("FIELD_1"));
    QCOMPARE(sum->Number(), 1);
    QCOMPARE(sum->Arguments()->Count(), 1);
    QCOMPARE(sum->Arguments()->Items(0)->Name(), QStringLiteral("B"));
    QCOMPARE(sum->Arguments()->Items(0)->Kind(), fkField);
    QCOMPARE(p.GroupByItems()->Lines(), QStringList{QStringLiteral("A")});
  }

  void starSelectsEverything() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT * FROM T"));
    QCOMPARE(p.TableDefs()->Count(), 1);
    const TKvTableDef* t = p.TableDefs()->Items(0);
    QCOMPARE(t->TableName(), QStringLiteral("T"));
    QCOMPARE(t->Fields()->Count(), 1);
    QCOMPARE(t->Fields()->Items(0)->Name(), QString());
    // The star stands alone: beside other columns it would be lost when written.
    QVERIFY(ParseError(p, QStringLiteral("SELECT *, A FROM T")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A, * FROM T")).raised);
    // A table's star is a column of that table.
    PARSE(p, QStringLiteral("SELECT X.*, Y.B FROM T1 X, T2 Y"));
    QCOMPARE(FieldNames(p.TableDefs()->FindByAlias(QStringLiteral("X"))),
             QStringList{QStringLiteral("*")});
  }

  void statementWithoutFrom() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A"));
    QCOMPARE(p.TableDefs()->Count(), 1);
    const TKvTableDef* t = p.TableDefs()->Items(0);
    QVERIFY(t->TableName().isEmpty());
    QVERIFY(t->Alias().isEmpty());
    QCOMPARE(FieldNames(t), QStringList{QStringLiteral("A")});
  }

  void columnsAndTheirTables() {
    TKvIBSelectParser p;
    // A qualifier before FROM names a table that FROM completes.
    PARSE(p, QStringLiteral("SELECT O.ID, O.TOTAL FROM ORDERS O"));
    QCOMPARE(p.TableDefs()->Count(), 1);
    const TKvTableDef* o = p.TableDefs()->Items(0);
    QCOMPARE(o->TableName(), QStringLiteral("ORDERS"));
    QCOMPARE(o->Alias(), QStringLiteral("O"));
    QCOMPARE(FieldNames(o), (QStringList{QStringLiteral("ID"), QStringLiteral("TOTAL")}));

    // Unqualified columns of a one-table statement belong to that table.
    PARSE(p, QStringLiteral("SELECT A, B FROM T"));
    QCOMPARE(p.TableDefs()->Count(), 1);
    QCOMPARE(FieldNames(p.TableDefs()->Items(0)), (QStringList{"A", "B"}));

    // Over several tables they cannot be given to one: they stay unqualified.
    PARSE(p, QStringLiteral("SELECT A, X.B FROM T1 X, T2 Y"));
    const TKvTableDef* anon = p.TableDefs()->FindByAlias(QString());
    QVERIFY(anon);
    QVERIFY(anon->TableName().isEmpty());
    QCOMPARE(FieldNames(anon), QStringList{QStringLiteral("A")});
    QCOMPARE(p.TableDefs()->FindByAlias(QStringLiteral("X"))->TableName(), QStringLiteral("T1"));
    QVERIFY(p.TableDefs()->FindByAlias(QStringLiteral("Y"))->Fields()->Count() == 0);
    PARSE(p, QStringLiteral("SELECT A FROM T1 X INNER JOIN T2 Y ON (X.ID = Y.ID)"));
    QVERIFY(p.TableDefs()->FindByAlias(QString())->TableName().isEmpty());
    QCOMPARE(FieldNames(p.TableDefs()->FindByAlias(QStringLiteral("X"))), QStringList());

    // A qualifier that FROM never names would write a table that does not exist.
    Error e = ParseError(p, QStringLiteral("SELECT Q.A FROM T"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("Q"));
    QCOMPARE(e.position, 8);
    // The table name is no qualifier once the table has an alias.
    QVERIFY(ParseError(p, QStringLiteral("SELECT T.A FROM T X")).raised);
  }

  void aliasesOfColumns() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A AS X, B Y, C \"Mixed\" FROM T"));
    const TKvFieldDefs* f = p.TableDefs()->Items(0)->Fields();
    QCOMPARE(f->Count(), 3);
    QCOMPARE(f->Items(0)->Alias(), QStringLiteral("X"));
    QCOMPARE(f->Items(1)->Alias(), QStringLiteral("Y"));
    QCOMPARE(f->Items(2)->Alias(), QStringLiteral("Mixed"));
    // AS needs a name after it; a keyword is none.
    QVERIFY(ParseError(p, QStringLiteral("SELECT A AS FROM T")).raised);
    // Two words after a column are not read as one name.
    QVERIFY(ParseError(p, QStringLiteral("SELECT A B C FROM T")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A, FROM T")).raised);
  }

  void functionsAndExpressions() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT COUNT(*), A + 1, COALESCE(A, 'x') AS C, LAST || ', ' || "
                            "FNAME AS WHO FROM T"));
    const TKvFieldDefs* f = p.TableDefs()->Items(0)->Fields();
    QCOMPARE(f->Count(), 4);
    QCOMPARE(f->Items(0)->Kind(), fkFunction);
    QCOMPARE(f->Items(0)->Arguments()->Items(0)->Name(), QStringLiteral("*"));
    QCOMPARE(f->Items(1)->Kind(), fkExpression);
    QCOMPARE(f->Items(1)->Name(), QStringLiteral("A + 1"));
    QCOMPARE(f->Items(1)->Alias(), QStringLiteral("FIELD_2"));
    QCOMPARE(f->Items(2)->Kind(), fkFunction);
    QCOMPARE(f->Items(2)->Name(), QStringLiteral("COALESCE"));
    QCOMPARE(f->Items(2)->Arguments()->Items(1)->Kind(), fkString);
    QCOMPARE(f->Items(3)->Name(), QStringLiteral("LAST || ', ' || FNAME"));

    // Two operators in a row, or an operator at the end, are refused.
    QVERIFY(ParseError(p, QStringLiteral("SELECT A + * B FROM T")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A + FROM T")).raised);
    // DISTINCT inside an aggregate cannot be kept.
    QVERIFY(ParseError(p, QStringLiteral("SELECT COUNT(DISTINCT A) FROM T")).raised);
    // A function name alone is no column.
    QVERIFY(ParseError(p, QStringLiteral("SELECT SUM FROM T")).raised);
  }

  void argumentsKeepTheirTables() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT COALESCE(X.A, Y.B, C) FROM T1 X, T2 Y"));
    const TKvTableDef* x = p.TableDefs()->FindByAlias(QStringLiteral("X"));
    QCOMPARE(x->Fields()->Count(), 1);
    const TKvFunctionDefs* args = x->Fields()->Items(0)->Arguments();
    // The column's own table qualifies its field arguments; others keep what was written.
    QCOMPARE(args->Items(0)->Name(), QStringLiteral("A"));
    QCOMPARE(args->Items(0)->Kind(), fkField);
    QCOMPARE(args->Items(1)->Name(), QStringLiteral("Y.B"));
    QCOMPARE(args->Items(1)->Kind(), fkExpression);
    QCOMPARE(args->Items(2)->Name(), QStringLiteral("C"));
    QCOMPARE(args->Items(2)->Kind(), fkExpression);
    // A generator name is no column.
    PARSE(p, QStringLiteral("SELECT GEN_ID(G, 1) FROM RDB$DATABASE"));
    QCOMPARE(p.TableDefs()->Items(0)->Fields()->Items(0)->Arguments()->Items(0)->Kind(), fkText);
  }

  void literals() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT 'it''s', '', 12, 12.50, -3, '''q''', DATE '2004-01-01' "
                            "FROM T"));
    const TKvFieldDefs* f = p.TableDefs()->Items(0)->Fields();
    QCOMPARE(f->Items(0)->Kind(), fkString);
    // The model holds a string's value.
    QCOMPARE(f->Items(0)->Name(), QStringLiteral("it's"));
    QCOMPARE(f->Items(1)->Name(), QString());
    QCOMPARE(f->Items(1)->Kind(), fkString);
    QCOMPARE(f->Items(2)->Kind(), fkInteger);
    QCOMPARE(f->Items(3)->Kind(), fkFloat);
    QCOMPARE(f->Items(3)->Name(), QStringLiteral("12.50"));
    QCOMPARE(f->Items(4)->Name(), QStringLiteral("-3"));
    // A value that starts and ends with a quote keeps a pair around it for the writer.
    QCOMPARE(f->Items(5)->Name(), QStringLiteral("''q''"));
    QCOMPARE(f->Items(5)->GetSQL().left(7), QStringLiteral("'''q'''"));
    QCOMPARE(f->Items(6)->Name(), QStringLiteral("DATE '2004-01-01'"));
  }

  // --- FROM and joins ------------------------------------------------------------------------

  void outerJoinExample() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT O.ID FROM ORDERS O LEFT OUTER JOIN CUSTOMERS K ON (O.CUST "
                            "= K.ID) WHERE (O.TOTAL > 100) AND (K.NAME LIKE 'A%') ORDER BY "
                            "O.ID DESC"));
    const TKvTableDef* o = p.TableDefs()->FindByAlias(QStringLiteral("O"));
    const TKvTableDef* k = p.TableDefs()->FindByAlias(QStringLiteral("K"));
    QVERIFY(o && k);
    QCOMPARE(o->TableName(), QStringLiteral("ORDERS"));
    QCOMPARE(k->TableName(), QStringLiteral("CUSTOMERS"));
    QCOMPARE(FieldNames(o), QStringList{QStringLiteral("ID")});
    QCOMPARE(o->Joins()->Count(), 1);
    const TKvJoinDef* j = o->Joins()->Items(0);
    QCOMPARE(j->Field(), QStringLiteral("CUST"));
    QCOMPARE(j->Operator(), QStringLiteral("="));
    QCOMPARE(j->JoinTable(), QStringLiteral("K"));
    QCOMPARE(j->JoinField(), QStringLiteral("ID"));
    QCOMPARE(j->JoinType(), jtLeftOuter);
    QCOMPARE(p.WhereItems()->Relation(), krAll);
    QCOMPARE(p.WhereItems()->Count(), 2);
    QCOMPARE(Condition(p.WhereItems()->Items(0)), QStringLiteral("O.TOTAL > 100"));
    QCOMPARE(Condition(p.WhereItems()->Items(1)), QStringLiteral("K.NAME LIKE A%"));
    QCOMPARE(p.OrderByItems()->Lines(), QStringList{QStringLiteral("O.ID")});
    QCOMPARE(p.OrderByItems()->Direction(0), 1);
  }

  void joinTypesAndConditions_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("op");
    QTest::newRow("inner") << "A X INNER JOIN B Y ON (X.F = Y.G)" << int(jtInner) << "=";
    QTest::newRow("left") << "A X LEFT JOIN B Y ON (X.F = Y.G)" << int(jtLeftOuter) << "=";
    QTest::newRow("right") << "A X RIGHT OUTER JOIN B Y ON X.F = Y.G" << int(jtRightOuter) << "=";
    QTest::newRow("full") << "A X FULL JOIN B Y ON (X.F >= Y.G)" << int(jtFullOuter) << ">=";
    // Written the other way round: the sides and the comparison turn.
    QTest::newRow("reversed") << "A X INNER JOIN B Y ON (Y.G < X.F)" << int(jtInner) << ">";
    QTest::newRow("reversed <=") << "A X INNER JOIN B Y ON Y.G <= X.F" << int(jtInner) << ">=";
  }

  void joinTypesAndConditions() {
    QFETCH(QString, from);
    QFETCH(int, type);
    QFETCH(QString, op);
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT X.A FROM ") + from);
    const TKvTableDef* x = p.TableDefs()->FindByAlias(QStringLiteral("X"));
    QCOMPARE(x->Joins()->Count(), 1);
    const TKvJoinDef* j = x->Joins()->Items(0);
    QCOMPARE(int(j->JoinType()), type);
    QCOMPARE(j->Operator(), op);
    QCOMPARE(j->Field(), QStringLiteral("F"));
    QCOMPARE(j->JoinTable(), QStringLiteral("Y"));
    QCOMPARE(j->JoinField(), QStringLiteral("G"));
  }

  void joinOnSeveralColumns() {
    TKvIBSelectParser p;
    for (const char* on : {"(X.A = Y.A) AND (X.B = Y.B)", "(X.A = Y.A AND X.B = Y.B)",
                           "X.A = Y.A AND Y.B = X.B", "((X.A = Y.A) AND (X.B = Y.B))"}) {
      PARSE(p, QStringLiteral("SELECT X.C FROM T1 X INNER JOIN T2 Y ON ") + QLatin1String(on));
      const TKvJoinDefs* joins = p.TableDefs()->FindByAlias(QStringLiteral("X"))->Joins();
      QCOMPARE(joins->Count(), 2);
      QVERIFY(joins->Find(QStringLiteral("A"), QStringLiteral("Y"), QStringLiteral("A")));
      QVERIFY(joins->Find(QStringLiteral("B"), QStringLiteral("Y"), QStringLiteral("B")));
    }
    // OR, literals and columns of a third table cannot be written as a join.
    QVERIFY(ParseError(p, QStringLiteral("SELECT X.C FROM T1 X INNER JOIN T2 Y ON X.A = Y.A OR "
                                         "X.B = Y.B"))
                .raised);
    QVERIFY(
        ParseError(p, QStringLiteral("SELECT X.C FROM T1 X INNER JOIN T2 Y ON X.A = 1")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT X.C FROM T1 X INNER JOIN T2 Y ON (X.A = Y.A) "
                                         "INNER JOIN T3 Z ON (X.A = Z.A) AND (Y.B = Z.B)"))
                .raised);
    // Neither side is the joined table.
    QVERIFY(ParseError(p, QStringLiteral("SELECT X.C FROM T1 X INNER JOIN T2 Y ON (X.A = X.B)"))
                .raised);
  }

  void fromRefusals() {
    TKvIBSelectParser p;
    Error e = ParseError(p, QStringLiteral("SELECT A FROM T AS X"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("AS"));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T1 JOIN T2 ON (T1.A = T2.A)")).raised);
    // The same alias twice.
    e = ParseError(p, QStringLiteral("SELECT X.A FROM T1 X, T2 X"));
    QVERIFY(e.raised);
    QCOMPARE(e.position, 26);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T T2 T3")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM 'T'")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T,")).raised);
  }

  void newTablesStartEmpty() {
    // A FROM entry that matches no qualifier gets no copies of other tables' columns.
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT X.A, X.B FROM T1 X, T2, T3 Z"));
    QCOMPARE(p.TableDefs()->Count(), 3);
    QCOMPARE(p.TableDefs()->FindByAlias(QStringLiteral("T2"))->Fields()->Count(), 0);
    QCOMPARE(p.TableDefs()->FindByAlias(QStringLiteral("Z"))->Fields()->Count(), 0);
    QCOMPARE(p.TableDefs()->FieldCount(), 2);
  }

  void joinOrderMustKeepMeaning() {
    TKvIBSelectParser p;
    // Inner and left joins give the same rows in the writer's order.
    PARSE(p, QStringLiteral("SELECT X.A FROM T1 X LEFT JOIN T2 Y ON (X.ID = Y.ID) INNER JOIN "
                            "T3 Z ON (Y.ID = Z.ID) LEFT JOIN T4 W ON (X.ID = W.ID)"));
    // A right join followed by a join of an earlier table would move.
    const Error e = ParseError(p, QStringLiteral("SELECT X.A FROM T1 X INNER JOIN T2 Y ON (X.ID "
                                                 "= Y.ID) RIGHT JOIN T3 Z ON (Y.ID = Z.ID) "
                                                 "INNER JOIN T4 W ON (X.ID = W.ID)"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("Z"));
    // Mixing a comma list with a join that reaches into another entry.
    QVERIFY(ParseError(p, QStringLiteral("SELECT X.A FROM T1 X, T2 Y INNER JOIN T3 Z ON (X.ID "
                                         "= Z.ID)"))
                .raised);
  }

  // --- Conditions -----------------------------------------------------------------------------

  void operatorsAndTheirOperands() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (A IS NULL) AND (A IS NOT NULL) AND (A NOT "
                            "LIKE 'x%') AND (A BETWEEN 1 AND 10) AND (A IN (1, 'b', C)) AND (A "
                            "NOT IN (2)) AND (A <> B) AND (a is not null)"));
    const TKvWhereItems* w = p.WhereItems();
    QCOMPARE(w->Count(), 8);
    QCOMPARE(Condition(w->Items(0)), QStringLiteral("A IS NULL "));
    QCOMPARE(Condition(w->Items(1)), QStringLiteral("A IS NOT NULL "));
    QCOMPARE(Condition(w->Items(2)), QStringLiteral("A NOT LIKE x%"));
    QCOMPARE(Condition(w->Items(3)), QStringLiteral("A BETWEEN 1|10"));
    // An IN list is one argument carrying its brackets.
    QCOMPARE(Condition(w->Items(4)), QStringLiteral("A IN (1, 'b', C)"));
    QCOMPARE(w->Items(4)->Arguments()->Count(), 1);
    QCOMPARE(Condition(w->Items(5)), QStringLiteral("A NOT IN (2)"));
    QCOMPARE(Condition(w->Items(6)), QStringLiteral("A <> B"));
    // Operators are read in any letter case and stored by their caption.
    QCOMPARE(Condition(w->Items(7)), QStringLiteral("A IS NOT NULL "));

    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A LIKE 'x' ESCAPE '#'")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A BETWEEN 1 OR 2")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A IN 1, 2")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A IN (SELECT B FROM U)")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A = 1 AND")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE (A = 1")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A = 1)")).raised);
  }

  void operatorsComeFromTheTable() {
    TKvIBSelectParser p;
    TKvOperator* containing = p.Operators()->Add();
    containing->SetCaption(QStringLiteral("CONTAINING"));
    containing->SetName(QStringLiteral("CONTAINING"));
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE A CONTAINING 'x'"));
    QCOMPARE(p.WhereItems()->Items(0)->Operator(), QStringLiteral("CONTAINING"));
    delete p.Operators()->FindByCaption(QStringLiteral("LIKE"));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T WHERE A LIKE 'x'")).raised);
    // NOT LIKE is still there, found through its own caption.
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE A NOT LIKE 'x'"));
  }

  void andBindsTighterThanOr() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (A = 1) AND (B = 2) OR (D = 3)"));
    const TKvWhereItems* w = p.WhereItems();
    QCOMPARE(w->Relation(), krAny);
    QCOMPARE(w->Count(), 2);
    QCOMPARE(w->Items(0)->Items()->Relation(), krAll);
    QCOMPARE(w->Items(0)->Items()->Count(), 2);
    QCOMPARE(Condition(w->Items(1)), QStringLiteral("D = 3"));

    PARSE(p, QStringLiteral("SELECT A FROM T WHERE A = 1 OR B = 2 AND C = 3 OR D = 4"));
    QCOMPARE(w->Relation(), krAny);
    QCOMPARE(w->Count(), 3);
    QCOMPARE(w->Items(1)->Items()->Count(), 2);

    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (A = 1 OR B = 2) AND C = 3"));
    QCOMPARE(w->Relation(), krAll);
    QCOMPARE(w->Items(0)->Items()->Relation(), krAny);
  }

  void notAndBrackets() {
    TKvIBSelectParser p;
    const TKvWhereItems* w = p.WhereItems();
    // NOT around the whole clause is the list's relation.
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE NOT ((A = 1) AND (B = 2))"));
    QCOMPARE(w->Relation(), krNotAll);
    QCOMPARE(w->Count(), 2);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE NOT ((A = 1) OR (B = 2))"));
    QCOMPARE(w->Relation(), krNone);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE NOT A = 1"));
    QCOMPARE(w->Relation(), krNotAll);
    QCOMPARE(w->Count(), 1);
    // NOT before one term of several is a group of its own.
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE NOT (A = 1) AND (B = 2)"));
    QCOMPARE(w->Relation(), krAll);
    QCOMPARE(w->Count(), 2);
    QCOMPARE(w->Items(0)->Items()->Relation(), krNotAll);
    QCOMPARE(w->Items(0)->Items()->Count(), 1);
    // Brackets around a condition are its own; a second pair makes a group.
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (A = 1)"));
    QCOMPARE(w->Items(0)->Items()->Count(), 0);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE ((A = 1))"));
    QCOMPARE(w->Items(0)->Items()->Count(), 1);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (NOT ((A = 1) OR (B = 2))) AND (C = 3)"));
    QCOMPARE(w->Items(0)->Items()->Relation(), krNone);
    QCOMPARE(w->Items(0)->Items()->Count(), 2);
  }

  void conditionOperands() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT X.A FROM T X WHERE (x.b = 'O''Neil') AND (UPPER(X.C) = "
                            "X.D || 'x') AND (X.E + 1 > -2.5) AND (\"X\".\"lower\" = X.A)"));
    const TKvWhereItems* w = p.WhereItems();
    // Names keep their qualifier as text, in the letter case the server gives them.
    QCOMPARE(w->Items(0)->Field()->Name(), QStringLiteral("X.B"));
    QCOMPARE(w->Items(0)->Field()->Kind(), fkField);
    QCOMPARE(w->Items(0)->Arguments()->Items(0)->Name(), QStringLiteral("O'Neil"));
    QCOMPARE(w->Items(1)->Field()->Kind(), fkFunction);
    QCOMPARE(w->Items(1)->Field()->Arguments()->Items(0)->Name(), QStringLiteral("X.C"));
    QCOMPARE(w->Items(1)->Arguments()->Items(0)->Kind(), fkExpression);
    QCOMPARE(w->Items(1)->Arguments()->Items(0)->Name(), QStringLiteral("X.D || 'x'"));
    QCOMPARE(w->Items(2)->Field()->Name(), QStringLiteral("X.E + 1"));
    QCOMPARE(w->Items(2)->Arguments()->Items(0)->Name(), QStringLiteral("-2.5"));
    QCOMPARE(w->Items(3)->Field()->Name(), QStringLiteral("X.\"lower\""));
    // A qualifier must name a table of the FROM clause.
    const Error e = ParseError(p, QStringLiteral("SELECT A FROM T WHERE Q.A = 1"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("Q"));
  }

  void composeGroupsTheOtherConditions() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE (A = 1) OR (B = 2) OR (C = 3)"));
    TKvWhereItems* w = p.WhereItems();
    p.Compose(w->Items(1));
    QCOMPARE(w->Count(), 2);
    QCOMPARE(w->Items(0)->Items()->Count(), 2);
    QCOMPARE(w->Items(0)->Items()->Relation(), krAny);
    QCOMPARE(Condition(w->Items(0)->Items()->Items(0)), QStringLiteral("A = 1"));
    QCOMPARE(Condition(w->Items(0)->Items()->Items(1)), QStringLiteral("C = 3"));
    QCOMPARE(Condition(w->Items(1)), QStringLiteral("B = 2"));
  }

  // --- GROUP BY, HAVING, ORDER BY --------------------------------------------------------------

  void groupingMustMatchTheColumns() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A, B, COUNT(*) FROM T GROUP BY B, A"));
    PARSE(p, QStringLiteral("SELECT X.A, COUNT(*) FROM T X GROUP BY A"));
    PARSE(p, QStringLiteral("SELECT A, COUNT(*) FROM T GROUP BY A HAVING COUNT(*) > 1"));
    QCOMPARE(p.HavingItems()->Count(), 1);
    // A column beside an aggregate that is not grouped: the writer would add it.
    Error e = ParseError(p, QStringLiteral("SELECT A, B, COUNT(*) FROM T GROUP BY A"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("B"));
    QCOMPARE(e.position, 11);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A, COUNT(*) FROM T")).raised);
    // Grouping by a column the list lacks: the writer would drop it.
    e = ParseError(p, QStringLiteral("SELECT COUNT(*) FROM T GROUP BY A"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("A"));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T GROUP BY A")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A, COUNT(*) FROM T GROUP BY 1")).raised);
    // HAVING is written only with a GROUP BY.
    e = ParseError(p, QStringLiteral("SELECT COUNT(*) FROM T HAVING COUNT(*) > 1"));
    QVERIFY(e.raised);
    QCOMPARE(e.token, QStringLiteral("HAVING"));
  }

  void sortLines() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT X.A, B FROM T X ORDER BY X.A DESC, B, 2 ASC, X.A, \"c d\" "
                            "DESCENDING"));
    const TKvOrderByItems* o = p.OrderByItems();
    QCOMPARE(o->Lines(), (QStringList{"X.A", "B", "2", "\"c d\""}));
    QCOMPARE(o->Directions(), (QList<int>{1, 0, 0, 1}));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ORDER BY A NULLS LAST")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ORDER BY UPPER(A)")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ORDER BY")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ORDER BY A,")).raised);
  }

  void clauseOrder() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A, COUNT(*) FROM T WHERE A > 0 GROUP BY A HAVING COUNT(*) > "
                            "1 ORDER BY A"));
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ORDER BY A WHERE A = 1")).raised);
    QVERIFY(
        ParseError(p, QStringLiteral("SELECT A FROM T WHERE A = 1 UNION SELECT B FROM U")).raised);
    QVERIFY(ParseError(p, QStringLiteral("WITH X AS (SELECT A FROM T) SELECT A FROM X")).raised);
    // The generic parser has no tail clause.
    TKvSelectParser generic;
    QVERIFY(ParseError(generic, QStringLiteral("SELECT A FROM T ROWS 1")).raised);
  }

  // --- The InterBase/Firebird dialect ---------------------------------------------------------

  void firebirdFirstAndSkip() {
    TKvIBSelectParser p;
    p.SetSQLServer(kssFireBird);
    PARSE(p, QStringLiteral("SELECT FIRST 5 A FROM T"));
    QCOMPARE(p.FBOptions()->First, 5);
    QCOMPARE(p.FBOptions()->Skip, 0);
    PARSE(p, QStringLiteral("SELECT SKIP 3 DISTINCT A FROM T"));
    QCOMPARE(p.FBOptions()->First, 0);
    QCOMPARE(p.FBOptions()->Skip, 3);
    QVERIFY(p.Distinct());
    QVERIFY(ParseError(p, QStringLiteral("SELECT FIRST X FROM T")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT FIRST 1 SKIP FROM T")).raised);
    // FIRST 0 returns no rows, but writes as no limit.
    QVERIFY(ParseError(p, QStringLiteral("SELECT FIRST 0 A FROM T")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT FIRST 99999999999 A FROM T")).raised);
    // Each read starts from empty options.
    PARSE(p, QStringLiteral("SELECT A FROM T"));
    QCOMPARE(p.FBOptions()->Skip, 0);
    // InterBase has no FIRST: the word is no column either.
    p.SetSQLServer(kssInterBase);
    QVERIFY(ParseError(p, QStringLiteral("SELECT FIRST 5 A FROM T")).raised);
  }

  void interbaseRows() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT A FROM T ORDER BY A ROWS 1 TO 10"));
    QCOMPARE(p.IBOptions()->Rows, 1);
    QCOMPARE(p.IBOptions()->RowsTo, 10);
    PARSE(p, QStringLiteral("SELECT A FROM T ROWS 10 PERCENT WITH TIES"));
    QVERIFY(p.IBOptions()->Percent);
    QVERIFY(p.IBOptions()->WithTies);
    PARSE(p, QStringLiteral("SELECT A FROM T WHERE A = 1 ROWS 5 TO 20 BY 2"));
    QCOMPARE(p.IBOptions()->RowsBy, 2);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ROWS X")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ROWS 5 WITH")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ROWS 5 ORDER BY A")).raised);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ROWS 0")).raised);
    PARSE(p, QStringLiteral("SELECT A FROM T ROWS 0 TO 5"));
    p.SetSQLServer(kssFireBird);
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM T ROWS 5")).raised);
  }

  void dialectDecidesWhatQuotesMean() {
    TKvIBSelectParser p;
    PARSE(p, QStringLiteral("SELECT \"Name\" FROM T WHERE A = 'x'"));
    QCOMPARE(p.TableDefs()->Items(0)->Fields()->Items(0)->Kind(), fkField);
    QCOMPARE(p.TableDefs()->Items(0)->Fields()->Items(0)->Name(), QStringLiteral("Name"));
    p.SetSQLDialect(kibDialect1);
    PARSE(p, QStringLiteral("SELECT \"Name\" FROM T WHERE A = \"x\""));
    QCOMPARE(p.TableDefs()->Items(0)->Fields()->Items(0)->Kind(), fkString);
    QCOMPARE(p.WhereItems()->Items(0)->Arguments()->Items(0)->Kind(), fkString);
    // Dialect 1 has no quoted names: a quoted table name is a string, no table.
    QVERIFY(ParseError(p, QStringLiteral("SELECT A FROM \"T\"")).raised);
  }
};

QTEST_APPLESS_MAIN(TestParser)
#include "tst_parser.moc"
