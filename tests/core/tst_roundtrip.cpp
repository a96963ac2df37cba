// Text the writer produces must read back into the same model: parsing a statement in the
// writer's own layout and writing it again gives the same bytes.

#include "KvIBParser.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

QStringList SplitStatements(const QString& text) {
  static const QRegularExpression separator(QStringLiteral("^;$"),
                                            QRegularExpression::MultilineOption);
  QStringList list;
  for (const QString& part : text.split(separator, Qt::SkipEmptyParts)) {
    // Each statement stands between the separator lines: drop the line break that ends the
    // previous separator and the one before the next.
    QString s = part;
    if (s.startsWith(QLatin1Char('\n'))) s.remove(0, 1);
    if (s.endsWith(QLatin1Char('\n'))) s.chop(1);
    if (!s.trimmed().isEmpty()) list << s;
  }
  return list;
}

QStringList ReadStatements(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return SplitStatements(QString::fromUtf8(f.readAll()));
}

// The corpus is stored with LF line ends; the writer uses CR LF.
QString WithCrLf(QString s) {
  s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return s;
}

QString Regenerate(TKvIBSelectParser& parser, const QString& sql) {
  parser.SetSQL(sql);
  return parser.GetSQL();
}

} // namespace

class TestRoundTrip : public QObject {
  Q_OBJECT

private slots:
  void writerLayoutIsAFixedPoint_data() {
    QTest::addColumn<QString>("sql");
    const QStringList statements =
        ReadStatements(QStringLiteral(KV_SOURCE_DIR "/tests/core/data/roundtrip.sql"));
    QVERIFY(statements.size() >= 100);
    for (const QString& s : statements)
      QTest::newRow(qPrintable(s.simplified().left(100))) << WithCrLf(s);
  }

  void writerLayoutIsAFixedPoint() {
    QFETCH(QString, sql);
    TKvIBSelectParser parser;
    try {
      QCOMPARE(Regenerate(parser, sql), sql);
    } catch (const EKvParserError& e) {
      QFAIL(qPrintable(e.Message()));
    }
  }

  // The same statements in every letter case of keywords and functions, in both dialects and
  // for both servers: what is written reads back into what writes the same.
  void everyFormatIsStable_data() {
    QTest::addColumn<int>("keywords");
    QTest::addColumn<int>("functions");
    QTest::addColumn<int>("dialect");
    QTest::addColumn<int>("server");
    for (int k = kfmAsIs; k <= kfmFirstUpper; ++k)
      for (int d = kibDialect1; d <= kibDialect3; ++d)
        for (int s = kssInterBase; s <= kssFireBird; ++s)
          QTest::addRow("keywords %d functions %d dialect %d server %d", k, (k + 1) % 4, d, s)
              << k << (k + 1) % 4 << d << s;
  }

  void everyFormatIsStable() {
    QFETCH(int, keywords);
    QFETCH(int, functions);
    QFETCH(int, dialect);
    QFETCH(int, server);
    const QStringList statements =
        ReadStatements(QStringLiteral(KV_SOURCE_DIR "/tests/core/data/roundtrip.sql"));
    int accepted = 0;
    for (const QString& raw : statements) {
      TKvIBSelectParser parser;
      parser.SetSQLDialect(TKvSQLDialect(dialect));
      parser.SetSQLServer(TKvIBSQLServer(server));
      parser.ScriptFormat()->SetKeywordsFormat(TKvFormatMode(keywords));
      parser.ScriptFormat()->SetFunctionsFormat(TKvFormatMode(functions));
      QString first;
      try {
        first = Regenerate(parser, WithCrLf(raw));
      } catch (const EKvParserError&) {
        // Dialect 1 reads double quotes as strings and InterBase's ROWS is no Firebird clause.
        QVERIFY(dialect == kibDialect1 || server == kssFireBird);
        continue;
      }
      ++accepted;
      const QString second = Regenerate(parser, first);
      QCOMPARE(second, first);
    }
    QVERIFY(accepted >= 80);
  }

  void firebirdRowLimits_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("first") << QStringLiteral("SELECT FIRST 10 \r\n  T.A\r\nFROM\r\n  T\r\n");
    QTest::newRow("skip") << QStringLiteral("SELECT SKIP 5 \r\n  T.A\r\nFROM\r\n  T\r\n");
    QTest::newRow("first skip distinct")
        << QStringLiteral("SELECT FIRST 10 SKIP 20 DISTINCT \r\n  T.A\r\nFROM\r\n  T\r\n");
  }

  void firebirdRowLimits() {
    QFETCH(QString, sql);
    TKvIBSelectParser parser;
    parser.SetSQLServer(kssFireBird);
    QCOMPARE(Regenerate(parser, sql), sql);
  }

  // Statements written by other tools (the benchmark corpus) read and write twice the same.
  void benchmarkCorpusIsIdempotent() {
    const QStringList statements =
        ReadStatements(QStringLiteral(KV_SHARED_DIR "/bench/corpus_1000.sql"));
    if (statements.isEmpty()) QSKIP("benchmark corpus not available");
    int accepted = 0;
    for (const QString& sql : statements) {
      TKvIBSelectParser parser;
      QString first;
      try {
        first = Regenerate(parser, sql);
      } catch (const EKvParserError&) {
        continue;
      }
      ++accepted;
      QCOMPARE(Regenerate(parser, first), first);
    }
    QVERIFY2(accepted >= 950, qPrintable(QString::number(accepted)));
  }

  // The language reference's statements: each one is read or refused with a parser error,
  // never anything else; what is read writes the same twice.
  void referenceCorpusReadsOrRefuses() {
    const QStringList statements =
        ReadStatements(QStringLiteral(KV_SHARED_DIR "/corpus/fblangref30-selects.sql"));
    if (statements.isEmpty()) QSKIP("statement corpus not available");
    int accepted = 0;
    int refused = 0;
    for (const QString& sql : statements) {
      for (int server = kssInterBase; server <= kssFireBird; ++server) {
        TKvIBSelectParser parser;
        parser.SetSQLServer(TKvIBSQLServer(server));
        QString first;
        try {
          first = Regenerate(parser, sql);
        } catch (const EKvParserError& e) {
          QVERIFY(!e.Message().isEmpty());
          QVERIFY(!parser.Valid());
          ++refused;
          continue;
        }
        ++accepted;
        QVERIFY(parser.Valid());
        QCOMPARE(Regenerate(parser, first), first);
      }
    }
    QCOMPARE(accepted + refused, int(statements.size()) * 2);
    QVERIFY(accepted >= 100);
  }
};

QTEST_APPLESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
