#include "KvIBParser.h"

TKvIBSelectParser::TKvIBSelectParser() {
  // The base constructor made the generic tokenizer; this dialect reads with its own.
  InitScanner();
}

std::unique_ptr<TKvSQLScanner> TKvIBSelectParser::CreateScanner() {
  return std::make_unique<TKvIBScanner>();
}

void TKvIBSelectParser::Clear() {
  TKvSelectParser::Clear();
  m_ibOptions.Clear();
  m_fbOptions.Clear();
}

TKvSQLDialect TKvIBSelectParser::SQLDialect() const {
  auto* ib = dynamic_cast<const TKvIBScanner*>(Scanner());
  return ib ? ib->SQLDialect() : kibDialect1;
}

void TKvIBSelectParser::SetSQLDialect(TKvSQLDialect dialect) {
  if (auto* ib = dynamic_cast<TKvIBScanner*>(Scanner())) ib->SetSQLDialect(dialect);
}

// Reads a row count after FIRST, SKIP, ROWS, TO or BY: the current token must be a whole
// number that fits; on success the token after it is current.
bool TKvIBSelectParser::ReadCount(int& value) {
  if (Kind() != tkInteger) {
    Fail();
    return false;
  }
  bool ok = false;
  const int v = Tok().toInt(&ok);
  if (!ok) {
    // Too large for a row count: refuse the number rather than wrap it.
    Fail();
    return false;
  }
  value = v;
  Next();
  return true;
}

void TKvIBSelectParser::ReadSelectHead() {
  if (m_sqlServer == kssFireBird) {
    if (IsKeywordToken("FIRST")) {
      Next();
      const TokenPos at = Here();
      if (!ReadCount(m_fbOptions.First)) return;
      // FIRST 0 returns no rows, but 0 means "no limit" to the writer.
      if (m_fbOptions.First == 0) {
        FailAt(at);
        return;
      }
    }
    if (IsKeywordToken("SKIP")) {
      Next();
      if (!ReadCount(m_fbOptions.Skip)) return;
    }
  }
  TKvSelectParser::ReadSelectHead();
}

void TKvIBSelectParser::ReadTail() {
  if (m_sqlServer != kssInterBase || !IsKeywordToken("ROWS")) {
    TKvSelectParser::ReadTail();
    return;
  }
  Next();
  const TokenPos rowsAt = Here();
  if (!ReadCount(m_ibOptions.Rows)) return;
  if (IsKeywordToken("TO")) {
    Next();
    if (!ReadCount(m_ibOptions.RowsTo)) return;
  }
  if (IsKeywordToken("BY")) {
    Next();
    if (!ReadCount(m_ibOptions.RowsBy)) return;
  }
  if (IsKeywordToken("PERCENT")) {
    Next();
    m_ibOptions.Percent = true;
  }
  if (IsKeywordToken("WITH")) {
    Next();
    if (!IsKeywordToken("TIES")) {
      Fail();
      return;
    }
    Next();
    m_ibOptions.WithTies = true;
  }
  // ROWS 0 alone limits to nothing, but the writer leaves such a clause out.
  if (m_ibOptions.Rows < 1 && m_ibOptions.RowsTo < 1 && m_ibOptions.RowsBy < 1) {
    FailAt(rowsAt);
    return;
  }
  // The clause is the last one: anything after it is an error.
  if (!AtEnd()) Fail();
}

QString TKvIBSelectParser::FirstSkipText() const {
  QString r;
  if (m_fbOptions.First > 0) r = QStringLiteral("FIRST %1").arg(m_fbOptions.First);
  if (m_fbOptions.Skip > 0) {
    if (!r.isEmpty()) r += QLatin1Char(' ');
    r += QStringLiteral("SKIP %1").arg(m_fbOptions.Skip);
  }
  if (!r.isEmpty()) r += QLatin1Char(' ');
  return r;
}

QString TKvIBSelectParser::RowsText() const {
  const TKvIBOptions& o = m_ibOptions;
  if (o.Rows < 1 && o.RowsTo < 1 && o.RowsBy < 1) return QString();
  QString r = QStringLiteral("ROWS %1").arg(o.Rows);
  if (o.RowsTo > 0) r += QStringLiteral(" TO %1").arg(o.RowsTo);
  if (o.RowsBy > 0) r += QStringLiteral(" BY %1").arg(o.RowsBy);
  if (o.Percent) r += QStringLiteral(" PERCENT");
  if (o.WithTies) r += QStringLiteral(" WITH TIES");
  return r;
}

QString TKvIBSelectParser::GetSQL() {
  QString s = TableDefs()->GetSQL();
  if (s.isEmpty()) return s;
  if (Distinct()) s = FormatKeyword(QStringLiteral("DISTINCT")) + QLatin1Char(' ') + s;
  if (m_sqlServer == kssFireBird)
    s = FormatKeyword(QStringLiteral("SELECT")) + QLatin1Char(' ') + FirstSkipText() + s;
  else
    s = FormatKeyword(QStringLiteral("SELECT")) + QLatin1Char(' ') + s;
  s += WhereItems()->GetSQL();
  s += GroupByItems()->GetSQL();
  s += HavingItems()->GetSQL();
  s += OrderByItems()->GetSQL();
  if (m_sqlServer == kssInterBase) s += RowsText();
  return s;
}
