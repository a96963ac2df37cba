#include "ResultPage.h"

#include "DemoDialogs.h"
#include "DemoResource.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "KvBitmaps.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

using namespace DemoResource;

namespace {

QIcon Icon(const QString& name) {
  QIcon icon;
  icon.addPixmap(KvBitmap(name, 1.0));
  icon.addPixmap(KvBitmap(name, 2.0));
  return icon;
}

// NULL cells read as such: grey and italic, unlike a text that happens to spell "<null>".
class TNullDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(TFbResultModel::NullRole).toBool()) {
      option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
      option->font.setItalic(true);
    }
  }
};

QString RowsText(qint64 rows) {
  return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%L1 rows").arg(rows);
}

} // namespace

TResultPage::TResultPage(QWidget* parent)
    : QWidget(parent), m_runner(new TFbStatementRunner(this)),
      m_model(new TFbResultModel(m_runner, this)), m_clock(new QTimer(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  DBNavigator = new QToolBar;
  DBNavigator->setObjectName(QStringLiteral("DBNavigator"));
  DBNavigator->setIconSize(QSize(16, 16));
  auto nav = [this](const QString& icon, const QString& hint, void (TFbResultModel::*step)()) {
    QAction* action = DBNavigator->addAction(Icon(icon), hint);
    connect(action, &QAction::triggered, m_model, [model = m_model, step] { (model->*step)(); });
    return action;
  };
  nbFirst = nav(QStringLiteral("NAV_FIRST"), SNavFirst, &TFbResultModel::First);
  nbPrior = nav(QStringLiteral("NAV_PRIOR"), SNavPrior, &TFbResultModel::Prior);
  nbNext = nav(QStringLiteral("NAV_NEXT"), SNavNext, &TFbResultModel::Next);
  nbLast = nav(QStringLiteral("NAV_LAST"), SNavLast, &TFbResultModel::Last);
  nbRefresh = nav(QStringLiteral("NAV_REFRESH"), SNavRefresh, &TFbResultModel::Refresh);
  DBNavigator->addSeparator();
  nbCancel = DBNavigator->addAction(SNavCancel, this, &TResultPage::Cancel);
  nbCancel->setToolTip(SNavCancelHint);
  nbExport = DBNavigator->addAction(SNavExport, this, &TResultPage::Export);
  nbExport->setToolTip(SNavExportHint);
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  DBNavigator->addWidget(spacer);
  pbBusy = new QProgressBar;
  pbBusy->setRange(0, 0);
  pbBusy->setTextVisible(false);
  pbBusy->setMaximumSize(80, 14);
  pbBusy->setVisible(false);
  // The toolbar shows and hides the widget through its action.
  QAction* busyAction = DBNavigator->addWidget(pbBusy);
  busyAction->setVisible(false);
  laRows = new QLabel;
  laRows->setObjectName(QStringLiteral("laRows"));
  laRows->setContentsMargins(8, 0, 8, 0);
  laRows->setTextInteractionFlags(Qt::TextSelectableByMouse);
  DBNavigator->addWidget(laRows);
  layout->addWidget(DBNavigator);
  laError = new QLabel;
  laError->setObjectName(QStringLiteral("laError"));
  laError->setWordWrap(true);
  laError->setTextInteractionFlags(Qt::TextSelectableByMouse);
  laError->setContentsMargins(8, 6, 8, 6);
  laError->setStyleSheet(QStringLiteral("color: #b00020;"));
  laError->setVisible(false);
  layout->addWidget(laError);

  DBGrid = new QTableView;
  DBGrid->setObjectName(QStringLiteral("DBGrid"));
  DBGrid->setModel(m_model);
  DBGrid->setItemDelegate(new TNullDelegate(DBGrid));
  DBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DBGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
  DBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
  DBGrid->setAlternatingRowColors(true);
  DBGrid->setWordWrap(false);
  DBGrid->verticalHeader()->setDefaultSectionSize(DBGrid->fontMetrics().height() + 6);
  DBGrid->horizontalHeader()->setHighlightSections(false);
  DBGrid->horizontalHeader()->setSectionsClickable(true);
  DBGrid->horizontalHeader()->setSortIndicatorShown(false);
  connect(DBGrid->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &TResultPage::SortByColumn);
  acCopy = new QAction(SCopy, DBGrid);
  acCopy->setShortcut(QKeySequence::Copy);
  acCopy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(acCopy, &QAction::triggered, this, &TResultPage::CopySelection);
  DBGrid->addAction(acCopy);
  DBGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(DBGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu;
    menu.addAction(acCopy);
    menu.addAction(nbExport);
    menu.exec(DBGrid->viewport()->mapToGlobal(at));
  });
  layout->addWidget(DBGrid);

  connect(m_model, &TFbResultModel::FetchStatusChanged, this, &TResultPage::UpdateStatus);
  connect(m_model, &TFbResultModel::FetchStatusChanged, this, &TResultPage::FetchIfAtEnd,
          Qt::QueuedConnection);
  connect(m_model, &TFbResultModel::CurrentRowChanged, this, &TResultPage::RowChanged);
  connect(DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) m_model->SetCurrentRow(current.row());
            UpdateStatus();
          });
  connect(m_model, &TFbResultModel::SortFinished, this, [this] {
    DBGrid->horizontalHeader()->setSortIndicatorShown(true);
    DBGrid->horizontalHeader()->setSortIndicator(m_model->SortColumn(), m_model->SortOrder());
  });
  // Questions and errors wait until the grid is done with what it is doing.
  connect(m_model, &TFbResultModel::MemoryLimitReached, this, &TResultPage::AskPastMemoryLimit,
          Qt::QueuedConnection);
  connect(m_model, &TFbResultModel::ExportFinished, this, &TResultPage::ExportFinished,
          Qt::QueuedConnection);
  connect(
      m_model, &TFbResultModel::FetchError, this,
      [this](const QString& message) { ShowErrorBox(this, message); }, Qt::QueuedConnection);
  // The running clock.
  m_clock->setInterval(250);
  connect(m_clock, &QTimer::timeout, this, &TResultPage::UpdateStatus);
  connect(m_runner, &TFbStatementRunner::StateChanged, this, [this, busyAction] {
    busyAction->setVisible(Busy());
    if (!m_runner->Busy() && m_fitPending) {
      m_fitPending = false;
      FitColumns();
    }
  });
  UpdateStatus();
}

