#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <array>
#include <unordered_set>

// Kinds of the tokens a scanner delivers. The numbers are stored and compared as such.
enum TKvTokenKind : std::uint8_t {
  tkUnknown = 0,
  tkKeyword = 1,
  tkFunction = 2,
  tkDelimiter = 3,
  tkInteger = 4,
  tkFloat = 5,
  tkString = 6,
  tkQuote = 7,
  tkSpace = 8,
  tkNewLine = 9,
  tkEnd = 10,
  tkIdentifier = 11,
  tkQuoted = 12,
  tkOperator = 13,
  tkCompare = 14
};

// A case-insensitive, sorted word list with constant-time membership tests.
class TKvWordList {
public:
  void SetCommaText(const QString& text);
  void SetWords(const QStringList& words);
  const QStringList& Words() const { return m_words; }
  bool Contains(QStringView word) const;
  // The list's own string for `word` (in the list's letter case), or nullptr.
  const QString* Find(QStringView word) const;
  QString Text() const { return m_words.join(QStringLiteral("\r\n")); }

private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(QStringView s) const noexcept;
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept;
  };
  bool MayContain(QStringView word) const;

  QStringList m_words; // sorted case-insensitively
  std::unordered_set<QString, Hash, Equal> m_lookup;
  // Quick refusals before hashing: the first letters per length, and the last letters.
  std::array<quint64, 64> m_firstsByLength{};
  quint64 m_lasts = 0;
  // The tokenizer asks Contains and then Find for the same word: the last word found is kept.
  // Points into m_lookup, so a copy starts without it.
  struct TLastFound {
    const QString* word = nullptr;
    TLastFound() = default;
    TLastFound(const TLastFound&) {}
    TLastFound& operator=(const TLastFound&) {
      word = nullptr;
      return *this;
    }
  };
  mutable TLastFound m_lastFound;
};

// Position bookkeeping and character classes of a tokenizer; the token rules come from the
// derived classes. Positions are 1-based indexes into Text.
class TKvScanner {
public:
  TKvScanner();
  virtual ~TKvScanner() = default;
  TKvScanner(const TKvScanner&) = delete;
  TKvScanner& operator=(const TKvScanner&) = delete;

  virtual bool IsLetter(QChar ch) const;
  virtual bool IsDelimiter(QChar ch) const;
  virtual bool IsDigit(QChar ch) const;
  virtual bool IsQuote(QChar ch) const;
  virtual bool IsBlank(QChar ch) const;
  virtual QString PeekToken();
  virtual bool IsOpenBracket(QChar ch) const;
  virtual bool IsCloseBracket(QChar ch) const;
  virtual void Reset();
  virtual void SetPosition(int n);
  virtual QString First();
  virtual QString NextToken() = 0;

  // Sets the text and reads its first token.
  void SetText(const QString& text);

  const QString& Text() const { return m_text; }
  int Position() const { return m_position; }
  int TextLength() const { return m_textLength; }
  const QString& Token() const { return m_token; }
  int BracketLevel() const { return m_bracketLevel; }
  bool InQuote() const { return m_inQuote; }
  QChar QuoteChar() const { return m_quoteChar; }

protected:
  QChar CharAt(int position) const { return m_text.at(position - 1); }

  QString m_text;
  int m_position = 1;
  int m_textLength = 0;
  QString m_token;
  int m_bracketLevel = 0;
  bool m_inQuote = false;
  QChar m_quoteChar;
};

// The generic SQL tokenizer: keywords, function names and arithmetic operators from word lists,
// quoted strings and names, line and column tracking for error messages.
class TKvSQLScanner : public TKvScanner {
public:
  TKvSQLScanner();

  QString PeekToken() override;
  void Reset() override;
  void SetPosition(int n) override;
  QString NextToken() override;

