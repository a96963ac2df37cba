#include "KvLinks.h"

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvMessages.h"
#include "KvParser.h"
#include "KvResource.h"
#include "KvUndo.h"
#include "KvUtils.h"
#include "KvWindow.h"

#include <QMenu>
#include <QPainter>
#include <QPolygon>

#include <utility>

const QStringList& KvLinkOperators() {
  static const QStringList operators = {QStringLiteral("="),  QStringLiteral(">"),
                                        QStringLiteral("<"),  QStringLiteral(">="),
                                        QStringLiteral("<="), QStringLiteral("<>")};
  return operators;
}

// --- TKvJoin ---

TKvTable* TKvJoin::Table(int side) const {
  if (side == 0) return m_table1;
  if (side == 1) return m_table2;
  return nullptr;
}

QString TKvJoin::TableName(int side) const {
  const TKvTable* table = Table(side);
  return table ? table->TableName() : QString();
}

// --- TKvLink: geometry ---

TKvLink::TKvLink(TKvWorkArea* workArea, TKvListItem* item1, TKvListItem* item2, TKvJoin* join)
    : TKvFloatObject(workArea), m_join(join), m_item1(item1), m_item2(item2),
      m_points(4, QPoint()) {
  Recalc();
}

QString TKvLink::OperatorText() const {
  if (m_operatorIndex >= 0 && m_operatorIndex < KvLinkOperators().size())
    return KvLinkOperators().at(m_operatorIndex);
  // An operator of loaded SQL that the list does not offer lives only in the model.
  const TKvModelJoin entry = KvFindModelJoin(this);
  return entry.Def ? entry.Def->Operator() : QString();
}

QPoint TKvLink::Point(int index) const {
  if (index < 0 || index >= PointCount()) throw EKvError(KvResource::SInvalidIndex.arg(index));
  return m_workArea->ToClient(m_points[index]);
}

void TKvLink::SetPoint(int index, QPoint logical) {
  if (index < 0 || index >= PointCount()) throw EKvError(KvResource::SInvalidIndex.arg(index));
  m_points[index] = logical;
}

QList<QPoint> TKvLink::BendPoints() const {
  return m_points.mid(2, PointCount() - 4);
}

void TKvLink::SetBendPoints(const QList<QPoint>& points) {
  if (points == BendPoints()) return;
  m_points = m_points.mid(0, 2) + points + m_points.mid(PointCount() - 2);
  Recalc();
}

void TKvLink::Recalc() {
  if (!m_join || !m_join->Table1() || !m_join->Table2()) {
    const int side = m_join && m_join->Table1() ? 1 : 0;
    throw EKvError(KvResource::SInvalidLinkTable.arg(m_join ? m_join->TableName(side) : QString()));
  }
  KvRecalcLinkPoints(m_points, m_item1->GetLinkRect(), m_item2->GetLinkRect());
  m_bounds = KvLinkBounds(m_points);
}

QRegion TKvLink::GetRegion(int part) const {
  const TKvLinkRegion pieces = KvLinkRegion(m_points, part);
  const QPoint scroll = m_workArea->ScrollPos();
  QRegion region;
  // Boxes of dots and end marks, with a pixel for the smoothed edges of the marks.
  for (const QRect& box : pieces.boxes)
    region += box.translated(-scroll).adjusted(-1, -1, 1, 1);
  for (const TKvQuad& quad : pieces.quads) {
    QPolygon polygon(4);
    for (int i = 0; i < 4; ++i)
      polygon[i] = quad[i] - scroll;
    // The piece is three pixels wide; a smoothed line of the selected width reaches two
    // pixels from its middle, so the piece is taken once more in each diagonal direction.
    region += QRegion(polygon);
    for (const QPoint shift : {QPoint(1, 1), QPoint(-1, -1), QPoint(1, -1), QPoint(-1, 1)})
      region += QRegion(polygon.translated(shift));
  }
  return region;
}

void TKvLink::InvalidateRegion(int part) const {
  m_workArea->InvalidateClient(GetRegion(part));
}

void TKvLink::InvalidateBounds() const {
  m_workArea->InvalidateLogical(m_bounds);
}

bool TKvLink::MayHit(QPoint logical) const {
  const int grow = PointCount() + 1;
  return m_bounds.adjusted(-grow, -grow, grow, grow).contains(logical);
}

int TKvLink::HitTest(QPoint p) {
  return KvLinkHitTest(m_points, m_workArea->ToLogical(p));
}

// --- TKvLink: selection, hint, painting ---

void TKvLink::SetActive(bool value) {
  TKvFloatObject::SetActive(value);
  m_item1->SetBold(value);
  m_item2->SetBold(value);
  if (m_workArea->OnLinkSelect)
    m_workArea->OnLinkSelect(m_workArea, m_join->Table1(), m_item1, m_join->Table2(), m_item2,
                             value);
  if (value)
    InvalidateRegion(0);
  else
    InvalidateBounds();
}

