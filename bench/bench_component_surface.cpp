// Design surface speed: full repaints of busy surfaces, the area repainted when a window moves,
// and hit-testing links under the mouse. Prints figures; never fails on time.
//
// The first text a process draws loads fonts and fills the glyph cache, and the first fill of a
// new target touches its memory, whoever draws. So the first frame is shown three ways: plain
// QPainter drawing of the same content in a fresh process, the surface's first frame in a fresh
// process, and the surface's first frame in a process that has already drawn text (only our own
// first-frame work is left in that one).

#include "KvDataSet.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class TRows : public TKvDataSet {
public:
  explicit TRows(int count) : m_count(count) {}
  int FieldCount() const override { return m_count; }
  QString FieldName(int index) const override { return QStringLiteral("FIELD_%1").arg(index); }
  int FieldType(int index) const override { return index % 3 == 0 ? ftInteger : ftString; }

private:
  int m_count;
};

const QSize Screen(1920, 1080);

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class TNoPaint : public QObject {
public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Paint; }
};

struct Surface {
  std::unique_ptr<TCustomKvarta> kvarta;
  TKvWorkArea* area = nullptr;
};

// `windows` windows of 8 rows spread over the screen and `links` links between them.
Surface Build(int windows, int links, quint32 seed) {
  Surface s;
  s.kvarta = std::make_unique<TCustomKvarta>();
  s.kvarta->resize(Screen.width() + 40, Screen.height() + 260);
  s.kvarta->show();
  s.area = s.kvarta->WorkArea();
  // Only the measured calls draw the surface: its own paint events would warm it up unseen.
  s.area->viewport()->installEventFilter(new TNoPaint(s.kvarta.get()));
  QRandomGenerator random(seed);
  static const TRows rows(8);
  std::vector<TKvTable*> tables;
  for (int i = 0; i < windows; ++i) {
    TKvTable* t = s.kvarta->TableList().Add(QStringLiteral("TABLE_%1").arg(i), &rows);
    const int x = windows <= 100 ? (i % 10) * 190 + 10 : random.bounded(Screen.width() - 120);
    const int y = windows <= 100 ? (i / 10) * 105 + 5 : random.bounded(Screen.height() - 130);
    t->MoveBy(x - t->Left(), y - t->Top());
    tables.push_back(t);
  }
  int made = 0;
  for (int tries = 0; made < links && tries < links * 20; ++tries) {
    const int a = random.bounded(windows);
    int b = windows <= 100 ? std::clamp(a + (random.bounded(2) ? 1 : 10), 0, windows - 1)
                           : random.bounded(windows);
    if (a == b) continue;
    TKvTable* t1 = tables[a];
    TKvTable* t2 = tables[b];
    if (s.area->AddLink(t1, t2, t1->Items()[random.bounded(8)], t2->Items()[random.bounded(8)]))
      ++made;
  }
  s.area->SelectObject(tables.front());
  QCoreApplication::processEvents();
  return s;
}

// What the surface shows, drawn straight with QPainter and nothing kept between frames: the
// windows' faces, edges, captions and rows with their text, then the links' lines.
void PlainDraw(QPainter& p, const Surface& s) {
  const TKvWorkArea* area = s.area;
  p.fillRect(QRect(QPoint(0, 0), Screen), area->SurfaceColor());
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(Qt::black, 1));
  for (const TKvLink* link : area->Links()) {
    QPolygonF line;
    for (const QPoint& point : link->Points())
      line << QPointF(area->ToClient(point)) + QPointF(0.5, 0.5);
    p.drawPolyline(line);
  }
  p.restore();
  const QPalette pal = area->palette();
  for (auto it = area->Tables().crbegin(); it != area->Tables().crend(); ++it) {
    const TKvTable* t = *it;
    const QRect r = t->ClientBounds();
    const QPoint shift = r.topLeft() - t->BoundsRect().topLeft();
    p.fillRect(r, pal.color(QPalette::Button));
    p.fillRect(t->CaptionStripRect().translated(shift), pal.color(QPalette::Highlight));
    for (int i = 0; i < 2; ++i) {
      const QRect e = r.adjusted(i, i, -i, -i);
      p.fillRect(QRect(e.left(), e.top(), e.width(), 1), pal.color(QPalette::Light));
      p.fillRect(QRect(e.left(), e.top(), 1, e.height()), pal.color(QPalette::Light));
      p.fillRect(QRect(e.left(), e.bottom(), e.width(), 1), pal.color(QPalette::Shadow));
      p.fillRect(QRect(e.right(), e.top(), 1, e.height()), pal.color(QPalette::Shadow));
    }
    p.setPen(Qt::black);
    p.setFont(area->BoldFieldFont());
    p.drawText(t->CaptionTextRect().translated(shift), Qt::AlignLeft | Qt::AlignVCenter,
               t->Caption());
    p.fillRect(t->RowsRect().translated(shift), Qt::white);
    p.setFont(area->FieldFont());
    const int last = std::min(t->TopIndex() + t->VisibleCount(), t->ItemCount() - 1);
    for (int i = t->TopIndex(); i <= last; ++i) {
      const QRect row = t->ItemRect(i).translated(shift).adjusted(t->ItemHeight(), 0, 0, 0);
      p.fillRect(row, Qt::white);
      p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, QLatin1Char(' ') + t->Items()[i]->Name());
    }
  }
}

