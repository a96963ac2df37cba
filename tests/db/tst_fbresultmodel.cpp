// The grid model: lazy fetching, display text of the stored rows, navigation, refresh, errors.
#include "FbDatabase.h"
#include "FbError.h"
#include "FbQuery.h"
#include "FbResultModel.h"
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
} // namespace

class TestFbResultModel : public QObject {
  Q_OBJECT

private slots:
  void opensWithTheFirstBatchOnly() {
    TTestDb t;
    FillNumbers(t, 20000);
    TFbQuery query(&t.Db());
    TFbResultModel model(&query);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
    QVERIFY(!model.canFetchMore(QModelIndex()));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    query.SetSQL("select * from NUMS order by ID");
    query.Open();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.rowCount(), model.BatchSize());
    QCOMPARE(query.RowsFetched(), qint64(model.BatchSize())); // nothing more read
    QVERIFY(model.canFetchMore(QModelIndex()));
    QCOMPARE(model.CurrentRow(), 0);
    QCOMPARE(model.StatusText(), QStringLiteral("256 rows fetched, more remain"));

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.fetchMore(QModelIndex());
    QCOMPARE(model.rowCount(), 2 * model.BatchSize());
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 256);
    QCOMPARE(inserted[0][2].toInt(), 511);

    model.FetchAll();
    QCOMPARE(model.rowCount(), 20000);
    QVERIFY(!model.canFetchMore(QModelIndex()));
    QCOMPARE(model.StatusText(), QStringLiteral("20,000 rows"));
    QVERIFY(model.MemoryUsed() > 0);
  }

  void cellsShowStoredText() {
    TTestDb t;
    FillNumbers(t, 3000);
    TFbQuery query(&t.Db());
    query.SetSQL("select ID, NAME, AMOUNT, NOTE from NUMS order by ID");
    query.Open();
    TFbResultModel model(&query);
    model.FetchAll();
    // Rows on both sides of the store's block boundaries.
    for (int row : {0, 1, 9, 1022, 1023, 1024, 2047, 2048, 2999}) {
      const int id = row + 1;
      QCOMPARE(model.data(model.index(row, 0)).toString(), QString::number(id));
      QCOMPARE(model.data(model.index(row, 1)).toString(), QStringLiteral("Row %1").arg(id));
      const QString amount = QStringLiteral("%1%2.%3")
                                 .arg(id % 2 ? "-" : "")
                                 .arg(id / 100)
                                 .arg(id % 100, 2, 10, QLatin1Char('0'));
      QCOMPARE(model.data(model.index(row, 2)).toString(), amount);
      const bool null = id % 10 == 0;
      QCOMPARE(model.data(model.index(row, 3), TFbResultModel::NullRole).toBool(), null);
      QCOMPARE(model.data(model.index(row, 3)).toString(),
               null ? FbNullText() : QStringLiteral("n%1").arg(id));
      QCOMPARE(model.IsNull(row, 3), null);
    }
    QVERIFY(!model.data(model.index(3000, 0)).isValid());
    QCOMPARE(model.Text(5000, 0), QString());
  }

  void headersFlagsAlignment() {
    TTestDb t;
    FillNumbers(t, 5);
    TFbQuery query(&t.Db());
    query.SetSQL("select ID, NAME as \"Label\", AMOUNT from NUMS");
    query.Open();
    TFbResultModel model(&query);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Label"));
    QCOMPARE(model.headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString(),
             QStringLiteral("AMOUNT (BCD)"));
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 1);
    QCOMPARE(model.headerData(4, Qt::Vertical).toInt(), 5);
    QVERIFY(!model.headerData(5, Qt::Vertical).isValid());
    const Qt::ItemFlags flags = model.flags(model.index(0, 0));
    QVERIFY(flags & Qt::ItemIsSelectable);
    QVERIFY(!(flags & Qt::ItemIsEditable));
    QVERIFY(!model.setData(model.index(0, 0), "9"));
    QCOMPARE(model.data(model.index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
             int(Qt::AlignRight));
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft,
             int(Qt::AlignLeft));
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.StatusText(), QStringLiteral("5 rows"));
  }

  void navigatorMovesAndFetches() {
    TTestDb t;
    FillNumbers(t, 1000);
    TFbQuery query(&t.Db());
    query.SetSQL("select ID from NUMS order by ID");
    TFbResultModel model(&query);
    model.SetBatchSize(100);
    QSignalSpy moves(&model, &TFbResultModel::CurrentRowChanged);
    query.Open();
    QCOMPARE(model.CurrentRow(), 0);
    QVERIFY(model.Bof());
    QVERIFY(!model.Eof());
    model.Prior(); // already first
    QCOMPARE(model.CurrentRow(), 0);
    model.Next();
    model.Next();
    QCOMPARE(model.CurrentRow(), 2);
    model.SetCurrentRow(99);
    QCOMPARE(model.rowCount(), 100);
    model.Next(); // past the fetched rows: fetches the next batch
    QCOMPARE(model.CurrentRow(), 100);
    QCOMPARE(model.rowCount(), 200);
    model.Last();
    QCOMPARE(model.CurrentRow(), 999);
    QCOMPARE(model.rowCount(), 1000);
    QVERIFY(model.Eof());
    model.Next();
    QCOMPARE(model.CurrentRow(), 999);
    model.Prior();
    QCOMPARE(model.CurrentRow(), 998);
    model.First();
    QCOMPARE(model.CurrentRow(), 0);
    model.SetCurrentRow(5000);
    QCOMPARE(model.CurrentRow(), 999);
    QCOMPARE(moves.last()[0].toInt(), 999);
    QCOMPARE(moves.first()[0].toInt(), 0);

    query.Close();
    QCOMPARE(model.CurrentRow(), -1);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
    QCOMPARE(model.StatusText(), QString());
  }

  void emptyResult() {
    TTestDb t;
    FillNumbers(t, 0);
    TFbQuery query(&t.Db());
    TFbResultModel model(&query);
    query.OpenTableFields("NUMS");
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.CurrentRow(), -1);
    QVERIFY(model.Bof() && model.Eof());
    model.Next();
    model.Last();
    QCOMPARE(model.CurrentRow(), -1);
    QCOMPARE(model.StatusText(), QStringLiteral("0 rows"));
  }

  void refreshShowsCommittedChanges() {
    TTestDb t;
    FillNumbers(t, 10);
    TFbQuery query(&t.Db());
    query.SetSQL("select ID from NUMS order by ID");
    TFbResultModel model(&query);
    query.Open();
    model.SetCurrentRow(4);
    // Another connection adds rows meanwhile.
    TFbDatabase other;
    other.SetDatabaseName(t.Path());
    other.SetParam("user_name", "SYSDBA");
    other.Connect();
    TFbQuery insert(&other);
    insert.SetSQL("insert into NUMS (ID) values (0)");
    insert.ExecSQL();
    other.DefaultTransaction().Commit();

    QCOMPARE(model.rowCount(), 10);
    model.Refresh();
    QVERIFY(query.IsOpen());
    QCOMPARE(model.rowCount(), 11);
    QCOMPARE(model.Text(0, 0), QStringLiteral("0"));
    QCOMPARE(model.CurrentRow(), 4);
  }

  void fetchErrorEndsTheRowsWithoutRaisingFromTheView() {
    TTestDb t;
    FillNumbers(t, 2000);
    TFbQuery query(&t.Db());
    query.SetSQL("select ID, 1 / (1500 - ID) from NUMS order by ID");
    TFbResultModel model(&query);
    QSignalSpy errors(&model, &TFbResultModel::FetchError);
    query.Open();
    QCOMPARE(model.rowCount(), 256);
    while (model.canFetchMore(QModelIndex()))
      model.fetchMore(QModelIndex());
    QCOMPARE(errors.count(), 1);
    QVERIFY2(errors[0][0].toString().contains("divide by zero"),
             qPrintable(errors[0][0].toString()));
    QCOMPARE(model.LastError(), errors[0][0].toString());
    QCOMPARE(model.rowCount(), 1499); // every row before the failing one is kept
    QCOMPARE(model.Text(1498, 0), QStringLiteral("1499"));
    QVERIFY(model.StatusText().contains("error"));
    // The connection goes on.
    QCOMPARE(FetchAllText(t.Db(), "select count(*) from NUMS").value(0), QStringList({"2000"}));
  }

  void navigatorRaisesFetchErrors() {
    TTestDb t;
    FillNumbers(t, 600);
    TFbQuery query(&t.Db());
    query.SetSQL("select 1 / (500 - ID) from NUMS order by ID");
    TFbResultModel model(&query);
    query.Open();
    QString message;
    try {
      model.Last();
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY(message.contains("divide by zero"));
    QCOMPARE(model.rowCount(), 499);
    model.Last(); // nothing is retried: the rows simply end
    QCOMPARE(model.CurrentRow(), 498);
  }

  void firstRowErrorComesFromOpen() {
    TTestDb t;
    TFbQuery query(&t.Db());
    TFbResultModel model(&query);
    query.SetSQL("select 1 / 0 from rdb$database");
    QVERIFY_THROWS_EXCEPTION(EFbError, query.Open());
    QVERIFY(!query.IsOpen());
    QCOMPARE(model.columnCount(), 0);
  }

  void followsTheConnection() {
    TTestDb t;
    FillNumbers(t, 1000);
    TFbQuery query(&t.Db());
    query.SetSQL("select * from NUMS");
    TFbResultModel model(&query);
    query.Open();
    // Listing tables while rows are shown keeps them fetchable.
    QCOMPARE(t.Db().TableNames(false), QStringList({"NUMS"}));
    model.FetchAll();
    QCOMPARE(model.rowCount(), 1000);
    query.Close();
    query.Open();
    t.Db().Disconnect();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 0);
  }

  void attachesToAnOpenQueryAndSurvivesItsEnd() {
    TTestDb t;
    FillNumbers(t, 10);
    auto query = std::make_unique<TFbQuery>(&t.Db());
    query->SetSQL("select ID from NUMS");
    query->Open();
    TFbResultModel model;
    model.SetQuery(query.get());
    QCOMPARE(model.rowCount(), 10);
    query.reset();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.Query(), nullptr);
    model.Refresh(); // nothing to refresh
  }
};

QTEST_APPLESS_MAIN(TestFbResultModel)
#include "tst_fbresultmodel.moc"
