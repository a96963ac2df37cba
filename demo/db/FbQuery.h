#pragma once

#include "FbError.h"
#include "FbValue.h"
#include "KvDataSet.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Firebird {
class IStatement;
class IResultSet;
class IMessageMetadata;
} // namespace Firebird

class TFbDatabase;

// A table's columns as the designer reads them, kept after the query that read them is gone
// (so they can be read on one thread and used on another).
class TFbFieldList : public TKvDataSet {
public:
  TFbFieldList() = default;
  explicit TFbFieldList(const TKvDataSet& source);
  int FieldCount() const override { return int(m_names.size()); }
  QString FieldName(int index) const override { return m_names.value(index); }
  int FieldType(int index) const override;

private:
  QStringList m_names;
  std::vector<int> m_types;
};

// A statement that returns rows, run in the connection's default transaction. Open prepares
// and executes it and reads the first row, so errors of the first row surface from Open; then
// Next walks the rows forward. While open it is a TKvDataSet (column names and field-type
// codes) for the designer.
//
//   query.SetSQL(TableFieldsSql("Employee", db.SQLDialect()));
//   query.Open();                    // raises EFbError with the server's text
//   for (int i = 0; i < query.FieldCount(); ++i) use(query.FieldName(i), query.FieldType(i));
//   while (query.Next()) use(query.Text(0));
//
// A failed Open leaves the query closed and the connection usable.
class TFbQuery : public QObject, public TKvDataSet {
  Q_OBJECT

public:
  explicit TFbQuery(TFbDatabase* database = nullptr, QObject* parent = nullptr);
  ~TFbQuery() override;

  TFbDatabase* Database() const { return m_database; }
  void SetDatabase(TFbDatabase* database); // closes first

  QString SQL() const { return m_sql; }
  void SetSQL(const QString& sql); // a different text closes the query

  // Runs SQL. Statements that return no rows (UPDATE, CREATE ...) are refused here, before they
  // run, with a message saying so; so are statements with parameters. No-op when open.
  void Open();
  // Ends the result set; emits BeforeClose first. Never raises.
  void Close() noexcept;
  bool IsOpen() const { return m_cursor != nullptr; }
  void SetActive(bool active) { active ? Open() : Close(); }
  // Close, set "SELECT * FROM <quoted name> WHERE 0 = 1" for the connection's dialect, Open.
  void OpenTableFields(const QString& tableName);
  // Runs a statement that returns no rows in the default transaction (not committed).
  void ExecSQL();

  // Columns of the open statement.
  int FieldCount() const override { return m_format.Count(); }
  QString FieldName(int index) const override;
  int FieldType(int index) const override;
  const TFbColumn& Field(int index) const { return m_format.Column(index); }
  int FieldIndex(const QString& name) const; // -1 when absent

  // Moves to the next row; false (and Eof) after the last. A fetch error is raised once and
  // ends the rows: nothing is retried.
  bool Next();
  bool Eof() const { return m_eof; }
  qint64 RowsFetched() const { return m_rowsFetched; }

  // Values of the current row.
  bool IsNull(int field) const;
  QString Text(int field);                           // FbNullText() for NULL
  void AppendText(int field, TFbTextBuffer& buffer); // a value that is not NULL

signals:
  void AfterOpen();
  void BeforeClose();

private:
  friend class TFbDatabase;
  void ReleaseAll() noexcept;

  TFbDatabase* m_database = nullptr;
  QString m_sql;
  Firebird::IStatement* m_statement = nullptr;
  Firebird::IResultSet* m_cursor = nullptr;
  Firebird::IMessageMetadata* m_meta = nullptr;
  std::vector<unsigned char> m_row;
  TFbRowFormatter m_format;
  Fb::TStatus m_fetchStatus; // reused: Next runs once a row
  bool m_pending = false;    // Open fetched a row that Next has not handed out yet
  bool m_hasRow = false;
  bool m_eof = true;
  qint64 m_rowsFetched = 0;
};

// The columns of a table, read by "SELECT * FROM <quoted name> WHERE 0 = 1".
TFbFieldList ReadTableFields(TFbDatabase& database, const QString& tableName);
