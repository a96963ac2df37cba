// Startup of the demo: from starting the program to its main window shown, painted and
// connected to the EMPLOYEE sample database (embedded engine). Runs the program several times
// with --startup-time and prints what the program measured (from its main) and the wall time
// seen from outside (process start until the program printed its figure).
//
//   bench_demo_startup [runs]
//
// Uses the display of the environment; without one the offscreen platform.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct TStats {
  double Min, Median, Max;
};

TStats Stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v.front(), v[v.size() / 2], v.back()};
}

// The source tree, as the build folder's cache records it.
QString SourceDir() {
  QFile cache(QStringLiteral(KV_BINARY_DIR "/CMakeCache.txt"));
  if (cache.open(QIODevice::ReadOnly))
    for (const QByteArray& line : cache.readAll().split('\n'))
      if (line.startsWith("CMAKE_HOME_DIRECTORY:"))
        return QString::fromLocal8Bit(line.mid(line.indexOf('=') + 1)).trimmed();
  return QStringLiteral(".");
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 10;
  QTemporaryDir dir;
  if (!dir.isValid() || runs <= 0) {
    std::fprintf(stderr, "usage: bench_demo_startup [runs]\n");
    return 2;
  }
  const QString program = QStringLiteral(KV_BINARY_DIR "/demo/kvarta");
  QProcess make;
  make.start(QStringLiteral("bash"), {SourceDir() + "/scripts/make-sample-db.sh", dir.path()});
  make.waitForFinished(120000);
  const QString db = QString::fromLocal8Bit(make.readAllStandardOutput()).trimmed();
  if (make.exitCode() != 0 || db.isEmpty()) {
    std::fprintf(stderr, "making the sample database failed:\n%s\n",
                 make.readAllStandardError().constData());
    return 1;
  }

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const bool display = env.contains("DISPLAY") || env.contains("WAYLAND_DISPLAY");
  if (!display && !env.contains("QT_QPA_PLATFORM")) env.insert("QT_QPA_PLATFORM", "offscreen");
  const QString platform = env.value("QT_QPA_PLATFORM", display ? "xcb" : "offscreen");

  static const QRegularExpression figure(QStringLiteral("main window: (\\d+) ms"));
  std::vector<double> inside, outside;
  for (int i = 0; i < runs + 1; ++i) {
    QProcess run;
    run.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    run.start(program, {db, QStringLiteral("--startup-time")});
    double seen = -1;
    QByteArray out;
    while (run.state() != QProcess::NotRunning || run.bytesAvailable()) {
      run.waitForReadyRead(50);
      out += run.readAllStandardOutput();
      if (seen < 0 && figure.match(QString::fromLocal8Bit(out)).hasMatch())
        seen = double(clock.nsecsElapsed()) / 1e6;
      if (run.state() == QProcess::NotRunning && !run.bytesAvailable()) break;
    }
    run.waitForFinished(30000);
    const QRegularExpressionMatch match = figure.match(QString::fromLocal8Bit(out));
    if (!match.hasMatch() || run.exitCode() != 0) {
      std::fprintf(stderr, "run %d failed:\n%s%s\n", i, out.constData(),
                   run.readAllStandardError().constData());
      return 1;
    }
    if (i == 0) continue; // the first run warms the file cache
    inside.push_back(match.captured(1).toDouble());
    outside.push_back(seen);
  }
  const TStats in = Stats(inside);
  const TStats out = Stats(outside);
  std::printf("demo startup to a shown, connected main window (%s, %d runs)\n",
              qPrintable(platform), runs);
  std::printf("  measured by the program (from main): min %.0f  median %.0f  max %.0f ms\n", in.Min,
              in.Median, in.Max);
  std::printf("  seen from outside (process start):   min %.0f  median %.0f  max %.0f ms\n",
              out.Min, out.Median, out.Max);
  return 0;
}
