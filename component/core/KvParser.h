#pragma once

// The SELECT parser: owns the query model and the dialect tokenizer, reads the text of one
// SELECT statement into the model and writes the model back as formatted SQL.

#include "KvModel.h"
#include "KvParserError.h"
#include "KvScanner.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TKvSelectParser;

using TKvParserErrorEvent = std::function<void(TKvSelectParser* sender, const QString& errorMsg,
                                               const QString& token, int lineNo, int linePos)>;

// Reader states of the clause state machine.
enum TKvParserState : std::uint8_t {
  psSelect = 0,     // expecting SELECT
  psError = 1,      // error (final)
  psDone = 2,       // done (final)
  psSelectHead = 3, // after SELECT
  psSelectList = 4, // in the SELECT list
  psState5 = 5,     // never entered
  psFromHead = 6,   // after FROM
  psFromList = 7,   // in the FROM list
  psWhere = 8,      // after WHERE
  psGroupBy = 9,    // after GROUP BY
  psHaving = 10,    // after HAVING
  psOrderBy = 11,   // after ORDER BY
  psTail = 12       // after the last known clause
};

class TKvSelectParser {
public:
  TKvSelectParser();
  virtual ~TKvSelectParser();
  TKvSelectParser(const TKvSelectParser&) = delete;
  TKvSelectParser& operator=(const TKvSelectParser&) = delete;

  // Factories: a dialect parser overrides them and calls InitScanner from its own constructor
  // (a virtual call from a base constructor would not reach the override).
  virtual std::unique_ptr<TKvSQLScanner> CreateScanner();
  virtual std::unique_ptr<TKvTableDefs> CreateTableDefs();
  virtual std::unique_ptr<TKvWhereItems> CreateWhereItems();
  virtual std::unique_ptr<TKvHavingItems> CreateHavingItems();
  virtual QString GetAggregateList() const;
  virtual QString GetSQL();
  virtual bool IsJoinWord(const QString& s) const;
  virtual void LoadAggregates();
  virtual void LoadDefaultOperators();
  // Reads the tokenizer's current text into the model.
  virtual void Parse();

  // Reads `text` into the model (an empty text just empties it).
  void SetSQL(const QString& text);
  // Empties the model; Distinct keeps its value.
  virtual void Clear();

  virtual bool GetDistinct() const { return m_distinct; }
  virtual void SetDistinct(bool value) { m_distinct = value; }

  TKvSQLScanner* Scanner() const { return m_scanner.get(); }
  bool Valid() const { return m_valid; }
  int State() const { return m_state; }
  TKvTableDefs* TableDefs() const { return m_tableDefs.get(); }
  TKvWhereItems* WhereItems() const { return m_whereItems.get(); }
  TKvOrderByItems* OrderByItems() const { return m_orderByItems.get(); }
  TKvGroupByItems* GroupByItems() const { return m_groupByItems.get(); }
  TKvHavingItems* HavingItems() const { return m_havingItems.get(); }
  TKvWordList* Aggregates() { return &m_aggregates; }
  const TKvWordList* Aggregates() const { return &m_aggregates; }
  TKvOperators* Operators() const { return m_operators.get(); }
  TKvScriptFormat* ScriptFormat() const { return m_scriptFormat.get(); }
  bool Distinct() const { return GetDistinct(); }
  const QString& LastTableName() const { return m_lastTableName; }
  const QString& CurrentAlias() const { return m_currentAlias; }

  TKvParserErrorEvent OnParserError;

  // Letter case and quoting through the dialect, for the model's writers.
  QString FormatKeyword(const QString& s) const;
  QString FormatFunction(const QString& s) const;
  bool IsAggregate(const QString& functionName) const;

protected:
  // Clause readers, one per state.
  virtual void ReadSelect();
  virtual void ReadSelectHead();
  virtual void ReadState5();
  virtual void ReadSelectItem();
  virtual void ReadSelectList();
  virtual void ReadFromHead();
  virtual void ReadTableItem();
  virtual void ReadJoin();
  virtual void ReadFromList();
  virtual void ReadWhere();
  virtual void ReadGroupBy();
  virtual void ReadHaving();
  virtual void ReadOrderBy();
  virtual void ReadTail();
  virtual void ReadConditions(TKvCriterions* list);
  // Reads one operand or output expression into `def`. In the SELECT list (`inCondition`
  // false) `table` receives the table the column belongs to. Reading stops before a token that
  // cannot continue the expression.
  virtual void ReadExpression(TKvFunctionDef* def, TKvTableDef*& table, bool inCondition);
  virtual void ParserError(const QString& token, int line, int column);

public:
  // Puts every other criterion of `crit`'s list into a new group inserted at `crit`'s place;
  // the group takes the list's former relation.
  virtual void Compose(TKvCriterion* crit);

protected:
  // Replaces the tokenizer (used by dialect constructors).
  void InitScanner();

