#include "KvModelState.h"

#include "KvParser.h"

#include <QDataStream>
#include <QIODevice>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Bumped whenever the layout below changes; a stale piece is then refused instead of misread.
constexpr quint8 FormatVersion = 1;

void WriteFunction(QDataStream& out, const TKvFunctionDef& def);

void WriteFunctions(QDataStream& out, const TKvFunctionDefs* list) {
  const int count = list ? list->Count() : 0;
  out << qint32(count);
  for (int i = 0; i < count; ++i)
    WriteFunction(out, *list->Items(i));
}

void WriteFunction(QDataStream& out, const TKvFunctionDef& def) {
  out << def.Name() << quint8(def.Kind());
  WriteFunctions(out, def.HasArguments() ? def.Arguments() : nullptr);
}

void ReadFunction(QDataStream& in, TKvFunctionDef& def);

void ReadFunctions(QDataStream& in, TKvFunctionDef& owner) {
  qint32 count = 0;
  in >> count;
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
    ReadFunction(in, *owner.Arguments()->Add());
}

void ReadFunctions(QDataStream& in, TKvFunctionDefs& list) {
  qint32 count = 0;
  in >> count;
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i)
    ReadFunction(in, *list.Add());
}

void ReadFunction(QDataStream& in, TKvFunctionDef& def) {
  QString name;
  quint8 kind = 0;
  in >> name >> kind;
  def.SetName(name);
  def.SetKind(TKvFunctionKind(kind));
  ReadFunctions(in, def);
}

void WriteCriteria(QDataStream& out, const TKvCriterions& list) {
  out << quint8(list.Relation()) << qint32(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    const TKvCriterion* c = list.Items(i);
    out << c->Operator();
    WriteFunction(out, *c->Field());
    WriteFunctions(out, c->Arguments());
    WriteCriteria(out, *c->Items());
  }
}

void ReadCriteria(QDataStream& in, TKvCriterions& list) {
  quint8 relation = 0;
  qint32 count = 0;
  in >> relation >> count;
  list.SetRelation(TKvRelation(relation));
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
    TKvCriterion* c = list.Add();
    QString op;
    in >> op;
    ReadFunction(in, *c->Field());
    ReadFunctions(in, *c->Arguments());
    ReadCriteria(in, *c->Items());
    // Last: joining the list may have put in the first operator the list offers.
    c->SetOperator(op);
  }
}

QByteArray TablePiece(const TKvTableDef& table) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << FormatVersion << table.TableName() << table.Alias();
  const TKvFieldDefs* fields = table.Fields();
  out << qint32(fields->Count());
  for (int i = 0; i < fields->Count(); ++i) {
    const TKvFieldDef* f = fields->Items(i);
    WriteFunction(out, *f);
    out << f->Alias();
  }
  const TKvJoinDefs* joins = table.Joins();
  out << qint32(joins->Count());
  for (int i = 0; i < joins->Count(); ++i) {
    const TKvJoinDef* j = joins->Items(i);
    out << j->Field() << j->JoinTable() << j->JoinField() << j->Operator() << quint8(j->JoinType());
  }
  return bytes;
}

// A table read back, its columns still apart: the SELECT list is numbered across all tables,
// so the columns go in once every table is there, in the order of their numbers.
struct TReadTable {
  TKvTableDef* Table;
  std::unique_ptr<TKvFieldDefs> Fields;
};

struct TReadJoin {
  TKvTableDef* Table;
  QString Field, JoinTable, JoinField, Operator;
  quint8 Type;
};

void ReadTable(const QByteArray& bytes, TKvTableDefs& tables, std::vector<TReadTable>& read,
               QList<TReadJoin>& joins) {
  QDataStream in(bytes);
  quint8 version = 0;
  QString name, alias;
  in >> version >> name >> alias;
  if (version != FormatVersion) return;
  TKvTableDef* table = tables.Add();
  table->SetTableName(name);
  table->SetAlias(alias);
  auto fields = std::make_unique<TKvFieldDefs>();
  qint32 count = 0;
  in >> count;
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
    TKvFieldDef* f = fields->Add();
    ReadFunction(in, *f);
    QString fieldAlias;
    in >> fieldAlias;
    f->SetAlias(fieldAlias);
  }
  read.push_back({table, std::move(fields)});
  in >> count;
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
    TReadJoin j{table, {}, {}, {}, {}, 0};
    in >> j.Field >> j.JoinTable >> j.JoinField >> j.Operator >> j.Type;
    joins.append(j);
  }
}

