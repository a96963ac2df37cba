#pragma once

#include "KvError.h"

// A syntax error in SQL text: Code 1 an unexpected token, 2 the end came too early, 3 an
// unterminated string. Line and Position (the column where the token starts) are 1-based.
class EKvParserError : public EKvError {
public:
  EKvParserError(int code, int line, int position, const QString& token);

  static QString MessageFor(int code, int line, int position, const QString& token);

  int Code() const { return m_code; }
  int Line() const { return m_line; }
  int Position() const { return m_position; }
  const QString& Token() const { return m_token; }

private:
  int m_code;
  int m_line;
  int m_position;
  QString m_token;
};
