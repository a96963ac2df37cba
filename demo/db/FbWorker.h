#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QThread;
class QTimer;
class TFbDatabase;

// How a piece of database work ended.
struct TFbJobResult {
  bool Failed = false;
  QString Error;          // the message when it failed
  bool Cancelled = false; // stopped by Cancel (Failed too when it raised)
  bool ConnectionLost = false;
};

// What a piece of work sees of the worker while it runs on the worker's thread.
class TFbJob {
public:
  TFbJob(TFbDatabase& database, const std::atomic<bool>& cancel, QObject* owner)
      : m_database(database), m_cancel(cancel), m_owner(owner) {}
  TFbDatabase& Database() const { return m_database; }
  // Set once the work is to stop; loops over rows look at it between rows.
  bool CancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }
  // Raises the error of a cancelled job when cancelling was asked for.
  void CheckCancelled() const;
  // Runs `step` on the worker owner's thread, in order with the other reports and before the
  // job's end is reported.
  void Report(std::function<void()> step) const;

private:
  TFbDatabase& m_database;
  const std::atomic<bool>& m_cancel;
  QObject* m_owner;
};

// Runs database work on a thread of its own, one piece after the other, so that the thread that
// posts it (the GUI's) never waits on the server. The database object is used by the worker's
// thread only while work is queued; the poster may cancel the running work at any time: the
// running call is cancelled through the client library (fb_cancel_raise, repeated until it
// takes), and when the server does not answer within AbortAfter the connection is cut
// (fb_cancel_abort), which ends any call at once and leaves the connection lost.
//
//   worker.Post([](TFbJob& job) { names = job.Database().TableNames(false); },
//               [](const TFbJobResult& r) { if (r.Failed) show(r.Error); else use(names); });
class TFbWorker : public QObject {
  Q_OBJECT

public:
  using TWork = std::function<void(TFbJob& job)>;
  using TDone = std::function<void(const TFbJobResult& result)>;

  explicit TFbWorker(TFbDatabase* database, QObject* parent = nullptr);
  // Shuts down (see Shutdown).
  ~TFbWorker() override;
  TFbWorker(const TFbWorker&) = delete;
  TFbWorker& operator=(const TFbWorker&) = delete;

  TFbDatabase* Database() const { return m_database; }
  // Queues work; `done` runs on this object's thread afterwards. Returns the job's number.
  quint64 Post(TWork work, TDone done = {});
  // Stops a queued or running job (0: every one).
  void Cancel(quint64 job = 0);
  bool Busy() const { return !m_jobs.empty(); }
  // Cancels queued and running work, runs `last` (ending the connection, say) and ends the
  // thread, waiting for it: a call the server does not finish is cut after AbortAfter.
  void Shutdown(const TWork& last = {});
  quint64 Running() const { return m_running.load(); }
  // Milliseconds a cancelled call may take before the connection is cut.
  int AbortAfter() const { return m_abortAfter; }
  void SetAbortAfter(int ms) { m_abortAfter = ms; }

signals:
  void Idle();
  // A job found the connection gone (once per loss).
  void ConnectionLost(const QString& message);

private:
  struct TState {
    std::atomic<bool> Cancel = false;
    TDone Done;
  };
  void Run(quint64 id, const std::shared_ptr<TState>& state, const TWork& work);
  void Finish(quint64 id, const TFbJobResult& result);
  void PressCancel();

  TFbDatabase* m_database;
  QThread* m_thread;
  QObject* m_runner; // lives on the worker's thread: work is queued to it
  QTimer* m_cancelTimer;
  std::map<quint64, std::shared_ptr<TState>> m_jobs; // queued and running, by number
  std::atomic<quint64> m_running = 0;
  std::mutex m_switch; // held while the running job changes and while it is cancelled
  quint64 m_nextId = 1;
  quint64 m_cancelling = 0; // the running job being cancelled
  qint64 m_cancelStarted = 0;
  int m_abortAfter = 3000;
};
