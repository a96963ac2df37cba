#include "MainForm.h"

#include "AboutForm.h"
#include "ConnectForm.h"
#include "DbWait.h"
#include "DemoDialogs.h"
#include "DemoResource.h"
#include "FbDatabase.h"
#include "FbError.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "FbValue.h"
#include "FbWorker.h"
#include "KvBitmaps.h"
#include "KvFloatPanel.h"
#include "KvIBParser.h"
#include "KvParserError.h"
#include "PageControl.h"
#include "ResultPage.h"
#include "SqlFile.h"
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
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace DemoResource;

namespace {

QIcon Icon(const QString& name) {
  QIcon icon;
  icon.addPixmap(KvBitmap(name, 1.0));
  icon.addPixmap(KvBitmap(name, 2.0));
  return icon;
}

} // namespace

TfmMain::TfmMain(QWidget* parent)
    : QMainWindow(parent), m_database(std::make_unique<TFbDatabase>()),
      m_worker(std::make_unique<TFbWorker>(m_database.get())) {
  setObjectName(QStringLiteral("fmMain"));
  setWindowTitle(SAppTitle);
  setWindowIcon(Icon(QStringLiteral("MAINICON")));

  m_database->SetParams(SInitialParams);
  m_database->SetSQLDialect(3);
  // The database tells of connects on the worker's thread: the window answers here, once the
  // work is done.
  const auto defer = [this](std::function<void()> step) {
    if (QThread::currentThread() == thread()) {
      step();
      return;
    }
    const std::lock_guard<std::mutex> lock(m_deferredLock);
    m_deferred.push_back(std::move(step));
  };
  m_database->AfterConnect = [this, defer](TFbDatabase* sender) {
    defer([this, sender] { DatabaseAfterConnect(sender); });
  };
  m_database->AfterDisconnect = [this, defer](TFbDatabase* sender) {
    // At once, so that settings written next (a new connection) are not cleared afterwards.
    sender->SetDatabaseName(QString());
    defer([this, sender] { DatabaseAfterDisconnect(sender); });
  };
  connect(m_worker.get(), &TFbWorker::ConnectionLost, this, &TfmMain::ConnectionLost);

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
  m_sqlFile = new TSqlFile(this);
  Highlighter = new TSqlHighlighter(mmSQL->document());
  Highlighter->SetWords(Kvarta->Keywords(), Kvarta->Functions());

  tsResult = m_resultPage = new TResultPage;
  DBNavigator = m_resultPage->DBNavigator;
  nbFirst = m_resultPage->nbFirst;
  nbPrior = m_resultPage->nbPrior;
  nbNext = m_resultPage->nbNext;
  nbLast = m_resultPage->nbLast;
  nbRefresh = m_resultPage->nbRefresh;
  laRows = m_resultPage->laRows;
  DBGrid = m_resultPage->DBGrid;
  connect(m_resultPage->Runner(), &TFbStatementRunner::ConnectionLost, this,
          &TfmMain::ConnectionLost);
  connect(m_resultPage->Runner(), &TFbStatementRunner::StateChanged, this,
          [this] { acCancel->setEnabled(m_resultPage->Busy()); });
  connect(m_resultPage->Model(), &TFbResultModel::FetchStatusChanged, this,
          [this] { acCancel->setEnabled(m_resultPage->Busy()); });
  connect(m_resultPage, &TResultPage::Message, this,
          [this](const QString& text) { statusBar()->showMessage(text); });

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
  BusyIndicator = new TBusyIndicator;
  statusBar()->addPermanentWidget(BusyIndicator);
  tbEncoding = new TEncodingButton(m_sqlFile, mmSQL->document());
  statusBar()->addPermanentWidget(tbEncoding);

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
  // The statement stops and its connection ends before the window goes.
  delete m_resultPage;
  m_resultPage = nullptr;
  m_worker->Shutdown([](TFbJob& job) { job.Database().Disconnect(); });
  m_worker.reset();
  m_database.reset();
}

TFbStatementRunner* TfmMain::Runner() const {
  return m_resultPage->Runner();
}

TFbResultModel* TfmMain::DataSource() const {
  return m_resultPage->Model();
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
  miReconnect = make(SMiReconnect, QString(), QString(), &TfmMain::miReconnectClick);
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
  // Esc stops a running statement from any page; it is enabled only then, so Esc keeps its
  // other uses the rest of the time.
  acCancel = new QAction(SNavCancel, this);
  acCancel->setShortcut(Qt::Key_Escape);
  acCancel->setShortcutContext(Qt::WindowShortcut);
  acCancel->setEnabled(false);
  connect(acCancel, &QAction::triggered, this, [this] { m_resultPage->Cancel(); });
  addAction(acCancel);
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
  file->addAction(miReconnect);
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
  DatabaseCall(SReadingTables, [&](TFbDatabase& db) { db.GetTableNames(names, systemTables); });
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
  m_sqlFile->SetDesignerText(mmSQL->document(), Kvarta->SQL());
  mmSQL->document()->setModified(false);
  mmSQL->moveCursor(QTextCursor::Start);
}

