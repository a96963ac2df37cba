#pragma once

// Link geometry: where a link touches its table windows, how its polyline is routed, which
// screen pieces it covers and what the mouse hits. Pure value math in logical coordinates of the
// work area; the widget layer converts pieces to regions and paints.

#include <QList>
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdlib>

// Rectangles here have exclusive right and bottom edges: KvRect(left, top, right, bottom) covers
// the pixels left..right-1 and top..bottom-1, exactly as QRegion(QRect) does. Use KvRectRight /
// KvRectBottom for those edges; QRect::right() and bottom() are one less.
inline QRect KvRect(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}
inline int KvRectRight(const QRect& r) {
  return r.x() + r.width();
}
inline int KvRectBottom(const QRect& r) {
  return r.y() + r.height();
}

// The "under the mouse" test of link points: less than 4 pixels apart in x and in y.
inline bool KvPointsClose(QPoint a, QPoint b) {
  return std::abs(a.x() - b.x()) < 4 && std::abs(a.y() - b.y()) < 4;
}

// Index of the first segment (points[i], points[i+1]) within `tolerance` (Manhattan distance)
// of `p`, or -1 (also for fewer than two points). Vertical and horizontal segments are near only
// beside their extent (ends inclusive); slanted ones are searched by bisection along the longer
// axis over the rasterised line (halves rounded to even). A segment of two equal points is a
// point.
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

// Attach rectangle of row `index` of a window with `count` rows; QRect() (null, 0,0 0x0) when the
// index is outside 0..count-1. Always Left..Left+Width wide (KvRectRight = Left + Width); height:
// the caption strip (collapsed, or scrolled away upward), the row band (visible), the row's top
// to the rows area's bottom (the partly visible row below), or the bottom border strip.
QRect KvItemLinkRect(const TKvTableGeometry& table, int index, int count);

// Recomputes the two end points and stubs of a link (points[0], [1], [n-2], [n-1]) from the
// attach rectangles of its two rows; bend points stay. `points` has at least 4 entries (fewer:
// left alone). An end sits on KvRectRight or left() of its rectangle at top + height / 2.
void KvRecalcLinkPoints(QList<QPoint>& points, const QRect& attach1, const QRect& attach2);

// Smallest rectangle around every point, grown by 3 on each side: KvRect(minX - 3, minY - 3,
// maxX + 3, maxY + 3). QRect() for no points. Not a hit-test filter: the line tolerance is wider.
QRect KvLinkBounds(const QList<QPoint>& points);

// One quadrilateral piece of a link's region.
using TKvQuad = std::array<QPoint, 4>;

// Pieces covering a link: part 0 the whole link, part 1 its first end, part 2 its last end.
// The union of `boxes` (exclusive right/bottom, as QRegion(QRect)) and `quads` (polygons) is the
// region. Boxes come in order: start mark (parts 0, 1), 6x6 squares around the points inside the
// segment range, end mark (parts 0, 2). Any other part gives nothing.
struct TKvLinkRegion {
  QList<QRect> boxes;
  QList<TKvQuad> quads;
};
TKvLinkRegion KvLinkRegion(const QList<QPoint>& points, int part);

// Hit code of a point on a link: 0 none, 10 line (tolerance = number of points), 11 end point,
// 12 bend point; the stub points never count as points. `p` in the same coordinates as `points`.
int KvLinkHitTest(const QList<QPoint>& points, QPoint p);

// Where "Insert point" at `p` puts the new point (index into points), or -1 when the click is
// not on a segment between the two stubs.
int KvInsertPointIndex(const QList<QPoint>& points, QPoint p);

// First / last bend point (indices 2..n-3) within 4 pixels of `p` in x and in y (KvPointsClose),
// or -1. The first is what "Delete point" removes, the last what a press starts dragging.
int KvFirstBendPointAt(const QList<QPoint>& points, QPoint p);
int KvLastBendPointAt(const QList<QPoint>& points, QPoint p);
