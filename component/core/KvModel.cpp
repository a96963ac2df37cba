#include "KvModel.h"

#include "KvParser.h"
#include "KvResource.h"

#include <algorithm>

QString RelationCaption(int relation) {
  switch (relation) {
  case krAll:
    return KvResource::SRelationAll;
  case krAny:
    return KvResource::SRelationAny;
  case krNotAll:
    return KvResource::SRelationNotAll;
  case krNone:
    return KvResource::SRelationNone;
  default:
    return QString();
  }
}

QString JoinTypeText(int joinType) {
  switch (joinType) {
  case jtInner:
    return QStringLiteral("INNER");
  case jtLeftOuter:
    return QStringLiteral("LEFT OUTER");
  case jtRightOuter:
    return QStringLiteral("RIGHT OUTER");
  case jtFullOuter:
    return QStringLiteral("FULL OUTER");
  default:
    return QString();
  }
}

QString KvFormatCase(const QString& s, TKvFormatMode mode) {
  switch (mode) {
  case kfmUpperCase:
    return s.toUpper();
  case kfmLowerCase:
    return s.toLower();
  case kfmFirstUpper: {
    QString r = s;
    for (qsizetype i = 0; i < r.size(); ++i)
      r[i] = (i == 0 || r[i - 1] == QLatin1Char('_')) ? r[i].toUpper() : r[i].toLower();
    return r;
  }
  case kfmAsIs:
  default:
    return s;
  }
}

// ---------------------------------------------------------------------------------------------
// TKvFunctionDef

TKvFunctionDef::TKvFunctionDef(TKvCollection* collection) : TKvCollectionItem(collection) {}

bool TKvFunctionDef::HasArguments() const {
  return m_arguments && m_arguments->Count() > 0;
}

TKvFunctionDefs* TKvFunctionDef::Arguments() const {
  if (!m_arguments) {
    m_arguments.reset(const_cast<TKvFunctionDef*>(this)->CreateArguments());
    m_arguments->SetParser(Parser());
  }
  return m_arguments.get();
}

TKvFunctionDef::~TKvFunctionDef() = default;

TKvFunctionDefs* TKvFunctionDef::CreateArguments() {
  return new TKvFunctionDefs(this);
}

void TKvFunctionDef::SetName(const QString& name) {
  if (name != m_name) m_name = name;
}

void TKvFunctionDef::SetKind(TKvFunctionKind kind) {
  m_kind = kind;
}

void TKvFunctionDef::Clear() {
  m_name.clear();
  m_kind = fkText;
  if (m_arguments) m_arguments->Clear();
}

void TKvFunctionDef::Assign(const TKvCollectionItem& source) {
  TKvCollectionItem::Assign(source);
  if (auto* src = dynamic_cast<const TKvFunctionDef*>(&source)) {
    if (m_arguments) m_arguments->Clear();
    if (src->HasArguments()) {
      TKvFunctionDefs* args = Arguments();
      args->BeginUpdate();
      for (int i = 0; i < src->m_arguments->Count(); ++i)
        args->Add()->Assign(*src->m_arguments->Items(i));
      args->EndUpdate();
    }
    m_kind = src->m_kind;
    m_name = src->m_name;
    Changed();
  }
}

void TKvFunctionDef::Changed() {}

void TKvFunctionDef::SetParser(TKvSelectParser* parser) {
  TKvCollectionItem::SetParser(parser);
  if (m_arguments) m_arguments->SetParser(parser);
}

TKvTableDef* TKvFunctionDef::QualifyingTable() const {
  const TKvCollectionItem* item = this;
  while (auto* defs = dynamic_cast<TKvFunctionDefs*>(item->Collection())) {
    item = defs->Owner();
    if (!item) return nullptr;
    if (auto* table = dynamic_cast<const TKvTableDef*>(item))
      return const_cast<TKvTableDef*>(table);
  }
  return nullptr;
}

QString TKvFunctionDef::FormatKeyword(const QString& s) const {
  return Parser() ? Parser()->FormatKeyword(s) : s;
}

QString TKvFunctionDef::FormatFunction(const QString& s) const {
  return Parser() ? Parser()->FormatFunction(s) : s;
}

// ---------------------------------------------------------------------------------------------
// TKvFieldDef

