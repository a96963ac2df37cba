// A bounded random run through the parser and the writer: random token soups, truncated and
// mutated statements. Nothing may crash or hang, and whatever is accepted must write text that
// reads again and writes the same.

#include "KvIBParser.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

namespace {

const char* const Words[] = {
    "SELECT", "DISTINCT", "FROM",  "WHERE",   "GROUP",     "BY",    "HAVING",  "ORDER",   "ASC",
    "DESC",   "AS",       "INNER", "LEFT",    "RIGHT",     "FULL",  "OUTER",   "JOIN",    "ON",
    "AND",    "OR",       "NOT",   "IS",      "NULL",      "LIKE",  "IN",      "BETWEEN", "FIRST",
    "SKIP",   "ROWS",     "TO",    "PERCENT", "WITH",      "TIES",  "COUNT",   "SUM",     "MAX",
    "UPPER",  "COALESCE", "DATE",  "A",       "B",         "T",     "U",       "X",       "Y",
    "T.A",    "U.B",      "X.ID",  "Y.ID",    "\"Mixed\"", "'str'", "'it''s'", "''",      "1",
    "2.5",    "-3",       "(",     ")",       ",",         ".",     "*",       "+",       "-",
    "/",      "||",       "=",     "<>",      "<",         ">=",    ";",       "\r\n",    "\n",
    " ",      "\"",       "'",     "?",       ":p"};

QStringList Seeds() {
  QStringList list;
  QFile f(QStringLiteral(KV_SOURCE_DIR "/tests/core/data/roundtrip.sql"));
  if (f.open(QIODevice::ReadOnly)) {
    static const QRegularExpression separator(QStringLiteral("^;$"),
                                              QRegularExpression::MultilineOption);
    for (const QString& s : QString::fromUtf8(f.readAll()).split(separator, Qt::SkipEmptyParts))
      if (!s.trimmed().isEmpty()) list << s;
  }
  return list;
}

struct Outcome {
  int accepted = 0;
  int refused = 0;
};

// Reads `text` with every server and dialect; returns a failure description, or empty.
QString Exercise(const QString& text, Outcome& outcome) {
  for (int server = kssInterBase; server <= kssFireBird; ++server)
    for (int dialect = kibDialect1; dialect <= kibDialect3; ++dialect) {
      TKvIBSelectParser p;
      p.SetSQLServer(TKvIBSQLServer(server));
      p.SetSQLDialect(TKvSQLDialect(dialect));
      QString first;
      try {
        p.SetSQL(text);
        first = p.GetSQL();
      } catch (const EKvParserError&) {
        ++outcome.refused;
        continue;
      }
      ++outcome.accepted;
      if (first.isEmpty()) continue;
      try {
        p.SetSQL(first);
      } catch (const EKvParserError& e) {
        return QStringLiteral("written text does not read: %1\n%2").arg(e.Message(), first);
      }
      const QString second = p.GetSQL();
      if (second != first)
        return QStringLiteral("writing twice differs:\n%1\n--\n%2").arg(first, second);
    }
  return QString();
}

} // namespace

class TestParserFuzz : public QObject {
  Q_OBJECT

private slots:
  void randomTokenSoups() {
    QRandomGenerator rng(20261206);
    Outcome outcome;
    const int words = int(sizeof(Words) / sizeof(Words[0]));
    for (int n = 0; n < 8000; ++n) {
      QString text = rng.bounded(4) ? QStringLiteral("SELECT ") : QString();
      const int length = 1 + int(rng.bounded(24));
      for (int i = 0; i < length; ++i) {
        text += QString::fromUtf8(Words[rng.bounded(words)]);
        if (rng.bounded(3)) text += QLatin1Char(' ');
      }
      const QString failure = Exercise(text, outcome);
      QVERIFY2(failure.isEmpty(), qPrintable(text + QStringLiteral("\n=> ") + failure));
    }
    QVERIFY(outcome.refused > 0);
  }

  void truncatedAndMutatedStatements() {
    const QStringList seeds = Seeds();
    QVERIFY(seeds.size() >= 100);
    QRandomGenerator rng(7);
    Outcome outcome;
    for (const QString& seed : seeds) {
      // Every prefix of a few statements, and random edits of all of them.
      if (rng.bounded(8) == 0)
        for (int cut = 0; cut < seed.size(); cut += 1 + int(rng.bounded(3))) {
          const QString failure = Exercise(seed.left(cut), outcome);
          QVERIFY2(failure.isEmpty(),
                   qPrintable(seed.left(cut) + QStringLiteral("\n=> ") + failure));
        }
      for (int m = 0; m < 30; ++m) {
        QString text = seed;
        const int edits = 1 + int(rng.bounded(3));
        for (int e = 0; e < edits && !text.isEmpty(); ++e) {
          const int at = int(rng.bounded(text.size()));
          switch (rng.bounded(4)) {
          case 0:
            text.remove(at, 1 + int(rng.bounded(4)));
            break;
          case 1:
            text.insert(
                at, QString::fromUtf8(Words[rng.bounded(int(sizeof(Words) / sizeof(Words[0])))]));
            break;
          case 2:
            text[at] = QChar(ushort(rng.bounded(1, 128)));
            break;
          default:
            text.insert(at, text.mid(int(rng.bounded(text.size())), 6));
            break;
          }
        }
        const QString failure = Exercise(text, outcome);
        QVERIFY2(failure.isEmpty(), qPrintable(text + QStringLiteral("\n=> ") + failure));
      }
    }
    QVERIFY(outcome.accepted > 500);
    QVERIFY(outcome.refused > 1000);
  }

  void arbitraryCharacters() {
    QRandomGenerator rng(99);
    Outcome outcome;
    for (int n = 0; n < 5000; ++n) {
      QString text;
      const int length = int(rng.bounded(60));
      for (int i = 0; i < length; ++i)
        text += QChar(ushort(rng.bounded(1, 0x3000)));
      if (n % 2) text.prepend(QStringLiteral("SELECT "));
      const QString failure = Exercise(text, outcome);
      QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
  }
};

QTEST_APPLESS_MAIN(TestParserFuzz)
#include "tst_parserfuzz.moc"
