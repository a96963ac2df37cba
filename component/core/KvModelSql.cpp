// Writing the query model back as SQL text: every model class writes its own piece. Lines are
// broken with CR LF and items indented by two spaces.

#include "KvModel.h"
#include "KvParser.h"
#include "KvText.h"

#include <QMap>
#include <QSet>

#include <vector>

namespace {

const QString CRLF = QStringLiteral("\r\n");
const QString Indent = QStringLiteral("  ");

bool IsQuoteChar(QChar c) {
  return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// Quoting of one name (a table, alias or column name as the database stores it).
QString ModelQuoteName(const TKvSelectParser* parser, const QString& s) {
  return parser ? parser->Scanner()->QuoteIdentifier(s) : s;
}

// A table named like a desktop-database file ("orders.db") is quoted whole. Only table names
// get this rule: a qualified column such as E.DB_NAME must keep its qualifier.
QString TableQuoteName(const TKvSelectParser* parser, const QString& s) {
  if (!parser) return s;
  const TKvSQLScanner* scanner = parser->Scanner();
  if (scanner->QuoteNamesEnabled() && s.toLower().contains(QLatin1String(".db")))
    return scanner->NameQuoteChar() + s + scanner->NameQuoteChar();
  return scanner->QuoteIdentifier(s);
}

// A qualified name as written in a condition: parts already in quotes stay.
QString QuoteQualified(const TKvSelectParser* parser, const QString& s) {
  return parser ? parser->Scanner()->QuoteName(s) : s;
}

QString ListQuoteName(const TKvSelectParser* parser, const QString& line) {
  if (!parser) return line;
  // A sort position (ORDER BY 2) is not a name: quoting it would sort by a column named "2".
  bool digits = !line.isEmpty();
  for (QChar c : line)
    digits = digits && c.isDigit();
  if (digits) return line;
  return parser->Scanner()->QuoteName(line);
}

QString Keyword(const TKvSelectParser* parser, const QString& s) {
  return parser ? parser->FormatKeyword(s) : s;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Letter case on the parser

QString TKvSelectParser::FormatKeyword(const QString& s) const {
  return KvFormatCase(s, m_scriptFormat->KeywordsFormat());
}

QString TKvSelectParser::FormatFunction(const QString& s) const {
  return KvFormatCase(s, m_scriptFormat->FunctionsFormat());
}

QString TKvFunctionDef::QuoteName(const QString& s) const {
  return ModelQuoteName(Parser(), s);
}

// ---------------------------------------------------------------------------------------------
// Operands and columns

QString TKvFunctionDef::GetSQL() const {
  if (HasArguments())
    return FormatFunction(m_name) + QLatin1Char('(') + m_arguments->GetSQL() + QLatin1Char(')');
  switch (m_kind) {
  case fkFunction:
    return FormatFunction(m_name) + QStringLiteral("()");
  case fkField: {
    const TKvTableDef* table = QualifyingTable();
    // Operands of conditions hold their qualified text; columns of a table one name.
    if (!table) return QuoteQualified(Parser(), m_name);
    // "T.*" keeps its star bare.
    QString r = m_name == QLatin1String("*") ? m_name : QuoteName(m_name);
    const QString q = table->AliasOrName();
    if (!q.isEmpty()) r = QuoteName(q) + QLatin1Char('.') + r;
    return r;
  }
  case fkString: {
    QString text = m_name;
    if (text.length() > 1 && IsQuoteChar(text.front()) && text.back() == text.front())
      text = text.mid(1, text.length() - 2);
    return text.isEmpty() ? QStringLiteral("''") : KvQuotedStr(text, QLatin1Char('\''));
  }
  default:
    return m_name;
  }
}

QString TKvFunctionDefs::GetSQL() const {
  QString r;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) r += QStringLiteral(", ");
    r += Items(i)->GetSQL();
  }
  return r;
}

QString TKvFieldDef::GetSQL() const {
  QString r = TKvFunctionDef::GetSQL();
  if (!m_alias.isEmpty() && m_alias != m_name) {
    const bool quote = Parser() && Parser()->Scanner()->QuoteAliases();
    r += QLatin1Char(' ') + FormatKeyword(QStringLiteral("AS")) + QLatin1Char(' ') +
         (quote ? QuoteName(m_alias) : m_alias);
  }
  return r;
}

QString TKvFieldDefs::GetSQL() const {
  QString r;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) r += QLatin1Char(',') + CRLF;
    r += Indent + Items(i)->GetSQL();
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// Joins

namespace {

// Where a join entry points: the joined table found by alias, else by name.
TKvTableDef* JoinTarget(const TKvJoinDef* join) {
  const TKvTableDef* owner = join->OwnerTable();
  const TKvTableDefs* defs = owner ? owner->TableDefs() : nullptr;
  if (!defs) return nullptr;
  TKvTableDef* t = defs->FindByAlias(join->JoinTable());
  return t ? t : defs->FindByName(join->JoinTable());
}

QString TableReference(const TKvTableDef* t) {
  const TKvSelectParser* p = t->Parser();
  QString r = TableQuoteName(p, t->TableName());
  if (!t->Alias().isEmpty() && t->Alias() != t->TableName())
    r += QLatin1Char(' ') + ModelQuoteName(p, t->Alias());
  return r;
}

bool JoinWritable(const TKvJoinDef* j) {
  return !j->Field().isEmpty() && !j->JoinField().trimmed().isEmpty() &&
         !j->JoinTable().isEmpty() && j->JoinType() <= jtFullOuter;
}

TKvJoinType Mirrored(TKvJoinType t) {
  if (t == jtLeftOuter) return jtRightOuter;
  if (t == jtRightOuter) return jtLeftOuter;
  return t;
}

// Writes the FROM list so that every table appears once. Each join condition goes into the ON
// clause of whichever of its two tables is written later, so that links drawn in any direction
// (two tables joined to a third, a closed ring) still give valid SQL. For joins that form a
// tree, the layout is: a table, then all joins leaving it, then the chains of the joined tables.
class FromWriter {
public:
  explicit FromWriter(const TKvTableDefs* defs, bool text = true)
      : m_defs(defs), m_text(text), m_out(std::size_t(defs->Count())),
        m_in(std::size_t(defs->Count())), m_emitted(std::size_t(defs->Count()), 0) {
    // Who joins whom, resolved once: the writer looks joins up from both ends.
    for (int i = 0; i < defs->Count(); ++i) {
      const TKvTableDef* t = defs->Items(i);
      const TKvJoinDefs* joins = t->Joins();
      for (int k = 0; k < joins->Count(); ++k) {
        const TKvJoinDef* j = joins->Items(k);
        if (!JoinWritable(j)) continue;
        const TKvTableDef* r = JoinTarget(j);
        if (!r || r == t) continue;
        m_out[std::size_t(i)].append({j, r});
        m_in[std::size_t(r->Index())].append({j, t});
      }
    }
  }

