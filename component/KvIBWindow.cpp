#include "KvIBWindow.h"

TInterBaseKvarta::TInterBaseKvarta(QWidget* parent)
    : TCustomKvarta(parent, std::make_unique<TKvIBSelectParser>()) {}

std::unique_ptr<TKvSelectParser> TInterBaseKvarta::CreateParser() const {
  return std::make_unique<TKvIBSelectParser>();
}

TKvIBSelectParser* TInterBaseKvarta::IBParser() const {
  return dynamic_cast<TKvIBSelectParser*>(SelectParser());
}

TKvSQLDialect TInterBaseKvarta::SQLDialect() const {
  auto* scanner = dynamic_cast<const TKvIBScanner*>(SelectParser()->Scanner());
  return scanner ? scanner->SQLDialect() : kibDialect1;
}

void TInterBaseKvarta::SetSQLDialect(TKvSQLDialect dialect) {
  if (auto* scanner = dynamic_cast<TKvIBScanner*>(SelectParser()->Scanner()))
    scanner->SetSQLDialect(dialect);
}

TKvIBSQLServer TInterBaseKvarta::SQLServer() const {
  return IBParser() ? IBParser()->SQLServer() : kssInterBase;
}

void TInterBaseKvarta::SetSQLServer(TKvIBSQLServer server) {
  if (IBParser() && IBParser()->SQLServer() != server) IBParser()->SetSQLServer(server);
}
