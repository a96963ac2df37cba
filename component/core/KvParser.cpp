#include "KvParser.h"

#include "KvText.h"

#include <QSet>

#include <cstring>

#include <utility>

namespace {

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
  return KvSameWord(s, "INNER") || KvSameWord(s, "LEFT") || KvSameWord(s, "RIGHT") ||
         KvSameWord(s, "FULL");
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
  return Kind() == tkKeyword && KvSameWord(Tok(), word);
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
      } else if (IsKeywordToken("GROUP") && KvSameWord(m_scanner->PeekToken(), "BY")) {
        m_state = psGroupBy;
        Next();
      } else if (IsKeywordToken("HAVING")) {
        m_state = psHaving;
        m_havingPos = Here();
        m_havingGiven = true;
      } else if (IsKeywordToken("ORDER") && KvSameWord(m_scanner->PeekToken(), "BY")) {
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

void TKvSelectParser::AfterConditions() {
  // WHERE may be followed by GROUP BY and HAVING, HAVING by neither.
  NextClause(m_state != psHaving, m_state != psHaving);
}

void TKvSelectParser::NextClause(bool groupBy, bool having) {
  if (AtEnd()) {
    m_state = psDone;
  } else if (groupBy && IsKeywordToken("GROUP") && KvSameWord(m_scanner->PeekToken(), "BY")) {
    m_state = psGroupBy;
    Next();
  } else if (having && IsKeywordToken("HAVING")) {
    m_state = psHaving;
    m_havingPos = Here();
    m_havingGiven = true;
  } else if (IsKeywordToken("ORDER") && KvSameWord(m_scanner->PeekToken(), "BY")) {
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
  NextClause(false, true);
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
  if (derived.isEmpty() && m_groupByRead.isEmpty() && !m_havingGiven) return;
  // Names read and names written mostly agree already; only differing ones need quoting to
  // compare.
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
