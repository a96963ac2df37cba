// Palette, styles and options of a component: defaults, colour values, what a change repaints.

#include "KvFloatPanel.h"
#include "KvStyles.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

class TestStyles : public QObject {
  Q_OBJECT

  static QImage Paint(TKvWorkArea* area) {
    QImage image(area->viewport()->size(), QImage::Format_RGB32);
    QPainter p(&image);
    area->PaintSurface(p, image.rect());
    return image;
  }

private slots:
  void colourValues() {
    QCOMPARE(KvColor(0x00FF8040), QColor(0x40, 0x80, 0xFF));
    QCOMPARE(KvColor(clNavy), QColor(0, 0, 0x80));
    QCOMPARE(KvColor(clSilver), QColor(192, 192, 192));
    const QPalette pal = QApplication::palette();
    QCOMPARE(KvColor(clBtnFace), pal.color(QPalette::Button));
    QCOMPARE(KvColor(clInfoBk), pal.color(QPalette::ToolTipBase));
    QCOMPARE(KvColor(clSystemColor + 5), pal.color(QPalette::Base));
    QCOMPARE(KvColor(clSystemColor + 13), pal.color(QPalette::Highlight));
  }

  void defaults() {
    TKvPalette palette;
    QCOMPARE(palette.ActiveCondition(), clWhite);
    QCOMPARE(palette.ConditionText(), clBlack);
    QCOMPARE(palette.ConditionItemText(), TColor(0x800000));
    QCOMPARE(palette.ProcClient(), TColor(0x80000018));
    QCOMPARE(palette.TableClient(), clWhite);
    QCOMPARE(palette.ItemText(), clBlack);
    QCOMPARE(palette.SelectedItemText(), clWhite);
    QCOMPARE(palette.ActiveCaption(), TColor(0xC0C0C0));
    QCOMPARE(palette.InactiveCaption(), TColor(0x8000000F));
    TKvStyle style;
    QCOMPARE(style.ButtonStyle(), kvsFlat);
    QCOMPARE(style.ObjectStyle().BorderKind(), kvkRaised);
    QVERIFY(style.ObjectStyle().Flat());
    QVERIFY(style.ObjectStyle().FlatButtons());
    auto kvarta = MakeKvarta(400, 400);
    QCOMPARE(kvarta->Options(), TKvOptions(kvoRowSelect));
    QCOMPARE(kvarta->Palette().Owner(), kvarta.get());
    QCOMPARE(kvarta->Style().ObjectStyle().Owner(), kvarta.get());
  }

  void onlyChangesRepaintTheSurface() {
    auto kvarta = MakeKvarta(400, 400);
    TKvWorkArea* area = kvarta->WorkArea();
    TKvPalette& palette = kvarta->Palette();
    quint64 stamp = area->LookStamp();
    palette.SetTableClient(clWhite);
    palette.SetActiveCaption(clSilver);
    kvarta->Style().ObjectStyle().SetBorderKind(kvkRaised);
    kvarta->Style().ObjectStyle().SetFlat(true);
    QCOMPARE(area->LookStamp(), stamp);
    palette.SetTableClient(0x00E0FFFF);
    QCOMPARE(palette.TableClient(), TColor(0x00E0FFFF));
    QCOMPARE(area->LookStamp(), ++stamp);
    kvarta->Style().ObjectStyle().SetFlatButtons(false);
    QCOMPARE(area->LookStamp(), ++stamp);
    // Colours and button styles of the criteria editors leave the surface alone.
    palette.SetActiveCondition(clNavy);
    palette.SetConditionText(clNavy);
    kvarta->Style().SetButtonStyle(kvsRaise);
    QCOMPARE(area->LookStamp(), stamp);
    // Writing the options only stores them.
    kvarta->SetOptions(kvoShowFieldTypes);
    QCOMPARE(area->LookStamp(), stamp);
  }

