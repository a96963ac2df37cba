#pragma once

// The demo's main window: the tables of the connected database on the left; on the right the
// designer ("Builder"), the statement as text ("SQL") and the rows it returns ("Result").

#include "KvIBWindow.h"

#include "FbQuery.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QAction;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolBar;
class QTreeWidget;
class TBusyIndicator;
class TEncodingButton;
class TFbDatabase;
class TFbResultModel;
class TFbStatementRunner;
class TFbWorker;
class TPageControl;
class TResultPage;
class TSqlFile;
class TSqlHighlighter;

class TfmMain : public QMainWindow {
  Q_OBJECT
public:
  enum TPage { pgBuilder, pgSQL, pgResult };

  explicit TfmMain(QWidget* parent = nullptr);
  ~TfmMain() override;

  // The designer's connection (table list, column lookups). Its work runs on Worker(): read
  // it here only while nothing waits (DatabaseCall returns when its work is done).
  TFbDatabase& Database() const { return *m_database; }
  TFbWorker& Worker() const { return *m_worker; }
  // The statement run by Execute and its rows, on the Result page (a connection of its own).
  TResultPage* ResultPage() const { return m_resultPage; }
  TFbStatementRunner* Runner() const;
  TFbResultModel* DataSource() const;
  TPage ActivePage() const;
  // The file last loaded or saved; "&Save" writes to it.
  QString FileName() const { return m_fileName; }
  TSqlFile* SqlFile() const { return m_sqlFile; }

  // --- controls ---
  QToolBar* ToolBar;
  QAction* tbConnect;
  QAction* tbDisconnect;
  QAction* tbLoad;
  QAction* tbSave;
  QAction* tbExecute;
  QAction* tbClear;
  QAction* miConnect;
  QAction* miDisconnect;
  QAction* miReconnect;
  QAction* miLoad;
  QAction* miSave;
  QAction* miSaveAs;
  QAction* miExit;
  QAction* miExecute;
  QAction* miClear;
  QAction* miKvOptions;
  QAction* miShowSystemTables;
  QAction* miAbout;
  QAction* acCancel; // Esc: stops the running statement
  QWidget* paTables;
  QTreeWidget* lvTables;
  QSplitter* Splitter;
  TPageControl* Pages;
  QWidget* tsBuilder;
  QWidget* tsSQL;
  QWidget* tsResult;
  TInterBaseKvarta* Kvarta;
  QPlainTextEdit* mmSQL;
  TSqlHighlighter* Highlighter;
  QToolBar* DBNavigator;
  QAction* nbFirst;
  QAction* nbPrior;
  QAction* nbNext;
  QAction* nbLast;
  QAction* nbRefresh;
  QLabel* laRows;
  QTableView* DBGrid;
  TBusyIndicator* BusyIndicator;
  TEncodingButton* tbEncoding;

  // --- routines ---
  void UpdateCaption();
  void FillTableList(bool systemTables);
  // Selects `length` characters of mmSQL from a 1-based line and column.
  void SelectInMemo(int line, int column, int length);
  // Puts a statement into the SQL page as an edit of the user; on the Builder page the designer
  // takes it at once (a statement that does not read moves to the SQL page with the error).
  void OpenStatement(const QString& text);
  void LoadFromFile(const QString& path);
  void SaveToFile(const QString& path);
  // Runs a user action; an error it raises is shown (an offending SQL token selected first) and
  // ends the action. False when it raised.
  bool Guarded(const std::function<void()>& action);
  // Runs work on the designer's connection while the window waits without freezing (Esc
  // cancels); raises the work's error. `what` is shown when the wait is noticeable.
  void DatabaseCall(const QString& what, const std::function<void(TFbDatabase&)>& work);
  // Connects with the connection's settings as they stand.
  void ConnectDatabase();
  // Connects again with the same settings after the connection was lost, keeping the
  // designer, the SQL text and the rows on the Result page.
  void Reconnect();
  // Returns once the statement on the Result page has done what it is doing.
  void WaitForResult();

  // --- handlers ---
  void tbConnectClick();
  void tbDisconnectClick();
  void miReconnectClick();
  void ConnectionLost(const QString& message);
  void DatabaseAfterConnect(TFbDatabase* sender);
  void DatabaseAfterDisconnect(TFbDatabase* sender);
  void miShowSystemTablesClick();
  void KvartaDragOver(QObject* sender, QObject* source, const QMimeData* data, int x, int y,
                      TDragState state, bool& accept);
  void KvartaDragDrop(QObject* sender, QObject* source, const QMimeData* data, int x, int y);
  void lvTablesDblClick();
  void KvartaGetTableFields(const QString& nameOfTable, const TKvDataSet*& dataSet,
                            QStringList& params);
  void PagesChanging(int newIndex, bool& allowChange);
  void tbExecuteClick();
  void tbClearClick();
  void tbLoadClick();
  void miSaveClick();
  void tbSaveClick();
  void miExitClick();
  void miAboutClick();
  void KvartaParserError(TKvSelectParser* sender, const QString& errorMsg, const QString& token,
                         int lineNo, int linePos);

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateActions();
  void CreateMenus();
  QWidget* CreateResultPage();
  // The memo gets the designer's statement and counts as unmodified.
  void SetMemoFromDesigner();
  // The statement on the SQL page, with its line breaks as loaded.
  QString MemoText() const;
  // The memo's statement goes into the designer; false when it did not read.
  bool ApplyMemo();
  // The memo got a statement: it counts as an edit; on the Builder page the designer takes it.
  void StatementOpened();
  // Gives the designer a statement; the columns of its tables are read in one wait first.
  void SetDesignerSQL(const QString& text);
  void ReportError();
  void UpdateActions();
  // Runs what the database's notifications asked for on the worker, here.
  void RunDeferred();

  std::unique_ptr<TFbDatabase> m_database;
  std::unique_ptr<TFbWorker> m_worker; // ends before the database it works on
  TResultPage* m_resultPage = nullptr;
  TSqlFile* m_sqlFile = nullptr;
  // Columns read ahead for the tables of a statement the designer is being given.
  std::map<QString, TFbFieldList> m_tableFields;
  TFbFieldList m_lookup; // what the designer was last handed
  std::mutex m_deferredLock;
  std::vector<std::function<void()>> m_deferred;
  QString m_fileName;
  bool m_loading = true;
  bool m_reconnecting = false;
  bool m_lostShown = false;
  bool m_closeAsked = false;
};
