// kvsql run as a process, as scripts use it: arguments, standard input, files, output bytes,
// error lines and exit status.

#include "KvVersion.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

const QString KvsqlPath = QStringLiteral(KV_BINARY_DIR "/tools/kvsql/kvsql");

// A statement and the designer's text for it, with LF line ends.
const QByteArray Example =
    "SELECT A AS X, SUM(B) FROM T WHERE (A = 1) AND (B LIKE 'X%') GROUP BY A";
const QByteArray ExampleOut = "SELECT \n"
                              "  T.A AS X,\n"
                              "  SUM(T.B) AS FIELD_1\n"
                              "FROM\n"
                              "  T\n"
                              "WHERE\n"
                              "  (A = 1) AND \n"
                              "  (B LIKE 'X%')\n"
                              "GROUP BY\n"
                              "  T.A\n";

QByteArray Crlf(QByteArray text) {
  return text.replace("\n", "\r\n");
}

} // namespace

class TestKvsql : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  Run Kvsql(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(KvsqlPath, args);
    if (!p.waitForStarted()) {
      qWarning("cannot start %s", qPrintable(KvsqlPath));
      return {};
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
      p.kill();
      p.waitForFinished();
      qWarning("kvsql did not finish");
      return {};
    }
    if (p.exitStatus() != QProcess::NormalExit) {
      qWarning("kvsql crashed: %s", p.readAllStandardError().constData());
      return {};
    }
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
  }

  QString WriteFile(const QString& name, const QByteArray& content) {
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
      qFatal("cannot write %s", qPrintable(path));
    f.write(content);
    return path;
  }

