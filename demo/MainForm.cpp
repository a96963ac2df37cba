#include "MainForm.h"

#include "AboutForm.h"
#include "ConnectForm.h"
#include "DemoDialogs.h"
#include "DemoResource.h"
#include "FbDatabase.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "KvBitmaps.h"
#include "KvFloatPanel.h"
#include "KvParserError.h"
#include "PageControl.h"
#include "SqlHighlighter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace DemoResource;

namespace {

// The hourglass for as long as the scope lasts, also when it is left by an error.
struct TWaitCursor {
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

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

// Text for the SQL page: the designer writes CR LF, the editor works with LF.
QString ToMemoText(const QString& text) {
  QString s = text;
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

} // namespace

TfmMain::TfmMain(QWidget* parent)
    : QMainWindow(parent), m_database(std::make_unique<TFbDatabase>()),
      m_query(std::make_unique<TFbQuery>(m_database.get())),
      m_fieldsQuery(std::make_unique<TFbQuery>(m_database.get())) {
  setObjectName(QStringLiteral("fmMain"));
  setWindowTitle(SAppTitle);
  setWindowIcon(Icon(QStringLiteral("MAINICON")));

  m_database->SetParams(SInitialParams);
  m_database->SetSQLDialect(3);
  m_database->AfterConnect = [this](TFbDatabase* sender) { DatabaseAfterConnect(sender); };
  m_database->AfterDisconnect = [this](TFbDatabase* sender) { DatabaseAfterDisconnect(sender); };

  CreateActions();
  CreateMenus();

  // Left: the tables.
  paTables = new QWidget;
  auto* tablesLayout = new QVBoxLayout(paTables);
  tablesLayout->setContentsMargins(0, 0, 0, 0);
  lvTables = new QTreeWidget;
  lvTables->setObjectName(QStringLiteral("lvTables"));
  lvTables->setHeaderLabels({STablesColumn});
  lvTables->setRootIsDecorated(false);
  lvTables->setUniformRowHeights(true);
  lvTables->setSelectionMode(QAbstractItemView::SingleSelection);
  lvTables->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvTables->setDragEnabled(true);
  lvTables->setDragDropMode(QAbstractItemView::DragOnly);
  lvTables->setIconSize(QSize(16, 16));
  lvTables->installEventFilter(this);
  connect(lvTables, &QTreeWidget::itemDoubleClicked, this,
          [this] { Guarded([this] { lvTablesDblClick(); }); });
  tablesLayout->addWidget(lvTables);

  // Right: the pages.
  Pages = new TPageControl;
  Pages->setObjectName(QStringLiteral("Pages"));
  Pages->setDocumentMode(true);
  tsBuilder = new QWidget;
  auto* builderLayout = new QVBoxLayout(tsBuilder);
  builderLayout->setContentsMargins(0, 0, 0, 0);
  Kvarta = new TInterBaseKvarta;
  Kvarta->setObjectName(QStringLiteral("Kvarta"));
  builderLayout->addWidget(Kvarta);
  Kvarta->OnDragOver = [this](QObject* sender, QObject* source, const QMimeData* data, int x, int y,
                              TDragState state, bool& accept) {
    KvartaDragOver(sender, source, data, x, y, state, accept);
  };
  // A drop runs inside the toolkit's drag loop: its errors are shown here, not raised through it.
  Kvarta->OnDragDrop = [this](QObject* sender, QObject* source, const QMimeData* data, int x,
                              int y) {
    Guarded([&] { KvartaDragDrop(sender, source, data, x, y); });
  };
  Kvarta->OnGetTableFields = [this](const QString& name, const TKvDataSet*& dataSet,
                                    QStringList& params) {
    KvartaGetTableFields(name, dataSet, params);
  };
  Kvarta->OnParserError = [this](TKvSelectParser* sender, const QString& errorMsg,
                                 const QString& token, int lineNo, int linePos) {
    KvartaParserError(sender, errorMsg, token, lineNo, linePos);
  };

  tsSQL = new QWidget;
  auto* sqlLayout = new QVBoxLayout(tsSQL);
  sqlLayout->setContentsMargins(0, 0, 0, 0);
  mmSQL = new QPlainTextEdit;
  mmSQL->setObjectName(QStringLiteral("mmSQL"));
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(10);
  mmSQL->setFont(mono);
  mmSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmSQL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmSQL->setTabStopDistance(QFontMetricsF(mono).horizontalAdvance(QLatin1Char(' ')) * 2);
  sqlLayout->addWidget(mmSQL);
  Highlighter = new TSqlHighlighter(mmSQL->document());
  Highlighter->SetWords(Kvarta->Keywords(), Kvarta->Functions());

  tsResult = CreateResultPage();

  Pages->addTab(tsBuilder, SPageBuilder);
  Pages->addTab(tsSQL, SPageSQL);
  Pages->addTab(tsResult, SPageResult);
  Pages->setCurrentIndex(pgBuilder);
  Pages->OnChanging = [this](int newIndex, bool& allow) {
    try {
      PagesChanging(newIndex, allow);
    } catch (...) {
      ReportError();
      allow = false;
    }
    if (allow) return;
    // The statement that did not read is shown where it can be mended.
    if (ActivePage() == pgResult && mmSQL->document()->isModified()) Pages->setCurrentIndex(pgSQL);
    if (ActivePage() == pgSQL) mmSQL->setFocus();
  };

  Splitter = new QSplitter(Qt::Horizontal);
  Splitter->setObjectName(QStringLiteral("Splitter"));
  Splitter->setHandleWidth(3);
  Splitter->setChildrenCollapsible(false);
  Splitter->addWidget(paTables);
  Splitter->addWidget(Pages);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  setCentralWidget(Splitter);
  statusBar(); // kept empty, as a resize grip

  // FormCreate.
  Pages->setTabVisible(pgResult, false);
  resize(1000, 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    resize(size().boundedTo(area.size() * 0.95));
    move(area.center() - rect().center());
  }
  Splitter->setSizes({185, width() - 185 - Splitter->handleWidth()});
  UpdateCaption();
  UpdateActions();
  m_loading = false;
}

TfmMain::~TfmMain() {
  // The component's handlers reach this window, which is going.
  Kvarta->OnDragOver = nullptr;
  Kvarta->OnDragDrop = nullptr;
  Kvarta->OnGetTableFields = nullptr;
  Kvarta->OnParserError = nullptr;
  m_database->AfterConnect = nullptr;
  m_database->AfterDisconnect = nullptr;
  DBGrid->setModel(nullptr);
  delete m_dataSource;
  m_dataSource = nullptr;
  m_fieldsQuery.reset();
  m_query.reset();
  m_database.reset();
}

void TfmMain::CreateActions() {
  auto make = [this](const QString& text, const QString& icon, const QString& hint,
                     void (TfmMain::*handler)()) {
    auto* action = new QAction(text, this);
    action->setIconText(text); // as written, with its "..."
    if (!icon.isEmpty()) action->setIcon(Icon(icon));
    if (!hint.isEmpty()) action->setToolTip(hint);
    connect(action, &QAction::triggered, this,
            [this, handler] { Guarded([=, this] { (this->*handler)(); }); });
    return action;
  };
  const QString connectIcon = QStringLiteral("MENU_CONNECT");
  const QString disconnectIcon = QStringLiteral("MENU_DISCONNECT");
  const QString loadIcon = QStringLiteral("MENU_LOAD");
  const QString saveIcon = QStringLiteral("MENU_SAVE");
  const QString executeIcon = QStringLiteral("MENU_EXECUTE");
  const QString clearIcon = QStringLiteral("MENU_CLEAR");

  tbConnect = make(STbConnect, connectIcon, STbConnectHint, &TfmMain::tbConnectClick);
  tbDisconnect =
      make(STbDisconnect, disconnectIcon, STbDisconnectHint, &TfmMain::tbDisconnectClick);
  tbLoad = make(STbLoad, loadIcon, STbLoadHint, &TfmMain::tbLoadClick);
  tbSave = make(STbSave, saveIcon, STbSaveHint, &TfmMain::tbSaveClick);
  tbExecute = make(STbExecute, executeIcon, STbExecuteHint, &TfmMain::tbExecuteClick);
  tbClear = make(STbClear, clearIcon, STbClearHint, &TfmMain::tbClearClick);

  miConnect = make(SMiConnect, connectIcon, QString(), &TfmMain::tbConnectClick);
  miDisconnect = make(SMiDisconnect, disconnectIcon, QString(), &TfmMain::tbDisconnectClick);
  miLoad = make(SMiLoad, loadIcon, QString(), &TfmMain::tbLoadClick);
  miLoad->setShortcut(Qt::Key_F3);
  miSave = make(SMiSave, saveIcon, QString(), &TfmMain::miSaveClick);
  miSave->setShortcut(Qt::Key_F2);
  miSaveAs = make(SMiSaveAs, QString(), QString(), &TfmMain::tbSaveClick);
  miSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F2));
  miExit = make(SMiExit, QString(), QString(), &TfmMain::miExitClick);
  miExit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
  miExecute = make(SMiExecute, executeIcon, QString(), &TfmMain::tbExecuteClick);
  miExecute->setShortcut(Qt::Key_F9);
  miClear = make(SMiClear, clearIcon, QString(), &TfmMain::tbClearClick);
  miKvOptions = new QAction(SMiKvOptions, this);
  miKvOptions->setEnabled(false); // the options dialog comes later
  miShowSystemTables =
      make(SMiShowSystemTables, QString(), QString(), &TfmMain::miShowSystemTablesClick);
  miShowSystemTables->setCheckable(true);
  miShowSystemTables->setChecked(false);
  miAbout = make(SMiAbout, QString(), QString(), &TfmMain::miAboutClick);
  miAbout->setShortcut(Qt::Key_F1);
  for (QAction* action : {miLoad, miSave, miSaveAs, miExit, miExecute, miAbout})
    action->setShortcutContext(Qt::WindowShortcut);

