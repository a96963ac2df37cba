#pragma once

// SQL text as files hold it and as the SQL page shows it: the encoding a file came in (found
// by its byte order mark, else UTF-8 when it reads as such, else an 8-bit character set), and
// line breaks kept as they were (the editor knows only one kind, so the others are remembered
// per line).

#include <QByteArray>
#include <QList>
#include <QString>

class QTextDocument;

struct TTextEncoding {
  enum TKind { Utf8, Utf8Bom, Utf16Le, Utf16Be, EightBit };
  TKind Kind = Utf8;
  QByteArray Codec; // EightBit: the character set's name as Qt knows it ("windows-1251")
  QString Name() const;
  bool operator==(const TTextEncoding&) const = default;
};

struct TSqlFileText {
  QString Text; // with the file's own line breaks
  TTextEncoding Encoding;
  bool Guessed = false; // neither a byte order mark nor UTF-8: read in an 8-bit character set
};

namespace SqlText {

// The 8-bit character set of the locale, empty when the locale uses UTF-8 (or plain ASCII).
QByteArray LocaleCodec();
// The encodings the user may choose: the Unicode ones, then common 8-bit character sets.
QList<TTextEncoding> Choices();

// Reads a file's bytes. Text that is neither marked nor UTF-8 is read in the locale's 8-bit
// character set, else in `hint` (say the connection's), else windows-1252, else ISO-8859-1:
// the first that gives the same bytes back when written again.
TSqlFileText Decode(const QByteArray& bytes, const QByteArray& hint = QByteArray());
// Reads bytes in a given encoding (a byte order mark of it is skipped).
QString DecodeAs(const QByteArray& bytes, const TTextEncoding& encoding);
// Writes text in an encoding (with its byte order mark); raises EKvError naming the first
// character the encoding cannot hold and where it stands.
QByteArray Encode(const QString& text, const TTextEncoding& encoding);

// The line break most lines of `text` end with ("\r\n", "\n" or "\r"); `fallback` for none.
QString MainBreak(const QString& text, const QString& fallback);
// Fills an editor's document. Line breaks other than `lineBreak` are remembered on their line
// (those inside string literals only, when `literalsOnly`: text the designer wrote).
void SetDocumentText(QTextDocument* document, const QString& text, const QString& lineBreak,
                     bool literalsOnly);
// The document's text with the remembered line breaks, `lineBreak` elsewhere.
QString DocumentText(const QTextDocument* document, const QString& lineBreak);

} // namespace SqlText