TKvFieldDef::TKvFieldDef(TKvCollection* collection) : TKvFunctionDef(collection) {
  TKvTableDefs* defs = TableDefs();
  if (defs) {
    defs->RegisterField(this);
  } else {
    m_number = Index() >= 0 ? Index() : 0;
  }
}

TKvFieldDef::~TKvFieldDef() {
  if (m_registry) {
    m_registry->UnregisterField(this);
  } else if (auto* list = dynamic_cast<TKvFieldDefs*>(Collection())) {
    for (int i = 0; i < list->Count(); ++i) {
      TKvFieldDef* f = list->Items(i);
      if (f != this && f->m_number > m_number) --f->m_number;
    }
  }
}

TKvTableDef* TKvFieldDef::Table() const {
  auto* list = dynamic_cast<TKvFieldDefs*>(Collection());
  return list ? dynamic_cast<TKvTableDef*>(list->Owner()) : nullptr;
}

TKvTableDefs* TKvFieldDef::TableDefs() const {
  TKvTableDef* table = Table();
  return table ? table->TableDefs() : nullptr;
}

void TKvFieldDef::SetAlias(const QString& alias) {
  if (alias == m_alias) return;
  const QString old = m_alias;
  m_alias = alias;
  if (m_registry) m_registry->FieldAliasChanged(old, alias);
  Changed();
}

QString TKvFieldDef::MakeUniqueAlias(const QString& base, bool numbered) const {
  if (TKvTableDefs* defs = TableDefs()) return defs->UniqueAlias(base, numbered);
  return numbered ? base + QLatin1Char('1') : base;
}

void TKvFieldDef::Changed() {
  if (TKvTableDef* t = Table()) t->m_aliasesDirty = true;
  if (m_registry) m_registry->m_dirty = true;
}

void TKvFieldDef::SetName(const QString& name) {
  // Setting the same name again must not count the column's own alias as taken.
  if (name == m_name) return;
  if (m_alias == m_name) SetAlias(MakeUniqueAlias(name, false));
  TKvFunctionDef::SetName(name);
  Changed();
}

void TKvFieldDef::SetKind(TKvFunctionKind kind) {
  TKvFunctionDef::SetKind(kind);
  if (m_alias == m_name && kind != fkText && kind != fkField)
    SetAlias(MakeUniqueAlias(QStringLiteral("FIELD_"), true));
  Changed();
}

void TKvFieldDef::Clear() {
  TKvFunctionDef::Clear();
  SetAlias(m_name);
}

void TKvFieldDef::Assign(const TKvCollectionItem& source) {
  TKvFunctionDef::Assign(source);
  if (auto* src = dynamic_cast<const TKvFieldDef*>(&source)) SetAlias(src->m_alias);
}

// ---------------------------------------------------------------------------------------------
// TKvFieldDefs

TKvFieldDef* TKvFieldDefs::FindByAlias(const QString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Alias() == s) return Items(i);
  return nullptr;
}

TKvFieldDef* TKvFieldDefs::FindByName(const QString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Name() == s) return Items(i);
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// TKvJoinDef

TKvJoinDef::~TKvJoinDef() {
  if (m_joinTable.isEmpty()) return;
  if (TKvTableDef* owner = OwnerTable())
    if (TKvTableDefs* defs = owner->TableDefs()) defs->JoinTargetChanged(m_joinTable, QString());
}

void TKvJoinDef::Assign(const TKvCollectionItem& source) {
  if (auto* src = dynamic_cast<const TKvJoinDef*>(&source)) {
    m_joinType = src->m_joinType;
    m_field = src->m_field;
    m_joinField = src->m_joinField;
    SetJoinTable(src->m_joinTable);
    m_operator = src->m_operator;
  } else {
    TKvCollectionItem::Assign(source);
  }
}

TKvTableDef* TKvJoinDef::OwnerTable() const {
  auto* list = dynamic_cast<TKvJoinDefs*>(Collection());
  return list ? list->Owner() : nullptr;
}

void TKvJoinDef::SetJoinTable(const QString& s) {
  if (s == m_joinTable) return;
  const QString old = m_joinTable;
  m_joinTable = s;
  if (TKvTableDef* owner = OwnerTable())
    if (TKvTableDefs* defs = owner->TableDefs()) defs->JoinTargetChanged(old, s);
}

