// Undo and redo: a user's random work undone and redone exactly, copies of one table handled in
// every order, and the steps' names.

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvIBWindow.h"
#include "KvLinkProp.h"
#include "KvLinks.h"
#include "support/KvTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>

namespace {

const TKvTestDataSet& Fields(const QString& table) {
  static const TKvTestDataSet job = {{"JOB_CODE", ftString},
                                     {"JOB_GRADE", ftSmallint},
                                     {"JOB_TITLE", ftString},
                                     {"MAX_SALARY", ftBCD}};
  if (table == QLatin1String("EMPLOYEE")) return EmployeeFields();
  return table == QLatin1String("JOB") ? job : DepartmentFields();
}

std::unique_ptr<TInterBaseKvarta> MakeDesigner() {
  auto k = std::make_unique<TInterBaseKvarta>();
  k->resize(1000, 760);
  k->show();
  k->OnGetTableFields = [](const QString& name, const TKvDataSet*& set, QStringList&) {
    set = &Fields(name);
  };
  QApplication::setActiveWindow(k.get());
  return k;
}

// Undoes every step there is, then redoes them up to where the stack stood.
void UndoAllRedoAll(TCustomKvarta* k, const QString& start) {
  const int index = k->UndoStack()->index();
  while (k->UndoStack()->canUndo())
    k->Undo();
  QCOMPARE(DescribeDesign(k), start);
  QVERIFY(Disagreement(k).isEmpty());
  while (k->UndoStack()->index() < index)
    k->Redo();
}

// A user who does anything the surface offers, at random.
struct TRandomUser {
  TCustomKvarta* k;
  QRandomGenerator rng;
  TKvWorkArea* Area() const { return k->WorkArea(); }
  template <class T>
  T Pick(const QList<T>& list) {
    return list.isEmpty() ? T() : list[rng.bounded(int(list.size()))];
  }
  // Scrolls a window into view and returns it, for the mouse.
  TKvTable* Shown(TKvTable* t) {
    if (t) Area()->ScrollTo(std::max(0, t->Left() - 40), std::max(0, t->Top() - 40));
    return t;
  }
  QString Act() {
    TKvTable* t = Pick(Area()->Tables());
    TKvLink* link = Pick(Area()->Links());
    QWidget* s = Surface(k);
    switch (rng.bounded(14)) {
    case 0:
    case 1: {
      const QString name = Pick<QString>({"EMPLOYEE", "DEPARTMENT", "JOB"});
      k->TableList().Add(name, &Fields(name));
      return "add";
    }
    case 2:
      if (t) t->Close();
      return "close";
    case 3:
    case 4:
      if (TKvListItem* item = t ? Pick(t->Items()) : nullptr) item->Click(!item->Checked());
      return "tick";
    case 5:
      if (t) t->SetAllChecked(rng.bounded(2) * 2);
      return "all";
    case 6: {
      TKvTable* other = Pick(Area()->Tables());
      if (t && other && t != other)
        Area()->AddLink(t, other, Pick(t->Items()), Pick(other->Items()));
      return "link";
    }
    case 7:
      if (link) Area()->SendMessage(KVM_REMOVELINK, link);
      return "unlink";
    case 8:
      if (link) {
        TfmLinkProp* dialog = Area()->LinkPropDialog();
        Area()->SetCurrentLink(link);
        dialog->FormShow();
        dialog->chLeftOuter->setChecked(rng.bounded(2));
        dialog->chRightOuter->setChecked(rng.bounded(2));
        dialog->cbConditions->setCurrentIndex(rng.bounded(6));
        dialog->accept();
      }
      return "properties";
    case 9:
      if (Shown(t)) Drag(s, CaptionPoint(t), CaptionPoint(t) + QPoint(rng.bounded(-30, 200), 60));
      return "move";
    case 10:
      if (Shown(t)) {
        const QPoint corner = t->ClientBounds().bottomRight() - QPoint(1, 1);
        Drag(s, corner, corner + QPoint(rng.bounded(-40, 60), rng.bounded(-60, 60)));
      }
      return "resize";
    case 11:
      if (Shown(t)) Click(s, ButtonPoint(t, 0));
      return "fold";
    case 12:
      if (t) {
        Area()->SelectObject(t);
        t->BeginAliasEdit();
        Area()->AliasEditor()->setText(Pick<QString>({"A", "B", "X.Y", "EMPLOYEE", ""}));
        try {
          Area()->AliasEditorExit();
        } catch (const EKvError&) {
          // a name in use is refused
        }
      }
      return "rename";
    default:
      if (link && link->PointCount() < 8) {
        link->SetMenuPoint((link->Point(1) + link->Point(2)) / 2);
        link->InsertPoint();
        return "bend";
      }
      if (rng.bounded(4) == 0) k->Undo();
      return "undo";
    }
  }
};

struct TCopies {
  TCustomKvarta* k;
  TKvTable* Window(const char* key) const { return k->WorkArea()->TableByKey(key); }
  TKvTable* Copy() const { return Window("EMPLOYEE1") ? Window("EMPLOYEE1") : Window("X"); }
  void Link(TKvTable* from, TKvTable* to) {
    if (from && to)
      k->WorkArea()->AddLink(from, to, from->FindItem("DEPT_NO"), to->FindItem("DEPT_NO"));
  }
  void Do(char op) {
    TKvTable* copy = Copy();
    switch (op) {
    case 'a':
      k->TableList().Add("EMPLOYEE", &EmployeeFields());
      break;
    case 'l':
      Link(copy, Window("DEPARTMENT"));
      break;
    case 't':
      if (copy) copy->FindItem("LAST_NAME")->Click(true);
      break;
    case 'r':
      if (copy) {
        k->WorkArea()->SelectObject(copy);
        copy->BeginAliasEdit();
        k->WorkArea()->AliasEditor()->setText("X");
        k->WorkArea()->AliasEditorExit();
      }
      break;
    case 'c':
      if (copy) copy->Close();
      break;
    default:
      if (k->UndoStack()->index() > 4) k->Undo(); // never into the windows to start with
    }
  }
};

} // namespace

