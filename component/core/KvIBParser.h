#pragma once

#include "KvIBScanner.h"
#include "KvParser.h"

#include <cstdint>

enum TKvIBSQLServer : std::uint8_t { kssInterBase = 0, kssFireBird = 1 };

// InterBase's row-limiting clause: ROWS n TO m BY k PERCENT WITH TIES.
class TKvIBOptions {
public:
  bool Percent = false;
  bool WithTies = false;
  int Rows = 0;
  int RowsBy = 0;
  int RowsTo = 0;
  void Clear() { *this = TKvIBOptions(); }
  void Assign(const TKvIBOptions& source) { *this = source; }
};

// Firebird's row-limiting clause: FIRST n SKIP m.
class TKvFBOptions {
public:
  int First = 0;
  int Skip = 0;
  void Clear() { *this = TKvFBOptions(); }
  void Assign(const TKvFBOptions& source) { *this = source; }
};

// The SELECT parser of the InterBase/Firebird dialect.
class TKvIBSelectParser : public TKvSelectParser {
public:
  TKvIBSelectParser();

  std::unique_ptr<TKvSQLScanner> CreateScanner() override;
  void Clear() override;
  QString GetSQL() override;

  TKvIBOptions* IBOptions() { return &m_ibOptions; }
  TKvFBOptions* FBOptions() { return &m_fbOptions; }
  TKvIBSQLServer SQLServer() const { return m_sqlServer; }
  void SetSQLServer(TKvIBSQLServer server) { m_sqlServer = server; }
  // The tokenizer's SQL dialect.
  TKvSQLDialect SQLDialect() const;
  void SetSQLDialect(TKvSQLDialect dialect);

  QString FirstSkipText() const;
  QString RowsText() const;

protected:
  void ReadSelectHead() override;
  void ReadTail() override;

private:
  bool ReadCount(int& value);

  TKvIBOptions m_ibOptions;
  TKvFBOptions m_fbOptions;
  TKvIBSQLServer m_sqlServer = kssInterBase;
};