  virtual bool IsOperator(QStringView s) const;
  virtual bool IsCompareChar(QChar ch) const;
  virtual bool IsIdentChar(QChar ch) const;
  virtual bool IsNameQuote(QChar ch) const;
  virtual bool IsIdentifier(QStringView s) const;
  virtual bool IsNumber(QStringView s) const;
  virtual bool IsKeyword(QStringView s) const;
  virtual bool IsFunction(QStringView s) const;
  virtual bool IsClosingQuote(QChar ch, QStringView tokenSoFar, QChar next, QChar quote) const;
  virtual QChar NameQuoteChar() const;
  virtual bool QuoteAliases() const;
  virtual bool QuoteNamesEnabled() const;
  virtual QChar StringQuoteChar() const;
  virtual bool NeedsQuotes(const QString& s) const;
  virtual QString GetKeywordList() const;
  virtual QString GetFunctionList() const;
  virtual QString GetOperatorList() const;
  virtual QString Unquote(const QString& s) const;
  virtual void LoadKeywords();
  virtual void LoadFunctions();
  virtual void LoadOperators();
  virtual QString QuoteName(const QString& s) const;
  // Quotes one name as a whole (a dot inside is part of the name), when the dialect needs it.
  virtual QString QuoteIdentifier(const QString& s) const;

  // Everything NextToken changes, for look-ahead and backing up without rescanning.
  struct TState {
    int position = 1;
    bool inQuote = false;
    QChar quoteChar;
    int bracketLevel = 0;
    QString token;
    TKvTokenKind tokenKind = tkUnknown;
    int line = 1;
    int column = 1;
    int blankCount = 0;
    bool emptyStringPending = false;
    bool tokenWasQuoted = false;
    int tokenStart = 1;
  };
  TState SaveState() const;
  void RestoreState(const TState& state);

  TKvTokenKind TokenKind() const { return m_tokenKind; }
  int Line() const { return m_line; }
  int Column() const { return m_column; }
  int BlankCount() const { return m_blankCount; }
  bool EmptyStringPending() const { return m_emptyStringPending; }
  bool QuoteNames() const { return m_quoteNames; }
  void SetQuoteNames(bool value) { m_quoteNames = value; }
  // Whether the last token was delivered from inside quotes (a quoted name or a string).
  bool TokenWasQuoted() const { return m_tokenWasQuoted; }
  // 1-based position in Text where the last token starts.
  int TokenStart() const { return m_tokenStart; }
  // The last token as it stands in the text (names are not folded to upper case).
  QString RawToken() const { return m_text.mid(m_tokenStart - 1, m_token.length()); }

  TKvWordList& Keywords() { return m_keywords; }
  TKvWordList& Functions() { return m_functions; }
  TKvWordList& Operators() { return m_operators; }
  const TKvWordList& Keywords() const { return m_keywords; }
  const TKvWordList& Functions() const { return m_functions; }
  const TKvWordList& Operators() const { return m_operators; }

protected:
  // Lets a dialect normalise a finished token (its kind is already settled).
  virtual void TokenRead(QString& token) const;
  // Character classes of the ASCII range, taken from the virtual tests so that reading a
  // character costs a table lookup. Each constructor builds it again (so that the overrides
  // of its class count), and so does a dialect whose tests change.
  void BuildCharClasses();

  TKvTokenKind m_tokenKind = tkUnknown;
  TKvWordList m_keywords;
  TKvWordList m_functions;
  int m_line = 1;
  int m_column = 1;
  int m_blankCount = 0;
  bool m_emptyStringPending = false;
  bool m_quoteNames = true;
  TKvWordList m_operators;
  bool m_tokenWasQuoted = false;
  int m_tokenStart = 1;
  enum : quint16 {
    ccQuote = 1,
    ccNameQuote = 2,
    ccDelimiter = 4,
    ccBlank = 8,
    ccDigit = 16,
    ccCompare = 32,
    ccOpen = 64,
    ccClose = 128,
    ccLetter = 256,
    ccIdent = 512
  };
  quint16 m_classes[128] = {};
  int m_quoteLine = 1; // where the open quote is
  int m_quoteColumn = 1;
  int m_quotePosition = 1;
  bool Has(QChar ch, quint16 cls) const {
    const char16_t u = ch.unicode();
    return u < 128 ? (m_classes[u] & cls) != 0 : HasWide(ch, cls);
  }
  bool HasWide(QChar ch, quint16 cls) const;

private:
  bool ClosesQuote(QChar ch, QStringView soFar) const;
};