  void assignCopiesEveryValue() {
    TKvPalette source;
    source.SetActiveCondition(1);
    source.SetConditionText(2);
    source.SetConditionItemText(3);
    source.SetProcClient(4);
    source.SetTableClient(5);
    source.SetItemText(6);
    source.SetSelectedItemText(7);
    source.SetActiveCaption(8);
    source.SetInactiveCaption(9);
    auto kvarta = MakeKvarta(400, 400);
    const quint64 stamp = kvarta->WorkArea()->LookStamp();
    kvarta->SetPalette(source);
    const TKvPalette& p = kvarta->Palette();
    QCOMPARE((QList<TColor>{p.ActiveCondition(), p.ConditionText(), p.ConditionItemText(),
                            p.ProcClient(), p.TableClient(), p.ItemText(), p.SelectedItemText(),
                            p.ActiveCaption(), p.InactiveCaption()}),
             (QList<TColor>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    QVERIFY(kvarta->WorkArea()->LookStamp() > stamp);
    TKvStyle style;
    style.SetButtonStyle(kvs3DLook);
    style.ObjectStyle().SetBorderKind(kvkBump);
    style.ObjectStyle().SetFlat(false);
    style.ObjectStyle().SetFlatButtons(false);
    kvarta->SetStyle(style);
    QCOMPARE(kvarta->Style().ButtonStyle(), kvs3DLook);
    QCOMPARE(kvarta->Style().ObjectStyle().BorderKind(), kvkBump);
    QVERIFY(!kvarta->Style().ObjectStyle().Flat());
    QVERIFY(!kvarta->Style().ObjectStyle().FlatButtons());
    TKvObjectStyle etched;
    etched.SetBorderKind(kvkEtched);
    kvarta->Style().SetObjectStyle(etched);
    QCOMPARE(kvarta->Style().ObjectStyle().BorderKind(), kvkEtched);
    QVERIFY(kvarta->Style().ObjectStyle().Flat());
  }

  void paletteColoursReachTheWindows() {
    auto kvarta = MakeKvarta(600, 500);
    TKvWorkArea* area = kvarta->WorkArea();
    TKvTable* t = kvarta->TableList().Add("T", &DepartmentFields());
    const QPoint caption = area->ToClient(QPoint(t->Left() + t->CaptionHeight() + 1, t->Top() + 3));
    const QPoint gap =
        area->ToClient(QPoint(t->Left() + 60, t->Top() + t->CaptionHeight() + 1 + t->ItemHeight()));
    QCOMPARE(QColor(Paint(area).pixel(caption)), KvColor(clSilver));
    kvarta->Palette().SetActiveCaption(0x000000FF);
    kvarta->Palette().SetTableClient(0x0000FF00);
    const QImage image = Paint(area);
    QCOMPARE(QColor(image.pixel(caption)), QColor(Qt::red));
    QCOMPARE(QColor(image.pixel(gap)), QColor(Qt::green));
    area->SelectObject(nullptr);
    QCOMPARE(QColor(Paint(area).pixel(caption)), KvColor(clBtnFace));
  }

  void optionsCountAtTheNextPaint() {
    auto kvarta = MakeKvarta(600, 500);
    TKvWorkArea* area = kvarta->WorkArea();
    TKvTable* t = kvarta->TableList().Add("T", &DepartmentFields());
    t->SelectItem(t->Items()[1]);
    const QRect row = area->ToClient(t->ItemRect(1));
    // The blank before the row text, right of the tick box.
    const QPoint selected(row.left() + t->ItemHeight() + 1, row.top() + 2);
    const QImage plain = Paint(area);
    QCOMPARE(QColor(plain.pixel(selected)), QColor(192, 192, 192));
    // Field types make the row text longer.
    kvarta->SetOptions(kvoRowSelect | kvoShowFieldTypes);
    QVERIFY(Paint(area) != plain);
    // An inactive window hides its selection only with the option.
    area->SelectObject(nullptr);
    QCOMPARE(QColor(Paint(area).pixel(selected)), QColor(192, 192, 192));
    kvarta->SetOptions(kvoHideSelection);
    QCOMPARE(QColor(Paint(area).pixel(selected)), QColor(Qt::white));
  }
};

QTEST_MAIN(TestStyles)
#include "tst_styles.moc"
