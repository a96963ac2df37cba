// The grid model over a statement run in the background: batches, display text, navigation,
// refresh, failures, cancelling, sorting, copying, exporting and the memory guard.
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "support/FbTestDb.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
// A table NUMS (ID 1..rows, NAME 'Row <id>', AMOUNT id/100 negated for odd ids, NOTE null for
// ids divisible by 10) filled by the server.
void FillNumbers(TTestDb& t, int rows) {
  t.Exec(
      "create table NUMS (ID integer not null primary key, NAME varchar(20), AMOUNT numeric(10,2), "
      "NOTE varchar(10))");
  t.Exec(QStringLiteral(
             "execute block as declare i integer = 1; begin while (i <= %1) do begin "
             "insert into NUMS values (:i, 'Row ' || :i, iif(mod(:i, 2) = 1, -:i, :i) / 100.00, "
             "iif(mod(:i, 10) = 0, null, 'n' || :i)); i = i + 1; end end")
             .arg(rows));
}

// The Result page's pair: a statement runner and the model over it.
struct TGrid {
  explicit TGrid(TTestDb& t) : Settings(t.Db().Settings()) {}
  TFbSettings Settings;
  TFbStatementRunner Runner;
  TFbResultModel Model{&Runner};
  bool Idle() {
    return QTest::qWaitFor([this] { return !Model.Busy(); }, 60000);
  }
  bool Run(const QString& sql) {
    Model.Execute(Settings, sql);
    return Idle();
  }
};

QStringList Column(const TFbResultModel& model, int column) {
  QStringList values;
  for (int r = 0; r < model.rowCount(); ++r)
    values << model.Text(r, column);
  return values;
}
} // namespace

class TestFbResultModel : public QObject {
  Q_OBJECT

private slots:
  void opensWithTheFirstBatchOnly() {
    TTestDb t;
    FillNumbers(t, 20000);
    TGrid g(t);
    QCOMPARE(g.Model.rowCount(), 0);
    QVERIFY(!g.Model.canFetchMore(QModelIndex()));
    g.Model.Execute(g.Settings, "select * from NUMS order by ID");
    QVERIFY(g.Model.StatusText().startsWith(QStringLiteral("Running\u2026 00:0")));
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.columnCount(), 4);
    QCOMPARE(g.Model.rowCount(), g.Model.BatchSize());
    QCOMPARE(g.Runner.RowsFetched(), qint64(g.Model.BatchSize())); // nothing more read
    QVERIFY(g.Model.canFetchMore(QModelIndex()));
    QCOMPARE(g.Model.CurrentRow(), 0);
    QCOMPARE(g.Model.StatusText(), QStringLiteral("256 rows fetched, more remain"));

