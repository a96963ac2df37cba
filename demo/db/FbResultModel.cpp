#include "FbResultModel.h"

#include "FbError.h"
#include "FbResultText.h"
#include "FbStatementRunner.h"

#include <QSaveFile>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <climits>
#include <limits>

namespace {

QString RowsText(qint64 rows) {
  return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%L1 rows").arg(rows);
}

// "00:12", "1:02:03".
QString ClockText(qint64 ms) {
  const qint64 s = ms / 1000;
  if (s >= 3600)
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1:%2")
      .arg(s / 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString FirstLine(const QString& text) {
  const qsizetype end = text.indexOf(QLatin1Char('\n'));
  return end < 0 ? text : text.left(end);
}

} // namespace

TFbResultModel::TFbResultModel(TFbStatementRunner* runner, QObject* parent)
    : QAbstractTableModel(parent), m_runner(runner), m_store(std::make_shared<TFbRowStore>()) {
  connect(m_runner, &TFbStatementRunner::Opened, this, &TFbResultModel::RunnerOpened);
  connect(m_runner, &TFbStatementRunner::RowsArrived, this, &TFbResultModel::RowsArrived);
  connect(m_runner, &TFbStatementRunner::StateChanged, this, &TFbResultModel::RunnerStateChanged);
}

TFbResultModel::~TFbResultModel() {
  StopTask();
}

// --- running ---

void TFbResultModel::Execute(const TFbSettings& settings, const QString& sql) {
  Reset();
  m_settings = settings;
  m_runner->Execute(settings, sql, m_batchSize);
}

void TFbResultModel::Close() {
  Reset();
  m_runner->Close();
  emit FetchStatusChanged();
}

void TFbResultModel::Reset() {
  StopTask();
  if (!m_exportPath.isEmpty()) {
    const QString path = m_exportPath;
    m_exportPath.clear();
    emit ExportFinished(path, QString(), true);
  }
  beginResetModel();
  // Giving a large result's memory back to the system takes a while (piece by piece, each a
  // round through the kernel): it is done off this thread.
  if (m_store.use_count() == 1 && m_store->MemoryUsed() > (std::size_t(1) << 20))
    QThreadPool::globalInstance()->start([old = m_store]() mutable { old.reset(); });
  m_store = std::make_shared<TFbRowStore>();
  m_names.clear();
  m_types.clear();
  m_order.clear();
  m_sortColumn = m_wantedSortColumn = -1;
  m_after = afNone;
  m_pendingRow = m_refreshRow = -1;
  m_pastLimitAllowed = m_fetchingAll = false;
  endResetModel();
  MoveTo(-1);
}

void TFbResultModel::Cancel() {
  m_runner->Cancel();
  if (m_taskCancel) *m_taskCancel = true;
}

bool TFbResultModel::Busy() const {
  return m_runner->Busy() || m_task;
}

void TFbResultModel::RunnerOpened(const QStringList& names, const QList<int>& types) {
  beginResetModel();
  m_store->Reset(int(names.size()));
  m_names = names;
  m_types.assign(types.begin(), types.end());
  endResetModel();
  emit FetchStatusChanged();
}

void TFbResultModel::RowsArrived(const std::shared_ptr<TFbRowStore>& rows) {
  if (rows->Rows() == 0) return;
  const int first = m_store->Rows();
  beginInsertRows(QModelIndex(), first, first + rows->Rows() - 1);
  m_store->Append(std::move(*rows));
  endInsertRows();
  if (m_currentRow < 0) MoveTo(m_refreshRow > 0 ? -1 : 0);
  PendingRowsArrived();
  emit FetchStatusChanged();
}

void TFbResultModel::PendingRowsArrived() {
  for (int* wanted : {&m_refreshRow, &m_pendingRow}) {
    if (*wanted >= 0 && *wanted < m_store->Rows()) {
      const int row = *wanted;
      *wanted = -1;
      MoveTo(row);
    }
  }
}

void TFbResultModel::RunnerStateChanged() {
  switch (m_runner->State()) {
  case TFbStatementRunner::rsOpen:
    if (m_fetchingAll) {
      // A fetch of everything stopped at the memory limit.
      m_fetchingAll = false;
      emit MemoryLimitReached(MemoryUsed());
    } else if (m_after != afNone || m_pendingRow == INT_MAX) {
      FetchAll(); // asked for while the first rows were still coming
    } else {
      const int wanted = std::max(m_pendingRow, m_refreshRow);
      if (wanted >= m_store->Rows())
        m_runner->Fetch(std::max(m_batchSize, wanted - m_store->Rows() + 1));
    }
    break;
  case TFbStatementRunner::rsDone:
    m_fetchingAll = false;
    AllRowsThere();
    break;
  case TFbStatementRunner::rsFailed:
  case TFbStatementRunner::rsCancelled: {
    m_fetchingAll = false;
    const bool exporting = m_after == afExport;
    m_after = afNone;
    if (m_pendingRow >= 0 || m_refreshRow >= 0) MoveTo(m_store->Rows() - 1);
    m_pendingRow = m_refreshRow = -1;
    if (exporting) {
      // Not written; a failure is told by FetchError.
      const QString path = m_exportPath;
      m_exportPath.clear();
      emit ExportFinished(path, QString(), true);
    }
    if (m_runner->State() == TFbStatementRunner::rsFailed && !m_runner->ConnectionWasLost())
      emit FetchError(m_runner->Error());
    break;
  }
  default:
    break;
  }
  emit FetchStatusChanged();
}

void TFbResultModel::AllRowsThere() {
  if (m_pendingRow >= 0 || m_refreshRow >= 0)
    MoveTo(std::min(std::max(m_pendingRow, m_refreshRow), m_store->Rows() - 1));
  m_pendingRow = m_refreshRow = -1;
  const TAfterFetch after = m_after;
  m_after = afNone;
  if (after == afSort) StartSort();
  if (after == afExport) StartExport();
}

void TFbResultModel::FetchAll() {
  if (!MoreRows()) {
    if (!m_runner->Busy()) AllRowsThere();
    return; // the first rows are still coming: their end brings the rest
  }
  const std::size_t used = MemoryUsed();
  if (!m_pastLimitAllowed && used >= m_memoryLimit) {
    emit MemoryLimitReached(used);
    return;
  }
  m_fetchingAll = true;
  m_runner->FetchAll(m_pastLimitAllowed ? std::numeric_limits<std::size_t>::max()
                                        : m_memoryLimit - used);
}

void TFbResultModel::AllowPastMemoryLimit() {
  m_pastLimitAllowed = true;
  FetchAll();
}

void TFbResultModel::StopAtMemoryLimit() {
  if (m_after == afExport) {
    const QString path = m_exportPath;
    m_exportPath.clear();
    emit ExportFinished(path, QString(), true);
  }
  m_after = afNone;
  if (m_pendingRow == INT_MAX) {
    m_pendingRow = -1;
    MoveTo(m_store->Rows() - 1);
  }
  emit FetchStatusChanged();
}

// --- the grid ---

int TFbResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_store->Rows();
}

int TFbResultModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_names.size());
}