class TestUndo : public QObject {
  Q_OBJECT

private slots:
  void randomWorkIsUndoneAndRedoneExactly_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 7u, 2024u})
      QTest::newRow(qPrintable(QString::number(seed))) << seed;
  }
  void randomWorkIsUndoneAndRedoneExactly() {
    QFETCH(quint32, seed);
    auto k = MakeDesigner();
    k->SetSQL("SELECT EMPLOYEE.EMP_NO, DEPARTMENT.LOCATION FROM EMPLOYEE INNER JOIN DEPARTMENT "
              "ON (EMPLOYEE.DEPT_NO = DEPARTMENT.DEPT_NO)");
    k->UndoStack()->clear();
    const QString start = DescribeDesign(k.get());
    TRandomUser user{k.get(), QRandomGenerator(seed)};
    for (int i = 0; i < 300; ++i) {
      const QString action = user.Act();
      if (i % 50 == 49) {
        // What the designer wrote reads back; where the reader still fails on it, the step
        // puts everything back.
        const QString before = DescribeDesign(k.get());
        try {
          k->SetSQL(k->SQL());
        } catch (const EKvError&) {
          QCOMPARE(DescribeDesign(k.get()), before);
        }
      }
      const QString wrong = Disagreement(k.get());
      QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 %2: %3").arg(i).arg(action, wrong)));
    }
    const QString end = DescribeDesign(k.get());
    QVERIFY(k->UndoStack()->count() > 100);
    UndoAllRedoAll(k.get(), start);
    QCOMPARE(DescribeDesign(k.get()), end);
  }

  void copiesOfOneTableInEveryOrder() {
    // Add a second copy, link it, tick it, rename it, close it, undo: all 720 orders.
    QByteArray ops = "acrltu";
    std::sort(ops.begin(), ops.end());
    auto k = MakeDesigner();
    TCopies copies{k.get()};
    int orders = 0;
    const QString empty = DescribeDesign(k.get());
    do {
      k->Clear();
      k->UndoStack()->clear();
      TKvTable* first = k->TableList().Add("EMPLOYEE", &EmployeeFields());
      TKvTable* department = k->TableList().Add("DEPARTMENT", &DepartmentFields());
      copies.Link(first, department);
      first->FindItem("EMP_NO")->Click(true);
      const QString start = DescribeDesign(k.get());
      for (char op : ops) {
        copies.Do(op);
        const QString wrong = Disagreement(k.get());
        QVERIFY2(wrong.isEmpty(), qPrintable(ops + ": " + op + ": " + wrong));
        QVERIFY2(copies.Window("EMPLOYEE") &&
                     copies.Window("EMPLOYEE")->FindItem("EMP_NO")->Checked(),
                 ops.constData());
      }
      const QString end = DescribeDesign(k.get());
      UndoAllRedoAll(k.get(), empty);
      QCOMPARE(DescribeDesign(k.get()), end);
      while (k->UndoStack()->index() > 4)
        k->Undo();
      QCOMPARE(DescribeDesign(k.get()), start);
      ++orders;
    } while (std::next_permutation(ops.begin(), ops.end()));
    QCOMPARE(orders, 720);
  }

  void stepsAreNamedAfterTheAction() {
    auto k = MakeDesigner();
    QAction* undo = k->UndoAction();
    QVERIFY(!undo->isEnabled());
    TKvTable* t = k->TableList().Add("EMPLOYEE", &EmployeeFields());
    QCOMPARE(undo->text(), QStringLiteral("&Undo Add Table EMPLOYEE"));
    QVERIFY(undo->isEnabled());
    t->FindItem("EMP_NO")->Click(true);
    QCOMPARE(undo->text(), QStringLiteral("&Undo Check Field EMPLOYEE.EMP_NO"));
    // Nested steps are one; a change that changes nothing is none.
    t->SetAllChecked(2);
    t->SetAllChecked(2);
    QCOMPARE(k->UndoStack()->count(), 3);
    // A move is one step from press to release, whatever the moves in between.
    Drag(Surface(k.get()), CaptionPoint(t), CaptionPoint(t) + QPoint(100, 80), 8);
    QCOMPARE(k->UndoStack()->count(), 4);
    QCOMPARE(undo->text(), QStringLiteral("&Undo Move Table EMPLOYEE"));
    // Keys reach the actions while the focus is on the surface.
    k->activateWindow();
    k->WorkArea()->setFocus();
    QTest::keyClick(k->WorkArea(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(t->Left(), 50);
    QCOMPARE(k->RedoAction()->text(), QStringLiteral("&Redo Move Table EMPLOYEE"));
    QTest::keyClick(k->WorkArea(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(t->Left(), 150);
    k->hide();
    QVERIFY(!undo->isEnabled());
  }
};

QTEST_MAIN(TestUndo)
#include "tst_undo.moc"