TKvJoinDef* TKvJoinDefs::Find(const QString& field, const QString& joinTable,
                              const QString& joinField) const {
  for (int i = 0; i < Count(); ++i) {
    TKvJoinDef* j = Items(i);
    if (j->Field() == field && j->JoinTable() == joinTable && j->JoinField() == joinField) return j;
  }
  return nullptr;
}

void TKvJoinDefs::Update(TKvCollectionItem*) {
  // A join added or removed changes which tables are join targets; the table list counts
  // them itself as items come and go.
}

// ---------------------------------------------------------------------------------------------
// TKvTableDef

TKvTableDef::TKvTableDef(TKvCollection* collection) : TKvCollectionItem(collection) {
  m_fields.reset(CreateFields());
  m_joins.reset(CreateJoins());
  if (TKvTableDefs* defs = TableDefs()) defs->TableKeyChanged(this, QString(), QString());
}

TKvTableDef::~TKvTableDef() {
  TKvTableDefs* defs = TableDefs();
  TKvSelectParser* parser = Parser();
  const bool bulk = defs && defs->m_destroying;
  if (defs && !bulk) defs->TableLeaving(this);
  m_joins.reset();
  m_fields.reset();
  const QString qualifier = AliasOrName();
  DetachFromCollection();
  if (defs && !bulk) defs->RemoveDanglingJoins();
  // Sort lines name the table by the qualifier its columns are written with. Matching the
  // table name instead would drop another instance's lines and keep this one's.
  if (parser && !qualifier.isEmpty() && parser->OrderByItems()) {
    TKvOrderByItems* order = parser->OrderByItems();
    const QString prefix = qualifier + QLatin1Char('.');
    for (int i = order->Count() - 1; i >= 0; --i)
      if (order->Strings(i).startsWith(prefix)) order->Delete(i);
  }
}

TKvTableDefs* TKvTableDef::TableDefs() const {
  return dynamic_cast<TKvTableDefs*>(Collection());
}

TKvFieldDefs* TKvTableDef::CreateFields() {
  return new TKvFieldDefs(this);
}

TKvJoinDefs* TKvTableDef::CreateJoins() {
  return new TKvJoinDefs(this);
}

void TKvTableDef::SetParser(TKvSelectParser* parser) {
  TKvCollectionItem::SetParser(parser);
  if (m_fields) m_fields->SetParser(parser);
  if (m_joins) m_joins->SetParser(parser);
}

void TKvTableDef::SetTableName(const QString& name) {
  if (name == m_tableName) return;
  const QString oldAlias = m_alias;
  const QString oldName = m_tableName;
  const QString oldQualifier = AliasOrName();
  if (m_alias == m_tableName) {
    if (TKvTableDefs* defs = TableDefs()) defs->RenameJoinTable(m_alias, name);
    m_alias = name;
  }
  m_tableName = name;
  if (TKvTableDefs* defs = TableDefs()) defs->TableKeyChanged(this, oldAlias, oldName);
  QualifierChanged(oldQualifier);
}

void TKvTableDef::SetAlias(const QString& alias) {
  if (alias == m_alias) return;
  const QString oldAlias = m_alias;
  const QString oldQualifier = AliasOrName();
  TKvTableDefs* defs = TableDefs();
  if (defs) defs->RenameJoinTable(oldAlias, alias);
  m_alias = alias;
  if (defs) defs->TableKeyChanged(this, oldAlias, m_tableName);
  QualifierChanged(oldQualifier);
}

void TKvTableDef::QualifierChanged(const QString& old) {
  // Sort lines name the table by its qualifier: they follow a new alias, or they would sort
  // by a table the statement no longer has.
  const QString now = AliasOrName();
  TKvSelectParser* parser = Parser();
  if (old == now || old.isEmpty() || now.isEmpty() || !parser || !parser->OrderByItems()) return;
  TKvOrderByItems* order = parser->OrderByItems();
  const QString prefix = old + QLatin1Char('.');
  for (int i = 0; i < order->Count(); ++i)
    if (order->Strings(i).startsWith(prefix))
      order->SetLine(i, now + order->Strings(i).mid(old.length()));
}

