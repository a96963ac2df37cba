#include "KvIBScanner.h"
#include "KvParserError.h"
#include "KvScanner.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum Dialect { Generic, IB3, IB1 };

std::unique_ptr<TKvSQLScanner> MakeScanner(int dialect) {
  if (dialect == Generic) return std::make_unique<TKvSQLScanner>();
  auto ib = std::make_unique<TKvIBScanner>();
  ib->SetSQLDialect(dialect == IB3 ? kibDialect3 : kibDialect1);
  return ib;
}

QString KindName(TKvTokenKind k) {
  static const char* const names[] = {"unk", "kw", "fn",  "dl", "int", "fl", "str", "quote",
                                      "sp",  "nl", "end", "id", "qd",  "op", "cmp"};
  return k < 15 ? QLatin1String(names[k]) : u"kind%1"_s.arg(int(k));
}

QString Visible(QString s) {
  s.replace(u'\r', u"<CR>"_s);
  s.replace(u'\n', u"<LF>"_s);
  return s;
}

QString Describe(const TKvSQLScanner& s) {
  return KindName(s.TokenKind()) + u'(' + Visible(s.Token()) + u')';
}

// Calls `each` for the first token and every following one up to the first end token.
template <class F>
void Walk(TKvSQLScanner& s, const QString& text, F each) {
  s.SetText(text);
  for (qsizetype guard = 0; guard < 4 * text.size() + 10; ++guard) {
    each();
    if (s.TokenKind() == tkEnd) return;
    s.NextToken();
  }
  QFAIL("no end token");
}

QStringList Scan(TKvSQLScanner& s, const QString& text) {
  QStringList r;
  Walk(s, text, [&] { r << Describe(s); });
  return r;
}

// Every observable field, for comparing states.
QStringList Snapshot(const TKvSQLScanner& s) {
  return {
      u"Token="_s + Visible(s.Token()),
      u"TokenKind="_s + KindName(s.TokenKind()),
      u"Position=%1"_s.arg(s.Position()),
      u"TextLength=%1"_s.arg(s.TextLength()),
      u"Line=%1"_s.arg(s.Line()),
      u"Column=%1"_s.arg(s.Column()),
      u"BracketLevel=%1"_s.arg(s.BracketLevel()),
      u"BlankCount=%1"_s.arg(s.BlankCount()),
      u"InQuote=%1"_s.arg(s.InQuote()),
      u"QuoteChar=%1"_s.arg(int(s.QuoteChar().unicode())),
      u"EmptyStringPending=%1"_s.arg(s.EmptyStringPending()),
      u"TokenWasQuoted=%1"_s.arg(s.TokenWasQuoted()),
      u"TokenStart=%1"_s.arg(s.TokenStart()),
  };
}

// Reads `text` to its real end. Returns an empty text when all went well, else what went wrong.
QString Drive(TKvSQLScanner& s, const QString& text, bool checkTexts) {
  const qsizetype cap = 4 * text.size() + 10;
  bool peekRaised = false;
  try {
    s.SetText(text);
    int last = s.Position();
    for (qsizetype calls = 1;; ++calls) {
      if (s.Position() < 1 || s.Position() > s.TextLength() + 1)
        return u"position %1 out of range"_s.arg(s.Position());
      if (checkTexts && s.TokenKind() != tkEnd &&
          text.mid(s.TokenStart() - 1, s.Token().size()) != s.Token())
        return u"token %1 not found at %2"_s.arg(s.Token()).arg(s.TokenStart());
      if (s.TokenKind() == tkEnd && s.Position() > s.TextLength()) return QString();
      if (calls > cap) return u"no end after %1 calls"_s.arg(cap);
      QString peeked;
      if (calls % 3 == 0) {
        try {
          peeked = s.PeekToken();
        } catch (const EKvParserError&) {
          peekRaised = true;
        }
      }
      const QString next = s.NextToken();
      if (peekRaised) return u"peek raised, the next read did not"_s;
      if (calls % 3 == 0 && next != peeked)
        return u"peek gave %1, the next read %2"_s.arg(peeked, next);
      if (s.Position() < last)
        return u"position went back from %1 to %2"_s.arg(last).arg(s.Position());
      last = s.Position();
    }
  } catch (const EKvParserError& e) {
    if (e.Code() != 3) return u"error code %1"_s.arg(e.Code());
    if (!s.InQuote()) return u"raised outside quotes"_s;
    return QString();
  }
}

