#pragma once

// Link geometry: where a link touches its table windows, how its polyline is routed, which
// screen pieces it covers and what the mouse hits. Pure value math in logical coordinates of the
// work area; the widget layer converts pieces to regions and paints.

#include <QList>
#include <QPoint>
#include <QRect>

#include <array>

// Index of the first segment (points[i], points[i+1]) within `tolerance` (Manhattan distance)
// of `p`, or -1 (also for fewer than two points).
int PointNearPolyline(const QList<QPoint>& points, QPoint p, double tolerance);

// What the attach rectangle of a row needs to know of its table window.
struct TKvTableGeometry {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int CaptionHeight = 20;
  int ItemHeight = 16;
  int BorderWidth = 2;
  int FrameWidth = 2;
  int TopIndex = 0;
  int VisibleCount = 0;
  bool Expanded = true;
};

// Attach rectangle of row `index` of a window with `count` rows; an empty QRect when the index
// is outside 0..count-1. Right/bottom are exclusive (QRect built from left, top, width, height).
QRect KvItemLinkRect(const TKvTableGeometry& table, int index, int count);

// Recomputes the two end points and stubs of a link (points[0], [1], [n-2], [n-1]) from the
// attach rectangles of its two rows; bend points stay. `points` has at least 4 entries.
void KvRecalcLinkPoints(QList<QPoint>& points, const QRect& attach1, const QRect& attach2);

// Smallest rectangle around every point, grown by 3 on each side.
QRect KvLinkBounds(const QList<QPoint>& points);

// One quadrilateral piece of a link's region.
using TKvQuad = std::array<QPoint, 4>;

// Pieces covering a link: part 0 the whole link, part 1 its first end, part 2 its last end.
// The union of `boxes` and `quads` is the region.
struct TKvLinkRegion {
  QList<QRect> boxes;
  QList<TKvQuad> quads;
};
TKvLinkRegion KvLinkRegion(const QList<QPoint>& points, int part);

// Hit code of a point on a link: 0 none, 10 line, 11 end point, 12 bend point.
int KvLinkHitTest(const QList<QPoint>& points, QPoint p);

// Where "Insert point" at `p` puts the new point (index into points), or -1 when the click is
// not on a segment between the two stubs.
int KvInsertPointIndex(const QList<QPoint>& points, QPoint p);

// First / last bend point (indices 2..n-3) within 4 pixels of `p` in x and in y, or -1.
int KvFirstBendPointAt(const QList<QPoint>& points, QPoint p);
int KvLastBendPointAt(const QList<QPoint>& points, QPoint p);