  QString Write() {
    QStringList entries;
    for (int pass = 0; pass < 2; ++pass)
      for (int i = 0; i < m_defs->Count(); ++i) {
        const TKvTableDef* t = m_defs->Items(i);
        if (Emitted(t) || t->TableName().isEmpty()) continue;
        if (pass == 0 && m_defs->IsJoinTarget(t)) continue;
        entries << Entry(t);
      }
    return entries.join(QLatin1Char(',') + CRLF);
  }

  QString Entry(const TKvTableDef* t) {
    Emit(t);
    const QString chain = Chain(t);
    return m_text ? Indent + TableReference(t) + chain : QString();
  }

  const QList<const TKvTableDef*>& Order() const { return m_order; }

private:
  struct Edge {
    const TKvJoinDef* join;
    const TKvTableDef* other;
  };
  struct Clause {
    const TKvTableDef* table;
    QString text;
  };

  QString Chain(const TKvTableDef* t) {
    QList<Clause> clauses;
    for (const Edge& e : Out(t)) {
      if (e.other->TableName().isEmpty() || Emitted(e.other)) continue;
      Emit(e.other);
      clauses.append({e.other, JoinClause(e.other, t, e.join->JoinType())});
    }
    // Tables that join to this one but were not written yet follow it, mirrored.
    for (const Edge& e : In(t)) {
      if (e.other->TableName().isEmpty() || Emitted(e.other)) continue;
      Emit(e.other);
      clauses.append({e.other, JoinClause(e.other, t, Mirrored(e.join->JoinType()))});
    }
    QString r;
    if (m_text && !clauses.isEmpty()) {
      r = QLatin1Char(' ') + CRLF + Indent;
      for (int i = 0; i < clauses.size(); ++i) {
        if (i > 0) r += CRLF + Indent;
        r += clauses[i].text;
      }
    }
    for (const Clause& c : clauses) {
      const QString sub = Chain(c.table);
      if (!sub.isEmpty()) r += QLatin1Char(' ') + sub;
    }
    return r;
  }

