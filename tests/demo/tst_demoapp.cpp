// The program as a whole: errors escaping handlers, the command line, and the program run with
// its picture and timing options.

#include "DemoApplication.h"
#include "DemoOptions.h"
#include "FbDatabase.h"
#include "KvError.h"
#include "MainForm.h"
#include "PageControl.h"
#include "support/DemoTestSupport.h"

#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

#include <stdexcept>

namespace {

// Raises from its event handler what it was told to.
class TThrower : public QObject {
public:
  int Handled = 0;
  bool Own = true;

protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    ++Handled;
    if (Own) throw EKvError("The handler failed.");
    throw std::runtime_error("Out of luck.");
  }
};

struct TRun {
  int ExitCode = -1;
  QString Out;
  QString Err;
};

TRun Run(const QStringList& arguments, bool display = true) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  if (display) {
    env.insert("QT_QPA_PLATFORM", "offscreen");
  } else {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
      env.remove(name);
  }
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(KV_BINARY_DIR "/demo/kvarta"), arguments);
  TRun run;
  if (!program.waitForFinished(60000)) return run;
  run.ExitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
  run.Out = QString::fromLocal8Bit(program.readAllStandardOutput());
  run.Err = QString::fromLocal8Bit(program.readAllStandardError());
  return run;
}

TDemoOptions::TResult Parse(const QStringList& args, TDemoOptions& options, QString& message) {
  return options.Parse(QStringList({"kvarta"}) + args, message);
}

} // namespace

class TestDemoApp : public QObject {
  Q_OBJECT

  TSampleDb m_sample;
  QTemporaryDir m_out;

private slots:
  void initTestCase() { QVERIFY2(!m_sample.Path().isEmpty(), qPrintable(m_sample.Errors())); }

  void errorsEscapingHandlersAreShownAndTheProgramGoesOn() {
    TErrorBoxes errors;
    TThrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    thrower.Own = false;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(thrower.Handled, 2);
    QCOMPARE(errors.Texts, QStringList({"The handler failed.", "Out of luck."}));
  }

  void commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << QStringList() << int(TDemoOptions::orRun) << "";
    QTest::newRow("help") << QStringList({"--help"}) << int(TDemoOptions::orExit) << "--screenshot";
    QTest::newRow("two databases")
        << QStringList({"a.fdb", "b.fdb"}) << int(TDemoOptions::orError) << "Only one database";
    QTest::newRow("dialect 2") << QStringList({"--dialect", "2"}) << int(TDemoOptions::orError)
                               << "must be 1 or 3";
    QTest::newRow("page") << QStringList({"--page", "grid"}) << int(TDemoOptions::orError)
                          << "Unknown page 'grid'";
    QTest::newRow("two statements") << QStringList({"--sql", "x", "--sql-file", "y"})
                                    << int(TDemoOptions::orError) << "either --sql or --sql-file";
    QTest::newRow("size") << QStringList({"--size", "big"}) << int(TDemoOptions::orError)
                          << "1000x700";
    QTest::newRow("unknown") << QStringList({"--colour"}) << int(TDemoOptions::orError) << "colour";
  }
  void commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, result);
    QFETCH(QString, message);
    TDemoOptions options;
    QString text;
    QCOMPARE(int(Parse(args, options, text)), result);
    QVERIFY2(text.contains(message), qPrintable(text));
  }

  void optionsConnectAndOpenTheStatement() {
    TErrorBoxes errors;
    TDemoOptions options;
    QString text;
    QCOMPARE(Parse({m_sample.Path(), "--user", "anna", "--dialect", "1", "--charset", "UTF8",
                    "--sql", "select job_title from job", "--page", "sql", "--size", "900x650"},
                   options, text),
             TDemoOptions::orRun);
    {
      TfmMain window;
      options.Apply(window);
      QVERIFY2(errors.Texts.isEmpty(), qPrintable(errors.Texts.join('\n')));
      QVERIFY(window.Database().Connected());
      QCOMPARE(window.Database().Param("user_name"), QStringLiteral("anna"));
      QCOMPARE(window.Database().Param("lc_ctype"), QStringLiteral("UTF8"));
      QCOMPARE(window.Database().SQLDialect(), 1);
      QCOMPARE(window.size(), QSize(900, 650));
      QCOMPARE(window.ActivePage(), TfmMain::pgSQL);
      QVERIFY(window.Kvarta->TableList().FindTable("JOB"));
      QVERIFY(window.mmSQL->toPlainText().contains("JOB.JOB_TITLE"));
    }
    // A database that cannot be opened leaves the window disconnected and says why.
    QCOMPARE(Parse({m_out.filePath("none.fdb")}, options, text), TDemoOptions::orRun);
    TfmMain window;
    options.Apply(window);
    QCOMPARE(errors.Texts.size(), 1);
    QVERIFY(errors.Texts.first().contains("none.fdb"));
    QVERIFY(!window.Database().Connected());
  }

  void programHelp() {
    const TRun run = Run({"--help"});
    QCOMPARE(run.ExitCode, 0);
    QVERIFY(run.Out.contains("--screenshot"));
    QCOMPARE(Run({"--page", "x"}).ExitCode, 2);
    // Reading the help must not need a display.
    for (const char* option : {"--help", "-h", "--help-all"}) {
      const TRun text = Run({option}, false);
      QCOMPARE(text.ExitCode, 0);
      QVERIFY2(text.Out.contains("--sql-file"), option);
    }
  }

  void programScreenshots_data() {
    QTest::addColumn<QString>("page");
    QTest::newRow("builder") << "builder";
    QTest::newRow("sql") << "sql";
    QTest::newRow("result") << "result";
  }
  void programScreenshots() {
    QFETCH(QString, page);
    const QString png = m_out.filePath(page + ".png");
    const TRun run =
        Run({m_sample.Path(), "--screenshot", png, "--page", page, "--size", "800x600", "--sql",
             "select e.full_name, d.department from employee e inner join "
             "department d on e.dept_no = d.dept_no"});
    QVERIFY2(run.ExitCode == 0, qPrintable(run.Err));
    const QImage image(png);
    QCOMPARE(image.size(), QSize(800, 600));
  }

  void programReportsDatabaseErrorsWhenUnattended() {
    const QString png = m_out.filePath("error.png");
    const TRun run = Run({m_out.filePath("absent.fdb"), "--screenshot", png});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY2(run.Err.contains("absent.fdb"), qPrintable(run.Err));
    QVERIFY(QImage(png).width() > 0); // the window is still pictured
  }

  void programStartupTime() {
    const TRun run = Run({m_sample.Path(), "--startup-time"});
    QCOMPARE(run.ExitCode, 0);
    static const QRegularExpression line("^Startup to a shown, connected main window: \\d+ ms$",
                                         QRegularExpression::MultilineOption);
    QVERIFY2(line.match(run.Out).hasMatch(), qPrintable(run.Out + run.Err));
  }
};

int main(int argc, char** argv) {
  TDemoApplication app(argc, argv);
  TestDemoApp test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_demoapp.moc"
