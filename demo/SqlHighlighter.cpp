#include "SqlHighlighter.h"

#include "KvParserError.h"

#include <QFont>

TSqlHighlighter::TSqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  m_formats[fkKeyword].setForeground(QColor(0x00, 0x33, 0xb3));
  m_formats[fkKeyword].setFontWeight(QFont::Bold);
  m_formats[fkFunction].setForeground(QColor(0x8a, 0x2b, 0xa0));
  m_formats[fkString].setForeground(QColor(0x06, 0x7d, 0x17));
  m_formats[fkNumber].setForeground(QColor(0xc0, 0x50, 0x00));
  m_formats[fkName].setForeground(QColor(0x00, 0x5f, 0x73));
}

void TSqlHighlighter::SetSQLDialect(TKvSQLDialect dialect) {
  if (dialect == m_scanner.SQLDialect()) return;
  m_scanner.SetSQLDialect(dialect);
  rehighlight();
}

void TSqlHighlighter::SetWords(const QStringList& keywords, const QStringList& functions) {
  m_scanner.Keywords().SetWords(keywords);
  m_scanner.Functions().SetWords(functions);
  rehighlight();
}

void TSqlHighlighter::ColourQuoted(int start, int length, QChar quote) {
  const bool name = m_scanner.IsNameQuote(quote) && !m_scanner.IsQuote(quote);
  setFormat(start, length, m_formats[name ? fkName : fkString]);
}

void TSqlHighlighter::highlightBlock(const QString& text) {
  setCurrentBlockState(0);
  int start = 0;
  const int open = previousBlockState();
  if (open > 0) {
    // Inside quoted text begun on an earlier line: it ends at the first single quote char (a
    // doubled one is part of the text).
    const QChar quote(open);
    int i = 0;
    for (; i < text.length(); ++i) {
      if (text[i] != quote) continue;
      if (i + 1 < text.length() && text[i + 1] == quote) {
        ++i;
        continue;
      }
      break;
    }
    if (i >= text.length()) {
      ColourQuoted(0, int(text.length()), quote);
      setCurrentBlockState(open);
      return;
    }
    ColourQuoted(0, i + 1, quote);
    start = i + 1;
  }
  ScanFrom(text, start);
}

void TSqlHighlighter::ScanFrom(const QString& text, int start) {
  const QString rest = text.mid(start);
  if (rest.trimmed().isEmpty()) return;
  try {
    m_scanner.SetText(rest);
    // SetText read the first token already.
    for (int guard = 0; guard <= rest.length(); ++guard) {
      const TKvTokenKind kind = m_scanner.TokenKind();
      const int from = start + m_scanner.TokenStart() - 1;
      const int length = m_scanner.Position() - m_scanner.TokenStart();
      const bool quoted = m_scanner.TokenWasQuoted();
      if (kind == tkEnd && m_scanner.Token().isEmpty()) break;
      if (quoted) {
        // The quotes around the text belong to it.
        const QChar quote = from > 0 ? text[from - 1] : QChar();
        ColourQuoted(from - 1, length + 2, quote);
      } else if (length > 0) {
        switch (kind) {
        case tkKeyword:
          setFormat(from, length, m_formats[fkKeyword]);
          break;
        case tkFunction:
          setFormat(from, length, m_formats[fkFunction]);
          break;
        case tkInteger:
        case tkFloat:
          setFormat(from, length, m_formats[fkNumber]);
          break;
        case tkIdentifier:
          setFormat(from, length, m_formats[fkName]);
          break;
        default:
          break;
        }
      }
      if (m_scanner.Position() > m_scanner.TextLength()) break;
      m_scanner.NextToken();
    }
    // Quoted text running to the end of the line goes on in the next one.
    if (m_scanner.InQuote()) setCurrentBlockState(m_scanner.QuoteChar().unicode());
  } catch (const EKvParserError& error) {
    // A quote left open: the rest of the line is quoted text, and so is what follows.
    const int from = start + error.Position() - 1;
    if (from >= start && from < text.length()) {
      const QChar quote = text[from];
      ColourQuoted(from, int(text.length()) - from, quote);
      setCurrentBlockState(quote.unicode());
    }
  }
}