QString TKvLink::GetHint() {
  return m_join->Table1()->AliasOrName() + QLatin1Char('.') + m_item1->Name() + OperatorText() +
         m_join->Table2()->AliasOrName() + QLatin1Char('.') + m_item2->Name();
}

void TKvLink::Paint(QPainter& painter) {
  Draw(painter);
}

void TKvLink::Draw(QPainter& painter) const {
  const int n = PointCount();
  QList<QPoint> pts(n);
  const QPoint scroll = m_workArea->ScrollPos();
  for (int i = 0; i < n; ++i)
    pts[i] = m_points[i] - scroll;
  const int d0 = pts[0].x() >= pts[1].x() ? -6 : 6;
  const int dn = pts[n - 2].x() >= pts[n - 1].x() ? -6 : 6;

  painter.save();
  const int width = m_active ? 2 : 1;
  // Odd pen widths sit on pixel centres so straight lines stay crisp.
  const QPointF shift = width % 2 ? QPointF(0.5, 0.5) : QPointF(0, 0);
  painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  QPolygonF line;
  line << QPointF(pts[0] - QPoint(d0 < 0 ? 1 : 0, 0)) + shift;
  for (int i = 1; i < n; ++i)
    line << QPointF(pts[i]) + shift;
  painter.drawPolyline(line);

  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  for (int i = 2; i <= n - 3; ++i)
    painter.drawEllipse(QRectF(pts[i].x() - 3, pts[i].y() - 3, 7, 7));

  auto dot = [&painter](QPoint p, int dx) {
    const QRectF box =
        QRectF(QPointF(p.x(), p.y() - 3), QPointF(p.x() + dx, p.y() + 4)).normalized();
    painter.drawEllipse(box);
  };
  auto arrow = [&painter](QPoint tip, int dx) {
    const QPointF points[3] = {QPointF(tip.x(), tip.y() + 0.5), QPointF(tip.x() + dx, tip.y() - 3),
                               QPointF(tip.x() + dx, tip.y() + 4)};
    painter.drawPolygon(points, 3);
  };
  const QPoint first = pts[0];
  const QPoint last = pts[n - 1];
  const int type = m_join->JoinType();
  if (type == 1 || type == 3)
    arrow(first, d0);
  else
    dot(first, d0);
  if (type == 2 || type == 3)
    arrow(last, -dn);
  else
    dot(last, -dn);
  painter.restore();
}

QList<QPoint> TKvLink::RubberBand() const {
  if (!m_rubberBand || m_dragPoint < 2 || m_dragPoint > PointCount() - 3) return {};
  return {Point(m_dragPoint - 1), m_menuPoint, Point(m_dragPoint + 1)};
}

// --- TKvLink: mouse and menu ---

void TKvLink::MouseDown(TKvMouseMsg& msg, int hitCode) {
  TKvFloatObject::MouseDown(msg, hitCode);
  const QPoint logical = m_workArea->ToLogical(msg.Pos);
  m_rubberBand = false;
  if (hitCode == htBendPoint) {
    m_dragPoint = KvLastBendPointAt(m_points, logical);
    if (m_dragPoint >= 0) m_menuPoint = Point(m_dragPoint);
  } else if (hitCode == htEndPoint) {
    const QPoint d = logical - m_points[0];
    m_dragPoint = std::abs(d.x()) <= 4 && std::abs(d.y()) <= 4 ? 0 : PointCount() - 1;
  }
}

void TKvLink::MouseMove(TKvMouseMsg& msg, int hitCode) {
  TKvFloatObject::MouseMove(msg, hitCode);
  if (!(msg.Buttons & Qt::LeftButton) || hitCode != htBendPoint) return;
  if (m_dragPoint < 2 || m_dragPoint > PointCount() - 3) return;
  auto bandRect = [this] {
    const QList<QPoint> band = RubberBand();
    if (band.isEmpty()) return QRect();
    return QPolygon(band).boundingRect().adjusted(-2, -2, 2, 2);
  };
  m_workArea->InvalidateClient(bandRect());
  m_menuPoint = msg.Pos;
  m_rubberBand = true;
  m_workArea->InvalidateClient(bandRect());
}

