#include "FbStatementRunner.h"

#include "FbQuery.h"
#include "FbRowStore.h"
#include "FbWorker.h"

#include <limits>

TFbStatementRunner::TFbStatementRunner(QObject* parent)
    : QObject(parent), m_db(std::make_unique<TFbDatabase>()),
      m_query(std::make_unique<TFbQuery>(m_db.get())),
      m_worker(std::make_unique<TFbWorker>(m_db.get())) {
  connect(m_worker.get(), &TFbWorker::ConnectionLost, this, &TFbStatementRunner::ConnectionLost);
}

TFbStatementRunner::~TFbStatementRunner() {
  // The connection ends on the worker, where a server that does not answer can be cut off.
  m_worker->Shutdown([this](TFbJob& job) {
    m_query->Close();
    job.Database().Disconnect();
  });
}

void TFbStatementRunner::SetState(TState state) {
  const bool wasBusy = Busy();
  m_state = state;
  if (wasBusy && !Busy()) m_took = m_clock.elapsed();
  emit StateChanged();
}

qint64 TFbStatementRunner::Elapsed() const {
  return Busy() ? m_clock.elapsed() : m_took;
}

void TFbStatementRunner::Execute(const TFbSettings& settings, const QString& sql, int firstRows) {
  m_worker->Cancel(); // what the result before still does is of no use now
  const quint64 generation = ++m_generation;
  m_sql = sql;
  m_error.clear();
  m_connectionLost = false;
  m_rows = 0;
  m_inFlight = 1;
  m_clock.start();
  SetState(rsRunning);
  auto atEnd = std::make_shared<bool>(false);
  auto limitReached = std::make_shared<bool>(false);
  m_worker->Post(
      [=, this](TFbJob& job) {
        TFbDatabase& db = job.Database();
        m_query->Close();
        if (db.Connected() && m_connectedWith != settings) db.Disconnect();
        if (!db.Connected()) {
          db.SetSettings(settings);
          db.Connect();
          m_connectedWith = settings;
        } else {
          db.DefaultTransaction().Commit(); // each statement sees what is committed by now
        }
        m_query->SetSQL(sql);
        m_query->Open();
        QStringList names;
        QList<int> types;
        for (int i = 0; i < m_query->FieldCount(); ++i) {
          names.append(m_query->FieldName(i));
          types.append(m_query->FieldType(i));
        }
        job.Report([this, generation, names, types] {
          if (generation != m_generation) return;
          SetState(rsFetching);
          emit Opened(names, types);
        });
        *atEnd = FetchRows(job, generation, firstRows, std::numeric_limits<std::size_t>::max(),
                           *limitReached);
      },
      [=, this](const TFbJobResult& result) { Ended(generation, result, *atEnd, *limitReached); });
}

void TFbStatementRunner::Fetch(int rows) {
  if (m_state == rsOpen && rows > 0) PostFetch(rows, std::numeric_limits<std::size_t>::max());
}

void TFbStatementRunner::FetchAll(std::size_t byteLimit) {
  if (MoreRows()) PostFetch(std::numeric_limits<qint64>::max(), byteLimit);
}

void TFbStatementRunner::PostFetch(qint64 rows, std::size_t byteLimit) {
  const quint64 generation = m_generation;
  ++m_inFlight;
  SetState(rsFetching);
  auto atEnd = std::make_shared<bool>(false);
  auto limitReached = std::make_shared<bool>(false);
  m_worker->Post(
      [=, this](TFbJob& job) {
        *atEnd = !m_query->IsOpen() || m_query->Eof() ||
                 FetchRows(job, generation, rows, byteLimit, *limitReached);
      },
      [=, this](const TFbJobResult& result) { Ended(generation, result, *atEnd, *limitReached); });
}

bool TFbStatementRunner::FetchRows(const TFbJob& job, quint64 generation, qint64 rows,
                                   std::size_t byteLimit, bool& limitReached) {
  const int columns = m_query->FieldCount();
  auto block = std::make_shared<TFbRowStore>();
  block->Reset(columns);
  std::size_t bytes = 0;
  QElapsedTimer slice;
  slice.start();
  // What is fetched reaches the owner in blocks, at least every 50 ms, so the rows show as
  // they come.
  const auto handOver = [&] {
    if (block->Rows() == 0) return;
    block->Seal(); // here rather than on the owner's thread
    bytes += block->MemoryUsed();
    job.Report([this, generation, block] { Deliver(generation, block); });
    block = std::make_shared<TFbRowStore>();
    block->Reset(columns);
    slice.restart();
  };
  bool atEnd = false;
  try {
    for (qint64 done = 0; done < rows; ++done) {
      job.CheckCancelled();
      if (!m_query->Next()) {
        atEnd = true;
        break;
      }
      block->AppendRow(*m_query);
      if (block->Rows() >= BlockRows || ((done & 63) == 0 && slice.elapsed() >= 50)) {
        handOver();
        if (bytes > byteLimit) {
          limitReached = true;
          break;
        }
      }
    }
  } catch (...) {
    handOver();
    m_query->Close();
    throw;
  }
  handOver();
  if (atEnd) m_query->Close();
  return atEnd;
}

void TFbStatementRunner::Deliver(quint64 generation, const std::shared_ptr<TFbRowStore>& rows) {
  if (generation != m_generation) return;
  m_rows += rows->Rows();
  emit RowsArrived(rows);
}

void TFbStatementRunner::Ended(quint64 generation, const TFbJobResult& result, bool atEnd,
                               bool limitReached) {
  if (generation != m_generation) return;
  --m_inFlight;
  if (result.Failed) {
    m_inFlight = 0;
    m_error = result.Error;
    m_connectionLost = result.ConnectionLost;
    SetState(result.Cancelled ? rsCancelled : rsFailed);
    return;
  }
  if (atEnd) {
    m_inFlight = 0;
    SetState(rsDone);
    return;
  }
  if (m_inFlight > 0) return; // another request follows
  SetState(rsOpen);
  if (limitReached) emit LimitReached();
}

void TFbStatementRunner::Cancel() {
  if (Busy()) m_worker->Cancel();
}

void TFbStatementRunner::Close() {
  m_worker->Cancel();
  ++m_generation;
  m_inFlight = 0;
  m_rows = 0;
  m_error.clear();
  m_sql.clear();
  if (m_state != rsIdle) SetState(rsIdle);
  m_worker->Post([this](TFbJob& job) {
    m_query->Close();
    if (job.Database().Connected()) job.Database().DefaultTransaction().Commit();
  });
}

void TFbStatementRunner::Disconnect() {
  Close();
  m_worker->Post([this](TFbJob& job) {
    m_connectedWith = TFbSettings();
    job.Database().Disconnect();
  });
}
