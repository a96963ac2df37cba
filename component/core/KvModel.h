#pragma once

// The query model: the in-memory form of one SELECT statement. A tree of owned collections
// hanging off the parser (TKvSelectParser): the tables of the FROM clause with the output
// columns taken from each and the joins leaving each, the WHERE and HAVING condition trees, the
// ORDER BY and GROUP BY lists, the comparison operators and the letter-case settings.

#include "KvCollection.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class TKvSelectParser;
class TKvTableDef;
class TKvTableDefs;

enum TKvFunctionKind : std::uint8_t {
  fkText = 0,
  fkFunction = 1,
  fkField = 2,
  fkInteger = 3,
  fkFloat = 4,
  fkString = 5,
  fkExpression = 6
};

enum TKvJoinType : std::uint8_t { jtInner = 0, jtLeftOuter = 1, jtRightOuter = 2, jtFullOuter = 3 };

enum TKvRelation : std::uint8_t { krAll = 0, krAny = 1, krNotAll = 2, krNone = 3 };

enum TKvFormatMode : std::uint8_t {
  kfmAsIs = 0,
  kfmUpperCase = 1,
  kfmLowerCase = 2,
  kfmFirstUpper = 3
};

// Caption of a relation as the criteria editors show it ("All", "Any", "Not all", "None");
// empty for any other value.
QString RelationCaption(int relation);

// Text of a join type as SQL writes it ("INNER", "LEFT OUTER" ...); empty outside 0..3.
QString JoinTypeText(int joinType);

// Applies a letter-case mode to a text.
QString KvFormatCase(const QString& s, TKvFormatMode mode);

// ---------------------------------------------------------------------------------------------

class TKvFunctionDefs;

// One operand or output expression: a function call with its arguments, a column, a literal or
// an expression text, according to Kind.
class TKvFunctionDef : public TKvCollectionItem {
public:
  explicit TKvFunctionDef(TKvCollection* collection = nullptr);
  ~TKvFunctionDef() override;

  virtual TKvFunctionDefs* CreateArguments();
  virtual QString GetSQL() const;
  virtual void SetName(const QString& name);
  virtual void SetKind(TKvFunctionKind kind);
  virtual void Clear();

  void Assign(const TKvCollectionItem& source) override;
  void SetParser(TKvSelectParser* parser) override;

  const QString& Name() const { return m_name; }
  TKvFunctionKind Kind() const { return m_kind; }
  // Made on first use: most operands and columns have none.
  TKvFunctionDefs* Arguments() const;
  bool HasArguments() const;

  // The table that qualifies this item: found by climbing through the collections of
  // arguments to an output column's table; nullptr for operands of conditions.
  TKvTableDef* QualifyingTable() const;

protected:
  QString FormatKeyword(const QString& s) const;
  QString FormatFunction(const QString& s) const;
  QString QuoteName(const QString& s) const;
  // Name, kind or alias changed outside the setters.
  virtual void Changed();

  QString m_name;
  mutable std::unique_ptr<TKvFunctionDefs> m_arguments;
  TKvFunctionKind m_kind = fkText;
};

// A list of function definitions; its Owner is the function definition, criterion or table that
// holds it.
class TKvFunctionDefs : public TKvCollectionOf<TKvFunctionDef> {
public:
  explicit TKvFunctionDefs(TKvCollectionItem* owner = nullptr) : m_owner(owner) {}
  ~TKvFunctionDefs() override { DestroyItems(); }
  TKvCollectionItem* Owner() const { return m_owner; }
  virtual QString GetSQL() const;

protected:
  TKvCollectionItem* CreateItem() override { return new TKvFunctionDef(this); }

private:
  TKvCollectionItem* m_owner;
};

// One output column of the SELECT list.
class TKvFieldDef : public TKvFunctionDef {
public:
  explicit TKvFieldDef(TKvCollection* collection = nullptr);
  ~TKvFieldDef() override;

  QString GetSQL() const override;
  void SetName(const QString& name) override;
  void SetKind(TKvFunctionKind kind) override;
  void Clear() override;
  void Assign(const TKvCollectionItem& source) override;
  virtual QString MakeUniqueAlias(const QString& base, bool numbered) const;

  const QString& Alias() const { return m_alias; }
  void SetAlias(const QString& alias);
  int Number() const { return m_number; }

  // The table whose Fields hold this column, or nullptr.
  TKvTableDef* Table() const;
  // The table list this column is numbered in, or nullptr.
  TKvTableDefs* TableDefs() const;

protected:
  void Changed() override;

private:
  friend class TKvTableDefs;
  friend class TKvFieldDefs;
  QString m_alias;
  int m_number = 0;
  TKvTableDefs* m_registry = nullptr; // the table list that numbers this column
};

