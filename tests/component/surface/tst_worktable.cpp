// Table windows on the work area, driven with the mouse and the keyboard.

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "KvParser.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>

class TestWorkTable : public QObject {
  Q_OBJECT

  std::unique_ptr<TCustomKvarta> kvarta;
  TKvWorkArea* area = nullptr;
  QWidget* surface = nullptr;

  TKvTable* Add(const QString& name, const TKvDataSet& fields) {
    return kvarta->TableList().Add(name, &fields);
  }
  static int FontPixels() { return QFontInfo(QApplication::font()).pixelSize(); }
  static int CaptionHeight() { return std::max(FontPixels() + 4, 20); }
  static int ItemHeight() { return std::max(FontPixels(), 16); }

private slots:
  void init() {
    kvarta = MakeKvarta();
    area = kvarta->WorkArea();
    surface = Surface(kvarta.get());
  }
  void cleanup() { kvarta.reset(); }

  // --- adding ---

  void aliasesAreNumberedAndWindowsPlacedSideBySide() {
    TKvTable* t1 = Add("EMPLOYEE", EmployeeFields());
    TKvTable* t2 = Add("EMPLOYEE", EmployeeFields());
    TKvTable* t3 = Add("EMPLOYEE", EmployeeFields());
    QVERIFY(t1->Alias().isEmpty());
    QCOMPARE(t2->Alias(), QStringLiteral("EMPLOYEE1"));
    QCOMPARE(t3->Alias(), QStringLiteral("EMPLOYEE2"));
    QCOMPARE(t1->Caption(), QStringLiteral("EMPLOYEE"));
    QCOMPARE(t3->Caption(), QStringLiteral("EMPLOYEE (EMPLOYEE2)"));
    QCOMPARE(QPoint(t1->Left(), t1->Top()), QPoint(50, 20));
    QCOMPARE(t2->Left(), t1->Left() + t1->Width() + 10);
    QCOMPARE(t2->Top(), 20);
    QCOMPARE(t3->Left(), t2->Left() + t2->Width() + 10);
    // Newest on top and selected.
    QCOMPARE(area->Tables().first(), t3);
    QCOMPARE(area->ActiveObject(), t3);
    QVERIFY(t3->Active() && !t1->Active());
    // The model got one table per window.
    TKvTableDefs* defs = kvarta->SelectParser()->TableDefs();
    QCOMPARE(defs->Count(), 3);
    QVERIFY(defs->FindByAlias("EMPLOYEE2"));
  }

  void freeStartPlaceIsKeptEvenWithWindowsFurtherRight() {
    TKvTable* t1 = Add("A", DepartmentFields());
    t1->SetLeft(600);
    TKvTable* t2 = Add("B", DepartmentFields());
    QCOMPARE(QPoint(t2->Left(), t2->Top()), QPoint(50, 20));
  }

  void longCaptionWidensTheWindow() {
    const QString name = QString(40, QLatin1Char('W'));
    TKvTable* t = Add(name, DepartmentFields());
    const int text = QFontMetrics(area->BoldFieldFont()).horizontalAdvance(name);
    QCOMPARE(t->CaptionTextRect().width(), text + 2);
    TKvTable* narrow = Add("T", NumberedFields(3));
    QCOMPARE(narrow->Width(), 100);
    // Field names are made to fit too, up to a limit.
    TKvTestDataSet fields{{"A_RATHER_LONG_FIELD_NAME", ftString}, {"ID", ftInteger}};
    TKvTable* wide = Add("W", fields);
    const int fieldText =
        QFontMetrics(area->BoldFieldFont()).horizontalAdvance(" A_RATHER_LONG_FIELD_NAME");
    QVERIFY(wide->Width() > 100);
    QVERIFY(wide->ItemRect(0).width() - wide->ItemHeight() >= fieldText);
    TKvTestDataSet huge{{QString(200, QLatin1Char('N')), ftString}};
    QCOMPARE(Add("H", huge)->Width(), 320);
  }