QString Mutate(QRandomGenerator& rng, QString text, const QString& alphabet) {
  const int edits = rng.bounded(1, 5);
  for (int i = 0; i < edits; ++i) {
    const int at = rng.bounded(int(text.size()) + 1);
    switch (rng.bounded(5)) {
    case 0:
      text.insert(at, alphabet.at(rng.bounded(int(alphabet.size()))));
      break;
    case 1:
      if (at < text.size()) text.remove(at, 1);
      break;
    case 2:
      text.insert(at, text.mid(rng.bounded(int(text.size()) + 1), rng.bounded(8)));
      break;
    case 3:
      text.truncate(at);
      break;
    default:
      if (at < text.size()) text[at] = alphabet.at(rng.bounded(int(alphabet.size())));
      break;
    }
  }
  return text;
}

} // namespace

class TestScanner : public QObject {
  Q_OBJECT
private slots:
  void tokens_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    auto row = [](const char* name, int d, const QString& text, const QStringList& expected) {
      QTest::newRow(name) << d << text << expected;
    };
    row("simple select", Generic, "SELECT a,b FROM t",
        {"kw(SELECT)", "id(a)", "dl(,)", "id(b)", "kw(FROM)", "id(t)", "end()"});
    row("empty text", Generic, "", {"end()"});
    row("doubled quote", Generic, "'it''s'", {"qd(it''s)", "end()"});
    row("doubled double quote", Generic, "\"a\"\"b\"", {"qd(a\"\"b)", "end()"});
    row("other quote inside", Generic, "'a\"b'", {"qd(a\"b)", "end()"});
    row("empty string", Generic, "''", {"qd()", "end()"});
    row("empty string then word", Generic, "'' x", {"qd()", "id(x)", "end()"});
    row("empty strings around word", Generic, "''x''", {"qd()", "id(x)", "qd()", "end()"});
    row("only a doubled quote", Generic, "''''", {"qd('')", "end()"});
    row("quote ends word", Generic, "a'b'", {"id(a)", "qd(b)", "end()"});
    row("blanks kept in quotes", Generic, "'a b, c'", {"qd(a b, c)", "end()"});
    row("quoted semicolon", Generic, "';' x", {"qd(;)", "id(x)", "end()"});
    row("quoted operator", Generic, "'+'", {"qd(+)", "end()"});
    row("lf breaks line", Generic, "a\nb", {"id(a)", "id(b)", "end()"});
    row("crlf breaks line", Generic, "a\r\nb", {"id(a)", "id(b)", "end()"});
    row("lone cr", Generic, "a\rb", {"id(a)", "dl(<CR>)", "id(b)", "end()"});
    row("cr before crlf", Generic, "\r\r\nx", {"dl(<CR>)", "id(x)", "end()"});
    row("not equal", Generic, "a<>b", {"id(a)", "cmp(<>)", "id(b)", "end()"});
    row("less", Generic, "a<b", {"id(a)", "cmp(<)", "id(b)", "end()"});
    row("less or equal", Generic, "a<=b", {"id(a)", "cmp(<=)", "id(b)", "end()"});
    row("equal", Generic, "a = b", {"id(a)", "cmp(=)", "id(b)", "end()"});
    row("three compare chars", Generic, "a<>=b", {"id(a)", "cmp(<>)", "cmp(=)", "id(b)", "end()"});
    row("star is operator", Generic, "COUNT(*)", {"fn(COUNT)", "dl(()", "op(*)", "dl())", "end()"});
    row("arithmetic", Generic, "a+b-c/d",
        {"id(a)", "op(+)", "id(b)", "op(-)", "id(c)", "op(/)", "id(d)", "end()"});
    row("semicolon ends", Generic, "a;b", {"id(a)", "end(;)"});
    row("case-insensitive words", Generic, "select Sum(x) From t",
        {"kw(select)", "fn(Sum)", "dl(()", "id(x)", "dl())", "kw(From)", "id(t)", "end()"});
    row("integer", Generic, "123", {"int(123)", "end()"});
    row("digits then letters", Generic, "2abc", {"unk(2abc)", "end()"});
    row("unknown characters", Generic, "#a", {"unk(#a)", "end()"});
    row("bang is delimiter", Generic, "a!b", {"id(a)", "dl(!)", "id(b)", "end()"});
    row("decimal", Generic, "12.50", {"fl(12.50)", "end()"});
    row("decimal in expression", Generic, "x=12.50)",
        {"id(x)", "cmp(=)", "fl(12.50)", "dl())", "end()"});
    row("decimal before comma", Generic, "3.14,2", {"fl(3.14)", "dl(,)", "int(2)", "end()"});
    row("decimal before crlf", Generic, "3.14\r\n", {"fl(3.14)", "end()"});
    row("decimal before lf", Generic, "3.14\nx", {"fl(3.14)", "id(x)", "end()"});
    row("decimal before blank", Generic, "1.5 x", {"fl(1.5)", "id(x)", "end()"});
    row("letter is last char", Generic, "1.5x", {"fl(1.5)", "id(x)", "end()"});
    row("letters after decimal", Generic, "1.5xy", {"int(1)", "dl(.)", "unk(5xy)", "end()"});
    row("two points", Generic, "1..2", {"int(1)", "dl(.)", "dl(.)", "int(2)", "end()"});
    row("three numbers", Generic, "1.2.3", {"int(1)", "dl(.)", "fl(2.3)", "end()"});
    row("qualified number", Generic, "t.1", {"id(t)", "dl(.)", "int(1)", "end()"});
    row("leading point", Generic, ".5", {"dl(.)", "int(5)", "end()"});
    row("exponent is not read", Generic, "1.5e3 ", {"int(1)", "dl(.)", "unk(5e3)", "end()"});