class TKvFieldDefs : public TKvFunctionDefs {
public:
  explicit TKvFieldDefs(TKvCollectionItem* owner = nullptr) : TKvFunctionDefs(owner) {}
  ~TKvFieldDefs() override { DestroyItems(); }
  TKvFieldDef* Items(int index) const { return static_cast<TKvFieldDef*>(ItemAt(index)); }
  TKvFieldDef* operator[](int index) const { return Items(index); }
  TKvFieldDef* Add() { return static_cast<TKvFieldDef*>(AddItem()); }
  TKvFieldDef* Insert(int index) { return static_cast<TKvFieldDef*>(InsertItem(index)); }
  TKvFieldDef* FindByAlias(const QString& s) const;
  TKvFieldDef* FindByName(const QString& s) const;
  QString GetSQL() const override;

protected:
  TKvCollectionItem* CreateItem() override { return new TKvFieldDef(this); }
};

// ---------------------------------------------------------------------------------------------

class TKvJoinDefs;

// One join, owned by the Joins of its left table.
class TKvJoinDef : public TKvCollectionItem {
public:
  explicit TKvJoinDef(TKvCollection* collection = nullptr) : TKvCollectionItem(collection) {}
  ~TKvJoinDef() override;

  void Assign(const TKvCollectionItem& source) override;
  virtual QString GetSQL() const;
  TKvTableDef* OwnerTable() const;

  const QString& Operator() const { return m_operator; }
  void SetOperator(const QString& s) { m_operator = s; }
  TKvJoinType JoinType() const { return m_joinType; }
  void SetJoinType(TKvJoinType t) { m_joinType = t; }
  const QString& JoinField() const { return m_joinField; }
  void SetJoinField(const QString& s) { m_joinField = s; }
  const QString& JoinTable() const { return m_joinTable; }
  void SetJoinTable(const QString& s);
  const QString& Field() const { return m_field; }
  void SetField(const QString& s) { m_field = s; }

  // The join condition alone: (LEFT.FIELD op RIGHT.FIELD); empty when it cannot be written.
  QString ConditionSQL() const;

private:
  QString m_operator = QStringLiteral("=");
  TKvJoinType m_joinType = jtInner;
  QString m_joinField;
  QString m_joinTable;
  QString m_field;
};

class TKvJoinDefs : public TKvCollectionOf<TKvJoinDef> {
public:
  explicit TKvJoinDefs(TKvTableDef* owner = nullptr) : m_owner(owner) {}
  ~TKvJoinDefs() override { DestroyItems(); }
  TKvTableDef* Owner() const { return m_owner; }
  TKvJoinDef* Find(const QString& field, const QString& joinTable, const QString& joinField) const;
  virtual QString GetSQL() const;

protected:
  TKvCollectionItem* CreateItem() override { return new TKvJoinDef(this); }
  void Update(TKvCollectionItem* item) override;

private:
  TKvTableDef* m_owner;
};

// ---------------------------------------------------------------------------------------------

// One table of the FROM clause.
class TKvTableDef : public TKvCollectionItem {
public:
  explicit TKvTableDef(TKvCollection* collection = nullptr);
  ~TKvTableDef() override;

  void SetParser(TKvSelectParser* parser) override;
  virtual TKvFieldDefs* CreateFields();
  virtual TKvJoinDefs* CreateJoins();
  virtual QString GetFromSQL() const;
  void Assign(const TKvCollectionItem& source) override;

  const QString& Alias() const { return m_alias; }
  void SetAlias(const QString& alias);
  const QString& TableName() const { return m_tableName; }
  void SetTableName(const QString& name);
  TKvFieldDefs* Fields() const { return m_fields.get(); }
  TKvJoinDefs* Joins() const { return m_joins.get(); }
  // The name columns are qualified with: the alias, or the table name without one.
  const QString& AliasOrName() const { return m_alias.isEmpty() ? m_tableName : m_alias; }

  TKvTableDefs* TableDefs() const;

private:
  friend class TKvTableDefs;
  friend class TKvFieldDef;
  void QualifierChanged(const QString& old);

  QString m_alias;
  std::unique_ptr<TKvFieldDefs> m_fields;
  std::unique_ptr<TKvJoinDefs> m_joins;
  QString m_tableName;
  bool m_aliasesDirty = false; // fields changed since the last alias check
};

// The tables of the FROM clause. Lookups by alias, name and column number are indexed, so the
// model stays fast with thousands of tables.
class TKvTableDefs : public TKvCollectionOf<TKvTableDef> {
public:
  TKvTableDefs() = default;
  ~TKvTableDefs() override;

