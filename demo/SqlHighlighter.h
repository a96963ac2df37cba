#pragma once

// Colours the SQL page with the designer's own tokenizer: keywords, functions, strings, numbers
// and names. Each line is read on its own; a quote left open at the end of a line carries into
// the next, and one never closed just colours the rest as quoted text.

#include "KvIBScanner.h"

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

class TSqlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
public:
  enum TFormatKind { fkKeyword, fkFunction, fkString, fkNumber, fkName, fkCount };

  explicit TSqlHighlighter(QTextDocument* document);

  // Double quotes enclose names in dialect 3 and strings in dialect 1.
  void SetSQLDialect(TKvSQLDialect dialect);
  TKvSQLDialect SQLDialect() const { return m_scanner.SQLDialect(); }
  // The word lists of the designer, so both agree on what a keyword is.
  void SetWords(const QStringList& keywords, const QStringList& functions);

  const QTextCharFormat& Format(TFormatKind kind) const { return m_formats[kind]; }

protected:
  void highlightBlock(const QString& text) override;

private:
  // Block states: -1/0 nothing open, else the code of the quote left open.
  void ColourQuoted(int start, int length, QChar quote);
  void ScanFrom(const QString& text, int start);

  TKvIBScanner m_scanner;
  QTextCharFormat m_formats[fkCount];
};