void TKvTableDef::Assign(const TKvCollectionItem& source) {
  TKvCollectionItem::Assign(source);
  if (auto* src = dynamic_cast<const TKvTableDef*>(&source)) {
    SetAlias(src->m_alias);
    m_fields->BeginUpdate();
    m_fields->Clear();
    for (int i = 0; i < src->m_fields->Count(); ++i)
      m_fields->Add()->Assign(*src->m_fields->Items(i));
    m_fields->EndUpdate();
    const QString oldAlias = m_alias;
    const QString oldName = m_tableName;
    m_tableName = src->m_tableName;
    if (TKvTableDefs* defs = TableDefs()) defs->TableKeyChanged(this, oldAlias, oldName);
  }
}

// ---------------------------------------------------------------------------------------------
// TKvTableDefs

TKvTableDefs::~TKvTableDefs() {
  m_destroying = true;
  DestroyItems();
}

void TKvTableDefs::Clear() {
  m_destroying = true;
  TKvCollectionOf<TKvTableDef>::Clear();
  m_destroying = false;
  m_byNumber.clear();
  m_aliasUse.clear();
  m_byAlias.clear();
  m_byName.clear();
  m_joinTargets.clear();
}

TKvTableDef* TKvTableDefs::FirstOf(const TableIndex& index, const QString& key) {
  const auto it = index.constFind(key);
  if (it == index.cend()) return nullptr;
  const QList<TKvTableDef*>& list = it.value();
  TKvTableDef* best = list.first();
  for (qsizetype i = 1; i < list.size(); ++i)
    if (list[i]->Index() < best->Index()) best = list[i];
  return best;
}

// Empty aliases and names are not indexed (every new table starts with them): those few
// lookups walk the list.
TKvTableDef* TKvTableDefs::FindByAlias(const QString& s) const {
  if (s.isEmpty()) {
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->m_alias.isEmpty()) return Items(i);
    return nullptr;
  }
  return FirstOf(m_byAlias, s);
}

TKvTableDef* TKvTableDefs::FindByName(const QString& s) const {
  if (s.isEmpty()) {
    for (int i = 0; i < Count(); ++i)
      if (Items(i)->m_tableName.isEmpty()) return Items(i);
    return nullptr;
  }
  return FirstOf(m_byName, s);
}

TKvTableDef* TKvTableDefs::FindByAliasOrName(const QString& s) const {
  if (s.isEmpty()) return nullptr;
  if (TKvTableDef* t = FindByAlias(s)) return t;
  // A table without an alias goes by its name; others of that name have aliases.
  TKvTableDef* t = FindByName(s);
  if (!t || t->m_alias.isEmpty()) return t;
  TKvTableDef* first = nullptr;
  for (TKvTableDef* other : m_byName.value(s))
    if (other->m_alias.isEmpty() && (!first || other->Index() < first->Index())) first = other;
  return first;
}

TKvFieldDef* TKvTableDefs::FieldByNumber(int n) const {
  if (n >= 0 && n < int(m_byNumber.size()) && m_byNumber[std::size_t(n)]->m_number == n)
    return m_byNumber[std::size_t(n)];
  for (TKvFieldDef* f : m_byNumber)
    if (f->m_number == n) return f;
  return nullptr;
}

bool TKvTableDefs::IsJoinTarget(const TKvTableDef* table) const {
  return table && m_joinTargets.value(table->Alias()) > 0;
}

bool TKvTableDefs::IsAliasUsed(const QString& s) const {
  return m_aliasUse.value(s) > 0;
}

QString TKvTableDefs::UniqueAlias(const QString& base, bool numbered) const {
  QString r = base;
  int counter = 0;
  while (numbered || IsAliasUsed(r)) {
    ++counter;
    r = base + QString::number(counter);
    numbered = false;
  }
  return r;
}

void TKvTableDefs::RenameJoinTable(const QString& oldName, const QString& newName) {
  if (oldName == newName || m_joinTargets.value(oldName) == 0) return;
  for (int t = 0; t < Count(); ++t) {
    TKvJoinDefs* joins = Items(t)->Joins();
    if (!joins) continue;
    for (int j = 0; j < joins->Count(); ++j)
      if (joins->Items(j)->JoinTable() == oldName) joins->Items(j)->SetJoinTable(newName);
  }
}