  TKvTableDef* FindByAlias(const QString& s) const;
  TKvTableDef* FindByName(const QString& s) const;
  // The table whose AliasOrName is `s`: the name columns and joins qualify it with, and the
  // identity of its window on the designer.
  TKvTableDef* FindByAliasOrName(const QString& s) const;
  int FieldCount() const { return int(m_byNumber.size()); }
  TKvFieldDef* FieldByNumber(int n) const;
  bool IsJoinTarget(const TKvTableDef* table) const;
  bool IsAliasUsed(const QString& s) const;
  QString UniqueAlias(const QString& base, bool numbered) const;
  void RenameJoinTable(const QString& oldName, const QString& newName);
  void RemoveDanglingJoins();
  void MakeAliasesUnique();
  virtual QString GetSQL() const;

  void Clear() override;

protected:
  TKvCollectionItem* CreateItem() override { return new TKvTableDef(this); }
  void Update(TKvCollectionItem* item) override;

private:
  friend class TKvTableDef;
  friend class TKvFieldDef;
  friend class TKvJoinDef;
  friend class TKvJoinDefs;
  void RegisterField(TKvFieldDef* field);
  void UnregisterField(TKvFieldDef* field);
  void FieldAliasChanged(const QString& oldAlias, const QString& newAlias);
  void TableKeyChanged(TKvTableDef* table, const QString& oldAlias, const QString& oldName);
  void TableLeaving(TKvTableDef* table);
  void JoinTargetChanged(const QString& oldTarget, const QString& newTarget);
  using TableIndex = QHash<QString, QList<TKvTableDef*>>;
  static TKvTableDef* FirstOf(const TableIndex& index, const QString& key);

  std::vector<TKvFieldDef*> m_byNumber; // columns by Number
  QHash<QString, int> m_aliasUse;       // how many columns carry each alias
  TableIndex m_byAlias;                 // tables by alias
  TableIndex m_byName;                  // tables by table name
  QHash<QString, int> m_joinTargets;    // how many joins name each table
  bool m_dirty = false;                 // some table's columns changed
  bool m_destroying = false;
};

// The tables in the order the FROM clause is written (for checks that the written order keeps
// what was read).
QList<const TKvTableDef*> KvFromOrder(const TKvTableDefs* defs);

// ---------------------------------------------------------------------------------------------

class TKvCriterions;

// One node of a condition tree: a comparison (Field Operator Arguments) or, when it has Items,
// a group of sub-conditions.
class TKvCriterion : public TKvCollectionItem {
public:
  explicit TKvCriterion(TKvCollection* collection = nullptr);
  ~TKvCriterion() override;

  void Assign(const TKvCollectionItem& source) override;
  void SetParser(TKvSelectParser* parser) override;
  virtual QString GetSQL() const;

  TKvCriterions* Items() const { return m_items.get(); }
  const QString& Operator() const { return m_operator; }
  void SetOperator(const QString& s) { m_operator = s; }
  TKvFunctionDefs* Arguments() const { return m_arguments.get(); }
  TKvFunctionDef* Field() const { return m_field.get(); }

  // The criterion whose Items hold this one, or nullptr at the root.
  TKvCriterion* OwnerCriterion() const;

private:
  std::unique_ptr<TKvCriterions> m_items;
  QString m_operator;
  std::unique_ptr<TKvFunctionDefs> m_arguments;
  std::unique_ptr<TKvFunctionDef> m_field;
};

class TKvCriterions : public TKvCollectionOf<TKvCriterion> {
public:
  explicit TKvCriterions(TKvCriterion* owner = nullptr) : m_owner(owner) {}
  ~TKvCriterions() override { DestroyItems(); }
  TKvRelation Relation() const { return m_relation; }
  void SetRelation(TKvRelation r) { m_relation = r; }
  // The criterion of a sub-group; nullptr for the two root lists (owned by the parser).
  TKvCriterion* Owner() const { return m_owner; }
  virtual QString GetSQL() const;
  void Assign(const TKvCriterions& source);

protected:
  TKvCollectionItem* CreateItem() override { return new TKvCriterion(this); }

private:
  TKvCriterion* m_owner;
  TKvRelation m_relation = krAll;
};

// Rewrites the table qualifier `oldName` (as written, quoted where needed) to `newName` in every
// operand of a condition tree; returns how many operands changed.
int KvRenameQualifier(TKvCriterions* list, const QString& oldName, const QString& newName);

class TKvWhereItems : public TKvCriterions {
public:
  QString GetSQL() const override;
};