  ToolBar = new QToolBar;
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setMovable(false);
  ToolBar->setFloatable(false);
  ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  ToolBar->setIconSize(QSize(16, 16));
  ToolBar->addAction(tbConnect);
  ToolBar->addAction(tbDisconnect);
  ToolBar->addSeparator();
  ToolBar->addAction(tbLoad);
  ToolBar->addAction(tbSave);
  ToolBar->addSeparator();
  ToolBar->addAction(tbExecute);
  ToolBar->addAction(tbClear);
  addToolBar(Qt::TopToolBarArea, ToolBar);
  // The tool bar stays: its menu entry would only hide it for good.
  ToolBar->toggleViewAction()->setEnabled(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void TfmMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu(SMenuFile);
  file->addAction(miConnect);
  file->addAction(miDisconnect);
  file->addSeparator();
  file->addAction(miLoad);
  file->addAction(miSave);
  file->addAction(miSaveAs);
  file->addSeparator();
  file->addAction(miExit);
  QMenu* query = menuBar()->addMenu(SMenuQuery);
  query->addAction(miExecute);
  query->addSeparator();
  query->addAction(miClear);
  QMenu* view = menuBar()->addMenu(SMenuView);
  view->addAction(miKvOptions);
  view->addSeparator();
  view->addAction(miShowSystemTables);
  QMenu* help = menuBar()->addMenu(SMenuHelp);
  help->addAction(miAbout);
}

QWidget* TfmMain::CreateResultPage() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  DBNavigator = new QToolBar;
  DBNavigator->setObjectName(QStringLiteral("DBNavigator"));
  DBNavigator->setIconSize(QSize(16, 16));
  auto nav = [this](const QString& icon, const QString& hint, void (TFbResultModel::*step)()) {
    QAction* action = DBNavigator->addAction(Icon(icon), hint);
    connect(action, &QAction::triggered, this,
            [this, step] { Guarded([=, this] { (m_dataSource->*step)(); }); });
    return action;
  };
  nbFirst = nav(QStringLiteral("NAV_FIRST"), SNavFirst, &TFbResultModel::First);
  nbPrior = nav(QStringLiteral("NAV_PRIOR"), SNavPrior, &TFbResultModel::Prior);
  nbNext = nav(QStringLiteral("NAV_NEXT"), SNavNext, &TFbResultModel::Next);
  nbLast = nav(QStringLiteral("NAV_LAST"), SNavLast, &TFbResultModel::Last);
  nbRefresh = nav(QStringLiteral("NAV_REFRESH"), SNavRefresh, &TFbResultModel::Refresh);
  auto* spacer = new QWidget;
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  DBNavigator->addWidget(spacer);
  laRows = new QLabel;
  laRows->setObjectName(QStringLiteral("laRows"));
  laRows->setContentsMargins(8, 0, 8, 0);
  DBNavigator->addWidget(laRows);
  layout->addWidget(DBNavigator);

