#pragma once

#include "FbDatabase.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>

class TFbQuery;
class TFbRowStore;
class TFbWorker;

// Runs the user's statement on a connection of its own, on a worker thread, and hands the rows
// over in blocks already turned into display text. The connection is made (or made again) with
// the settings Execute is given, so the designer's connection stays free for table lists and
// column lookups while a statement runs. Everything here is called on the owner's thread; the
// statement is used on the worker's only.
//
//   runner.Execute(settings, "select * from EMPLOYEE", 256);  // Opened, then RowsArrived
//   runner.FetchAll(1 << 30);                                 // blocks until all are there
//   runner.Cancel();                                          // "operation was cancelled"
class TFbStatementRunner : public QObject {
  Q_OBJECT

public:
  enum TState {
    rsIdle,      // nothing run yet, or closed
    rsRunning,   // prepared and executed, the first rows on their way
    rsFetching,  // columns known, more rows on their way
    rsOpen,      // rows wait in the cursor for a request
    rsDone,      // every row fetched
    rsFailed,    // Error() says why; the rows fetched before are kept
    rsCancelled, // stopped by Cancel; the rows fetched before are kept
  };

  explicit TFbStatementRunner(QObject* parent = nullptr);
  ~TFbStatementRunner() override; // cancels what runs and ends the connection

  // Runs `sql` and fetches its first `firstRows` rows.
  void Execute(const TFbSettings& settings, const QString& sql, int firstRows);
  // Fetches up to `rows` more rows (in the rsOpen state only).
  void Fetch(int rows);
  // Fetches every remaining row; stops with LimitReached once the rows of this request take
  // more than `byteLimit` bytes.
  void FetchAll(std::size_t byteLimit);
  void Cancel();
  // Ends the result; the connection stays for the next statement.
  void Close();
  // Ends the result and the connection.
  void Disconnect();

  TState State() const { return m_state; }
  bool Busy() const { return m_state == rsRunning || m_state == rsFetching; }
  bool MoreRows() const { return m_state == rsOpen || m_state == rsFetching; }
  QString SQL() const { return m_sql; }
  QString Error() const { return m_error; }
  // The failure was the loss of the connection.
  bool ConnectionWasLost() const { return m_connectionLost; }
  qint64 RowsFetched() const { return m_rows; }
  // Time since Execute (while it runs) or what it took.
  qint64 Elapsed() const;
  TFbWorker& Worker() const { return *m_worker; }
  // Rows that make one block handed over (a fetch also hands over what it has every 50 ms).
  static constexpr int BlockRows = 4096;

signals:
  void Opened(const QStringList& names, const QList<int>& types);
  void RowsArrived(const std::shared_ptr<TFbRowStore>& rows);
  void StateChanged();
  void LimitReached();
  // The statement's connection is gone: said once, with the client library's message.
  void ConnectionLost(const QString& message);

private:
  void PostFetch(qint64 rows, std::size_t byteLimit);
  // Worker side: fetches into blocks and reports them; true at the end of the rows.
  bool FetchRows(const class TFbJob& job, quint64 generation, qint64 rows, std::size_t byteLimit,
                 bool& limitReached);
  void Deliver(quint64 generation, const std::shared_ptr<TFbRowStore>& rows);
  void Ended(quint64 generation, const struct TFbJobResult& result, bool atEnd, bool limitReached);
  void SetState(TState state);

  // Worker side: the statement's connection and cursor.
  std::unique_ptr<TFbDatabase> m_db;
  std::unique_ptr<TFbQuery> m_query;
  TFbSettings m_connectedWith;
  // Owner side.
  std::unique_ptr<TFbWorker> m_worker; // declared last: ends first
  TState m_state = rsIdle;
  QString m_sql;
  QString m_error;
  bool m_connectionLost = false;
  qint64 m_rows = 0;
  int m_columns = 0;
  quint64 m_generation = 0; // the result reports belong to; older ones are dropped
  int m_inFlight = 0;       // fetch requests of this result not yet ended
  QElapsedTimer m_clock;
  qint64 m_took = 0;
};
