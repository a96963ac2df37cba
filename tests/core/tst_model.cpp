#include "KvModel.h"
#include "KvParser.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A collection that records its change notifications.
class TNotingList : public TKvCollectionOf<TKvOperator> {
public:
  ~TNotingList() override { DestroyItems(); }
  int updates = 0;
  TKvCollectionItem* lastItem = nullptr;

protected:
  TKvCollectionItem* CreateItem() override { return new TKvOperator(this); }
  void Update(TKvCollectionItem* item) override {
    ++updates;
    lastItem = item;
  }
};

QString Captions(const TKvCollectionOf<TKvOperator>& list) {
  QStringList r;
  for (int i = 0; i < list.Count(); ++i) {
    if (list[i]->Index() != i) return u"bad index at %1"_s.arg(i);
    r << list[i]->Caption();
  }
  return r.join(u' ');
}

TKvTableDef* AddTable(TKvSelectParser& p, const QString& name, const QStringList& fields = {}) {
  TKvTableDef* t = p.TableDefs()->Add();
  t->SetTableName(name);
  for (const QString& f : fields) {
    TKvFieldDef* d = t->Fields()->Add();
    d->SetName(f);
    d->SetKind(fkField);
  }
  return t;
}

TKvJoinDef* AddJoin(TKvTableDef* left, const QString& field, const QString& joinTable,
                    const QString& joinField) {
  TKvJoinDef* j = left->Joins()->Add();
  j->SetField(field);
  j->SetJoinTable(joinTable);
  j->SetJoinField(joinField);
  return j;
}

// Column names in SELECT-list order, after checking that the numbering is dense.
QString Columns(const TKvTableDefs* defs) {
  QStringList r;
  for (int n = 0; n < defs->FieldCount(); ++n) {
    TKvFieldDef* f = defs->FieldByNumber(n);
    if (!f) return u"no field %1"_s.arg(n);
    if (f->Number() != n) return u"field %1 has number %2"_s.arg(n).arg(f->Number());
    r << f->Name();
  }
  return r.join(u' ');
}

QString Aliases(const TKvFieldDefs* fields) {
  QStringList r;
  for (TKvFunctionDef* f : *fields)
    r << static_cast<TKvFieldDef*>(f)->Alias();
  return r.join(u' ');
}

QString Joins(const TKvTableDef* t) {
  QStringList r;
  for (TKvJoinDef* j : *t->Joins())
    r << j->Field() + u'>' + j->JoinTable() + u'.' + j->JoinField();
  return r.join(u' ');
}

QString Lines(const TKvOrderByItems& o) {
  QStringList r;
  for (int i = 0; i < o.Count(); ++i)
    r << o[i] + u'/' + QString::number(o.Direction(i));
  return r.join(u' ');
}

QString Describe(const TKvOperator* op) {
  return QStringList{op->Caption(), op->Name(),    QString::number(op->Count()),
                     op->Prefix(),  op->Postfix(), op->Relate()}
      .join(u'|');
}

} // namespace

class TestModel : public QObject {
  Q_OBJECT
private slots:
  void collectionIndexesAndNotifications() {
    TNotingList list;
    TKvOperator* a = list.Add();
    a->SetCaption(u"a"_s);
    QCOMPARE(list.updates, 1);
    QCOMPARE(list.lastItem, a);
    list.Add()->SetCaption(u"b"_s);
    list.Add()->SetCaption(u"c"_s);
    TKvOperator* x = list.Insert(0);
    x->SetCaption(u"x"_s);
    QCOMPARE(list.updates, 4); // an insertion is one change
    QCOMPARE(Captions(list), u"x a b c"_s);
    QCOMPARE(x->Collection(), static_cast<TKvCollection*>(&list));
    QCOMPARE(list.IndexOf(a), 1);

    list.Delete(2);
    QCOMPARE(Captions(list), u"x a c"_s);
    delete a; // deleting an item takes it out of its list
    QCOMPARE(Captions(list), u"x c"_s);
    QCOMPARE(list.updates, 6);
    QCOMPARE(list.lastItem, nullptr);
    list[1]->SetIndex(0);
    QCOMPARE(Captions(list), u"c x"_s);
    QCOMPARE(list.ItemAt(-1), nullptr);
    QCOMPARE(list.ItemAt(2), nullptr);
    list.Delete(5); // out of range: nothing happens
    QCOMPARE(list.Count(), 2);
    TNotingList other;
    QCOMPARE(other.IndexOf(list[0]), -1);

    const int before = list.updates;
    list.BeginUpdate();
    list.BeginUpdate();
    list.Add()->SetCaption(u"d"_s);
    list.Delete(0);
    list.EndUpdate();
    QCOMPARE(list.updates, before);
    list.EndUpdate();
    QCOMPARE(list.updates, before + 1);
    QStringList seen;
    for (TKvOperator* op : list)
      seen << op->Caption();
    QCOMPARE(seen, QStringList({u"x"_s, u"d"_s}));

    list.Clear();
    QCOMPARE(list.Count(), 0);
    QCOMPARE(list.updates, before + 2);
    list.Clear();
    QCOMPARE(list.updates, before + 2);
  }

