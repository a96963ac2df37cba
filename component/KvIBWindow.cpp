#include "KvIBWindow.h"

#include <QDataStream>

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

void TInterBaseKvarta::SaveDialectState(QDataStream& out) const {
  TKvIBSelectParser* parser = IBParser();
  if (!parser) return;
  const TKvIBOptions& ib = *parser->IBOptions();
  const TKvFBOptions& fb = *parser->FBOptions();
  out << ib.Percent << ib.WithTies << qint32(ib.Rows) << qint32(ib.RowsBy) << qint32(ib.RowsTo)
      << qint32(fb.First) << qint32(fb.Skip);
}

void TInterBaseKvarta::LoadDialectState(QDataStream& in) {
  TKvIBSelectParser* parser = IBParser();
  if (!parser) return;
  TKvIBOptions& ib = *parser->IBOptions();
  TKvFBOptions& fb = *parser->FBOptions();
  qint32 rows = 0, by = 0, to = 0, first = 0, skip = 0;
  in >> ib.Percent >> ib.WithTies >> rows >> by >> to >> first >> skip;
  ib.Rows = rows;
  ib.RowsBy = by;
  ib.RowsTo = to;
  fb.First = first;
  fb.Skip = skip;
}
