// Saving and restoring what the work area shows (TKvWorkArea::SaveState, RestoreState,
// KeepLayout), apart from the input handling of KvFloatPanel.cpp.

#include "KvSurfaceState.h"

#include "KvDataSet.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// The columns of a window as a saved state holds them.
class TKvRowsDataSet : public TKvDataSet {
public:
  explicit TKvRowsDataSet(const QList<TKvRowState>& rows) : m_rows(rows) {}
  int FieldCount() const override { return int(m_rows.size()); }
  QString FieldName(int index) const override { return m_rows.at(index).Name; }
  int FieldType(int index) const override { return m_rows.at(index).DataType; }

private:
  const QList<TKvRowState>& m_rows;
};

QHash<QString, const TKvWindowState*>
WindowIndex(const QList<std::shared_ptr<const TKvWindowState>>& list) {
  QHash<QString, const TKvWindowState*> index;
  index.reserve(list.size());
  for (const auto& entry : list)
    index.insert(entry->Key(), entry.get());
  return index;
}

QHash<QString, const TKvLinkState*> LinkIndex(const QList<std::shared_ptr<const TKvLinkState>>& l) {
  QHash<QString, const TKvLinkState*> index;
  index.reserve(l.size());
  for (const auto& entry : l)
    index.insert(entry->Ends(), entry.get());
  return index;
}

bool Equal(const TKvWindowState* a, const TKvWindowState* b) {
  return a == b || (a && b && *a == *b);
}

bool Equal(const TKvLinkState* a, const TKvLinkState* b) {
  return a == b || (a && b && *a == *b);
}

} // namespace

// --- the state types ---

bool TKvWindowState::SameColumns(const TKvWindowState& other) const {
  if (TableName != other.TableName || Rows.size() != other.Rows.size()) return false;
  for (qsizetype i = 0; i < Rows.size(); ++i)
    if (Rows[i].Name != other.Rows[i].Name || Rows[i].DataType != other.Rows[i].DataType)
      return false;
  return true;
}

QString TKvLinkState::Ends() const {
  // Names never hold a line break: it separates them unambiguously.
  return Table1 + QLatin1Char('\n') + Item1 + QLatin1Char('\n') + Table2 + QLatin1Char('\n') +
         Item2;
}

const TKvWindowState* TKvSurfaceState::Window(const QString& key) const {
  for (const auto& window : Windows)
    if (window->Key() == key) return window.get();
  return nullptr;
}

bool TKvSurfaceState::SameAs(const TKvSurfaceState& other) const {
  if (Windows.size() != other.Windows.size() || Links.size() != other.Links.size()) return false;
  const auto windows = WindowIndex(other.Windows);
  for (const auto& window : Windows)
    if (!Equal(window.get(), windows.value(window->Key()))) return false;
  const auto links = LinkIndex(other.Links);
  for (const auto& link : Links)
    if (!Equal(link.get(), links.value(link->Ends()))) return false;
  return true;
}

// --- saving ---

TKvWindowState TKvWorkArea::WindowState(const TKvTable* table) {
  TKvWindowState s;
  s.TableName = table->TableName();
  s.Alias = table->Alias();
  s.Left = table->Left();
  s.Top = table->Top();
  s.Width = table->Width();
  s.Height = table->Height();
  s.TopIndex = table->TopIndex();
  s.VisibleCount = table->VisibleCount();
  s.Expanded = table->Expanded();
  s.Rows.reserve(table->ItemCount());
  for (const TKvListItem* item : table->Items())
    s.Rows.append({item->Name(), item->DataType(), item->Checked()});
  return s;
}

TKvLinkState TKvWorkArea::LinkState(const TKvLink* link) {
  TKvLinkState s;
  s.Table1 = link->Join()->Table1()->AliasOrName();
  s.Item1 = link->Item1()->Name();
  s.Table2 = link->Join()->Table2()->AliasOrName();
  s.Item2 = link->Item2()->Name();
  s.OperatorIndex = link->OperatorIndex();
  s.JoinType = link->Join()->JoinType();
  s.BendPoints = link->BendPoints();
  return s;
}

TKvSurfaceState TKvWorkArea::SaveState(const TKvSurfaceState* previous) const {
  TKvSurfaceState state;
  QHash<QString, std::shared_ptr<const TKvWindowState>> oldWindowPtrs;
  if (previous)
    for (const auto& w : previous->Windows)
      oldWindowPtrs.insert(w->Key(), w);
  state.Windows.reserve(m_tables.size());
  for (const TKvTable* table : m_tables) {
    TKvWindowState s = WindowState(table);
    const auto old = oldWindowPtrs.value(s.Key());
    state.Windows.append(old && *old == s ? old
                                          : std::make_shared<const TKvWindowState>(std::move(s)));
  }
  QHash<QString, std::shared_ptr<const TKvLinkState>> oldLinks;
  if (previous)
    for (const auto& l : previous->Links)
      oldLinks.insert(l->Ends(), l);
  state.Links.reserve(m_links.size());
  for (const TKvLink* link : m_links) {
    TKvLinkState s = LinkState(link);
    const auto old = oldLinks.value(s.Ends());
    state.Links.append(old && *old == s ? old : std::make_shared<const TKvLinkState>(std::move(s)));
  }
  return state;
}

// --- restoring ---

TKvTable* TKvWorkArea::TableByKey(const QString& key) const {
  for (TKvTable* table : m_tables)
    if (table->AliasOrName() == key) return table;
  return nullptr;
}