  void heightsFollowTheFont() {
    TKvTable* ten = Add("TEN", NumberedFields(10));
    TKvTable* three = Add("THREE", NumberedFields(3));
    QCOMPARE(ten->CaptionHeight(), CaptionHeight());
    QCOMPARE(ten->ItemHeight(), ItemHeight());
    QCOMPARE(ten->VisibleCount(), 6);
    QCOMPARE(ten->Height(), (ItemHeight() + 1) * 6 + CaptionHeight() + 2 + 4);
    QCOMPARE(three->Height(), (ItemHeight() + 1) * 3 + CaptionHeight() + 2 + 4);
    if (FontPixels() <= 16) {
      QCOMPARE(ten->Height(), 128);
      QCOMPARE(three->Height(), 77);
      QCOMPARE(ten->MinHeight(), 56);
    }
  }

  void metricSettersIgnoreZeroAndKeepMinimums() {
    TKvTable* t = Add("T", DepartmentFields());
    t->SetCaptionHeight(0);
    QCOMPARE(t->CaptionHeight(), CaptionHeight());
    t->SetCaptionHeight(-30);
    QCOMPARE(t->CaptionHeight(), 30);
    t->SetItemHeight(3);
    QCOMPARE(t->ItemHeight(), 16);
  }

  void componentRefusalLeavesNothing() {
    int asked = 0, added = 0;
    kvarta->OnAddRemoveTable = [&](QObject* sender, TKvTable*, TKvAction action, bool& accept) {
      QCOMPARE(sender, kvarta.get());
      QCOMPARE(action, kvaAdd);
      ++asked;
      accept = false;
    };
    area->OnTableAdded = [&](TKvWorkArea*, TKvTable*) { ++added; };
    QVERIFY(!Add("EMPLOYEE", EmployeeFields()));
    QCOMPARE(asked, 1);
    QCOMPARE(added, 0);
    QVERIFY(area->Tables().isEmpty());
    QVERIFY(!area->ActiveObject());
    QCOMPARE(kvarta->SelectParser()->TableDefs()->Count(), 0);
  }

  void windowWithoutRowsIgnoresKeys() {
    TKvTable* t = kvarta->TableList().Add("EMPTY", nullptr);
    QVERIFY(t);
    QCOMPARE(t->ItemCount(), 0);
    QTest::keyClick(area, Qt::Key_Down);
    QTest::keyClick(area, Qt::Key_A);
    QTest::keyClick(area, Qt::Key_Space);
    QVERIFY(!t->SelectedItem());
    QVERIFY(!t->GetItemLinkRect(nullptr).isValid());
  }

  void findTableByAliasOrTheOnlyOne() {
    TKvTable* t1 = Add("EMPLOYEE", EmployeeFields());
    QCOMPARE(area->FindTable(" "), t1);
    TKvTable* t2 = Add("EMPLOYEE", EmployeeFields());
    QVERIFY(!area->FindTable(""));
    QCOMPARE(area->FindTable(" EMPLOYEE1 "), t2);
    QVERIFY(!area->FindTable("employee"));
    QCOMPARE(kvarta->TableList().FindTable("EMPLOYEE"), t1);
    QCOMPARE(kvarta->TableList().Count(), 2);
    QCOMPARE(kvarta->TableList().Items(0), t2);
  }

  // --- moving and resizing ---