void TKvLink::MouseUp(TKvMouseMsg& msg, int hitCode) {
  TKvFloatObject::MouseUp(msg, hitCode);
  if (m_dragPoint >= 2 && m_dragPoint <= PointCount() - 3) {
    TKvUndoStep step(m_workArea->Owner(), KvResource::SUndoMovePoint);
    if (m_rubberBand) {
      const QList<QPoint> band = RubberBand();
      m_workArea->InvalidateClient(QPolygon(band).boundingRect().adjusted(-2, -2, 2, 2));
    }
    InvalidateBounds();
    const QPoint logical = m_workArea->ToLogical(m_menuPoint);
    m_bounds = m_bounds.united(QRect(logical - QPoint(3, 3), logical + QPoint(3, 3)));
    SetPoint(m_dragPoint, logical);
    InvalidateRegion(0);
  }
  m_rubberBand = false;
  m_dragPoint = -1;
}

void TKvLink::FillPopupMenu(QMenu* menu, int x, int hitCode, int y) {
  using namespace KvResource;
  if (hitCode != htBody && hitCode != htBendPoint) return;
  m_menuPoint = QPoint(x, y);
  TKvWorkArea* area = m_workArea;
  auto guarded = [area, id = Id()](void (TKvLink::*action)()) {
    return [area, id, action] {
      area->Guard([&] {
        if (TKvLink* link = area->LinkById(id)) (link->*action)();
      });
    };
  };
  if (hitCode == htBody)
    menu->addAction(SMenuInsertPoint, guarded(&TKvLink::InsertPoint));
  else
    menu->addAction(SMenuDeletePoint, guarded(&TKvLink::DeletePoint));
  menu->addSeparator();
  menu->addAction(SMenuDeleteLink, guarded(&TKvLink::Delete));
  menu->addAction(SMenuProperty, guarded(&TKvLink::ShowProperties));
}

void TKvLink::InsertPoint() {
  TKvUndoStep step(m_workArea->Owner(), KvResource::SUndoInsertPoint);
  const QPoint logical = m_workArea->ToLogical(m_menuPoint);
  const int index = KvInsertPointIndex(m_points, logical);
  if (index < 0) return;
  InvalidateRegion(0);
  m_points.insert(index, logical);
  m_bounds = KvLinkBounds(m_points);
  InvalidateRegion(0);
}

void TKvLink::DeletePoint() {
  if (PointCount() < 5) return;
  const int index = KvFirstBendPointAt(m_points, m_workArea->ToLogical(m_menuPoint));
  if (index < 0) return;
  TKvUndoStep step(m_workArea->Owner(), KvResource::SUndoDeletePoint);
  InvalidateBounds();
  m_points.removeAt(index);
  m_bounds = KvLinkBounds(m_points);
  InvalidateRegion(0);
}

void TKvLink::Delete() {
  using namespace KvResource;
  const QString text = SDeleteLinkQuestion + QStringLiteral("\r\n") + m_join->TableName(0) +
                       QLatin1Char(' ') + SAnd + QLatin1Char(' ') + m_join->TableName(1);
  if (KvAskYesNo(m_workArea, SAttention, text)) m_workArea->PostMessage(KVM_REMOVELINK, this);
}

void TKvLink::ShowProperties() {
  m_workArea->ShowLinkProperties(this, false);
}

// --- work-area link operations ---

namespace {
void AddModelJoin(TKvLink* link);
void DeleteModelJoin(const TKvLink* link);
} // namespace

TKvJoin* TKvWorkArea::FindJoin(TKvTable* table1, TKvTable* table2, bool& reversed) const {
  for (TKvJoin* join : m_joins) {
    if (join->Table1() == table1 && join->Table2() == table2) {
      reversed = false;
      return join;
    }
    if (join->Table1() == table2 && join->Table2() == table1) {
      reversed = true;
      return join;
    }
  }
  reversed = false;
  return nullptr;
}

bool TKvWorkArea::LinkExists(TKvTable* table1, TKvTable* table2, TKvListItem* item1,
                             TKvListItem* item2) const {
  bool reversed = false;
  const TKvJoin* join = FindJoin(table1, table2, reversed);
  if (!join) return false;
  if (reversed) std::swap(item1, item2);
  for (const TKvLink* link : m_links)
    if (link->Join() == join && link->Item1() == item1 && link->Item2() == item2) return true;
  return false;
}

TKvLink* TKvWorkArea::AddLink(TKvTable* table1, TKvTable* table2, TKvListItem* item1,
                              TKvListItem* item2) {
  if (!IsTable(table1) || !IsTable(table2) || table1 == table2) return nullptr;
  // Rows must belong to their windows; the same condition twice would share one model entry.
  if (!item1 || !item2 || item1->Table() != table1 || item2->Table() != table2) return nullptr;
  if (LinkExists(table1, table2, item1, item2)) return nullptr;
  TKvUndoStep step(m_owner, KvResource::SUndoAddLink.arg(table1->AliasOrName() + QLatin1Char('.') +
                                                         item1->Name() + QLatin1Char('=') +
                                                         table2->AliasOrName() + QLatin1Char('.') +
                                                         item2->Name()));
  bool reversed = false;
  TKvJoin* join = FindJoin(table1, table2, reversed);
  const bool newJoin = !join;
  if (newJoin) {
    join = new TKvJoin(this, table1, table2);
    m_joins.append(join);
  }
  if (reversed) std::swap(item1, item2);
  auto* link = new TKvLink(this, item1, item2, join);
  if (m_owner && !m_owner->DoAddRemoveLink(link, kvaAdd)) {
    delete link;
    if (newJoin) {
      m_joins.removeOne(join);
      delete join;
    }
    return nullptr;
  }
  m_links.append(link);
  AddModelJoin(link);
  link->InvalidateRegion(0);
  if (OnLinkAdded) OnLinkAdded(this, link);
  return link;
}