double PlainDrawOnce(const Surface& s, QImage& image) {
  QElapsedTimer timer;
  timer.start();
  QPainter p(&image);
  PlainDraw(p, s);
  p.end();
  return timer.nsecsElapsed() / 1e6;
}

double SurfaceFrame(const Surface& s, QImage& image) {
  QElapsedTimer timer;
  timer.start();
  QPainter p(&image);
  s.area->PaintSurface(p, QRect(QPoint(0, 0), Screen));
  p.end();
  return timer.nsecsElapsed() / 1e6;
}

struct TFresh {
  double touch = -1; // first fill of the new target image
  double draw = -1;
};

// Runs this program again to time one first draw (`what`: plain or surface) in a fresh process;
// the median of three runs.
TFresh FreshProcess(const char* what, int windows, int links) {
  std::vector<double> touches, draws;
  for (int i = 0; i < 3; ++i) {
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--fresh"), QLatin1String(what), QString::number(windows),
                   QString::number(links)});
    if (!process.waitForFinished(60000)) return {};
    const QList<QByteArray> figures = process.readAllStandardOutput().simplified().split(' ');
    if (figures.size() != 2) return {};
    touches.push_back(figures[0].toDouble());
    draws.push_back(figures[1].toDouble());
  }
  return {Median(touches), Median(draws)};
}

int Fresh(const QStringList& args) {
  const Surface s = Build(args.value(1).toInt(), args.value(2).toInt(), 42);
  QImage image(Screen, QImage::Format_ARGB32_Premultiplied);
  // The first touch of a new target's memory is timed apart: a window's backing store pays it
  // once, whoever draws into it.
  QElapsedTimer timer;
  timer.start();
  image.fill(Qt::white);
  const double touch = timer.nsecsElapsed() / 1e6;
  const double draw = args.value(0) == QLatin1String("plain") ? PlainDrawOnce(s, image)
                                                              : SurfaceFrame(s, image);
  std::printf("%.3f %.3f\n", touch, draw);
  return 0;
}