  // The JOIN clause that brings `r` in, reached from `parent`: the conditions between `r` and
  // every table written so far, those with the parent first.
  QString JoinClause(const TKvTableDef* r, const TKvTableDef* parent, TKvJoinType type) {
    if (!m_text) return QString();
    QStringList conditions;
    auto add = [&](const TKvJoinDef* j) {
      if (m_written.contains(j)) return;
      const QString c = j->ConditionSQL();
      if (c.isEmpty()) return;
      m_written.insert(j);
      conditions << c;
    };
    for (const Edge& e : Out(parent))
      if (e.other == r) add(e.join);
    for (const Edge& e : Out(r))
      if (e.other == parent) add(e.join);
    // The other tables already written, in list order: their joins to `r`, then `r`'s to them.
    bool others = false;
    for (const Edge& e : In(r))
      others = others || (e.other != parent && Emitted(e.other));
    for (const Edge& e : Out(r))
      others = others || (e.other != parent && Emitted(e.other));
    if (others) {
      QMap<int, QList<const TKvJoinDef*>> byTable;
      for (const Edge& e : In(r))
        if (e.other != parent && Emitted(e.other)) byTable[2 * e.other->Index()].append(e.join);
      for (const Edge& e : Out(r))
        if (e.other != parent && Emitted(e.other)) byTable[2 * e.other->Index() + 1].append(e.join);
      for (const QList<const TKvJoinDef*>& joins : byTable)
        for (const TKvJoinDef* j : joins)
          add(j);
    }
    const TKvSelectParser* p = r->Parser();
    return Keyword(p, JoinTypeText(type)) + QLatin1Char(' ') + Keyword(p, QStringLiteral("JOIN")) +
           QLatin1Char(' ') + TableReference(r) + QLatin1Char(' ') +
           Keyword(p, QStringLiteral("ON")) + QLatin1Char(' ') +
           conditions.join(Keyword(p, QStringLiteral(" AND ")));
  }

  void Emit(const TKvTableDef* t) {
    m_emitted[std::size_t(t->Index())] = 1;
    m_order.append(t);
  }
  bool Emitted(const TKvTableDef* t) const { return m_emitted[std::size_t(t->Index())]; }
  const QList<Edge>& Out(const TKvTableDef* t) const { return m_out[std::size_t(t->Index())]; }
  const QList<Edge>& In(const TKvTableDef* t) const { return m_in[std::size_t(t->Index())]; }