  void collectionPassesParser() {
    TKvSelectParser p;
    TNotingList list;
    TKvOperator* a = list.Add();
    QCOMPARE(a->Parser(), nullptr);
    list.SetParser(&p);
    QCOMPARE(a->Parser(), &p);
    QCOMPARE(list.Add()->Parser(), &p);
    QCOMPARE(list.Insert(0)->Parser(), &p);

    // The parser reaches the whole tree.
    TKvTableDef* t = AddTable(p, u"T"_s, {u"A"_s});
    TKvFunctionDef* arg = t->Fields()->Items(0)->Arguments()->Add();
    QCOMPARE(arg->Parser(), &p);
    QCOMPARE(arg->Arguments()->Add()->Parser(), &p);
    QCOMPARE(AddJoin(t, u"A"_s, u"U"_s, u"B"_s)->Parser(), &p);
    TKvCriterion* c = p.WhereItems()->Add();
    QCOMPARE(c->Field()->Parser(), &p);
    QCOMPARE(c->Items()->Add()->Parser(), &p);
    QCOMPARE(c->Arguments()->Add()->Parser(), &p);
    t->SetParser(nullptr);
    QCOMPARE(t->Fields()->Items(0)->Parser(), nullptr);
    QCOMPARE(arg->Parser(), nullptr);
    QCOMPARE(t->Joins()->Items(0)->Parser(), nullptr);
  }

  void fieldNumbersStayDense() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* t1 = AddTable(p, u"T1"_s, {u"A"_s});
    TKvTableDef* t2 = AddTable(p, u"T2"_s, {u"B"_s});
    t1->Fields()->Add()->SetName(u"C"_s);
    TKvFieldDef* d = t2->Fields()->Insert(0); // comes last in the SELECT list all the same
    d->SetName(u"D"_s);
    QCOMPARE(defs->FieldCount(), 4);
    QCOMPARE(Columns(defs), u"A B C D"_s);
    QCOMPARE(defs->FieldByNumber(4), nullptr);
    QCOMPARE(defs->FieldByNumber(-1), nullptr);

    TKvFieldDef* b = defs->FieldByNumber(1);
    t1->Fields()->Delete(0); // Number 0
    QCOMPARE(b->Number(), 0);
    QCOMPARE(Columns(defs), u"B C D"_s);
    delete t1; // its C goes, the later columns close up
    QCOMPARE(Columns(defs), u"B D"_s);
    QCOMPARE(d->Number(), 1);

