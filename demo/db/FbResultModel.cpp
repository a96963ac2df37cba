#include "FbResultModel.h"

#include "FbError.h"
#include "FbQuery.h"

#include <climits>

TFbResultModel::TFbResultModel(TFbQuery* query, QObject* parent) : QAbstractTableModel(parent) {
  SetQuery(query);
}

TFbResultModel::~TFbResultModel() = default;

void TFbResultModel::SetQuery(TFbQuery* query) {
  if (query == m_query) return;
  if (m_query) disconnect(m_query, nullptr, this, nullptr);
  QueryClosing();
  m_query = query;
  if (!m_query) return;
  connect(m_query, &TFbQuery::AfterOpen, this, &TFbResultModel::QueryOpened);
  connect(m_query, &TFbQuery::BeforeClose, this, &TFbResultModel::QueryClosing);
  connect(m_query, &QObject::destroyed, this, [this] { QueryClosing(); });
  if (m_query->IsOpen()) QueryOpened();
}

void TFbResultModel::QueryOpened() {
  beginResetModel();
  m_store.Reset(m_query->FieldCount());
  m_names.clear();
  m_types.clear();
  for (int i = 0; i < m_query->FieldCount(); ++i) {
    m_names.append(m_query->FieldName(i));
    m_types.push_back(m_query->FieldType(i));
  }
  m_rowCount = 0;
  m_currentRow = -1;
  m_failed = false;
  m_lastError.clear();
  endResetModel();
  if (!FetchRows(m_batchSize)) emit FetchError(m_lastError);
  MoveTo(m_rowCount > 0 ? 0 : -1);
}

void TFbResultModel::QueryClosing() {
  beginResetModel();
  m_store.Reset(0);
  m_names.clear();
  m_types.clear();
  m_rowCount = 0;
  m_failed = false;
  m_lastError.clear();
  endResetModel();
  MoveTo(-1);
  emit FetchStatusChanged();
}

int TFbResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rowCount;
}

int TFbResultModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(m_names.size());
}

bool TFbResultModel::IsNull(int row, int column) const {
  if (row < 0 || row >= m_rowCount || column < 0 || column >= m_store.Columns()) return false;
  return m_store.IsNull(row, column);
}

QString TFbResultModel::Text(int row, int column) const {
  if (row < 0 || row >= m_rowCount || column < 0 || column >= m_store.Columns()) return QString();
  return m_store.Text(row, column);
}

QVariant TFbResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_rowCount || index.column() >= m_store.Columns())
    return QVariant();
  switch (role) {
  case Qt::DisplayRole:
  case Qt::ToolTipRole:
    return m_store.Text(index.row(), index.column());
  case NullRole:
    return m_store.IsNull(index.row(), index.column());
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
    if (role == Qt::DisplayRole && section >= 0 && section < m_rowCount) return section + 1;
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
  return m_query && m_query->IsOpen() && !m_query->Eof() && !m_failed;
}

bool TFbResultModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && MoreRows();
}

void TFbResultModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  if (!FetchRows(m_batchSize)) emit FetchError(m_lastError);
}

bool TFbResultModel::FetchRows(int count) {
  if (!MoreRows() || count <= 0) return true;
  bool ok = true;
  try {
    for (int i = 0; i < count && m_store.Rows() < INT_MAX && m_query->Next(); ++i)
      m_store.AppendRow(*m_query);
  } catch (const EKvError& error) {
    m_lastError = error.Message();
    m_failed = true; // nothing is retried: the rows end here
    ok = false;
  }
  if (m_store.Rows() > m_rowCount) {
    beginInsertRows(QModelIndex(), m_rowCount, m_store.Rows() - 1);
    m_rowCount = m_store.Rows();
    endInsertRows();
  }
  emit FetchStatusChanged();
  return ok;
}

void TFbResultModel::FetchOrRaise(int count) {
  if (!FetchRows(count)) throw EFbError(m_lastError);
}

QString TFbResultModel::StatusText() const {
  if (!m_query || !m_query->IsOpen()) return QString();
  const QString rows =
      m_rowCount == 1 ? QStringLiteral("1 row") : QStringLiteral("%L1 rows").arg(m_rowCount);
  if (MoreRows()) return QStringLiteral("%1 fetched, more remain").arg(rows);
  if (m_failed) return QStringLiteral("%1 fetched, then an error ended the rows").arg(rows);
  return rows;
}

void TFbResultModel::MoveTo(int row) {
  if (row == m_currentRow) return;
  m_currentRow = row;
  emit CurrentRowChanged(row);
}

void TFbResultModel::SetCurrentRow(int row) {
  if (row < 0) row = 0;
  while (row >= m_rowCount && MoreRows())
    FetchOrRaise(qMax(m_batchSize, row - m_rowCount + 1));
  MoveTo(m_rowCount == 0 ? -1 : qMin(row, m_rowCount - 1));
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
  FetchAll();
  MoveTo(m_rowCount - 1);
}

void TFbResultModel::FetchAll() {
  while (MoreRows())
    FetchOrRaise(qMax(m_batchSize, 4096));
}

void TFbResultModel::Refresh() {
  if (!m_query || !m_query->IsOpen()) return;
  const int row = m_currentRow;
  m_query->Close();
  m_query->Open();
  if (row > 0) SetCurrentRow(row);
}
