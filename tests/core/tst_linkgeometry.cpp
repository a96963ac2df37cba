#include "KvUtils.h"
#include <QtTest>

using Points = QList<QPoint>;

namespace {
// Rows 2..5 fully visible, row 6 partly; the rows area ends at 149.
TKvTableGeometry Table() {
  TKvTableGeometry t;
  t.Left = 100;
  t.Top = 50;
  t.Width = 120;
  t.Height = 27 + 4 * 17 + 8;
  t.TopIndex = 2;
  t.VisibleCount = 4;
  return t;
}
Points Routed(const QRect& r1, const QRect& r2, Points bends = {}) {
  Points p = Points(2) + bends + Points(2);
  KvRecalcLinkPoints(p, r1, r2);
  return p;
}
const Points Level = {{100, 48}, {110, 48}, {190, 48}, {200, 48}};
} // namespace

class TestLinkGeometry : public QObject {
  Q_OBJECT
private slots:
  void rectEdgesAreExclusive() {
    const QRect r = KvRect(10, 20, 30, 50);
    QCOMPARE(r, QRect(10, 20, 20, 30));
    QCOMPARE(KvRectRight(r), 30);
    QCOMPARE(KvRectBottom(r), 50);
    QVERIFY(KvPointsClose({0, 0}, {3, -3}));
    QVERIFY(!KvPointsClose({0, 0}, {4, 0}));
  }
  void attachRectangles() {
    TKvTableGeometry t = Table();
    QVERIFY(KvItemLinkRect(t, -1, 10).isNull());
    QVERIFY(KvItemLinkRect(t, 10, 10).isNull());
    const QRect caption = KvRect(100, 50, 220, 70);
    QCOMPARE(KvItemLinkRect(t, 1, 10), caption);
    QCOMPARE(KvItemLinkRect(t, 2, 10), KvRect(100, 71, 220, 87));
    QCOMPARE(KvItemLinkRect(t, 5, 10), KvRect(100, 122, 220, 138));
    QCOMPARE(KvItemLinkRect(t, 6, 10), KvRect(100, 139, 220, 149));
    QCOMPARE(KvItemLinkRect(t, 7, 10), KvRect(100, 151, 220, 153));
    QCOMPARE(KvItemLinkRect(t, 9, 10), KvRect(100, 151, 220, 153));
    t.Expanded = false;
    QCOMPARE(KvItemLinkRect(t, 4, 10), caption);
  }
  void sideBySideIsLevelWithStubs() {
    const QRect left = KvRect(0, 40, 100, 56), right = KvRect(200, 40, 300, 56);
    QCOMPARE(Routed(left, right), Level);
    QCOMPARE(Routed(right, left), Points({{200, 48}, {190, 48}, {110, 48}, {100, 48}}));
    // Touching windows: the other's right edge equals this left edge, so leave by the right.
    QCOMPARE(Routed(KvRect(100, 0, 200, 20), KvRect(0, 0, 100, 20))[0], QPoint(200, 10));
  }
  void stackedWindowsLeaveRightward() {
    const Points p = Routed(KvRect(0, 0, 100, 20), KvRect(0, 200, 140, 216));
    QCOMPARE(p, Points({{100, 10}, {110, 10}, {150, 208}, {140, 208}}));
    QCOMPARE(KvLinkRegion(p, 0).quads[1][0], QPoint(109, 10)); // steep: widened sideways
  }
  void centreTruncatesTowardZero() {
    QCOMPARE(Routed(KvRect(0, -11, 100, -4), KvRect(200, 0, 300, 20))[0].y(), -8);
  }
  void bendPointsChooseTheSides() {
    const Points p = Routed(KvRect(0, 0, 100, 20), KvRect(300, 0, 400, 20), {{-50, 90}, {500, 90}});
    QCOMPARE(p, Points({{0, 10}, {-10, 10}, {-50, 90}, {500, 90}, {410, 10}, {400, 10}}));
    QCOMPARE(KvLinkBounds(p), KvRect(-53, 7, 503, 93));
    QVERIFY(KvLinkBounds({}).isNull());
  }
  void manhattanTolerance() {
    QCOMPARE(KvLinkHitTest(Level, {150, 52}), 10);
    QCOMPARE(KvLinkHitTest(Level, {150, 53}), 0);
    const Points bent = {{100, 48}, {110, 48}, {150, 48}, {190, 48}, {200, 48}};
    QCOMPARE(KvLinkHitTest(bent, {130, 53}), 10);
    QCOMPARE(KvLinkHitTest(bent, {130, 54}), 0);
    // 45 degrees: 3.5 pixels away as the crow flies but 5 in Manhattan distance.
    QCOMPARE(PointNearPolyline({{0, 0}, {100, 100}}, {50, 55}, 4), -1);
    QCOMPARE(PointNearPolyline({{0, 0}, {100, 100}}, {50, 54}, 4), 0);
  }
  void axisSegmentsOnlyBesideTheirExtent() {
    QCOMPARE(PointNearPolyline({{0, 0}, {10, 0}}, {10, 4}, 4), 0);
    QCOMPARE(PointNearPolyline({{0, 0}, {10, 0}}, {11, 0}, 4), -1);
    QCOMPARE(PointNearPolyline({{0, 10}, {0, 0}}, {-4, 0}, 4.0), 0);
    QCOMPARE(PointNearPolyline({{0, 10}, {0, 0}}, {-4, 0}, 3.5), -1);
  }
  void bisectionReachesBothEnds() {
    const Points longSlant = {{0, 0}, {1000, 300}};
    QCOMPARE(PointNearPolyline(longSlant, {990, 300}, 4), 0);
    QCOMPARE(PointNearPolyline(longSlant, {5, 4}, 4), 0);
    QCOMPARE(PointNearPolyline(longSlant, {990, 310}, 4), -1);
    QCOMPARE(PointNearPolyline({{0, 0}, {10, 300}}, {12, 299}, 4), 0);
    // Only the far end is close enough: found by the last step's look one further.
    QCOMPARE(PointNearPolyline({{0, 0}, {100, 50}}, {104, 50}, 4), 0);
    QCOMPARE(PointNearPolyline({{0, 0}, {100, 50}}, {105, 50}, 4), -1);
  }
  void halvesRoundToEven() {
    // y = t / 4: 0.5 at t = 2 rounds to 0; y = 1 + t / 4: 1.5 rounds to 2.
    QCOMPARE(PointNearPolyline({{0, 0}, {4, 1}}, {2, 0}, 0), 0);
    QCOMPARE(PointNearPolyline({{0, 0}, {4, 1}}, {2, 1}, 0), -1);
    QCOMPARE(PointNearPolyline({{0, 1}, {4, 2}}, {2, 2}, 0), 0);
    QCOMPARE(PointNearPolyline({{0, 1}, {4, 2}}, {2, 1}, 0), -1);
  }
  void firstNearSegmentAndDegenerateCases() {
    QCOMPARE(PointNearPolyline({{0, 0}, {10, 0}, {10, 10}}, {10, 0}, 1), 0);
    QCOMPARE(PointNearPolyline({{5, 5}}, {5, 5}, 4), -1);
    QCOMPARE(PointNearPolyline({{5, 5}, {5, 5}}, {7, 7}, 4), 0);
    QCOMPARE(PointNearPolyline({{5, 5}, {5, 5}}, {8, 7}, 4), -1);
  }
  void pointCodes() {
    QCOMPARE(KvLinkHitTest(Level, {101, 50}), 11);
    QCOMPARE(KvLinkHitTest(Level, {97, 45}), 11); // beside the line, still the end point
    QCOMPARE(KvLinkHitTest(Level, {110, 48}), 10);
    QCOMPARE(KvLinkHitTest(Level, {190, 48}), 10);
    QCOMPARE(KvLinkHitTest(Level, {203, 51}), 11);
    const Points crowded = {{0, 0}, {10, 0}, {2, 2}, {40, 0}, {50, 0}};
    QCOMPARE(KvLinkHitTest(crowded, {1, 1}), 12); // the later point wins
    QCOMPARE(KvLinkHitTest({{0, 0}, {10, 0}, {48, 2}, {40, 0}, {50, 0}}, {49, 1}), 11);
  }
  void insertOnlyBetweenTheStubs() {
    QCOMPARE(KvInsertPointIndex(Level, {105, 48}), -1);
    QCOMPARE(KvInsertPointIndex(Level, {195, 48}), -1);
    QCOMPARE(KvInsertPointIndex(Level, {150, 48}), 2);
    QCOMPARE(KvInsertPointIndex(Level, {150, 80}), -1);
    const Points bent = {{100, 48}, {110, 48}, {130, 80}, {170, 80}, {190, 48}, {200, 48}};
    QCOMPARE(KvInsertPointIndex(bent, {150, 81}), 3);
    QCOMPARE(KvInsertPointIndex(bent, {180, 64}), 4);
    QCOMPARE(KvInsertPointIndex(bent, {199, 48}), -1);
  }
  void onlyBendPointsAreFound() {
    QCOMPARE(KvFirstBendPointAt(Level, {190, 48}), -1);
    QCOMPARE(KvLastBendPointAt(Level, {100, 48}), -1);
    const Points two = {{0, 0}, {10, 0}, {50, 50}, {52, 52}, {90, 0}, {100, 0}};
    QCOMPARE(KvFirstBendPointAt(two, {51, 51}), 2);
    QCOMPARE(KvLastBendPointAt(two, {51, 51}), 3);
    QCOMPARE(KvFirstBendPointAt(two, {0, 0}), -1);
    QCOMPARE(KvLastBendPointAt(two, {55, 55}), 3);
    QCOMPARE(KvFirstBendPointAt(two, {56, 52}), -1);
  }
  void regionParts() {
    TKvLinkRegion whole = KvLinkRegion(Level, 0);
    QCOMPARE(whole.quads.size(), 3);
    QCOMPARE(whole.boxes, QList<QRect>({KvRect(99, 44, 107, 52), KvRect(107, 45, 113, 51),
                                        KvRect(187, 45, 193, 51), KvRect(193, 44, 201, 52)}));
    QCOMPARE(whole.quads[0], TKvQuad({QPoint(100, 47), {110, 47}, {110, 49}, {100, 49}}));
    const TKvLinkRegion first = KvLinkRegion(Level, 1);
    QCOMPARE(first.boxes, whole.boxes.mid(0, 2));
    QCOMPARE(first.quads, whole.quads.mid(0, 2));
    const Points bent = {{0, 0}, {-10, 0}, {20, 30}, {30, 30}, {60, 0}, {50, 0}};
    const TKvLinkRegion last = KvLinkRegion(bent, 2);
    QCOMPARE(last.boxes, QList<QRect>({KvRect(57, -3, 63, 3), KvRect(49, -4, 57, 4)}));
    QCOMPARE(last.quads.size(), 2);
    QCOMPARE(last.quads[0][0], QPoint(29, 30)); // 45 degrees counts as steep
    QCOMPARE(KvLinkRegion(bent, 1).boxes[0], KvRect(-7, -4, 1, 4));
    QCOMPARE(KvLinkRegion({{5, 0}, {5, 9}}, 0).quads[0][0], QPoint(4, 0));
    QVERIFY(KvLinkRegion(bent, 3).boxes.isEmpty());
  }
};

QTEST_APPLESS_MAIN(TestLinkGeometry)
#include "tst_linkgeometry.moc"