  const TKvTableDefs* m_defs;
  bool m_text;
  std::vector<QList<Edge>> m_out;
  std::vector<QList<Edge>> m_in;
  QList<const TKvTableDef*> m_order;
  std::vector<char> m_emitted;
  QSet<const TKvJoinDef*> m_written;
};

} // namespace

QList<const TKvTableDef*> KvFromOrder(const TKvTableDefs* defs) {
  FromWriter writer(defs, false);
  writer.Write();
  return writer.Order();
}

QString TKvJoinDef::ConditionSQL() const {
  const TKvTableDef* owner = OwnerTable();
  if (!owner || !JoinWritable(this)) return QString();
  const TKvTableDef* target = JoinTarget(this);
  const QString left = owner->AliasOrName();
  const QString right = target ? target->AliasOrName() : m_joinTable;
  if (left.isEmpty() || right.isEmpty()) return QString();
  const TKvSelectParser* p = Parser();
  return QStringLiteral("(%1.%2 %3 %4.%5)")
      .arg(ModelQuoteName(p, left), ModelQuoteName(p, m_field), m_operator,
           ModelQuoteName(p, right), ModelQuoteName(p, m_joinField));
}

QString TKvJoinDef::GetSQL() const {
  const TKvTableDef* owner = OwnerTable();
  if (!owner || !JoinWritable(this)) return QString();
  const TKvSelectParser* p = Parser();
  QString joined;
  if (owner->TableDefs()) {
    const TKvTableDef* target = JoinTarget(this);
    if (!target) return QString();
    joined = TableReference(target);
  } else {
    joined = ModelQuoteName(p, m_joinTable);
  }
  const QString condition = ConditionSQL();
  if (condition.isEmpty()) return QString();
  return Keyword(p, JoinTypeText(m_joinType)) + QLatin1Char(' ') +
         Keyword(p, QStringLiteral("JOIN")) + QLatin1Char(' ') + joined + QLatin1Char(' ') +
         Keyword(p, QStringLiteral("ON")) + QLatin1Char(' ') + condition;
}

QString TKvJoinDefs::GetSQL() const {
  if (!m_owner) return QString();
  QString r;
  for (int i = 0; i < Count(); ++i) {
    const QString text = Items(i)->GetSQL();
    if (!r.isEmpty() && !text.isEmpty()) r += CRLF + Indent;
    r += text;
  }
  return r.isEmpty() ? r : CRLF + Indent + r;
}

// ---------------------------------------------------------------------------------------------
// Tables

QString TKvTableDef::GetFromSQL() const {
  if (const TKvTableDefs* defs = TableDefs()) return FromWriter(defs).Entry(this);
  QString r = Indent + TableReference(this);
  const QString joins = m_joins->GetSQL();
  if (!joins.isEmpty()) r += QLatin1Char(' ') + joins;
  return r;
}

QString TKvTableDefs::GetSQL() const {
  QString select;
  select.reserve(FieldCount() * 24);
  for (int n = 0; n < FieldCount(); ++n) {
    const TKvFieldDef* f = FieldByNumber(n);
    if (!f) continue;
    const QString text = f->GetSQL();
    if (text.isEmpty()) continue;
    if (!select.isEmpty()) select += QLatin1Char(',') + CRLF;
    select += Indent + text;
  }
  const QString from = FromWriter(this).Write();
  QString r;
  if (!select.isEmpty())
    r = CRLF + select;
  else if (!from.isEmpty())
    r = QStringLiteral("*");
  if (!from.isEmpty()) r += CRLF + Keyword(Parser(), QStringLiteral("FROM")) + CRLF + from + CRLF;
  return r;
}

// ---------------------------------------------------------------------------------------------
// Conditions

QString TKvCriterion::GetSQL() const {
  if (m_items->Count() > 0) return m_items->GetSQL();
  const TKvSelectParser* p = Parser();
  QString operands;
  const TKvOperator* op = nullptr;
  if (auto* list = dynamic_cast<TKvCriterions*>(Collection()); list && list->Parser())
    op = list->Parser()->Operators()->FindByCaption(m_operator);
  if (op) {
    for (int i = 0; i < op->Count(); ++i) {
      operands += i < m_arguments->Count() ? m_arguments->Items(i)->GetSQL() : QStringLiteral(" ");
      if (i + 1 < op->Count())
        operands += QLatin1Char(' ') + Keyword(p, op->Relate()) + QLatin1Char(' ');
    }
  } else {
    operands = m_arguments->GetSQL();
  }
  const QString field = m_field->GetSQL();
  if (!operands.isEmpty())
    return field + QLatin1Char(' ') + Keyword(p, m_operator) + QLatin1Char(' ') + operands;
  return field + QLatin1Char(' ') + Keyword(p, m_operator);
}

QString TKvCriterions::GetSQL() const {
  if (Count() == 0) return QString();
  const TKvSelectParser* p = Parser();
  const bool any = m_relation == krAny || m_relation == krNone;
  const QString conjunction = Keyword(p, any ? QStringLiteral(" OR ") : QStringLiteral(" AND "));
  QString r;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) r += CRLF + Indent;
    r += QLatin1Char('(') + Items(i)->GetSQL() + QLatin1Char(')');
    if (i + 1 < Count()) r += conjunction;
  }
  if (m_relation == krNotAll || m_relation == krNone)
    r = Keyword(p, QStringLiteral("NOT")) + QStringLiteral(" (") + r + QLatin1Char(')');
  if (!m_owner) r += CRLF;
  return r;
}

