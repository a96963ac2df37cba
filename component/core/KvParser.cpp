#include "KvParser.h"

#include <QSet>

#include <cstring>

#include <utility>

namespace {

// Compares a token with an upper-case ASCII word, ignoring letter case.
bool SameWord(const QString& a, const char* b) {
  const qsizetype n = qsizetype(std::strlen(b));
  if (a.size() != n) return false;
  for (qsizetype i = 0; i < n; ++i) {
    char16_t c = a[i].unicode();
    if (c >= 'a' && c <= 'z') c = char16_t(c - 32);
    if (c != char16_t(b[i])) return false;
  }
  return true;
}

QString QuotedStr(const QString& s, QChar quote) {
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

QString MirroredOperator(const QString& op) {
  if (op == QLatin1String("<")) return QStringLiteral(">");
  if (op == QLatin1String(">")) return QStringLiteral("<");
  if (op == QLatin1String("<=")) return QStringLiteral(">=");
  if (op == QLatin1String(">=")) return QStringLiteral("<=");
  return op;
}

bool IsJoinComparison(const QString& op) {
  return op == QLatin1String("=") || op == QLatin1String("<>") || op == QLatin1String("<") ||
         op == QLatin1String(">") || op == QLatin1String("<=") || op == QLatin1String(">=");
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Expressions as read, before they become model items.

struct TKvSelectParser::Expr {
  enum Type { Literal, Name, Star, Call, Binary, List };
  Type type = Literal;
  TKvTokenKind literalKind = tkInteger; // Literal: tkInteger, tkFloat or tkString
  QString typeWord;                     // Literal: DATE, TIME or TIMESTAMP before a string
  QString text;                         // literal value, column name or function name
  QString qualifier;                    // Name, Star: the table qualifier as written
  bool quoted = false;                  // Name: the name was in quotes
  bool qualifierQuoted = false;
  TokenPos pos;     // where the item starts
  TokenPos namePos; // Name, Star: where the qualifier starts
  QList<Expr> args; // Call arguments, Binary operands, List items
  QStringList ops;  // Binary: the operators between operands
};

struct TKvSelectParser::Condition {
  bool group = false;
  bool bracketed = false;
  TKvRelation relation = krAll;
  QList<Condition> items;
  Expr field;
  QString op;
  QList<Expr> args;
};

// Reads expressions with the tokenizer of the parser; errors set the parser's error state and
// leave the offending token current.
class TKvSelectParser::ExprReader {
public:
  explicit ExprReader(TKvSelectParser& p) : m_p(p) {}

  bool Read(Expr& e) {
    if (!Term(e)) return false;
    if (m_p.Kind() != tkOperator) return true;
    Expr bin;
    bin.type = Expr::Binary;
    bin.pos = e.pos;
    bin.args << e;
    while (m_p.Kind() == tkOperator) {
      bin.ops << m_p.Tok();
      m_p.Next();
      Expr operand;
      if (!Term(operand)) return false;
      bin.args << operand;
    }
    e = bin;
    return true;
  }

private:
  bool Error() {
    m_p.Fail();
    return false;
  }

  bool NameToken() const { return m_p.Kind() == tkIdentifier || m_p.Kind() == tkQuoted; }

  QString StringValue() const {
    // The value of a quoted string: doubled quotes inside stand for one.
    const TKvSQLScanner* sc = m_p.Scanner();
    QChar quote = QLatin1Char('\'');
    const int start = sc->TokenStart();
    if (start >= 2 && start - 2 < sc->Text().length()) quote = sc->Text().at(start - 2);
    QString value = m_p.Tok();
    value.replace(QString(2, quote), QString(quote));
    return value;
  }

  bool Term(Expr& e) {
    e = Expr();
    e.pos = m_p.Here();
    const TKvTokenKind kind = m_p.Kind();
    if (kind == tkInteger || kind == tkFloat) {
      e.type = Expr::Literal;
      e.literalKind = kind;
      e.text = m_p.Tok();
      m_p.Next();
      return true;
    }
    if (kind == tkString) {
      e.type = Expr::Literal;
      e.literalKind = tkString;
      e.text = StringValue();
      m_p.Next();
      return true;
    }
    if (m_p.IsKeywordToken("DATE") || m_p.IsKeywordToken("TIME") ||
        m_p.IsKeywordToken("TIMESTAMP")) {
      // A typed literal: DATE '2004-01-01'.
      const TKvSQLScanner::TState saved = m_p.Scanner()->SaveState();
      const QString word = m_p.Tok().toUpper();
      m_p.Next();
      if (m_p.Kind() == tkString) {
        e.type = Expr::Literal;
        e.literalKind = tkString;
        e.typeWord = word;
        e.text = StringValue();
        m_p.Next();
        return true;
      }
      m_p.Scanner()->RestoreState(saved);
      return Error();
    }
    if (kind == tkOperator && m_p.Tok() == QLatin1String("-")) {
      // A negative number: the minus directly before the digits.
      const TKvSQLScanner::TState saved = m_p.Scanner()->SaveState();
      m_p.Next();
      if ((m_p.Kind() == tkInteger || m_p.Kind() == tkFloat) && m_p.Scanner()->BlankCount() == 0) {
        e.type = Expr::Literal;
        e.literalKind = m_p.Kind();
        e.text = QLatin1Char('-') + m_p.Tok();
        m_p.Next();
        return true;
      }
      m_p.Scanner()->RestoreState(saved);
      return Error();
    }
    if (kind == tkFunction || NameToken()) {
      const QString name = m_p.Tok();
      const bool quoted = m_p.Scanner()->TokenWasQuoted();
      const TokenPos namePos = m_p.Here();
      m_p.Next();
      if (m_p.IsDelimiterToken('(')) {
        e.type = Expr::Call;
        e.text = kind == tkFunction ? m_p.FormatFunction(name) : name;
        m_p.Next();
        if (!Arguments(e)) return false;
        if (!m_p.IsDelimiterToken(')')) return Error();
        m_p.Next();
        return true;
      }
      if (kind == tkFunction) {
        // A function name standing alone is not a column.
        m_p.FailAt(namePos);
        return false;
      }
      e.type = Expr::Name;
      e.text = name;
      e.quoted = quoted;
      e.namePos = namePos;
      if (m_p.IsDelimiterToken('.') && m_p.Scanner()->BlankCount() == 0) {
        m_p.Next();
        e.qualifier = name;
        e.qualifierQuoted = quoted;
        if (m_p.Kind() == tkOperator && m_p.Tok() == QLatin1String("*") &&
            m_p.Scanner()->BlankCount() == 0) {
          e.type = Expr::Star;
          e.text = QStringLiteral("*");
          m_p.Next();
          return true;
        }
        if (!NameToken() || m_p.Scanner()->BlankCount() != 0) return Error();
        e.text = m_p.Tok();
        e.quoted = m_p.Scanner()->TokenWasQuoted();
        m_p.Next();
      }
      return true;
    }
    return Error();
  }

  bool Arguments(Expr& call) {
    if (m_p.IsDelimiterToken(')')) return true;
    if (m_p.Kind() == tkOperator && m_p.Tok() == QLatin1String("*")) {
      const TKvSQLScanner::TState saved = m_p.Scanner()->SaveState();
      Expr star;
      star.type = Expr::Star;
      star.text = QStringLiteral("*");
      star.pos = m_p.Here();
      m_p.Next();
      if (m_p.IsDelimiterToken(')')) {
        call.args << star;
        return true;
      }
      m_p.Scanner()->RestoreState(saved);
    }
    for (;;) {
      Expr arg;
      if (!Read(arg)) return false;
      call.args << arg;
      if (!m_p.IsDelimiterToken(',')) return true;
      m_p.Next();
    }
  }

  TKvSelectParser& m_p;
};

// Reads a condition tree: AND binds tighter than OR, NOT applies to the term after it, and
// brackets group.
class TKvSelectParser::ConditionReader {
public:
  explicit ConditionReader(TKvSelectParser& p) : m_p(p), m_expr(p) {}

  bool Sequence(Condition& list) {
    list = Condition();
    list.group = true;
    QList<Condition> elements;
    QList<bool> ors;
    Condition term;
    if (!Term(term)) return false;
    elements << term;
    while (m_p.IsKeywordToken("AND") || m_p.IsKeywordToken("OR")) {
      ors << m_p.IsKeywordToken("OR");
      m_p.Next();
      if (!Term(term)) return false;
      elements << term;
    }
    const bool anyOr = ors.contains(true);
    const bool anyAnd = ors.contains(false);
    if (!anyOr) {
      list.relation = krAll;
      list.items = elements;
    } else if (!anyAnd) {
      list.relation = krAny;
      list.items = elements;
    } else {
      // Runs joined by AND become groups of an OR list.
      list.relation = krAny;
      QList<Condition> run{elements.first()};
      auto flush = [&] {
        if (run.size() == 1) {
          list.items << run.first();
        } else {
          Condition g;
          g.group = true;
          g.relation = krAll;
          g.items = run;
          list.items << g;
        }
        run.clear();
      };
      for (int i = 0; i < ors.size(); ++i) {
        if (ors[i]) flush();
        run << elements[i + 1];
      }
      flush();
    }
    return true;
  }

private:
  bool Term(Condition& c) {
    c = Condition();
    if (m_p.IsKeywordToken("NOT")) {
      m_p.Next();
      Condition inner;
      if (m_p.IsDelimiterToken('(')) {
        m_p.Next();
        if (!Sequence(inner)) return false;
        if (!m_p.IsDelimiterToken(')')) return Error();
        m_p.Next();
      } else {
        Condition t;
        if (!Term(t)) return false;
        inner.group = true;
        inner.relation = krAll;
        inner.items << t;
      }
      c.group = true;
      c.relation = inner.relation == krAny ? krNone : krNotAll;
      c.items = inner.items;
      return true;
    }
    if (m_p.IsDelimiterToken('(')) {
      m_p.Next();
      Condition inner;
      if (!Sequence(inner)) return false;
      if (!m_p.IsDelimiterToken(')')) return Error();
      m_p.Next();
      if (inner.items.size() == 1 && !inner.items.first().bracketed) {
        c = inner.items.first();
      } else {
        c = inner;
      }
      c.bracketed = true;
      return true;
    }
    return Predicate(c);
  }

  // Reads an operand whose qualifiers must name tables of the FROM clause.
  bool Operand(Expr& e) { return m_expr.Read(e) && m_p.CheckQualifiers(e); }

  bool Predicate(Condition& c) {
    if (!Operand(c.field)) return false;
    // The operator: the longest run of keyword and comparison tokens that spells one.
    TKvSQLScanner* sc = m_p.Scanner();
    const TokenPos opPos = m_p.Here();
    QString text;
    TKvOperator* found = nullptr;
    TKvSQLScanner::TState after;
    while (m_p.Kind() == tkKeyword || m_p.Kind() == tkCompare) {
      if (!text.isEmpty() && sc->BlankCount() > 0) text += QLatin1Char(' ');
      text += m_p.Tok();
      bool partial = false;
      if (!m_p.Operators()->FindByPrefix(text, partial)) break;
      m_p.Next();
      for (int i = 0; i < m_p.Operators()->Count(); ++i) {
        TKvOperator* op = m_p.Operators()->Items(i);
        if (op->Caption().compare(text, Qt::CaseInsensitive) == 0) {
          found = op;
          after = sc->SaveState();
          break;
        }
      }
    }
    if (!found) {
      m_p.FailAt(opPos);
      return false;
    }
    sc->RestoreState(after);
    c.op = found->Caption();
    for (int i = 0; i < found->Count(); ++i) {
      if (i > 0 && !found->Relate().isEmpty()) {
        if (m_p.Tok().compare(found->Relate(), Qt::CaseInsensitive) != 0) return Error();
        m_p.Next();
      }
      Expr arg;
      if (!found->Prefix().isEmpty()) {
        if (m_p.Tok() != found->Prefix()) return Error();
        m_p.Next();
        arg.type = Expr::List;
        arg.pos = m_p.Here();
        for (;;) {
          Expr item;
          if (!Operand(item)) return false;
          arg.args << item;
          if (!m_p.IsDelimiterToken(',')) break;
          m_p.Next();
        }
      } else {
        if (!Operand(arg)) return false;
      }
      if (!found->Postfix().isEmpty()) {
        if (m_p.Tok() != found->Postfix()) return Error();
        m_p.Next();
      }
      c.args << arg;
    }
    return true;
  }

  bool Error() {
    m_p.Fail();
    return false;
  }

  TKvSelectParser& m_p;
  ExprReader m_expr;
};

// ---------------------------------------------------------------------------------------------
// Construction

TKvSelectParser::TKvSelectParser() {
  InitScanner();
  m_tableDefs = CreateTableDefs();
  m_tableDefs->SetParser(this);
  m_whereItems = CreateWhereItems();
  m_whereItems->SetParser(this);
  m_havingItems = CreateHavingItems();
  m_havingItems->SetParser(this);
  m_groupByItems = std::make_unique<TKvGroupByItems>(this);
  m_orderByItems = std::make_unique<TKvOrderByItems>(this);
  LoadAggregates();
  m_operators = std::make_unique<TKvOperators>();
  LoadDefaultOperators();
  m_valid = true;
  m_scriptFormat = std::make_unique<TKvScriptFormat>();
}

TKvSelectParser::~TKvSelectParser() {
  // Sort lines go first so that tables leaving do not search them.
  m_orderByItems->Clear();
  m_tableDefs.reset();
  m_whereItems.reset();
  m_havingItems.reset();
}

void TKvSelectParser::InitScanner() {
  m_scanner = CreateScanner();
}

std::unique_ptr<TKvSQLScanner> TKvSelectParser::CreateScanner() {
  return std::make_unique<TKvSQLScanner>();
}

std::unique_ptr<TKvTableDefs> TKvSelectParser::CreateTableDefs() {
  return std::make_unique<TKvTableDefs>();
}

std::unique_ptr<TKvWhereItems> TKvSelectParser::CreateWhereItems() {
  return std::make_unique<TKvWhereItems>();
}

std::unique_ptr<TKvHavingItems> TKvSelectParser::CreateHavingItems() {
  return std::make_unique<TKvHavingItems>();
}

QString TKvSelectParser::GetAggregateList() const {
  return QStringLiteral("SUM,MIN,MAX,AVG,COUNT");
}

bool TKvSelectParser::IsJoinWord(const QString& s) const {
  return SameWord(s, "INNER") || SameWord(s, "LEFT") || SameWord(s, "RIGHT") || SameWord(s, "FULL");
}

void TKvSelectParser::LoadAggregates() {
  m_aggregates.SetCommaText(GetAggregateList());
}

void TKvSelectParser::LoadDefaultOperators() {
  m_operators->LoadDefaults();
}

bool TKvSelectParser::IsAggregate(const QString& functionName) const {
  return m_aggregates.Contains(functionName);
}

void TKvSelectParser::Clear() {
  m_orderByItems->Clear();
  m_tableDefs->Clear();
  m_whereItems->Clear();
  m_whereItems->SetRelation(krAll);
  m_groupByItems->Clear();
  m_havingItems->Clear();
  m_havingItems->SetRelation(krAll);
  m_scanner->SetText(QString());
  m_valid = true;
  m_lastTableName.clear();
  m_currentAlias.clear();
  m_firstMention.clear();
  m_declared.clear();
  m_groupStarts.clear();
  m_joinPos.clear();
  m_newGroup = false;
  m_columnPos.clear();
  m_tookOver = nullptr;
  m_groupByPos.clear();
  m_groupByRead.clear();
  m_groupBySeen.clear();
  m_orderBySeen.clear();
  m_groupByGiven = false;
  m_havingGiven = false;
  m_selectItems = 0;
}

void TKvSelectParser::SetSQL(const QString& text) {
  try {
    m_scanner->SetText(text);
  } catch (const EKvParserError&) {
    Clear();
    m_valid = false;
    throw;
  }
  if (m_scanner->TokenKind() == tkEnd && !m_scanner->InQuote())
    Clear();
  else
    Parse();
}

// ---------------------------------------------------------------------------------------------
// Token helpers

bool TKvSelectParser::IsKeywordToken(const char* word) const {
  return Kind() == tkKeyword && SameWord(Tok(), word);
}

bool TKvSelectParser::IsDelimiterToken(char ch) const {
  const TKvTokenKind k = Kind();
  return (k == tkDelimiter || k == tkOperator || k == tkCompare) && Tok().length() == 1 &&
         Tok().at(0) == QLatin1Char(ch);
}

TKvSelectParser::TokenPos TKvSelectParser::Here() const {
  return {m_scanner->TokenStart(), int(Tok().length()), m_scanner->Line(), m_scanner->Column()};
}

void TKvSelectParser::FailAt(const TokenPos& pos) {
  m_state = psError;
  m_errorAt = pos;
  m_hasErrorAt = true;
}

void TKvSelectParser::ParserError(const QString& token, int line, int column) {
  m_valid = false;
  const int code = token.isEmpty() ? 2 : 1;
  const int position = column - int(token.length());
  if (OnParserError) {
    OnParserError(this, EKvParserError::MessageFor(code, line, position, token), token, line,
                  position);
    return;
  }
  throw EKvParserError(code, line, position, token);
}

// ---------------------------------------------------------------------------------------------
// The state machine

void TKvSelectParser::Parse() {
  m_valid = true;
  const QString text = m_scanner->Text();
  Clear();
  m_state = psSelect;
  m_hasErrorAt = false;
  try {
    m_scanner->SetText(text);
    while (m_state != psError && m_state != psDone) {
      switch (m_state) {
      case psSelect:
        ReadSelect();
        break;
      case psSelectHead:
        ReadSelectHead();
        break;
      case psSelectList:
        ReadSelectList();
        break;
      case psState5:
        ReadState5();
        break;
      case psFromHead:
        ReadFromHead();
        break;
      case psFromList:
        ReadFromList();
        break;
      case psWhere:
        ReadWhere();
        break;
      case psGroupBy:
        ReadGroupBy();
        break;
      case psHaving:
        ReadHaving();
        break;
      case psOrderBy:
        ReadOrderBy();
        break;
      case psTail:
        ReadTail();
        break;
      default:
        m_state = psError;
        break;
      }
      if (m_state == psError) break;
      if (!AtEnd()) {
        if (m_state != psSelectList && m_state != psFromList && m_state != psTail) Next();
      } else if (m_state != psDone) {
        // The statement ended where a clause needed more.
        if (m_state == psFromHead || m_state == psWhere || m_state == psGroupBy ||
            m_state == psHaving || m_state == psOrderBy || m_state == psSelectHead)
          m_state = psError;
        else
          m_state = psDone;
      }
    }
    if (m_state == psDone && Tok() == QLatin1String(";")) {
      // Only blanks (and more ";") may follow the closing ";": another statement would be
      // lost unseen.
      do {
        m_scanner->NextToken();
      } while (Kind() == tkEnd && Tok() == QLatin1String(";"));
      if (Kind() != tkEnd) FailAt(Here());
    }
    if (m_state == psDone) {
      CheckStatement();
      // Output names unique within each table, as the designer shows them.
      if (m_state == psDone) m_tableDefs->MakeAliasesUnique();
    }
  } catch (const EKvParserError&) {
    m_valid = false;
    throw;
  }
  if (m_state == psError) {
    // Errors show the token as the user typed it.
    const TokenPos at = m_hasErrorAt ? m_errorAt : Here();
    ParserError(m_scanner->Text().mid(at.start - 1, at.length), at.line, at.column);
  }
}

void TKvSelectParser::ReadSelect() {
  m_state = psError;
  if (IsKeywordToken("SELECT")) m_state = psSelectHead;
}

void TKvSelectParser::ReadSelectHead() {
  m_state = psError;
  m_distinct = IsKeywordToken("DISTINCT");
  if (m_distinct) Next();
  if (StartsItem()) m_state = psSelectList;
}

bool TKvSelectParser::StartsItem() const {
  const TKvTokenKind k = Kind();
  return (k == tkOperator && (Tok() == QLatin1String("*") || Tok() == QLatin1String("-"))) ||
         k == tkFunction || k == tkInteger || k == tkFloat || k == tkString || k == tkIdentifier ||
         k == tkQuoted || IsKeywordToken("DATE") || IsKeywordToken("TIME") ||
         IsKeywordToken("TIMESTAMP");
}

void TKvSelectParser::ReadState5() {
  m_state = psError;
}

void TKvSelectParser::ReadSelectList() {
  for (;;) {
    if (AtEnd()) {
      m_state = psDone;
      break;
    }
    if (Kind() == tkKeyword && !StartsItem()) {
      m_state = IsKeywordToken("FROM") ? psFromHead : psError;
      break;
    }
    ReadSelectItem();
    if (m_state == psError) break;
    if (IsDelimiterToken(',')) {
      Next();
      // A comma needs a column after it.
      if (!StartsItem()) {
        m_state = psError;
        break;
      }
      continue;
    }
    if (!AtEnd() && (Kind() != tkKeyword || StartsItem())) {
      m_state = psError;
      break;
    }
  }
  if (m_state == psError) m_tableDefs->Clear();
}

TKvTableDef* TKvSelectParser::AnonymousTable() const {
  TKvTableDef* t = m_tableDefs->FindByAlias(QString());
  return t && t->TableName().isEmpty() ? t : nullptr;
}

void TKvSelectParser::ReadSelectItem() {
  const TokenPos start = Here();
  if (Kind() == tkOperator && Tok() == QLatin1String("*")) {
    // SELECT *: the only column, written back as the star.
    if (m_selectItems > 0) {
      m_state = psError;
      return;
    }
    Next();
    if (!AtEnd() && !IsKeywordToken("FROM")) {
      m_state = psError;
      return;
    }
    TKvTableDef* t = AnonymousTable();
    if (!t) t = m_tableDefs->Add();
    TKvFieldDef* f = t->Fields()->Add();
    m_columnPos.insert(f, start);
    ++m_selectItems;
    return;
  }
  TKvFieldDef def;
  def.SetParser(this);
  TKvTableDef* table = nullptr;
  ReadExpression(&def, table, false);
  if (m_state == psError) return;
  if (IsKeywordToken("AS")) {
    Next();
    if (Kind() != tkIdentifier && Kind() != tkQuoted) {
      m_state = psError;
      return;
    }
    def.SetAlias(Tok());
    Next();
  } else if (Kind() == tkIdentifier || Kind() == tkQuoted) {
    // A name right after a column is its alias, as SQL reads it.
    def.SetAlias(Tok());
    Next();
  }
  if (!table) {
    table = AnonymousTable();
    if (!table) table = m_tableDefs->Add();
  }
  TKvFieldDef* copy = table->Fields()->Add();
  copy->Assign(def);
  m_columnPos.insert(copy, start);
  ++m_selectItems;
}

TKvTableDef* TKvSelectParser::QualifierTable(const QString& qualifier, const TokenPos& at,
                                             bool mayCreate) {
  TKvTableDef* t = m_tableDefs->FindByAlias(qualifier);
  if (t && (!t->TableName().isEmpty() || !t->Alias().isEmpty())) return t;
  if (!mayCreate) {
    FailAt(at);
    return nullptr;
  }
  // A qualifier before FROM names a table that FROM completes later.
  t = m_tableDefs->Add();
  t->SetAlias(qualifier);
  m_firstMention.insert(t, at);
  return t;
}

QString TKvSelectParser::RenderName(const QString& qualifier, const QString& name) const {
  const QString n = name == QLatin1String("*") ? name : m_scanner->QuoteIdentifier(name);
  if (qualifier.isEmpty()) return n;
  return m_scanner->QuoteIdentifier(qualifier) + QLatin1Char('.') + n;
}

QString TKvSelectParser::Render(const Expr& e) const {
  switch (e.type) {
  case Expr::Literal:
    if (!e.typeWord.isEmpty())
      return e.typeWord + QLatin1Char(' ') + QuotedStr(e.text, QLatin1Char('\''));
    return e.literalKind == tkString ? QuotedStr(e.text, QLatin1Char('\'')) : e.text;
  case Expr::Name:
  case Expr::Star:
    return RenderName(e.qualifier, e.text);
  case Expr::Call: {
    QStringList args;
    for (const Expr& a : e.args)
      args << Render(a);
    return FormatFunction(e.text) + QLatin1Char('(') + args.join(QStringLiteral(", ")) +
           QLatin1Char(')');
  }
  case Expr::Binary: {
    QString r = Render(e.args.first());
    for (int i = 0; i < e.ops.size(); ++i)
      r += QLatin1Char(' ') + e.ops[i] + QLatin1Char(' ') + Render(e.args[i + 1]);
    return r;
  }
  case Expr::List: {
    QStringList items;
    for (const Expr& a : e.args)
      items << Render(a);
    return QLatin1Char('(') + items.join(QStringLiteral(", ")) + QLatin1Char(')');
  }
  }
  return QString();
}

namespace {

// A string value is stored as it is; one that itself starts and ends with a quote keeps an
// extra pair of apostrophes, because the writer takes such a pair off.
QString StoredString(const QString& value) {
  if (value.length() > 1 &&
      (value.front() == QLatin1Char('\'') || value.front() == QLatin1Char('"')) &&
      value.back() == value.front())
    return QLatin1Char('\'') + value + QLatin1Char('\'');
  return value;
}

TKvFunctionKind LiteralKind(TKvTokenKind k) {
  return k == tkFloat ? fkFloat : k == tkString ? fkString : fkInteger;
}

} // namespace

// Fills `def` from an expression read in a condition: names keep their qualifiers as text.
void TKvSelectParser::StoreConditionOperand(const Expr& e, TKvFunctionDef* def) {
  def->Clear();
  switch (e.type) {
  case Expr::Literal:
    if (!e.typeWord.isEmpty()) {
      def->SetName(Render(e));
      def->SetKind(fkText);
      break;
    }
    def->SetName(e.literalKind == tkString ? StoredString(e.text) : e.text);
    def->SetKind(LiteralKind(e.literalKind));
    break;
  case Expr::Name:
    def->SetName(RenderName(e.qualifier, e.text));
    def->SetKind(fkField);
    break;
  case Expr::Star:
    def->SetName(QStringLiteral("*"));
    def->SetKind(fkText);
    break;
  case Expr::Call:
    def->SetName(FormatFunction(e.text));
    def->SetKind(fkFunction);
    for (const Expr& a : e.args)
      StoreConditionOperand(a, def->Arguments()->Add());
    break;
  case Expr::Binary:
  case Expr::List:
    def->SetName(Render(e));
    def->SetKind(e.type == Expr::List ? fkText : fkExpression);
    break;
  }
}

// Fills an argument of an output column: a column of the column's own table is stored bare
// (the writer qualifies it); any other name keeps what was written.
void TKvSelectParser::StoreColumnArgument(const Expr& e, TKvFunctionDef* def,
                                          const TKvTableDef* columnTable, const QString& function,
                                          int index) {
  def->Clear();
  switch (e.type) {
  case Expr::Literal:
    if (!e.typeWord.isEmpty()) {
      def->SetName(Render(e));
      def->SetKind(fkText);
      break;
    }
    def->SetName(e.literalKind == tkString ? StoredString(e.text) : e.text);
    def->SetKind(LiteralKind(e.literalKind));
    break;
  case Expr::Name: {
    // GEN_ID names a generator, never a column.
    const bool generator = index == 0 && SameWord(function, "GEN_ID");
    const TKvTableDef* own =
        e.qualifier.isEmpty() ? nullptr : m_tableDefs->FindByAlias(e.qualifier);
    const bool bare = !generator && ((e.qualifier.isEmpty() && !columnTable) ||
                                     (!e.qualifier.isEmpty() && own == columnTable));
    if (bare) {
      def->SetName(e.text);
      def->SetKind(fkField);
    } else {
      def->SetName(RenderName(e.qualifier, e.text));
      def->SetKind(generator ? fkText : fkExpression);
    }
    break;
  }
  case Expr::Star:
    def->SetName(RenderName(e.qualifier, e.text));
    def->SetKind(fkText);
    break;
  case Expr::Call:
    def->SetName(FormatFunction(e.text));
    def->SetKind(fkFunction);
    for (int i = 0; i < e.args.size(); ++i)
      StoreColumnArgument(e.args[i], def->Arguments()->Add(), columnTable, e.text, i);
    break;
  case Expr::Binary:
  case Expr::List:
    def->SetName(Render(e));
    def->SetKind(fkExpression);
    break;
  }
}

// The table of the first qualified column an expression names, or nullptr.
const TKvSelectParser::Expr* TKvSelectParser::FirstQualified(const Expr& e) {
  if ((e.type == Expr::Name || e.type == Expr::Star) && !e.qualifier.isEmpty()) return &e;
  for (const Expr& a : e.args)
    if (const Expr* q = FirstQualified(a)) return q;
  return nullptr;
}

void TKvSelectParser::ReadExpression(TKvFunctionDef* def, TKvTableDef*& table, bool inCondition) {
  Expr e;
  ExprReader reader(*this);
  if (!reader.Read(e)) {
    if (m_state != psError) m_state = psError;
    return;
  }
  if (inCondition) {
    if (!CheckQualifiers(e)) return;
    StoreConditionOperand(e, def);
    return;
  }
  table = nullptr;
  if (const Expr* q = FirstQualified(e)) {
    table = QualifierTable(q->qualifier, q->namePos, true);
    if (!table) return;
    // Every other qualifier must name a table as well (created on first use).
    QList<const Expr*> stack{&e};
    while (!stack.isEmpty()) {
      const Expr* x = stack.takeLast();
      if ((x->type == Expr::Name || x->type == Expr::Star) && !x->qualifier.isEmpty() &&
          !QualifierTable(x->qualifier, x->namePos, true))
        return;
      for (const Expr& a : x->args)
        stack << &a;
    }
  }
  def->Clear();
  switch (e.type) {
  case Expr::Literal:
    if (!e.typeWord.isEmpty()) {
      def->SetName(Render(e));
      def->SetKind(fkExpression);
    } else {
      def->SetName(e.literalKind == tkString ? StoredString(e.text) : e.text);
      def->SetKind(LiteralKind(e.literalKind));
    }
    table = nullptr;
    break;
  case Expr::Name:
    def->SetName(e.text);
    def->SetKind(fkField);
    break;
  case Expr::Star:
    if (e.qualifier.isEmpty()) {
      m_state = psError;
      return;
    }
    def->SetName(e.text);
    def->SetKind(fkField);
    break;
  case Expr::Call:
    def->SetName(FormatFunction(e.text));
    def->SetKind(fkFunction);
    for (int i = 0; i < e.args.size(); ++i)
      StoreColumnArgument(e.args[i], def->Arguments()->Add(), table, e.text, i);
    break;
  case Expr::Binary:
  case Expr::List:
    def->SetName(Render(e));
    def->SetKind(fkExpression);
    break;
  }
}

// In conditions every qualifier must name a table of the FROM clause.
bool TKvSelectParser::CheckQualifiers(const Expr& e) {
  if ((e.type == Expr::Name || e.type == Expr::Star) && !e.qualifier.isEmpty()) {
    TKvTableDef* t = m_tableDefs->FindByAlias(e.qualifier);
    if (!t || !m_declared.contains(t)) {
      FailAt(e.namePos);
      return false;
    }
  }
  for (const Expr& a : e.args)
    if (!CheckQualifiers(a)) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// FROM

void TKvSelectParser::ReadFromHead() {
  m_state = psError;
  if (Kind() == tkIdentifier || Kind() == tkQuoted) {
    m_state = psFromList;
    m_newGroup = true;
  }
}

void TKvSelectParser::ReadFromList() {
  for (;;) {
    if (AtEnd()) {
      m_state = psDone;
      break;
    }
    if (Kind() == tkKeyword) {
      if (IsJoinWord(Tok())) {
        ReadJoin();
        if (m_state == psError) break;
        continue;
      }
      if (IsKeywordToken("WHERE")) {
        m_state = psWhere;
      } else if (IsKeywordToken("GROUP") && SameWord(m_scanner->PeekToken(), "BY")) {
        m_state = psGroupBy;
        Next();
      } else if (IsKeywordToken("HAVING")) {
        m_state = psHaving;
        m_havingPos = Here();
        m_havingGiven = true;
      } else if (IsKeywordToken("ORDER") && SameWord(m_scanner->PeekToken(), "BY")) {
        m_state = psOrderBy;
        Next();
      } else {
        m_state = psTail;
      }
      break;
    }
    if (IsDelimiterToken(',') && !m_newGroup) {
      Next();
      if (Kind() != tkIdentifier && Kind() != tkQuoted) {
        m_state = psError;
        break;
      }
      m_newGroup = true;
      continue;
    }
    if (!m_newGroup) {
      // Two table entries need a comma between them.
      m_state = psError;
      break;
    }
    ReadTableItem();
    if (m_state == psError) break;
    m_newGroup = false;
  }
  if (m_state == psError) m_tableDefs->Clear();
}

void TKvSelectParser::ReadTableItem() {
  if (Kind() != tkIdentifier && Kind() != tkQuoted) {
    m_state = psError;
    return;
  }
  const TokenPos namePos = Here();
  const QString name = Tok();
  Next();
  QString alias;
  TokenPos aliasPos = namePos;
  if (Kind() == tkIdentifier || Kind() == tkQuoted) {
    alias = Tok();
    aliasPos = Here();
    Next();
  }
  TKvTableDef* t = DeclareTable(name, alias, alias.isEmpty() ? namePos : aliasPos);
  if (!t) return;
  m_lastTableName = name;
  m_currentAlias = t->Alias();
}

TKvTableDef* TKvSelectParser::DeclareTable(const QString& name, const QString& alias,
                                           const TokenPos& at) {
  const QString key = alias.isEmpty() ? name : alias;
  TKvTableDef* t = m_tableDefs->FindByAlias(key);
  if (t && !t->Alias().isEmpty()) {
    if (m_declared.contains(t)) {
      // The same name twice in one FROM clause.
      FailAt(at);
      return nullptr;
    }
    t->SetTableName(name);
  } else if (m_declared.isEmpty() && AnonymousTable()) {
    // The unqualified columns read so far belong to the first table, as long as it stays the
    // only one.
    t = AnonymousTable();
    t->SetTableName(name);
    if (!alias.isEmpty()) t->SetAlias(alias);
    m_tookOver = t;
  } else {
    t = m_tableDefs->Add();
    t->SetTableName(name);
    if (!alias.isEmpty()) t->SetAlias(alias);
  }
  m_declared << t;
  m_groupStarts << m_newGroup;
  m_joinPos.insert(t, at);
  if (m_declared.size() == 2 && m_tookOver) SplitAnonymousTable();
  return t;
}

void TKvSelectParser::SplitAnonymousTable() {
  // With more than one table the unqualified columns cannot be given to the first one: they
  // stay unqualified, as written. The first table gets a definition of its own.
  TKvTableDef* anon = m_tookOver;
  m_tookOver = nullptr;
  const QString name = anon->TableName();
  const QString alias = anon->Alias();
  const int index = anon->Index();
  anon->SetAlias(QString());
  anon->SetTableName(QString());
  TKvTableDef* t = m_tableDefs->Insert(index);
  t->SetTableName(name);
  if (alias != name) t->SetAlias(alias);
  const int at = m_declared.indexOf(anon);
  if (at >= 0) m_declared[at] = t;
  if (m_currentAlias == alias) m_currentAlias = t->Alias();
}

void TKvSelectParser::ReadJoin() {
  TKvJoinType type = jtInner;
  if (IsKeywordToken("LEFT"))
    type = jtLeftOuter;
  else if (IsKeywordToken("RIGHT"))
    type = jtRightOuter;
  else if (IsKeywordToken("FULL"))
    type = jtFullOuter;
  Next();
  if (type != jtInner && IsKeywordToken("OUTER")) Next();
  if (!IsKeywordToken("JOIN") || m_declared.isEmpty()) {
    m_state = psError;
    return;
  }
  Next();
  m_newGroup = false; // the joined table continues the current entry
  ReadTableItem();
  if (m_state == psError) return;
  TKvTableDef* right = m_tableDefs->FindByAlias(m_currentAlias);
  if (!right || !IsKeywordToken("ON")) {
    m_state = psError;
    return;
  }
  Next();
  TKvTableDef* left = nullptr;
  if (!ReadJoinSequence(right, type, left)) {
    if (m_state != psError) m_state = psError;
    return;
  }
}

// ON conditions: comparisons of a column of an earlier table with a column of the joined
// table, joined by AND, each optionally in brackets, the whole optionally in brackets.
bool TKvSelectParser::ReadJoinSequence(TKvTableDef* right, TKvJoinType type, TKvTableDef*& left) {
  for (;;) {
    if (IsDelimiterToken('(')) {
      Next();
      if (!ReadJoinSequence(right, type, left)) return false;
      if (!IsDelimiterToken(')')) return false;
      Next();
    } else if (!ReadJoinComparison(right, type, left)) {
      return false;
    }
    if (!IsKeywordToken("AND")) return true;
    Next();
  }
}

bool TKvSelectParser::ReadJoinComparison(TKvTableDef* right, TKvJoinType type, TKvTableDef*& left) {
  struct Side {
    QString qualifier, field;
    TokenPos pos;
  };
  auto column = [this](Side& s) {
    if (Kind() != tkIdentifier && Kind() != tkQuoted) return false;
    s.pos = Here();
    s.qualifier = Tok();
    Next();
    if (!IsDelimiterToken('.') || m_scanner->BlankCount() != 0) return false;
    Next();
    if ((Kind() != tkIdentifier && Kind() != tkQuoted) || m_scanner->BlankCount() != 0)
      return false;
    s.field = Tok();
    Next();
    return true;
  };
  Side a, b;
  if (!column(a)) return false;
  if (Kind() != tkCompare || !IsJoinComparison(Tok())) return false;
  QString op = Tok();
  Next();
  if (!column(b)) return false;
  TKvTableDef* ta = m_tableDefs->FindByAlias(a.qualifier);
  TKvTableDef* tb = m_tableDefs->FindByAlias(b.qualifier);
  const auto earlier = [&](TKvTableDef* t) { return t && t != right && m_declared.contains(t); };
  TKvTableDef* l = nullptr;
  QString field, joinField;
  if (tb == right && earlier(ta)) {
    l = ta;
    field = a.field;
    joinField = b.field;
  } else if (ta == right && earlier(tb)) {
    // Written the other way round: the joined table's column first.
    l = tb;
    field = b.field;
    joinField = a.field;
    op = MirroredOperator(op);
  } else {
    FailAt(a.pos);
    return false;
  }
  if (left && left != l) {
    // One JOIN is written with one table on the left; conditions on two would move.
    FailAt(a.pos);
    return false;
  }
  left = l;
  TKvJoinDef* j = l->Joins()->Add();
  j->SetField(field);
  j->SetJoinTable(right->Alias());
  j->SetJoinField(joinField);
  j->SetOperator(op);
  j->SetJoinType(type);
  return true;
}

// ---------------------------------------------------------------------------------------------
// WHERE, GROUP BY, HAVING, ORDER BY

void TKvSelectParser::ReadConditions(TKvCriterions* list) {
  ConditionReader reader(*this);
  Condition root;
  if (!reader.Sequence(root)) {
    if (m_state != psError) m_state = psError;
    return;
  }
  // NOT (...) around the whole clause is the list's own relation.
  if (root.items.size() == 1 && root.items.first().group && !root.items.first().bracketed &&
      (root.items.first().relation == krNotAll || root.items.first().relation == krNone)) {
    const Condition only = root.items.first();
    root = only;
  }
  StoreConditions(root, list);
}

void TKvSelectParser::StoreConditions(const Condition& c, TKvCriterions* list) {
  list->SetRelation(c.relation);
  for (const Condition& item : c.items) {
    TKvCriterion* crit = list->Add();
    if (item.group) {
      StoreConditions(item, crit->Items());
      continue;
    }
    StoreConditionOperand(item.field, crit->Field());
    crit->SetOperator(item.op);
    for (const Expr& a : item.args)
      StoreConditionOperand(a, crit->Arguments()->Add());
  }
}

void TKvSelectParser::AfterConditions() {
  if (AtEnd()) {
    m_state = psDone;
  } else if (IsKeywordToken("GROUP") && SameWord(m_scanner->PeekToken(), "BY") &&
             m_state != psHaving) {
    m_state = psGroupBy;
    Next();
  } else if (IsKeywordToken("HAVING") && m_state != psHaving) {
    m_state = psHaving;
    m_havingPos = Here();
    m_havingGiven = true;
  } else if (IsKeywordToken("ORDER") && SameWord(m_scanner->PeekToken(), "BY")) {
    m_state = psOrderBy;
    Next();
  } else if (Kind() == tkKeyword) {
    m_state = psTail;
  } else {
    m_state = psError;
  }
}

void TKvSelectParser::ReadWhere() {
  if (AtEnd()) {
    m_state = psError;
    return;
  }
  ReadConditions(m_whereItems.get());
  if (m_state == psError) return;
  AfterConditions();
}

void TKvSelectParser::ReadHaving() {
  if (AtEnd()) {
    m_state = psError;
    return;
  }
  ReadConditions(m_havingItems.get());
  if (m_state == psError) return;
  AfterConditions();
}

// Column names separated by commas, each optionally qualified, or a position number; with
// `withDirections` each may be followed by ASC or DESC. Returns the items as written.
QStringList TKvSelectParser::ReadNameList(bool withDirections) {
  QStringList items;
  m_directionsRead.clear();
  for (;;) {
    const TokenPos pos = Here();
    QString item;
    if (Kind() == tkInteger) {
      item = Tok();
      Next();
    } else if (Kind() == tkIdentifier || Kind() == tkQuoted) {
      auto part = [this] {
        return m_scanner->TokenWasQuoted() ? m_scanner->QuoteIdentifier(Tok()) : Tok();
      };
      item = part();
      Next();
      if (IsDelimiterToken('.') && m_scanner->BlankCount() == 0) {
        Next();
        if ((Kind() != tkIdentifier && Kind() != tkQuoted) || m_scanner->BlankCount() != 0) {
          m_state = psError;
          return items;
        }
        item += QLatin1Char('.') + part();
        Next();
      }
    } else {
      m_state = psError;
      return items;
    }
    int direction = 0;
    if (withDirections) {
      if (IsKeywordToken("ASC") || IsKeywordToken("ASCENDING")) {
        Next();
      } else if (IsKeywordToken("DESC") || IsKeywordToken("DESCENDING")) {
        direction = 1;
        Next();
      }
    }
    items << item;
    m_directionsRead << direction;
    m_groupByPosTmp << pos;
    if (!IsDelimiterToken(',')) break;
    Next();
  }
  return items;
}

void TKvSelectParser::ReadGroupBy() {
  if (AtEnd()) {
    m_state = psError;
    return;
  }
  m_groupByPosTmp.clear();
  const QStringList items = ReadNameList(false);
  if (m_state == psError) return;
  m_groupByGiven = true;
  for (int i = 0; i < items.size(); ++i) {
    m_groupByRead << items[i];
    m_groupByPos << m_groupByPosTmp.value(i);
    if (!m_groupBySeen.contains(items[i])) {
      m_groupBySeen.insert(items[i]);
      m_groupByItems->Add(items[i]);
    }
  }
  if (AtEnd()) {
    m_state = psDone;
  } else if (IsKeywordToken("HAVING")) {
    m_state = psHaving;
    m_havingPos = Here();
    m_havingGiven = true;
  } else if (IsKeywordToken("ORDER") && SameWord(m_scanner->PeekToken(), "BY")) {
    m_state = psOrderBy;
    Next();
  } else if (Kind() == tkKeyword) {
    m_state = psTail;
  } else {
    m_state = psError;
  }
}

void TKvSelectParser::ReadOrderBy() {
  if (AtEnd()) {
    m_state = psError;
    return;
  }
  m_groupByPosTmp.clear();
  const QStringList items = ReadNameList(true);
  if (m_state == psError) return;
  for (int i = 0; i < items.size(); ++i) {
    if (m_orderBySeen.contains(items[i])) continue;
    m_orderBySeen.insert(items[i]);
    m_orderByItems->AddItem(items[i], m_directionsRead.value(i));
  }
  if (AtEnd())
    m_state = psDone;
  else if (Kind() == tkKeyword)
    m_state = psTail;
  else
    m_state = psError;
}

void TKvSelectParser::ReadTail() {
  m_state = psError;
}

// ---------------------------------------------------------------------------------------------
// Checks once the whole statement is read: what the writer would produce must mean the same.

void TKvSelectParser::CheckStatement() {
  // Every qualifier must name a table of the FROM clause.
  for (int i = 0; i < m_tableDefs->Count(); ++i) {
    const TKvTableDef* t = m_tableDefs->Items(i);
    if (t->TableName().isEmpty() && !t->Alias().isEmpty()) {
      FailAt(m_firstMention.value(t, Here()));
      return;
    }
  }
  // The writer puts joins in its own order: each table after the one it joins to. Inner joins
  // and left joins (keeping all rows of that earlier table) give the same rows in any such
  // order; right and full joins keep rows of what came before, so their order must stay.
  bool joined = false;
  for (const TKvTableDef* t : m_declared)
    joined = joined || t->Joins()->Count() > 0;
  if (joined) {
    const QList<const TKvTableDef*> written = KvFromOrder(m_tableDefs.get());
    int i = 0;
    while (i < m_declared.size()) {
      int j = i + 1;
      while (j < m_declared.size() && !m_groupStarts[j])
        ++j;
      bool outer = false;
      for (int k = i; k < j; ++k) {
        const TKvJoinDefs* joins = m_declared[k]->Joins();
        for (int n = 0; n < joins->Count(); ++n) {
          const TKvJoinType type = joins->Items(n)->JoinType();
          outer = outer || type == jtRightOuter || type == jtFullOuter;
        }
      }
      const int at = int(written.indexOf(m_declared[i]));
      for (int k = i; k < j; ++k) {
        const qsizetype pos = written.indexOf(m_declared[k]);
        const bool sameGroup = at >= 0 && pos >= at && pos < at + (j - i);
        const bool samePlace =
            at >= 0 && at + (k - i) < written.size() && written[at + (k - i)] == m_declared[k];
        if (!sameGroup || (outer && !samePlace)) {
          FailAt(m_joinPos.value(m_declared[k], Here()));
          return;
        }
      }
      i = j;
    }
  }
  CheckGroupBy();
}

void TKvSelectParser::CheckGroupBy() {
  const QStringList derived = m_groupByItems->DerivedItems();
  auto key = [this](const QString& s) { return m_scanner->QuoteName(s); };
  auto lastPart = [](const QString& s) { return s.mid(s.lastIndexOf(QLatin1Char('.')) + 1); };
  // Derived items by their quoted text and by their last part (for unqualified items read).
  QHash<QString, QList<int>> byKey, byLast;
  for (int d = 0; d < derived.size(); ++d) {
    const QString k = key(derived[d]);
    byKey[k] << d;
    byLast[lastPart(k)] << d;
  }
  QList<bool> matched(derived.size(), false);
  for (int i = 0; i < m_groupByRead.size(); ++i) {
    const QString r = key(m_groupByRead[i]);
    QList<int> hits = byKey.value(r);
    if (!m_groupByRead[i].contains(QLatin1Char('.'))) hits += byLast.value(r);
    if (hits.isEmpty()) {
      // The written GROUP BY follows the output columns; this item would be lost.
      FailAt(m_groupByPos.value(i));
      return;
    }
    for (int d : hits)
      matched[d] = true;
  }
  const int missing = int(matched.indexOf(false));
  if (missing >= 0) {
    // A plain column beside an aggregate that the statement does not group by.
    const QString wanted = key(derived[missing]);
    const TKvTableDefs* defs = m_tableDefs.get();
    for (int n = 0; n < defs->FieldCount(); ++n) {
      const TKvFieldDef* f = defs->FieldByNumber(n);
      if (!f || f->Kind() != fkField || !m_columnPos.contains(f)) continue;
      const TKvTableDef* t = f->Table();
      const QString q = t ? t->AliasOrName() : QString();
      const QString name = m_scanner->QuoteIdentifier(f->Name());
      const QString item =
          q.isEmpty() ? name : m_scanner->QuoteIdentifier(q) + QLatin1Char('.') + name;
      if (key(item) == wanted) {
        FailAt(m_columnPos.value(f));
        return;
      }
    }
    FailAt(Here());
    return;
  }
  if (m_havingGiven && derived.isEmpty()) {
    // HAVING is written only with a GROUP BY.
    FailAt(m_havingPos);
  }
}

// ---------------------------------------------------------------------------------------------

void TKvSelectParser::Compose(TKvCriterion* crit) {
  auto* list = crit ? dynamic_cast<TKvCriterions*>(crit->Collection()) : nullptr;
  if (!list) return;
  const TKvRelation former = list->Relation();
  list->BeginUpdate();
  TKvCriterion* group = list->Insert(crit->Index());
  group->Items()->SetRelation(former);
  for (int i = list->Count() - 1; i >= 0; --i) {
    TKvCriterion* other = list->Items(i);
    if (other == group || other == crit) continue;
    group->Items()->Insert(0)->Assign(*other);
    list->Delete(i);
  }
  list->EndUpdate();
}
