#pragma once

#include "KvScanner.h"

#include <cstdint>

enum TKvSQLDialect : std::uint8_t { kibDialect1 = 0, kibDialect3 = 1 };

// The InterBase/Firebird tokenizer: the server's reserved words and functions, the string
// concatenation operator, and name quoting by SQL dialect (dialect 3 has quoted names in double
// quotes; in dialect 1 double quotes enclose strings and names are upper case).
class TKvIBScanner : public TKvSQLScanner {
public:
  TKvIBScanner();

  bool IsLetter(QChar ch) const override;
  bool IsQuote(QChar ch) const override;
  bool IsNameQuote(QChar ch) const override;
  bool IsIdentChar(QChar ch) const override;
  bool QuoteAliases() const override;
  bool QuoteNamesEnabled() const override;
  bool NeedsQuotes(const QString& s) const override;
  QString GetFunctionList() const override;
  QString GetOperatorList() const override;
  QString GetKeywordList() const override;
  QString Unquote(const QString& s) const override;
  QString QuoteName(const QString& s) const override;
  QString QuoteIdentifier(const QString& s) const override;

  TKvSQLDialect SQLDialect() const { return m_dialect; }
  void SetSQLDialect(TKvSQLDialect dialect) {
    if (dialect == m_dialect) return;
    m_dialect = dialect;
    BuildCharClasses();
  }

protected:
  // The server folds unquoted names to upper case; so does the tokenizer, so that names read
  // in any letter case are written back meaning the same object.
  void TokenRead(QString& token) const override;

private:
  TKvSQLDialect m_dialect = kibDialect3;
};