TResultPage::~TResultPage() {
  DBGrid->setModel(nullptr);
}

void TResultPage::Execute(const TFbSettings& settings, const QString& sql) {
  DBGrid->horizontalHeader()->setSortIndicatorShown(false);
  m_fitPending = true;
  m_model->Execute(settings, sql);
  UpdateStatus();
}

void TResultPage::Close() {
  m_fitPending = false;
  DBGrid->horizontalHeader()->setSortIndicatorShown(false);
  m_model->Close();
}

void TResultPage::Disconnect() {
  Close();
  m_runner->Disconnect();
}

void TResultPage::Cancel() {
  m_model->Cancel();
}

bool TResultPage::Busy() const {
  return m_model->Busy();
}

void TResultPage::UpdateStatus() {
  const QString status = m_model->StatusText();
  laRows->setText(status);
  // A failure reads as one, with all the server said.
  const bool failed = m_runner->State() == TFbStatementRunner::rsFailed;
  laRows->setStyleSheet(failed ? QStringLiteral("color: #b00020;") : QString());
  laError->setText(failed ? m_runner->Error() : QString());
  laError->setVisible(failed);
  const bool busy = Busy();
  const bool rows = m_model->columnCount() > 0;
  nbFirst->setEnabled(rows && !m_model->Bof());
  nbPrior->setEnabled(rows && !m_model->Bof());
  nbNext->setEnabled(rows && !m_model->Eof());
  nbLast->setEnabled(rows && !m_model->Eof());
  nbRefresh->setEnabled(!m_runner->SQL().isEmpty());
  nbCancel->setEnabled(busy);
  nbExport->setEnabled(rows);
  pbBusy->setVisible(busy);
  if (busy && !m_clock->isActive()) m_clock->start();
  if (!busy) m_clock->stop();
}

