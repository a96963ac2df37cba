#include "KvParserError.h"

#include "KvResource.h"

QString EKvParserError::MessageFor(int code, int line, int position, const QString& token) {
  switch (code) {
  case 1:
    return KvResource::SInvalidToken.arg(token).arg(position).arg(line);
  case 2:
    return KvResource::SUnexpectedEnd;
  case 3:
    return KvResource::SUnterminatedString;
  default:
    return KvResource::SUnknownError.arg(code);
  }
}

EKvParserError::EKvParserError(int code, int line, int position, const QString& token)
    : EKvError(MessageFor(code, line, position, token)), m_code(code), m_line(line),
      m_position(position), m_token(token) {}
