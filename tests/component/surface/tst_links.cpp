// Links between table windows: shared joins, the model's join entries, selection, menus,
// deletion, bend points and re-routing.

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvLinkProp.h"
#include "KvLinks.h"
#include "KvParser.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

const TKvTestDataSet& EmpFields() {
  static const TKvTestDataSet fields = {
      {"EMP_NO", ftSmallint}, {"DEPT_NO", ftFixedChar}, {"LOCATION", ftString}, {"SALARY", ftBCD}};
  return fields;
}

const TKvTestDataSet& DeptFields() {
  static const TKvTestDataSet fields = {
      {"DEPT_NO", ftFixedChar}, {"LOCATION", ftString}, {"BUDGET", ftBCD}};
  return fields;
}

} // namespace

class TestLinks : public QObject {
  Q_OBJECT

  std::unique_ptr<TCustomKvarta> kvarta;
  TKvWorkArea* area = nullptr;
  QWidget* surface = nullptr;
  TKvTable* emp = nullptr;
  TKvTable* dept = nullptr;

  TKvListItem* Row(TKvTable* t, const char* name) { return t->FindItem(QLatin1String(name)); }
  TKvTableDef* Def(const char* alias) {
    return kvarta->SelectParser()->TableDefs()->FindByAlias(QLatin1String(alias));
  }
  TKvLink* LinkDept() {
    return area->AddLink(emp, dept, Row(emp, "DEPT_NO"), Row(dept, "DEPT_NO"));
  }
  // A client point on the middle segment of a link.
  QPoint OnLine(const TKvLink* link) {
    const QPoint a = link->Point(1);
    const QPoint b = link->Point(link->PointCount() - 2);
    return (a + b) / 2;
  }

private slots:
  void init() {
    kvarta = MakeKvarta();
    area = kvarta->WorkArea();
    surface = Surface(kvarta.get());
    emp = kvarta->TableList().Add("EMPLOYEE", &EmpFields());
    dept = kvarta->TableList().Add("DEPARTMENT", &DeptFields());
    dept->MoveBy(100, 60);
  }
  void cleanup() { kvarta.reset(); }

  void linksBetweenTwoWindowsShareOneJoin() {
    QList<TKvLink*> added;
    area->OnLinkAdded = [&](TKvWorkArea* sender, TKvLink* link) {
      QCOMPARE(sender, area);
      added << link;
    };
    TKvLink* first = LinkDept();
    TKvLink* second = area->AddLink(dept, emp, Row(dept, "LOCATION"), Row(emp, "LOCATION"));
    QVERIFY(first && second);
    QCOMPARE(added, (QList<TKvLink*>{first, second}));
    QCOMPARE(area->Joins().size(), 1);
    QCOMPARE(first->Join(), second->Join());
    QCOMPARE(first->Join()->Table1(), emp);
    QCOMPARE(second->Item1(), Row(emp, "LOCATION"));
    QCOMPARE(second->Item2(), Row(dept, "LOCATION"));
    QCOMPARE(first->Join()->JoinType(), 0);
    // Both conditions live under the first window's model table, once each.
    TKvJoinDefs* joins = Def("EMPLOYEE")->Joins();
    QCOMPARE(joins->Count(), 2);
    QVERIFY(joins->Find("DEPT_NO", "DEPARTMENT", "DEPT_NO"));
    QVERIFY(joins->Find("LOCATION", "DEPARTMENT", "LOCATION"));
    QCOMPARE(Def("DEPARTMENT")->Joins()->Count(), 0);
  }