void TResultPage::RowChanged(int row) {
  if (row >= 0) {
    const int column = std::max(0, DBGrid->currentIndex().column());
    const QModelIndex index = m_model->index(row, column);
    if (DBGrid->currentIndex() != index)
      DBGrid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    DBGrid->scrollTo(index);
  }
  UpdateStatus();
}

void TResultPage::FitColumns() {
  // Columns as wide as what the first rows show, with some air, none wider than half the grid.
  DBGrid->resizeColumnsToContents();
  const int widest = std::max(120, DBGrid->viewport()->width() / 2);
  for (int i = 0; i < m_model->columnCount(); ++i)
    DBGrid->setColumnWidth(i, std::min(widest, DBGrid->columnWidth(i) + 12));
}

void TResultPage::FetchIfAtEnd() {
  // The grid asks for more rows only as it scrolls; rows that came in meanwhile may have left
  // its end in view with nothing asked.
  if (!m_model->canFetchMore(QModelIndex())) return;
  const int last = m_model->rowCount() - 1;
  if (last < 0 ||
      DBGrid->viewport()->rect().intersects(DBGrid->visualRect(m_model->index(last, 0))))
    m_model->fetchMore(QModelIndex());
}

void TResultPage::CopySelection() {
  const QString text = m_model->TabSeparated(DBGrid->selectionModel()->selection());
  if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TResultPage::SortByColumn(int column) {
  if (column < 0 || column >= m_model->columnCount()) return;
  const Qt::SortOrder order =
      m_model->SortColumn() == column && m_model->SortOrder() == Qt::AscendingOrder
          ? Qt::DescendingOrder
          : Qt::AscendingOrder;
  if (m_model->MoreRows() &&
      !AskYesNo(this, SConfirmation,
                SSortFetchQuestion.arg(RowsText(m_model->FetchedRows()),
                                       m_model->ColumnNames().value(column))))
    return;
  m_model->sort(column, order);
  UpdateStatus();
}

void TResultPage::Export() {
  if (m_model->columnCount() == 0) return;
  const auto state = m_runner->State();
  if ((state == TFbStatementRunner::rsFailed || state == TFbStatementRunner::rsCancelled) &&
      !AskYesNo(
          this, SConfirmation,
          SIncompleteExportQuestion.arg(m_model->StatusText(), RowsText(m_model->FetchedRows()))))
    return;
  QFileDialog dlgExport(this, SExportTitle);
  dlgExport.setAcceptMode(QFileDialog::AcceptSave);
  dlgExport.setFileMode(QFileDialog::AnyFile);
  dlgExport.setDefaultSuffix(SCsvSuffix);
  dlgExport.setNameFilter(SCsvFilter);
  if (RunModal(&dlgExport) != QDialog::Accepted || dlgExport.selectedFiles().isEmpty()) return;
  m_model->ExportCsv(dlgExport.selectedFiles().first());
  UpdateStatus();
}

void TResultPage::AskPastMemoryLimit(std::size_t bytes) {
  const bool more = AskYesNo(
      this, SConfirmation, SMemoryLimitQuestion.arg(bytes >> 20).arg(m_model->MemoryLimit() >> 20));
  if (more)
    m_model->AllowPastMemoryLimit();
  else
    m_model->StopAtMemoryLimit();
}

void TResultPage::ExportFinished(const QString& path, const QString& error, bool cancelled) {
  if (cancelled)
    emit Message(SExportCancelled.arg(path));
  else if (!error.isEmpty())
    ShowErrorBox(this, error);
  else
    emit Message(SExported.arg(RowsText(m_model->FetchedRows()), path));
  UpdateStatus();
}