  // Token helpers.
  const QString& Tok() const { return m_scanner->Token(); }
  TKvTokenKind Kind() const { return m_scanner->TokenKind(); }
  bool AtEnd() const { return Kind() == tkEnd; }
  bool IsKeywordToken(const char* word) const;
  bool IsDelimiterToken(char ch) const;
  void Next() { m_scanner->NextToken(); }
  void Fail() { m_state = psError; }

  // Where a token stands; its text is taken from the statement only when an error needs it.
  struct TokenPos {
    int start = 0;  // 1-based position in the text
    int length = 0; // of the token
    int line = 0;
    int column = 0; // column after the token
  };
  TokenPos Here() const;
  // Ends the reading with an error at a remembered token.
  void FailAt(const TokenPos& pos);

  std::unique_ptr<TKvSQLScanner> m_scanner;
  bool m_valid = true;
  std::uint8_t m_state = psSelect;

private:
  struct Expr;
  struct Condition;
  class ExprReader;
  class ConditionReader;
  friend class ExprReader;
  friend class ConditionReader;

  TKvTableDef* AnonymousTable() const;
  bool StartsItem() const;
  TKvTableDef* QualifierTable(const QString& qualifier, const TokenPos& at, bool mayCreate);
  TKvTableDef* DeclareTable(const QString& name, const QString& alias, const TokenPos& at);
  void SplitAnonymousTable();
  bool ReadJoinSequence(TKvTableDef* right, TKvJoinType type, TKvTableDef*& left);
  bool ReadJoinComparison(TKvTableDef* right, TKvJoinType type, TKvTableDef*& left);
  QString RenderName(const QString& qualifier, const QString& name) const;
  QString Render(const Expr& e) const;
  static const Expr* FirstQualified(const Expr& e);
  bool CheckQualifiers(const Expr& e);
  void StoreLiteral(const Expr& e, TKvFunctionDef* def, TKvFunctionKind typedKind);
  void StoreConditionOperand(const Expr& e, TKvFunctionDef* def);
  void StoreColumnArgument(const Expr& e, TKvFunctionDef* def, const TKvTableDef* columnTable,
                           const QString& function, int index);
  void StoreConditions(const Condition& c, TKvCriterions* list);
  void AfterConditions();
  void NextClause(bool groupBy, bool having);
  void CheckStatement();
  void CheckGroupBy();
  QStringList ReadNameList(bool withDirections);

  std::unique_ptr<TKvTableDefs> m_tableDefs;
  std::unique_ptr<TKvWhereItems> m_whereItems;
  std::unique_ptr<TKvOrderByItems> m_orderByItems;
  std::unique_ptr<TKvGroupByItems> m_groupByItems;
  std::unique_ptr<TKvHavingItems> m_havingItems;
  TKvWordList m_aggregates;
  std::unique_ptr<TKvOperators> m_operators;
  bool m_distinct = false;
  QString m_lastTableName;
  QString m_currentAlias;
  std::unique_ptr<TKvScriptFormat> m_scriptFormat;

  // Bookkeeping of one Parse, for the checks that keep the statement's meaning.
  QHash<const TKvTableDef*, TokenPos> m_firstMention; // where a qualifier first named a table
  QList<const TKvTableDef*> m_declared;               // tables named in FROM, in order
  QList<const TKvTableDef*> m_readJoinOrder;          // joined tables in reading order
  QList<bool> m_groupStarts;                          // per declared table: after a comma
  QHash<const TKvTableDef*, TokenPos> m_joinPos;      // where a FROM entry names its table
  QHash<const TKvFieldDef*, TokenPos> m_columnPos;    // where each output column starts
  TKvTableDef* m_tookOver = nullptr;                  // anonymous table a FROM entry took over
  bool m_newGroup = false;                            // the next FROM entry may start
  int m_selectItems = 0;
  QList<TokenPos> m_groupByPos; // GROUP BY items as read
  QList<TokenPos> m_groupByPosTmp;
  QStringList m_groupByRead;
  QSet<QString> m_groupBySeen;
  QSet<QString> m_orderBySeen;
  QList<int> m_directionsRead;
  bool m_groupByGiven = false;
  TokenPos m_havingPos;
  bool m_havingGiven = false;
  TokenPos m_errorAt;
  bool m_hasErrorAt = false;
};