// Puts the columns into their tables in the order of `numbers` (pairs of table and column
// index), each at its place within its table.
void PlaceColumns(std::vector<TReadTable>& read, const QList<qint32>& numbers) {
  std::vector<QList<int>> placed(read.size());
  auto place = [&](std::size_t t, int column) {
    QList<int>& done = placed[t];
    const auto at = std::lower_bound(done.begin(), done.end(), column);
    const int index = int(at - done.begin());
    done.insert(at, column);
    read[t].Table->Fields()->Insert(index)->Assign(*read[t].Fields->Items(column));
  };
  for (qsizetype i = 0; i + 1 < numbers.size(); i += 2) {
    const std::size_t t = std::size_t(numbers[i]);
    const int column = numbers[i + 1];
    if (t < read.size() && column >= 0 && column < read[t].Fields->Count() &&
        !placed[t].contains(column))
      place(t, column);
  }
  for (std::size_t t = 0; t < read.size(); ++t) // any the numbers missed, at the end
    for (int column = 0; column < read[t].Fields->Count(); ++column)
      if (!placed[t].contains(column)) place(t, column);
}

} // namespace

TKvModelState KvSaveModel(const TKvSelectParser& parser, const TKvModelState* previous,
                          const TKvModelExtra& extra) {
  TKvModelState state;
  const TKvTableDefs* tables = parser.TableDefs();
  state.Tables.reserve(tables->Count());
  for (int i = 0; i < tables->Count(); ++i) {
    QByteArray piece = TablePiece(*tables->Items(i));
    if (previous && i < previous->Tables.size() && previous->Tables[i] == piece)
      piece = previous->Tables[i];
    state.Tables.append(piece);
  }
  QDataStream out(&state.Rest, QIODevice::WriteOnly);
  QList<qint32> numbers; // the SELECT list: table and column index of each number
  numbers.reserve(2 * tables->FieldCount());
  for (int n = 0; n < tables->FieldCount(); ++n) {
    const TKvFieldDef* f = tables->FieldByNumber(n);
    numbers << (f && f->Table() ? f->Table()->Index() : -1) << (f ? f->Index() : -1);
  }
  out << FormatVersion << numbers << parser.Distinct();
  WriteCriteria(out, *parser.WhereItems());
  WriteCriteria(out, *parser.HavingItems());
  out << parser.OrderByItems()->Lines() << parser.OrderByItems()->Directions();
  out << parser.GroupByItems()->Lines();
  if (extra) extra(out);
  if (previous && previous->Rest == state.Rest) state.Rest = previous->Rest;
  return state;
}

void KvLoadModel(TKvSelectParser& parser, const TKvModelState& state, const TKvModelExtra& extra) {
  QDataStream in(state.Rest);
  quint8 version = 0;
  QList<qint32> numbers;
  bool distinct = false;
  in >> version >> numbers >> distinct;
  if (version != FormatVersion) return;

  TKvTableDefs* tables = parser.TableDefs();
  tables->BeginUpdate();
  tables->Clear();
  // Joins once every table is back, so that naming a table on the way cannot touch them.
  std::vector<TReadTable> read;
  QList<TReadJoin> joins;
  for (const QByteArray& piece : state.Tables)
    ReadTable(piece, *tables, read, joins);
  PlaceColumns(read, numbers);
  for (const TReadJoin& r : std::as_const(joins)) {
    TKvJoinDef* j = r.Table->Joins()->Add();
    j->SetField(r.Field);
    j->SetJoinTable(r.JoinTable);
    j->SetJoinField(r.JoinField);
    j->SetOperator(r.Operator);
    j->SetJoinType(TKvJoinType(r.Type));
  }
  tables->EndUpdate();

  parser.SetDistinct(distinct);
  parser.WhereItems()->Clear();
  ReadCriteria(in, *parser.WhereItems());
  parser.HavingItems()->Clear();
  ReadCriteria(in, *parser.HavingItems());
  QStringList lines;
  QList<int> directions;
  in >> lines >> directions;
  TKvOrderByItems* order = parser.OrderByItems();
  order->Clear();
  for (int i = 0; i < lines.size(); ++i)
    order->AddItem(lines[i], directions.value(i));
  in >> lines;
  TKvGroupByItems* group = parser.GroupByItems();
  group->Clear();
  for (const QString& line : std::as_const(lines))
    group->Add(line);
  if (extra) extra(in);
}