bool TFbResultModel::IsNull(int row, int column) const {
  if (row < 0 || row >= m_store->Rows() || column < 0 || column >= m_store->Columns()) return false;
  return m_store->IsNull(StoreRow(row), column);
}

QString TFbResultModel::Text(int row, int column) const {
  if (row < 0 || row >= m_store->Rows() || column < 0 || column >= m_store->Columns())
    return QString();
  return m_store->Text(StoreRow(row), column);
}

QVariant TFbResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_store->Rows() || index.column() >= m_store->Columns())
    return QVariant();
  switch (role) {
  case Qt::DisplayRole:
  case Qt::ToolTipRole:
    return m_store->Text(StoreRow(index.row()), index.column());
  case NullRole:
    return m_store->IsNull(StoreRow(index.row()), index.column());
  case Qt::TextAlignmentRole: {
    const int type = m_types[std::size_t(index.column())];
    const bool number = type == ftSmallint || type == ftInteger || type == ftLargeint ||
                        type == ftBCD || type == ftFloat;
    return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  }
  default:
    return QVariant();
  }
}

QVariant TFbResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole && section >= 0 && section < m_store->Rows()) return section + 1;
    return QVariant();
  }
  if (section < 0 || section >= m_names.size()) return QVariant();
  if (role == Qt::DisplayRole) return m_names[section];
  if (role == Qt::ToolTipRole) {
    const QString type = KvFieldTypeName(m_types[std::size_t(section)]);
    return type.isEmpty() ? m_names[section]
                          : QStringLiteral("%1 (%2)").arg(m_names[section], type);
  }
  return QVariant();
}