void TKvWorkArea::RemoveLink(TKvLink* link, int index, bool invalidateFirst) {
  if (index < 0 || index >= m_links.size() || m_links[index] != link)
    index = int(m_links.indexOf(link));
  if (index < 0) return;
  if (m_hotObject == link) m_hotObject = nullptr;
  if (m_activeObject == link) {
    m_activeObject = nullptr;
    link->SetActive(false);
  }
  if (invalidateFirst) link->InvalidateRegion(0);
  DeleteModelJoin(link);
  m_links.removeAt(index);
  if (OnLinkRemoved) OnLinkRemoved(this, link);
  TKvJoin* join = link->Join();
  delete link;
  DeleteJoinIfUnused(join);
}

void TKvWorkArea::DeleteJoinIfUnused(TKvJoin* join) {
  for (const TKvLink* link : m_links)
    if (link->Join() == join) return;
  m_joins.removeOne(join);
  delete join;
}

void TKvWorkArea::TableMoved(TKvTable* table) {
  for (TKvLink* link : m_links) {
    int part = link->Join()->Table1() == table ? 1 : link->Join()->Table2() == table ? 2 : 0;
    if (part == 0) continue;
    if (link->PointCount() == 4) part = 0;
    link->InvalidateRegion(part);
    link->Recalc();
    link->InvalidateRegion(part);
  }
}

void TKvWorkArea::TableSized(TKvTable* table) {
  for (TKvLink* link : m_links) {
    if (link->Join()->Table1() != table && link->Join()->Table2() != table) continue;
    link->InvalidateRegion(0);
    link->Recalc();
    link->InvalidateRegion(0);
  }
}

// --- the query model ---
// A link's condition is the join entry of the model table of Join.Table1 with Field = Item1,
// JoinTable = Table2's alias and JoinField = Item2. Loaded SQL may hold it the other way round
// (under Table2's model table); both orientations are looked up, and a new entry is always made
// in the join's order, so no condition is entered twice.

namespace {

TKvTableDef* ModelTable(const TKvTable* table) {
  const TCustomKvarta* owner = table->WorkArea()->Owner();
  return owner ? owner->ModelTable(table) : nullptr;
}

TKvJoinDef* FindEntry(const TKvTable* left, const TKvListItem* leftItem, const TKvTable* right,
                      const TKvListItem* rightItem) {
  const TKvTableDef* def = ModelTable(left);
  if (!def) return nullptr;
  return def->Joins()->Find(leftItem->Name(), right->AliasOrName(), rightItem->Name());
}

void AddModelJoin(TKvLink* link) {
  const TKvModelJoin existing = KvFindModelJoin(link);
  if (existing.Def) {
    // Loaded from SQL: show the condition's own operator.
    link->SetOperatorIndex(int(KvLinkOperators().indexOf(existing.Def->Operator())));
    return;
  }
  const TKvJoin* join = link->Join();
  TKvTableDef* def = ModelTable(join->Table1());
  if (!def) return;
  TKvJoinDef* entry = def->Joins()->Add();
  entry->SetField(link->Item1()->Name());
  entry->SetJoinTable(join->Table2()->AliasOrName());
  entry->SetJoinField(link->Item2()->Name());
}

void DeleteModelJoin(const TKvLink* link) {
  const TKvModelJoin entry = KvFindModelJoin(link);
  if (entry.Def && entry.Def->Collection()) entry.Def->Collection()->Delete(entry.Def->Index());
}

} // namespace

TKvModelJoin KvFindModelJoin(const TKvLink* link) {
  const TKvJoin* join = link->Join();
  if (TKvJoinDef* def = FindEntry(join->Table1(), link->Item1(), join->Table2(), link->Item2()))
    return {def, false};
  if (TKvJoinDef* def = FindEntry(join->Table2(), link->Item2(), join->Table1(), link->Item1()))
    return {def, true};
  return {};
}

int KvModelJoinType(int joinType, bool reversed) {
  if (!reversed) return joinType;
  if (joinType == 1) return 2;
  if (joinType == 2) return 1;
  return joinType;
}