void TKvTableDefs::RemoveDanglingJoins() {
  for (int t = 0; t < Count(); ++t) {
    TKvJoinDefs* joins = Items(t)->Joins();
    if (!joins) continue;
    for (int j = joins->Count() - 1; j >= 0; --j) {
      // Only the joined table must be there: a join may compare columns that are not output.
      if (!FindByAliasOrName(joins->Items(j)->JoinTable())) joins->Delete(j);
    }
  }
}

void TKvTableDefs::MakeAliasesUnique() {
  if (!m_dirty) return;
  m_dirty = false;
  for (int t = 0; t < Count(); ++t) {
    TKvTableDef* table = Items(t);
    if (!table->m_aliasesDirty) continue;
    table->m_aliasesDirty = false;
    TKvFieldDefs* fields = table->Fields();
    // A later column whose alias an earlier column of the same table already carries gets a
    // numbered one, so output names stay unique within a table.
    QHash<QString, int> seen;
    for (int i = 0; i < fields->Count(); ++i) {
      TKvFieldDef* f = fields->Items(i);
      if (seen.contains(f->Alias())) {
        f->SetAlias(f->Kind() != fkField ? UniqueAlias(QStringLiteral("FIELD_"), true)
                                         : UniqueAlias(f->Name(), true));
      }
      seen.insert(f->Alias(), i);
    }
    table->m_aliasesDirty = false;
  }
  m_dirty = false;
}

void TKvTableDefs::Update(TKvCollectionItem*) {
  MakeAliasesUnique();
}

void TKvTableDefs::RegisterField(TKvFieldDef* field) {
  field->m_registry = this;
  field->m_number = int(m_byNumber.size());
  m_byNumber.push_back(field);
  ++m_aliasUse[field->Alias()];
  if (TKvTableDef* t = field->Table()) t->m_aliasesDirty = true;
  m_dirty = true;
}

void TKvTableDefs::UnregisterField(TKvFieldDef* field) {
  field->m_registry = nullptr;
  if (m_destroying) return;
  auto it = m_aliasUse.find(field->Alias());
  if (it != m_aliasUse.end() && --it.value() <= 0) m_aliasUse.erase(it);
  const int n = field->m_number;
  std::size_t pos = std::size_t(n);
  if (n < 0 || pos >= m_byNumber.size() || m_byNumber[pos] != field) {
    auto found = std::find(m_byNumber.begin(), m_byNumber.end(), field);
    if (found == m_byNumber.end()) return;
    pos = std::size_t(found - m_byNumber.begin());
  }
  m_byNumber.erase(m_byNumber.begin() + std::ptrdiff_t(pos));
  for (TKvFieldDef* f : m_byNumber)
    if (f->m_number > n) --f->m_number;
  if (TKvTableDef* t = field->Table()) t->m_aliasesDirty = true;
  m_dirty = true;
}

void TKvTableDefs::FieldAliasChanged(const QString& oldAlias, const QString& newAlias) {
  auto it = m_aliasUse.find(oldAlias);
  if (it != m_aliasUse.end() && --it.value() <= 0) m_aliasUse.erase(it);
  ++m_aliasUse[newAlias];
}

namespace {
void RemoveKey(QHash<QString, QList<TKvTableDef*>>& index, const QString& key, TKvTableDef* t) {
  if (key.isEmpty()) return;
  auto it = index.find(key);
  if (it == index.end()) return;
  it.value().removeOne(t);
  if (it.value().isEmpty()) index.erase(it);
}
} // namespace

void TKvTableDefs::TableKeyChanged(TKvTableDef* table, const QString& oldAlias,
                                   const QString& oldName) {
  if (m_destroying) return;
  if (oldAlias != table->m_alias) {
    RemoveKey(m_byAlias, oldAlias, table);
    if (!table->m_alias.isEmpty()) m_byAlias[table->m_alias].append(table);
  }
  if (oldName != table->m_tableName) {
    RemoveKey(m_byName, oldName, table);
    if (!table->m_tableName.isEmpty()) m_byName[table->m_tableName].append(table);
  }
}

void TKvTableDefs::TableLeaving(TKvTableDef* table) {
  RemoveKey(m_byAlias, table->m_alias, table);
  RemoveKey(m_byName, table->m_tableName, table);
}

