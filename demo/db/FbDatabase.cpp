#include "FbDatabase.h"

#include "FbError.h"
#include "FbQuery.h"
#include "FbValue.h"

#include <ibase.h>

#include <QElapsedTimer>

#include <algorithm>

namespace {

// Canonical name of a connection parameter line: lower case, without the "isc_dpb_" prefix.
QString ParamKey(const QString& name) {
  QString key = name.trimmed().toLower();
  if (key.startsWith(QLatin1String("isc_dpb_"))) key.remove(0, 8);
  if (key == QLatin1String("sql_role_name")) key = QStringLiteral("sql_role");
  return key;
}

int ConnectTimeout(const QString& value) {
  bool ok = false;
  const int seconds = value.trimmed().toInt(&ok);
  return ok && seconds > 0 ? seconds : TFbDatabase::DefaultConnectTimeout;
}

struct TParamLine {
  QString Key;
  QString Value;
  bool HasValue = false;
};

TParamLine SplitParam(const QString& line) {
  TParamLine p;
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  p.Key = ParamKey(eq < 0 ? line : line.left(eq));
  if (eq >= 0) {
    p.Value = line.mid(eq + 1);
    p.HasValue = true;
  }
  return p;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TFbTransaction::~TFbTransaction() {
  Forget();
}

void TFbTransaction::Start() {
  if (m_handle) throw EFbError(QStringLiteral("The transaction is already active."));
  if (!m_database) throw EFbError(QStringLiteral("Not connected to a database."));
  m_database->CheckConnected();
  Fb::TStatus status;
  Firebird::IXpbBuilder* tpb = nullptr;
  try {
    tpb = Fb::Util()->getXpbBuilder(&status, Firebird::IXpbBuilder::TPB, nullptr, 0);
    tpb->insertTag(&status, isc_tpb_write);
    tpb->insertTag(&status, isc_tpb_read_committed);
    tpb->insertTag(&status, isc_tpb_rec_version);
    tpb->insertTag(&status, isc_tpb_nowait);
    m_handle = m_database->Handle()->startTransaction(&status, tpb->getBufferLength(&status),
                                                      tpb->getBuffer(&status));
    tpb->dispose();
  } catch (const Firebird::FbException& error) {
    if (tpb) tpb->dispose();
    m_database->RaiseError(error);
  }
}

void TFbTransaction::StartIfInactive() {
  if (!m_handle) Start();
}

void TFbTransaction::Commit() {
  if (!m_handle) return;
  if (m_database) m_database->CloseQueries();
  Fb::TStatus status;
  try {
    m_handle->commit(&status); // releases the handle on success
    m_handle = nullptr;
  } catch (const Firebird::FbException& error) {
    m_database->RaiseError(error); // still active: the caller may roll back
  }
}

void TFbTransaction::Rollback() {
  if (!m_handle) return;
  if (m_database) m_database->CloseQueries();
  Fb::TStatus status;
  try {
    m_handle->rollback(&status);
    m_handle = nullptr;
  } catch (const Firebird::FbException& error) {
    // A transaction that cannot even roll back is gone with its connection.
    Forget();
    m_database->RaiseError(error);
  }
}

void TFbTransaction::CommitRetaining() {
  if (!m_handle) return;
  Fb::TStatus status;
  try {
    m_handle->commitRetaining(&status);
  } catch (const Firebird::FbException& error) {
    m_database->RaiseError(error);
  }
}

void TFbTransaction::Forget() {
  Fb::ReleaseRef(m_handle);
}

// ---------------------------------------------------------------------------------------------

TFbDatabase::TFbDatabase() = default;

TFbDatabase::~TFbDatabase() {
  AfterDisconnect = nullptr;
  try {
    Disconnect();
  } catch (...) {
    // Nobody is left to tell.
  }
  for (TFbQuery* query : m_queries)
    query->m_database = nullptr;
}

void TFbDatabase::SetDatabaseName(const QString& name) {
  if (name == m_databaseName) return;
  if (Connected())
    throw EFbError(
        QStringLiteral("The database cannot be changed while connected; disconnect first."));
  m_databaseName = name;
}

QString TFbDatabase::Param(const QString& name) const {
  const QString key = ParamKey(name);
  for (const QString& line : m_params) {
    const TParamLine p = SplitParam(line);
    if (p.Key == key) return p.Value;
  }
  return QString();
}

void TFbDatabase::SetSettings(const TFbSettings& settings) {
  SetDatabaseName(settings.DatabaseName);
  SetParams(settings.Params);
  SetSQLDialect(settings.Dialect);
}

void TFbDatabase::SetParam(const QString& name, const QString& value) {
  const QString key = ParamKey(name);
  bool written = false;
  for (qsizetype i = 0; i < m_params.size();) {
    if (SplitParam(m_params[i]).Key != key) {
      ++i;
      continue;
    }
    if (!value.isEmpty() && !written) {
      m_params[i] = name.trimmed() + QLatin1Char('=') + value;
      written = true;
      ++i;
    } else {
      m_params.removeAt(i); // the empty value, or a duplicate that would contradict the line kept
    }
  }
  if (!value.isEmpty() && !written) m_params.append(name.trimmed() + QLatin1Char('=') + value);
}

void TFbDatabase::SetSQLDialect(int dialect) {
  if (dialect < 1 || dialect > 3)
    throw EFbError(QStringLiteral("SQL dialect %1 does not exist; use 1 or 3.").arg(dialect));
  if (Connected() && dialect > m_databaseDialect)
    throw EFbError(
        QStringLiteral(
            "The database uses SQL dialect %1; a connection to it cannot use dialect %2.")
            .arg(m_databaseDialect)
            .arg(dialect));
  m_dialect = dialect;
}

QByteArray TFbDatabase::BuildDpb(bool create, const QString& defaultCharset) const {
  Fb::TStatus status;
  Firebird::IXpbBuilder* dpb = nullptr;
  QByteArray result;
  try {
    dpb = Fb::Util()->getXpbBuilder(&status, Firebird::IXpbBuilder::DPB, nullptr, 0);
    dpb->insertInt(&status, isc_dpb_sql_dialect, m_dialect);
    dpb->insertTag(&status, isc_dpb_utf8_filename);
    // A server that takes the connection but never answers is given up after this long.
    dpb->insertInt(&status, isc_dpb_connect_timeout, ConnectTimeout(Param("connect_timeout")));
    for (const QString& line : m_params) {
      if (line.trimmed().isEmpty()) continue;
      const TParamLine p = SplitParam(line);
      unsigned char tag = 0;
      if (p.Key == QLatin1String("user_name"))
        tag = isc_dpb_user_name;
      else if (p.Key == QLatin1String("password"))
        tag = isc_dpb_password;
      else if (p.Key == QLatin1String("sql_role"))
        tag = isc_dpb_sql_role_name;
      else if (p.Key == QLatin1String("lc_ctype"))
        tag = isc_dpb_lc_ctype;
      else if (p.Key == QLatin1String("connect_timeout"))
        continue; // written above
      else {
        dpb->dispose();
        // Only the name: the line might be a mistyped password.
        throw EFbError(QStringLiteral("Unknown connection parameter \"%1\".").arg(p.Key));
      }
      if (p.Value.isEmpty()) continue;
      const QByteArray value =
          tag == isc_dpb_password ? p.Value.toUtf8() : p.Value.trimmed().toUtf8();
      dpb->insertBytes(&status, tag, value.constData(), unsigned(value.size()));
    }
    if (create && !defaultCharset.isEmpty()) {
      const QByteArray charset = defaultCharset.trimmed().toUtf8();
      dpb->insertBytes(&status, isc_dpb_set_db_charset, charset.constData(),
                       unsigned(charset.size()));
    }
    result = QByteArray(reinterpret_cast<const char*>(dpb->getBuffer(&status)),
                        int(dpb->getBufferLength(&status)));
    dpb->dispose();
  } catch (const Firebird::FbException& error) {
    if (dpb) dpb->dispose();
    Fb::Raise(error);
  }
  return result;
}

void TFbDatabase::Attach(bool create, const QString& defaultCharset) {
  if (Connected()) return;
  if (m_databaseName.trimmed().isEmpty())
    throw EFbError(QStringLiteral("No database file name is set."));
  const QByteArray dpb = BuildDpb(create, defaultCharset);
  const QByteArray name = m_databaseName.trimmed().toUtf8();
  Fb::TStatus status;
  Firebird::IAttachment* attachment = nullptr;
  QElapsedTimer clock;
  clock.start();
  try {
    const auto* buffer = reinterpret_cast<const unsigned char*>(dpb.constData());
    attachment = create ? Fb::Provider()->createDatabase(&status, name.constData(),
                                                         unsigned(dpb.size()), buffer)
                        : Fb::Provider()->attachDatabase(&status, name.constData(),
                                                         unsigned(dpb.size()), buffer);
    const unsigned char items[] = {isc_info_db_sql_dialect, isc_info_end};
    unsigned char info[32] = {};
    attachment->getInfo(&status, sizeof items, items, sizeof info, info);
    int dialect = 1; // databases from before dialects existed answer nothing
    if (info[0] == isc_info_db_sql_dialect) {
      const int length = info[1] | (info[2] << 8);
      if (length >= 1) dialect = info[3];
    }
    m_databaseDialect = dialect;
  } catch (const Firebird::FbException& error) {
    if (attachment) {
      try {
        attachment->detach(&status);
        attachment = nullptr;
      } catch (const Firebird::FbException&) {
      }
      Fb::ReleaseRef(attachment);
    }
    m_databaseDialect = 0;
    const EFbError failure = Fb::ToError(error);
    const int timeout = ConnectTimeout(Param("connect_timeout"));
    // The client library calls a server that never answered a "rejection".
    if (failure.ErrorCode() == isc_connect_reject && clock.elapsed() >= timeout * 1000 - 500)
      throw EFbError(QStringLiteral("The server did not answer within %1 seconds.\n%2")
                         .arg(timeout)
                         .arg(failure.Message()),
                     failure.ErrorCode());
    throw failure;
  }
  SetHandle(attachment);
  m_lost = false;
  m_lostMessage.clear();
  if (m_dialect > m_databaseDialect) m_dialect = m_databaseDialect;
  const QString ctype = Param(QStringLiteral("lc_ctype"));
  m_charset = ctype.isEmpty() ? 0 : std::max(0, FbCharsetId(ctype));
  if (AfterConnect) AfterConnect(this);
}

void TFbDatabase::Connect() {
  Attach(false, QString());
}

void TFbDatabase::CreateDatabase(const QString& defaultCharset) {
  if (Connected()) throw EFbError(QStringLiteral("Disconnect before creating a database."));
  Attach(true, defaultCharset);
}

void TFbDatabase::Disconnect() {
  if (!m_attachment) {
    // After a loss the settings stayed for a reconnect; disconnecting gives that up.
    if (m_lost) {
      m_lost = false;
      m_lostMessage.clear();
      if (AfterDisconnect) AfterDisconnect(this);
    }
    return;
  }
  CloseQueries();
  QString failure;
  qint64 code = 0;
  if (m_transaction.Active()) {
    try {
      m_transaction.Commit();
    } catch (const EFbError& error) {
      failure = error.Message();
      code = error.ErrorCode();
      try {
        m_transaction.Rollback();
      } catch (const EFbError&) {
      }
    }
  }
  m_transaction.Forget();
  Detach();
  m_lost = false;
  m_lostMessage.clear();
  if (AfterDisconnect) AfterDisconnect(this);
  if (!failure.isEmpty()) throw EFbError(failure, code);
}

void TFbDatabase::GetTableNames(QStringList& List, bool SystemTables) {
  List.clear();
  if (!Connected() && !m_lost) Connect();
  CheckConnected();
  m_transaction.StartIfInactive();
  TFbQuery query(this);
  query.SetSQL(
      SystemTables
          ? QStringLiteral("Select RDB$RELATION_NAME from RDB$RELATIONS where RDB$VIEW_BLR is NULL")
          : QStringLiteral(
                "Select RDB$RELATION_NAME from RDB$RELATIONS where RDB$VIEW_BLR is NULL and "
                "RDB$SYSTEM_FLAG = 0"));
  query.Open();
  while (query.Next()) {
    QString name = query.Text(0);
    qsizetype end = name.size();
    while (end > 0 && name[end - 1] == QLatin1Char(' '))
      --end;
    name.truncate(end);
    List.append(name);
  }
  query.Close();
  // A hard commit would end the cursors of other open queries (the grid's result, say).
  if (HasOpenQueries())
    m_transaction.CommitRetaining();
  else
    m_transaction.Commit();
}

QStringList TFbDatabase::TableNames(bool SystemTables) {
  QStringList list;
  GetTableNames(list, SystemTables);
  return list;
}

void TFbDatabase::AddQuery(TFbQuery* query) {
  if (std::find(m_queries.begin(), m_queries.end(), query) == m_queries.end())
    m_queries.push_back(query);
}

void TFbDatabase::RemoveQuery(TFbQuery* query) {
  std::erase(m_queries, query);
}

void TFbDatabase::CloseQueries() noexcept {
  // Closing may run slots that open or drop queries, so walk a copy.
  const std::vector<TFbQuery*> queries = m_queries;
  for (TFbQuery* query : queries)
    if (std::find(m_queries.begin(), m_queries.end(), query) != m_queries.end()) query->Close();
}

void TFbDatabase::SetHandle(Firebird::IAttachment* attachment) {
  const std::lock_guard<std::mutex> lock(m_handleLock);
  m_attachment = attachment;
  m_connected = attachment != nullptr;
}

void TFbDatabase::Detach() {
  Firebird::IAttachment* attachment = m_attachment;
  SetHandle(nullptr);
  Fb::TStatus status;
  try {
    if (attachment) attachment->detach(&status); // releases it on success
  } catch (const Firebird::FbException&) {
    // The connection is gone (lost or shut down); there is nothing left to detach from.
    Fb::ReleaseRef(attachment);
  }
  m_databaseDialect = 0;
}

void TFbDatabase::CheckConnected() const {
  if (m_lost)
    throw EFbError(
        QStringLiteral("The connection to the database was lost (%1). Reconnect to go on.")
            .arg(m_lostMessage));
  if (!Connected()) throw EFbError(QStringLiteral("Not connected to a database."));
}

bool TFbDatabase::CancelOperation(int kind) {
  const std::lock_guard<std::mutex> lock(m_handleLock);
  if (!m_attachment) return false;
  Firebird::CheckStatusWrapper status(Fb::Master()->getStatus());
  m_attachment->cancelOperation(&status, kind);
  const bool done = !(status.getState() & Firebird::IStatus::STATE_ERRORS);
  status.dispose();
  return done;
}

void TFbDatabase::RaiseError(const Firebird::FbException& error) {
  EFbError failure = Fb::ToError(error);
  Diagnose(failure);
  throw failure;
}

void TFbDatabase::Diagnose(EFbError& error) {
  if (!m_attachment || error.Cancelled()) return;
  if (!error.ConnectionLost()) {
    Fb::TStatus status;
    try {
      m_attachment->ping(&status);
      return; // the error stands
    } catch (const Firebird::FbException& pingError) {
      EFbError failure = Fb::ToError(pingError);
      if (!failure.ConnectionLost()) return;
      error = failure;
    }
  }
  MarkLost(error.Message());
}

void TFbDatabase::CheckAlive() {
  if (!m_attachment) return;
  Fb::TStatus status;
  try {
    m_attachment->ping(&status);
  } catch (const Firebird::FbException& error) {
    MarkLost(Fb::ToError(error).Message());
  }
}

void TFbDatabase::MarkLost(const QString& message) {
  if (!m_attachment) return;
  // Cursors and the transaction die with the connection: their handles are let go.
  CloseQueries();
  m_transaction.Forget();
  Detach();
  m_lost = true;
  m_lostMessage = message;
}

bool TFbDatabase::HasOpenQueries() const {
  return std::any_of(m_queries.begin(), m_queries.end(),
                     [](const TFbQuery* q) { return q->IsOpen(); });
}

// ---------------------------------------------------------------------------------------------

QString QuoteTableName(const QString& Name, int Dialect) {
  if (Dialect < 2) return Name;
  QString quoted = Name;
  quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString TableFieldsSql(const QString& Name, int Dialect) {
  return QStringLiteral("SELECT * FROM %1 WHERE 0 = 1").arg(QuoteTableName(Name, Dialect));
}