private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFileInfo(KvsqlPath).isExecutable(), qPrintable(KvsqlPath));
  }

  // --- the same statement from every kind of input ---

  void formatsInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("asFile");
    QTest::newRow("stdin") << Example << false;
    QTest::newRow("file") << Example << true;
    QTest::newRow("file, CR LF and ;") << Crlf("SELECT A AS X, SUM(B)\nFROM T\nWHERE (A = 1)\n"
                                               "  AND (B LIKE 'X%')\nGROUP BY A;\n")
                                       << true;
    QTest::newRow("stdin, ; and blanks") << Example + " ;  \n\n" << false;
    QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + Example << true;
    QTest::newRow("own output") << ExampleOut << true;
    QTest::newRow("own CR LF output") << Crlf(ExampleOut) << false;
  }
  void formatsInput() {
    QFETCH(QByteArray, input);
    QFETCH(bool, asFile);
    const Run r = asFile ? Kvsql({"format", WriteFile("in.sql", input)}) : Kvsql({"format"}, input);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, ExampleOut);
  }

  void dashReadsStdinAmongFiles() {
    const QString file = WriteFile("b.sql", "SELECT B FROM U");
    const Run r = Kvsql({"format", "-", file}, "SELECT A FROM T");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("SELECT \n  T.A\nFROM\n  T\n"
                               "\n"
                               "SELECT \n  U.B\nFROM\n  U\n"));
  }

  void emptyInputWritesNothing() {
    for (const QByteArray& input : {QByteArray(), QByteArray(" \r\n\n"), QByteArray(";\n")}) {
      const Run r = Kvsql({"format"}, input);
      QCOMPARE(r.exitCode, 0);
      QCOMPARE(r.out, QByteArray());
      QCOMPARE(r.err, QByteArray());
    }
  }

  // --- line ends ---

  void crlfOptionKeepsGeneratorLineEnds() {
    const Run r = Kvsql({"format", "--crlf"}, Example);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, Crlf(ExampleOut));
  }

  void lineBreaksInLiteralsStayAsRead() {
    const QByteArray in = "SELECT 'a\r\nb' AS X FROM T";
    const Run lf = Kvsql({"format"}, in);
    QCOMPARE(lf.exitCode, 0);
    QCOMPARE(lf.out, QByteArray("SELECT \n  'a\r\nb' AS X\nFROM\n  T\n"));
    const Run crlf = Kvsql({"format", "--crlf"}, "SELECT 'a\nb' AS X FROM T");
    QCOMPARE(crlf.out, QByteArray("SELECT \r\n  'a\nb' AS X\r\nFROM\r\n  T\r\n"));
  }

  void rowsClauseEndsWithLineEnd() {
    const Run r = Kvsql({"format"}, "SELECT A FROM T ORDER BY A ROWS 1 TO 10");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("SELECT \n  T.A\nFROM\n  T\nORDER BY\n  A\nROWS 1 TO 10\n"));
  }

  // --- options ---

  void dialectDecidesWhatDoubleQuotesMean() {
    // Dialect 3: a quoted, mixed-case column name, kept in quotes.
    const Run d3 = Kvsql({"format", "--dialect", "3"}, "SELECT \"Orders\" FROM T");
    QCOMPARE(d3.out, QByteArray("SELECT \n  T.\"Orders\"\nFROM\n  T\n"));
    QCOMPARE(Kvsql({"format"}, "SELECT \"Orders\" FROM T").out, d3.out);
    // Dialect 1: the same text is a string literal.
    const Run d1 = Kvsql({"format", "--dialect=1"}, "SELECT \"Orders\" FROM T");
    QCOMPARE(d1.exitCode, 0);
    QCOMPARE(d1.out, QByteArray("SELECT \n  'Orders' AS FIELD_1\nFROM\n  T\n"));
    // ... so it cannot name a table there.
    const QByteArray table = "SELECT ID FROM \"Orders\"";
    QCOMPARE(Kvsql({"format", "--dialect", "3"}, table).out,
             QByteArray("SELECT \n  \"Orders\".ID\nFROM\n  \"Orders\"\n"));
    const Run bad = Kvsql({"format", "--dialect", "1"}, table);
    QCOMPARE(bad.exitCode, 1);
    QVERIFY2(bad.err.startsWith("<stdin>:1:"), bad.err.constData());
  }

  void serverDecidesRowLimitingClause() {
    const QByteArray first = "SELECT FIRST 5 SKIP 2 A FROM T";
    const Run fb = Kvsql({"format", "--server", "firebird"}, first);
    QCOMPARE(fb.exitCode, 0);
    QCOMPARE(fb.out, QByteArray("SELECT FIRST 5 SKIP 2 \n  T.A\nFROM\n  T\n"));
    for (const QStringList& args :
         {QStringList{"format"}, QStringList{"format", "--server=interbase"}}) {
      const Run ib = Kvsql(args, first);
      QCOMPARE(ib.exitCode, 1);
      QCOMPARE(ib.err, QByteArray("<stdin>:1:8: Invalid token 'FIRST' at position 8 of line 1.\n"));
      QCOMPARE(ib.out, QByteArray());
    }
    const QByteArray rows = "SELECT A FROM T ROWS 3";
    QCOMPARE(Kvsql({"format", "--server", "interbase"}, rows).exitCode, 0);
    const Run fbRows = Kvsql({"format", "--server", "firebird"}, rows);
    QCOMPARE(fbRows.exitCode, 1);
    QCOMPARE(fbRows.err,
             QByteArray("<stdin>:1:17: Invalid token 'ROWS' at position 17 of line 1.\n"));
  }

  void letterCases_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected");
    // Function names keep their letters as read unless told otherwise; keywords are the
    // designer's own upper-case words; DESC is never recased.
    auto expect = [](QByteArray select, QByteArray fn, QByteArray as, QByteArray from,
                     QByteArray group, QByteArray by, QByteArray order) {
      return select + " \n  T.A,\n  " + fn + "(T.B) " + as + " FIELD_1\n" + from + "\n  T\n" +
             group + " " + by + "\n  T.A\n" + order + " " + by + "\n  A DESC\n";
    };
    QTest::newRow("default") << QStringList{}
                             << expect("SELECT", "sUm", "AS", "FROM", "GROUP", "BY", "ORDER");
    QTest::newRow("asis") << QStringList{"--keywords", "asis", "--functions", "asis"}
                          << expect("SELECT", "sUm", "AS", "FROM", "GROUP", "BY", "ORDER");
    QTest::newRow("upper") << QStringList{"--keywords", "upper", "--functions", "upper"}
                           << expect("SELECT", "SUM", "AS", "FROM", "GROUP", "BY", "ORDER");
    QTest::newRow("lower") << QStringList{"--keywords=lower", "--functions=lower"}
                           << expect("select", "sum", "as", "from", "group", "by", "order");
    QTest::newRow("first") << QStringList{"--keywords", "first", "--functions", "first"}
                           << expect("Select", "Sum", "As", "From", "Group", "By", "Order");
    QTest::newRow("keywords only") << QStringList{"--keywords", "lower"}
                                   << expect("select", "sUm", "as", "from", "group", "by", "order");
    QTest::newRow("functions only")
        << QStringList{"--functions", "upper"}
        << expect("SELECT", "SUM", "AS", "FROM", "GROUP", "BY", "ORDER");
  }
  void letterCases() {
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    const Run r = Kvsql(QStringList{"format"} + options,
                        "select A, sUm(B) From T group by A order by A desc");
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, expected);
  }

  // --- syntax errors ---

  void syntaxErrorLine_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("bad first word")
        << QByteArray("SELEC A")
        << QByteArray("1:1: Invalid token 'SELEC' at position 1 of line 1.");
    QTest::newRow("end too early")
        << QByteArray("SELECT A FROM") << QByteArray("1:14: Unexpected end of statement.");
    QTest::newRow("third line, CR LF")
        << QByteArray("SELECT A\r\nFROM T\r\nWHERE (A = B C)")
        << QByteArray("3:14: Invalid token 'C' at position 14 of line 3.");
    QTest::newRow("third line, LF")
        << QByteArray("SELECT A\nFROM T\nWHERE (A = B C)")
        << QByteArray("3:14: Invalid token 'C' at position 14 of line 3.");
    // The parser stops at ";": what follows must not pass unseen.
    QTest::newRow("second statement")
        << QByteArray("SELECT A FROM T;\n  SELECT B FROM U;")
        << QByteArray("2:3: Invalid token 'SELECT' at position 3 of line 2.");
    QTest::newRow("words after ;")
        << QByteArray("SELECT A FROM T;; drop")
        << QByteArray("1:19: Invalid token 'drop' at position 19 of line 1.");
  }
  void syntaxErrorLine() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, message);
    const Run fromStdin = Kvsql({"format"}, input);
    QCOMPARE(fromStdin.exitCode, 1);
    QCOMPARE(fromStdin.out, QByteArray());
    QCOMPARE(fromStdin.err, "<stdin>:" + message + "\n");

    const QString path = WriteFile("bad.sql", input);
    const Run fromFile = Kvsql({"check", path});
    QCOMPARE(fromFile.exitCode, 1);
    QCOMPARE(fromFile.out, QByteArray());
    QCOMPARE(fromFile.err, path.toUtf8() + ":" + message + "\n");
  }

  void unterminatedString() {
    const Run r = Kvsql({"check"}, "SELECT A FROM T WHERE (A = 'abc");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith("<stdin>:1:"), r.err.constData());
    QVERIFY2(r.err.endsWith(": Unterminated string.\n"), r.err.constData());
  }

  void checkPrintsNothingOnSuccess() {
    const Run r = Kvsql({"check", "--server", "firebird", WriteFile("ok.sql", Example + ";\n")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, QByteArray());
  }

  // --- several files ---

  void everyFileIsProcessed() {
    const QString a = WriteFile("a.sql", "SELECT A FROM T");
    const QString bad = WriteFile("bad.sql", "SELECT A FROM T WHERE");
    const QString c = WriteFile("c.sql", Crlf("SELECT C\nFROM V;\n"));
    const QString missing = m_dir.filePath("missing.sql");
    const QByteArray formatted = "SELECT \n  T.A\nFROM\n  T\n\nSELECT \n  V.C\nFROM\n  V\n";

    const Run r = Kvsql({"format", a, bad, c});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, formatted);
    QCOMPARE(r.err, bad.toUtf8() + ":1:22: Unexpected end of statement.\n");

    // An unreadable file outweighs a syntax error, in any order.
    for (const QStringList& files :
         {QStringList{a, missing, bad, c}, QStringList{a, bad, c, missing}}) {
      const Run m = Kvsql(QStringList{"format"} + files);
      QCOMPARE(m.exitCode, 2);
      QCOMPARE(m.out, formatted);
      QVERIFY2(m.err.contains(bad.toUtf8() + ":1:22: Unexpected end of statement.\n"),
               m.err.constData());
      QVERIFY2(m.err.contains("kvsql: " + missing.toUtf8() + ": "), m.err.constData());
    }
  }

  // --- inputs that cannot be read ---

  void unreadableInput_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("stdinBytes");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("missing") << m_dir.filePath("nothing-here.sql") << QByteArray()
                             << QByteArray("No such file or directory");
    QTest::newRow("folder") << m_dir.path() << QByteArray() << QByteArray("directory");
    QTest::newRow("Latin-1 file") << WriteFile("latin1.sql", "SELECT A FROM T WHERE (A = '\xE9')")
                                  << QByteArray() << QByteArray("not UTF-8 text");
    QTest::newRow("Latin-1 stdin")
        << QString("-") << QByteArray("SELECT \xE9 FROM T") << QByteArray("not UTF-8 text");
  }
  void unreadableInput() {
    QFETCH(QString, path);
    QFETCH(QByteArray, stdinBytes);
    QFETCH(QByteArray, reason);
    const Run r = Kvsql({"format", path}, stdinBytes);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out, QByteArray());
    const QByteArray shown = path == "-" ? QByteArray("<stdin>") : path.toUtf8();
    QVERIFY2(r.err.startsWith("kvsql: " + shown + ": "), r.err.constData());
    QVERIFY2(r.err.contains(reason), r.err.constData());
    QVERIFY(r.err.endsWith('\n'));
    QCOMPARE(r.err.count('\n'), 1);
  }

  // --- the command line ---

  void badCommandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("nothing") << QStringList{} << QByteArray("no command given (format or check)");
    QTest::newRow("options only") << QStringList{"--crlf"}
                                  << QByteArray("no command given (format or check)");
    QTest::newRow("unknown command")
        << QStringList{"frob", "x.sql"}
        << QByteArray("unknown command 'frob' (expected format or check)");
    QTest::newRow("file instead of command")
        << QStringList{"-"} << QByteArray("unknown command '-' (expected format or check)");
    QTest::newRow("unknown option")
        << QStringList{"format", "--bogus"} << QByteArray("unknown option '--bogus'");
    QTest::newRow("short option") << QStringList{"format", "-x"}
                                  << QByteArray("unknown option '-x'");
    QTest::newRow("dialect 2") << QStringList{"format", "--dialect", "2"}
                               << QByteArray("--dialect must be 1 or 3, not '2'");
    QTest::newRow("dialect missing")
        << QStringList{"format", "--dialect"} << QByteArray("--dialect needs a value");
    QTest::newRow("server") << QStringList{"check", "--server=oracle"}
                            << QByteArray("--server must be firebird or interbase, not 'oracle'");
    QTest::newRow("keywords") << QStringList{"format", "--keywords", "UPPER"}
                              << QByteArray(
                                     "--keywords must be asis, upper, lower or first, not 'UPPER'");
    QTest::newRow("functions")
        << QStringList{"format", "--functions=camel"}
        << QByteArray("--functions must be asis, upper, lower or first, not 'camel'");
    QTest::newRow("crlf value") << QStringList{"format", "--crlf=yes"}
                                << QByteArray("--crlf takes no value");
  }
  void badCommandLine() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    const Run r = Kvsql(args, Example);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out, QByteArray());
    QCOMPARE(r.err, "kvsql: " + message + "\nTry 'kvsql --help' for more information.\n");
  }

  void optionsMayStandAnywhere() {
    const Run r = Kvsql({"--functions", "lower", "format", "--keywords", "lower", "-", "--crlf"},
                        "SELECT SUM(B) FROM T");
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("select \r\n  sum(T.B) as FIELD_1\r\nfrom\r\n  T\r\n"));
    // After "--" a name starting with "-" is a file.
    const Run dashed = Kvsql({"format", "--", "--crlf"});
    QCOMPARE(dashed.exitCode, 2);
    QVERIFY2(dashed.err.startsWith("kvsql: --crlf: "), dashed.err.constData());
  }

  void helpDocumentsEverything() {
    const Run help = Kvsql({"--help"});
    QCOMPARE(help.exitCode, 0);
    QCOMPARE(help.err, QByteArray());
    for (const char* word :
         {"format", "check", "--dialect", "--server", "firebird", "interbase", "--keywords",
          "--functions", "asis", "upper", "lower", "first", "--crlf", "--help", "--version",
          "<stdin>", "FILE:LINE:COLUMN", "Exit status"})
      QVERIFY2(help.out.contains(word), word);
    // Asking for help anywhere wins over everything else on the line.
    for (const QStringList& args : {QStringList{"format", "--help"}, QStringList{"check", "-h"},
                                    QStringList{"frob", "--bogus", "--help"}}) {
      const Run r = Kvsql(args);
      QCOMPARE(r.exitCode, 0);
      QCOMPARE(r.out, help.out);
    }
  }

  void versionIsTheComponents() {
    const Run r = Kvsql({"--version"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, "kvsql (Kvarta) " + KvVersionText().toUtf8() + "\n");
  }
};

QTEST_APPLESS_MAIN(TestKvsql)
#include "tst_kvsql.moc"
