#pragma once

// The Result page: the rows of the statement run last, with a navigator, the state of the run
// ("Running… 00:12", "42 rows", "Failed: …", "Cancelled after 300 rows"), Cancel, Export…,
// sorting by a click on a column header and Ctrl+C for the selected cells.

#include "FbDatabase.h"

#include <QWidget>

class QAction;
class QLabel;
class QProgressBar;
class QTableView;
class QTimer;
class QToolBar;
class TFbResultModel;
class TFbStatementRunner;

class TResultPage : public QWidget {
  Q_OBJECT
public:
  explicit TResultPage(QWidget* parent = nullptr);
  ~TResultPage() override;

  TFbResultModel* Model() const { return m_model; }
  TFbStatementRunner* Runner() const { return m_runner; }

  // Runs a statement; the page shows its progress and then its rows.
  void Execute(const TFbSettings& settings, const QString& sql);
  // Ends the result (the grid empties); the statement's connection stays.
  void Close();
  // Ends the result and the statement's connection.
  void Disconnect();
  // Stops what runs: the statement, a fetch, a sort, an export.
  void Cancel();
  bool Busy() const;
  // Copies the selected cells as tab-separated text with a header line.
  void CopySelection();
  // Asks for a file and writes the whole result to it as CSV.
  void Export();
  // Sorts by a column, fetching the rest first when the user agrees.
  void SortByColumn(int column);

  QToolBar* DBNavigator;
  QAction* nbFirst;
  QAction* nbPrior;
  QAction* nbNext;
  QAction* nbLast;
  QAction* nbRefresh;
  QAction* nbCancel;
  QAction* nbExport;
  QAction* acCopy;
  QProgressBar* pbBusy;
  QLabel* laRows;
  QLabel* laError; // the server's whole message after a failure
  QTableView* DBGrid;

signals:
  // A line for the status bar (an export written, say).
  void Message(const QString& text);

private:
  void UpdateStatus();
  void RowChanged(int row);
  void FitColumns();
  void FetchIfAtEnd();
  void AskPastMemoryLimit(std::size_t bytes);
  void ExportFinished(const QString& path, const QString& error, bool cancelled);

  TFbStatementRunner* m_runner;
  TFbResultModel* m_model;
  QTimer* m_clock;
  bool m_fitPending = false;
};