  m_dataSource = new TFbResultModel(m_query.get(), this);
  DBGrid = new QTableView;
  DBGrid->setObjectName(QStringLiteral("DBGrid"));
  DBGrid->setModel(m_dataSource);
  DBGrid->setItemDelegate(new TNullDelegate(DBGrid));
  DBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  DBGrid->setSelectionMode(QAbstractItemView::SingleSelection);
  DBGrid->setAlternatingRowColors(true);
  DBGrid->setWordWrap(false);
  DBGrid->verticalHeader()->setDefaultSectionSize(DBGrid->fontMetrics().height() + 6);
  DBGrid->horizontalHeader()->setHighlightSections(false);
  layout->addWidget(DBGrid);

  connect(m_dataSource, &TFbResultModel::FetchStatusChanged, this, &TfmMain::UpdateResultStatus);
  connect(m_dataSource, &TFbResultModel::CurrentRowChanged, this, &TfmMain::ResultRowChanged);
  connect(DBGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) m_dataSource->SetCurrentRow(current.row());
            UpdateResultStatus();
          });
  // Raised while the grid fetches as it scrolls: shown once the grid is done.
  connect(
      m_dataSource, &TFbResultModel::FetchError, this,
      [this](const QString& message) { ShowErrorBox(this, message); }, Qt::QueuedConnection);
  UpdateResultStatus();
  return page;
}