QString TfmMain::MemoText() const {
  return m_sqlFile->Text(mmSQL->document());
}

bool TfmMain::ApplyMemo() {
  SetDesignerSQL(MemoText());
  const bool valid = Kvarta->SelectParser()->Valid();
  mmSQL->document()->setModified(!valid);
  return valid;
}

void TfmMain::SetDesignerSQL(const QString& text) {
  // The tables the statement names, read the way the designer will read them; their columns
  // come in one wait instead of one per table.
  QStringList tables;
  if (m_database->Connected()) {
    std::unique_ptr<TKvSelectParser> parser = Kvarta->CreateParser();
    if (auto* ib = dynamic_cast<TKvIBSelectParser*>(parser.get())) {
      ib->SetSQLDialect(Kvarta->SQLDialect());
      ib->SetSQLServer(Kvarta->SQLServer());
    }
    parser->OnParserError = [](TKvSelectParser*, const QString&, const QString&, int, int) {};
    try {
      parser->SetSQL(text);
    } catch (const EKvError&) {
      // The designer reports it below.
    }
    for (int t = 0; t < parser->TableDefs()->Count(); ++t) {
      const QString name = parser->TableDefs()->Items(t)->TableName();
      if (!name.isEmpty() && !tables.contains(name)) tables.append(name);
    }
  }
  std::map<QString, TFbFieldList> fields;
  if (!tables.isEmpty())
    DatabaseCall(SReadingFields.arg(tables.join(QStringLiteral(", "))), [&](TFbDatabase& db) {
      for (const QString& name : tables) {
        try {
          fields.emplace(name, ReadTableFields(db, name));
        } catch (const EFbError& error) {
          // A table that is not there is the designer's to report, when it asks for it.
          if (error.Cancelled() || error.ConnectionLost()) throw;
        }
      }
    });
  m_tableFields = std::move(fields);
  try {
    Kvarta->SetSQL(text);
  } catch (...) {
    m_tableFields.clear();
    throw;
  }
  m_tableFields.clear();
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

void TfmMain::DatabaseCall(const QString& what, const std::function<void(TFbDatabase&)>& work) {
  bool closeAsked = false;
  try {
    TDbWait::Run(*m_worker, this, BusyIndicator, what, work, &closeAsked);
  } catch (...) {
    Guarded([this] { RunDeferred(); }); // its own errors are told apart from the work's
    if (closeAsked) QTimer::singleShot(0, this, &QWidget::close);
    throw;
  }
  RunDeferred();
  if (closeAsked) QTimer::singleShot(0, this, &QWidget::close);
}

void TfmMain::RunDeferred() {
  std::vector<std::function<void()>> steps;
  {
    const std::lock_guard<std::mutex> lock(m_deferredLock);
    steps.swap(m_deferred);
  }
  for (const auto& step : steps)
    step();
}

void TfmMain::ConnectDatabase() {
  DatabaseCall(SConnecting.arg(m_database->DatabaseName()), [](TFbDatabase& db) { db.Connect(); });
  UpdateCaption();
}

void TfmMain::WaitForResult() {
  QEventLoop loop;
  const auto check = [&] {
    if (!m_resultPage->Busy()) loop.quit();
  };
  const QMetaObject::Connection a =
      connect(m_resultPage->Model(), &TFbResultModel::FetchStatusChanged, &loop, check);
  if (m_resultPage->Busy()) loop.exec();
  disconnect(a);
}

void TfmMain::ReportError() {
  try {
    throw;
  } catch (const EFbError& error) {
    // Waiting that the user cancelled needs no message; a connection found lost is told by the
    // offer to reconnect.
    if (!error.Cancelled() && !error.ConnectionLost()) ShowErrorBox(this, error.Message());
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
  m_sqlFile->SetDesignerText(mmSQL->document(), text);
  StatementOpened();
}

void TfmMain::StatementOpened() {
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
  // Text that is not UTF-8 may well be in the connection's character set.
  const int charset = m_database->Connected() ? m_database->ConnectionCharset() : 0;
  m_sqlFile->Load(path, mmSQL->document(), FbCharsetCodecName(unsigned(charset)));
  m_fileName = path;
  statusBar()->showMessage(m_sqlFile->Notice());
  StatementOpened();
}

void TfmMain::SaveToFile(const QString& path) {
  m_sqlFile->Save(path, mmSQL->document());
  m_fileName = path;
}

void TfmMain::UpdateActions() {
  const bool connected = m_database->Connected();
  tbDisconnect->setEnabled(connected || m_database->Lost());
  miDisconnect->setEnabled(connected || m_database->Lost());
  miReconnect->setEnabled(m_database->Lost() || (connected && Runner()->ConnectionWasLost()));
}

// --- handlers ---

void TfmMain::tbConnectClick() {
  const auto connectOnWorker = [this](const std::function<void()>& connectNow) {
    DatabaseCall(SConnecting.arg(m_database->DatabaseName()),
                 [&connectNow](TFbDatabase&) { connectNow(); });
  };
  if (ShowConnectDialog(m_database.get(), this, connectOnWorker)) UpdateCaption();
}

void TfmMain::tbDisconnectClick() {
  DatabaseCall(SDisconnecting, [](TFbDatabase& db) { db.Disconnect(); });
}

void TfmMain::miReconnectClick() {
  Reconnect();
}

void TfmMain::Reconnect() {
  m_reconnecting = true;
  try {
    DatabaseCall(SConnecting.arg(m_database->DatabaseName()), [](TFbDatabase& db) {
      // The statement's connection may have noticed the loss first: this one is asked too.
      if (db.Connected()) {
        db.CheckAlive();
        if (db.Connected()) return;
      }
      db.Connect();
    });
  } catch (...) {
    m_reconnecting = false;
    UpdateActions();
    throw;
  }
  m_reconnecting = false;
  m_lostShown = false;
  FillTableList(miShowSystemTables->isChecked());
  UpdateCaption();
  UpdateActions();
}

void TfmMain::ConnectionLost(const QString& message) {
  UpdateCaption();
  UpdateActions();
  // Said once per loss, whichever connection found it.
  if (m_lostShown) return;
  m_lostShown = true;
  QTimer::singleShot(0, this, [this, message] {
    if (AskYesNo(this, SConfirmation, SConnectionLost.arg(message)))
      Guarded([this] { Reconnect(); });
  });
}

void TfmMain::DatabaseAfterConnect(TFbDatabase* sender) {
  m_lostShown = false;
  // A reconnect keeps the designer, the text and the rows.
  if (m_reconnecting) return;
  m_resultPage->Close();
  FillTableList(miShowSystemTables->isChecked());
  const TKvSQLDialect dialect = sender->SQLDialect() == 1 ? kibDialect1 : kibDialect3;
  Kvarta->SetSQLDialect(dialect);
  Highlighter->SetSQLDialect(dialect);
  UpdateCaption();
  UpdateActions();
  tbClearClick();
}

void TfmMain::DatabaseAfterDisconnect(TFbDatabase*) {
  lvTables->clear();
  m_resultPage->Disconnect();
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
  TFbFieldList fields;
  DatabaseCall(SReadingFields.arg(name),
               [&](TFbDatabase& db) { fields = ReadTableFields(db, name); });
  TKvTable* table = Kvarta->TableList().Add(name, &fields);
  if (table && x != 0 && y != 0) {
    // The drop point is in the component's coordinates; the window's place is on the
    // scrolled surface.
    TKvWorkArea* area = Kvarta->WorkArea();
    const QPoint at = area->ToLogical(area->viewport()->mapFrom(Kvarta, QPoint(x, y)));
    table->SetLeft(std::max(0, at.x()));
    table->SetTop(std::max(0, at.y()));
  }
}

void TfmMain::lvTablesDblClick() {
  if (!lvTables->currentItem()) return;
  // The new window should be seen: the designer's page comes first.
  if (ActivePage() != pgBuilder && !Pages->SelectPage(pgBuilder)) return;
  KvartaDragDrop(Kvarta, lvTables, nullptr, 0, 0);
}

void TfmMain::KvartaGetTableFields(const QString& nameOfTable, const TKvDataSet*& dataSet,
                                   QStringList& params) {
  const auto found = m_tableFields.find(nameOfTable);
  if (found != m_tableFields.end()) {
    m_lookup = found->second;
  } else {
    TFbFieldList fields;
    DatabaseCall(SReadingFields.arg(nameOfTable),
                 [&](TFbDatabase& db) { fields = ReadTableFields(db, nameOfTable); });
    m_lookup = fields;
  }
  dataSet = &m_lookup;
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
  // On the Result page the statement is the one the SQL page holds: what ran last, or what was
  // changed since.
  const QString text = page == pgBuilder ? Kvarta->SQL() : MemoText();
  if (page != pgResult) {
    bool allow = true;
    PagesChanging(pgResult, allow);
  }
  m_database->CheckConnected();
  // Refused here, before anything runs, rather than sent with "?" in place of the character.
  FbEncodeStatement(text, m_database->ConnectionCharset());
  m_resultPage->Execute(m_database->Settings(), text);
  Pages->setTabVisible(pgResult, true);
  Pages->setCurrentIndex(pgResult);
}

void TfmMain::tbClearClick() {
  Kvarta->Clear();
  mmSQL->clear();
  mmSQL->document()->setModified(false);
  m_resultPage->Close();
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
  // A running statement is cancelled on the way out.
  m_resultPage->Cancel();
  Guarded([this] { DatabaseCall(SDisconnecting, [](TFbDatabase& db) { db.Disconnect(); }); });
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