class TKvHavingItems : public TKvCriterions {
public:
  QString GetSQL() const override;
};

// ---------------------------------------------------------------------------------------------

// A list of text lines that knows its parser.
class TKvStringList {
public:
  explicit TKvStringList(TKvSelectParser* parser = nullptr) : m_parser(parser) {}
  virtual ~TKvStringList() = default;

  virtual int Add(const QString& s);
  virtual void Delete(int index);
  virtual void Clear();

  int Count() const { return int(m_lines.size()); }
  const QString& Strings(int index) const { return m_lines.at(index); }
  QString operator[](int index) const { return m_lines.at(index); }
  int IndexOf(const QString& s) const { return int(m_lines.indexOf(s)); }
  const QStringList& Lines() const { return m_lines; }
  QString Text() const;
  TKvSelectParser* Parser() const { return m_parser; }
  void SetParser(TKvSelectParser* parser) { m_parser = parser; }

protected:
  QStringList m_lines;
  TKvSelectParser* m_parser;
};

class TKvGroupByItems : public TKvStringList {
public:
  using TKvStringList::TKvStringList;
  void Assign(const TKvGroupByItems& source) { m_lines = source.m_lines; }
  // Rebuilds the list from the output columns (when a parser is set) and writes the clause.
  QString GetSQL();
  // The list the output columns call for: every plain column when aggregates and non-aggregates
  // are mixed, else nothing.
  QStringList DerivedItems() const;
};

// ORDER BY lines with a direction each: 0 ascending, 1 descending.
class TKvOrderByItems : public TKvStringList {
public:
  using TKvStringList::TKvStringList;
  int Add(const QString& s) override { return AddItem(s, 0); }
  int AddItem(const QString& s, int direction);
  void Delete(int index) override;
  void Clear() override;
  void Assign(const TKvStringList& source);
  int Direction(int index) const;
  void SetDirection(int index, int direction);
  void SetLine(int index, const QString& line) {
    if (index >= 0 && index < m_lines.size()) m_lines[index] = line;
  }
  const QList<int>& Directions() const { return m_directions; }
  QString GetSQL() const;

private:
  QList<int> m_directions;
};

// ---------------------------------------------------------------------------------------------

// A comparison operator as the editors offer it and the parser reads it.
class TKvOperator : public TKvCollectionItem {
public:
  explicit TKvOperator(TKvCollection* collection = nullptr) : TKvCollectionItem(collection) {}
  void Assign(const TKvCollectionItem& source) override;

  int Count() const { return m_count; }
  void SetCount(int n) { m_count = n; }
  const QString& Prefix() const { return m_prefix; }
  void SetPrefix(const QString& s) { m_prefix = s; }
  const QString& Relate() const { return m_relate; }
  void SetRelate(const QString& s) { m_relate = s; }
  const QString& Caption() const { return m_caption; }
  void SetCaption(const QString& s) { m_caption = s; }
  const QString& Name() const { return m_name; }
  void SetName(const QString& s) { m_name = s; }
  const QString& Postfix() const { return m_postfix; }
  void SetPostfix(const QString& s) { m_postfix = s; }

private:
  int m_count = 1;
  QString m_prefix;
  QString m_relate;
  QString m_caption;
  QString m_name;
  QString m_postfix;
};

class TKvOperators : public TKvCollectionOf<TKvOperator> {
public:
  ~TKvOperators() override { DestroyItems(); }
  void Assign(const TKvOperators& source);
  TKvOperator* FindByCaption(const QString& s) const;
  TKvOperator* FindByName(const QString& s) const;
  // The first operator whose caption begins with `s` (case-insensitive); `partial` tells
  // whether `s` is shorter than that caption.
  TKvOperator* FindByPrefix(const QString& s, bool& partial) const;
  // Fills the list with the default comparison operators.
  void LoadDefaults();

protected:
  TKvCollectionItem* CreateItem() override { return new TKvOperator(this); }
};

// Letter case of keywords and function names in generated SQL.
class TKvScriptFormat {
public:
  TKvFormatMode KeywordsFormat() const { return m_keywords; }
  void SetKeywordsFormat(TKvFormatMode m) { m_keywords = m; }
  TKvFormatMode FunctionsFormat() const { return m_functions; }
  void SetFunctionsFormat(TKvFormatMode m) { m_functions = m; }
  void Assign(const TKvScriptFormat& source) {
    m_keywords = source.m_keywords;
    m_functions = source.m_functions;
  }

private:
  TKvFormatMode m_keywords = kfmAsIs;
  TKvFormatMode m_functions = kfmAsIs;
};
