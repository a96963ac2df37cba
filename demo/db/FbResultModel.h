#pragma once

#include "FbRowStore.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>

class TFbQuery;

// Read-only grid model over a TFbQuery. It follows the query: opening shows the columns and
// the first batch of rows, closing empties it. Further rows are fetched as the view scrolls
// (canFetchMore/fetchMore, BatchSize rows at a time) and kept as display text, so a huge result
// shows at once and memory grows only with what was fetched.
//
// Navigation for a grid's navigator: CurrentRow with First, Prior, Next, Last (fetches the
// rest) and Refresh (runs the statement again and returns to the same row number);
// CurrentRowChanged tells the view where to go. The view's own fetches cannot raise: a fetch
// error ends the rows, is kept in LastError and announced by FetchError; the navigator
// operations raise EFbError instead.
class TFbResultModel : public QAbstractTableModel {
  Q_OBJECT

public:
  // True for a NULL cell (its display text is FbNullText()).
  static constexpr int NullRole = Qt::UserRole + 1;

  explicit TFbResultModel(TFbQuery* query = nullptr, QObject* parent = nullptr);
  ~TFbResultModel() override;

  TFbQuery* Query() const { return m_query; }
  void SetQuery(TFbQuery* query);
  int BatchSize() const { return m_batchSize; }
  void SetBatchSize(int rows) { m_batchSize = qMax(1, rows); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  int FetchedRows() const { return m_rowCount; }
  bool MoreRows() const;      // rows remain to be fetched
  QString StatusText() const; // "250 rows fetched, more remain" / "42 rows"
  QString LastError() const { return m_lastError; }
  std::size_t MemoryUsed() const { return m_store.MemoryUsed(); }

  bool IsNull(int row, int column) const;
  QString Text(int row, int column) const;

  int CurrentRow() const { return m_currentRow; } // -1 when there are no rows
  void SetCurrentRow(int row);                    // fetches up to it; clamped to the rows there are
  bool Bof() const { return m_currentRow <= 0; }
  bool Eof() const { return m_currentRow < 0 || (m_currentRow == m_rowCount - 1 && !MoreRows()); }
  void First();
  void Prior();
  void Next();
  void Last();
  void Refresh();
  void FetchAll();

signals:
  void CurrentRowChanged(int row);
  void FetchStatusChanged();
  void FetchError(const QString& message);

private:
  void QueryOpened();
  void QueryClosing();
  // Fetches up to `count` rows; returns false (error kept in m_lastError) when one failed.
  bool FetchRows(int count);
  void FetchOrRaise(int count);
  void MoveTo(int row);

  QPointer<TFbQuery> m_query;
  TFbRowStore m_store;
  QStringList m_names;
  std::vector<int> m_types;
  int m_rowCount = 0;
  int m_currentRow = -1;
  int m_batchSize = 256;
  bool m_failed = false;
  QString m_lastError;
};
