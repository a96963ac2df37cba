#pragma once

#include "KvIBParser.h"
#include "KvWindow.h"

// The designer component for InterBase and Firebird: reads and writes their SQL, with the
// quoting of the database's SQL dialect and the row-limiting clause of the chosen server.
class TInterBaseKvarta : public TCustomKvarta {
  Q_OBJECT
  Q_PROPERTY(QString SQL READ SQL WRITE SetSQL)
  Q_PROPERTY(int SQLDialect READ SQLDialectValue WRITE SetSQLDialectValue)
  Q_PROPERTY(int SQLServer READ SQLServerValue WRITE SetSQLServerValue)
public:
  explicit TInterBaseKvarta(QWidget* parent = nullptr);

  std::unique_ptr<TKvSelectParser> CreateParser() const override;

  // The tokenizer's SQL dialect (kibDialect1 when the parser has another tokenizer). Takes
  // effect at the next read or write of SQL; the surface is not rebuilt.
  TKvSQLDialect SQLDialect() const;
  void SetSQLDialect(TKvSQLDialect dialect);
  // Which row-limiting clause is read and written: FIRST/SKIP (Firebird) or ROWS (InterBase).
  TKvIBSQLServer SQLServer() const;
  void SetSQLServer(TKvIBSQLServer server);

  TKvIBSelectParser* IBParser() const;

protected:
  // The row limits of both servers.
  void SaveDialectState(QDataStream& out) const override;
  void LoadDialectState(QDataStream& in) override;

private:
  int SQLDialectValue() const { return SQLDialect(); }
  void SetSQLDialectValue(int value) { SetSQLDialect(TKvSQLDialect(value)); }
  int SQLServerValue() const { return SQLServer(); }
  void SetSQLServerValue(int value) { SetSQLServer(TKvIBSQLServer(value)); }
};
