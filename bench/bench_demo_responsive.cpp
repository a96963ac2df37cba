// Does the window keep answering while the database works? The Result page (its grid shown,
// offscreen unless a display is given) runs statements on the embedded engine while a 5 ms
// timer ticks on the GUI thread; the widest gap between two ticks is what a user would feel as
// a freeze. Measured while 1,000,000 rows are fetched into the grid, while a statement works
// for 10 s without returning rows, and from Cancel to the idle page (several runs).
//
//   bench_demo_responsive [rows] [seconds of the long statement]
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "ResultPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Ticks every 5 ms and keeps the widest gap between ticks.
class TTicker {
public:
  TTicker() {
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.nsecsElapsed();
      if (now - m_last > m_widest) {
        m_widest = now - m_last;
        m_widestAt = m_last;
      }
      m_last = now;
      ++m_ticks;
    });
  }
  void Start() {
    m_widest = m_widestAt = m_ticks = 0;
    m_clock.start();
    m_last = 0;
    m_timer.start(5);
  }
  double Stop() {
    m_timer.stop();
    return m_widest / 1e6;
  }
  qint64 Ticks() const { return m_ticks; }
  // When the widest gap began, in seconds from Start.
  double WidestAt() const { return m_widestAt / 1e9; }

private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0, m_widest = 0, m_widestAt = 0, m_ticks = 0;
};

template <typename F>
void Until(F done) {
  while (!done())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void Wait(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

const char* Counting = "with recursive N (I) as (select 1 from rdb$database union all select "
                       "I + 1 from N where I < 1000) select count(*) from N A, N B, N C";

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
  const int seconds = argc > 2 ? QByteArray(argv[2]).toInt() : 10;
  QTemporaryDir dir;
  const QString path = dir.filePath("bench.fdb");
  try {
    {
      TFbDatabase db;
      db.SetSettings({path, {"user_name=SYSDBA", "lc_ctype=UTF8"}, 3});
      db.CreateDatabase("UTF8");
      TFbQuery query(&db);
      query.SetSQL("create table BENCH (ID integer not null, NAME varchar(40), AMOUNT "
                   "numeric(10,2), BOOKED date)");
      query.ExecSQL();
      db.DefaultTransaction().Commit();
      query.SetSQL(QStringLiteral(
                       "execute block as declare i integer = 1; begin while (i <= %1) do begin "
                       "insert into BENCH values (:i, 'Customer ' || :i || ' of the north region', "
                       "iif(mod(:i, 3) = 0, -1, 1) * :i / 7.00, dateadd(mod(:i, 20000) day to "
                       "date '1970-01-01')); i = i + 1; end end")
                       .arg(rows));
      query.ExecSQL();
      db.DefaultTransaction().Commit();
    }
    const TFbSettings settings{path, {"user_name=SYSDBA", "lc_ctype=UTF8"}, 3};
    TResultPage page;
    page.resize(1000, 700);
    page.show();
    TFbResultModel* model = page.Model();
    page.Execute(settings, "select 1 from rdb$database"); // the statement's connection
    Until([&] { return !page.Busy(); });
    std::printf("platform %s, %d rows (INTEGER, VARCHAR(40), NUMERIC(10,2), DATE), embedded "
                "engine; a 5 ms timer on the GUI thread\n",
                qPrintable(QGuiApplication::platformName()), rows);

    TTicker ticker;
    QElapsedTimer clock;
    ticker.Start();
    clock.start();
    page.Execute(settings, "select * from BENCH");
    Until([&] { return !page.Busy(); });
    model->FetchAll();
    Until([&] { return !page.Busy(); });
    double gap = ticker.Stop();
    std::printf("fetch of all %d rows into the grid: %.2f s, widest gap between ticks %.1f ms "
                "(at %.2f s; %lld ticks)\n",
                model->rowCount(), clock.elapsed() / 1000.0, gap, ticker.WidestAt(),
                ticker.Ticks());

    ticker.Start();
    page.Execute(settings, Counting);
    Wait(seconds * 1000);
    gap = ticker.Stop();
    if (!page.Busy()) throw EFbError("the long statement ended early");
    clock.restart();
    page.Cancel();
    Until([&] { return !page.Busy(); });
    std::printf("statement working %d s: widest gap between ticks %.1f ms (at %.2f s); Cancel to "
                "idle %.1f ms (%s)\n",
                seconds, gap, ticker.WidestAt(), clock.nsecsElapsed() / 1e6,
                qPrintable(model->StatusText()));

    std::vector<double> cancels;
    for (int run = 0; run < 7; ++run) {
      page.Execute(settings, Counting);
      Wait(300 + 100 * run);
      clock.restart();
      page.Cancel();
      Until([&] { return !page.Busy(); });
      cancels.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(cancels.begin(), cancels.end());
    std::printf("Cancel to idle over %zu runs: min %.1f ms, median %.1f ms, max %.1f ms\n",
                cancels.size(), cancels.front(), cancels[cancels.size() / 2], cancels.back());
  } catch (const EKvError& error) {
    std::fprintf(stderr, "error: %s\n", error.what());
    return 1;
  }
  return 0;
}
