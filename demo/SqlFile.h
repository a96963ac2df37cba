#pragma once

// The statement file behind the SQL page: the encoding it came in and its line breaks, so that
// saving writes back what was read unless the user changed it, and an encoding the user picks
// from the status bar.

#include "SqlText.h"

#include <QObject>
#include <QToolButton>

class QTextDocument;

class TSqlFile : public QObject {
  Q_OBJECT
public:
  explicit TSqlFile(QObject* parent = nullptr);

  TTextEncoding Encoding() const { return m_encoding; }
  // The line break of the document's lines ("\n" until a file brings its own).
  QString LineBreak() const { return m_lineBreak; }
  // What the status bar should say after Load ("read as windows-1252 ..."), empty for none.
  QString Notice() const { return m_notice; }

  // Reads a file into `document`; `hint` is an 8-bit character set worth trying for text that
  // is not UTF-8 (the connection's). Raises EKvError when the file cannot be read.
  void Load(const QString& path, QTextDocument* document, const QByteArray& hint);
  // Writes the document in the file's encoding with its line breaks; raises EKvError when the
  // encoding cannot hold a character or the file cannot be written (which then stays as it was).
  void Save(const QString& path, const QTextDocument* document);
  // The document's text as the file holds it (without the final line break).
  QString Text(const QTextDocument* document) const;
  // Puts a statement the designer wrote into the document, in the document's line breaks
  // (those inside string literals stay as the statement has them).
  void SetDesignerText(QTextDocument* document, const QString& sql);
  // The encoding for the next save. A file that was guessed and not changed since is read
  // again in it, so a wrong guess can be mended; true then.
  bool ChooseEncoding(const TTextEncoding& encoding, QTextDocument* document);

signals:
  void Changed();

private:
  TTextEncoding m_encoding;
  QString m_lineBreak = QStringLiteral("\n");
  QString m_finalBreak = QStringLiteral("\n"); // what the last line ends with, empty for nothing
  bool m_loaded = false;                       // the document came from a file
  bool m_guessed = false;
  QByteArray m_bytes; // of the file as read, for reading it again
  QString m_loadedText;
  QString m_notice;
};

// The status bar's encoding button: shows the file's encoding, offers the others.
class TEncodingButton : public QToolButton {
  Q_OBJECT
public:
  TEncodingButton(TSqlFile* file, QTextDocument* document, QWidget* parent = nullptr);

private:
  void Update();
  TSqlFile* m_file;
  QTextDocument* m_document;
};
