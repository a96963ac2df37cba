#pragma once

#include "FbDatabase.h"
#include "FbRowStore.h"

#include <QAbstractTableModel>
#include <QItemSelection>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QThread;
class TFbStatementRunner;

// Read-only grid model of the rows a statement returns. Execute hands the statement to a
// TFbStatementRunner, which runs it on its own thread: the model shows the columns once they
// are known and the rows as they arrive, and never waits. Further rows are fetched as the view
// scrolls (canFetchMore/fetchMore, BatchSize rows at a time); Last, a sort and an export fetch
// the rest first, in the background, and stop to ask (MemoryLimitReached) before the rows held
// pass MemoryLimit.
//
// Navigation for a grid's navigator: CurrentRow with First, Prior, Next, Last and Refresh (runs
// the statement again and returns to the same row number); CurrentRowChanged tells the view
// where to go, once the rows needed are there. A failure ends the rows, keeps those fetched
// and is announced by FetchError (not for a lost connection: the runner says that once).
class TFbResultModel : public QAbstractTableModel {
  Q_OBJECT

public:
  // True for a NULL cell (its display text is FbNullText()).
  static constexpr int NullRole = Qt::UserRole + 1;
  static constexpr std::size_t DefaultMemoryLimit = std::size_t(1) << 30;

  explicit TFbResultModel(TFbStatementRunner* runner, QObject* parent = nullptr);
  ~TFbResultModel() override; // cancels a sort or an export and waits for it

  TFbStatementRunner* Runner() const { return m_runner; }
  int BatchSize() const { return m_batchSize; }
  void SetBatchSize(int rows) { m_batchSize = qMax(1, rows); }
  std::size_t MemoryLimit() const { return m_memoryLimit; }
  void SetMemoryLimit(std::size_t bytes) { m_memoryLimit = bytes; }

  // Empties the grid and runs `sql` on a connection made with `settings`.
  void Execute(const TFbSettings& settings, const QString& sql);
  // Ends the result; the grid empties.
  void Close();
  // Stops what runs for the result: the statement, a fetch, a sort or an export.
  void Cancel();
  // Something runs for the result (Cancel would stop it).
  bool Busy() const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;
  // Sorts by a column in the background; rows still in the cursor are fetched first.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  int FetchedRows() const { return m_store->Rows(); }
  bool MoreRows() const;      // rows remain to be fetched
  QString StatusText() const; // "Running… 00:12", "250 rows fetched, more remain", "42 rows" ...
  QString LastError() const;
  std::size_t MemoryUsed() const { return m_store->MemoryUsed(); }
  int SortColumn() const { return m_sortColumn; }
  Qt::SortOrder SortOrder() const { return m_sortOrder; }

  // Values of a row as the grid shows it (in sorted order when sorted).
  bool IsNull(int row, int column) const;
  QString Text(int row, int column) const;
  QStringList ColumnNames() const { return m_names; }
  // The selected cells as tab-separated text: a header line with the columns that have a
  // selected cell, then one line per row that has one (cells not selected stay empty).
  QString TabSeparated(const QItemSelection& selection) const;
  // Writes the whole result, in the grid's order, to a CSV file; the rest is fetched first.
  // ExportFinished tells how it ended.
  void ExportCsv(const QString& path);

  int CurrentRow() const { return m_currentRow; } // -1 when there are no rows
  void SetCurrentRow(int row);                    // fetches up to it; clamped to the rows there are
  bool Bof() const { return m_currentRow <= 0; }
  bool Eof() const;
  void First();
  void Prior();
  void Next();
  void Last();
  void Refresh();
  // Fetches every remaining row in the background (within the memory limit).
  void FetchAll();
  // The user allowed the rows of this result past the memory limit: the fetch goes on.
  void AllowPastMemoryLimit();
  // The user stopped at the memory limit: what waited for the rows is dropped.
  void StopAtMemoryLimit();

signals:
  void CurrentRowChanged(int row);
  void FetchStatusChanged();
  void FetchError(const QString& message);
  void MemoryLimitReached(std::size_t bytesHeld);
  void SortFinished();
  // Empty error: written. Otherwise why not (or that it was cancelled).
  void ExportFinished(const QString& path, const QString& error, bool cancelled);

private:
  enum TAfterFetch { afNone, afSort, afExport };
  void RunnerOpened(const QStringList& names, const QList<int>& types);
  void RowsArrived(const std::shared_ptr<TFbRowStore>& rows);
  void RunnerStateChanged();
  void Reset();
  void MoveTo(int row);
  void PendingRowsArrived();
  void AllRowsThere();
  void StartSort();
  void StartExport();
  // Runs `work` on a thread of its own; `done` follows on this object's thread.
  void StartTask(std::function<void()> work, std::function<void()> done);
  void StopTask();
  int StoreRow(int row) const { return m_order.empty() ? row : m_order[std::size_t(row)]; }

  TFbStatementRunner* m_runner;
  std::shared_ptr<TFbRowStore> m_store;
  QStringList m_names;
  std::vector<int> m_types;
  std::vector<int> m_order; // grid row -> store row while sorted
  TFbSettings m_settings;
  int m_currentRow = -1;
  int m_pendingRow = -1; // wanted by navigation, not fetched yet
  int m_refreshRow = -1; // the row to return to after Refresh
  int m_batchSize = 256;
  std::size_t m_memoryLimit = DefaultMemoryLimit;
  bool m_pastLimitAllowed = false;
  bool m_fetchingAll = false; // the runner fetches everything (within the limit)
  TAfterFetch m_after = afNone;
  int m_sortColumn = -1;
  Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
  int m_wantedSortColumn = -1;
  Qt::SortOrder m_wantedSortOrder = Qt::AscendingOrder;
  QString m_exportPath;
  QString m_taskError;
  QThread* m_task = nullptr;
  QString m_taskText; // what the task is doing, for the status
  std::shared_ptr<std::atomic<bool>> m_taskCancel;
  std::shared_ptr<std::atomic<qint64>> m_taskProgress;
};