TfmMain::TPage TfmMain::ActivePage() const {
  return TPage(Pages->currentIndex());
}

// --- routines ---

void TfmMain::UpdateCaption() {
  const QString dialect =
      m_database->Connected() ? SDialectFormat.arg(m_database->SQLDialect()) : QString();
  setWindowTitle(SCaptionFormat.arg(m_database->DatabaseName(), dialect));
}

void TfmMain::FillTableList(bool systemTables) {
  if (!m_database->Connected()) return;
  QStringList names;
  m_database->GetTableNames(names, systemTables);
  names.sort();
  const QIcon icon(KvTransparentBitmap(QStringLiteral("TABLEBMP")));
  lvTables->setUpdatesEnabled(false);
  lvTables->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(names.size());
  for (const QString& name : names) {
    auto* item = new QTreeWidgetItem({name});
    item->setIcon(0, icon);
    items.append(item);
  }
  lvTables->addTopLevelItems(items);
  lvTables->setUpdatesEnabled(true);
}

void TfmMain::SelectInMemo(int line, int column, int length) {
  QTextDocument* doc = mmSQL->document();
  QTextBlock block = doc->findBlockByNumber(std::max(0, line - 1));
  if (!block.isValid()) block = doc->lastBlock();
  const int start =
      block.position() + std::clamp(column - 1, 0, std::max(0, int(block.length()) - 1));
  const int end = std::min(start + std::max(0, length), doc->characterCount() - 1);
  QTextCursor cursor(doc);
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  mmSQL->setTextCursor(cursor);
  mmSQL->ensureCursorVisible();
}

void TfmMain::SetMemoFromDesigner() {
  mmSQL->setPlainText(ToMemoText(Kvarta->SQL()));
  mmSQL->document()->setModified(false);
  mmSQL->moveCursor(QTextCursor::Start);
}

bool TfmMain::ApplyMemo() {
  Kvarta->SetSQL(mmSQL->toPlainText());
  const bool valid = Kvarta->SelectParser()->Valid();
  mmSQL->document()->setModified(!valid);
  return valid;
}

bool TfmMain::Guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (...) {
    ReportError();
    return false;
  }
}

void TfmMain::ReportError() {
  try {
    throw;
  } catch (const EKvParserError& error) {
    // Statements are only ever read from the SQL page, so the place is there.
    SelectInMemo(error.Line(), error.Position(), int(error.Token().length()));
    ShowErrorBox(this, error.Message());
  } catch (...) {
    ShowCurrentException(this);
  }
  UpdateActions();
}

void TfmMain::OpenStatement(const QString& text) {
  mmSQL->setPlainText(ToMemoText(text));
  mmSQL->document()->setModified(true);
  if (ActivePage() != pgBuilder) return;
  // On the Builder page the designer shows it; left in the memo it would be overwritten when
  // the page is left.
  bool valid = false;
  try {
    valid = ApplyMemo();
  } catch (...) {
    Pages->setCurrentIndex(pgSQL);
    throw;
  }
  if (!valid) {
    Pages->setCurrentIndex(pgSQL);
    mmSQL->setFocus();
  }
}

