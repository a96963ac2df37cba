#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
} // namespace Firebird

class TFbDatabase;
class TFbQuery;

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
// sql_role_name) and lc_ctype (the connection character set); names ignore letter case and
// may carry the prefix "isc_dpb_". There is no login prompt: credentials come from the lines
// only. Values are never put into messages.
class TFbDatabase {
public:
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

  bool Connected() const { return m_attachment != nullptr; }
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

private:
  friend class TFbQuery;
  friend class TFbTransaction;
  void AddQuery(TFbQuery* query);
  void RemoveQuery(TFbQuery* query);
  void CloseQueries() noexcept;
  bool HasOpenQueries() const;
  QByteArray BuildDpb(bool create, const QString& defaultCharset) const;
  void Attach(bool create, const QString& defaultCharset);

  QString m_databaseName;
  QStringList m_params;
  int m_dialect = 3;
  int m_databaseDialect = 0;
  int m_charset = 0;
  Firebird::IAttachment* m_attachment = nullptr;
  TFbTransaction m_transaction{this};
  std::vector<TFbQuery*> m_queries;
};

// A table name as a statement must spell it: for dialect 2 and up in double quotes with inner
// quotes doubled, so any letter case and any character works; for dialect 1 unchanged.
QString QuoteTableName(const QString& Name, int Dialect);

// The statement that reads a table's columns without rows: SELECT * FROM <name> WHERE 0 = 1.
QString TableFieldsSql(const QString& Name, int Dialect);
