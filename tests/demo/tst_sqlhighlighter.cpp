// Colours of the SQL page: what each kind of token gets, quoted text over several lines, and
// text the tokenizer refuses.

#include "SqlHighlighter.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

namespace {

// One letter per character of a line: k keyword, f function, s string, n number, i name, '.'
// anything else.
QString Kinds(const TSqlHighlighter& h, const QTextBlock& block) {
  QString kinds(block.text().length(), QLatin1Char('.'));
  const char letters[] = "kfsni";
  for (const QTextLayout::FormatRange& range : block.layout()->formats()) {

    QChar letter('?');
    for (int k = 0; k < TSqlHighlighter::fkCount; ++k)
      if (range.format == h.Format(TSqlHighlighter::TFormatKind(k))) letter = letters[k];
    for (int i = range.start; i < range.start + range.length && i < kinds.length(); ++i)
      kinds[i] = letter;
  }
  return kinds;
}

QStringList Lines(const TSqlHighlighter& h, const QTextDocument& doc) {
  QCoreApplication::processEvents(); // a new highlighter colours the text it finds late
  QStringList lines;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
    lines << Kinds(h, b);
  return lines;
}

} // namespace

class TestSqlHighlighter : public QObject {
  Q_OBJECT

private slots:
  void tokenKinds() {
    QPlainTextEdit edit;
    QTextDocument& doc = *edit.document();
    TSqlHighlighter h(&doc);
    doc.setPlainText("SELECT max(e.SALARY), 'x''y', 1.5 FROM EMPLOYEE e WHERE e.\"Dept\" = 12");
    QCOMPARE(
        Lines(h, doc),
        QStringList({"kkkkkk.fff.i.iiiiii...ssssss..nnn.kkkk.iiiiiiii.i.kkkkk.i.iiiiii...nn"}));
  }

  void quotedTextOverSeveralLines() {
    QPlainTextEdit edit;
    QTextDocument& doc = *edit.document();
    TSqlHighlighter h(&doc);
    doc.setPlainText("select 'one\ntwo''s\nthree' from t");
    QCOMPARE(Lines(h, doc), QStringList({"kkkkkk.ssss", "ssssss", "ssssss.kkkk.i"}));
    // Closing the quote on the first line frees the lines after it: two, '', s, then three and
    // a quote left open.
    QTextCursor c(doc.findBlockByNumber(0));
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText("'");
    QCOMPARE(Lines(h, doc), QStringList({"kkkkkk.sssss", "iiissi", "iiiiissssssss"}));
  }

  void quoteNeverClosed() {
    QPlainTextEdit edit;
    QTextDocument& doc = *edit.document();
    TSqlHighlighter h(&doc);
    doc.setPlainText("where a = 'open\nand b = 1");
    QCOMPARE(Lines(h, doc), QStringList({"kkkkk.i...sssss", "sssssssss"}));
    doc.setPlainText("'");
    QCOMPARE(Lines(h, doc), QStringList({"s"}));
  }

  void doubleQuotesFollowTheDialect() {
    QPlainTextEdit edit;
    QTextDocument& doc = *edit.document();
    TSqlHighlighter h(&doc);
    doc.setPlainText("select \"a b\" from t");
    QCOMPARE(Lines(h, doc), QStringList({"kkkkkk.iiiii.kkkk.i"}));
    h.SetSQLDialect(kibDialect1);
    QCOMPARE(Lines(h, doc), QStringList({"kkkkkk.sssss.kkkk.i"}));
  }

  void wordListsComeFromTheDesigner() {
    QPlainTextEdit edit;
    QTextDocument& doc = *edit.document();
    TSqlHighlighter h(&doc);
    doc.setPlainText("select lower(x) from t");
    QCOMPARE(Lines(h, doc).first().mid(7, 5), QStringLiteral("iiiii"));
    h.SetWords({"SELECT", "FROM"}, {"LOWER"});
    QCOMPARE(Lines(h, doc).first(), QStringLiteral("kkkkkk.fffff.i..kkkk.i"));
  }
};

QTEST_MAIN(TestSqlHighlighter)
#include "tst_sqlhighlighter.moc"