Qt::ItemFlags TFbResultModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

bool TFbResultModel::MoreRows() const {
  return m_runner->MoreRows();
}

bool TFbResultModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && m_runner->State() == TFbStatementRunner::rsOpen;
}

void TFbResultModel::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) m_runner->Fetch(m_batchSize);
}

QString TFbResultModel::LastError() const {
  const auto state = m_runner->State();
  return state == TFbStatementRunner::rsFailed ? m_runner->Error() : QString();
}

QString TFbResultModel::StatusText() const {
  if (m_task) {
    const qint64 done = m_taskProgress ? m_taskProgress->load() : 0;
    return done > 0 ? QStringLiteral("%1 %L2 of %3")
                          .arg(m_taskText)
                          .arg(done)
                          .arg(RowsText(m_store->Rows()))
                    : m_taskText;
  }
  const qint64 rows = m_store->Rows();
  switch (m_runner->State()) {
  case TFbStatementRunner::rsIdle:
    return QString();
  case TFbStatementRunner::rsRunning:
    return QStringLiteral("Running\u2026 %1").arg(ClockText(m_runner->Elapsed()));
  case TFbStatementRunner::rsFetching:
    return QStringLiteral("Running\u2026 %1, %2 fetched")
        .arg(ClockText(m_runner->Elapsed()), RowsText(rows));
  case TFbStatementRunner::rsOpen:
    return QStringLiteral("%1 fetched, more remain").arg(RowsText(rows));
  case TFbStatementRunner::rsDone:
    return RowsText(rows);
  case TFbStatementRunner::rsFailed:
    return rows > 0 ? QStringLiteral("Failed after %1: %2")
                          .arg(RowsText(rows), FirstLine(m_runner->Error()))
                    : QStringLiteral("Failed: %1").arg(FirstLine(m_runner->Error()));
  case TFbStatementRunner::rsCancelled:
    return QStringLiteral("Cancelled after %1").arg(RowsText(rows));
  }
  return QString();
}

// --- navigation ---

void TFbResultModel::MoveTo(int row) {
  if (row == m_currentRow) return;
  m_currentRow = row;
  emit CurrentRowChanged(row);
}

bool TFbResultModel::Eof() const {
  return m_currentRow < 0 || (m_currentRow == m_store->Rows() - 1 && !MoreRows());
}

void TFbResultModel::SetCurrentRow(int row) {
  if (row < 0) row = 0;
  if (row < m_store->Rows()) {
    m_pendingRow = -1;
    MoveTo(row);
    return;
  }
  if (!MoreRows()) {
    MoveTo(m_store->Rows() - 1);
    return;
  }
  m_pendingRow = row;
  m_runner->Fetch(std::max(m_batchSize, row - m_store->Rows() + 1));
}

void TFbResultModel::First() {
  SetCurrentRow(0);
}

void TFbResultModel::Prior() {
  SetCurrentRow(m_currentRow - 1);
}

void TFbResultModel::Next() {
  SetCurrentRow(m_currentRow + 1);
}

void TFbResultModel::Last() {
  m_pendingRow = INT_MAX;
  FetchAll();
}

void TFbResultModel::Refresh() {
  if (m_runner->SQL().isEmpty()) return;
  const int row = m_currentRow;
  const QString sql = m_runner->SQL();
  Execute(m_settings, sql);
  if (row > 0) m_refreshRow = row;
}

// --- sorting, copying, exporting ---

void TFbResultModel::sort(int column, Qt::SortOrder order) {
  if (column < 0 || column >= m_names.size()) return;
  m_wantedSortColumn = column;
  m_wantedSortOrder = order;
  if (m_runner->Busy() || MoreRows()) {
    m_after = afSort;
    FetchAll();
    return;
  }
  StartSort();
}

