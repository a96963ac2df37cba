#include "FbQuery.h"

#include "FbDatabase.h"
#include "FbError.h"

#include <ibase.h>

TFbQuery::TFbQuery(TFbDatabase* database, QObject* parent) : QObject(parent) {
  SetDatabase(database);
}

TFbQuery::~TFbQuery() {
  Close();
  if (m_database) m_database->RemoveQuery(this);
}

void TFbQuery::SetDatabase(TFbDatabase* database) {
  if (database == m_database) return;
  Close();
  if (m_database) m_database->RemoveQuery(this);
  m_database = database;
  if (m_database) m_database->AddQuery(this);
}

void TFbQuery::SetSQL(const QString& sql) {
  if (sql == m_sql) return;
  Close();
  m_sql = sql;
}

QString TFbQuery::FieldName(int index) const {
  return index >= 0 && index < FieldCount() ? m_format.Column(index).Name : QString();
}

int TFbQuery::FieldType(int index) const {
  return index >= 0 && index < FieldCount() ? m_format.Column(index).FieldType : ftUnknown;
}

int TFbQuery::FieldIndex(const QString& name) const {
  for (int i = 0; i < FieldCount(); ++i)
    if (m_format.Column(i).Name == name) return i;
  return -1;
}

void TFbQuery::Open() {
  if (IsOpen()) return;
  if (!m_database) throw EFbError(QStringLiteral("Not connected to a database."));
  m_database->CheckConnected();
  if (m_sql.trimmed().isEmpty())
    throw EFbError(QStringLiteral("There is no SQL statement to run."));
  const QByteArray text = FbEncodeStatement(m_sql, m_database->ConnectionCharset());
  TFbTransaction& transaction = m_database->DefaultTransaction();
  transaction.StartIfInactive();
  Fb::TStatus status;
  try {
    m_statement = m_database->Handle()->prepare(
        &status, transaction.Handle(), unsigned(text.size()), text.constData(),
        unsigned(m_database->SQLDialect()), Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    const unsigned type = m_statement->getType(&status);
    if (type != isc_info_sql_stmt_select && type != isc_info_sql_stmt_select_for_upd) {
      ReleaseAll();
      throw EFbError(QStringLiteral(
          "The statement returns no rows and was not run: only SELECT statements can "
          "be opened here."));
    }
    Firebird::IMessageMetadata* input = m_statement->getInputMetadata(&status);
    const unsigned parameters = input->getCount(&status);
    input->release();
    if (parameters > 0) {
      ReleaseAll();
      throw EFbError(
          QStringLiteral("The statement has %1 parameter(s) (?), which cannot be supplied here; "
                         "write the values into the statement.")
              .arg(parameters));
    }
    m_meta = m_statement->getOutputMetadata(&status);
    m_format.Describe(m_meta, m_database->ConnectionCharset());
    m_format.SetBlobSource(m_database->Handle(), transaction.Handle());
    m_row.assign(m_meta->getMessageLength(&status), 0);
    m_cursor = m_statement->openCursor(&status, transaction.Handle(), nullptr, nullptr, m_meta, 0);
    m_eof = false;
    m_rowsFetched = 0;
    m_hasRow = false;
    m_pending = m_cursor->fetchNext(&status, m_row.data()) == Firebird::IStatus::RESULT_OK;
    m_eof = !m_pending;
  } catch (const Firebird::FbException& error) {
    ReleaseAll();
    m_database->RaiseError(error);
  }
  emit AfterOpen();
}

void TFbQuery::OpenTableFields(const QString& tableName) {
  Close();
  if (!m_database) throw EFbError(QStringLiteral("Not connected to a database."));
  m_database->CheckConnected();
  SetSQL(TableFieldsSql(tableName, m_database->SQLDialect()));
  Open();
}

void TFbQuery::ExecSQL() {
  Close();
  if (!m_database) throw EFbError(QStringLiteral("Not connected to a database."));
  m_database->CheckConnected();
  if (m_sql.trimmed().isEmpty())
    throw EFbError(QStringLiteral("There is no SQL statement to run."));
  const QByteArray text = FbEncodeStatement(m_sql, m_database->ConnectionCharset());
  TFbTransaction& transaction = m_database->DefaultTransaction();
  transaction.StartIfInactive();
  Fb::TStatus status;
  try {
    m_database->Handle()->execute(&status, transaction.Handle(), unsigned(text.size()),
                                  text.constData(), unsigned(m_database->SQLDialect()), nullptr,
                                  nullptr, nullptr, nullptr);
  } catch (const Firebird::FbException& error) {
    m_database->RaiseError(error);
  }
}

void TFbQuery::Close() noexcept {
  if (!m_statement && !m_cursor && !m_meta) return;
  if (m_cursor) emit BeforeClose();
  ReleaseAll();
}

void TFbQuery::ReleaseAll() noexcept {
  Fb::TStatus status;
  if (m_cursor) {
    try {
      m_cursor->close(&status); // releases it on success
      m_cursor = nullptr;
    } catch (const Firebird::FbException&) {
      Fb::ReleaseRef(m_cursor); // the connection or transaction is gone; nothing to close
    }
  }
  if (m_statement) {
    try {
      m_statement->free(&status);
      m_statement = nullptr;
    } catch (const Firebird::FbException&) {
      Fb::ReleaseRef(m_statement);
    }
  }
  Fb::ReleaseRef(m_meta);
  m_format.Clear();
  m_row.clear();
  m_row.shrink_to_fit();
  m_pending = m_hasRow = false;
  m_eof = true;
}

bool TFbQuery::Next() {
  if (!m_cursor || m_eof) {
    m_hasRow = false;
    return false;
  }
  if (m_pending) {
    m_pending = false;
    m_hasRow = true;
    ++m_rowsFetched;
    return true;
  }
  try {
    if (m_cursor->fetchNext(&m_fetchStatus, m_row.data()) == Firebird::IStatus::RESULT_OK) {
      m_hasRow = true;
      ++m_rowsFetched;
      return true;
    }
  } catch (const Firebird::FbException& error) {
    m_eof = true;
    m_hasRow = false;
    m_database->RaiseError(error);
  }
  m_eof = true;
  m_hasRow = false;
  return false;
}

bool TFbQuery::IsNull(int field) const {
  if (!m_hasRow || field < 0 || field >= FieldCount()) return true;
  return m_format.IsNull(m_row.data(), field);
}

QString TFbQuery::Text(int field) {
  if (!m_hasRow || field < 0 || field >= FieldCount()) return QString();
  return m_format.Text(m_row.data(), field);
}

void TFbQuery::AppendText(int field, TFbTextBuffer& buffer) {
  if (!m_hasRow || field < 0 || field >= FieldCount()) return;
  m_format.Append(m_row.data(), field, buffer);
}

// ---------------------------------------------------------------------------------------------

TFbFieldList::TFbFieldList(const TKvDataSet& source) {
  for (int i = 0; i < source.FieldCount(); ++i) {
    m_names.append(source.FieldName(i));
    m_types.push_back(source.FieldType(i));
  }
}

int TFbFieldList::FieldType(int index) const {
  return index >= 0 && index < FieldCount() ? m_types[std::size_t(index)] : ftUnknown;
}

TFbFieldList ReadTableFields(TFbDatabase& database, const QString& tableName) {
  TFbQuery query(&database);
  query.OpenTableFields(tableName);
  return TFbFieldList(query);
}