    row("ib select", IB3, "SELECT a FROM t", {"kw(SELECT)", "id(A)", "kw(FROM)", "id(T)", "end()"});
    row("ib lower case", IB3, "select orders.id from Orders",
        {"kw(select)", "id(ORDERS)", "dl(.)", "id(ID)", "kw(from)", "id(ORDERS)", "end()"});
    row("ib doubled quote", IB3, "'it''s'", {"str(it''s)", "end()"});
    row("ib empty string", IB3, "''", {"str()", "end()"});
    row("ib quoted name keeps case", IB3, "\"Orders\"", {"id(Orders)", "end()"});
    row("ib concatenation", IB3, "'a' || 'b'", {"str(a)", "op(||)", "str(b)", "end()"});
    row("ib concatenation unspaced", IB3, "'a'||'b'", {"str(a)", "op(||)", "str(b)", "end()"});
    row("ib dollar", IB3, "rdb$relations", {"id(RDB$RELATIONS)", "end()"});
    row("ib dollar first", IB3, "$X", {"unk($X)", "end()"});
    row("ib functions", IB3, "gen_id(G, 1)",
        {"fn(gen_id)", "dl(()", "id(G)", "dl(,)", "int(1)", "dl())", "end()"});
    row("ib limit words", IB3, "FIRST 10 SKIP 5 ROWS",
        {"kw(FIRST)", "int(10)", "kw(SKIP)", "int(5)", "kw(ROWS)", "end()"});
    row("ib1 double quotes are strings", IB1, "\"Abc\" 'd'", {"str(Abc)", "str(d)", "end()"});
    row("ib1 empty string", IB1, "\"\"", {"str()", "end()"});
    row("ib1 name folded", IB1, "name", {"id(NAME)", "end()"});
  }

  void tokens() {
    QFETCH(int, dialect);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    auto s = MakeScanner(dialect);
    QCOMPARE(Scan(*s, text), expected);
  }

  void linesAndColumns_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected"); // token@line:column where it starts
    QTest::newRow("two lines") << "SELECT a\r\nFROM t"
                               << QStringList{"SELECT@1:1", "a@1:8", "FROM@2:1", "t@2:6", "@2:7"};
    QTest::newRow("lf") << "a\nb" << QStringList{"a@1:1", "b@2:1", "@2:2"};
    QTest::newRow("lone cr") << "a\rb" << QStringList{"a@1:1", "<CR>@1:2", "b@1:3", "@1:4"};
    QTest::newRow("blank lines") << "a\r\n\r\n  b" << QStringList{"a@1:1", "b@3:3", "@3:4"};
    QTest::newRow("quoted") << "'x y'\r\nz" << QStringList{"x y@1:2", "z@2:1", "@2:2"};
    QTest::newRow("line break in quotes")
        << "'a\r\nb' c" << QStringList{"a<CR><LF>b@2:*", "c@2:4", "@2:5"};
    QTest::newRow("tab") << "\tx" << QStringList{"x@1:2", "@1:3"};
    QTest::newRow("decimal resumes after digits")
        << "x=12.50)" << QStringList{"x@1:1", "=@1:2", "12.50@1:3", ")@1:8", "@1:9"};
    QTest::newRow("only a break") << "\r\n" << QStringList{"@2:1"};
  }

  void linesAndColumns() {
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    TKvSQLScanner s;
    QStringList got;
    // A token over several lines ends on its last line: its start column is not shown.
    Walk(s, text, [&] {
      const QString column =
          s.Token().contains(u'\n') ? u"*"_s : QString::number(s.Column() - s.Token().size());
      got << u"%1@%2:%3"_s.arg(Visible(s.Token())).arg(s.Line()).arg(column);
    });
    QCOMPARE(got, expected);
  }

  void blankCount_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // per token, end included
    auto row = [](const char* tag, const char* text, const char* expected) {
      QTest::newRow(tag) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("simple select", "SELECT a,b FROM t", "0 1 0 0 1 1 0");
    row("several blanks", "a \t b", "0 3 0");
    row("line break counts", "a\r\n b", "0 2 0");
    row("leading blanks", "  a", "2 0");
    row("trailing blank", "a ", "0 1");
    row("quote resets", "a 'x' y", "0 0 1 0");
    row("empty string", "a ''", "0 0 0");
    row("after closing quote", "'x'y", "0 0 0");
    row("brackets", "(  a )", "0 2 1 0");
  }

  void blankCount() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    TKvSQLScanner s;
    QStringList got;
    Walk(s, text, [&] { got << QString::number(s.BlankCount()); });
    QCOMPARE(got.join(u' '), expected);
  }

  void bracketLevel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // per token before the end
    auto row = [](const char* tag, const char* text, const char* expected) {
      QTest::newRow(tag) << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    row("nested", "(a(b)c)", "1 1 2 2 1 1 0");
    row("call", "f(a, (b))", "0 1 1 1 2 2 1 0");
    row("blanks", "( a ) b", "1 1 0 0");
    row("brackets in quotes", "(')') x", "1 1 0 0");
    row("over two lines", "(\r\n(a", "1 2 2");
  }

  void bracketLevel() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    TKvSQLScanner s;
    QStringList got;
    Walk(s, text, [&] {
      if (s.TokenKind() != tkEnd) got << QString::number(s.BracketLevel());
    });
    QCOMPARE(got.join(u' '), expected);
  }

  void peekRestoresEverything_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("text");
    QTest::newRow("statement") << int(Generic)
                               << "SELECT (a, 'b c')\r\n FROM \"t\" WHERE x<>1.5; y";
    QTest::newRow("empty strings") << int(Generic) << "'' x ''''";
    QTest::newRow("brackets and breaks") << int(Generic) << "(\r\n(a\n)\r)";
    QTest::newRow("ib") << int(IB3) << "select \"Name\" || 'x' from orders where a = ''";
    QTest::newRow("ib dialect 1") << int(IB1) << "select \"x\" from t";
  }

  void peekRestoresEverything() {
    QFETCH(int, dialect);
    QFETCH(QString, text);
    auto s = MakeScanner(dialect);
    s->SetText(text);
    for (int guard = 0; guard < 100; ++guard) {
      const QStringList before = Snapshot(*s);
      // Through the base class: the dialect's override must run.
      const QString peeked = static_cast<TKvScanner&>(*s).PeekToken();
      QCOMPARE(Snapshot(*s), before);
      QCOMPARE(s->NextToken(), peeked);
      if (s->TokenKind() == tkEnd && s->Position() > s->TextLength()) return;
    }
    QFAIL("no end token");
  }

  void peekThatRaisesKeepsState() {
    TKvSQLScanner s;
    s.SetText(u"a 'b"_s);
    QCOMPARE(s.NextToken(), u"b"_s);
    const QStringList before = Snapshot(s);
    QVERIFY_THROWS_EXCEPTION(EKvParserError, s.PeekToken());
    QCOMPARE(Snapshot(s), before);
  }

  void setPositionBacksUp() {
    // S E L E C T _ a CR LF ( b , _ c )
    // 1 2 3 4 5 6 7 8 9  10 11...
    const QString text = u"SELECT a\r\n(b, c)"_s;
    TKvSQLScanner s;
    s.SetText(text);
    while (s.Token() != u"c")
      s.NextToken();
    QCOMPARE(s.Line(), 2);
    QCOMPARE(s.BracketLevel(), 1);

    const QStringList before = Snapshot(s);
    s.SetPosition(s.Position());
    QCOMPARE(Snapshot(s), before);

    s.SetPosition(12);
    QCOMPARE(s.Position(), 12);
    QCOMPARE(s.Token(), QString());
    QCOMPARE(s.TokenKind(), tkUnknown);
    QCOMPARE(s.Line(), 1);
    QCOMPARE(s.Column(), 1);
    QCOMPARE(s.BracketLevel(), 0);
    QCOMPARE(s.NextToken(), u"b"_s);
    QCOMPARE(s.BracketLevel(), 0); // the bracket before the new position is not seen again
    QCOMPARE(s.NextToken(), u","_s);

    s.SetPosition(1);
    QCOMPARE(s.Position(), 1);
    QCOMPARE(s.Token(), u"SELECT"_s);
    QCOMPARE(s.TokenKind(), tkKeyword);
    QCOMPARE(s.NextToken(), u"SELECT"_s);
    QCOMPARE(s.NextToken(), u"a"_s);

    s.SetPosition(0);
    QCOMPARE(s.Position(), 1);
    QCOMPARE(s.TokenKind(), tkUnknown);
    s.SetPosition(-5);
    QCOMPARE(s.Position(), 1);

    s.SetPosition(1000);
    QCOMPARE(s.Position(), int(text.size()));
    QCOMPARE(s.TokenKind(), tkEnd);

    s.SetText(QString());
    s.SetPosition(7);
    QCOMPARE(s.Position(), 1);
  }

  void unterminatedString_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("delivered");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("position");
    // The error points at the quote left open.
    QTest::newRow("after select") << int(Generic) << "SELECT 'abc" << QStringList{"SELECT", "abc"}
                                  << 1 << 8;
    QTest::newRow("only a quote") << int(Generic) << "'" << QStringList{} << 1 << 1;
    QTest::newRow("second line") << int(Generic) << "SELECT a\r\nFROM 'x y"
                                 << QStringList{"SELECT", "a", "FROM", "x y"} << 2 << 6;
    QTest::newRow("doubled quote inside")
        << int(Generic) << "x = 'it''s" << QStringList{"x", "=", "it''s"} << 1 << 5;
    QTest::newRow("name quote") << int(Generic) << "\"abc" << QStringList{"abc"} << 1 << 1;
    QTest::newRow("ib string") << int(IB3) << "a 'BC" << QStringList{"A", "BC"} << 1 << 3;
    QTest::newRow("ib name") << int(IB3) << "\"AB" << QStringList{"AB"} << 1 << 1;
    QTest::newRow("ib dialect 1") << int(IB1) << "\"AB" << QStringList{"AB"} << 1 << 1;
  }

  void unterminatedString() {
    QFETCH(int, dialect);
    QFETCH(QString, text);
    QFETCH(QStringList, delivered);
    QFETCH(int, line);
    QFETCH(int, position);
    auto s = MakeScanner(dialect);
    QStringList seen;
    try {
      s->SetText(text);
      for (int guard = 0; guard < 50 && s->TokenKind() != tkEnd; ++guard) {
        seen << s->Token();
        s->NextToken();
      }
      QFAIL("no error raised");
    } catch (const EKvParserError& e) {
      QCOMPARE(seen, delivered);
      QCOMPARE(e.Code(), 3);
      QCOMPARE(e.Message(), u"Unterminated string."_s);
      QCOMPARE(QString::fromUtf8(e.what()), u"Unterminated string."_s);
      QCOMPARE(e.Line(), line);
      QCOMPARE(e.Position(), position);
    }
  }

  void unterminatedContentsStayText() {
    // The contents before a missing closing quote are still text from quotes.
    TKvSQLScanner g;
    g.SetText(u"x '+"_s);
    QCOMPARE(g.NextToken(), u"+"_s);
    QVERIFY(g.TokenKind() != tkOperator);

    TKvIBScanner ib;
    ib.SetText(u"\"Ab"_s);
    QCOMPARE(ib.Token(), u"Ab"_s);
  }

  void characterClasses() {
    TKvSQLScanner g;
    TKvIBScanner ib3;
    TKvIBScanner ib1;
    ib1.SetSQLDialect(kibDialect1);
    QCOMPARE(ib3.SQLDialect(), kibDialect3);

    const QString delimiters = u".,/\\;:(){}[]*+-<=>!\r"_s;
    QCOMPARE(delimiters.size(), 20);
    for (QChar c : delimiters)
      QVERIFY2(g.IsDelimiter(c) && ib3.IsDelimiter(c), qPrintable(Visible(c)));
    for (QChar c : u"\n \t_|$\"'a0"_s)
      QVERIFY2(!g.IsDelimiter(c), qPrintable(Visible(c)));
    QVERIFY(g.IsBlank(u' ') && g.IsBlank(u'\t'));
    QVERIFY(!g.IsBlank(u'\r') && !g.IsBlank(u'\n'));
    QVERIFY(g.IsCompareChar(u'<') && g.IsCompareChar(u'=') && g.IsCompareChar(u'>') &&
            !g.IsCompareChar(u'!'));

    QVERIFY(g.IsLetter(u'a') && g.IsLetter(u'Z'));
    QVERIFY(!ib3.IsLetter(u'a') && ib3.IsLetter(u'Z'));
    QVERIFY(!g.IsLetter(QChar(0xE9)));
    QVERIFY(g.IsIdentChar(u'-') && g.IsIdentChar(u'_'));
    QVERIFY(!g.IsIdentChar(u'$') && ib3.IsIdentChar(u'$'));
    QVERIFY(g.IsIdentifier(u"a1_b") && !g.IsIdentifier(u"1a") && !g.IsIdentifier(u""));
    QVERIFY(!g.IsIdentifier(u"a b") && !ib3.IsIdentifier(u"Ab") && ib3.IsIdentifier(u"A$1"));
    QVERIFY(g.IsNumber(u"0123") && !g.IsNumber(u"") && !g.IsNumber(u"1.5"));

    const QChar dq = u'"', ap = u'\'';
    QVERIFY(g.IsQuote(dq) && g.IsQuote(ap) && g.IsNameQuote(dq) && g.IsNameQuote(ap));
    QVERIFY(!ib3.IsQuote(dq) && ib3.IsQuote(ap) && ib3.IsNameQuote(dq) && !ib3.IsNameQuote(ap));
    QVERIFY(ib1.IsQuote(dq) && ib1.IsQuote(ap) && !ib1.IsNameQuote(dq) && !ib1.IsNameQuote(ap));
    QCOMPARE(g.NameQuoteChar(), dq);
    QCOMPARE(g.StringQuoteChar(), ap);

    QVERIFY(g.IsClosingQuote(ap, u"ab", u'x', ap));
    QVERIFY(!g.IsClosingQuote(ap, u"ab", ap, ap));
    QVERIFY(!g.IsClosingQuote(ap, u"ab'", u' ', ap));
    QVERIFY(g.IsClosingQuote(ap, u"ab''", u' ', ap));
    QVERIFY(!g.IsClosingQuote(dq, u"ab", u' ', ap));

    QVERIFY(!g.QuoteAliases() && ib3.QuoteAliases() && ib1.QuoteAliases());
    QVERIFY(g.QuoteNamesEnabled() && ib3.QuoteNamesEnabled() && !ib1.QuoteNamesEnabled());
  }

  void wordLists() {
    TKvSQLScanner g;
    TKvIBScanner ib;
    QCOMPARE(g.Keywords().Words().size(), 19);
    QCOMPARE(g.Functions().Words().size(), 5);
    QCOMPARE(g.Operators().Words().size(), 4);
    QCOMPARE(ib.Keywords().Words().size(), 290);
    QCOMPARE(ib.Functions().Words().size(), 8);
    QCOMPARE(ib.Operators().Words().size(), 5);

    QSet<QString> distinct;
    for (const QString& w : ib.Keywords().Words())
      distinct.insert(w.toUpper());
    QCOMPARE(distinct.size(), 290);
    const QStringList& words = ib.Keywords().Words();
    QVERIFY(std::is_sorted(words.begin(), words.end(), [](const QString& a, const QString& b) {
      return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    }));

    for (const char* w :
         {"ACTION", "CLOSE", "COMPUTED", "NUM_LOG_BUFS", "NUM_LOG_BUFFERS", "PROTECTED", "PRIMARY",
          "RDB$DB_KEY", "YEARDAY", "ROWS", "PERCENT", "TIES", "first", "Skip", "GEN_ID"})
      QVERIFY2(ib.IsKeyword(QString::fromLatin1(w)), w);
    for (const char* w : {"LIMIT", "CASE", "COALESCE", "", "ROW", "TIE"})
      QVERIFY2(!ib.IsKeyword(QString::fromLatin1(w)), w);
    QVERIFY(g.IsKeyword(u"into") && g.IsKeyword(u"Outer") && !g.IsKeyword(u"TABLE"));
    QVERIFY(g.IsFunction(u"count") && !g.IsFunction(u"UPPER") && ib.IsFunction(u"upper"));
    QVERIFY(ib.IsFunction(u"CAST") && ib.IsFunction(u"Gen_Id") && !ib.IsFunction(u"COALESCE"));
    QVERIFY(ib.IsOperator(u"||") && !g.IsOperator(u"||") && g.IsOperator(u"/"));
    QVERIFY(!g.IsOperator(u"") && !g.IsOperator(u"%"));

    // Find answers for the word asked, whatever was looked up before, in any list copy.
    TKvWordList list;
    list.SetCommaText(QStringLiteral("Sum,Count,Max"));
    QVERIFY(list.Contains(u"COUNT"));
    QVERIFY(list.Find(u"sum") && *list.Find(u"sum") == QLatin1String("Sum"));
    QVERIFY(list.Contains(u"max") && !list.Find(u"MIN") && !list.Find(u"MAXI"));
    {
      TKvWordList copy = list;
      QVERIFY(copy.Contains(u"Max"));
      list = copy;
    }
    QCOMPARE(*list.Find(u"MAX"), QStringLiteral("Max"));
    QVERIFY(list.Contains(u"Count"));
    list.SetCommaText(QStringLiteral("AVG"));
    QVERIFY(!list.Find(u"COUNT") && list.Find(u"avg"));
  }

  void quoteName_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* tag, int d, const char* name, const char* expected) {
      QTest::newRow(tag) << d << QString::fromUtf8(name) << QString::fromUtf8(expected);
    };
    row("plain", Generic, "name", "\"name\"");
    row("qualified", Generic, "customer.name", "\"customer\".\"name\"");
    row("two qualifiers", Generic, "a.b.c", "\"a.b\".\"c\"");
    row("leading point", Generic, ".x", "\".x\"");
    row("quoted qualifier kept", Generic, "\"a\".b", "\"a\".\"b\"");
    row("quoted final part kept", Generic, "a.\"b\"", "\"a\".\"b\"");
    row("all quoted", Generic, "\"a\".\"b\"", "\"a\".\"b\"");
    row("point inside quotes", Generic, "a.\"x.y\"", "\"a\".\"x.y\"");
    row("quoted qualifier with point", Generic, "\"a.b\".c", "\"a.b\".\"c\"");
    row("one quoted qualifier part", Generic, "a.\"b\".c", "a.\"b\".\"c\"");
    row("inner quote doubled", Generic, "a\"b", "\"a\"\"b\"");
    row("blank inside", Generic, "my table", "\"my table\"");
    row("apostrophes already quote", Generic, "'x'", "'x'");

    row("ib upper-case name", IB3, "ORDERS", "ORDERS");
    row("ib mixed case", IB3, "Orders", "\"Orders\"");
    row("ib keyword", IB3, "ORDER", "\"ORDER\"");
    row("ib function", IB3, "SUM", "\"SUM\"");
    row("ib blank", IB3, "MY TABLE", "\"MY TABLE\"");
    row("ib leading digit", IB3, "1COL", "\"1COL\"");
    row("ib dollar", IB3, "RDB$RELATIONS", "RDB$RELATIONS");
    row("ib qualified", IB3, "CUSTOMER.NAME", "CUSTOMER.NAME");
    row("ib qualified mixed", IB3, "C.Name", "C.\"Name\"");
    row("ib already quoted", IB3, "\"Orders\"", "\"Orders\"");
    row("ib quoted keyword", IB3, "\"SELECT\"", "\"SELECT\"");
    row("ib inner quote", IB3, "A\"B", "\"A\"\"B\"");
    row("ib1 upper-cased", IB1, "Orders", "ORDERS");
    row("ib1 keyword not quoted", IB1, "order", "ORDER");
    row("ib1 blanks", IB1, "my table.col x", "MY_TABLE.COL_X");
    row("ib1 quotes untouched", IB1, "\"x\"", "\"X\"");
  }

  void quoteName() {
    QFETCH(int, dialect);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(MakeScanner(dialect)->QuoteName(name), expected);
  }

  void quoteNamesSwitchedOff() {
    TKvSQLScanner g;
    QVERIFY(g.QuoteNames());
    g.SetQuoteNames(false);
    QVERIFY(!g.QuoteNamesEnabled());
    QCOMPARE(g.QuoteName(u"customer.name"_s), u"customer.name"_s);
    QCOMPARE(g.QuoteName(u"a\"b"_s), u"a\"b"_s);
  }

  void unquoteAndNeedsQuotes_data() {
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("unquoted");
    QTest::addColumn<bool>("needsQuotes");
    auto row = [](const char* tag, int d, const char* name, const char* unquoted, bool needs) {
      QTest::newRow(tag) << d << QString::fromUtf8(name) << QString::fromUtf8(unquoted) << needs;
    };
    row("plain", Generic, "abc", "abc", true);
    row("double quotes", Generic, "\"abc\"", "abc", false);
    row("apostrophes", Generic, "'abc'", "abc", false);
    row("mixed quotes", Generic, "\"abc'", "\"abc'", true);
    row("lone quote", Generic, "\"", "\"", true);
    row("empty quotes", Generic, "\"\"", "", false);
    row("doubled kept", Generic, "\"a\"\"b\"", "a\"\"b", false);
    row("empty", Generic, "", "", true);
    row("ib plain", IB3, "ORDERS", "ORDERS", false);
    row("ib lower", IB3, "orders", "ORDERS", true);
    row("ib keyword", IB3, "order", "ORDER", true);
    row("ib function", IB3, "COUNT", "COUNT", true);
    row("ib quoted", IB3, "\"Orders\"", "ORDERS", false);
    row("ib apostrophes", IB3, "'x'", "'X'", true);
    row("ib blank", IB3, "A B", "A B", true);
    row("ib empty", IB3, "", "", true);
    row("ib1 quotes are no names", IB1, "\"x\"", "\"X\"", true);
  }

  void unquoteAndNeedsQuotes() {
    QFETCH(int, dialect);
    QFETCH(QString, name);
    QFETCH(QString, unquoted);
    QFETCH(bool, needsQuotes);
    auto s = MakeScanner(dialect);
    QCOMPARE(s->Unquote(name), unquoted);
    QCOMPARE(s->NeedsQuotes(name), needsQuotes);
  }

  void randomTextNeverHangs() {
    QRandomGenerator rng(20240611u);
    const QString alphabet = u"aZ09_$ .,;:()'\"<=>!*+-/|\\[]{}\t\r\n#@?%"_s + QChar(0xE9) +
                             QChar(0x00DF) + QChar(0) + QChar(0xD83D) + QChar(0xDE00);
    const QStringList statements = {
        QStringLiteral("SELECT a, SUM(b) AS \"Total\" FROM t WHERE (a = 1) AND (b LIKE 'X%') "
                       "GROUP BY a ORDER BY 2 DESC"),
        QStringLiteral("select e.name, d.budget from employee e\r\n  left outer join department d "
                       "on (e.dept_no = d.dept_no) where d.budget >= 12.50;"),
        QStringLiteral("SELECT FIRST 10 SKIP 5 'it''s' || \"Col\" FROM \"My Table\"\n"
                       "WHERE x <> '' AND y IS NOT NULL ROWS 1 TO 10 PERCENT WITH TIES"),
    };
    const int rounds = 1500;
    for (int round = 0; round < rounds; ++round) {
      QString text;
      if (round % 2) {
        const int length = rng.bounded(40);
        for (int i = 0; i < length; ++i)
          text += alphabet.at(rng.bounded(int(alphabet.size())));
      } else {
        text = Mutate(rng, statements.at(round % statements.size()), alphabet);
      }
      for (int d : {Generic, IB3, IB1}) {
        auto s = MakeScanner(d);
        const QString why = Drive(*s, text, d == Generic);
        if (!why.isEmpty())
          QFAIL(qPrintable(u"dialect %1, text [%2]: %3"_s.arg(d).arg(Visible(text), why)));
      }
    }
  }
};

QTEST_APPLESS_MAIN(TestScanner)
#include "tst_scanner.moc"
