#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

class EFbError;
class TFbDatabase;
class TFbQuery;
namespace Firebird {
class FbException;
}

// What a connection is made with: enough to make the same connection again.
struct TFbSettings {
  QString DatabaseName;
  QStringList Params;
  int Dialect = 3;
  bool operator==(const TFbSettings&) const = default;
};

// The default transaction of a connection: read committed (it sees rows others commit, so a
// refresh shows them), record versions, no waiting on locks (a conflict is reported at once
// instead of freezing the program), read/write.
class TFbTransaction {
public:
  explicit TFbTransaction(TFbDatabase* database) : m_database(database) {}
  ~TFbTransaction();
  TFbTransaction(const TFbTransaction&) = delete;
  TFbTransaction& operator=(const TFbTransaction&) = delete;

  TFbDatabase* Database() const { return m_database; }
  bool Active() const { return m_handle != nullptr; }
  void Start();           // raises when already active or not connected
  void StartIfInactive(); // what queries do before they run
  // Ends the transaction; the queries open on the connection are closed first.
  void Commit();
  void Rollback();
  // Makes the work permanent but keeps the transaction and its open cursors.
  void CommitRetaining();
  Firebird::ITransaction* Handle() const { return m_handle; }

private:
  friend class TFbDatabase;
  void Forget(); // drops the handle without ending it (the attachment is gone)

  TFbDatabase* m_database;
  Firebird::ITransaction* m_handle = nullptr;
};

// A connection to one Firebird database, through the embedded engine for a plain file path or
// through a server for "host:path" / "host/port:path".
//
//   TFbDatabase db;
//   db.SetDatabaseName("/data/employee.fdb");
//   db.SetParam("user_name", "SYSDBA");
//   db.SetParam("password", "...");
//   db.Connect();                    // raises EFbError with the server's text on failure
//   QStringList tables = db.TableNames(false);
//
// Connection parameters are name=value lines: user_name, password, sql_role (also written
// sql_role_name), lc_ctype (the connection character set) and connect_timeout (seconds to wait
// for a server, DefaultConnectTimeout when absent); names ignore letter case and may carry the
// prefix "isc_dpb_". There is no login prompt: credentials come from the lines only. Values are
// never put into messages.
//
// A call that finds the connection gone (the server was stopped or the network broke) leaves
// the object disconnected and Lost, with the settings kept for Connect to make it again.
//
// The object is used by one thread at a time; CancelOperation may be called from any thread.
class TFbDatabase {
public:
  static constexpr int DefaultConnectTimeout = 15;

  TFbDatabase();
  ~TFbDatabase(); // disconnects without notifying
  TFbDatabase(const TFbDatabase&) = delete;
  TFbDatabase& operator=(const TFbDatabase&) = delete;

  QString DatabaseName() const { return m_databaseName; }
  void SetDatabaseName(const QString& name); // raises while connected

  QStringList Params() const { return m_params; }
  void SetParams(const QStringList& params) { m_params = params; }
  // Value of the first line of that name, empty when absent.
  QString Param(const QString& name) const;
  // Replaces the line of that name (or appends one); an empty value removes it.
  void SetParam(const QString& name, const QString& value);

  // 1 or 3 (2 is accepted too). When the attached database has a lower dialect, connecting
  // lowers this to match, as the server would otherwise refuse dialect-3 statements.
  int SQLDialect() const { return m_dialect; }
  void SetSQLDialect(int dialect);
  // The dialect the database was created with; 0 while disconnected.
  int DatabaseSQLDialect() const { return m_databaseDialect; }
  // Firebird id of the connection character set (0 = NONE).
  int ConnectionCharset() const { return m_charset; }

  TFbSettings Settings() const { return {m_databaseName, m_params, m_dialect}; }
  void SetSettings(const TFbSettings& settings); // raises while connected

  bool Connected() const { return m_connected.load(); }
  // The connection broke under a call; LostMessage is what the client library said then.
  bool Lost() const { return m_lost; }
  QString LostMessage() const { return m_lostMessage; }
  void SetConnected(bool value) { value ? Connect() : Disconnect(); }
  // Attaches, then calls AfterConnect. On failure raises EFbError and stays disconnected.
  void Connect();
  // Closes the open queries, commits the default transaction (rolls back when that fails),
  // detaches and calls AfterDisconnect. Always ends disconnected; a failed commit is raised
  // afterwards so the user learns that work was not saved.
  void Disconnect();
  // Creates the database file named by DatabaseName with the current parameters and dialect
  // (and a default character set when given) and leaves it connected.
  void CreateDatabase(const QString& defaultCharset = QString());

  std::function<void(TFbDatabase* Sender)> AfterConnect;
  std::function<void(TFbDatabase* Sender)> AfterDisconnect;

  TFbTransaction& DefaultTransaction() { return m_transaction; }

  // Names of the tables (never views) in the order the server returns them, trailing blanks
  // removed; with SystemTables the system tables (RDB$...) too. Connects first when needed and
  // commits the default transaction at the end (keeping it open when queries are open on it).
  void GetTableNames(QStringList& List, bool SystemTables);
  QStringList TableNames(bool SystemTables);

  Firebird::IAttachment* Handle() const { return m_attachment; }
  // Raises "not connected" (or that the connection was lost) unless connected.
  void CheckConnected() const;

  // Asks the server to stop what this connection is doing (fb_cancel_raise: the running call
  // fails with "operation was cancelled"; fb_cancel_abort: the connection is cut). Safe from any
  // thread; false when nothing was running or there is no connection.
  bool CancelOperation(int kind);

  // Raises the error of a failed call. When the connection turns out to be gone (the error
  // says so, or the server no longer answers a ping: the client library may repeat an earlier
  // call's error on the first call after a loss) the connection is marked lost and the error
  // raised is the one that tells so.
  [[noreturn]] void RaiseError(const Firebird::FbException& error);
  // Leaves the connection without talking to the server any further.
  void MarkLost(const QString& message);
  // Asks the server whether the connection still works; marks it lost when not.
  void CheckAlive();

private:
  friend class TFbQuery;
  friend class TFbTransaction;
  void AddQuery(TFbQuery* query);
  void RemoveQuery(TFbQuery* query);
  void CloseQueries() noexcept;
  bool HasOpenQueries() const;
  QByteArray BuildDpb(bool create, const QString& defaultCharset) const;
  void Attach(bool create, const QString& defaultCharset);
  void SetHandle(Firebird::IAttachment* attachment);
  void Detach(); // ends the attachment, quietly when it is gone already
  void Diagnose(EFbError& error);

  QString m_databaseName;
  QStringList m_params;
  int m_dialect = 3;
  int m_databaseDialect = 0;
  int m_charset = 0;
  Firebird::IAttachment* m_attachment = nullptr;
  std::atomic<bool> m_connected = false;
  std::mutex m_handleLock; // the handle against CancelOperation from other threads
  std::atomic<bool> m_lost = false; // read by the owner's thread while work runs
  QString m_lostMessage;
  TFbTransaction m_transaction{this};
  std::vector<TFbQuery*> m_queries;
};

// A table name as a statement must spell it: for dialect 2 and up in double quotes with inner
// quotes doubled, so any letter case and any character works; for dialect 1 unchanged.
QString QuoteTableName(const QString& Name, int Dialect);

// The statement that reads a table's columns without rows: SELECT * FROM <name> WHERE 0 = 1.
QString TableFieldsSql(const QString& Name, int Dialect);