    TKvTableDef* t3 = AddTable(p, u"T3"_s, {u"E"_s, u"F"_s});
    QCOMPARE(Columns(defs), u"B D E F"_s);
    defs->Delete(t2->Index());
    QCOMPARE(Columns(defs), u"E F"_s);
    AddTable(p, u"T4"_s, {u"G"_s});
    t3->Fields()->Clear();
    QCOMPARE(Columns(defs), u"G"_s);
    QVERIFY(!defs->IsAliasUsed(u"E"_s));
  }

  void fieldsOutsideTableList() {
    TKvFieldDefs list;
    TKvFieldDef* a = list.Add();
    TKvFieldDef* b = list.Add();
    TKvFieldDef* c = list.Add();
    QCOMPARE(a->Number(), 0);
    QCOMPARE(c->Number(), 2);
    list.Delete(0);
    QCOMPARE(b->Number(), 0);
    QCOMPARE(c->Number(), 1);

    TKvTableDef lone;
    TKvFieldDef* f = lone.Fields()->Add();
    TKvFieldDef* g = lone.Fields()->Add();
    QCOMPARE(g->Number(), 1);
    QCOMPARE(g->TableDefs(), nullptr);
    g->SetKind(fkFunction); // without a table list a numbered alias just gets a 1
    f->SetName(u"FIELD_1"_s);
    QCOMPARE(Aliases(lone.Fields()), u"FIELD_1 FIELD_1"_s);
  }

  void fieldAliasFollowsName() {
    TKvSelectParser p;
    TKvTableDef* t = AddTable(p, u"T"_s, {u"A"_s});
    TKvFieldDef* a = t->Fields()->Items(0);
    QCOMPARE(a->Alias(), u"A"_s);
    a->SetName(u"B"_s);
    QCOMPARE(a->Alias(), u"B"_s);
    QVERIFY(!p.TableDefs()->IsAliasUsed(u"A"_s));
    a->SetName(u"B"_s); // the same name: its own alias is no clash
    QCOMPARE(a->Alias(), u"B"_s);

    TKvFieldDef* second = t->Fields()->Add();
    second->SetName(u"B"_s);
    QCOMPARE(second->Alias(), u"B1"_s);
    TKvTableDef* other = AddTable(p, u"U"_s);
    other->Fields()->Add()->SetName(u"B"_s); // aliases are unique over all tables
    QCOMPARE(Aliases(other->Fields()), u"B2"_s);

    a->SetAlias(u"X"_s);
    a->SetName(u"C"_s);
    QCOMPARE(a->Alias(), u"X"_s);
    QCOMPARE(a->Name(), u"C"_s);
    a->Clear();
    QCOMPARE(a->Name(), QString());
    QCOMPARE(a->Alias(), QString());
    QCOMPARE(a->Kind(), fkText);

    QCOMPARE(t->Fields()->FindByAlias(u"B1"_s), second);
    QCOMPARE(t->Fields()->FindByName(u"B"_s), second);
    QCOMPARE(t->Fields()->FindByName(u"b"_s), nullptr);
    QCOMPARE(t->Fields()->FindByAlias(u"b1"_s), nullptr);
    QCOMPARE(other->Fields()->FindByAlias(u"B1"_s), nullptr);
  }

  void uniqueAlias() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    QCOMPARE(defs->UniqueAlias(u"X"_s, false), u"X"_s);
    QCOMPARE(defs->UniqueAlias(u"X"_s, true), u"X1"_s);
    TKvTableDef* t = AddTable(p, u"T"_s, {u"X"_s, u"Y"_s});
    t->Fields()->Items(1)->SetAlias(u"X2"_s);
    QVERIFY(defs->IsAliasUsed(u"X"_s));
    QVERIFY(!defs->IsAliasUsed(u"x"_s));
    QVERIFY(!defs->IsAliasUsed(u"Y"_s));
    QCOMPARE(defs->UniqueAlias(u"X"_s, false), u"X1"_s);
    QCOMPARE(defs->UniqueAlias(u"X"_s, true), u"X1"_s);
    t->Fields()->Add()->SetAlias(u"X1"_s);
    QCOMPARE(defs->UniqueAlias(u"X"_s, false), u"X3"_s);
    QCOMPARE(defs->UniqueAlias(u"Y"_s, false), u"Y"_s);
    QCOMPARE(defs->UniqueAlias(u"X1"_s, false), u"X11"_s);
  }

  void makeAliasesUnique() {
    TKvSelectParser p;
    TKvTableDef* t = AddTable(p, u"T"_s, {u"A"_s, u"A"_s});
    QCOMPARE(Aliases(t->Fields()), u"A A1"_s);
    // Force the clash; the next change of the table list repairs it.
    t->Fields()->Items(1)->SetAlias(u"A"_s);
    TKvTableDef* other = AddTable(p, u"U"_s, {u"A"_s});
    QCOMPARE(Aliases(t->Fields()), u"A A1"_s);
    QCOMPARE(Aliases(other->Fields()), u"A2"_s);

    // Only clashes inside one table count.
    other->Fields()->Items(0)->SetAlias(u"A"_s);
    p.TableDefs()->MakeAliasesUnique();
    QCOMPARE(Aliases(other->Fields()), u"A"_s);

    // A column that is not a plain field gets a FIELD_ alias.
    TKvFieldDef* expr = t->Fields()->Add();
    expr->SetName(u"A+1"_s);
    expr->SetKind(fkExpression);
    expr->SetAlias(u"A"_s);
    p.TableDefs()->MakeAliasesUnique();
    QCOMPARE(Aliases(t->Fields()), u"A A1 FIELD_1"_s);

    TKvSelectParser read;
    read.SetSQL(u"SELECT A, A FROM T"_s);
    QCOMPARE(Aliases(read.TableDefs()->FindByName(u"T"_s)->Fields()), u"A A1"_s);
  }

  void setKindGivesNumberedAlias() {
    TKvSelectParser p;
    TKvFieldDef* f = AddTable(p, u"T"_s)->Fields()->Add();
    f->SetName(u"COUNT"_s);
    f->SetKind(fkFunction);
    QCOMPARE(f->Alias(), u"FIELD_1"_s);
    QCOMPARE(f->Kind(), fkFunction);
    TKvTableDef* other = AddTable(p, u"U"_s);
    other->Fields()->Add()->SetKind(fkInteger);
    QCOMPARE(Aliases(other->Fields()), u"FIELD_2"_s);

    TKvFieldDef* h = other->Fields()->Add();
    h->SetName(u"H"_s);
    h->SetKind(fkField);
    h->SetKind(fkText);
    QCOMPARE(h->Alias(), u"H"_s);
    h->SetAlias(u"OWN"_s);
    h->SetKind(fkFunction); // an alias of its own stays
    QCOMPARE(h->Alias(), u"OWN"_s);
  }

  void tableAliasFollowsName() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* t = defs->Add();
    QCOMPARE(defs->FindByAlias(QString()), t); // the anonymous table
    t->SetTableName(u"ORDERS"_s);
    QCOMPARE(t->Alias(), u"ORDERS"_s);
    t->SetTableName(u"ORDERS2"_s);
    QCOMPARE(t->Alias(), u"ORDERS2"_s);
    QCOMPARE(defs->FindByAlias(u"ORDERS2"_s), t);
    QCOMPARE(defs->FindByAlias(u"ORDERS"_s), nullptr);
    QCOMPARE(defs->FindByName(u"ORDERS"_s), nullptr);
    QCOMPARE(defs->FindByAlias(QString()), nullptr);
    t->SetAlias(u"O"_s);
    t->SetTableName(u"ORDERS3"_s);
    QCOMPARE(t->Alias(), u"O"_s);
    QCOMPARE(defs->FindByName(u"ORDERS3"_s), t);
    QCOMPARE(defs->FindByName(u"orders3"_s), nullptr);
    QCOMPARE(defs->FindByAlias(u"o"_s), nullptr);
    QCOMPARE(t->AliasOrName(), u"O"_s);
    t->SetAlias(QString());
    QCOMPARE(t->AliasOrName(), u"ORDERS3"_s);
  }

  void renamingRenamesJoins() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* a = AddTable(p, u"A"_s, {u"ID"_s});
    TKvTableDef* b = AddTable(p, u"B"_s, {u"AID"_s});
    TKvTableDef* c = AddTable(p, u"C"_s, {u"BID"_s});
    AddJoin(a, u"ID"_s, u"B"_s, u"AID"_s);
    AddJoin(c, u"BID"_s, u"B"_s, u"AID"_s);
    AddJoin(c, u"BID"_s, u"A"_s, u"ID"_s);
    QVERIFY(defs->IsJoinTarget(b));

    b->SetAlias(u"BB"_s);
    QCOMPARE(Joins(a) + u' ' + Joins(c), u"ID>BB.AID BID>BB.AID BID>A.ID"_s);
    QVERIFY(defs->IsJoinTarget(b));
    // While the alias follows the name, renaming the table renames its joins too.
    a->SetTableName(u"A2"_s);
    QCOMPARE(Joins(c), u"BID>BB.AID BID>A2.ID"_s);
    QVERIFY(defs->IsJoinTarget(a));
    // Not once the alias is its own.
    b->SetTableName(u"B2"_s);
    QCOMPARE(Joins(c), u"BID>BB.AID BID>A2.ID"_s);

    defs->RenameJoinTable(u"BB"_s, u"Z"_s);
    QCOMPARE(Joins(a) + u' ' + Joins(c), u"ID>Z.AID BID>Z.AID BID>A2.ID"_s);
    QVERIFY(!defs->IsJoinTarget(b));
  }

  void destroyedTableTakesJoinsAndSortLines() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* a = AddTable(p, u"ORDERS"_s, {u"ID"_s});
    a->SetAlias(u"O"_s);
    TKvTableDef* b = AddTable(p, u"ITEMS"_s, {u"OID"_s});
    b->SetAlias(u"I"_s);
    b->Fields()->Items(0)->SetAlias(u"ORDER_ID"_s);
    TKvTableDef* c = AddTable(p, u"PARTS"_s, {u"ID"_s});
    AddJoin(b, u"OID"_s, u"O"_s, u"ID"_s);       // by alias
    AddJoin(c, u"ID"_s, u"ORDERS"_s, u"ID"_s);   // by table name
    AddJoin(c, u"ID"_s, u"ITEMS"_s, u"OID"_s);   // ITEMS is known as I only
    AddJoin(a, u"ID"_s, u"PARTS"_s, u"ID"_s);    // owned by the table that goes
    AddJoin(b, u"OID"_s, u"PARTS"_s, u"NOPE"_s); // a column PARTS does not output: stays
    AddJoin(b, u"OID"_s, u"PARTS"_s, u"ID"_s);   // stays

    TKvOrderByItems* order = p.OrderByItems();
    order->Add(u"O.ID"_s);
    order->AddItem(u"I.OID"_s, 1);
    order->AddItem(u"O.X"_s, 1);
    order->Add(u"ORDERS.ID"_s); // not how this table's columns are qualified
    order->Add(u"OX.Y"_s);
    order->Add(u"O"_s);

    delete a;
    QCOMPARE(defs->Count(), 2);
    QCOMPARE(Joins(b), u"OID>PARTS.NOPE OID>PARTS.ID"_s);
    QCOMPARE(Joins(c), QString());
    QCOMPARE(Lines(*order), u"I.OID/1 ORDERS.ID/0 OX.Y/0 O/0"_s);
    QVERIFY(defs->IsJoinTarget(c));
    defs->Delete(c->Index());
    QCOMPARE(Joins(b), QString());

    // A table without alias is known by its name.
    TKvTableDef* d = AddTable(p, u"DEPT"_s);
    d->SetAlias(QString());
    order->AddItem(u"DEPT.NO"_s, 1);
    delete d;
    QCOMPARE(Lines(*order), u"I.OID/1 ORDERS.ID/0 OX.Y/0 O/0"_s);
  }

  void joinTargetsAndLookups() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* anon = defs->Add();
    TKvTableDef* e1 = AddTable(p, u"EMP"_s, {u"ID"_s});
    TKvTableDef* e2 = AddTable(p, u"EMP"_s, {u"BOSS"_s});
    e1->SetAlias(u"E1"_s);
    e2->SetAlias(u"E2"_s);
    QCOMPARE(defs->FindByName(u"EMP"_s), e1);
    e2->SetIndex(0); // the first in list order wins
    QCOMPARE(defs->FindByName(u"EMP"_s), e2);

    TKvJoinDef* empty = e1->Joins()->Add(); // an empty target names no table
    QCOMPARE(empty->Operator(), u"="_s);
    QCOMPARE(empty->JoinType(), jtInner);
    QCOMPARE(empty->OwnerTable(), e1);
    QVERIFY(!defs->IsJoinTarget(anon));
    TKvJoinDef* j = AddJoin(e2, u"BOSS"_s, u"E1"_s, u"ID"_s);
    QVERIFY(defs->IsJoinTarget(e1));
    QVERIFY(!defs->IsJoinTarget(e2));
    j->SetJoinTable(u"e1"_s);
    QVERIFY(!defs->IsJoinTarget(e1));
    j->SetJoinTable(u"E1"_s);
    delete j;
    QVERIFY(!defs->IsJoinTarget(e1));

    TKvJoinDefs* joins = e2->Joins();
    TKvJoinDef* k = AddJoin(e2, u"BOSS"_s, u"E1"_s, u"ID"_s);
    AddJoin(e2, u"BOSS"_s, u"E1"_s, u"NAME"_s);
    QCOMPARE(joins->Find(u"BOSS"_s, u"E1"_s, u"ID"_s), k);
    QCOMPARE(joins->Find(u"BOSS"_s, u"e1"_s, u"ID"_s), nullptr);
    QCOMPARE(joins->Find(u"ID"_s, u"E1"_s, u"BOSS"_s), nullptr);
    QCOMPARE(joins->Owner(), e2);

    TKvJoinDef copy;
    k->SetOperator(u"<>"_s);
    k->SetJoinType(jtFullOuter);
    copy.Assign(*k);
    QCOMPARE(copy.Field() + u'>' + copy.JoinTable() + u'.' + copy.JoinField(), u"BOSS>E1.ID"_s);
    QCOMPARE(copy.Operator(), u"<>"_s);
    QCOMPARE(copy.JoinType(), jtFullOuter);
    QCOMPARE(copy.OwnerTable(), nullptr);
    QCOMPARE(JoinTypeText(jtLeftOuter), u"LEFT OUTER"_s);
    QCOMPARE(JoinTypeText(4), QString());
  }

  void orderByItems() {
    TKvOrderByItems o;
    QCOMPARE(o.Add(u"A"_s), 0);
    QCOMPARE(o.AddItem(u"B"_s, 1), 1);
    o.Add(u"C"_s);
    QCOMPARE(Lines(o), u"A/0 B/1 C/0"_s);
    QCOMPARE(o.Direction(-1), 0);
    QCOMPARE(o.Direction(3), 0);
    o.Delete(0);
    QCOMPARE(Lines(o), u"B/1 C/0"_s);
    o.Delete(7);
    QCOMPARE(o.Count(), 2);

    TKvOrderByItems copy;
    copy.Add(u"OLD"_s);
    copy.Assign(o);
    QCOMPARE(Lines(copy), u"B/1 C/0"_s);
    TKvGroupByItems group;
    group.Add(u"G"_s);
    group.Add(u"H"_s);
    copy.Assign(group); // a plain list has no directions
    QCOMPARE(Lines(copy), u"G/0 H/0"_s);

    o.Clear();
    QCOMPARE(o.Count(), 0);
    QCOMPARE(o.Directions().size(), 0);
    o.Add(u"X"_s);
    QCOMPARE(Lines(o), u"X/0"_s);
  }

  void defaultOperators() {
    TKvSelectParser p;
    const TKvOperators* ops = p.Operators();
    const QStringList expected = {
        u"=|=|1|||"_s,
        u"<>|<>|1|||"_s,
        u"<|<|1|||"_s,
        u">|>|1|||"_s,
        u"<=|<=|1|||"_s,
        u">=|>=|1|||"_s,
        u"LIKE|LIKE|1|||"_s,
        u"NOT LIKE|NOT LIKE|1|||"_s,
        u"IN|IN|1|(|)|"_s,
        u"NOT IN|NOT IN|1|(|)|"_s,
        u"BETWEEN|BETWEEN|2|||AND"_s,
        u"NOT BETWEEN|NOT BETWEEN|2|||AND"_s,
        u"IS NULL|IS NULL|0|||"_s,
        u"IS NOT NULL|IS NOT NULL|0|||"_s,
    };
    QStringList got;
    for (TKvOperator* op : *ops)
      got << Describe(op);
    QCOMPARE(got, expected);
    QCOMPARE(ops->FindByCaption(u"NOT IN"_s), ops->Items(9));
    QCOMPARE(ops->FindByCaption(u"like"_s), nullptr);
    QCOMPARE(ops->FindByName(u"IS NULL"_s), ops->Items(12));
    QCOMPARE(ops->FindByName(u"IS"_s), nullptr);
    QCOMPARE(TKvOperator().Count(), 1);
  }

  void findByPrefix_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("partial");
    QTest::newRow("IS") << u"IS"_s << u"IS NULL"_s << true;
    QTest::newRow("is null") << u"is null"_s << u"IS NULL"_s << false;
    QTest::newRow("is not") << u"is not"_s << u"IS NOT NULL"_s << true;
    QTest::newRow("not") << u"NOT"_s << u"NOT LIKE"_s << true;
    QTest::newRow("less finds <> first") << u"<"_s << u"<>"_s << true;
    QTest::newRow("between") << u"Between"_s << u"BETWEEN"_s << false;
    QTest::newRow("empty") << QString() << u"="_s << true;
    QTest::newRow("none") << u"XYZ"_s << QString() << false;
    QTest::newRow("longer than any") << u"LIKE IT"_s << QString() << false;
  }

  void findByPrefix() {
    QFETCH(QString, prefix);
    QFETCH(QString, caption);
    QFETCH(bool, partial);
    TKvSelectParser p;
    bool gotPartial = !partial;
    TKvOperator* op = p.Operators()->FindByPrefix(prefix, gotPartial);
    QCOMPARE(op ? op->Caption() : QString(), caption);
    if (op) QCOMPARE(gotPartial, partial);
  }

  void criterionOperatorFromParser() {
    TKvSelectParser p;
    TKvCriterion* c = p.WhereItems()->Add();
    QCOMPARE(c->Operator(), u"="_s); // an empty operator is not in the table
    c->SetOperator(u"~"_s);
    c->SetParser(&p);
    QCOMPARE(c->Operator(), u"="_s);
    c->SetOperator(u"NOT BETWEEN"_s);
    c->SetParser(&p);
    QCOMPARE(c->Operator(), u"NOT BETWEEN"_s);
    c->SetOperator(u"like"_s);
    c->SetParser(&p);
    QCOMPARE(c->Operator(), u"="_s);

    c->SetOperator(u"~"_s);
    c->SetParser(nullptr);
    QCOMPARE(c->Operator(), u"~"_s);
    p.Operators()->Clear();
    c->SetParser(&p); // no operators at all: left alone
    QCOMPARE(c->Operator(), u"~"_s);

    TKvCriterion* sub = c->Items()->Add();
    QCOMPARE(sub->OwnerCriterion(), c);
    QCOMPARE(c->Items()->Owner(), c);
    QCOMPARE(c->OwnerCriterion(), nullptr);
    QCOMPARE(p.WhereItems()->Relation(), krAll);
  }

  void criterionAssign() {
    TKvSelectParser p;
    TKvCriterion* src = p.HavingItems()->Add();
    src->Field()->SetName(u"A"_s);
    src->Field()->SetKind(fkField);
    src->SetOperator(u"BETWEEN"_s);
    src->Arguments()->Add()->SetName(u"1"_s);
    src->Arguments()->Add()->SetName(u"2"_s);
    src->Items()->SetRelation(krNone);
    TKvCriterion* inner = src->Items()->Add();
    inner->SetOperator(u"IS NULL"_s);
    inner->Field()->SetName(u"B"_s);

    TKvCriterions copyList;
    TKvCriterion* copy = copyList.Add();
    copy->Arguments()->Add()->SetName(u"OLD"_s);
    copy->Assign(*src);
    QCOMPARE(copy->Parser(), &p);
    QCOMPARE(copy->Field()->Name(), u"A"_s);
    QCOMPARE(copy->Field()->Kind(), fkField);
    QCOMPARE(copy->Operator(), u"BETWEEN"_s);
    QCOMPARE(copy->Arguments()->Count(), 2);
    QCOMPARE(copy->Arguments()->Items(1)->Name(), u"2"_s);
    QCOMPARE(copy->Items()->Count(), 1);
    QCOMPARE(copy->Items()->Relation(), krNone);
    QCOMPARE(copy->Items()->Items(0)->Field()->Name(), u"B"_s);
    QCOMPARE(copy->Items()->Items(0)->Operator(), u"IS NULL"_s);

    // A deep copy: changing the source later leaves it alone.
    inner->Field()->SetName(u"CHANGED"_s);
    src->Arguments()->Delete(0);
    QCOMPARE(copy->Items()->Items(0)->Field()->Name(), u"B"_s);
    QCOMPARE(copy->Arguments()->Count(), 2);
  }

  void relationCaption() {
    QCOMPARE(RelationCaption(krAll), u"All"_s);
    QCOMPARE(RelationCaption(krAny), u"Any"_s);
    QCOMPARE(RelationCaption(krNotAll), u"Not all"_s);
    QCOMPARE(RelationCaption(krNone), u"None"_s);
    QCOMPARE(RelationCaption(4), QString());
    QCOMPARE(RelationCaption(-1), QString());
  }

  void formatCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    QTest::newRow("first upper") << u"ORDER"_s << int(kfmFirstUpper) << u"Order"_s;
    QTest::newRow("after underscore") << u"GEN_ID"_s << int(kfmFirstUpper) << u"Gen_Id"_s;
    QTest::newRow("padded") << u" AND "_s << int(kfmFirstUpper) << u" and "_s;
    QTest::newRow("lower start") << u"select"_s << int(kfmFirstUpper) << u"Select"_s;
    QTest::newRow("two words") << u"LEFT OUTER"_s << int(kfmFirstUpper) << u"Left outer"_s;
    QTest::newRow("as is") << u"SeLeCt"_s << int(kfmAsIs) << u"SeLeCt"_s;
    QTest::newRow("upper") << u"SeLeCt"_s << int(kfmUpperCase) << u"SELECT"_s;
    QTest::newRow("lower") << u"SeLeCt"_s << int(kfmLowerCase) << u"select"_s;
    QTest::newRow("empty") << QString() << int(kfmFirstUpper) << QString();
  }

  void formatCase() {
    QFETCH(QString, text);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QCOMPARE(KvFormatCase(text, TKvFormatMode(mode)), expected);
    TKvSelectParser p;
    p.ScriptFormat()->SetKeywordsFormat(TKvFormatMode(mode));
    QCOMPARE(p.FormatKeyword(text), expected);
    QCOMPARE(p.FormatFunction(text), text);
  }

  void assignCopiesItems() {
    TKvSelectParser p;
    TKvTableDef* t = AddTable(p, u"ORDERS"_s, {u"ID"_s});
    t->SetAlias(u"O"_s);
    TKvFieldDef* sum = t->Fields()->Add();
    sum->SetName(u"SUM"_s);
    sum->SetKind(fkFunction);
    TKvFunctionDef* arg = sum->Arguments()->Add();
    arg->SetName(u"TOTAL"_s);
    arg->SetKind(fkField);
    AddJoin(t, u"ID"_s, u"X"_s, u"Y"_s);

    TKvFieldDefs loose;
    TKvFieldDef* f = loose.Add();
    f->Assign(*sum);
    QCOMPARE(f->Name(), u"SUM"_s);
    QCOMPARE(f->Kind(), fkFunction);
    QCOMPARE(f->Alias(), u"FIELD_1"_s);
    QCOMPARE(f->Parser(), &p);
    QCOMPARE(f->Number(), 0);
    QCOMPARE(f->Arguments()->Count(), 1);
    QCOMPARE(f->Arguments()->Items(0)->Name(), u"TOTAL"_s);
    QCOMPARE(f->Arguments()->Items(0)->Kind(), fkField);
    QVERIFY(f->Arguments()->Items(0) != arg);

    TKvTableDef* other = p.TableDefs()->Add();
    other->Assign(*t);
    QCOMPARE(other->TableName(), u"ORDERS"_s);
    QCOMPARE(other->Alias(), u"O"_s);
    QCOMPARE(Aliases(other->Fields()), u"ID FIELD_1"_s);
    QCOMPARE(Joins(other), QString());
    QCOMPARE(other->Fields()->Items(1)->Arguments()->Items(0)->Name(), u"TOTAL"_s);
    QCOMPARE(Columns(p.TableDefs()), u"ID SUM ID SUM"_s);

    TKvOperators ops;
    ops.Add()->SetCaption(u"OLD"_s);
    ops.Assign(*p.Operators());
    QCOMPARE(ops.Count(), 14);
    p.Operators()->Items(10)->SetRelate(u"OR"_s);
    QCOMPARE(ops.Items(10)->Relate(), u"AND"_s);
    TKvOperator one;
    one.Assign(*ops.Items(8));
    QCOMPARE(Describe(&one), u"IN|IN|1|(|)|"_s);

    TKvScriptFormat fmt;
    fmt.SetKeywordsFormat(kfmLowerCase);
    fmt.SetFunctionsFormat(kfmFirstUpper);
    TKvScriptFormat fmtCopy;
    fmtCopy.Assign(fmt);
    QCOMPARE(fmtCopy.KeywordsFormat(), kfmLowerCase);
    QCOMPARE(fmtCopy.FunctionsFormat(), kfmFirstUpper);
  }

  void clearEmptiesModel() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    TKvTableDef* a = AddTable(p, u"A"_s, {u"X"_s, u"Y"_s});
    AddTable(p, u"B"_s, {u"Z"_s});
    AddJoin(a, u"X"_s, u"B"_s, u"Z"_s);
    p.OrderByItems()->Add(u"A.X"_s);
    p.WhereItems()->Add();
    defs->Clear();
    QCOMPARE(defs->Count(), 0);
    QCOMPARE(defs->FieldCount(), 0);
    QCOMPARE(defs->FindByAlias(u"A"_s), nullptr);
    QCOMPARE(defs->FindByName(u"B"_s), nullptr);
    QVERIFY(!defs->IsAliasUsed(u"X"_s));

    TKvTableDef* c = AddTable(p, u"B"_s, {u"X"_s});
    QCOMPARE(Columns(defs), u"X"_s);
    QCOMPARE(Aliases(c->Fields()), u"X"_s);
    QVERIFY(!defs->IsJoinTarget(c));
    QCOMPARE(defs->FindByAlias(u"B"_s), c);

    p.Clear();
    QCOMPARE(defs->Count(), 0);
    QCOMPARE(p.OrderByItems()->Count(), 0);
    QCOMPARE(p.WhereItems()->Count(), 0);
  }

  void largeModel() {
    TKvSelectParser p;
    TKvTableDefs* defs = p.TableDefs();
    const int tables = 1000, fields = 5;
    for (int i = 0; i < tables; ++i) {
      QStringList names;
      for (int k = 0; k < fields; ++k)
        names << u"T%1_C%2"_s.arg(i).arg(k);
      TKvTableDef* t = AddTable(p, u"T%1"_s.arg(i), names);
      if (i > 0) AddJoin(t, names[0], u"T%1"_s.arg(i - 1), u"T%1_C0"_s.arg(i - 1));
    }
    QCOMPARE(defs->FieldCount(), tables * fields);
    QCOMPARE(defs->FieldByNumber(2345)->Name(), u"T469_C0"_s);
    p.OrderByItems()->Add(u"T350.T350_C1"_s);
    p.OrderByItems()->Add(u"T400.T400_C1"_s);

    // Tables 300..399 leave from the middle, alternately through the list and on their own.
    for (int i = 0; i < 100; ++i) {
      if (i % 2)
        defs->Delete(300);
      else
        delete defs->Items(300);
    }
    QCOMPARE(defs->Count(), 900);
    QCOMPARE(defs->FieldCount(), 900 * fields);
    int n = 0;
    for (int i = 0; i < defs->Count(); ++i) {
      QCOMPARE(defs->Items(i)->Index(), i);
      for (TKvFunctionDef* item : *defs->Items(i)->Fields()) {
        auto* f = static_cast<TKvFieldDef*>(item);
        if (f->Number() != n || defs->FieldByNumber(n) != f)
          QFAIL(
              qPrintable(u"%1 numbered %2, expected %3"_s.arg(f->Name()).arg(f->Number()).arg(n)));
        ++n;
      }
    }
    QCOMPARE(defs->FindByAlias(u"T350"_s), nullptr);
    QCOMPARE(defs->FindByAlias(u"T400"_s)->Index(), 300);
    QCOMPARE(defs->FindByName(u"T999"_s)->Index(), 899);
    QVERIFY(!defs->IsAliasUsed(u"T350_C0"_s));
    QVERIFY(defs->IsAliasUsed(u"T400_C4"_s));
    QCOMPARE(Joins(defs->FindByAlias(u"T400"_s)), QString()); // it pointed at T399
    QCOMPARE(Joins(defs->FindByAlias(u"T401"_s)), u"T401_C0>T400.T400_C0"_s);
    QVERIFY(!defs->IsJoinTarget(defs->FindByAlias(u"T299"_s)));
    QVERIFY(defs->IsJoinTarget(defs->FindByAlias(u"T298"_s)));
    int joins = 0;
    for (TKvTableDef* t : *defs)
      joins += t->Joins()->Count();
    QCOMPARE(joins, 999 - 100 - 1);
    QCOMPARE(Lines(*p.OrderByItems()), u"T400.T400_C1/0"_s);

    TKvFieldDef* last = defs->Items(0)->Fields()->Add();
    QCOMPARE(last->Number(), 900 * fields);
    QCOMPARE(defs->FieldByNumber(900 * fields), last);
  }
};

QTEST_APPLESS_MAIN(TestModel)
#include "tst_model.moc"
