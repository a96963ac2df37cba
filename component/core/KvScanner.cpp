#include "KvScanner.h"

#include "KvParserError.h"
#include "KvText.h"

#include <algorithm>

namespace {

bool LessCaseInsensitive(const QString& a, const QString& b) {
  const int c = QString::compare(a, b, Qt::CaseInsensitive);
  return c < 0 || (c == 0 && a < b);
}

int FirstBit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= 'a' && u <= 'z') return u - 'a';
  if (u >= 'A' && u <= 'Z') return u - 'A';
  return 63;
}

// One shared string per ASCII character: punctuation tokens need no new strings.
const QString& SingleCharacter(QChar ch) {
  static const QList<QString> table = [] {
    QList<QString> t;
    for (char16_t c = 0; c < 128; ++c)
      t.append(QString(QChar(c)));
    return t;
  }();
  return table[ch.unicode()];
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TKvWordList

void TKvWordList::SetCommaText(const QString& text) {
  QStringList words;
  for (const QString& w : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString t = w.trimmed();
    if (!t.isEmpty()) words << t;
  }
  SetWords(words);
}

void TKvWordList::SetWords(const QStringList& words) {
  m_words = words;
  std::sort(m_words.begin(), m_words.end(), LessCaseInsensitive);
  m_lookup.clear();
  m_lookup.reserve(std::size_t(m_words.size()));
  m_firstsByLength.fill(0);
  m_lasts = 0;
  m_lastFound.word = nullptr;
  for (const QString& w : m_words) {
    m_lookup.insert(w);
    if (w.isEmpty()) continue;
    m_firstsByLength[std::size_t(std::min<qsizetype>(w.size(), 63))] |= quint64(1)
                                                                         << FirstBit(w.front());
    m_lasts |= quint64(1) << FirstBit(w.back());
  }
}

bool TKvWordList::Equal::operator()(QStringView a, QStringView b) const noexcept {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    const char16_t x = a[i].unicode();
    const char16_t y = b[i].unicode();
    if (x == y) continue;
    if (x < 0x80 && y < 0x80) {
      const char16_t lx = x | 0x20;
      if (lx != (y | 0x20) || lx < 'a' || lx > 'z') return false;
    } else if (QChar(x).toCaseFolded() != QChar(y).toCaseFolded()) {
      return false;
    }
  }
  return true;
}

std::size_t TKvWordList::Hash::operator()(QStringView s) const noexcept {
  std::size_t h = 14695981039346656037ull;
  for (QChar c : s) {
    char16_t u = c.unicode();
    if (u >= 'a' && u <= 'z')
      u = char16_t(u - 32);
    else if (u >= 0x80)
      u = QChar(u).toUpper().unicode();
    h = (h ^ u) * 1099511628211ull;
  }
  return h;
}

bool TKvWordList::MayContain(QStringView word) const {
  return !word.isEmpty() &&
         (m_firstsByLength[std::size_t(std::min<qsizetype>(word.size(), 63))] &
          (quint64(1) << FirstBit(word.front()))) &&
         (m_lasts & (quint64(1) << FirstBit(word.back())));
}

const QString* TKvWordList::Find(QStringView word) const {
  if (!MayContain(word)) return nullptr;
  if (m_lastFound.word && Equal()(word, *m_lastFound.word)) return m_lastFound.word;
  const auto it = m_lookup.find(word);
  return it == m_lookup.end() ? nullptr : &*it;
}

bool TKvWordList::Contains(QStringView word) const {
  if (!MayContain(word)) return false;
  const auto it = m_lookup.find(word);
  if (it == m_lookup.end()) return false;
  m_lastFound.word = &*it;
  return true;
}

// ---------------------------------------------------------------------------------------------
// TKvScanner

TKvScanner::TKvScanner() {
  TKvScanner::Reset();
}

