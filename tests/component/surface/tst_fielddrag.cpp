// Dragging a field row onto a row of another window: which drops are accepted, what a drop
// makes, row auto-scroll, and drags from other controls handed to the component.

#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QtTest>

class TestFieldDrag : public QObject {
  Q_OBJECT

  std::unique_ptr<TCustomKvarta> kvarta;
  TKvWorkArea* area = nullptr;
  QWidget* surface = nullptr;
  TKvTable* source = nullptr;
  TKvTable* target = nullptr;
  QMimeData own;

  int RowOf(TKvTable* t, const QString& name) { return t->FindItem(name)->Index(); }

  // Selects a row of the source window and starts a drag from it.
  void Start(const QString& row) {
    Click(surface, RowPoint(source, RowOf(source, row)));
    QCOMPARE(source->SelectedItem()->Name(), row);
    QVERIFY(area->BeginFieldDrag());
  }
  // Qt delivers moves and drops to the widget that accepted the drag's entry.
  void Enter(QPoint p, const QMimeData* data) {
    QDragEnterEvent event(p, Qt::LinkAction | Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
  }
  bool Over(QPoint p, const QMimeData* data = nullptr) {
    Enter(p, data ? data : &own);
    QDragMoveEvent event(p, Qt::LinkAction | Qt::CopyAction, data ? data : &own, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
    return event.isAccepted();
  }
  void Drop(QPoint p, const QMimeData* data = nullptr) {
    Enter(p, data ? data : &own);
    QDropEvent event(p, Qt::LinkAction | Qt::CopyAction, data ? data : &own, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(surface, &event);
  }

private slots:
  void init() {
    kvarta = MakeKvarta();
    area = kvarta->WorkArea();
    surface = Surface(kvarta.get());
    own.setData(TKvWorkArea::FieldMimeType, QByteArray::number(quintptr(area)));
    static const TKvTestDataSet from = {
        {"SI", ftSmallint}, {"D", ftDate}, {"STR", ftString}, {"CUR", ftCurrency}, {"B", ftBlob}};
    static const TKvTestDataSet to = {{"BIG", ftLargeint}, {"F", ftFloat},      {"D2", ftDate},
                                      {"DT", ftDateTime},  {"FC", ftFixedChar}, {"MEMO", ftMemo},
                                      {"B2", ftBlob}};
    source = kvarta->TableList().Add("SRC", &from);
    target = kvarta->TableList().Add("DST", &to);
    target->MoveBy(150, 0);
    area->SelectObject(source);
  }
  void cleanup() {
    area->EndFieldDrag();
    kvarta.reset();
  }

  void compatibilityByTypeFamily_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("small integer to large integer") << "SI"
                                                    << "BIG" << true;
    QTest::newRow("small integer to float") << "SI"
                                            << "F" << false;
    QTest::newRow("date to date") << "D"
                                  << "D2" << true;
    QTest::newRow("date to date-time") << "D"
                                       << "DT" << false;
    QTest::newRow("string to fixed char") << "STR"
                                          << "FC" << true;
    QTest::newRow("string to memo") << "STR"
                                    << "MEMO" << true;
    QTest::newRow("currency to float") << "CUR"
                                       << "F" << true;
    QTest::newRow("currency to large integer") << "CUR"
                                               << "BIG" << false;
    QTest::newRow("blob to blob") << "B"
                                  << "B2" << true;
  }
  void compatibilityByTypeFamily() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, accepted);
    Start(from);
    const int row = RowOf(target, to);
    if (row >= target->VisibleCount()) target->SetTopIndex(row - target->VisibleCount() + 1);
    const QPoint p = RowPoint(target, row);
    QCOMPARE(Over(p), accepted);
    QCOMPARE(area->DropHighlight(), target->FindItem(to)); // highlighted either way
    QCOMPARE(area->DropItem(), accepted ? target->FindItem(to) : nullptr);
    Drop(p);
    QCOMPARE(area->Links().size(), accepted ? 1 : 0);
    area->EndFieldDrag();
    QVERIFY(!area->DropHighlight());
    QVERIFY(!area->FieldDragging());
  }

  void dropMakesALinkOnlyOnce() {
    Start("SI");
    const QPoint p = RowPoint(target, 0);
    Drop(p);
    QCOMPARE(area->Links().size(), 1);
    TKvLink* link = area->Links().first();
    QCOMPARE(link->Item1(), source->FindItem("SI"));
    QCOMPARE(link->Item2(), target->FindItem("BIG"));
    area->EndFieldDrag();
    // Again, and the other way round: both refused.
    area->SelectObject(source);
    Start("SI");
    QVERIFY(!Over(p));
    area->EndFieldDrag();
    Click(surface, RowPoint(target, 0));
    QVERIFY(area->BeginFieldDrag());
    QVERIFY(!Over(RowPoint(source, 0)));
    Drop(RowPoint(source, 0));
    QCOMPARE(area->Links().size(), 1);
  }

  void dropsOutsideAnotherWindowsRowsAreRefused() {
    Start("SI");
    QVERIFY(!Over(RowPoint(source, 1)));  // own window
    QVERIFY(!Over(QPoint(600, 500)));     // empty surface
    QVERIFY(!Over(CaptionPoint(target))); // caption
    QVERIFY(!Over(area->ToClient(target->BoundsRect()).bottomLeft() + QPoint(1, -1))); // border
    QVERIFY(!area->DropTable());
  }

