// The connect dialog: what it shows of a connection, what OK writes back, and that Cancel and
// failures leave things as the user expects.

#include "ConnectForm.h"
#include "FbDatabase.h"
#include "FbError.h"
#include "support/DemoTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

class TestConnectForm : public QObject {
  Q_OBJECT

  TSampleDb m_sample;

  // A disconnected connection to the sample database with the program's first settings.
  std::unique_ptr<TFbDatabase> Fresh() {
    auto db = std::make_unique<TFbDatabase>();
    db->SetDatabaseName(m_sample.Path());
    db->SetParams({"user_name=sysdba", "password=blueorbit"});
    return db;
  }

private slots:
  void initTestCase() { QVERIFY2(!m_sample.Path().isEmpty(), qPrintable(m_sample.Errors())); }

  void charsetListStartsWithNone() {
    TfmConnect form;
    QCOMPARE(form.cbCharset->count(), 25);
    QCOMPARE(form.cbCharset->currentText(), QStringLiteral("NONE"));
    QCOMPARE(form.cbCharset->itemText(16), QStringLiteral("NONE"));
    QCOMPARE(form.cbCharset->itemText(24), QStringLiteral("WIN1254"));
    QCOMPARE(form.edPassword->echoMode(), QLineEdit::Password);
  }

  void userNameIsUpperCasedAsTyped() {
    TfmConnect form;
    form.show();
    QTest::keyClicks(form.edUserName, "sysdba");
    QCOMPARE(form.edUserName->text(), QStringLiteral("SYSDBA"));
    // Typing in the middle keeps the caret there.
    form.edUserName->setCursorPosition(3);
    QTest::keyClicks(form.edUserName, "x");
    QCOMPARE(form.edUserName->text(), QStringLiteral("SYSXDBA"));
    QCOMPARE(form.edUserName->cursorPosition(), 4);
  }

  void fillsFromTheConnection() {
    TFbDatabase db;
    db.SetDatabaseName("server:/data/x.fdb");
    db.SetParams({"user_name=ANNA", "password=secret", "sql_role=CLERK", "lc_ctype=WIN1251"});
    db.SetSQLDialect(1);
    TfmConnect form;
    form.LoadFrom(db);
    QCOMPARE(form.edDBFile->text(), QStringLiteral("server:/data/x.fdb"));
    QCOMPARE(form.edUserName->text(), QStringLiteral("ANNA"));
    QCOMPARE(form.edPassword->text(), QStringLiteral("secret"));
    QCOMPARE(form.edRole->text(), QStringLiteral("CLERK"));
    QCOMPARE(form.Charset(), QStringLiteral("WIN1251"));
    QVERIFY(form.rbDialect1->isChecked());
  }

  void charsetWithoutAnEntry() {
    TFbDatabase db;
    TfmConnect form;
    form.LoadFrom(db); // no lc_ctype
    QCOMPARE(form.Charset(), QStringLiteral("NONE"));
    QCOMPARE(form.cbCharset->currentIndex(), 0);
    // A set the list lacks is shown and kept, not replaced by another.
    db.SetParam("lc_ctype", "UTF8");
    form.LoadFrom(db);
    QCOMPARE(form.Charset(), QStringLiteral("UTF8"));
    QCOMPARE(form.cbCharset->count(), 26);
  }

