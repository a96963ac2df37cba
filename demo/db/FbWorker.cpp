#include "FbWorker.h"

#include "FbDatabase.h"
#include "FbError.h"

#include <ibase.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

namespace {

// Reads the time without a QElapsedTimer member on both threads.
qint64 Now() {
  return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

void TFbJob::CheckCancelled() const {
  if (CancelRequested()) throw EFbError(QStringLiteral("operation was cancelled"), isc_cancelled);
}

void TFbJob::Report(std::function<void()> step) const {
  QMetaObject::invokeMethod(m_owner, std::move(step), Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------------

TFbWorker::TFbWorker(TFbDatabase* database, QObject* parent)
    : QObject(parent), m_database(database), m_thread(new QThread), m_runner(new QObject),
      m_cancelTimer(new QTimer(this)) {
  m_thread->setObjectName(QStringLiteral("database worker"));
  m_runner->moveToThread(m_thread);
  m_thread->start();
  // A cancel request that came between two calls finds nothing to cancel: it is repeated until
  // the job ends, and when the server does not react the connection is cut.
  m_cancelTimer->setInterval(150);
  connect(m_cancelTimer, &QTimer::timeout, this, &TFbWorker::PressCancel);
}

TFbWorker::~TFbWorker() {
  Shutdown();
}

void TFbWorker::Shutdown(const TWork& last) {
  if (!m_thread) return;
  m_cancelTimer->stop();
  for (auto& [id, state] : m_jobs)
    state->Cancel = true;
  QMetaObject::invokeMethod(
      m_runner,
      [this, last] {
        if (last) {
          const std::atomic<bool> notCancelled = false;
          TFbJob job(*m_database, notCancelled, this);
          try {
            last(job);
          } catch (...) {
            // Nobody is left to tell.
          }
        }
        QThread::currentThread()->quit();
      },
      Qt::QueuedConnection);
  const qint64 start = Now();
  bool aborted = false;
  while (!m_thread->wait(QDeadlineTimer(50))) {
    std::lock_guard<std::mutex> lock(m_switch);
    if (Now() - start < m_abortAfter) {
      if (m_running) m_database->CancelOperation(fb_cancel_raise);
    } else if (!aborted) {
      m_database->CancelOperation(fb_cancel_abort);
      aborted = true;
    } else if (Now() - start > m_abortAfter + 10000) {
      // A call that not even a cut connection ends: the thread is left to the process's end
      // rather than destroyed under it.
      qWarning("The database worker did not end; it is left running.");
      m_thread = nullptr;
      return;
    }
  }
  delete m_runner;
  delete m_thread;
  m_runner = nullptr;
  m_thread = nullptr;
  m_jobs.clear();
}

quint64 TFbWorker::Post(TWork work, TDone done) {
  if (!m_thread) return 0;
  const quint64 id = m_nextId++;
  auto state = std::make_shared<TState>();
  state->Done = std::move(done);
  m_jobs.emplace(id, state);
  QMetaObject::invokeMethod(
      m_runner, [this, id, state, work = std::move(work)] { Run(id, state, work); },
      Qt::QueuedConnection);
  return id;
}

void TFbWorker::Run(quint64 id, const std::shared_ptr<TState>& state, const TWork& work) {
  {
    std::lock_guard<std::mutex> lock(m_switch);
    m_running = id;
  }
  const bool wasLost = m_database->Lost();
  TFbJobResult result;
  TFbJob job(*m_database, state->Cancel, this);
  try {
    job.CheckCancelled();
    work(job);
  } catch (const EFbError& error) {
    result.Failed = true;
    result.Error = error.Message();
  } catch (const EKvError& error) {
    result.Failed = true;
    result.Error = error.Message();
  } catch (const std::exception& error) {
    result.Failed = true;
    result.Error = QString::fromLocal8Bit(error.what());
  }
  result.Cancelled = state->Cancel.load();
  if (!wasLost && m_database->Lost()) {
    result.ConnectionLost = true;
    result.Failed = true;
    result.Error = m_database->LostMessage();
  }
  {
    std::lock_guard<std::mutex> lock(m_switch);
    m_running = 0;
  }
  QMetaObject::invokeMethod(
      this, [this, id, result] { Finish(id, result); }, Qt::QueuedConnection);
}

void TFbWorker::Finish(quint64 id, const TFbJobResult& result) {
  const auto it = m_jobs.find(id);
  if (it == m_jobs.end()) return;
  const TDone done = std::move(it->second->Done);
  m_jobs.erase(it);
  if (m_cancelling == id) {
    m_cancelling = 0;
    m_cancelTimer->stop();
  }
  const QPointer<TFbWorker> alive(this);
  if (done) done(result);
  if (!alive) return;
  if (result.ConnectionLost) emit ConnectionLost(result.Error);
  if (alive && m_jobs.empty()) emit Idle();
}

void TFbWorker::Cancel(quint64 job) {
  for (auto& [id, state] : m_jobs)
    if (job == 0 || id == job) state->Cancel = true;
  std::lock_guard<std::mutex> lock(m_switch);
  const quint64 running = m_running;
  if (!running || (job != 0 && job != running) || m_cancelling == running) return;
  m_cancelling = running;
  m_cancelStarted = Now();
  m_database->CancelOperation(fb_cancel_raise);
  m_cancelTimer->start();
}

void TFbWorker::PressCancel() {
  std::lock_guard<std::mutex> lock(m_switch);
  if (!m_cancelling || m_running != m_cancelling) {
    m_cancelTimer->stop();
    return;
  }
  if (Now() - m_cancelStarted < m_abortAfter) {
    m_database->CancelOperation(fb_cancel_raise);
    return;
  }
  // The server does not answer: cutting the connection ends the call.
  m_cancelTimer->stop();
  m_database->CancelOperation(fb_cancel_abort);
}
