// Reading operands, output expressions and condition trees, and turning them into model items.

#include "KvParser.h"
#include "KvText.h"

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
      return e.typeWord + QLatin1Char(' ') + KvQuotedStr(e.text, QLatin1Char('\''));
    return e.literalKind == tkString ? KvQuotedStr(e.text, QLatin1Char('\'')) : e.text;
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

// A literal's value and kind; a typed literal (DATE '...') is kept as its text of `typedKind`.
void TKvSelectParser::StoreLiteral(const Expr& e, TKvFunctionDef* def, TKvFunctionKind typedKind) {
  if (!e.typeWord.isEmpty()) {
    def->SetName(Render(e));
    def->SetKind(typedKind);
    return;
  }
  def->SetName(e.literalKind == tkString ? StoredString(e.text) : e.text);
  def->SetKind(LiteralKind(e.literalKind));
}

// Fills `def` from an expression read in a condition: names keep their qualifiers as text.
void TKvSelectParser::StoreConditionOperand(const Expr& e, TKvFunctionDef* def) {
  def->Clear();
  switch (e.type) {
  case Expr::Literal:
    StoreLiteral(e, def, fkText);
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
    StoreLiteral(e, def, fkText);
    break;
  case Expr::Name: {
    // GEN_ID names a generator, never a column.
    const bool generator = index == 0 && KvSameWord(function, "GEN_ID");
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
    StoreLiteral(e, def, fkExpression);
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
  case Expr::Binary:
  case Expr::List:
    // As an argument of a function reads it, relative to the column's own table.
    StoreColumnArgument(e, def, table, QString(), -1);
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
// Condition trees

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