void FirstFrames(int windows, int links) {
  const TFresh plain = FreshProcess("plain", windows, links);
  const TFresh surface = FreshProcess("surface", windows, links);
  Surface s = Build(windows, links, 42);
  QImage image(Screen, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  std::vector<double> warm;
  for (int i = 0; i < 21; ++i)
    warm.push_back(PlainDrawOnce(s, image));
  std::printf("First draw in a fresh process (its first text), %4d windows %5d links: plain "
              "QPainter %.2f ms, surface %.2f ms (first fill of the new target before it: %.2f "
              "ms); plain QPainter once warm: median %.2f ms\n",
              windows, links, plain.draw, surface.draw, surface.touch, Median(warm));
}

void Repaint(const char* title, int windows, int links, double target) {
  Surface s = Build(windows, links, 42);
  QImage image(Screen, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  std::vector<double> times;
  double cold = 0;
  double idle = 0;
  double longest = 0; // the longest turn of the event loop while the pictures are made
  for (int i = 0; i < 41; ++i) {
    QElapsedTimer timer;
    timer.start();
    QPainter p(&image);
    s.area->PaintSurface(p, QRect(QPoint(0, 0), Screen));
    p.end();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (i == 0) {
      cold = ms;
      // The event loop's turns after the first frame: the pictures are made then, in slices.
      const auto pending = [&] {
        return std::any_of(s.area->Tables().begin(), s.area->Tables().end(),
                           [](const TKvTable* t) { return t->NeedsPicture(); });
      };
      do {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents();
        longest = std::max(longest, turn.nsecsElapsed() / 1e6);
        idle += turn.nsecsElapsed() / 1e6;
      } while (pending());
    } else {
      times.push_back(ms);
    }
  }
  {
    std::vector<double> tl, ll;
    for (int i = 0; i < 11; ++i) {
      QElapsedTimer t;
      t.start();
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      for (TKvLink* link : s.area->Links())
        link->Paint(p);
      p.end();
      ll.push_back(t.nsecsElapsed() / 1e6);
      t.restart();
      QPainter q(&image);
      for (TKvTable* table : s.area->Tables())
        table->Paint(q);
      q.end();
      tl.push_back(t.nsecsElapsed() / 1e6);
    }
    std::printf("  (every link drawn afresh: %.2f ms; every window from its picture: %.2f ms)\n",
                Median(ll), Median(tl));
  }
  std::printf("%-44s %4d windows %5d links: first %.2f ms, idle after it %.2f ms (longest turn "
              "%.2f ms), second %.2f ms, then median %.2f ms (target %.0f)\n",
              title, int(s.area->Tables().size()), int(s.area->Links().size()), cold, idle,
              longest, times.front(), Median(times), target);
}

void MoveArea() {
  Surface s = Build(100, 200, 7);
  TKvWorkArea* area = s.area;
  TKvTable* moved = area->Tables()[area->Tables().size() / 2];
  area->SetTrackInvalidated(true);
  area->TakeInvalidated();
  const QRect view(QPoint(0, 0), Screen);
  std::vector<double> areas, times;
  for (int i = 0; i < 60; ++i) {
    moved->MoveBy(i % 2 ? -5 : 5, 3 - (i % 3) * 3);
    const QRegion region = area->TakeInvalidated().intersected(view);
    double pixels = 0;
    for (const QRect& r : region)
      pixels += double(r.width()) * r.height();
    areas.push_back(pixels);
    QImage image(Screen, QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer timer;
    timer.start();
    QPainter p(&image);
    p.setClipRegion(region); // as a paint event gets it
    area->PaintSurface(p, region.boundingRect());
    p.end();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  const double window = double(moved->Width()) * moved->Height();
  std::printf("Moving one window (%d links attached): median repainted area %.0f px "
              "(%.1f window areas, %.2f%% of the screen), repaint of it %.2f ms\n",
              int(area->LinksOf(moved).size()), Median(areas), Median(areas) / window,
              100.0 * Median(areas) / (Screen.width() * Screen.height()), Median(times));
}

void HitTest() {
  Surface s = Build(100, 1000, 11);
  TKvWorkArea* area = s.area;
  QWidget* viewport = area->viewport();
  QRandomGenerator random(5);
  std::vector<QPoint> points;
  for (int i = 0; i < 2000; ++i) {
    // Half of them on a link, half anywhere.
    if (i % 2) {
      const TKvLink* link = area->Links()[random.bounded(int(area->Links().size()))];
      points.push_back(area->ToClient((link->Points()[1] + link->Points()[2]) / 2));
    } else {
      points.push_back(QPoint(random.bounded(Screen.width()), random.bounded(Screen.height())));
    }
  }
  QElapsedTimer timer;
  timer.start();
  int hits = 0;
  for (const QPoint& p : points) {
    const QPoint logical = area->ToLogical(p);
    for (TKvLink* link : area->Links())
      if (link->MayHit(logical) && link->HitTest(p)) {
        ++hits;
        break;
      }
  }
  const double links = timer.nsecsElapsed() / 1e3 / points.size();
  timer.restart();
  for (const QPoint& p : points) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), viewport->mapToGlobal(QPointF(p)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
  }
  const double moves = timer.nsecsElapsed() / 1e3 / points.size();
  std::printf("Hit-testing %d links: %.1f us per point (%d of %d points hit); whole mouse move "
              "over %d windows and the links: %.1f us (target 1000)\n",
              int(area->Links().size()), links, hits, int(points.size()),
              int(area->Tables().size()), moves);
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments().mid(1);
  if (args.value(0) == QLatin1String("--fresh")) return Fresh(args.mid(1));
  std::printf("Plain QPainter: every window's face, edges, caption, rows and text, covered or "
              "not, and the links; nothing kept between frames.\n");
  FirstFrames(100, 200);
  FirstFrames(1000, 1000);
  std::printf("Below, \"first\" is the surface's first frame in this process, which has already "
              "drawn text (fonts and glyphs loaded) into a target already filled once: only the "
              "surface's own first-frame work, drawn straight. The pictures kept between frames "
              "are made in the event loop's next turn (\"idle after it\").\n");
  Repaint("Full repaint, 1920x1080:", 100, 200, 16);
  Repaint("Full repaint, 1920x1080:", 1000, 1000, 33);
  MoveArea();
  HitTest();
  return 0;
}
