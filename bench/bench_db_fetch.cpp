// Fetch speed of the database layer on a 1,000,000-row table (INTEGER, VARCHAR(40),
// NUMERIC(10,2), DATE) through the embedded engine: time until the grid model has its first
// rows, full fetch with every value turned into display text (on the statement runner's thread,
// handed to the model in blocks, as the Result page does it), and memory per fetched row, next
// to isql-fb writing the same rows to /dev/null in the same run.
//
//   bench_db_fetch [rows] [folder for the database]
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// VmRSS / VmHWM of this process in bytes.
qint64 ProcStatus(const char* key) {
  QFile file("/proc/self/status");
  if (!file.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (line.startsWith(key))
      return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLongLong() * 1024;
  return 0;
}

// Resets the peak so the next VmHWM reading covers only what follows.
void ResetPeak() {
  QFile file("/proc/self/clear_refs");
  if (file.open(QIODevice::WriteOnly)) file.write("5");
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Connect(TFbDatabase& db, const QString& path) {
  db.SetDatabaseName(path);
  db.SetParams({"user_name=SYSDBA", "lc_ctype=UTF8"});
  db.Connect();
}

// Turns the event loop until `done` holds.
template <typename F>
void Until(F done) {
  while (!done())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
  QTemporaryDir tempDir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/bench_db_fetch-XXXXXX"
                                 : QString());
  if (!tempDir.isValid() || rows <= 0) {
    std::fprintf(stderr, "usage: bench_db_fetch [rows] [folder]\n");
    return 2;
  }
  const QString path = tempDir.filePath("bench.fdb");
  const int runs = 3;
  try {
    std::printf(
        "rows: %d (INTEGER, VARCHAR(40), NUMERIC(10,2), DATE), embedded engine, %d runs each\n",
        rows, runs);
    QElapsedTimer timer;
    timer.start();
    {
      TFbDatabase db;
      db.SetDatabaseName(path);
      db.SetParams({"user_name=SYSDBA", "lc_ctype=UTF8"});
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
    std::printf("fill: %.1f s\n", timer.elapsed() / 1000.0);

    // isql-fb: the same SELECT, its text output thrown away. The database is closed here, as
    // the embedded engine opens a file for one process at a time.
    const QString script = tempDir.filePath("select.sql");
    {
      QFile file(script);
      if (!file.open(QIODevice::WriteOnly)) throw EFbError("cannot write " + script);
      file.write("select * from BENCH;\n");
    }
    // Runs alternate between isql-fb and the model so that load from elsewhere hits both alike.
    std::vector<double> isqlTimes, openTimes, firstPageTimes, fetchTimes, bareTimes;
    qint64 storeBytes = 0, rssGrowth = 0, cellChars = 0;
    double readBack = 0;
    int batch = 0;
    for (int run = 0; run < runs; ++run) {
      QProcess isql;
      isql.setStandardOutputFile(QProcess::nullDevice());
      isql.setStandardErrorFile(QProcess::nullDevice());
      timer.restart();
      isql.start("isql-fb", {"-q", "-user", "SYSDBA", "-i", script, path});
      if (!isql.waitForFinished(600000) || isql.exitCode() != 0) throw EFbError("isql-fb failed");
      isqlTimes.push_back(timer.nsecsElapsed() / 1e9);

      const TFbSettings settings{path, {"user_name=SYSDBA", "lc_ctype=UTF8"}, 3};
      auto runner = std::make_unique<TFbStatementRunner>();
      TFbResultModel model(runner.get());
      batch = model.BatchSize();
      // The statement's connection is made before the clock starts.
      model.Execute(settings, "select 1 from rdb$database");
      Until([&] { return !model.Busy(); });
      const qint64 rssBefore = ProcStatus("VmRSS:");
      ResetPeak();
      timer.restart();
      model.Execute(settings, "select * from BENCH"); // prepare, execute, the first batch
      Until([&] { return !model.Busy(); });
      const double opened = timer.nsecsElapsed() / 1e6;
      // What a view paints first: 100 rows, every column.
      qsizetype chars = 0;
      for (int r = 0; r < 100 && r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
          chars += model.data(model.index(r, c)).toString().size();
      const double firstPage = timer.nsecsElapsed() / 1e6;
      if (model.rowCount() < std::min(rows, 100) || chars == 0)
        throw EFbError("first rows missing");
      timer.restart();
      model.FetchAll();
      Until([&] { return !model.Busy(); });
      fetchTimes.push_back(timer.nsecsElapsed() / 1e9);
      if (model.rowCount() != rows) throw EFbError("row count differs");
      openTimes.push_back(opened);
      firstPageTimes.push_back(firstPage);
      if (run == 0) {
        storeBytes = qint64(model.MemoryUsed());
        rssGrowth = ProcStatus("VmHWM:") - rssBefore;
        // Reading every cell back as a QString, as a view does for the visible ones.
        timer.restart();
        for (int r = 0; r < model.rowCount(); ++r)
          for (int c = 0; c < model.columnCount(); ++c)
            cellChars += model.Text(r, c).size();
        readBack = timer.nsecsElapsed() / 1e9;
      }
      model.Close();
      runner.reset(); // its connection ends

      // The bare loop: fetch and convert into one reused buffer, nothing kept.
      TFbDatabase db;
      Connect(db, path);
      TFbQuery bare(&db);
      bare.SetSQL("select * from BENCH");
      TFbTextBuffer buffer;
      timer.restart();
      bare.Open();
      qint64 n = 0;
      while (bare.Next()) {
        buffer.Clear();
        for (int c = 0; c < bare.FieldCount(); ++c)
          if (!bare.IsNull(c)) bare.AppendText(c, buffer);
        ++n;
      }
      bareTimes.push_back(timer.nsecsElapsed() / 1e9);
      if (n != rows) throw EFbError("bare loop row count differs");
    }

    const double isqlBest = *std::min_element(isqlTimes.begin(), isqlTimes.end());
    const double fetchBest = *std::min_element(fetchTimes.begin(), fetchTimes.end());
    const double bareBest = *std::min_element(bareTimes.begin(), bareTimes.end());
    std::printf("isql-fb to /dev/null: best %.3f s (%.0f rows/s), median %.3f s\n", isqlBest,
                rows / isqlBest, Median(isqlTimes));
    std::printf("model open (prepare, execute, first %d rows as text): median %.2f ms\n", batch,
                Median(openTimes));
    std::printf("first 100 rows on screen after Open starts: median %.2f ms (max %.2f ms)\n",
                Median(firstPageTimes),
                *std::max_element(firstPageTimes.begin(), firstPageTimes.end()));
    std::printf(
        "model full fetch, every value to display text: best %.3f s (%.0f rows/s), median %.3f s\n",
        fetchBest, rows / fetchBest, Median(fetchTimes));
    std::printf("ratio of throughput model / isql-fb: %.2f (best against best), %.2f (median "
                "against median)\n",
                isqlBest / fetchBest, Median(isqlTimes) / Median(fetchTimes));
    std::printf("bare query loop converting to text (no storage): best %.3f s (%.0f rows/s)\n",
                bareBest, rows / bareBest);
    std::printf(
        "memory: %.1f bytes/row held by the model's row store; peak RSS growth during the first "
        "full fetch %.1f bytes/row (includes the embedded engine's page cache)\n",
        double(storeBytes) / rows, double(rssGrowth) / rows);
    std::printf("reading all %lld cells back as QString: %.3f s (%lld characters)\n",
                qint64(rows) * 4, readBack, cellChars);
  } catch (const EKvError& error) {
    std::fprintf(stderr, "error: %s\n", error.what());
    return 1;
  }
  return 0;
}