  void removingLinksKeepsTheJoinUntilTheLast() {
    TKvLink* first = LinkDept();
    TKvLink* second = area->AddLink(dept, emp, Row(dept, "LOCATION"), Row(emp, "LOCATION"));
    TKvJoin* join = first->Join();
    join->SetJoinType(2);
    QList<TKvLink*> removed;
    area->OnLinkRemoved = [&](TKvWorkArea*, TKvLink* link) {
      QVERIFY(!area->Links().contains(link));
      removed << link;
    };
    area->RemoveLink(first, 0, true);
    QCOMPARE(removed, QList<TKvLink*>{first});
    QCOMPARE(area->Joins().size(), 1);
    QCOMPARE(second->Join()->JoinType(), 2);
    TKvJoinDefs* joins = Def("EMPLOYEE")->Joins();
    QCOMPARE(joins->Count(), 1);
    QVERIFY(!joins->Find("DEPT_NO", "DEPARTMENT", "DEPT_NO"));
    area->RemoveLink(second, 0, true);
    QVERIFY(area->Joins().isEmpty());
    QVERIFY(area->Links().isEmpty());
    QCOMPARE(joins->Count(), 0);
  }

  void refusedLinkLeavesNoTrace() {
    int asked = 0;
    kvarta->OnAddRemoveLink = [&](QObject*, TKvLink* link, TKvAction action, bool& accept) {
      QVERIFY(link);
      QCOMPARE(action, kvaAdd);
      ++asked;
      accept = false;
    };
    QVERIFY(!LinkDept());
    QCOMPARE(asked, 1);
    QVERIFY(area->Links().isEmpty());
    QVERIFY(area->Joins().isEmpty());
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 0);
    QVERIFY(!Row(emp, "DEPT_NO")->Bold());
  }

  void doubledAndMisdirectedLinksAreRefused() {
    QVERIFY(LinkDept());
    QVERIFY(area->LinkExists(emp, dept, Row(emp, "DEPT_NO"), Row(dept, "DEPT_NO")));
    QVERIFY(area->LinkExists(dept, emp, Row(dept, "DEPT_NO"), Row(emp, "DEPT_NO")));
    QVERIFY(!area->LinkExists(emp, dept, Row(emp, "LOCATION"), Row(dept, "DEPT_NO")));
    QVERIFY(!area->AddLink(dept, emp, Row(dept, "DEPT_NO"), Row(emp, "DEPT_NO")));
    QVERIFY(!area->AddLink(emp, emp, Row(emp, "DEPT_NO"), Row(emp, "LOCATION")));
    QVERIFY(!area->AddLink(emp, dept, Row(dept, "LOCATION"), Row(emp, "LOCATION")));
    QVERIFY(!area->AddLink(emp, nullptr, Row(emp, "LOCATION"), Row(dept, "LOCATION")));
    QCOMPARE(area->Links().size(), 1);
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 1);
  }

  void conditionHeldTheOtherWayRoundIsNotEnteredTwice() {
    // As loaded from SQL: the condition sits under DEPARTMENT.
    TKvJoinDef* entry = Def("DEPARTMENT")->Joins()->Add();
    entry->SetField("DEPT_NO");
    entry->SetJoinTable("EMPLOYEE");
    entry->SetJoinField("DEPT_NO");
    entry->SetOperator(">");
    TKvLink* link = LinkDept();
    QVERIFY(link);
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 0);
    QCOMPARE(Def("DEPARTMENT")->Joins()->Count(), 1);
    QCOMPARE(link->OperatorIndex(), 1);
    QCOMPARE(link->GetHint(), QStringLiteral("EMPLOYEE.DEPT_NO>DEPARTMENT.DEPT_NO"));
    const TKvModelJoin found = KvFindModelJoin(link);
    QCOMPARE(found.Def, entry);
    QVERIFY(found.Reversed);
    area->RemoveLink(link, 0, false);
    QCOMPARE(Def("DEPARTMENT")->Joins()->Count(), 0);
  }

  void selfJoinWindowsKeepTheirOwnModelTables() {
    TKvTable* boss = kvarta->TableList().Add("EMPLOYEE", &EmpFields());
    QCOMPARE(boss->Alias(), QStringLiteral("EMPLOYEE1"));
    QVERIFY(area->AddLink(boss, emp, Row(boss, "EMP_NO"), Row(emp, "EMP_NO")));
    QCOMPARE(Def("EMPLOYEE1")->Joins()->Count(), 1);
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 0);
    QVERIFY(Def("EMPLOYEE1")->Joins()->Find("EMP_NO", "EMPLOYEE", "EMP_NO"));
  }

  void generatedSqlFollowsTheLink() {
    Row(emp, "EMP_NO")->Click(true);
    TKvLink* link = LinkDept();
    QString sql = kvarta->SelectParser()->GetSQL();
    QVERIFY2(sql.contains("INNER JOIN") && sql.contains(" = "), qPrintable(sql));
    area->SetCurrentLink(link);
    TfmLinkProp* dialog = area->LinkPropDialog();
    dialog->FormShow();
    dialog->chLeftOuter->setChecked(true);
    dialog->cbConditions->setCurrentIndex(3);
    dialog->accept();
    sql = kvarta->SelectParser()->GetSQL();
    QVERIFY2(sql.contains("LEFT OUTER JOIN") && sql.contains(" >= "), qPrintable(sql));
    area->RemoveLink(link, 0, true);
    sql = kvarta->SelectParser()->GetSQL();
    QVERIFY2(!sql.contains("JOIN"), qPrintable(sql));
  }

  void selectingALinkMakesItsRowsBold() {
    TKvLink* link = LinkDept();
    QList<bool> selections;
    area->OnLinkSelect = [&](TKvWorkArea*, TKvTable* t1, TKvListItem* i1, TKvTable* t2,
                             TKvListItem* i2, bool selected) {
      QCOMPARE(t1, emp);
      QCOMPARE(t2, dept);
      QCOMPARE(i1, link->Item1());
      QCOMPARE(i2, link->Item2());
      selections << selected;
    };
    Click(surface, OnLine(link));
    QCOMPARE(area->ActiveObject(), link);
    QVERIFY(link->Active());
    QVERIFY(link->Item1()->Bold() && link->Item2()->Bold());
    Click(surface, CaptionPoint(emp));
    QVERIFY(!link->Active());
    QVERIFY(!link->Item1()->Bold() && !link->Item2()->Bold());
    QCOMPARE(selections, (QList<bool>{true, false}));
  }

  void hintNamesBothSides() {
    TKvLink* link = LinkDept();
    QCOMPARE(link->GetHint(), QStringLiteral("EMPLOYEE.DEPT_NO=DEPARTMENT.DEPT_NO"));
    Move(surface, OnLine(link));
    QCOMPARE(area->HotObject(), link);
    QCOMPARE(area->HitCode(), int(htBody));
    dept->SetAlias("D");
    QCOMPARE(link->GetHint(), QStringLiteral("EMPLOYEE.DEPT_NO=D.DEPT_NO"));
  }

  void deleteAsksFirst() {
    TKvLink* link = LinkDept();
    Click(surface, OnLine(link));
    {
      TKvAnswer no(false);
      QTest::keyClick(area, Qt::Key_Delete);
      QCoreApplication::processEvents();
      QCOMPARE(no.Captions, QStringList{"Attention!"});
      QCOMPARE(no.Texts.first(),
               QStringLiteral("Do you really want to delete the link between \r\nEMPLOYEE and "
                              "DEPARTMENT"));
      QCOMPARE(area->Links().size(), 1);
      QCOMPARE(area->ActiveObject(), link);
    }
    {
      TKvAnswer yes(true);
      QTest::keyClick(area, Qt::Key_Delete);
      QCOMPARE(area->Links().size(), 1); // removal is posted
      QCoreApplication::processEvents();
      QVERIFY(area->Links().isEmpty());
      QVERIFY(!area->ActiveObject());
      QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 0);
    }
  }

  void componentMayRefuseTheRemoval() {
    TKvLink* link = LinkDept();
    kvarta->OnAddRemoveLink = [](QObject*, TKvLink*, TKvAction action, bool& accept) {
      accept = action == kvaAdd;
    };
    TKvAnswer yes(true);
    link->Delete();
    QCoreApplication::processEvents();
    QCOMPARE(area->Links().size(), 1);
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 1);
  }

  void postedRemovalOfAClearedLinkIsIgnored() {
    TKvLink* link = LinkDept();
    TKvAnswer yes(true);
    link->Delete();
    int removed = 0;
    area->OnLinkRemoved = [&](TKvWorkArea*, TKvLink*) { ++removed; };
    area->Clear();
    QCoreApplication::processEvents();
    QCOMPARE(removed, 0);
    QVERIFY(area->Tables().isEmpty());
  }

  void linkMenuInsertsAndDeletesBendPoints() {
    TKvLink* link = LinkDept();
    const QPoint middle = OnLine(link);
    Click(surface, middle, Qt::RightButton);
    QList<QAction*> actions = area->SurfaceMenu()->actions();
    area->SurfaceMenu()->hide();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions[0]->text(), QStringLiteral("Insert point"));
    QVERIFY(actions[1]->isSeparator());
    QCOMPARE(actions[2]->text(), QStringLiteral("Delete link"));
    QCOMPARE(actions[3]->text(), QStringLiteral("Property"));
    actions[0]->trigger();
    QCOMPARE(link->PointCount(), 5);
    QCOMPARE(link->Point(2), middle);
    // The tolerance grows with the points.
    Move(surface, QPoint(1, 1));
    Click(surface, middle, Qt::RightButton);
    actions = area->SurfaceMenu()->actions();
    area->SurfaceMenu()->hide();
    QCOMPARE(actions[0]->text(), QStringLiteral("Delete point"));
    actions[0]->trigger();
    QCOMPARE(link->PointCount(), 4);
    // On a stub nothing is inserted.
    link->SetMenuPoint((link->Point(0) + link->Point(1)) / 2);
    link->InsertPoint();
    QCOMPARE(link->PointCount(), 4);
  }

  void bendPointsDragButEndPointsDoNot() {
    TKvLink* link = LinkDept();
    link->SetMenuPoint(OnLine(link));
    link->InsertPoint();
    const QPoint bend = link->Point(2);
    Move(surface, bend);
    QCOMPARE(area->HitCode(), int(htBendPoint));
    QCOMPARE(surface->cursor().shape(), Qt::SizeAllCursor);
    Drag(surface, bend, bend + QPoint(0, 120));
    QCOMPARE(link->Point(2), bend + QPoint(0, 120));
    const QList<QPoint> before = link->Points();
    const QPoint end = link->Point(0);
    Move(surface, end);
    QCOMPARE(area->HitCode(), int(htEndPoint));
    QCOMPARE(surface->cursor().shape(), Qt::UpArrowCursor);
    Drag(surface, end, end + QPoint(30, 80));
    QCOMPARE(link->Points(), before);
  }

  void pointAccessIsChecked() {
    TKvLink* link = LinkDept();
    try {
      link->Point(7);
      QFAIL("no error");
    } catch (const EKvError& e) {
      QCOMPARE(e.Message(), QStringLiteral("Invalid index = 7 "));
    }
    QVERIFY_THROWS_EXCEPTION(EKvError, link->SetPoint(-1, QPoint()));
    TKvJoin broken(area, emp, nullptr);
    try {
      TKvLink orphan(area, Row(emp, "DEPT_NO"), Row(dept, "DEPT_NO"), &broken);
      QFAIL("no error");
    } catch (const EKvError& e) {
      QCOMPARE(e.Message(), QStringLiteral("Invalid table  in Link control"));
    }
  }

  void linksFollowMovedWindows() {
    TKvLink* link = LinkDept();
    QCOMPARE(link->Points().first().x(), emp->Left() + emp->Width());
    QCOMPARE(link->Points().last().x(), dept->Left());
    // DEPARTMENT dragged to the left of EMPLOYEE: both ends change sides.
    area->ScrollTo(0, 0);
    dept->MoveBy(-dept->Left(), 0);
    emp->MoveBy(400, 0);
    QCOMPARE(link->Points().first().x(), emp->Left());
    QCOMPARE(link->Points().last().x(), dept->Left() + dept->Width());
    const QRect rows = Row(emp, "DEPT_NO")->GetLinkRect();
    QCOMPARE(link->Points().first().y(), rows.top() + rows.height() / 2);
  }

  void movingAWindowRepaintsOnlyNearbyLinkEnds() {
    TKvTable* far = kvarta->TableList().Add("FAR", &DeptFields());
    far->MoveBy(0, 400);
    TKvLink* near = LinkDept();
    TKvLink* other = area->AddLink(emp, far, Row(emp, "LOCATION"), Row(far, "LOCATION"));
    QCoreApplication::processEvents();
    area->SetTrackInvalidated(true);
    area->TakeInvalidated();
    const QRegion otherRegion = other->GetRegion(0);
    const QRegion nearBefore = near->GetRegion(0);
    dept->MoveBy(40, 30);
    const QRegion repainted = area->TakeInvalidated();
    QVERIFY(!repainted.intersects(otherRegion));
    QVERIFY(repainted.intersects(nearBefore));
    QVERIFY(repainted.contains(dept->ClientBounds().center()));
  }

  void scrolledAndCollapsedRowsAttachToTheCaptionOrBottom() {
    TKvTestDataSet many = NumberedFields(20);
    TKvTable* big = kvarta->TableList().Add("BIG", &many);
    big->MoveBy(0, 300);
    TKvLink* below = area->AddLink(emp, big, Row(emp, "LOCATION"), big->Items()[15]);
    TKvLink* above = area->AddLink(emp, big, Row(emp, "DEPT_NO"), big->Items()[2]);
    QVERIFY(below && above);
    const int bottomStrip = big->Top() + big->Height() - big->BorderWidth();
    QVERIFY(below->Points().last().y() >= bottomStrip);
    big->SetTopIndex(14); // scrolling re-routes the links
    const QRect row = big->GetItemLinkRect(big->Items()[15]);
    QCOMPARE(below->Points().last().y(), row.top() + row.height() / 2);
    QCOMPARE(above->Points().last().y(), big->Top() + big->CaptionHeight() / 2);
    big->SetTopIndex(0);
    big->SetExpanded(false);
    QCOMPARE(below->Points().last().y(), big->Top() + big->CaptionHeight() / 2);
  }

  void unlinkAndCloseRemoveEveryLinkOfTheWindow() {
    LinkDept();
    area->AddLink(dept, emp, Row(dept, "LOCATION"), Row(emp, "LOCATION"));
    TKvTable* third = kvarta->TableList().Add("THIRD", &DeptFields());
    area->AddLink(third, dept, Row(third, "BUDGET"), Row(dept, "BUDGET"));
    TKvAnswer answer(false);
    area->SelectObject(emp);
    Click(surface, ButtonPoint(emp, 1));
    QCOMPARE(area->Links().size(), 1);
    QCOMPARE(Def("EMPLOYEE")->Joins()->Count(), 0);
    dept->Close();
    QVERIFY(area->Links().isEmpty());
    QVERIFY(area->Joins().isEmpty());
    QVERIFY(answer.Texts.isEmpty());
  }

  void clearFiresNothing() {
    LinkDept();
    int events = 0;
    area->OnLinkRemoved = [&](TKvWorkArea*, TKvLink*) { ++events; };
    area->OnTableRemoved = [&](TKvWorkArea*, TKvTable*) { ++events; };
    area->Clear();
    QCOMPARE(events, 0);
    QVERIFY(area->Links().isEmpty() && area->Joins().isEmpty() && area->Tables().isEmpty());
  }

  void doubleClickOnASelectedLinkOpensTheDialog() {
    TKvLink* link = LinkDept();
    Click(surface, OnLine(link));
    TfmLinkProp* dialog = area->LinkPropDialog();
    QTimer::singleShot(0, dialog, [dialog] {
      dialog->chRightOuter->setChecked(true);
      dialog->buOK->click();
    });
    DoubleClick(surface, OnLine(link));
    QCOMPARE(link->Join()->JoinType(), 2);
    QCOMPARE(int(Def("EMPLOYEE")->Joins()->Items(0)->JoinType()), 2);
  }

  void linkChangesRepaintEverythingTheyAlter() {
    TKvLink* link = LinkDept();
    TKvLink* second = area->AddLink(dept, emp, Row(dept, "LOCATION"), Row(emp, "LOCATION"));
    const QList<std::pair<const char*, std::function<void()>>> changes = {
        {"select", [&] { area->SelectObject(link); }},
        {"deselect", [&] { area->SelectObject(emp); }},
        {"move window", [&] { dept->MoveBy(-25, 40); }},
        {"resize window", [&] { dept->SetHeight(dept->Height() + 30); }},
        {"insert point",
         [&] {
           link->SetMenuPoint(OnLine(link));
           link->InsertPoint();
         }},
        {"delete point",
         [&] {
           link->SetMenuPoint(link->Point(2));
           link->DeletePoint();
         }},
        {"remove", [&] { area->RemoveLink(second, int(area->Links().indexOf(second)), true); }},
        {"unlink", [&] { emp->Unlink(); }},
    };
    for (const auto& [name, change] : changes) {
      const QString stale = StaleAfter(area, change);
      QVERIFY2(stale.isEmpty(), qPrintable(QString::fromLatin1(name) + ": " + stale));
    }
  }

  void keptLinkPictureMatchesAFreshDrawing() {
    TKvLink* link = LinkDept();
    area->AddLink(dept, emp, Row(dept, "LOCATION"), Row(emp, "LOCATION"));
    auto paint = [this] {
      QImage image(surface->size(), QImage::Format_RGB32);
      QPainter p(&image);
      area->PaintSurface(p, image.rect());
      return image;
    };
    auto fresh = [&] {
      area->InvalidateAll();
      return paint();
    };
    paint();
    area->ScrollTo(17, 9);
    QCOMPARE(paint(), fresh());
    link->Join()->SetJoinType(3);
    link->InvalidateRegion(0);
    dept->MoveBy(35, -20);
    area->SelectObject(link);
    QCOMPARE(paint(), fresh());
    area->RemoveLink(link, int(area->Links().indexOf(link)), true);
    area->ScrollTo(0, 0);
    QCOMPARE(paint(), fresh());
  }

  void windowsCoverTheLinksTheyLieOn() {
    TKvLink* link = LinkDept();
    QImage image(surface->size(), QImage::Format_RGB32);
    {
      QPainter p(&image);
      area->PaintSurface(p, image.rect());
    }
    const QPoint middle = OnLine(link);
    auto darkest = [&image](QPoint p) {
      int value = 255;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
          value = std::min(value, QColor(image.pixel(p + QPoint(dx, dy))).value());
      return value;
    };
    QVERIFY(darkest(middle) < 100);
    // Move EMPLOYEE over the middle of the link: the window now hides it there.
    const QPoint logical = area->ToLogical(middle);
    TKvTable* cover = kvarta->TableList().Add("COVER", &DeptFields());
    // The point lands on the gap between the first two rows, which shows the rows' colour.
    const int gap = cover->CaptionHeight() + 1 + cover->ItemHeight();
    cover->MoveBy(logical.x() - 60 - cover->Left(), logical.y() - gap - cover->Top());
    {
      QPainter p(&image);
      area->PaintSurface(p, image.rect());
    }
    QVERIFY(QColor(image.pixel(middle)).value() > 150);
  }
};

QTEST_MAIN(TestLinks)
#include "tst_links.moc"