TKvLink* TKvWorkArea::LinkByEnds(const TKvLinkState& ends) const {
  const TKvTable* table1 = TableByKey(ends.Table1);
  const TKvTable* table2 = TableByKey(ends.Table2);
  if (!table1 || !table2) return nullptr;
  for (TKvLink* link : m_links)
    if (link->Join()->Table1() == table1 && link->Join()->Table2() == table2 &&
        link->Item1()->Name() == ends.Item1 && link->Item2()->Name() == ends.Item2)
      return link;
  return nullptr;
}

void TKvWorkArea::ApplyGeometry(TKvTable* table, const TKvWindowState& s) {
  table->MoveBy(s.Left - table->Left(), s.Top - table->Top());
  table->SetWidth(s.Width);
  table->SetHeight(s.Height);
  table->SetVisibleCount(s.VisibleCount);
  table->SetExpanded(s.Expanded);
  table->SetTopIndex(s.TopIndex);
}

void TKvWorkArea::ApplyWindow(TKvTable* table, const TKvWindowState& s) {
  table->SetAlias(s.Alias);
  ApplyGeometry(table, s);
  const QList<TKvListItem*>& items = table->Items();
  for (qsizetype i = 0; i < items.size() && i < s.Rows.size(); ++i)
    if (items[i]->Checked() != s.Rows[i].Checked) items[i]->SetChecked(s.Rows[i].Checked);
}

TKvTable* TKvWorkArea::MakeTable(const TKvWindowState& s, int index) {
  const TKvRowsDataSet columns(s.Rows);
  auto* table = new TKvTable(this, s.TableName, &columns);
  m_tables.insert(std::clamp<qsizetype>(index, 0, m_tables.size()), table);
  ApplyWindow(table, s);
  return table;
}

void TKvWorkArea::ApplyLink(TKvLink* link, const TKvLinkState& s) {
  link->InvalidateRegion(0);
  link->SetOperatorIndex(s.OperatorIndex);
  link->Join()->SetJoinType(s.JoinType);
  link->SetBendPoints(s.BendPoints);
  link->InvalidateRegion(0);
}

TKvLink* TKvWorkArea::MakeLink(const TKvLinkState& s) {
  TKvTable* table1 = TableByKey(s.Table1);
  TKvTable* table2 = TableByKey(s.Table2);
  TKvListItem* item1 = table1 ? table1->FindItem(s.Item1) : nullptr;
  TKvListItem* item2 = table2 ? table2->FindItem(s.Item2) : nullptr;
  if (!item1 || !item2 || table1 == table2) return nullptr;
  bool reversed = false;
  TKvJoin* join = FindJoin(table1, table2, reversed);
  if (!join) {
    join = new TKvJoin(this, table1, table2);
    m_joins.append(join);
  } else if (reversed) {
    std::swap(item1, item2);
  }
  auto* link = new TKvLink(this, item1, item2, join);
  m_links.append(link);
  return link;
}

void TKvWorkArea::RestoreState(const TKvSurfaceState& target, const TKvSurfaceState& other) {
  CloseEditors();
  const auto targetWindows = WindowIndex(target.Windows);
  const auto otherWindows = WindowIndex(other.Windows);
  QStringList keys;
  for (const auto& w : target.Windows)
    keys << w->Key();
  for (const auto& w : other.Windows)
    if (!targetWindows.contains(w->Key())) keys << w->Key();
  for (const QString& key : std::as_const(keys)) {
    const TKvWindowState* t = targetWindows.value(key);
    const TKvWindowState* o = otherWindows.value(key);
    TKvTable* current = TableByKey(key);
    if (current && Equal(t, o)) continue; // untouched by the step
    if (current && (!t || !WindowState(current).SameColumns(*t))) {
      DropTable(current);
      current = nullptr;
    }
    if (!t) continue;
    if (current)
      ApplyWindow(current, *t);
    else
      MakeTable(*t, int(keys.indexOf(key))); // about where the target stacks it
  }

  const auto targetLinks = LinkIndex(target.Links);
  const auto otherLinks = LinkIndex(other.Links);
  // Links that go first, so that a pair's join is made again in the order the target has.
  for (const auto& o : other.Links)
    if (!targetLinks.contains(o->Ends()))
      if (TKvLink* link = LinkByEnds(*o)) DropLink(link);
  for (const auto& t : target.Links) {
    TKvLink* link = LinkByEnds(*t);
    if (link && Equal(t.get(), otherLinks.value(t->Ends()))) continue;
    if (!link) link = MakeLink(*t);
    if (link) ApplyLink(link, *t);
  }
  InvalidateAll();
}

// --- layout kept over a new statement ---

void TKvWorkArea::KeepLayout(const TKvSurfaceState& old, const QList<TKvTable*>& made) {
  const auto windows = WindowIndex(old.Windows);
  QList<TKvTable*> fresh;
  for (TKvTable* table : made) {
    const TKvWindowState* s = windows.value(table->AliasOrName());
    if (s && s->TableName == table->TableName())
      ApplyGeometry(table, *s);
    else
      fresh << table;
  }
  // New windows find room among the ones that kept their place, in the order they were made.
  QSet<const TKvTable*> unplaced(fresh.cbegin(), fresh.cend());
  for (TKvTable* table : std::as_const(fresh)) {
    unplaced.remove(table);
    const QPoint place =
        FreePlace(table->BoundsRect().size(), unplaced + QSet<const TKvTable*>{table});
    table->MoveBy(place.x() - table->Left(), place.y() - table->Top());
  }
  for (const auto& s : old.Links)
    if (TKvLink* link = LinkByEnds(*s)) link->SetBendPoints(s->BendPoints);
  InvalidateAll();
}