void TFbResultModel::StartSort() {
  StopTask();
  const int column = m_wantedSortColumn;
  const Qt::SortOrder order = m_wantedSortOrder;
  if (column < 0 || column >= m_store->Columns()) return;
  const std::shared_ptr<const TFbRowStore> store = m_store;
  const int type = m_types[std::size_t(column)];
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  auto sorted = std::make_shared<std::vector<int>>();
  m_taskCancel = cancel;
  m_taskProgress.reset();
  m_taskText = QStringLiteral("Sorting by %1\u2026").arg(m_names[column]);
  StartTask(
      [=] {
        *sorted =
            FbResultText::SortedOrder(*store, column, type, order == Qt::DescendingOrder, *cancel);
      },
      [=, this] {
        if (*cancel || store != m_store) return;
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        std::vector<int> position(sorted->size());
        for (std::size_t i = 0; i < sorted->size(); ++i)
          position[std::size_t((*sorted)[i])] = int(i);
        const QModelIndexList before = persistentIndexList();
        QModelIndexList after;
        for (const QModelIndex& index : before)
          after.append(index.isValid() ? this->index(position[std::size_t(StoreRow(index.row()))],
                                                     index.column())
                                       : index);
        const int current = m_currentRow >= 0 ? position[std::size_t(StoreRow(m_currentRow))] : -1;
        m_order = std::move(*sorted);
        changePersistentIndexList(before, after);
        m_sortColumn = column;
        m_sortOrder = order;
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        m_currentRow = -2; // the same row stands elsewhere now
        MoveTo(current);
        emit SortFinished();
      });
}

QString TFbResultModel::TabSeparated(const QItemSelection& selection) const {
  std::vector<char> rows(std::size_t(m_store->Rows()), 0), columns(m_names.size(), 0);
  bool any = false;
  for (const QItemSelectionRange& range : selection) {
    if (!range.isValid() || range.model() != this) continue;
    for (int r = range.top(); r <= range.bottom(); ++r)
      rows[std::size_t(r)] = 1;
    for (int c = range.left(); c <= range.right(); ++c)
      columns[std::size_t(c)] = 1;
    any = true;
  }
  if (!any) return QString();
  QString text;
  QStringList line;
  for (int c = 0; c < int(columns.size()); ++c)
    if (columns[std::size_t(c)]) line.append(FbResultText::TabField(m_names[c]));
  text += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
  const bool whole = selection.size() == 1; // one rectangle: every cell in it is selected
  for (int r = 0; r < int(rows.size()); ++r) {
    if (!rows[std::size_t(r)]) continue;
    line.clear();
    for (int c = 0; c < int(columns.size()); ++c) {
      if (!columns[std::size_t(c)]) continue;
      const bool selected = whole || selection.contains(index(r, c));
      const int row = StoreRow(r);
      line.append(!selected || m_store->IsNull(row, c)
                      ? QString()
                      : FbResultText::TabField(m_store->View(row, c)));
    }
    text += line.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return text;
}

void TFbResultModel::ExportCsv(const QString& path) {
  m_exportPath = path;
  if (m_runner->Busy() || MoreRows()) {
    m_after = afExport;
    FetchAll();
    return;
  }
  StartExport();
}

void TFbResultModel::StartExport() {
  StopTask();
  const QString path = m_exportPath;
  if (path.isEmpty()) return;
  const std::shared_ptr<const TFbRowStore> store = m_store;
  const QStringList names = m_names;
  const std::vector<int> order = m_order;
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  auto progress = std::make_shared<std::atomic<qint64>>(0);
  auto error = std::make_shared<QString>();
  m_taskCancel = cancel;
  m_taskProgress = progress;
  m_taskText = QStringLiteral("Writing %1:").arg(path);
  StartTask(
      [=] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
          *error = QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString());
          return;
        }
        try {
          // Nothing is left behind by a cancelled or failed export: the file is replaced only
          // when complete.
          if (!FbResultText::WriteCsv(file, *store, names, order, *cancel, *progress))
            file.cancelWriting();
          else if (!file.commit())
            *error = QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString());
        } catch (const EKvError& failure) {
          file.cancelWriting();
          *error = failure.Message();
        }
      },
      [=, this] {
        m_exportPath.clear();
        emit ExportFinished(path, *error, cancel->load() && error->isEmpty());
      });
}

void TFbResultModel::StartTask(std::function<void()> work, std::function<void()> done) {
  QThread* task = QThread::create(std::move(work));
  m_task = task;
  connect(task, &QThread::finished, this, [this, task, done = std::move(done)] {
    task->deleteLater();
    if (m_task != task) return; // stopped and forgotten
    m_task = nullptr;
    m_taskText.clear();
    done();
    emit FetchStatusChanged();
  });
  task->start(QThread::LowPriority);
  emit FetchStatusChanged();
}

void TFbResultModel::StopTask() {
  if (!m_task) return;
  if (m_taskCancel) *m_taskCancel = true;
  m_task->wait();
  m_task = nullptr;
  m_taskText.clear();
}