  void okWritesTheParametersAndConnects_data() {
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("role");
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QStringList>("params");
    QTest::newRow("NONE, no role, dialect 3")
        << "NONE"
        << "" << 3 << QStringList({"user_name=SYSDBA", "password=blueorbit"});
    QTest::newRow("WIN1251, a role, dialect 1")
        << "WIN1251"
        << "CLERK" << 1
        << QStringList(
               {"user_name=SYSDBA", "password=blueorbit", "sql_role=CLERK", "lc_ctype=WIN1251"});
  }
  void okWritesTheParametersAndConnects() {
    QFETCH(QString, charset);
    QFETCH(QString, role);
    QFETCH(int, dialect);
    QFETCH(QStringList, params);
    auto db = Fresh();
    db->SetParams({"user_name=sysdba", "password=blueorbit", "sql_role=OLD", "lc_ctype=ASCII"});
    int disconnects = 0;
    int connects = 0;
    db->AfterDisconnect = [&](TFbDatabase*) { ++disconnects; };
    db->AfterConnect = [&](TFbDatabase*) { ++connects; };
    db->Connect();
    QCOMPARE(connects, 1);

    TDialogScript script;
    script.Add([&](QDialog* dialog) {
      auto* form = qobject_cast<TfmConnect*>(dialog);
      form->edUserName->clear();
      QTest::keyClicks(form->edUserName, "sysdba");
      form->edRole->setText(role);
      form->cbCharset->setCurrentText(charset);
      (dialect == 1 ? form->rbDialect1 : form->rbDialect3)->setChecked(true);
      return int(QDialog::Accepted);
    });
    QVERIFY(ShowConnectDialog(db.get()));
    QCOMPARE(disconnects, 1); // the old connection went first
    QCOMPARE(connects, 2);
    QVERIFY(db->Connected());
    QCOMPARE(db->Params(), params);
    QCOMPARE(db->SQLDialect(), dialect);
  }

  void reopeningShowsTheValuesLastUsed() {
    auto db = Fresh();
    TDialogScript script;
    script.Add([](QDialog* dialog) {
      auto* form = qobject_cast<TfmConnect*>(dialog);
      form->edRole->setText("READER");
      form->cbCharset->setCurrentText("ISO8859_1");
      form->rbDialect1->setChecked(true);
      return int(QDialog::Accepted);
    });
    QVERIFY(ShowConnectDialog(db.get()));
    QString file, role, charset;
    bool dialect1 = false;
    script.Add([&](QDialog* dialog) {
      auto* form = qobject_cast<TfmConnect*>(dialog);
      file = form->edDBFile->text();
      role = form->edRole->text();
      charset = form->Charset();
      dialect1 = form->rbDialect1->isChecked();
      // Cancel: nothing changes, the connection stays.
      form->edDBFile->setText("/elsewhere.fdb");
      form->rbDialect3->setChecked(true);
      return int(QDialog::Rejected);
    });
    QVERIFY(!ShowConnectDialog(db.get()));
    QCOMPARE(file, m_sample.Path());
    QCOMPARE(role, QStringLiteral("READER"));
    QCOMPARE(charset, QStringLiteral("ISO8859_1"));
    QVERIFY(dialect1);
    QVERIFY(db->Connected());
    QCOMPARE(db->DatabaseName(), m_sample.Path());
    QCOMPARE(db->SQLDialect(), 1);
  }

  void failingConnectRaisesAndFreesTheDialog() {
    auto db = Fresh();
    const QString missing = m_sample.Folder() + "/missing.fdb";
    QPointer<QDialog> shown;
    TDialogScript script;
    script.Add([&](QDialog* dialog) {
      shown = dialog;
      qobject_cast<TfmConnect*>(dialog)->edDBFile->setText(missing);
      return int(QDialog::Accepted);
    });
    QString message;
    try {
      ShowConnectDialog(db.get());
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QVERIFY2(message.contains("missing.fdb"), qPrintable(message));
    QVERIFY(shown.isNull());
    QVERIFY(!db->Connected());
    QCOMPARE(db->DatabaseName(), missing);
  }

  void noConnectionShowsNothing() {
    TDialogScript script;
    QVERIFY(!ShowConnectDialog(nullptr));
    QCOMPARE(script.Shown, 0);
  }

  void browsePicksAFile() {
    TfmConnect form;
    form.edDBFile->setText("old.fdb");
    TDialogScript script;
    script.Add([](QDialog*) { return int(QDialog::Rejected); });
    script.Add(ChooseFile(m_sample.Path()));
    form.buBrowse->click();
    QCOMPARE(form.edDBFile->text(), QStringLiteral("old.fdb"));
    form.buBrowse->click();
    QCOMPARE(form.edDBFile->text(), m_sample.Path());
  }
};

QTEST_MAIN(TestConnectForm)
#include "tst_connectform.moc"