void TKvTableDefs::JoinTargetChanged(const QString& oldTarget, const QString& newTarget) {
  if (oldTarget == newTarget || m_destroying) return;
  if (!oldTarget.isEmpty()) {
    auto it = m_joinTargets.find(oldTarget);
    if (it != m_joinTargets.end() && --it.value() <= 0) m_joinTargets.erase(it);
  }
  if (!newTarget.isEmpty()) ++m_joinTargets[newTarget];
}

// ---------------------------------------------------------------------------------------------
// TKvCriterion

TKvCriterion::TKvCriterion(TKvCollection* collection) : TKvCollectionItem(collection) {
  m_items = std::make_unique<TKvCriterions>(this);
  m_arguments = std::make_unique<TKvFunctionDefs>(this);
  m_field = std::make_unique<TKvFunctionDef>();
}

TKvCriterion::~TKvCriterion() = default;

TKvCriterion* TKvCriterion::OwnerCriterion() const {
  auto* list = dynamic_cast<TKvCriterions*>(Collection());
  return list ? list->Owner() : nullptr;
}

void TKvCriterion::Assign(const TKvCollectionItem& source) {
  TKvCollectionItem::Assign(source);
  if (auto* src = dynamic_cast<const TKvCriterion*>(&source)) {
    m_field->Assign(*src->m_field);
    m_operator = src->m_operator;
    m_arguments->BeginUpdate();
    m_arguments->Clear();
    for (int i = 0; i < src->m_arguments->Count(); ++i)
      m_arguments->Add()->Assign(*src->m_arguments->Items(i));
    m_arguments->EndUpdate();
    m_items->Assign(*src->m_items);
  }
}

void TKvCriterion::SetParser(TKvSelectParser* parser) {
  TKvCollectionItem::SetParser(parser);
  m_field->SetParser(parser);
  m_arguments->SetParser(parser);
  m_items->SetParser(parser);
  if (parser) {
    TKvOperators* ops = parser->Operators();
    if (ops && ops->Count() > 0 && !ops->FindByCaption(m_operator))
      m_operator = ops->Items(0)->Caption();
  }
}

void TKvCriterions::Assign(const TKvCriterions& source) {
  BeginUpdate();
  Clear();
  m_relation = source.m_relation;
  for (int i = 0; i < source.Count(); ++i)
    Add()->Assign(*source.Items(i));
  EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// String lists

int TKvStringList::Add(const QString& s) {
  m_lines.append(s);
  return int(m_lines.size()) - 1;
}

void TKvStringList::Delete(int index) {
  if (index >= 0 && index < m_lines.size()) m_lines.removeAt(index);
}

void TKvStringList::Clear() {
  m_lines.clear();
}

QString TKvStringList::Text() const {
  QString r;
  for (const QString& line : m_lines)
    r += line + QStringLiteral("\r\n");
  return r;
}

int TKvOrderByItems::AddItem(const QString& s, int direction) {
  const int index = TKvStringList::Add(s);
  m_directions.insert(index, direction);
  return index;
}

void TKvOrderByItems::Delete(int index) {
  if (index < 0 || index >= m_lines.size()) return;
  TKvStringList::Delete(index);
  if (index < m_directions.size()) m_directions.removeAt(index);
}

void TKvOrderByItems::Clear() {
  TKvStringList::Clear();
  m_directions.clear();
}

void TKvOrderByItems::Assign(const TKvStringList& source) {
  m_lines = source.Lines();
  if (auto* src = dynamic_cast<const TKvOrderByItems*>(&source))
    m_directions = src->m_directions;
  else
    m_directions = QList<int>(m_lines.size(), 0);
}

int TKvOrderByItems::Direction(int index) const {
  if (index < 0 || index >= m_directions.size()) return 0;
  return m_directions.at(index);
}

void TKvOrderByItems::SetDirection(int index, int direction) {
  if (index >= 0 && index < m_directions.size()) m_directions[index] = direction;
}

// ---------------------------------------------------------------------------------------------
// Operators

void TKvOperator::Assign(const TKvCollectionItem& source) {
  if (auto* src = dynamic_cast<const TKvOperator*>(&source)) {
    m_count = src->m_count;
    m_prefix = src->m_prefix;
    m_relate = src->m_relate;
    m_caption = src->m_caption;
    m_name = src->m_name;
    m_postfix = src->m_postfix;
  } else {
    TKvCollectionItem::Assign(source);
  }
}

void TKvOperators::Assign(const TKvOperators& source) {
  if (&source == this) return;
  BeginUpdate();
  Clear();
  for (int i = 0; i < source.Count(); ++i)
    Add()->Assign(*source.Items(i));
  EndUpdate();
}

TKvOperator* TKvOperators::FindByCaption(const QString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Caption() == s) return Items(i);
  return nullptr;
}