    QSignalSpy inserted(&g.Model, &QAbstractItemModel::rowsInserted);
    g.Model.fetchMore(QModelIndex());
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.rowCount(), 2 * g.Model.BatchSize());
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 256);
    QCOMPARE(inserted[0][2].toInt(), 511);

    g.Model.FetchAll();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.rowCount(), 20000);
    QVERIFY(!g.Model.canFetchMore(QModelIndex()));
    QCOMPARE(g.Model.StatusText(), QStringLiteral("20,000 rows"));
    QVERIFY(g.Model.MemoryUsed() > 0);
  }

  void cellsShowStoredText() {
    TTestDb t;
    FillNumbers(t, 5000);
    TGrid g(t);
    QVERIFY(g.Run("select ID, NAME, AMOUNT, NOTE from NUMS order by ID"));
    g.Model.FetchAll();
    QVERIFY(g.Idle());
    // Rows on both sides of the blocks the rows came in (the first batch, then full blocks).
    for (int row : {0, 1, 9, 255, 256, 257, 1279, 1280, 4351, 4352, 4999}) {
      const int id = row + 1;
      QCOMPARE(g.Model.data(g.Model.index(row, 0)).toString(), QString::number(id));
      QCOMPARE(g.Model.data(g.Model.index(row, 1)).toString(), QStringLiteral("Row %1").arg(id));
      const QString amount = QStringLiteral("%1%2.%3")
                                 .arg(id % 2 ? "-" : "")
                                 .arg(id / 100)
                                 .arg(id % 100, 2, 10, QLatin1Char('0'));
      QCOMPARE(g.Model.data(g.Model.index(row, 2)).toString(), amount);
      const bool null = id % 10 == 0;
      QCOMPARE(g.Model.data(g.Model.index(row, 3), TFbResultModel::NullRole).toBool(), null);
      QCOMPARE(g.Model.data(g.Model.index(row, 3)).toString(),
               null ? FbNullText() : QStringLiteral("n%1").arg(id));
    }
    QVERIFY(!g.Model.data(g.Model.index(5000, 0)).isValid());
    QCOMPARE(g.Model.Text(6000, 0), QString());
  }

  void headersFlagsAlignment() {
    TTestDb t;
    FillNumbers(t, 5);
    TGrid g(t);
    QVERIFY(g.Run("select ID, NAME as \"Label\", AMOUNT from NUMS"));
    QCOMPARE(g.Model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(g.Model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Label"));
    QCOMPARE(g.Model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
             QStringLiteral("AMOUNT (BCD)"));
    QCOMPARE(g.Model.headerData(4, Qt::Vertical).toInt(), 5);
    QVERIFY(!g.Model.headerData(5, Qt::Vertical).isValid());
    QVERIFY(!(g.Model.flags(g.Model.index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(g.Model.data(g.Model.index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QCOMPARE(g.Model.StatusText(), QStringLiteral("5 rows"));
  }

  void navigatorMovesAndFetches() {
    TTestDb t;
    FillNumbers(t, 1000);
    TGrid g(t);
    g.Model.SetBatchSize(100);
    QSignalSpy moves(&g.Model, &TFbResultModel::CurrentRowChanged);
    QVERIFY(g.Run("select ID from NUMS order by ID"));
    QCOMPARE(g.Model.CurrentRow(), 0);
    QVERIFY(g.Model.Bof() && !g.Model.Eof());
    g.Model.Prior(); // already first
    g.Model.Next();
    g.Model.Next();
    QCOMPARE(g.Model.CurrentRow(), 2);
    g.Model.SetCurrentRow(99);
    g.Model.Next(); // past the fetched rows: moves once the next batch is there
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.CurrentRow(), 100);
    QCOMPARE(g.Model.rowCount(), 200);
    g.Model.Last();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.CurrentRow(), 999);
    QVERIFY(g.Model.Eof());
    g.Model.Next();
    QCOMPARE(g.Model.CurrentRow(), 999);
    g.Model.First();
    QCOMPARE(g.Model.CurrentRow(), 0);
    g.Model.SetCurrentRow(5000);
    QCOMPARE(g.Model.CurrentRow(), 999);
    QCOMPARE(moves.first()[0].toInt(), 0);

    g.Model.Close();
    QCOMPARE(g.Model.CurrentRow(), -1);
    QCOMPARE(g.Model.columnCount(), 0);
    QCOMPARE(g.Model.StatusText(), QString());
  }

  void emptyResultAndRefresh() {
    TTestDb t;
    FillNumbers(t, 0);
    TGrid g(t);
    QVERIFY(g.Run("select ID from NUMS order by ID"));
    QCOMPARE(g.Model.columnCount(), 1);
    QCOMPARE(g.Model.CurrentRow(), -1);
    QVERIFY(g.Model.Bof() && g.Model.Eof());
    g.Model.Last();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.StatusText(), QStringLiteral("0 rows"));
    // Rows committed meanwhile show on Refresh, which returns to the row it stood on.
    t.Exec("insert into NUMS (ID) select first 10 rdb$relation_id from rdb$relations");
    g.Model.Refresh();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.rowCount(), 10);
    g.Model.SetCurrentRow(4);
    g.Model.Refresh();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.CurrentRow(), 4);
  }

  void failuresKeepTheRowsBefore_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("status");
    QTest::newRow("in a later batch")
        << "select ID, 1 / (1500 - ID) from NUMS order by ID" << 1499
        << "Failed after 1,499 rows: arithmetic exception, numeric overflow, or string truncation";
    QTest::newRow("first row") << "select 1 / 0 from rdb$database" << 0
                               << "Failed: arithmetic exception, numeric overflow, or string "
                                  "truncation";
    QTest::newRow("syntax") << "select nonsense from" << 0 << "Failed: Dynamic SQL Error";
  }
  void failuresKeepTheRowsBefore() {
    QFETCH(QString, sql);
    QFETCH(int, rows);
    QFETCH(QString, status);
    TTestDb t;
    FillNumbers(t, 2000);
    TGrid g(t);
    QSignalSpy errors(&g.Model, &TFbResultModel::FetchError);
    QVERIFY(g.Run(sql));
    g.Model.FetchAll();
    QVERIFY(g.Idle());
    QCOMPARE(errors.count(), 1);
    QVERIFY2(errors[0][0].toString().contains(status.section(": ", 1)),
             qPrintable(errors[0][0].toString()));
    QCOMPARE(g.Model.rowCount(), rows);
    QCOMPARE(g.Model.StatusText(), status);
    QVERIFY(!g.Model.canFetchMore(QModelIndex()));
    // The connection goes on.
    QVERIFY(g.Run("select count(*) from NUMS"));
    QCOMPARE(g.Model.Text(0, 0), QStringLiteral("2000"));
  }

  void cancelStopsALongStatementAtOnce() {
    TTestDb t;
    QCOMPARE(CancelsAtOnce(t.Db().Settings()), QString());
  }

  void sortsByValue_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("ids");
    // Rows: 1 'b' 10.5 null, 2 'B' -3.25 2, 3 'a10' 9 1e+20, 4 null 100 -2.5, 5 'a9' -3.5 0.1
    QTest::newRow("scaled numbers by value") << 2 << false << QStringList{"5", "2", "3", "1", "4"};
    QTest::newRow("scaled numbers descending") << 2 << true << QStringList{"4", "1", "3", "2", "5"};
    QTest::newRow("text collated, NULL first")
        << 1 << false << QStringList{"4", "5", "3", "1", "2"};
    QTest::newRow("doubles, NULL last descending")
        << 3 << true << QStringList{"3", "2", "5", "4", "1"};
  }
  void sortsByValue() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, ids);
    TTestDb t;
    t.ExecAll(
        {"create table S (ID integer, T varchar(5), N numeric(9,2), D double precision)",
         "insert into S values (1, 'b', 10.5, null)", "insert into S values (2, 'B', -3.25, 2)",
         "insert into S values (3, 'a10', 9, 1e20)", "insert into S values (4, null, 100, -2.5)",
         "insert into S values (5, 'a9', -3.5, 0.1)"});
    TGrid g(t);
    g.Model.SetBatchSize(2); // the rest is fetched before sorting
    QVERIFY(g.Run("select * from S order by ID"));
    QVERIFY(g.Model.MoreRows());
    QSignalSpy sorted(&g.Model, &TFbResultModel::SortFinished);
    g.Model.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QVERIFY(sorted.wait(20000));
    QCOMPARE(Column(g.Model, 0), ids);
    QCOMPARE(g.Model.SortColumn(), column);
  }

  void copiesAndExportsWhatItShows() {
    TTestDb t;
    t.ExecAll({"create table Q (ID integer, T varchar(20))", "insert into Q values (1, 'plain')",
               "insert into Q values (2, null)", "insert into Q values (3, 'tab\tand \"quote\"')",
               "insert into Q values (4, 'comma, line' || ascii_char(10) || 'break')",
               "insert into Q values (5, '')"});
    TGrid g(t);
    QVERIFY(g.Run("select ID, T as \"Text, quoted\" from Q order by ID"));
    QItemSelection selection(g.Model.index(1, 1), g.Model.index(2, 1));
    selection.select(g.Model.index(0, 0), g.Model.index(0, 0));
    QCOMPARE(g.Model.TabSeparated(selection),
             QStringLiteral("ID\tText, quoted\n1\t\n\t\n\t\"tab\tand \"\"quote\"\"\"\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath("out.csv");
    QSignalSpy done(&g.Model, &TFbResultModel::ExportFinished);
    g.Model.ExportCsv(path);
    QVERIFY(done.wait(20000));
    QCOMPARE(done[0][1].toString(), QString());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("ID,\"Text, quoted\"\r\n1,plain\r\n2,\r\n"
                                        "3,\"tab\tand \"\"quote\"\"\"\r\n"
                                        "4,\"comma, line\nbreak\"\r\n5,\"\"\r\n"));
  }

  void memoryGuardAsksBeforeFetchingPastTheLimit() {
    TTestDb t;
    FillNumbers(t, 30000);
    TGrid g(t);
    g.Model.SetMemoryLimit(200 * 1024);
    QSignalSpy asked(&g.Model, &TFbResultModel::MemoryLimitReached);
    QVERIFY(g.Run("select * from NUMS"));
    g.Model.Last();
    QVERIFY(g.Idle());
    QCOMPARE(asked.count(), 1);
    QVERIFY(g.Model.MoreRows());
    const int held = g.Model.rowCount();
    QVERIFY(held > 256 && held < 30000);
    g.Model.StopAtMemoryLimit();
    QCOMPARE(g.Model.CurrentRow(), held - 1);
    g.Model.Last();
    QVERIFY(g.Idle());
    QCOMPARE(asked.count(), 2); // asked again, nothing fetched
    QCOMPARE(g.Model.rowCount(), held);
    g.Model.AllowPastMemoryLimit();
    QVERIFY(g.Idle());
    QCOMPARE(g.Model.rowCount(), 30000);
    QCOMPARE(g.Model.CurrentRow(), 29999);
  }
};

QTEST_GUILESS_MAIN(TestFbResultModel)
#include "tst_fbresultmodel.moc"
