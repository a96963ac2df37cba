#pragma once

// The demo's main window: the tables of the connected database on the left; on the right the
// designer ("Builder"), the statement as text ("SQL") and the rows it returns ("Result").

#include "KvIBWindow.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTableView;
class QToolBar;
class QTreeWidget;
class TFbDatabase;
class TFbQuery;
class TFbResultModel;
class TPageControl;
class TSqlHighlighter;

class TfmMain : public QMainWindow {
  Q_OBJECT
public:
  enum TPage { pgBuilder, pgSQL, pgResult };

  explicit TfmMain(QWidget* parent = nullptr);
  ~TfmMain() override;

  TFbDatabase& Database() const { return *m_database; }
  // The statement run by Execute, shown on the Result page.
  TFbQuery& Query() const { return *m_query; }
  TFbResultModel* DataSource() const { return m_dataSource; }
  TPage ActivePage() const;
  // The file last loaded or saved; "&Save" writes to it.
  QString FileName() const { return m_fileName; }

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
  QAction* miLoad;
  QAction* miSave;
  QAction* miSaveAs;
  QAction* miExit;
  QAction* miExecute;
  QAction* miClear;
  QAction* miKvOptions;
  QAction* miShowSystemTables;
  QAction* miAbout;
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

  // --- handlers ---
  void tbConnectClick();
  void tbDisconnectClick();
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
  // The memo's statement goes into the designer; false when it did not read.
  bool ApplyMemo();
  void ReportError();
  void UpdateResultStatus();
  void UpdateActions();
  void ResultRowChanged(int row);

  std::unique_ptr<TFbDatabase> m_database;
  std::unique_ptr<TFbQuery> m_query;
  // Reads a table's columns, so that the Result page keeps the rows of the last Execute.
  std::unique_ptr<TFbQuery> m_fieldsQuery;
  TFbResultModel* m_dataSource = nullptr;
  QString m_fileName;
  bool m_loading = true;
};
