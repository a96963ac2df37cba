// The main window end to end on the EMPLOYEE database: connecting, the table list, building a
// query on the designer, the SQL page in both directions, executing, files, and errors.

#include "../db/support/FbTestDb.h"
#include "../db/support/FbTestServer.h"
#include "ConnectForm.h"
#include "FbDatabase.h"
#include "FbQuery.h"
#include "FbResultModel.h"
#include "FbStatementRunner.h"
#include "KvFloatPanel.h"
#include "KvLinks.h"
#include "MainForm.h"
#include "PageControl.h"
#include "ResultPage.h"
#include "SqlFile.h"
#include "support/DemoTestSupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList ListedTables(const TfmMain& w) {
  QStringList names;
  for (int i = 0; i < w.lvTables->topLevelItemCount(); ++i)
    names << w.lvTables->topLevelItem(i)->text(0);
  return names;
}

QStringList Ticked(const TKvTable* table) {
  QStringList names;
  for (const TKvListItem* item : table->Items())
    if (item->Checked()) names << item->Name();
  return names;
}

// The rows the Result page holds, all of them fetched.
QList<QStringList> GridRows(TfmMain& w) {
  w.WaitForResult();
  TFbResultModel* model = w.DataSource();
  model->FetchAll();
  w.WaitForResult();
  QList<QStringList> rows;
  for (int r = 0; r < model->rowCount(); ++r) {
    QStringList row;
    for (int c = 0; c < model->columnCount(); ++c)
      row << model->Text(r, c);
    rows << row;
  }
  return rows;
}

QString Lf(const QString& text) {
  return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Pictures of the window for a person to look at, when KV_SCREENSHOTS names a folder.
void Picture(QWidget* window, const QString& name) {
  const QString folder = qEnvironmentVariable("KV_SCREENSHOTS");
  if (folder.isEmpty()) return;
  QApplication::processEvents(); // the layout catches up with what changed
  window->grab().save(folder + QLatin1Char('/') + name + ".png");
}

} // namespace

class TestMainForm : public QObject {
  Q_OBJECT

  TSampleDb m_sample;
  std::unique_ptr<TfmMain> w;
  std::unique_ptr<TErrorBoxes> errors;
  QTemporaryDir m_files;