QString TKvWhereItems::GetSQL() const {
  const QString text = TKvCriterions::GetSQL();
  if (text.isEmpty()) return text;
  return Keyword(Parser(), QStringLiteral("WHERE")) + CRLF + Indent + text;
}

QString TKvHavingItems::GetSQL() const {
  if (!Parser() || Parser()->GroupByItems()->Count() < 1) return QString();
  const QString text = TKvCriterions::GetSQL();
  if (text.isEmpty()) return text;
  return Keyword(Parser(), QStringLiteral("HAVING")) + CRLF + Indent + text;
}

// ---------------------------------------------------------------------------------------------
// ORDER BY and GROUP BY

QString TKvOrderByItems::GetSQL() const {
  QString r;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) r += QLatin1Char(',') + CRLF + Indent;
    r += ListQuoteName(m_parser, Strings(i));
    if (Direction(i) == 1) r += QStringLiteral(" DESC");
  }
  if (r.isEmpty()) return r;
  return Keyword(m_parser, QStringLiteral("ORDER")) + QLatin1Char(' ') +
         Keyword(m_parser, QStringLiteral("BY")) + CRLF + Indent + r + CRLF;
}

QStringList TKvGroupByItems::DerivedItems() const {
  QStringList items;
  if (!m_parser) return items;
  const TKvTableDefs* defs = m_parser->TableDefs();
  bool aggregate = false;
  bool plain = false;
  for (int n = 0; n < defs->FieldCount(); ++n) {
    const TKvFieldDef* f = defs->FieldByNumber(n);
    if (!f) continue;
    const bool isAggregate = f->Kind() == fkFunction && m_parser->IsAggregate(f->Name());
    aggregate = aggregate || isAggregate;
    plain = plain || !isAggregate;
  }
  if (!aggregate || !plain) return items;
  const TKvSQLScanner* scanner = m_parser->Scanner();
  for (int n = 0; n < defs->FieldCount(); ++n) {
    const TKvFieldDef* f = defs->FieldByNumber(n);
    if (!f || f->Kind() != fkField || m_parser->IsAggregate(f->Name())) continue;
    const TKvTableDef* t = f->Table();
    const QString q = t ? t->AliasOrName() : QString();
    const QString name =
        f->Name() == QLatin1String("*") ? f->Name() : scanner->QuoteIdentifier(f->Name());
    items << (q.isEmpty() ? name : scanner->QuoteIdentifier(q) + QLatin1Char('.') + name);
  }
  return items;
}

QString TKvGroupByItems::GetSQL() {
  if (m_parser) m_lines = DerivedItems();
  QString r;
  for (int i = 0; i < Count(); ++i) {
    if (i > 0) r += QLatin1Char(',') + CRLF + Indent;
    r += ListQuoteName(m_parser, Strings(i));
  }
  if (r.isEmpty()) return r;
  return Keyword(m_parser, QStringLiteral("GROUP")) + QLatin1Char(' ') +
         Keyword(m_parser, QStringLiteral("BY")) + CRLF + Indent + r + CRLF;
}

// ---------------------------------------------------------------------------------------------
// The statement

QString TKvSelectParser::GetSQL() {
  const QString tables = m_tableDefs->GetSQL();
  if (tables.isEmpty()) return QString();
  QString r = FormatKeyword(QStringLiteral("SELECT")) + QLatin1Char(' ');
  if (m_distinct) r += FormatKeyword(QStringLiteral("DISTINCT")) + QLatin1Char(' ');
  r += tables;
  r += m_whereItems->GetSQL();
  r += m_groupByItems->GetSQL();
  r += m_havingItems->GetSQL();
  r += m_orderByItems->GetSQL();
  return r;
}
