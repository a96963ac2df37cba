// The component shell: what construction builds, the host's events, the table list, the
// pictures by name, and a clean teardown.

#include "KvBitmaps.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvParser.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QPainter>
#include <QSplitter>
#include <QTabWidget>
#include <QtTest>

namespace {

// A parser of another dialect, handed over by a derived component.
class TDialectParser : public TKvSelectParser {};

class TDialectKvarta : public TCustomKvarta {
public:
  TDialectKvarta() : TCustomKvarta(nullptr, std::make_unique<TDialectParser>()) {}
  std::unique_ptr<TKvSelectParser> CreateParser() const override {
    return std::make_unique<TDialectParser>();
  }
};

} // namespace

class TestKvarta : public QObject {
  Q_OBJECT

private slots:
  void constructionBuildsPagesImagesAndSurface() {
    auto kvarta = MakeKvarta(800, 600);
    QTabWidget* pages = kvarta->PageControl();
    QCOMPARE(pages->objectName(), QStringLiteral("PageCtrl"));
    QCOMPARE(kvarta->findChild<QTabWidget*>("PageCtrl"), pages);
    QCOMPARE(pages->count(), 4);
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i)
      captions << pages->tabText(i);
    QCOMPARE(captions, (QStringList{"Criterions", "Selection", "Grouping criterions", "Sorting"}));
    QCOMPARE(pages->height(), 170);
    QCOMPARE(kvarta->Splitter()->handleWidth(), 5);
    QVERIFY(kvarta->WorkArea()->height() > pages->height());
    QCOMPARE(kvarta->Images().size(), 2);
    for (const QPixmap& image : kvarta->Images())
      QCOMPARE(image.size(), QSize(16, 16));
    QVERIFY(kvarta->SelectParser());
    QVERIFY(kvarta->CreateParser());
    QCOMPARE(kvarta->WorkArea()->Owner(), kvarta.get());
  }

  void derivedComponentsBringTheirParser() {
    TDialectKvarta kvarta;
    QVERIFY(dynamic_cast<TDialectParser*>(kvarta.SelectParser()));
    QVERIFY(dynamic_cast<TDialectParser*>(kvarta.CreateParser().get()));
  }

  void hostDecidesAboutTablesAndLinks() {
    auto kvarta = MakeKvarta();
    QVERIFY(kvarta->DoAddRemoveTable(nullptr, kvaAdd));
    QVERIFY(kvarta->DoAddRemoveLink(nullptr, kvaRemove));
    QList<TKvAction> actions;
    kvarta->OnAddRemoveTable = [&](QObject* sender, TKvTable*, TKvAction action, bool& accept) {
      QCOMPARE(sender, kvarta.get());
      QVERIFY(accept); // starts true
      actions << action;
      accept = action == kvaAdd;
    };
    TKvTable* t = kvarta->TableList().Add("T", &DepartmentFields());
    QVERIFY(t);
    QVERIFY(!kvarta->DoAddRemoveTable(t, kvaRemove));
    QCOMPARE(actions, (QList<TKvAction>{kvaAdd, kvaRemove}));
  }

  void tableListFollowsTheSurface() {
    auto kvarta = MakeKvarta();
    TKvTableList& list = kvarta->TableList();
    QCOMPARE(list.Count(), 0);
    QVERIFY(!list.Items(0));
    TKvTable* a = list.Add("A", &DepartmentFields());
    TKvTable* b = list.Add("B", &DepartmentFields());
    QCOMPARE(list.Count(), 2);
    QCOMPARE(list[0], b);
    QCOMPARE(list.FindTable("A"), a);
    QVERIFY(!list.FindTable("a"));
    QVERIFY(!list.FindTable(""));
    b->SetAlias("BB");
    QCOMPARE(list.FindTable("BB"), b);
  }

  void teardownWithLinksTellsNobody() {
    auto kvarta = MakeKvarta();
    TKvTable* a = kvarta->TableList().Add("A", &DepartmentFields());
    TKvTable* b = kvarta->TableList().Add("B", &DepartmentFields());
    QVERIFY(kvarta->WorkArea()->AddLink(a, b, a->Items()[0], b->Items()[0]));
    int events = 0;
    kvarta->WorkArea()->OnLinkRemoved = [&](TKvWorkArea*, TKvLink*) { ++events; };
    kvarta->OnAddRemoveLink = [&](QObject*, TKvLink*, TKvAction, bool&) { ++events; };
    kvarta.reset();
    QCOMPARE(events, 0);
  }

  void picturesByName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    for (const char* name : {"BTN1", "BTN2", "BTN3", "BOX1", "BOX2", "BOX3"})
      QTest::newRow(name) << name << 12;
    for (const char* name : {"CHECKBMP", "UNCHECKBMP", "INPUTNULL", "INPUTPARAM", "TABLEBMP",
                             "FIELDBMP", "ADD", "ADD_ALL", "REMOVE", "REMOVE_ALL"})
      QTest::newRow(name) << name << 16;
    QTest::newRow("DragCursor") << "DragCursor" << 32;
    QTest::newRow("MAINICON") << "MAINICON" << 32;
  }
  void picturesByName() {
    QFETCH(QString, name);
    QFETCH(int, size);
    const QPixmap one = KvBitmap(name);
    QCOMPARE(one.size(), QSize(size, size));
    const QPixmap two = KvBitmap(name, 2.0);
    QCOMPARE(two.size(), QSize(2 * size, 2 * size));
    QCOMPARE(two.deviceIndependentSize(), QSizeF(size, size));
    // Transparent through the bottom-left pixel's colour.
    const QImage masked = KvTransparentBitmap(name).toImage();
    QCOMPARE(qAlpha(masked.pixel(0, size - 1)), 0);
  }

  void unknownPicturesAreNull() {
    QVERIFY(KvBitmap("NO_SUCH_BITMAP").isNull());
    QVERIFY(KvTransparentBitmap("NO_SUCH_BITMAP", 2.0).isNull());
    QVERIFY(!KvCursor("DragCursor").pixmap().isNull());
  }

  void transparentCopyKeepsTheDestinationOutsideTheMask() {
    QPixmap source(4, 4);
    source.fill(Qt::red);
    QImage bits(4, 4, QImage::Format_Mono);
    bits.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    bits.fill(0);
    bits.setPixel(1, 1, 1);
    bits.setPixel(2, 2, 1);
    const QBitmap mask = QBitmap::fromImage(bits);
    QImage dest(4, 4, QImage::Format_RGB32);
    dest.fill(Qt::blue);
    {
      QPainter p(&dest);
      DrawTransparentBitmap(p, 0, 0, source, mask, 4, 4);
    }
    QCOMPARE(QColor(dest.pixel(1, 1)), QColor(Qt::red));
    QCOMPARE(QColor(dest.pixel(2, 2)), QColor(Qt::red));
    QCOMPARE(QColor(dest.pixel(0, 0)), QColor(Qt::blue));
    QCOMPARE(QColor(dest.pixel(3, 1)), QColor(Qt::blue));
    // The bottom-left colour decides the mask.
    QPixmap framed(3, 3);
    framed.fill(Qt::green);
    {
      QPainter p(&framed);
      p.fillRect(1, 0, 1, 1, Qt::black);
    }
    const QImage m = KvBottomLeftMask(framed).toImage();
    QVERIFY((m.pixel(1, 0) & 0xFFFFFF) != 0xFFFFFF);
    QVERIFY((m.pixel(0, 2) & 0xFFFFFF) == 0xFFFFFF);
  }
};

QTEST_MAIN(TestKvarta)
#include "tst_kvarta.moc"