  void movingStopsAtTheCanvasEdges() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    Drag(surface, CaptionPoint(t), CaptionPoint(t) - QPoint(300, 300));
    QCOMPARE(QPoint(t->Left(), t->Top()), QPoint(0, 0));
    area->ScrollTo(5000, 5000);
    const QPoint corner(surface->width() - 5, surface->height() - 5);
    t->MoveBy(area->ToLogical(corner).x() - 200 - t->Left(),
              area->ToLogical(corner).y() - 200 - t->Top());
    const QPoint from = CaptionPoint(t);
    Move(surface, from);
    Press(surface, from);
    Move(surface, from + QPoint(150, 150));
    Move(surface, from + QPoint(900, 900));
    Release(surface, from + QPoint(900, 900));
    QCOMPARE(t->Left() + t->Width(), 5000);
    QCOMPARE(t->Top() + t->Height(), 5000);
  }

  void resizeStopsAtTheMinimums() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    const QRect b = t->ClientBounds();
    // Bottom border dragged above the caption.
    Drag(surface, QPoint(b.center().x(), b.bottom() - 1), QPoint(b.center().x(), b.top() - 50));
    QCOMPARE(t->Height(), t->MinHeight());
    QCOMPARE(t->MinHeight(), CaptionHeight() + 2 * ItemHeight() + 4);
    // Right border dragged past the left one.
    Drag(surface, QPoint(b.right() - 1, b.top() + 30), QPoint(b.left() - 80, b.top() + 30));
    QCOMPARE(t->Width(), t->MinWidth());
    // Left border dragged far right: the right edge stays.
    const int right = t->Left() + t->Width();
    const QRect b2 = t->ClientBounds();
    Drag(surface, QPoint(b2.left() + 1, b2.top() + 30), QPoint(b2.right() + 200, b2.top() + 30));
    QCOMPARE(t->Width(), t->MinWidth());
    QCOMPARE(t->Left() + t->Width(), right);
  }

  void growingFromTheCornerAndTopKeepsTheFarEdges() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    t->MoveBy(200, 200);
    const QRect b = t->ClientBounds();
    const int bottom = t->Top() + t->Height();
    Drag(surface, QPoint(b.left() + 1, b.top() + 1), QPoint(b.left() - 40, b.top() - 30));
    QCOMPARE(t->Left(), 250 - 41);
    QCOMPARE(t->Top() + t->Height(), bottom);
    QVERIFY(t->VisibleCount() > 6);
    // Bottom-right corner.
    const QRect c = t->ClientBounds();
    Drag(surface, QPoint(c.right() - 1, c.bottom() - 1), QPoint(c.right() + 59, c.bottom() + 19));
    QCOMPARE(t->Width(), c.width() + 58);
  }

  void cursorsFollowTheHitCodes() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    const QRect b = t->ClientBounds();
    const QList<std::tuple<QPoint, int, Qt::CursorShape>> places = {
        {QPoint(b.left() + 1, b.center().y()), htLeft, Qt::SizeHorCursor},
        {QPoint(b.right() - 1, b.center().y()), htRight, Qt::SizeHorCursor},
        {QPoint(b.center().x(), b.top() + 1), htTop, Qt::SizeVerCursor},
        {QPoint(b.center().x(), b.bottom() - 1), htBottom, Qt::SizeVerCursor},
        {QPoint(b.left() + 1, b.top() + 1), htTopLeft, Qt::SizeFDiagCursor},
        {QPoint(b.right() - 1, b.bottom() - 1), htBottomRight, Qt::SizeFDiagCursor},
        {QPoint(b.left() + 1, b.bottom() - 1), htBottomLeft, Qt::SizeBDiagCursor},
        {QPoint(b.right() - 1, b.top() + 1), htTopRight, Qt::SizeBDiagCursor},
        {CaptionPoint(t), htCaption, Qt::ArrowCursor},
        {RowPoint(t, 1), htBody, Qt::ArrowCursor},
        {ButtonPoint(t, 1), htButtons, Qt::ArrowCursor},
        {area->ToClient(t->CheckBoxHitRect()).center(), htCheckBox, Qt::ArrowCursor},
    };
    for (const auto& [p, code, shape] : places) {
      Move(surface, p);
      QCOMPARE(area->HitCode(), code);
      QCOMPARE(surface->cursor().shape(), shape);
    }
    Move(surface, QPoint(b.right() + 40, b.bottom() + 40));
    QVERIFY(!area->HotObject());
    QCOMPARE(area->HitCode(), int(htNone));
  }

  void resizingToTheCreationHeightShowsOneRowLess() {
    TKvTable* t = Add("T", NumberedFields(10));
    const int h = t->Height();
    t->SetHeight(h + 1);
    t->SetHeight(h);
    QCOMPARE(t->VisibleCount(), 5);
  }

  void collapseAndExpandWithTheFirstButton() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    const QPoint body = RowPoint(t, 2);
    Click(surface, ButtonPoint(t, 0));
    QVERIFY(!t->Expanded());
    QCOMPARE(t->BoundsRect().height(), t->CaptionHeight());
    QCOMPARE(t->HitTest(body), int(htNone));
    // A collapsed window is moved but never resized by its bottom edge.
    QCOMPARE(t->HitTest(t->ClientBounds().bottomLeft() + QPoint(30, 0)), int(htCaption));
    Click(surface, ButtonPoint(t, 0));
    QVERIFY(t->Expanded());
    QCOMPARE(t->HitTest(body), int(htBody));
  }

  void closeButtonActsOnlyWhenReleasedOverItself() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    int removed = 0;
    auto componentHandler = area->OnTableRemoved;
    area->OnTableRemoved = [&](TKvWorkArea* sender, TKvTable* table) {
      QCOMPARE(table, t);
      ++removed;
      componentHandler(sender, table);
    };
    Move(surface, ButtonPoint(t, 2));
    Press(surface, ButtonPoint(t, 2));
    QCOMPARE(t->PressedButton(), 2);
    Move(surface, ButtonPoint(t, 1));
    Release(surface, ButtonPoint(t, 1));
    QCOMPARE(area->Tables().size(), 1);
    QCOMPARE(t->PressedButton(), -1);
    Click(surface, ButtonPoint(t, 2));
    QCOMPARE(removed, 1);
    QVERIFY(area->Tables().isEmpty());
    QVERIFY(!area->ActiveObject() && !area->HotObject());
    QCOMPARE(kvarta->SelectParser()->TableDefs()->Count(), 0);
  }

  void refusedCloseKeepsWindowTicksAndModel() {
    TKvTable* t = Add("EMPLOYEE", EmployeeFields());
    Click(surface, TickPoint(t, 0));
    kvarta->OnAddRemoveTable = [](QObject*, TKvTable*, TKvAction action, bool& accept) {
      accept = action != kvaRemove;
    };
    t->Close();
    QCOMPARE(area->Tables().size(), 1);
    QVERIFY(!t->Closing());
    QVERIFY(t->Items()[0]->Checked());
    TKvTableDef* def = kvarta->SelectParser()->TableDefs()->FindByAlias("EMPLOYEE");
    QVERIFY(def);
    QCOMPARE(def->Fields()->Count(), 1);
  }

  // --- ticking ---

  void tickingRowsFollowsTheSelectAllBox() {
    TKvTable* t = Add("DEPARTMENT", DepartmentFields());
    QList<QString> checked;
    area->OnFieldCheck = [&](TKvTable*, TKvListItem* item) { checked << item->Name(); };
    QCOMPARE(t->CheckState(), 0);
    Click(surface, TickPoint(t, 0));
    QCOMPARE(t->CheckState(), 1);
    Click(surface, TickPoint(t, 1));
    Click(surface, TickPoint(t, 2));
    QCOMPARE(t->CheckState(), 2);
    QCOMPARE(checked, (QList<QString>{"DEPT_NO", "DEPARTMENT", "LOCATION"}));
    Click(surface, TickPoint(t, 1));
    QVERIFY(!t->Items()[1]->Checked());
    QCOMPARE(t->CheckState(), 1);
    const QPoint box = area->ToClient(t->CheckBoxHitRect()).center();
    Click(surface, box);
    QCOMPARE(t->CheckState(), 2);
    for (const TKvListItem* item : t->Items())
      QVERIFY(item->Checked());
    checked.clear();
    Click(surface, box);
    QCOMPARE(t->CheckState(), 0);
    for (const TKvListItem* item : t->Items())
      QVERIFY(!item->Checked());
    QCOMPARE(checked.size(), 3); // every row reports, changed or not
  }

  void rowTextSelectsAndDoubleClickTicks() {
    TKvTable* t = Add("DEPARTMENT", DepartmentFields());
    Click(surface, RowPoint(t, 1));
    QCOMPARE(t->SelectedItem(), t->Items()[1]);
    QVERIFY(!t->Items()[1]->Checked());
    DoubleClick(surface, RowPoint(t, 1));
    QVERIFY(t->Items()[1]->Checked());
    QTest::keyClick(area, Qt::Key_Space);
    QVERIFY(!t->Items()[1]->Checked());
    QTest::keyClick(area, Qt::Key_Return);
    QVERIFY(t->Items()[1]->Checked());
  }

  void ticksReachTheModel() {
    TKvTable* t = Add("DEPARTMENT", DepartmentFields());
    Click(surface, TickPoint(t, 2));
    TKvTableDef* def = kvarta->SelectParser()->TableDefs()->FindByAlias("DEPARTMENT");
    QVERIFY(def);
    QCOMPARE(def->Fields()->Count(), 1);
    QCOMPARE(def->Fields()->Items(0)->Name(), QStringLiteral("LOCATION"));
    Click(surface, TickPoint(t, 2));
    QCOMPARE(def->Fields()->Count(), 0);
  }

  // --- keyboard ---

  void arrowAndPageKeysMoveTheSelectionAndScroll() {
    TKvTable* t = Add("T", NumberedFields(20));
    QTest::keyClick(area, Qt::Key_Down);
    QCOMPARE(t->SelectedItem(), t->Items()[1]); // from TopIndex without a selection
    QTest::keyClick(area, Qt::Key_Up);
    QTest::keyClick(area, Qt::Key_Up);
    QCOMPARE(t->SelectedItem(), t->Items()[0]);
    QTest::keyClick(area, Qt::Key_End);
    QCOMPARE(t->SelectedItem(), t->Items()[19]);
    QCOMPARE(t->TopIndex(), 20 - t->VisibleCount());
    QCOMPARE(area->RowScrollBar()->value(), t->TopIndex());
    QTest::keyClick(area, Qt::Key_PageUp);
    QCOMPARE(t->SelectedItem(), t->Items()[19 + 1 - t->VisibleCount()]);
    QTest::keyClick(area, Qt::Key_Home);
    QCOMPARE(t->SelectedItem(), t->Items()[0]);
    QCOMPARE(t->TopIndex(), 0);
    QTest::keyClick(area, Qt::Key_PageDown);
    QCOMPARE(t->SelectedItem(), t->Items()[t->VisibleCount() - 1]);
    QTest::keyClick(area, Qt::Key_Right);
    QCOMPARE(t->TopIndex(), 1);
  }

  void incrementalSearchFindsPrefixesInAnyCase() {
    TKvTestDataSet fields = {
        {"dept", ftString}, {"ext", ftString}, {"email", ftString}, {"EMP_NO", ftInteger}};
    TKvTable* t = Add("T", fields);
    QTest::keyClick(area, Qt::Key_E);
    TKvEdit* editor = area->SearchEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("E"));
    QCOMPARE(t->SelectedItem()->Name(), QStringLiteral("ext"));
    QTest::keyClick(editor, Qt::Key_M);
    QCOMPARE(t->SelectedItem()->Name(), QStringLiteral("email"));
    QTest::keyClick(editor, Qt::Key_Q);
    QCOMPARE(t->SelectedItem()->Name(), QStringLiteral("email"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
  }

  void keysOfTheEditorsStayThere() {
    TKvTable* t = Add("DEPARTMENT", DepartmentFields());
    Click(surface, RowPoint(t, 0));
    // Enter commits an alias without ticking the selected row.
    t->BeginAliasEdit();
    area->AliasEditor()->setText("D");
    QTest::keyClick(area->AliasEditor(), Qt::Key_Return);
    QCOMPARE(t->Alias(), QStringLiteral("D"));
    QVERIFY(!t->Items()[0]->Checked());
    // Enter and Down end a search without ticking or moving on.
    QTest::keyClick(area, Qt::Key_L);
    QCOMPARE(t->SelectedItem()->Name(), QStringLiteral("LOCATION"));
    QTest::keyClick(area->SearchEditor(), Qt::Key_Return);
    QVERIFY(!area->SearchEditor()->isVisible());
    QVERIFY(!t->SelectedItem()->Checked());
    QTest::keyClick(area, Qt::Key_D);
    QTest::keyClick(area->SearchEditor(), Qt::Key_Down);
    QCOMPARE(t->SelectedItem()->Name(), QStringLiteral("DEPT_NO"));
  }

  void searchTypingSelectsTheWindowFirst() {
    TKvTable* t1 = Add("A", DepartmentFields());
    Add("B", EmployeeFields());
    int key = Qt::Key_L;
    t1->KeyDown(key, 0);
    QCOMPARE(area->ActiveObject(), t1);
    QCOMPARE(t1->SelectedItem()->Name(), QStringLiteral("LOCATION"));
  }

  void f6CyclesThroughEveryWindow() {
    QTest::keyClick(area, Qt::Key_F6); // nothing to select
    QVERIFY(!area->ActiveObject());
    TKvTable* only = Add("A", DepartmentFields());
    QTest::keyClick(area, Qt::Key_F6);
    QCOMPARE(area->ActiveObject(), only);
    Add("B", DepartmentFields());
    Add("C", DepartmentFields());
    QSet<TKvFloatObject*> seen;
    for (int i = 0; i < 3; ++i) {
      QTest::keyClick(area, Qt::Key_F6);
      seen.insert(area->ActiveObject());
      QCOMPARE(area->Tables().first(), area->ActiveObject());
    }
    QCOMPARE(seen.size(), 3);
    // Shift+F6 alternates between the two topmost windows.
    TKvFloatObject* top = area->Tables()[0];
    TKvFloatObject* second = area->Tables()[1];
    QTest::keyClick(area, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(area->ActiveObject(), second);
    QTest::keyClick(area, Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(area->ActiveObject(), top);
  }

  void deleteKeyClosesTheWindowWithoutAsking() {
    TKvAnswer answer(false);
    Add("A", DepartmentFields());
    TKvTable* b = Add("B", DepartmentFields());
    int removed = 0;
    area->OnTableRemoved = [&](TKvWorkArea*, TKvTable* table) {
      QCOMPARE(table, b);
      ++removed;
    };
    QTest::keyClick(area, Qt::Key_Delete);
    QCOMPARE(removed, 1);
    QCOMPARE(area->Tables().size(), 1);
    QVERIFY(answer.Texts.isEmpty());
    QVERIFY(!area->ActiveObject());
    QTest::keyClick(area, Qt::Key_Delete); // nothing selected: nothing happens
    QCOMPARE(area->Tables().size(), 1);
  }

  // --- hints ---

  void hintTextPerPart() {
    TKvTestDataSet fields = {{"ID", ftInteger}, {"ODD", 36}};
    TKvTable* t = Add("T", fields);
    auto hintAt = [&](QPoint p) {
      Move(surface, QPoint(1, 1));
      Move(surface, p);
      return area->HotObject() ? area->HotObject()->GetHint() : QString();
    };
    QCOMPARE(hintAt(ButtonPoint(t, 0)), QStringLiteral("Collapse/Expand table"));
    QCOMPARE(hintAt(ButtonPoint(t, 1)), QStringLiteral("Unlink table"));
    QCOMPARE(hintAt(ButtonPoint(t, 2)), QStringLiteral("Close table"));
    QCOMPARE(hintAt(area->ToClient(t->CheckBoxHitRect()).center()),
             QStringLiteral("Select all fields"));
    QCOMPARE(hintAt(CaptionPoint(t)), QStringLiteral("Double click for edit alias"));
    QCOMPARE(hintAt(RowPoint(t, 0)), QStringLiteral("ID (Integer)"));
    QCOMPARE(hintAt(RowPoint(t, 1)), QStringLiteral("ODD ()"));
    t->SetAllChecked(2);
    QCOMPARE(hintAt(area->ToClient(t->CheckBoxHitRect()).center()),
             QStringLiteral("Unselect all fields"));
    // Buttons of an inactive window say nothing.
    area->SelectObject(nullptr);
    QCOMPARE(hintAt(ButtonPoint(t, 2)), QString());
  }

  void hintShowsAfterRestAndHidesAgain() {
    TKvTable* t = Add("T", DepartmentFields());
    Move(surface, RowPoint(t, 0));
    QVERIFY(!area->HintWindow()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(area->HintWindow()->isVisible(), 1500);
    QCOMPARE(area->HintWindow()->text(), QStringLiteral("DEPT_NO (String)"));
    QTRY_VERIFY_WITH_TIMEOUT(!area->HintWindow()->isVisible(), 3000);
    // Any key press hides it at once.
    Move(surface, RowPoint(t, 1));
    QTRY_VERIFY_WITH_TIMEOUT(area->HintWindow()->isVisible(), 1500);
    QTest::keyClick(area, Qt::Key_Shift);
    QVERIFY(!area->HintWindow()->isVisible());
  }

  // --- menus and the alias editor ---

  void rightClickOnEmptySurfaceDoesNothing() {
    TKvTable* t = Add("T", DepartmentFields());
    Click(surface, QPoint(700, 500), Qt::RightButton);
    QVERIFY(area->SurfaceMenu()->actions().isEmpty());
    QCOMPARE(area->ActiveObject(), t);
  }

  void captionMenuDeletesAndRenames() {
    TKvTable* a = Add("A", DepartmentFields());
    Add("B", DepartmentFields());
    Click(surface, CaptionPoint(a), Qt::RightButton);
    QCOMPARE(area->ActiveObject(), a);
    const QList<QAction*> actions = area->SurfaceMenu()->actions();
    QCOMPARE(actions.size(), 3);
    QCOMPARE(actions[0]->text(), QStringLiteral("Delete table"));
    QVERIFY(actions[1]->isSeparator());
    QCOMPARE(actions[2]->text(), QStringLiteral("Rename table"));
    area->SurfaceMenu()->hide();
    actions[2]->trigger();
    QVERIFY(area->AliasEditor()->isVisible());
    QCOMPARE(area->AliasEditor()->text(), QStringLiteral("A"));
    QTest::keyClick(area->AliasEditor(), Qt::Key_Escape);
    QVERIFY(!area->AliasEditor()->isVisible());
    Click(surface, CaptionPoint(a), Qt::RightButton);
    area->SurfaceMenu()->hide();
    area->SurfaceMenu()->actions()[0]->trigger();
    QCOMPARE(area->Tables().size(), 1);
    QCOMPARE(area->Tables()[0]->TableName(), QStringLiteral("B"));
  }

  void aliasEditorCommitsAndRefusesDuplicates() {
    TKvTable* emp = Add("EMPLOYEE", EmployeeFields());
    TKvTable* dept = Add("DEPARTMENT", DepartmentFields());
    QStringList changes;
    auto componentHandler = area->OnAliasChanged;
    area->OnAliasChanged = [&](TKvTable* table, const QString& old) {
      changes << old + "->" + table->AliasOrName();
      componentHandler(table, old);
    };
    DoubleClick(surface, CaptionPoint(dept));
    QLineEdit* editor = area->AliasEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("DEPARTMENT"));
    editor->setText("D.E.P");
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(!editor->isVisible());
    QCOMPARE(dept->Alias(), QStringLiteral("DEP"));
    QCOMPARE(dept->Caption(), QStringLiteral("DEPARTMENT (DEP)"));
    QCOMPARE(changes, QStringList{"DEPARTMENT->DEP"});
    QVERIFY(kvarta->SelectParser()->TableDefs()->FindByAlias("DEP"));

    dept->BeginAliasEdit();
    editor->setText("EMPLOYEE");
    try {
      area->AliasEditorExit();
      QFAIL("duplicate alias accepted");
    } catch (const EKvError& e) {
      QCOMPARE(e.Message(), QStringLiteral("Table with alias EMPLOYEE already exist"));
    }
    QVERIFY(!editor->isVisible());
    QCOMPARE(dept->Alias(), QStringLiteral("DEP"));

    // The table's own name clears the alias.
    dept->BeginAliasEdit();
    editor->setText("DEPARTMENT");
    area->AliasEditorExit();
    QVERIFY(dept->Alias().isEmpty());
    QCOMPARE(changes.last(), QStringLiteral("DEP->DEPARTMENT"));
    Q_UNUSED(emp);
  }

  void clearingAnAliasMayNotDuplicateAnotherWindow() {
    Add("EMPLOYEE", EmployeeFields());
    TKvTable* second = Add("EMPLOYEE", EmployeeFields());
    second->BeginAliasEdit();
    area->AliasEditor()->setText("");
    QVERIFY_THROWS_EXCEPTION(EKvError, area->AliasEditorExit());
    QCOMPARE(second->Alias(), QStringLiteral("EMPLOYEE1"));
  }

  // --- painting ---

  void upperWindowsCoverLowerOnesAndLinks() {
    TKvTable* a = Add("A", EmployeeFields());
    TKvTable* b = Add("B", DepartmentFields());
    b->MoveBy(a->Left() + 30 - b->Left(), 40);
    QImage image(surface->size(), QImage::Format_RGB32);
    QPainter p(&image);
    area->PaintSurface(p, image.rect());
    p.end();
    // A point inside both windows shows B's rows (white), not A's caption.
    const QPoint inBoth =
        area->ToClient(QPoint(b->Left() + 60, b->Top() + b->CaptionHeight() + 1 + b->ItemHeight()));
    QCOMPARE(QColor(image.pixel(inBoth)), QColor(Qt::white));
    area->SelectObject(a);
    QCOMPARE(area->Tables().first(), a);
  }

  void changesRepaintEverythingTheyAlter() {
    TKvTable* t = Add("T", NumberedFields(12));
    TKvTable* other = Add("OTHER", DepartmentFields());
    other->MoveBy(-60, 40); // partly under T
    area->SelectObject(t);
    const QList<std::pair<const char*, std::function<void()>>> changes = {
        {"move", [&] { t->MoveBy(7, 5); }},
        {"wider", [&] { t->SetWidth(t->Width() + 30); }},
        {"narrower", [&] { t->SetWidth(t->Width() - 45); }},
        {"taller", [&] { t->SetHeight(t->Height() + 40); }},
        {"shorter", [&] { t->SetHeight(t->Height() - 60); }},
        {"left edge", [&] { t->ResizeLeft(-12); }},
        {"top edge", [&] { t->ResizeTop(9); }},
        {"scroll", [&] { t->SetTopIndex(3); }},
        {"select row", [&] { t->SelectItem(t->Items()[5]); }},
        {"tick", [&] { t->Items()[4]->Click(true); }},
        {"select all", [&] { t->SetAllChecked(2); }},
        {"alias", [&] { t->SetAlias("TT"); }},
        {"collapse", [&] { t->SetExpanded(false); }},
        {"expand", [&] { t->SetExpanded(true); }},
        {"other window on top", [&] { area->SelectObject(other); }},
        {"close", [&] { other->Close(); }},
    };
    for (const auto& [name, change] : changes) {
      const QString stale = StaleAfter(area, change);
      QVERIFY2(stale.isEmpty(), qPrintable(QString::fromLatin1(name) + ": " + stale));
    }
  }

  void scrollingMapsClientToLogical() {
    area->ScrollTo(300, 200);
    QCOMPARE(area->ScrollPos(), QPoint(300, 200));
    QCOMPARE(area->ToLogical(QPoint(10, 10)), QPoint(310, 210));
    QCOMPARE(area->horizontalScrollBar()->maximum(), 5000 - surface->width());
  }

  void wrongOwnersAreRefused() {
    QVERIFY_THROWS_EXCEPTION(EKvError, TKvWorkArea(nullptr));
    QVERIFY_THROWS_EXCEPTION(EKvError, TKvTable(nullptr, "T", nullptr));
  }
};

QTEST_MAIN(TestWorkTable)
#include "tst_worktable.moc"