  // Connects through the connect dialog as the user fills it in.
  void Connect(int dialect, const QString& file = QString()) {
    TDialogScript script;
    script.Add([&](QDialog* dialog) {
      auto* form = qobject_cast<TfmConnect*>(dialog);
      if (!form) return int(QDialog::Rejected);
      form->edDBFile->setText(file.isEmpty() ? m_sample.Path() : file);
      form->edUserName->setText(QStringLiteral("SYSDBA"));
      form->edPassword->setText(QStringLiteral("masterkey"));
      form->cbCharset->setCurrentText(QStringLiteral("ISO8859_1"));
      (dialect == 1 ? form->rbDialect1 : form->rbDialect3)->setChecked(true);
      return int(QDialog::Accepted);
    });
    w->tbConnect->trigger();
    QVERIFY(script.Done());
  }
  void ClickTab(int index) {
    QTabBar* bar = w->Pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(index).center());
  }
  void DoubleClickTable(const QString& name) {
    const QList<QTreeWidgetItem*> found = w->lvTables->findItems(name, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(name));
    w->lvTables->scrollToItem(found.first());
    const QPoint at = w->lvTables->visualItemRect(found.first()).center();
    // A double click follows a click, as from a real mouse.
    QTest::mouseClick(w->lvTables->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(w->lvTables->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  TKvTable* Window(const QString& name) const { return w->Kvarta->TableList().FindTable(name); }
  // Types a statement into the SQL page as the user would.
  void TypeStatement(const QString& text) {
    if (w->ActivePage() != TfmMain::pgSQL) ClickTab(TfmMain::pgSQL);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    w->mmSQL->selectAll();
    QTest::keyClick(w->mmSQL, Qt::Key_Delete);
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
      if (i > 0) QTest::keyClick(w->mmSQL, Qt::Key_Return);
      QTest::keyClicks(w->mmSQL, lines[i]);
    }
  }
  QString WriteFile(const QString& name, const QByteArray& content) {
    const QString path = m_files.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return QString();
    file.write(content);
    return path;
  }

private slots:
  void initTestCase() { QVERIFY2(!m_sample.Path().isEmpty(), qPrintable(m_sample.Errors())); }
  void init() {
    errors = std::make_unique<TErrorBoxes>();
    w = std::make_unique<TfmMain>();
    w->resize(1000, 700);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
  }
  void cleanup() {
    w.reset();
    errors.reset();
  }

  // --- start, connect, disconnect ---

  void startsDisconnected() {
    QCOMPARE(w->windowTitle(),
             QStringLiteral("Ostrel InterBase/FireBird Kvarta demo application [] "));
    QCOMPARE(w->ActivePage(), TfmMain::pgBuilder);
    QVERIFY(!w->Pages->isTabVisible(TfmMain::pgResult));
    QCOMPARE(w->lvTables->topLevelItemCount(), 0);
    QVERIFY(!w->tbDisconnect->isEnabled());
    QCOMPARE(w->Database().Params(), QStringList({"user_name=sysdba", "password=blueorbit"}));
    // Toggling the system tables while disconnected only toggles the mark.
    w->miShowSystemTables->trigger();
    QVERIFY(w->miShowSystemTables->isChecked());
    QCOMPARE(w->lvTables->topLevelItemCount(), 0);
    QVERIFY(errors->Texts.isEmpty());
  }

  void connectsThroughTheDialog_data() {
    QTest::addColumn<int>("dialect");
    QTest::newRow("dialect 1") << 1;
    QTest::newRow("dialect 3") << 3;
  }
  void connectsThroughTheDialog() {
    QFETCH(int, dialect);
    Connect(dialect);
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
    QVERIFY(w->Database().Connected());
    QCOMPARE(w->Database().SQLDialect(), dialect);
    QCOMPARE(w->Kvarta->SQLDialect(), dialect == 1 ? kibDialect1 : kibDialect3);
    QCOMPARE(w->windowTitle(), QStringLiteral("Ostrel InterBase/FireBird Kvarta demo application "
                                              "[%1] (SQL Dialect %2)")
                                   .arg(m_sample.Path())
                                   .arg(dialect));
    QCOMPARE(w->Database().Param("lc_ctype"), QStringLiteral("ISO8859_1"));
    QVERIFY(w->tbDisconnect->isEnabled());

    // The designer reads columns in the connection's dialect.
    DoubleClickTable("EMPLOYEE");
    QVERIFY(Window("EMPLOYEE"));
    QVERIFY(Window("EMPLOYEE")->FindItem("FULL_NAME"));
    QVERIFY(errors->Texts.isEmpty());
  }

  void tableListWithAndWithoutSystemTables() {
    Connect(3);
    const QStringList user = ListedTables(*w);
    QStringList sorted = user;
    sorted.sort();
    QCOMPARE(user, sorted);
    for (const char* name : {"COUNTRY", "CUSTOMER", "DEPARTMENT", "EMPLOYEE", "JOB", "SALES"})
      QVERIFY2(user.contains(name), name);
    QVERIFY(!user.contains("PHONE_LIST")); // a view
    QVERIFY(std::none_of(user.begin(), user.end(),
                         [](const QString& n) { return n.startsWith("RDB$"); }));

    w->miShowSystemTables->trigger();
    const QStringList all = ListedTables(*w);
    sorted = all;
    sorted.sort();
    QCOMPARE(all, sorted);
    QVERIFY(all.contains("RDB$RELATIONS"));
    QVERIFY(all.contains("EMPLOYEE"));
    QVERIFY(all.size() > user.size());

    w->miShowSystemTables->trigger();
    QCOMPARE(ListedTables(*w), user);
    // The check mark is kept for the next connection.
    w->miShowSystemTables->trigger();
    w->tbDisconnect->trigger();
    Connect(3);
    QVERIFY(ListedTables(*w).contains("RDB$RELATIONS"));
  }

  void disconnectClearsQueryListAndName() {
    Connect(3);
    DoubleClickTable("EMPLOYEE");
    ClickTab(TfmMain::pgSQL);
    QVERIFY(!w->mmSQL->toPlainText().isEmpty());
    w->tbExecute->trigger();
    QVERIFY(w->Pages->isTabVisible(TfmMain::pgResult));

    w->tbDisconnect->trigger();
    QVERIFY(!w->Database().Connected());
    QCOMPARE(w->Database().DatabaseName(), QString());
    QCOMPARE(w->windowTitle(),
             QStringLiteral("Ostrel InterBase/FireBird Kvarta demo application [] "));
    QCOMPARE(w->lvTables->topLevelItemCount(), 0);
    QCOMPARE(w->Kvarta->TableList().Count(), 0);
    QVERIFY(w->mmSQL->toPlainText().isEmpty());
    QVERIFY(!w->Pages->isTabVisible(TfmMain::pgResult));
    QCOMPARE(w->Runner()->State(), TFbStatementRunner::rsIdle);
    QVERIFY(errors->Texts.isEmpty());
  }

  void closingDisconnects() {
    Connect(3);
    w->close();
    QVERIFY(!w->Database().Connected());
  }

  // --- building a query ---

  void builtQueryRunsAsTheSameStatementDirectly() {
    Connect(3);
    DoubleClickTable("EMPLOYEE");
    DoubleClickTable("DEPARTMENT");
    TKvTable* employee = Window("EMPLOYEE");
    TKvTable* department = Window("DEPARTMENT");
    QVERIFY(employee && department);
    QVERIFY(!employee->BoundsRect().intersects(department->BoundsRect()));
    employee->FindItem("EMP_NO")->Click(true);
    employee->FindItem("FULL_NAME")->Click(true);
    department->FindItem("DEPARTMENT")->Click(true);
    QVERIFY(w->Kvarta->WorkArea()->AddLink(employee, department, employee->FindItem("DEPT_NO"),
                                           department->FindItem("DEPT_NO")));
    QCOMPARE(w->Runner()->State(), TFbStatementRunner::rsIdle); // reading columns runs nothing

    ClickTab(TfmMain::pgSQL);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    const QString sql = w->mmSQL->toPlainText();
    // The designer's own layout: a blank after SELECT and after each table, a final line break.
    QCOMPARE(sql, QStringLiteral(
                      "SELECT \n"
                      "  EMPLOYEE.EMP_NO,\n"
                      "  EMPLOYEE.FULL_NAME,\n"
                      "  DEPARTMENT.DEPARTMENT\n"
                      "FROM\n"
                      "  EMPLOYEE \n"
                      "  INNER JOIN DEPARTMENT ON (EMPLOYEE.DEPT_NO = DEPARTMENT.DEPT_NO)\n"));
    QVERIFY(!w->mmSQL->document()->isModified());

    QTest::keyClick(w.get(), Qt::Key_F9);
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QVERIFY(w->Pages->isTabVisible(TfmMain::pgResult));
    const QList<QStringList> expected = FetchAllText(w->Database(), sql);
    QCOMPARE(expected.size(), 42);
    QCOMPARE(GridRows(*w), expected);
    QCOMPARE(w->laRows->text(), QStringLiteral("42 rows"));
  }

  void executeFromTheBuilderPageRunsTheDesignersStatement() {
    Connect(3);
    DoubleClickTable("COUNTRY");
    QTest::keyClick(w.get(), Qt::Key_F9);
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QCOMPARE(Lf(w->Runner()->SQL()), w->mmSQL->toPlainText());
    QCOMPARE(GridRows(*w), FetchAllText(w->Database(), w->Runner()->SQL()));
  }

  void dropPlacesTheWindowAtThePoint() {
    Connect(3);
    w->lvTables->setCurrentItem(w->lvTables->findItems("JOB", Qt::MatchExactly).first());
    bool accept = false;
    w->KvartaDragOver(w->Kvarta, w->mmSQL, nullptr, 10, 10, dsDragMove, accept);
    QVERIFY(!accept);
    w->KvartaDragOver(w->Kvarta, w->lvTables, nullptr, 10, 10, dsDragMove, accept);
    QVERIFY(accept);

    // Only the table list is a source of tables.
    w->KvartaDragDrop(w->Kvarta, w->mmSQL, nullptr, 300, 200);
    QCOMPARE(w->Kvarta->TableList().Count(), 0);

    TKvWorkArea* area = w->Kvarta->WorkArea();
    area->ScrollTo(40, 30);
    w->KvartaDragDrop(w->Kvarta, w->lvTables, nullptr, 300, 200);
    TKvTable* job = Window("JOB");
    QVERIFY(job);
    const QPoint expected = area->ToLogical(area->viewport()->mapFrom(w->Kvarta, QPoint(300, 200)));
    QCOMPARE(QPoint(job->Left(), job->Top()), expected);
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // A point on an edge places it where the designer puts new windows.
    w->KvartaDragDrop(w->Kvarta, w->lvTables, nullptr, 0, 120);
    TKvTable* second = Window("JOB1");
    QVERIFY(second);
    QCOMPARE(second->Top(), 20);
  }

  void tablesAreAddedFromTheKeyboard() {
    Connect(3);
    w->lvTables->setFocus();
    w->lvTables->setCurrentItem(w->lvTables->findItems("SALES", Qt::MatchExactly).first());
    QTest::keyClick(w->lvTables, Qt::Key_Return);
    QVERIFY(Window("SALES"));
  }

  void doubleClickOnTheSqlPageShowsTheDesigner() {
    Connect(3);
    ClickTab(TfmMain::pgSQL);
    DoubleClickTable("JOB");
    QCOMPARE(w->ActivePage(), TfmMain::pgBuilder);
    QVERIFY(Window("JOB"));
  }

  // --- the SQL page ---

  void typedStatementBecomesWindowsAndLinks() {
    Connect(3);
    TypeStatement("select e.emp_no, d.department\n"
                  "from employee e\n"
                  "  inner join department d on e.dept_no = d.dept_no");
    QVERIFY(w->mmSQL->document()->isModified());
    ClickTab(TfmMain::pgBuilder);
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
    QCOMPARE(w->ActivePage(), TfmMain::pgBuilder);
    TKvTable* e = Window("E");
    TKvTable* d = Window("D");
    QVERIFY(e && d);
    QCOMPARE(e->TableName(), QStringLiteral("EMPLOYEE"));
    QCOMPARE(d->TableName(), QStringLiteral("DEPARTMENT"));
    QCOMPARE(Ticked(e), QStringList({"EMP_NO"}));
    QCOMPARE(Ticked(d), QStringList({"DEPARTMENT"}));
    const QList<TKvLink*>& links = w->Kvarta->WorkArea()->Links();
    QCOMPARE(links.size(), 1);
    QCOMPARE(links.first()->Item1()->Name(), QStringLiteral("DEPT_NO"));
    QCOMPARE(links.first()->Item2()->Name(), QStringLiteral("DEPT_NO"));
    QVERIFY(!w->mmSQL->document()->isModified());

    // Back on the SQL page the designer writes the statement again.
    ClickTab(TfmMain::pgSQL);
    QVERIFY(w->mmSQL->toPlainText().startsWith("SELECT \n  E.EMP_NO,\n  D.DEPARTMENT\nFROM\n"));
  }

  void brokenStatementKeepsTheSqlPage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("unexpected token")
        << "select emp_no\nfrom employee\norder emp_no"
        << "order" << 2 << "Invalid token 'order' at position 1 of line 3.";
    QTest::newRow("unterminated string") << "select emp_no\nfrom employee\nwhere last_name = 'Lee"
                                         << "'Lee" << 2 << "Unterminated string.";
  }
  void brokenStatementKeepsTheSqlPage() {
    QFETCH(QString, text);
    QFETCH(QString, selected);
    QFETCH(int, line);
    QFETCH(QString, message);
    Connect(3);
    TypeStatement(text);
    // Every way of leaving the page is refused: the tab, the keyboard, Execute's page change.
    ClickTab(TfmMain::pgBuilder);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    QCOMPARE(errors->Texts, QStringList({message}));
    QVERIFY(w->mmSQL->document()->isModified());
    QCOMPARE(w->mmSQL->textCursor().selectedText(), selected);
    QCOMPARE(w->mmSQL->textCursor().block().blockNumber(), line);
    QCOMPARE(w->mmSQL->toPlainText(), text);

    QTest::keyClick(w->Pages, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    QCOMPARE(errors->Texts.size(), 2);
    QVERIFY(!w->Pages->SelectPage(TfmMain::pgBuilder));
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
  }

  void executeOnTheSqlPageRunsTextTheDesignerCannotRead() {
    Connect(3);
    // FIRST belongs to Firebird's clause, which the designer (set for InterBase) does not read.
    TypeStatement("select first 3 emp_no from employee order by emp_no");
    QTest::keyClick(w.get(), Qt::Key_F9);
    QCOMPARE(errors->Texts.size(), 1); // the parse error, then the server runs it
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QCOMPARE(GridRows(*w), QList<QStringList>({{"2"}, {"4"}, {"5"}}));
    // The unread text comes back when the Builder page is asked for: refused, back to SQL.
    ClickTab(TfmMain::pgBuilder);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    QCOMPARE(w->mmSQL->toPlainText(), "select first 3 emp_no from employee order by emp_no");
  }

  void executeOnTheResultPageRunsAgain() {
    Connect(3);
    TypeStatement("select country from country");
    w->tbExecute->trigger();
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    const int before = int(GridRows(*w).size());
    // Rows added meanwhile show when F9 is pressed on the Result page.
    const auto exec = [&](const char* sql) {
      TFbQuery query(&w->Database());
      query.SetSQL(sql);
      query.ExecSQL();
      w->Database().DefaultTransaction().Commit();
    };
    exec("insert into country values ('Atlantis', 'Orichalcum')");
    QTest::keyClick(w.get(), Qt::Key_F9);
    QCOMPARE(w->Runner()->SQL(), "select country from country");
    QCOMPARE(GridRows(*w).size(), before + 1);
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QVERIFY(errors->Texts.isEmpty());
    exec("delete from country where country = 'Atlantis'");
  }

  void resultStatusCountsFetchedRows() {
    Connect(3);
    TypeStatement("select a.rdb$relation_name from rdb$relations a, rdb$relations b");
    w->tbExecute->trigger();
    w->WaitForResult();
    QCOMPARE(w->laRows->text(), QStringLiteral("256 rows fetched, more remain"));
    QVERIFY(!w->nbPrior->isEnabled());
    QVERIFY(w->nbNext->isEnabled());
    w->nbLast->trigger();
    w->WaitForResult();
    const int all = w->DataSource()->FetchedRows();
    QVERIFY(all > 256);
    QCOMPARE(w->laRows->text(), QStringLiteral("%L1 rows").arg(all));
    QCOMPARE(w->DBGrid->currentIndex().row(), all - 1);
    QVERIFY(!w->nbNext->isEnabled());
    w->nbFirst->trigger();
    QCOMPARE(w->DBGrid->currentIndex().row(), 0);
  }

  void clearEmptiesDesignerTextAndResult() {
    Connect(3);
    DoubleClickTable("EMPLOYEE");
    w->tbExecute->trigger();
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    w->tbClear->trigger();
    QCOMPARE(w->Kvarta->TableList().Count(), 0);
    QVERIFY(w->mmSQL->toPlainText().isEmpty());
    QCOMPARE(w->Runner()->State(), TFbStatementRunner::rsIdle);
    QVERIFY(!w->Pages->isTabVisible(TfmMain::pgResult));
    QCOMPARE(w->ActivePage(), TfmMain::pgBuilder);
  }

  // --- files ---

  void loadAndSaveRoundTrip() {
    Connect(3);
    const QString in = WriteFile("in.sql", "select emp_no\r\nfrom employee\r\n");
    const QString out = m_files.filePath("out.sql");
    ClickTab(TfmMain::pgSQL);
    TDialogScript script;
    script.Add(ChooseFile(in));
    script.Add(ChooseFile(out));
    QTest::keyClick(w.get(), Qt::Key_F3);
    QCOMPARE(w->mmSQL->toPlainText(), QStringLiteral("select emp_no\nfrom employee"));
    QVERIFY(w->mmSQL->document()->isModified());
    QCOMPARE(w->FileName(), in);

    QTest::keyClick(w.get(), Qt::Key_F2, Qt::ControlModifier);
    QVERIFY(script.Done());
    QFile saved(out);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("select emp_no\r\nfrom employee\r\n")); // as it came
    saved.close();

    // F2 writes to the last file without asking.
    w->mmSQL->moveCursor(QTextCursor::End);
    QTest::keyClicks(w->mmSQL, " ");
    QTest::keyClick(w.get(), Qt::Key_F2);
    QCOMPARE(script.Shown, 2);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().endsWith("employee \r\n"));

    // The saved file reads back into the designer.
    ClickTab(TfmMain::pgBuilder);
    script.Add(ChooseFile(out));
    w->miLoad->trigger();
    QVERIFY(Window("EMPLOYEE"));
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
  }

  void cancelledMissingAndFirstFiles() {
    TypeStatement("select 1 from rdb$database");
    TDialogScript script;
    script.Add([](QDialog*) { return int(QDialog::Rejected); });
    script.Add(ChooseFile(m_files.filePath("missing.sql")));
    w->tbLoad->trigger(); // cancelled
    w->tbLoad->trigger(); // a file that is not there
    QCOMPARE(w->mmSQL->toPlainText(), QStringLiteral("select 1 from rdb$database"));
    QCOMPARE(w->FileName(), QString());
    QCOMPARE(errors->Texts.size(), 1);
    QVERIFY(errors->Texts.first().contains("missing.sql"));
    // "Save" without a file asks for one.
    const QString out = m_files.filePath("first.sql");
    script.Add(ChooseFile(out));
    w->miSave->trigger();
    QCOMPARE(script.Shown, 3);
    QCOMPARE(w->FileName(), out);
    QVERIFY(QFile::exists(out));
  }

  void loadOnTheBuilderPageReachesTheDesigner() {
    Connect(3);
    TDialogScript script;
    script.Add(ChooseFile(WriteFile("builder.sql", "select job_title from job\n")));
    w->tbLoad->trigger();
    QCOMPARE(w->ActivePage(), TfmMain::pgBuilder);
    QVERIFY(Window("JOB"));
    QCOMPARE(Ticked(Window("JOB")), QStringList({"JOB_TITLE"}));
    ClickTab(TfmMain::pgSQL);
    QCOMPARE(w->mmSQL->toPlainText(), QStringLiteral("SELECT \n  JOB.JOB_TITLE\nFROM\n  JOB\n"));

    // What the designer cannot read stays as text, on the SQL page.
    ClickTab(TfmMain::pgBuilder);
    script.Add(ChooseFile(WriteFile("broken.sql", "select job_title job where\n")));
    w->tbLoad->trigger();
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    QCOMPARE(w->mmSQL->toPlainText(), QStringLiteral("select job_title job where"));
    QVERIFY(w->mmSQL->document()->isModified());
    QCOMPARE(errors->Texts.size(), 1);
  }

  void saveOnTheBuilderPageWritesTheDesignersStatement() {
    Connect(3);
    DoubleClickTable("COUNTRY");
    Window("COUNTRY")->FindItem("CURRENCY")->Click(true);
    const QString out = m_files.filePath("designer.sql");
    TDialogScript script;
    script.Add(ChooseFile(out));
    w->tbSave->trigger();
    QFile saved(out);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("SELECT \n  COUNTRY.CURRENCY\nFROM\n  COUNTRY\n"));
  }

  void helpShowsTheAboutBox() {
    TDialogScript script;
    QString caption;
    script.Add([&](QDialog* dialog) {
      caption = dialog->windowTitle();
      return int(QDialog::Accepted);
    });
    QTest::keyClick(w.get(), Qt::Key_F1);
    QCOMPARE(caption, QStringLiteral("About Ostrel Kvarta"));
    QVERIFY(!w->miKvOptions->isEnabled()); // its dialog is not there yet
  }

  // --- errors from the database ---

  void databaseErrorsShowTheServersMessage() {
    // A file that is not there.
    const QString missing = m_files.filePath("nothing-here.fdb");
    Connect(3, missing);
    QCOMPARE(errors->Texts.size(), 1);
    QVERIFY2(errors->Texts.first().contains("nothing-here.fdb"), qPrintable(errors->Texts.first()));
    QVERIFY(!w->Database().Connected());
    QCOMPARE(w->Database().DatabaseName(), missing); // the new settings stay
    QVERIFY(QApplication::topLevelWidgets().count() >= 1);
    for (QWidget* top : QApplication::topLevelWidgets())
      QVERIFY(!qobject_cast<TfmConnect*>(top)); // the dialog is gone

    // The program goes on: connecting again works.
    Connect(3);
    QVERIFY(w->Database().Connected());

    // A statement the server refuses: the Result page says so, and so does the error box.
    TypeStatement("select nonsense from");
    errors->Texts.clear();
    QTest::keyClick(w.get(), Qt::Key_F9);
    w->WaitForResult();
    QTRY_VERIFY(errors->Texts.size() >= 2); // the parse error, then the server's
    QVERIFY2(errors->Texts.last().contains("Dynamic SQL Error"), qPrintable(errors->Texts.last()));
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QVERIFY(w->laRows->text().startsWith("Failed: Dynamic SQL Error"));
    Picture(w.get(), "result-failed");

    // A table that is not there: the hourglass goes away again.
    w->tbClear->trigger();
    errors->Texts.clear();
    w->lvTables->addTopLevelItem(new QTreeWidgetItem({"NO_SUCH_TABLE"}));
    DoubleClickTable("NO_SUCH_TABLE");
    QCOMPARE(errors->Texts.size(), 1);
    QVERIFY2(errors->Texts.first().contains("NO_SUCH_TABLE"), qPrintable(errors->Texts.first()));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(w->Kvarta->TableList().Count(), 0);

    // Tables the designer asks for while reading a statement.
    errors->Texts.clear();
    TypeStatement("select x from no_such_table");
    ClickTab(TfmMain::pgBuilder);
    QCOMPARE(w->ActivePage(), TfmMain::pgSQL);
    QCOMPARE(errors->Texts.size(), 1);
    QVERIFY(errors->Texts.first().contains("NO_SUCH_TABLE"));
    QVERIFY(QApplication::overrideCursor() == nullptr);
  }

  // --- running in the background ---

  void statementTheConnectionCannotHoldIsRefused() {
    Connect(3); // ISO8859_1
    TypeStatement("select job_code\nfrom job where job_title = '");
    w->mmSQL->insertPlainText(QStringLiteral("Жук'")); // typed through an input method
    QTest::keyClick(w.get(), Qt::Key_F9);
    QCOMPARE(errors->Texts.last(),
             QStringLiteral("The character \"Ж\" (U+0416) at line 2, column 29 cannot be sent in "
                            "the connection character set ISO8859_1; the statement was not run."));
    QCOMPARE(w->Runner()->State(), TFbStatementRunner::rsIdle);
  }

  void runningStatementLeavesTheWindowFreeAndCancels() {
    Connect(3);
    TypeStatement("select count(*) from rdb$types a, rdb$types b, rdb$types c, rdb$types d");
    ClickTab(TfmMain::pgBuilder);
    QTest::keyClick(w.get(), Qt::Key_F9);
    QTest::qWait(300);
    QCOMPARE(w->ActivePage(), TfmMain::pgResult);
    QVERIFY2(w->laRows->text().startsWith(QStringLiteral("Running\u2026 00:0")),
             qPrintable(w->laRows->text()));
    QVERIFY(w->ResultPage()->nbCancel->isEnabled());
    Picture(w.get(), "result-running");
    // The designer goes on meanwhile: a table's columns come from the designer's connection.
    ClickTab(TfmMain::pgBuilder);
    DoubleClickTable("EMPLOYEE");
    QVERIFY(Window("EMPLOYEE"));
    QVERIFY(w->Runner()->Busy());
    ClickTab(TfmMain::pgResult);
    QTest::keyClick(w.get(), Qt::Key_Escape);
    w->WaitForResult();
    QCOMPARE(w->laRows->text(), QStringLiteral("Cancelled after 0 rows"));
    Picture(w.get(), "result-cancelled");
    QVERIFY(errors->Texts.isEmpty());
    // Closing while a statement runs stops it and ends at once.
    QTest::keyClick(w.get(), Qt::Key_F9);
    QTRY_VERIFY(w->Runner()->Busy());
    QElapsedTimer clock;
    clock.start();
    w->close();
    w.reset();
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
  }

  void gridSortsCopiesAndExports() {
    Connect(3);
    const QString sql = "select a.rdb$relation_id, a.rdb$relation_name from rdb$relations a, "
                        "rdb$relations b";
    TypeStatement(sql);
    QTest::keyClick(w.get(), Qt::Key_F9);
    w->WaitForResult();
    QVERIFY(w->DataSource()->MoreRows());
    TQuestions questions;
    QSignalSpy sorted(w->DataSource(), &TFbResultModel::SortFinished);
    QHeaderView* header = w->DBGrid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QVERIFY(sorted.wait(20000));
    QCOMPARE(questions.Texts.size(), 1); // fetch all first?
    QList<QStringList> expected = FetchAllText(w->Database(), sql + " order by 1");
    QCOMPARE(w->DataSource()->rowCount(), expected.size());
    QCOMPARE(w->DataSource()->Text(expected.size() - 1, 0), expected.last().at(0));
    QCOMPARE(header->sortIndicatorSection(), 0);

    w->DBGrid->selectionModel()->select(
        QItemSelection(w->DataSource()->index(0, 0), w->DataSource()->index(1, 0)),
        QItemSelectionModel::ClearAndSelect);
    w->DBGrid->setFocus();
    QTest::keyClick(w->DBGrid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("RDB$RELATION_ID\n%1\n%2\n").arg(expected[0][0], expected[1][0]));

    TDialogScript script;
    script.Add(ChooseFile(m_files.filePath("rows.csv")));
    QSignalSpy exported(w->DataSource(), &TFbResultModel::ExportFinished);
    w->ResultPage()->nbExport->trigger();
    QVERIFY(exported.wait(20000));
    QFile csv(m_files.filePath("rows.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    QCOMPARE(lines.size(), expected.size() + 2); // header, rows, nothing after the last break
    QCOMPARE(lines[0], QByteArray("RDB$RELATION_ID,RDB$RELATION_NAME\r"));
    QTRY_VERIFY(w->statusBar()->currentMessage().startsWith("Exported"));
  }

  // The server is killed while rows are fetched; the user reconnects and nothing is lost.
  void lostConnectionKeepsTheWorkAndReconnects() {
    TTestServer server;
    QCOMPARE(server.Start(), QString());
    {
      TFbDatabase db;
      db.SetSettings(server.Settings("lost.fdb"));
      db.CreateDatabase("UTF8");
      TFbQuery query(&db);
      for (const char* sql : {"create table T (ID integer)", "commit",
                              "insert into T select a.rdb$relation_id from rdb$relations a, "
                              "rdb$relations b"}) {
        if (QByteArray(sql) == "commit") {
          db.DefaultTransaction().Commit();
          continue;
        }
        query.SetSQL(sql);
        query.ExecSQL();
      }
      db.DefaultTransaction().Commit();
    }
    w->Database().SetSettings(server.Settings("lost.fdb"));
    w->ConnectDatabase();
    DoubleClickTable("T");
    Window("T")->FindItem("ID")->Click(true);
    const QString statement = w->Kvarta->SQL();
    QTest::keyClick(w.get(), Qt::Key_F9);
    w->WaitForResult();
    TQuestions questions;
    questions.Add([&](const QString&) { return server.Start().isEmpty(); });
    server.Kill();
    w->nbLast->trigger();
    w->WaitForResult();
    QTRY_COMPARE(questions.Texts.size(), 1);
    QVERIFY2(questions.Texts[0].contains("was lost"), qPrintable(questions.Texts[0]));
    QTRY_VERIFY(w->Database().Connected());
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
    QCOMPARE(w->Kvarta->SQL(), statement);
    QVERIFY(Window("T"));
    QVERIFY(w->DataSource()->rowCount() >= 256);
    QVERIFY(w->laRows->text().startsWith("Failed after"));
    QCOMPARE(ListedTables(*w), QStringList({"T"}));
    QTest::keyClick(w.get(), Qt::Key_F9);
    w->WaitForResult();
    QVERIFY2(w->laRows->text().endsWith("fetched, more remain"), qPrintable(w->laRows->text()));

    // A server that stops answering: Esc ends the wait for a table's columns, the connection
    // is cut and said to be lost.
    server.Pause(true);
    questions.Add([](const QString&) { return false; });
    QTimer::singleShot(500, w.get(), [&] { QTest::keyClick(w.get(), Qt::Key_Escape); });
    QElapsedTimer clock;
    clock.start();
    DoubleClickTable("T");
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE(questions.Texts.size(), 2);
    QVERIFY(!w->Database().Connected());
    QCOMPARE(w->Kvarta->SQL(), statement);
    QVERIFY2(errors->Texts.isEmpty(), qPrintable(errors->Texts.join('\n')));
    server.Pause(false);
  }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
