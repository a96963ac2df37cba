#include "KvUtils.h"

#include <algorithm>
#include <cstdint>

namespace {

using int64 = std::int64_t;

// Nearest integer to num / den, halves to even. Exact integer arithmetic: a floating-point slope
// would turn some true halves into near-halves and round them the other way.
int64 RoundHalfEven(int64 num, int64 den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  int64 q = num / den;
  int64 r = num % den;
  if (r < 0) {
    --q;
    r += den;
  }
  if (2 * r > den || (2 * r == den && (q & 1) != 0)) ++q;
  return q;
}

int64 Abs(int64 v) {
  return v < 0 ? -v : v;
}

bool Between(int64 v, int64 a, int64 b) {
  return std::min(a, b) <= v && v <= std::max(a, b);
}

// Distance outside [a, b] along one axis, 0 inside.
int64 Outside(int64 v, int64 a, int64 b) {
  return std::max<int64>({0, std::min(a, b) - v, v - std::max(a, b)});
}

// A slanted segment seen along its free axis `a`, the other coordinate `b` following from it.
struct TSlant {
  int64 a1, b1, a2, b2, pa, pb;

  int64 Distance(int64 t) const {
    const int64 b = RoundHalfEven((t - a2) * (b1 - b2) + b2 * (a1 - a2), a1 - a2);
    return Abs(t - pa) + Abs(b - pb);
  }
};

bool SlantNear(const TSlant& s, double tolerance) {
  int64 lo = std::min(s.a1, s.a2);
  int64 hi = std::max(s.a1, s.a2);
  for (;;) {
    const int64 mid = lo + (hi - lo) / 2;
    const bool last = mid == lo;
    const int64 d = s.Distance(mid);
    if (static_cast<double>(d) <= tolerance) return true;
    const int64 next = s.Distance(mid + 1);
    if (next >= d)
      hi = mid;
    else
      lo = mid;
    if (last) return static_cast<double>(next) <= tolerance;
  }
}

bool SegmentNear(QPoint p1, QPoint p2, QPoint p, double tolerance) {
  const int64 x1 = p1.x(), y1 = p1.y(), x2 = p2.x(), y2 = p2.y(), px = p.x(), py = p.y();
  // Two equal points have no direction: the distance to the point itself.
  if (x1 == x2 && y1 == y2) return static_cast<double>(Abs(px - x1) + Abs(py - y1)) <= tolerance;
  if (x1 == x2) return Between(py, y1, y2) && static_cast<double>(Abs(x1 - px)) <= tolerance;
  if (y1 == y2) return Between(px, x1, x2) && static_cast<double>(Abs(y1 - py)) <= tolerance;
  // Every sample of the line lies in the segment's box, so a point farther from the box than
  // the tolerance cannot be near; skipping the search changes no answer.
  if (static_cast<double>(Outside(px, x1, x2) + Outside(py, y1, y2)) > tolerance) return false;
  if (Abs(x1 - x2) >= Abs(y1 - y2)) return SlantNear({x1, y1, x2, y2, px, py}, tolerance);
  return SlantNear({y1, x1, y2, x2, py, px}, tolerance);
}

// Vertical centre of an attach rectangle; C++ division truncates toward zero as required.
int MiddleY(const QRect& r) {
  return r.top() + r.height() / 2;
}

// Sets an end point and its stub from the side the reference x lies on.
void PlaceEnd(QPoint& end, QPoint& stub, const QRect& attach, int referenceX) {
  if (referenceX >= attach.left()) {
    end.setX(KvRectRight(attach));
    stub.setX(KvRectRight(attach) + 10);
  } else {
    end.setX(attach.left());
    stub.setX(attach.left() - 10);
  }
  end.setY(MiddleY(attach));
  stub.setY(end.y());
}

// The 8x8 box at a link end, reaching 7 pixels along the stub and 1 behind the end point.
QRect MarkBox(QPoint end, QPoint stub) {
  const int s = stub.x() > end.x() ? 1 : -1;
  const int a = end.x() - s;
  const int b = end.x() + 7 * s;
  return KvRect(std::min(a, b), end.y() - 4, std::max(a, b), end.y() + 4);
}

TKvQuad SegmentQuad(QPoint p1, QPoint p2) {
  const int dx = p2.x() - p1.x();
  const int dy = p2.y() - p1.y();
  if (dx == 0 || dy / dx != 0)
    return {QPoint(p1.x() - 1, p1.y()), QPoint(p2.x() - 1, p2.y()), QPoint(p2.x() + 1, p2.y()),
            QPoint(p1.x() + 1, p1.y())};
  return {QPoint(p1.x(), p1.y() - 1), QPoint(p2.x(), p2.y() - 1), QPoint(p2.x(), p2.y() + 1),
          QPoint(p1.x(), p1.y() + 1)};
}

} // namespace

