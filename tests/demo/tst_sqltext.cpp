// SQL files read and written back unchanged: encodings found by byte order mark, UTF-8 or an
// 8-bit guess, line breaks kept where the editor would lose them, characters an encoding
// cannot hold refused.
#include "KvError.h"
#include "SqlFile.h"
#include "SqlText.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {
QByteArray Utf16(const QString& text, QStringEncoder::Encoding encoding, const char* bom) {
  QStringEncoder encoder(encoding);
  return QByteArray(bom) + QByteArray(encoder.encode(text));
}
} // namespace

class TestSqlText : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  QString Write(const QString& name, const QByteArray& bytes) {
    QFile file(m_dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
  }
  QByteArray Read(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }

private slots:
  void loadThenSaveWritesTheSameBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown"); // what the editor shows
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<bool>("guessed");
    const QString crlf = QStringLiteral("select 'Жé'\r\nfrom t\r\n");
    QTest::newRow("UTF-8") << QByteArray("select '\xc3\xa9'\nfrom t\n") << "select 'é'\nfrom t"
                           << "UTF-8" << false;
    QTest::newRow("UTF-8 with BOM, CR LF")
        << QByteArray("\xEF\xBB\xBF") + crlf.toUtf8() << "select 'Жé'\nfrom t"
        << "UTF-8 with BOM" << false;
    QTest::newRow("UTF-16 LE") << Utf16(crlf, QStringEncoder::Utf16LE, "\xFF\xFE")
                               << "select 'Жé'\nfrom t"
                               << "UTF-16 LE" << false;
    QTest::newRow("UTF-16 BE") << Utf16(crlf, QStringEncoder::Utf16BE, "\xFE\xFF")
                               << "select 'Жé'\nfrom t"
                               << "UTF-16 BE" << false;
    QTest::newRow("Latin-1") << QByteArray("select 'caf\xe9'\nfrom t\n") << "select 'café'\nfrom t"
                             << "windows-1252" << true;
    QTest::newRow("line breaks in literals, none at the end")
        << QByteArray("select 'a\rb', 'c\r\nd'\nfrom t") << "select 'a\nb', 'c\nd'\nfrom t"
        << "UTF-8" << false;
    QTest::newRow("empty lines at the end") << QByteArray("select 1\r\n\r\n\r\n") << "select 1\n\n"
                                            << "UTF-8" << false;
  }
  void loadThenSaveWritesTheSameBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, encoding);
    QFETCH(bool, guessed);
    TSqlFile file;
    QTextDocument document;
    file.Load(Write("in.sql", bytes), &document, QByteArray());
    QCOMPARE(document.toPlainText(), shown);
    QCOMPARE(file.Encoding().Name(), encoding);
    QCOMPARE(!file.Notice().isEmpty(), guessed);
    file.Save(m_dir.filePath("out.sql"), &document);
    QCOMPARE(Read(m_dir.filePath("out.sql")), bytes);

    // An edit on the first line leaves the other line breaks as they were.
    QTextCursor(&document).insertText(QStringLiteral("--\n"));
    file.Save(m_dir.filePath("edited.sql"), &document);
    const QString before = SqlText::DecodeAs(bytes, file.Encoding());
    QCOMPARE(SqlText::DecodeAs(Read(m_dir.filePath("edited.sql")), file.Encoding()),
             "--" + file.LineBreak() + before);
  }

  void aWrongGuessIsMendedByChoosingTheEncoding() {
    const QByteArray win1251("select '\xc6\xf3\xea'\n"); // 'Жук'
    TSqlFile file;
    QTextDocument document;
    file.Load(Write("cyrillic.sql", win1251), &document, QByteArray());
    QCOMPARE(file.Encoding().Name(), QStringLiteral("windows-1252"));
    QVERIFY(file.ChooseEncoding({TTextEncoding::EightBit, "windows-1251"}, &document));
    QCOMPARE(document.toPlainText(), QStringLiteral("select 'Жук'"));
    file.Save(m_dir.filePath("back.sql"), &document);
    QCOMPARE(Read(m_dir.filePath("back.sql")), win1251);
    // The connection's character set is tried before windows-1252.
    file.Load(Write("cyrillic.sql", win1251), &document, "windows-1251");
    QCOMPARE(document.toPlainText(), QStringLiteral("select 'Жук'"));
    // An edited text is not read again: the choice is for saving.
    QTextCursor(&document).insertText(QStringLiteral("-- "));
    QVERIFY(!file.ChooseEncoding({TTextEncoding::Utf8, {}}, &document));
    file.Save(m_dir.filePath("utf8.sql"), &document);
    QCOMPARE(Read(m_dir.filePath("utf8.sql")),
             QByteArray("-- select '\xd0\x96\xd1\x83\xd0\xba'\n"));
  }

  void charactersTheEncodingCannotHoldAreRefused() {
    QString message;
    try {
      SqlText::Encode(QStringLiteral("select\r\n 'é', 'Ж'"),
                      {TTextEncoding::EightBit, "ISO-8859-1"});
    } catch (const EKvError& error) {
      message = error.Message();
    }
    QCOMPARE(message, QStringLiteral("The character \"Ж\" (U+0416) at line 2, column 8 cannot be "
                                     "written in ISO-8859-1; nothing was saved. Choose another "
                                     "encoding in the status bar."));
  }

  void designerTextKeepsOnlyTheLineBreaksOfLiterals() {
    QTextDocument document;
    SqlText::SetDocumentText(&document, QStringLiteral("SELECT\r\n  'a\rb' -- it's\r\nFROM T"),
                             QStringLiteral("\n"), true);
    QCOMPARE(SqlText::DocumentText(&document, QStringLiteral("\n")),
             QStringLiteral("SELECT\n  'a\rb' -- it's\nFROM T"));
  }
};

QTEST_MAIN(TestSqlText)
#include "tst_sqltext.moc"