TKvOperator* TKvOperators::FindByName(const QString& s) const {
  for (int i = 0; i < Count(); ++i)
    if (Items(i)->Name() == s) return Items(i);
  return nullptr;
}

TKvOperator* TKvOperators::FindByPrefix(const QString& s, bool& partial) const {
  const QString upper = s.toUpper();
  for (int i = 0; i < Count(); ++i) {
    const QString caption = Items(i)->Caption().toUpper();
    if (caption.startsWith(upper)) {
      partial = upper.length() < caption.length();
      return Items(i);
    }
  }
  partial = false;
  return nullptr;
}

void TKvOperators::LoadDefaults() {
  struct Row {
    const char* caption;
    int count;
    const char* prefix;
    const char* postfix;
    const char* relate;
  };
  static const Row rows[] = {
      {"=", 1, "", "", ""},          {"<>", 1, "", "", ""},
      {"<", 1, "", "", ""},          {">", 1, "", "", ""},
      {"<=", 1, "", "", ""},         {">=", 1, "", "", ""},
      {"LIKE", 1, "", "", ""},       {"NOT LIKE", 1, "", "", ""},
      {"IN", 1, "(", ")", ""},       {"NOT IN", 1, "(", ")", ""},
      {"BETWEEN", 2, "", "", "AND"}, {"NOT BETWEEN", 2, "", "", "AND"},
      {"IS NULL", 0, "", "", ""},    {"IS NOT NULL", 0, "", "", ""},
  };
  BeginUpdate();
  Clear();
  for (const Row& r : rows) {
    TKvOperator* op = Add();
    op->SetCaption(QString::fromLatin1(r.caption));
    op->SetName(QString::fromLatin1(r.caption));
    op->SetCount(r.count);
    op->SetPrefix(QString::fromLatin1(r.prefix));
    op->SetPostfix(QString::fromLatin1(r.postfix));
    op->SetRelate(QString::fromLatin1(r.relate));
  }
  EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// Renaming a table in conditions

namespace {

int RenameIn(TKvFunctionDef* def, const QString& oldName, const QString& newName) {
  int changed = 0;
  const QString prefix = oldName + QLatin1Char('.');
  if (def->Kind() == fkField && def->Name().startsWith(prefix)) {
    def->SetName(newName + def->Name().mid(oldName.length()));
    ++changed;
  } else if (def->Kind() == fkExpression && def->Name().contains(prefix)) {
    // In an expression the qualifier stands after a blank, a bracket or at the start.
    QString text = def->Name();
    qsizetype at = 0;
    while ((at = text.indexOf(prefix, at)) >= 0) {
      const QChar before = at > 0 ? text.at(at - 1) : QLatin1Char(' ');
      if (before == QLatin1Char(' ') || before == QLatin1Char('(') || before == QLatin1Char(',')) {
        text.replace(at, oldName.length(), newName);
        at += newName.length();
        ++changed;
      } else {
        at += prefix.length();
      }
    }
    def->SetName(text);
  }
  if (def->HasArguments())
    for (int i = 0; i < def->Arguments()->Count(); ++i)
      changed += RenameIn(def->Arguments()->Items(i), oldName, newName);
  return changed;
}

} // namespace

int KvRenameQualifier(TKvCriterions* list, const QString& oldName, const QString& newName) {
  if (!list || oldName == newName || oldName.isEmpty()) return 0;
  int changed = 0;
  for (int i = 0; i < list->Count(); ++i) {
    TKvCriterion* c = list->Items(i);
    changed += RenameIn(c->Field(), oldName, newName);
    for (int a = 0; a < c->Arguments()->Count(); ++a)
      changed += RenameIn(c->Arguments()->Items(a), oldName, newName);
    changed += KvRenameQualifier(c->Items(), oldName, newName);
  }
  return changed;
}