void TfmMain::LoadFromFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw EKvError(SCannotRead.arg(path, file.errorString()));
  QString text = ToMemoText(QString::fromUtf8(file.readAll()));
  // The line break that ends the last line starts no new one.
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  m_fileName = path;
  OpenStatement(text);
}

void TfmMain::SaveToFile(const QString& path) {
  QString text = mmSQL->toPlainText();
  if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
    throw EKvError(SCannotWrite.arg(path, file.errorString()));
  m_fileName = path;
}

void TfmMain::UpdateResultStatus() {
  const QString status = m_dataSource->StatusText();
  laRows->setText(status.isEmpty() && m_query->IsOpen() ? SNoRows : status);
  const bool open = m_query->IsOpen();
  nbFirst->setEnabled(open && !m_dataSource->Bof());
  nbPrior->setEnabled(open && !m_dataSource->Bof());
  nbNext->setEnabled(open && !m_dataSource->Eof());
  nbLast->setEnabled(open && !m_dataSource->Eof());
  nbRefresh->setEnabled(open);
}

void TfmMain::UpdateActions() {
  const bool connected = m_database->Connected();
  tbDisconnect->setEnabled(connected);
  miDisconnect->setEnabled(connected);
}

void TfmMain::ResultRowChanged(int row) {
  if (row >= 0) {
    const int column = std::max(0, DBGrid->currentIndex().column());
    const QModelIndex index = m_dataSource->index(row, column);
    if (DBGrid->currentIndex() != index) DBGrid->setCurrentIndex(index);
    DBGrid->scrollTo(index);
  }
  UpdateResultStatus();
}

// --- handlers ---

void TfmMain::tbConnectClick() {
  if (ShowConnectDialog(m_database.get(), this)) UpdateCaption();
}

void TfmMain::tbDisconnectClick() {
  m_database->Disconnect();
}

void TfmMain::DatabaseAfterConnect(TFbDatabase* sender) {
  m_query->Close();
  FillTableList(miShowSystemTables->isChecked());
  const TKvSQLDialect dialect = sender->SQLDialect() == 1 ? kibDialect1 : kibDialect3;
  Kvarta->SetSQLDialect(dialect);
  Highlighter->SetSQLDialect(dialect);
  UpdateCaption();
  UpdateActions();
  tbClearClick();
}

void TfmMain::DatabaseAfterDisconnect(TFbDatabase* sender) {
  lvTables->clear();
  sender->SetDatabaseName(QString());
  tbClearClick();
  UpdateCaption();
  UpdateActions();
}

void TfmMain::miShowSystemTablesClick() {
  // The action has toggled its check mark already.
  FillTableList(miShowSystemTables->isChecked());
}

void TfmMain::KvartaDragOver(QObject*, QObject* source, const QMimeData*, int, int, TDragState,
                             bool& accept) {
  accept = source == lvTables;
}

void TfmMain::KvartaDragDrop(QObject*, QObject* source, const QMimeData*, int x, int y) {
  if (source != lvTables) return;
  const QTreeWidgetItem* item = lvTables->currentItem();
  if (!item) return;
  const QString name = item->text(0);
  TWaitCursor wait;
  try {
    m_fieldsQuery->OpenTableFields(name);
    TKvTable* table = Kvarta->TableList().Add(name, m_fieldsQuery.get());
    if (table && x != 0 && y != 0) {
      // The drop point is in the component's coordinates; the window's place is on the
      // scrolled surface.
      TKvWorkArea* area = Kvarta->WorkArea();
      const QPoint at = area->ToLogical(area->viewport()->mapFrom(Kvarta, QPoint(x, y)));
      table->SetLeft(std::max(0, at.x()));
      table->SetTop(std::max(0, at.y()));
    }
  } catch (...) {
    m_fieldsQuery->Close();
    throw;
  }
  m_fieldsQuery->Close();
}

void TfmMain::lvTablesDblClick() {
  if (!lvTables->currentItem()) return;
  // The new window should be seen: the designer's page comes first.
  if (ActivePage() != pgBuilder && !Pages->SelectPage(pgBuilder)) return;
  KvartaDragDrop(Kvarta, lvTables, nullptr, 0, 0);
}

