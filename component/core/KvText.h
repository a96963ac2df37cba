#pragma once

#include <QString>

#include <cstring>

// Small text helpers shared by the tokenizer, the parser and the SQL writer.

// `s` enclosed in `quote`, every quote inside doubled (an SQL string or quoted name).
inline QString KvQuotedStr(const QString& s, QChar quote) {
  QString r;
  r.reserve(s.length() + 2);
  r += quote;
  for (QChar c : s) {
    r += c;
    if (c == quote) r += c;
  }
  r += quote;
  return r;
}

// Whether `a` spells the upper-case ASCII `word`, in any letter case.
inline bool KvSameWord(const QString& a, const char* word) {
  const qsizetype n = qsizetype(std::strlen(word));
  if (a.size() != n) return false;
  for (qsizetype i = 0; i < n; ++i) {
    char16_t c = a[i].unicode();
    if (c >= 'a' && c <= 'z') c = char16_t(c - 32);
    if (c != char16_t(word[i])) return false;
  }
  return true;
}
