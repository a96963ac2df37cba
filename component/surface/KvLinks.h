#pragma once

// Links between field rows of two table windows, and the joins that group them per window pair.

#include "KvFloatTable.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QStringList>

#include <cstdint>

class TKvJoinDef;
class TKvTable;

// The comparison operators a link offers, in the order of their index.
const QStringList& KvLinkOperators();

class TKvJoin {
public:
  TKvJoin(TKvWorkArea* workArea, TKvTable* table1, TKvTable* table2)
      : m_table1(table1), m_table2(table2), m_workArea(workArea) {}
  TKvJoin(const TKvJoin&) = delete;
  TKvJoin& operator=(const TKvJoin&) = delete;

  // 0 inner, 1 all rows of Table1, 2 all rows of Table2, 3 all rows of both.
  int JoinType() const { return m_joinType; }
  void SetJoinType(int value) { m_joinType = value; }
  TKvTable* Table1() const { return m_table1; }
  TKvTable* Table2() const { return m_table2; }
  TKvWorkArea* WorkArea() const { return m_workArea; }
  TKvTable* Table(int side) const;
  QString TableName(int side) const;

private:
  int m_joinType = 0;
  TKvTable* m_table1;
  TKvTable* m_table2;
  TKvWorkArea* m_workArea;
};

class TKvLink : public TKvFloatObject {
public:
  TKvLink(TKvWorkArea* workArea, TKvListItem* item1, TKvListItem* item2, TKvJoin* join);

  TKvJoin* Join() const { return m_join; }
  int OperatorIndex() const { return m_operatorIndex; }
  void SetOperatorIndex(int index) { m_operatorIndex = index; }
  QString OperatorText() const;
  TKvListItem* Item1() const { return m_item1; }
  TKvListItem* Item2() const { return m_item2; }
  // Rectangle around every point grown by 3 (logical coordinates).
  QRect Bounds() const { return m_bounds; }
  const QList<QPoint>& Points() const { return m_points; }
  int PointCount() const { return int(m_points.size()); }
  // Point i in client coordinates; raises for an index outside the list.
  QPoint Point(int index) const;
  // Sets point i from logical coordinates; raises for an index outside the list.
  void SetPoint(int index, QPoint logical);
  // The user's bend points (logical coordinates), without the ends and their stubs.
  QList<QPoint> BendPoints() const;
  void SetBendPoints(const QList<QPoint>& points);
  QPoint MenuPoint() const { return m_menuPoint; }
  void SetMenuPoint(QPoint client) { m_menuPoint = client; }
  int DragPoint() const { return m_dragPoint; }

  void Recalc();
  // Client region of the whole link (0), its first end (1) or its last end (2).
  QRegion GetRegion(int part) const;
  void InvalidateRegion(int part) const;
  void InvalidateBounds() const;
  // Whether the link may be under `client` (cheap test before HitTest).
  bool MayHit(QPoint logical) const;

  // --- TKvFloatObject ---
  void SetActive(bool value) override;
  QString GetHint() override;
  void Paint(QPainter& painter) override;
  void MouseDown(TKvMouseMsg& msg, int hitCode) override;
  void MouseMove(TKvMouseMsg& msg, int hitCode) override;
  void MouseUp(TKvMouseMsg& msg, int hitCode) override;
  int HitTest(QPoint p) override;
  void FillPopupMenu(QMenu* menu, int x, int hitCode, int y) override;

  // --- menu actions ---
  void InsertPoint();
  void DeletePoint();
  void Delete();
  void ShowProperties();

  // Rubber band of a bend point being dragged (client coordinates), empty when none.
  QList<QPoint> RubberBand() const;
  // Draws the link into `painter` at client coordinates.
  void Draw(QPainter& painter) const;

private:
  TKvJoin* m_join;
  int m_operatorIndex = 0;
  TKvListItem* m_item1;
  TKvListItem* m_item2;
  QRect m_bounds;
  QList<QPoint> m_points;
  QPoint m_menuPoint;
  int m_dragPoint = -1;
  bool m_rubberBand = false;
};

// Where a link's condition lives in the query model, in either orientation.
struct TKvModelJoin {
  TKvJoinDef* Def = nullptr;
  bool Reversed = false; // stored under the model table of Join.Table2
};
TKvModelJoin KvFindModelJoin(const TKvLink* link);
// The join type as an entry of that orientation stores it (left and right swap when reversed).
int KvModelJoinType(int joinType, bool reversed);
