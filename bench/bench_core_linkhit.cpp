// Hit-testing links under the mouse: 1,000 links between table windows spread over a
// 5000x5000 work area, 10,000 mouse positions, each tested against the links in order until
// the first hit, as the work area does on every mouse move. Also routing and region throughput.

#include "KvUtils.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

struct TLink {
  int table1, row1, table2, row2;
  QList<QPoint> points;
};

constexpr int kCanvas = 5000;
constexpr int kRows = 12;

} // namespace

int main(int argc, char** argv) {
  const int links = 1000;
  const int moves = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  std::mt19937 random(20240601);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

  // 20 x 20 windows of 12 rows, 6 of them visible, some scrolled or collapsed.
  std::vector<TKvTableGeometry> tables;
  for (int gy = 0; gy < 20; ++gy)
    for (int gx = 0; gx < 20; ++gx) {
      TKvTableGeometry t;
      t.Left = gx * 250 + uniform(0, 60);
      t.Top = gy * 250 + uniform(0, 60);
      t.Width = uniform(100, 180);
      t.VisibleCount = 6;
      t.Height = 17 * t.VisibleCount + 26;
      t.TopIndex = uniform(0, 3) == 0 ? uniform(1, kRows - t.VisibleCount) : 0;
      t.Expanded = uniform(0, 9) != 0;
      tables.push_back(t);
    }
  const int tableCount = static_cast<int>(tables.size());

  // Mostly neighbours, some across the canvas; every third link has 1 to 3 bend points.
  std::vector<TLink> all;
  for (int i = 0; i < links; ++i) {
    TLink link{uniform(0, tableCount - 1), uniform(0, kRows - 1), 0, uniform(0, kRows - 1), {}};
    if (uniform(0, 4) == 0) {
      link.table2 = uniform(0, tableCount - 1);
    } else {
      const int gx = std::clamp(link.table1 % 20 + uniform(-2, 2), 0, 19);
      const int gy = std::clamp(link.table1 / 20 + uniform(-2, 2), 0, 19);
      link.table2 = gy * 20 + gx;
    }
    if (link.table2 == link.table1) link.table2 = (link.table1 + 1) % tableCount;
    link.points = QList<QPoint>(2);
    const TKvTableGeometry& near = tables[link.table1];
    if (i % 3 == 0)
      for (int b = uniform(1, 3); b > 0; --b)
        link.points.append(QPoint(near.Left + uniform(-300, 400), near.Top + uniform(-300, 400)));
    link.points += QList<QPoint>(2);
    all.push_back(std::move(link));
  }

  auto recalcAll = [&] {
    for (TLink& link : all)
      KvRecalcLinkPoints(link.points, KvItemLinkRect(tables[link.table1], link.row1, kRows),
                         KvItemLinkRect(tables[link.table2], link.row2, kRows));
  };
  recalcAll();

  // Mouse positions: uniform over the canvas (almost all miss, so every link is tested) and a
  // quarter on a random link's point, to exercise the hit paths too.
  std::vector<QPoint> mouse;
  for (int i = 0; i < moves; ++i) {
    if (i % 4 == 3) {
      const QList<QPoint>& pts = all[uniform(0, links - 1)].points;
      const QPoint on = pts[uniform(0, static_cast<int>(pts.size()) - 1)];
      mouse.push_back(on + QPoint(uniform(-3, 3), uniform(-3, 3)));
    } else {
      mouse.push_back(QPoint(uniform(0, kCanvas), uniform(0, kCanvas)));
    }
  }

  std::vector<double> perMove;
  perMove.reserve(mouse.size());
  double missTotal = 0;
  double missWorst = 0;
  long hits = 0;
  long checksum = 0;
  for (const QPoint& p : mouse) {
    const auto start = Clock::now();
    bool hit = false;
    for (int i = 0; i < links && !hit; ++i) {
      const int code = KvLinkHitTest(all[i].points, p);
      if (code != 0) {
        hit = true;
        checksum += code + i;
      }
    }
    const double took = Micros(Clock::now() - start);
    perMove.push_back(took);
    if (hit) {
      ++hits;
    } else {
      missTotal += took;
      missWorst = std::max(missWorst, took);
    }
  }
  std::vector<double> sorted = perMove;
  std::sort(sorted.begin(), sorted.end());
  double total = 0;
  for (double v : perMove)
    total += v;
  std::printf("hit test: %d links, %d mouse moves, %ld hits\n", links, moves, hits);
  std::printf("  per move: mean %.1f us, median %.1f us, p99 %.1f us, worst %.1f us (target < "
              "1000 us)\n",
              total / moves, sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100],
              sorted.back());
  if (hits < moves)
    std::printf("  misses (all %d links tested): mean %.1f us, worst %.1f us\n", links,
                missTotal / (moves - hits), missWorst);

  const int rounds = 200;
  auto start = Clock::now();
  for (int r = 0; r < rounds; ++r)
    recalcAll();
  double us = Micros(Clock::now() - start);
  std::printf("recalc (attach rectangles + routing): %.0f links/ms, %.1f us per 1,000 links\n",
              rounds * links / (us / 1000.0), us / rounds);

  start = Clock::now();
  long pieces = 0;
  for (int r = 0; r < rounds; ++r)
    for (const TLink& link : all)
      for (int part = 0; part < 3; ++part) {
        const TKvLinkRegion region = KvLinkRegion(link.points, part);
        pieces += region.boxes.size() + region.quads.size();
      }
  us = Micros(Clock::now() - start);
  std::printf("regions (parts 0, 1, 2): %.0f regions/ms, %.1f us per 1,000 links\n",
              rounds * links * 3 / (us / 1000.0), us / rounds);
  std::printf("(checksum %ld, %ld pieces)\n", checksum, pieces);
  return 0;
}
