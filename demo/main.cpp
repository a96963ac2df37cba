#include "DemoApplication.h"
#include "DemoDialogs.h"
#include "DemoOptions.h"
#include "DemoResource.h"
#include "MainForm.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include <ibase.h>

#include <cstdio>

namespace {

void Print(FILE* stream, const QString& text) {
  std::fputs(qPrintable(text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n')),
             stream);
  std::fflush(stream);
}

// Reports the time once the window has been shown and painted, then ends the program.
class TStartupClock : public QObject {
public:
  explicit TStartupClock(const QElapsedTimer& clock) : m_clock(clock) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* window = qobject_cast<QWindow*>(watched);
    if (!m_done && event->type() == QEvent::Expose && window && window->isExposed()) {
      m_done = true;
      // Posted: it runs after the window has painted in answer to this event.
      QTimer::singleShot(0, this, [this] {
        Print(stdout, DemoResource::SStartupTime.arg(m_clock.elapsed()));
        QCoreApplication::exit(0);
      });
    }
    return false;
  }

private:
  const QElapsedTimer& m_clock;
  bool m_done = false;
};

// Ctrl+C and SIGTERM reach the database engine, which shuts itself down but leaves ending the
// program to it; once the engine is down the program ends too.
int EngineShutDown(const int reason, const int, void*) {
  if (reason == fb_shutrsn_signal)
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
  return 0;
}

} // namespace

// Help is text only: it must not need a display, which the window system would demand first.
bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray arg(argv[i]);
    if (arg == "--") break;
    if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all") return true;
  }
  return false;
}

int main(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  if (AsksForHelp(argc, argv)) {
    QCoreApplication text(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvarta"));
    TDemoOptions options;
    QString message;
    const TDemoOptions::TResult result = options.Parse(QCoreApplication::arguments(), message);
    Print(result == TDemoOptions::orError ? stderr : stdout, message);
    return result == TDemoOptions::orError ? 2 : 0;
  }
  TDemoApplication app(argc, argv);

  TDemoOptions options;
  QString message;
  switch (options.Parse(QCoreApplication::arguments(), message)) {
  case TDemoOptions::orExit:
    Print(stdout, message);
    return 0;
  case TDemoOptions::orError:
    Print(stderr, message);
    return 2;
  case TDemoOptions::orRun:
    break;
  }

  // Without anyone to read a message box the errors go to the terminal.
  const bool unattended = !options.Screenshot.isEmpty() || options.StartupTime;
  int errors = 0;
  if (unattended)
    SetErrorBoxHandler([&errors](QWidget*, const QString& text) {
      ++errors;
      Print(stderr, QStringLiteral("kvarta: ") + text);
    });

  TfmMain window;
  ISC_STATUS_ARRAY status{};
  fb_shutdown_callback(status, EngineShutDown, fb_shut_finish, nullptr);
  options.Apply(window);
  if (!options.Screenshot.isEmpty()) {
    window.show();
    if (!TDemoOptions::WriteScreenshot(window, options.Screenshot)) {
      Print(stderr, DemoResource::SCmdScreenshotFailed.arg(options.Screenshot));
      return 1;
    }
    return errors ? 1 : 0;
  }
  TStartupClock startup(clock);
  if (options.StartupTime) {
    window.winId(); // makes the native window to watch
    window.windowHandle()->installEventFilter(&startup);
  }
  window.show();
  return app.exec();
}
