// The link properties dialog: what it shows, its sizes, and what OK and Cancel write.

#include "KvError.h"
#include "KvFloatPanel.h"
#include "KvLinkProp.h"
#include "KvLinks.h"
#include "KvParser.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestLinkProp : public QObject {
  Q_OBJECT

  std::unique_ptr<TCustomKvarta> kvarta;
  TKvWorkArea* area = nullptr;
  TfmLinkProp* dialog = nullptr;
  TKvTable* emp = nullptr;
  TKvTable* dept = nullptr;
  TKvLink* first = nullptr;
  TKvLink* second = nullptr;

  TKvJoinDef* Entry(const char* field) {
    return kvarta->SelectParser()
        ->TableDefs()
        ->FindByAlias("EMPLOYEE")
        ->Joins()
        ->Find(field, "DEPARTMENT", field);
  }

private slots:
  void init() {
    kvarta = MakeKvarta();
    area = kvarta->WorkArea();
    dialog = area->LinkPropDialog();
    emp = kvarta->TableList().Add("EMPLOYEE", &EmployeeFields());
    dept = kvarta->TableList().Add("DEPARTMENT", &DepartmentFields());
    first = area->AddLink(emp, dept, emp->FindItem("DEPT_NO"), dept->FindItem("DEPT_NO"));
    second = area->AddLink(emp, dept, emp->FindItem("JOB_COUNTRY"), dept->FindItem("LOCATION"));
    QVERIFY(first && second);
  }
  void cleanup() { kvarta.reset(); }

  void refusesToShowWithoutALink() {
    area->SetCurrentLink(nullptr);
    try {
      dialog->FormShow();
      QFAIL("no error");
    } catch (const EKvError& e) {
      QCOMPARE(e.Message(), QStringLiteral("Invalid link"));
    }
    QVERIFY_THROWS_EXCEPTION(EKvError, dialog->exec());
    QVERIFY(!dialog->isVisible());
    dialog->buOKClick(); // nothing to write to
  }

  void showsTheLinkAndItsJoin() {
    first->Join()->SetJoinType(2);
    first->SetOperatorIndex(5);
    area->SetCurrentLink(first);
    dialog->FormShow();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Link properties"));
    QCOMPARE(dialog->laCaption->text(), QStringLiteral("join tables: EMPLOYEE and DEPARTMENT"));
    QCOMPARE(dialog->laLeftField->text(), QStringLiteral("DEPT_NO"));
    QCOMPARE(dialog->laRightField->text(), QStringLiteral("DEPT_NO"));
    QCOMPARE(dialog->chLeftOuter->text(), QStringLiteral("Include all from EMPLOYEE"));
    QCOMPARE(dialog->chRightOuter->text(), QStringLiteral("Include all from DEPARTMENT"));
    QVERIFY(!dialog->chLeftOuter->isChecked());
    QVERIFY(dialog->chRightOuter->isChecked());
    QCOMPARE(dialog->cbConditions->currentText(), QStringLiteral("<>"));
    QStringList items;
    for (int i = 0; i < dialog->cbConditions->count(); ++i)
      items << dialog->cbConditions->itemText(i);
    QCOMPARE(items, (QStringList{"=", ">", "<", ">=", "<=", "<>"}));
    QVERIFY(!dialog->cbConditions->isEditable());
  }

  void okWritesJoinTypeToEveryLinkAndOperatorToTheModel() {
    area->SetCurrentLink(first);
    dialog->FormShow();
    dialog->chLeftOuter->setChecked(true);
    dialog->chRightOuter->setChecked(true);
    dialog->cbConditions->setCurrentIndex(3);
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(first->Join()->JoinType(), 3);
    QCOMPARE(second->Join()->JoinType(), 3);
    QCOMPARE(int(Entry("DEPT_NO")->JoinType()), 3);
    QCOMPARE(Entry("DEPT_NO")->Operator(), QStringLiteral(">="));
    QCOMPARE(first->GetHint(), QStringLiteral("EMPLOYEE.DEPT_NO>=DEPARTMENT.DEPT_NO"));
    // The other condition keeps its operator but follows the pair's join type.
    TKvJoinDef* other = kvarta->SelectParser()
                            ->TableDefs()
                            ->FindByAlias("EMPLOYEE")
                            ->Joins()
                            ->Find("JOB_COUNTRY", "DEPARTMENT", "LOCATION");
    QCOMPARE(other->Operator(), QStringLiteral("="));
    QCOMPARE(int(other->JoinType()), 3);
    QCOMPARE(second->OperatorIndex(), 0);
  }

  void joinTypeFromTheBoxes_data() {
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("type");
    QTest::newRow("none") << false << false << 0;
    QTest::newRow("left") << true << false << 1;
    QTest::newRow("right") << false << true << 2;
    QTest::newRow("both") << true << true << 3;
  }
  void joinTypeFromTheBoxes() {
    QFETCH(bool, left);
    QFETCH(bool, right);
    QFETCH(int, type);
    first->Join()->SetJoinType(3 - type);
    area->SetCurrentLink(second);
    dialog->FormShow();
    dialog->chLeftOuter->setChecked(left);
    dialog->chRightOuter->setChecked(right);
    dialog->buOKClick();
    QCOMPARE(first->Join()->JoinType(), type);
  }

  void cancelChangesNothing() {
    area->SetCurrentLink(first);
    QTimer::singleShot(0, dialog, [this] {
      dialog->chLeftOuter->setChecked(true);
      dialog->cbConditions->setCurrentIndex(2);
      dialog->buCancel->click();
    });
    QCOMPARE(dialog->exec(), int(QDialog::Rejected));
    QCOMPARE(first->Join()->JoinType(), 0);
    QCOMPARE(first->OperatorIndex(), 0);
    QCOMPARE(Entry("DEPT_NO")->Operator(), QStringLiteral("="));
    QCOMPARE(int(Entry("DEPT_NO")->JoinType()), 0);
  }

  void reversedModelEntryGetsTheMirroredType() {
    TKvTableDefs* defs = kvarta->SelectParser()->TableDefs();
    area->RemoveLink(first, 0, false);
    TKvJoinDef* entry = defs->FindByAlias("DEPARTMENT")->Joins()->Add();
    entry->SetField("DEPT_NO");
    entry->SetJoinTable("EMPLOYEE");
    entry->SetJoinField("DEPT_NO");
    TKvLink* link = area->AddLink(emp, dept, emp->FindItem("DEPT_NO"), dept->FindItem("DEPT_NO"));
    area->SetCurrentLink(link);
    dialog->FormShow();
    dialog->chLeftOuter->setChecked(true); // all rows of EMPLOYEE
    dialog->buOKClick();
    QCOMPARE(link->Join()->JoinType(), 1);
    QCOMPARE(int(entry->JoinType()), 2); // DEPARTMENT RIGHT OUTER JOIN EMPLOYEE
  }

  void foreignOperatorOfTheModelIsKept() {
    area->RemoveLink(first, 0, false);
    TKvJoinDef* entry =
        kvarta->SelectParser()->TableDefs()->FindByAlias("EMPLOYEE")->Joins()->Add();
    entry->SetField("DEPT_NO");
    entry->SetJoinTable("DEPARTMENT");
    entry->SetJoinField("DEPT_NO");
    entry->SetOperator("LIKE");
    TKvLink* link = area->AddLink(emp, dept, emp->FindItem("DEPT_NO"), dept->FindItem("DEPT_NO"));
    QCOMPARE(link->OperatorIndex(), -1);
    QCOMPARE(link->GetHint(), QStringLiteral("EMPLOYEE.DEPT_NOLIKEDEPARTMENT.DEPT_NO"));
    area->SetCurrentLink(link);
    dialog->FormShow();
    QCOMPARE(dialog->cbConditions->currentText(), QStringLiteral("LIKE"));
    dialog->buOKClick();
    QCOMPARE(entry->Operator(), QStringLiteral("LIKE"));
    // Another show of a plain link offers the six operators again.
    area->SetCurrentLink(second);
    dialog->FormShow();
    QCOMPARE(dialog->cbConditions->count(), 6);
  }

  void widthRulesAndCentring() {
    TKvTestDataSet fields = {{"ID", ftInteger}};
    TKvTable* a = kvarta->TableList().Add("A", &fields);
    TKvTable* b = kvarta->TableList().Add("B", &fields);
    area->SetCurrentLink(area->AddLink(a, b, a->Items()[0], b->Items()[0]));
    dialog->resize(TfmLinkProp::DesignWidth, dialog->height());
    dialog->FormShow();
    QCOMPARE(dialog->MinWidth(), 360);
    QCOMPARE(dialog->width(), 360);
    QVERIFY(!dialog->FormCanResize(400, dialog->height() + 20));
    QVERIFY(!dialog->FormCanResize(359, dialog->height()));
    QVERIFY(dialog->FormCanResize(500, dialog->height()));
    QCOMPARE(dialog->minimumHeight(), dialog->maximumHeight());
    dialog->show();
    dialog->resize(500, dialog->height());
    const int w = dialog->width();
    QCOMPARE(w, 500);
    const int combo = dialog->cbConditions->width();
    QCOMPARE(dialog->cbConditions->x(), (w - combo) / 2);
    QCOMPARE(dialog->laLeftField->x() + dialog->laLeftField->width(), (w - combo) / 2 - 1);
    QCOMPARE(dialog->laRightField->x(), (w + combo) / 2 + 1);
    QCOMPARE(dialog->chRightOuter->x(), w / 2 + 4);
    QCOMPARE(dialog->chLeftOuter->x() + dialog->chLeftOuter->width(), w / 2 - 4);
    QCOMPARE(dialog->buOK->x(), w / 2 - 20 - dialog->buOK->width());
    QCOMPARE(dialog->buCancel->x(), w / 2 + 20);
    dialog->hide();
  }

  void longNamesWidenTheDialog() {
    const QString longName(60, QLatin1Char('N'));
    TKvTestDataSet fields = {{longName, ftInteger}};
    TKvTable* a = kvarta->TableList().Add("A_TABLE_WITH_A_VERY_LONG_NAME_INDEED", &fields);
    TKvTable* b = kvarta->TableList().Add("B", &fields);
    TKvLink* link = area->AddLink(a, b, a->Items()[0], b->Items()[0]);
    area->SetCurrentLink(link);
    dialog->FormShow();
    const int label = dialog->laLeftField->width();
    QVERIFY(dialog->MinWidth() >= 2 * label + dialog->cbConditions->width() + 22);
    QVERIFY(dialog->width() >= dialog->MinWidth());
    QVERIFY(dialog->MinWidth() > 360);
  }
};

QTEST_MAIN(TestLinkProp)
#include "tst_linkprop.moc"