void TfmMain::KvartaGetTableFields(const QString& nameOfTable, const TKvDataSet*& dataSet,
                                   QStringList& params) {
  TWaitCursor wait;
  m_fieldsQuery->OpenTableFields(nameOfTable);
  dataSet = m_fieldsQuery.get();
  params.clear();
}

void TfmMain::PagesChanging(int newIndex, bool& allowChange) {
  if (m_loading) return;
  switch (ActivePage()) {
  case pgBuilder:
    SetMemoFromDesigner();
    break;
  case pgSQL:
    if (mmSQL->document()->isModified()) allowChange = ApplyMemo();
    break;
  case pgResult:
    // A statement loaded or left unread since reaches the designer before it is shown.
    if (newIndex == pgBuilder && mmSQL->document()->isModified()) allowChange = ApplyMemo();
    break;
  }
}

void TfmMain::tbExecuteClick() {
  const TPage page = ActivePage();
  if (page == pgResult) return;
  const QString text = page == pgBuilder ? Kvarta->SQL() : mmSQL->toPlainText();
  bool allow = true;
  PagesChanging(pgResult, allow);
  {
    TWaitCursor wait;
    m_query->Close();
    m_query->SetSQL(text);
    m_query->Open();
  }
  Pages->setTabVisible(pgResult, true);
  Pages->setCurrentIndex(pgResult);
  // Columns as wide as what the first rows show, with some air, none wider than half the grid.
  DBGrid->resizeColumnsToContents();
  const int widest = std::max(120, DBGrid->viewport()->width() / 2);
  for (int i = 0; i < m_dataSource->columnCount(); ++i)
    DBGrid->setColumnWidth(i, std::min(widest, DBGrid->columnWidth(i) + 12));
  UpdateResultStatus();
}

void TfmMain::tbClearClick() {
  Kvarta->Clear();
  mmSQL->clear();
  mmSQL->document()->setModified(false);
  m_query->Close();
  m_fieldsQuery->Close();
  if (ActivePage() == pgResult) Pages->setCurrentIndex(pgBuilder);
  Pages->setTabVisible(pgResult, false);
}

void TfmMain::tbLoadClick() {
  QFileDialog dlgOpen(this, SOpenSqlTitle);
  dlgOpen.setAcceptMode(QFileDialog::AcceptOpen);
  dlgOpen.setFileMode(QFileDialog::ExistingFile);
  dlgOpen.setDefaultSuffix(SSqlSuffix);
  dlgOpen.setNameFilter(SSqlFilter);
  if (!m_fileName.isEmpty()) dlgOpen.selectFile(m_fileName);
  if (RunModal(&dlgOpen) != QDialog::Accepted || dlgOpen.selectedFiles().isEmpty()) return;
  LoadFromFile(dlgOpen.selectedFiles().first());
}

void TfmMain::miSaveClick() {
  if (m_fileName.isEmpty()) {
    tbSaveClick();
    return;
  }
  if (ActivePage() == pgBuilder) SetMemoFromDesigner();
  SaveToFile(m_fileName);
}

void TfmMain::tbSaveClick() {
  // What is saved is what the user sees: on the Builder page the designer's statement.
  if (ActivePage() == pgBuilder) SetMemoFromDesigner();
  QFileDialog dlgSave(this);
  dlgSave.setAcceptMode(QFileDialog::AcceptSave);
  dlgSave.setFileMode(QFileDialog::AnyFile);
  dlgSave.setDefaultSuffix(SSqlSuffix);
  dlgSave.setNameFilter(SSqlFilter);
  if (!m_fileName.isEmpty()) dlgSave.selectFile(m_fileName);
  if (RunModal(&dlgSave) != QDialog::Accepted || dlgSave.selectedFiles().isEmpty()) return;
  SaveToFile(dlgSave.selectedFiles().first());
}

void TfmMain::miExitClick() {
  close();
}

void TfmMain::miAboutClick() {
  ShowAboutBox(this);
}

void TfmMain::KvartaParserError(TKvSelectParser*, const QString& errorMsg, const QString& token,
                                int lineNo, int linePos) {
  SelectInMemo(lineNo, linePos, int(token.length()));
  ShowErrorBox(this, errorMsg);
}

void TfmMain::closeEvent(QCloseEvent* event) {
  Guarded([this] { m_database->Disconnect(); });
  event->accept();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event) {
  // Enter on a table puts it on the designer, as a double click does.
  if (watched == lvTables && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Guarded([this] { lvTablesDblClick(); });
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