int PointNearPolyline(const QList<QPoint>& points, QPoint p, double tolerance) {
  for (qsizetype i = 0; i + 1 < points.size(); ++i)
    if (SegmentNear(points[i], points[i + 1], p, tolerance)) return static_cast<int>(i);
  return -1;
}

QRect KvItemLinkRect(const TKvTableGeometry& t, int index, int count) {
  if (index < 0 || index >= count) return QRect();
  const int right = t.Left + t.Width;
  const QRect caption = KvRect(t.Left, t.Top, right, t.Top + t.CaptionHeight);
  if (!t.Expanded || index < t.TopIndex) return caption;
  const int rowTop = t.Top + t.CaptionHeight + 1 + (index - t.TopIndex) * (t.ItemHeight + 1);
  if (index < t.TopIndex + t.VisibleCount)
    return KvRect(t.Left, rowTop, right, rowTop + t.ItemHeight);
  const int bottom = t.Top + t.Height;
  if (index == t.TopIndex + t.VisibleCount)
    return KvRect(t.Left, rowTop, right, bottom - t.BorderWidth - t.FrameWidth);
  return KvRect(t.Left, bottom - t.BorderWidth, right, bottom);
}

void KvRecalcLinkPoints(QList<QPoint>& points, const QRect& attach1, const QRect& attach2) {
  const qsizetype n = points.size();
  if (n < 4) return;
  // Without bend points each end faces the other window; with them, its nearest bend point.
  const int startRef = n < 5 ? KvRectRight(attach2) : points[2].x();
  const int endRef = n < 5 ? KvRectRight(attach1) : points[n - 3].x();
  PlaceEnd(points[0], points[1], attach1, startRef);
  PlaceEnd(points[n - 1], points[n - 2], attach2, endRef);
}

QRect KvLinkBounds(const QList<QPoint>& points) {
  if (points.isEmpty()) return QRect();
  int minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
  for (const QPoint& pt : points) {
    minX = std::min(minX, pt.x());
    maxX = std::max(maxX, pt.x());
    minY = std::min(minY, pt.y());
    maxY = std::max(maxY, pt.y());
  }
  return KvRect(minX - 3, minY - 3, maxX + 3, maxY + 3);
}

TKvLinkRegion KvLinkRegion(const QList<QPoint>& points, int part) {
  TKvLinkRegion region;
  const int n = static_cast<int>(points.size());
  if (n < 2 || part < 0 || part > 2) return region;
  int first = 0;
  int last = n - 2;
  if (part == 1) last = 1;
  if (part == 2) first = n - 3;
  first = std::max(first, 0);
  last = std::min(last, n - 2);

  if (part != 2) region.boxes.append(MarkBox(points[0], points[1]));
  for (int i = first; i <= last; ++i)
    region.quads.append(SegmentQuad(points[i], points[i + 1]));
  for (int i = first + 1; i <= last; ++i) {
    const QPoint pt = points[i];
    region.boxes.append(KvRect(pt.x() - 3, pt.y() - 3, pt.x() + 3, pt.y() + 3));
  }
  if (part != 1) region.boxes.append(MarkBox(points[n - 1], points[n - 2]));
  return region;
}

int KvLinkHitTest(const QList<QPoint>& points, QPoint p) {
  const int n = static_cast<int>(points.size());
  int code = PointNearPolyline(points, p, n) >= 0 ? 10 : 0;
  for (int i = 0; i < n; ++i) {
    if (i == 1 || i == n - 2) continue; // stub points are fixed by routing
    if (KvPointsClose(points[i], p)) code = (i == 0 || i == n - 1) ? 11 : 12;
  }
  return code;
}

int KvInsertPointIndex(const QList<QPoint>& points, QPoint p) {
  const int n = static_cast<int>(points.size());
  const int segment = PointNearPolyline(points, p, n);
  if (segment < 1 || segment > n - 3) return -1; // nothing, or one of the stubs
  return segment + 1;
}

int KvFirstBendPointAt(const QList<QPoint>& points, QPoint p) {
  const int n = static_cast<int>(points.size());
  for (int i = 2; i <= n - 3; ++i)
    if (KvPointsClose(points[i], p)) return i;
  return -1;
}

int KvLastBendPointAt(const QList<QPoint>& points, QPoint p) {
  const int n = static_cast<int>(points.size());
  for (int i = n - 3; i >= 2; --i)
    if (KvPointsClose(points[i], p)) return i;
  return -1;
}