bool TKvScanner::IsLetter(QChar ch) const {
  return (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
         (ch >= QLatin1Char('a') && ch <= QLatin1Char('z'));
}

bool TKvScanner::IsDelimiter(QChar ch) const {
  switch (ch.unicode()) {
  case '.':
  case ',':
  case '/':
  case '\\':
  case ';':
  case ':':
  case '(':
  case ')':
  case '{':
  case '}':
  case '[':
  case ']':
  case '*':
  case '+':
  case '-':
  case '<':
  case '=':
  case '>':
  case '!':
  case '\r':
    return true;
  default:
    return false;
  }
}

bool TKvScanner::IsDigit(QChar ch) const {
  return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

bool TKvScanner::IsQuote(QChar ch) const {
  return ch == QLatin1Char('"') || ch == QLatin1Char('\'');
}

bool TKvScanner::IsBlank(QChar ch) const {
  return ch == QLatin1Char('\t') || ch == QLatin1Char(' ');
}

QString TKvScanner::PeekToken() {
  const int position = m_position;
  const bool inQuote = m_inQuote;
  const QChar quoteChar = m_quoteChar;
  const int bracketLevel = m_bracketLevel;
  const QString token = m_token;
  const QString s = NextToken();
  m_position = position;
  m_inQuote = inQuote;
  m_quoteChar = quoteChar;
  m_bracketLevel = bracketLevel;
  m_token = token;
  return s;
}

bool TKvScanner::IsOpenBracket(QChar ch) const {
  return ch == QLatin1Char('(');
}

bool TKvScanner::IsCloseBracket(QChar ch) const {
  return ch == QLatin1Char(')');
}

void TKvScanner::Reset() {
  m_token.clear();
  m_position = 1;
  m_bracketLevel = 0;
  m_inQuote = false;
  m_quoteChar = QChar();
}

void TKvScanner::SetPosition(int n) {
  if (n == m_position) return;
  if (n == 1)
    First();
  else
    Reset();
  if (n < 1 || m_text.isEmpty())
    m_position = 1;
  else if (n > m_text.length())
    m_position = m_text.length();
  else
    m_position = n;
}

QString TKvScanner::First() {
  Reset();
  return NextToken();
}

void TKvScanner::SetText(const QString& text) {
  m_text = text;
  m_textLength = int(text.length());
  First();
}

// ---------------------------------------------------------------------------------------------
// TKvSQLScanner

TKvSQLScanner::TKvSQLScanner() {
  TKvSQLScanner::LoadFunctions();
  TKvSQLScanner::LoadKeywords();
  TKvSQLScanner::LoadOperators();
  m_line = 1;
  m_column = 1;
  m_quoteNames = true;
  BuildCharClasses();
}

TKvSQLScanner::TState TKvSQLScanner::SaveState() const {
  TState st;
  st.position = m_position;
  st.inQuote = m_inQuote;
  st.quoteChar = m_quoteChar;
  st.bracketLevel = m_bracketLevel;
  st.token = m_token;
  st.tokenKind = m_tokenKind;
  st.line = m_line;
  st.column = m_column;
  st.blankCount = m_blankCount;
  st.emptyStringPending = m_emptyStringPending;
  st.tokenWasQuoted = m_tokenWasQuoted;
  st.tokenStart = m_tokenStart;
  return st;
}

void TKvSQLScanner::RestoreState(const TState& st) {
  m_position = st.position;
  m_inQuote = st.inQuote;
  m_quoteChar = st.quoteChar;
  m_bracketLevel = st.bracketLevel;
  m_token = st.token;
  m_tokenKind = st.tokenKind;
  m_line = st.line;
  m_column = st.column;
  m_blankCount = st.blankCount;
  m_emptyStringPending = st.emptyStringPending;
  m_tokenWasQuoted = st.tokenWasQuoted;
  m_tokenStart = st.tokenStart;
}

QString TKvSQLScanner::PeekToken() {
  const TState saved = SaveState();
  QString s;
  try {
    s = NextToken();
  } catch (...) {
    RestoreState(saved);
    throw;
  }
  RestoreState(saved);
  return s;
}

void TKvSQLScanner::BuildCharClasses() {
  for (char16_t c = 0; c < 128; ++c) {
    const QChar ch(c);
    quint16 cls = 0;
    if (IsQuote(ch)) cls |= ccQuote;
    if (IsNameQuote(ch)) cls |= ccNameQuote;
    if (IsDelimiter(ch)) cls |= ccDelimiter;
    if (IsBlank(ch)) cls |= ccBlank;
    if (IsDigit(ch)) cls |= ccDigit;
    if (IsCompareChar(ch)) cls |= ccCompare;
    if (IsOpenBracket(ch)) cls |= ccOpen;
    if (IsCloseBracket(ch)) cls |= ccClose;
    if (IsLetter(ch)) cls |= ccLetter;
    if (IsIdentChar(ch)) cls |= ccIdent;
    m_classes[c] = cls;
  }
}

bool TKvSQLScanner::HasWide(QChar ch, quint16 cls) const {
  return ((cls & ccQuote) && IsQuote(ch)) || ((cls & ccNameQuote) && IsNameQuote(ch)) ||
         ((cls & ccDelimiter) && IsDelimiter(ch)) || ((cls & ccBlank) && IsBlank(ch)) ||
         ((cls & ccDigit) && IsDigit(ch)) || ((cls & ccCompare) && IsCompareChar(ch)) ||
         ((cls & ccOpen) && IsOpenBracket(ch)) || ((cls & ccClose) && IsCloseBracket(ch)) ||
         ((cls & ccLetter) && IsLetter(ch)) || ((cls & ccIdent) && IsIdentChar(ch));
}

void TKvSQLScanner::Reset() {
  TKvScanner::Reset();
  m_column = 1;
  m_line = m_tokenKind == tkNewLine ? 2 : 1;
  // A string left open by an earlier text must not leak into the next one.
  m_emptyStringPending = false;
}

void TKvSQLScanner::SetPosition(int n) {
  if (n == m_position) return;
  TKvScanner::SetPosition(n);
  if (m_position == m_textLength)
    m_tokenKind = tkEnd;
  else if (m_token.isEmpty())
    m_tokenKind = tkUnknown;
}

bool TKvSQLScanner::ClosesQuote(QChar ch, QStringView soFar) const {
  if (ch != m_quoteChar) return false;
  if (m_position == m_textLength) return true;
  return IsClosingQuote(ch, soFar, CharAt(m_position + 1), m_quoteChar);
}

QString TKvSQLScanner::NextToken() {
  for (;;) {
    if (m_tokenKind != tkSpace && m_tokenKind != tkNewLine) m_blankCount = 0;
    TKvTokenKind kind = tkUnknown;
    bool kindSet = false;
    bool fromQuotes = false;
    const int start = m_position;
    int len = 0;

    while (m_position <= m_textLength) {
      const QChar ch = CharAt(m_position);
      if (Has(ch, ccQuote | ccNameQuote) &&
          (m_quoteChar.isNull() || ClosesQuote(ch, QStringView(m_text).mid(start - 1, len)))) {
        if (len == 0 && !m_emptyStringPending) {
          // An opening or closing quote.
          m_quoteChar = m_quoteChar.isNull() ? ch : QChar();
          m_inQuote = !m_quoteChar.isNull();
          if (m_inQuote) {
            m_quoteLine = m_line;
            m_quoteColumn = m_column;
            m_quotePosition = m_position;
          }
          const bool hasNext = m_position + 1 <= m_textLength;
          const bool nextIsLast = m_position + 1 == m_textLength;
          m_emptyStringPending = m_inQuote && hasNext && CharAt(m_position + 1) == m_quoteChar &&
                                 (nextIsLast || CharAt(m_position + 2) != m_quoteChar);
          len = 1;
          kind = tkQuote;
          kindSet = true;
          ++m_position;
        } else {
          // The contents of a quoted text end here; the closing quote comes next time.
          if (m_inQuote) {
            const bool name = Has(ch, ccNameQuote);
            const bool str = Has(ch, ccQuote);
            kind = name && str ? tkQuoted : name ? tkIdentifier : str ? tkString : tkUnknown;
            kindSet = true;
            fromQuotes = true;
          }
          m_emptyStringPending = false;
        }
        break;
      }

      if (!m_inQuote) {
        if (ch == QLatin1Char('.') && len > 0 &&
            IsNumber(QStringView(m_text).mid(start - 1, len))) {
          int j = m_position + 1;
          while (j <= m_textLength && Has(CharAt(j), ccDigit))
            ++j;
          const bool decimal = j >= m_textLength || Has(CharAt(j), ccBlank) ||
                               CharAt(j) == QLatin1Char('\n') ||
                               (Has(CharAt(j), ccDelimiter) && CharAt(j) != QLatin1Char('.'));
          if (decimal) {
            len = j - start;
            m_position = j;
            kind = tkFloat;
            kindSet = true;
            break;
          }
        }
        // A bare line feed breaks lines as CR LF does: text from files and editors here uses it.
        if (Has(ch, ccDelimiter | ccBlank) || ch == QLatin1Char('\n')) {
          if (len > 0) break;
          len = 1;
          kind = Has(ch, ccBlank) ? tkSpace : tkDelimiter;
          kindSet = true;
          ++m_position;
          if (ch == QLatin1Char('\r') && m_position <= m_textLength &&
              CharAt(m_position) == QLatin1Char('\n')) {
            ++len;
            ++m_position;
            kind = tkNewLine;
          } else if (ch == QLatin1Char('\n')) {
            kind = tkNewLine;
          } else if (Has(ch, ccCompare)) {
            kind = tkCompare;
            if (m_position <= m_textLength && Has(CharAt(m_position), ccCompare)) {
              ++len;
              ++m_position;
            }
          }
          if (kind == tkNewLine) {
            ++m_line;
            m_column = 1;
          }
          break;
        }
      }
      ++len;
      ++m_position;
    }

    if (kind == tkSpace || kind == tkNewLine || kind == tkQuote) {
      // Blanks, line breaks and quotes are skipped: no text needs to be made for them.
      if (kind != tkNewLine) m_column += len;
      if (kind != tkQuote) ++m_blankCount;
      m_tokenKind = kind;
      continue;
    }
    if (!kindSet && m_inQuote && len > 0) {
      // The text ended inside quotes: what was read is still quoted text.
      const bool name = Has(m_quoteChar, ccNameQuote);
      const bool str = Has(m_quoteChar, ccQuote);
      kind = name && str ? tkQuoted : name ? tkIdentifier : str ? tkString : tkUnknown;
      kindSet = true;
      fromQuotes = true;
    }
    const QStringView sv = QStringView(m_text).mid(start - 1, len);
    const QString* shared = nullptr; // a list's own copy of the word, saving a new string
    if (kindSet) {
      // A quoted ";" is text, not the end of the statement.
      if (!fromQuotes && sv == QLatin1String(";")) kind = tkEnd;
    } else if (sv.isEmpty()) {
      kind = tkEnd;
    } else if (IsFunction(sv)) {
      kind = tkFunction;
      shared = m_functions.Find(sv);
    } else if (IsKeyword(sv)) {
      kind = tkKeyword;
      shared = m_keywords.Find(sv);
    } else if (IsNumber(sv)) {
      kind = tkInteger;
    } else if (IsIdentifier(sv) || IsIdentifier(Unquote(sv.toString()))) {
      kind = tkIdentifier;
    }
    // Quoted text stays what it is even when it spells an operator.
    if (!fromQuotes && IsOperator(sv)) {
      kind = tkOperator;
      shared = m_operators.Find(sv);
    }
    QString s;
    if (shared && *shared == sv)
      s = *shared;
    else if (len == 1 && !fromQuotes && sv.front().unicode() < 128)
      s = SingleCharacter(sv.front());
    else
      s = sv.toString();
    if (fromQuotes && s.contains(QLatin1Char('\n'))) {
      // Quoted text over several lines: the next token starts on its last line.
      m_line += int(s.count(QLatin1Char('\n')));
      m_column = int(s.length() - s.lastIndexOf(QLatin1Char('\n')));
    } else {
      m_column += int(s.length());
    }
    // The end of the text reads nothing: the bracket before it was counted already.
    if (!m_inQuote && m_position > 1 && !s.isEmpty()) {
      const QChar before = CharAt(m_position - 1);
      if (Has(before, ccOpen))
        ++m_bracketLevel;
      else if (Has(before, ccClose))
        --m_bracketLevel;
    }
    m_tokenKind = kind;
    // The error points at the quote left open, with the text from there on.
    if (kind == tkEnd && m_inQuote)
      throw EKvParserError(3, m_quoteLine, m_quoteColumn, m_text.mid(m_quotePosition - 1));
    m_tokenWasQuoted = fromQuotes;
    m_tokenStart = start;
    TokenRead(s);
    m_token = s;
    return s;
  }
}

void TKvSQLScanner::TokenRead(QString&) const {}

bool TKvSQLScanner::IsOperator(QStringView s) const {
  return m_operators.Contains(s);
}

bool TKvSQLScanner::IsCompareChar(QChar ch) const {
  return ch == QLatin1Char('<') || ch == QLatin1Char('=') || ch == QLatin1Char('>');
}

bool TKvSQLScanner::IsIdentChar(QChar ch) const {
  return IsLetter(ch) || IsDigit(ch) || ch == QLatin1Char('-') || ch == QLatin1Char('_');
}

bool TKvSQLScanner::IsNameQuote(QChar ch) const {
  return ch == QLatin1Char('"') || ch == QLatin1Char('\'');
}

bool TKvSQLScanner::IsIdentifier(QStringView s) const {
  if (s.isEmpty() || !Has(s.front(), ccLetter)) return false;
  for (qsizetype i = 1; i < s.size(); ++i)
    if (!Has(s[i], ccIdent)) return false;
  return true;
}

bool TKvSQLScanner::IsNumber(QStringView s) const {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (!Has(c, ccDigit)) return false;
  return true;
}

bool TKvSQLScanner::IsKeyword(QStringView s) const {
  return m_keywords.Contains(s);
}

bool TKvSQLScanner::IsFunction(QStringView s) const {
  return m_functions.Contains(s);
}

bool TKvSQLScanner::IsClosingQuote(QChar ch, QStringView tokenSoFar, QChar next,
                                   QChar quote) const {
  if (ch != quote || next == quote) return false;
  int trailing = 0;
  for (qsizetype i = tokenSoFar.size() - 1; i >= 0 && tokenSoFar[i] == quote; --i)
    ++trailing;
  return trailing % 2 == 0;
}

QChar TKvSQLScanner::NameQuoteChar() const {
  return QLatin1Char('"');
}

bool TKvSQLScanner::QuoteAliases() const {
  return false;
}

bool TKvSQLScanner::QuoteNamesEnabled() const {
  return m_quoteNames;
}

QChar TKvSQLScanner::StringQuoteChar() const {
  return QLatin1Char('\'');
}

bool TKvSQLScanner::NeedsQuotes(const QString& s) const {
  return !(s.length() >= 2 && s.front() == s.back() && IsNameQuote(s.front()));
}

QString TKvSQLScanner::GetKeywordList() const {
  return QStringLiteral("SELECT,DISTINCT,INTO,FROM,WHERE,GROUP,BY,HAVING,ORDER,ASC,DESC,AS,LEFT,"
                        "RIGHT,FULL,INNER,OUTER,JOIN,ON");
}

QString TKvSQLScanner::GetFunctionList() const {
  return QStringLiteral("SUM,MIN,MAX,AVG,COUNT");
}

QString TKvSQLScanner::GetOperatorList() const {
  return QStringLiteral("+,-,*,/");
}

QString TKvSQLScanner::Unquote(const QString& s) const {
  if (s.length() > 1 && IsNameQuote(s.front()) && IsNameQuote(s.back()) && s.front() == s.back())
    return s.mid(1, s.length() - 2);
  return s;
}

void TKvSQLScanner::LoadKeywords() {
  m_keywords.SetCommaText(GetKeywordList());
}

void TKvSQLScanner::LoadFunctions() {
  m_functions.SetCommaText(GetFunctionList());
}

void TKvSQLScanner::LoadOperators() {
  m_operators.SetCommaText(GetOperatorList());
}

namespace {} // namespace

QString TKvSQLScanner::QuoteIdentifier(const QString& s) const {
  if (!QuoteNamesEnabled()) return QuoteName(s);
  return KvQuotedStr(s, NameQuoteChar());
}

QString TKvSQLScanner::QuoteName(const QString& s) const {
  if (!QuoteNamesEnabled()) return s;
  const QChar q = NameQuoteChar();
  // Most names have no quotes and at most one dot.
  if (!s.contains(q)) {
    const qsizetype dot = s.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return NeedsQuotes(s) ? KvQuotedStr(s, q) : s;
    if (dot > 0) {
      // Views into `s`, which outlives them: most names need no quotes and no new string.
      const QString qualifier = QString::fromRawData(s.constData(), dot);
      const QString last = QString::fromRawData(s.constData() + dot + 1, s.length() - dot - 1);
      const bool quoteQualifier = NeedsQuotes(qualifier);
      const bool quoteLast = NeedsQuotes(last);
      if (!quoteQualifier && !quoteLast) return s;
      return (quoteQualifier ? KvQuotedStr(qualifier, q) : qualifier) + QLatin1Char('.') +
             (quoteLast ? KvQuotedStr(last, q) : last);
    }
  }
  // Split into parts at dots outside name quotes, noting which parts were quoted.
  struct Part {
    QString text;
    bool quoted;
  };
  QList<Part> parts;
  if (s.startsWith(QLatin1Char('.'))) {
    parts.append({s, false});
  } else {
    qsizetype i = 0;
    const qsizetype n = s.length();
    while (i <= n) {
      qsizetype j = i;
      const bool quoted = j < n && s[j] == q;
      if (quoted) {
        // Through the closing quote; a doubled quote stays inside.
        ++j;
        while (j < n) {
          if (s[j] == q) {
            if (j + 1 < n && s[j + 1] == q) {
              j += 2;
              continue;
            }
            ++j;
            break;
          }
          ++j;
        }
      }
      while (j < n && s[j] != QLatin1Char('.'))
        ++j;
      parts.append({s.mid(i, j - i), quoted});
      i = j + 1;
      if (j >= n) break;
    }
  }
  const Part last = parts.takeLast();
  QString r;
  if (!parts.isEmpty()) {
    QStringList texts;
    bool anyQuoted = false;
    for (const Part& p : parts) {
      texts << p.text;
      anyQuoted = anyQuoted || p.quoted;
    }
    const QString qualifier = texts.join(QLatin1Char('.'));
    r = !anyQuoted && NeedsQuotes(qualifier) ? KvQuotedStr(qualifier, q) : qualifier;
    r += QLatin1Char('.');
  }
  if (last.quoted || !NeedsQuotes(last.text))
    r += last.text;
  else
    r += KvQuotedStr(last.text, q);
  return r;
}