  void nothingToDragWithoutASelectedRow() {
    area->SelectObject(nullptr);
    QVERIFY(!area->BeginFieldDrag());
    area->SelectObject(target);
    QVERIFY(!area->BeginFieldDrag());
    QVERIFY(!Over(RowPoint(source, 0)));
  }

  void dragImageShowsAliasAndField() {
    int started = 0;
    area->OnStartDrag = [&](TKvWorkArea* sender) {
      QCOMPARE(sender, area);
      ++started;
    };
    Start("STR");
    QCOMPARE(started, 1);
    QVERIFY(area->DragPixmap().isNull()); // the drag cursor instead
    area->EndFieldDrag();
    kvarta->SetOptions(kvoRowSelect | kvoDragFieldName);
    Start("STR");
    const QPixmap image = area->DragPixmap();
    QVERIFY(!image.isNull());
    const int width = int(image.deviceIndependentSize().width());
    QCOMPARE(width % 16, 0);
    QVERIFY(width >= QFontMetrics(area->BoldFieldFont()).horizontalAdvance("SRC.STR") + 4);
    QCOMPARE(int(image.deviceIndependentSize().height()),
             QFontMetrics(area->BoldFieldFont()).height() + 4);
  }

  void rowsScrollWhileTheMouseRestsNearTheEdges() {
    TKvTestDataSet many = NumberedFields(20);
    TKvTable* tall = kvarta->TableList().Add("TALL", &many);
    tall->MoveBy(0, 200);
    area->SelectObject(source);
    Start("STR");
    const QRect bounds = tall->ClientBounds();
    const QPoint low(bounds.center().x(), bounds.bottom() - 3);
    QVERIFY(Over(low));
    QVERIFY(area->RowScrollRunning(2));
    const QPoint logical = area->ToLogical(low);
    area->RowScrollTick(2, logical);
    area->RowScrollTick(2, logical);
    QCOMPARE(tall->TopIndex(), 2);
    area->RowScrollTick(2, logical + QPoint(0, 3)); // the mouse moved on
    QVERIFY(!area->RowScrollRunning(2));
    QCOMPARE(tall->TopIndex(), 2);
    const QPoint high(bounds.center().x(), bounds.top() + tall->CaptionHeight() + 2);
    Over(high);
    QVERIFY(area->RowScrollRunning(1));
    area->RowScrollTick(1, area->ToLogical(high));
    QCOMPARE(tall->TopIndex(), 1);
  }

  void dragsFromOtherControlsGoToTheComponent() {
    QMimeData foreign;
    foreign.setText("CUSTOMER");
    QList<QPoint> points;
    QList<TDragState> states;
    bool accept = false;
    kvarta->OnDragOver = [&](QObject* sender, QObject*, const QMimeData* data, int x, int y,
                             TDragState state, bool& accepted) {
      QCOMPARE(sender, area);
      if (data) QCOMPARE(data->text(), QStringLiteral("CUSTOMER"));
      points << QPoint(x, y);
      states << state;
      accepted = accept;
    };
    QString dropped;
    QPoint droppedAt;
    kvarta->OnDragDrop = [&](QObject*, QObject*, const QMimeData* data, int x, int y) {
      dropped = data->text();
      droppedAt = QPoint(x, y);
    };
    int ended = 0;
    kvarta->OnEndDrag = [&](QObject*, QObject*, int, int) { ++ended; };
    const QPoint p(300, 200);
    const QPoint mapped = surface->mapTo(kvarta.get(), p);
    QVERIFY(!Over(p, &foreign));
    accept = true;
    QVERIFY(Over(p, &foreign));
    QCOMPARE(points.last(), mapped);
    QCOMPARE(states.last(), dsDragMove);
    // A foreign drag is not a field drag, even over a row.
    QVERIFY(!area->DropHighlight());
    Drop(p, &foreign);
    QCOMPARE(dropped, QStringLiteral("CUSTOMER"));
    QCOMPARE(droppedAt, mapped);
    QCOMPARE(ended, 1);
    QVERIFY(area->Links().isEmpty());
  }

  void pullingARowStartsADrag() {
    int started = 0;
    area->OnStartDrag = [&](TKvWorkArea*) { ++started; };
    const QPoint from = RowPoint(source, 2);
    Move(surface, from);
    Press(surface, from);
    // Still on the tick box: no drag.
    Move(surface, TickPoint(source, 2));
    Move(surface, TickPoint(source, 2) + QPoint(0, 30));
    QCOMPARE(started, 0);
    Release(surface, TickPoint(source, 2) + QPoint(0, 30));
    Move(surface, from);
    Press(surface, from);
    Move(surface, from + QPoint(2, 0)); // asks for a drag
    QCOMPARE(started, 0);               // ... which waits for the drag distance
    Move(surface, from + QPoint(QApplication::startDragDistance() + 5, 0));
    QCOMPARE(started, 1);
    QVERIFY(!area->FieldDragging());
    Release(surface, from + QPoint(QApplication::startDragDistance() + 5, 0));
  }

  void dragOfAnotherWorkAreaIsForeign() {
    QMimeData other;
    other.setData(TKvWorkArea::FieldMimeType, QByteArray::number(quintptr(this)));
    Start("SI");
    QVERIFY(!Over(RowPoint(target, 0), &other));
    Drop(RowPoint(target, 0), &other);
    QVERIFY(area->Links().isEmpty());
  }
};

QTEST_MAIN(TestFieldDrag)
#include "tst_fielddrag.moc"
