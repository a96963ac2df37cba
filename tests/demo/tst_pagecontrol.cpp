// Page changes that may be refused: by mouse, by keys on the tabs and Ctrl+Tab, and from code.

#include "PageControl.h"

#include <QTabBar>
#include <QtTest>

class TestPageControl : public QObject {
  Q_OBJECT

  std::unique_ptr<TPageControl> pages;
  bool allow = true;
  QList<int> asked;

  void Click(int index) {
    QTabBar* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  }

private slots:
  void init() {
    pages = std::make_unique<TPageControl>();
    for (const char* name : {"A", "B", "C", "D"})
      pages->addTab(new QWidget, name);
    pages->OnChanging = [this](int index, bool& allowChange) {
      asked << index;
      allowChange = allow;
    };
    pages->resize(400, 300);
    pages->show();
    QVERIFY(QTest::qWaitForWindowExposed(pages.get()));
    allow = true;
    asked.clear();
  }
  void cleanup() { pages.reset(); }

  void mouse() {
    allow = false;
    Click(2);
    QCOMPARE(pages->currentIndex(), 0);
    allow = true;
    Click(2);
    QCOMPARE(pages->currentIndex(), 2);
    Click(2); // the active tab asks nothing
    QCOMPARE(asked, QList<int>({2, 2}));
  }

  void keysOnTheTabs() {
    pages->tabBar()->setFocus();
    allow = false;
    QTest::keyClick(pages->tabBar(), Qt::Key_Right);
    QCOMPARE(pages->currentIndex(), 0);
    allow = true;
    QTest::keyClick(pages->tabBar(), Qt::Key_Right);
    QCOMPARE(pages->currentIndex(), 1);
    QTest::keyClick(pages->tabBar(), Qt::Key_Left);
    QTest::keyClick(pages->tabBar(), Qt::Key_Left); // wraps round
    QCOMPARE(pages->currentIndex(), 3);
    QCOMPARE(asked, QList<int>({1, 1, 0, 3}));
  }

  void controlTabSkipsHiddenPages() {
    pages->setTabVisible(1, false);
    QTest::keyClick(pages.get(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), 2);
    QTest::keyClick(pages.get(), Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(pages->currentIndex(), 0);
    allow = false;
    QTest::keyClick(pages.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(pages->currentIndex(), 0);
    QCOMPARE(asked, QList<int>({2, 0, 3}));
  }

  void wheelDoesNotFlipPages() {
    QTabBar* bar = pages->tabBar();
    QWheelEvent wheel(bar->rect().center(), bar->mapToGlobal(bar->rect().center()), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &wheel);
    QCOMPARE(pages->currentIndex(), 0);
    QVERIFY(asked.isEmpty());
  }

  void fromCode() {
    allow = false;
    QVERIFY(!pages->SelectPage(3));
    QVERIFY(pages->SelectPage(0)); // already there
    allow = true;
    QVERIFY(pages->SelectPage(3));
    QVERIFY(!pages->SelectPage(7));
    QCOMPARE(asked, QList<int>({3, 3}));
  }
};

QTEST_MAIN(TestPageControl)
#include "tst_pagecontrol.moc"
