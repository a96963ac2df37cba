#include "SqlText.h"

#include "DemoResource.h"
#include "FbValue.h"
#include "KvError.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextDocument>

#include <langinfo.h>

#include <algorithm>
#include <vector>

namespace {

// The line break before a block of the editor, when it is not the document's own. Kept on the
// block after it: a line split by Enter keeps it before its first part, and the new break is
// the document's; a joined line drops it with the break.
class TLineBreak : public QTextBlockUserData {
public:
  explicit TLineBreak(QString lineBreak) : Break(std::move(lineBreak)) {}
  QString Break;
};

QByteArray CodecOf(const TTextEncoding& encoding) {
  switch (encoding.Kind) {
  case TTextEncoding::Utf16Le:
    return "UTF-16LE";
  case TTextEncoding::Utf16Be:
    return "UTF-16BE";
  case TTextEncoding::EightBit:
    return encoding.Codec;
  default:
    return "UTF-8";
  }
}

QByteArray Bom(const TTextEncoding& encoding) {
  switch (encoding.Kind) {
  case TTextEncoding::Utf8Bom:
    return "\xEF\xBB\xBF";
  case TTextEncoding::Utf16Le:
    return "\xFF\xFE";
  case TTextEncoding::Utf16Be:
    return "\xFE\xFF";
  default:
    return QByteArray();
  }
}

bool RoundTrips(const QByteArray& bytes, const QByteArray& codec) {
  QStringDecoder decoder(codec.constData());
  QStringEncoder encoder(codec.constData());
  if (!decoder.isValid() || !encoder.isValid()) return false;
  const QString text = decoder.decode(bytes);
  if (decoder.hasError()) return false;
  return QByteArray(encoder.encode(text)) == bytes && !encoder.hasError();
}

// Line breaks of `text` in order, each with whether it stands inside a string literal or a
// quoted name (where it is part of the value).
struct TBreak {
  qsizetype At;
  qsizetype Length;
  bool Quoted;
};

std::vector<TBreak> Breaks(const QString& text) {
  std::vector<TBreak> breaks;
  enum { Code, Quote, LineComment, BlockComment } state = Code;
  QChar quote;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
    // The editor takes a paragraph separator for a line break too.
    if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator) {
      const qsizetype length = c == u'\r' && next == u'\n' ? 2 : 1;
      breaks.push_back({i, length, state == Quote});
      if (state == LineComment) state = Code;
      i += length - 1;
      continue;
    }
    switch (state) {
    case Code:
      if (c == u'\'' || c == u'"') {
        state = Quote;
        quote = c;
      } else if (c == u'-' && next == u'-') {
        state = LineComment;
      } else if (c == u'/' && next == u'*') {
        state = BlockComment;
        ++i;
      }
      break;
    case Quote:
      if (c == quote) {
        if (next == quote)
          ++i; // a doubled quote stands for itself
        else
          state = Code;
      }
      break;
    case BlockComment:
      if (c == u'*' && next == u'/') {
        state = Code;
        ++i;
      }
      break;
    case LineComment:
      break;
    }
  }
  return breaks;
}

} // namespace

QString TTextEncoding::Name() const {
  switch (Kind) {
  case Utf8:
    return QStringLiteral("UTF-8");
  case Utf8Bom:
    return QStringLiteral("UTF-8 with BOM");
  case Utf16Le:
    return QStringLiteral("UTF-16 LE");
  case Utf16Be:
    return QStringLiteral("UTF-16 BE");
  case EightBit:
    return QString::fromLatin1(Codec);
  }
  return QString();
}

namespace SqlText {

QByteArray LocaleCodec() {
  const QByteArray codeset = QByteArray(nl_langinfo(CODESET)).toUpper();
  if (codeset.isEmpty() || codeset == "UTF-8" || codeset == "UTF8" || codeset == "ANSI_X3.4-1968" ||
      codeset == "ASCII")
    return QByteArray();
  return QStringDecoder(codeset.constData()).isValid() ? codeset : QByteArray();
}

QList<TTextEncoding> Choices() {
  QList<TTextEncoding> list = {{TTextEncoding::Utf8, {}},
                               {TTextEncoding::Utf8Bom, {}},
                               {TTextEncoding::Utf16Le, {}},
                               {TTextEncoding::Utf16Be, {}}};
  QList<QByteArray> codecs = {"windows-1250", "windows-1251", "windows-1252", "windows-1253",
                              "windows-1257", "ISO-8859-1",   "ISO-8859-2",   "ISO-8859-5",
                              "ISO-8859-15",  "KOI8-R",       "KOI8-U",       "IBM866"};
  const QByteArray locale = LocaleCodec();
  if (!locale.isEmpty() && !codecs.contains(locale)) codecs.prepend(locale);
  for (const QByteArray& codec : codecs)
    if (QStringDecoder(codec.constData()).isValid()) list.append({TTextEncoding::EightBit, codec});
  return list;
}

TSqlFileText Decode(const QByteArray& bytes, const QByteArray& hint) {
  TSqlFileText result;
  if (bytes.startsWith("\xEF\xBB\xBF"))
    result.Encoding.Kind = TTextEncoding::Utf8Bom;
  else if (bytes.startsWith("\xFF\xFE"))
    result.Encoding.Kind = TTextEncoding::Utf16Le;
  else if (bytes.startsWith("\xFE\xFF"))
    result.Encoding.Kind = TTextEncoding::Utf16Be;
  else {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    result.Text = utf8.decode(bytes);
    if (!utf8.hasError()) return result;
    result.Guessed = true;
    result.Encoding.Kind = TTextEncoding::EightBit;
    result.Encoding.Codec = "ISO-8859-1"; // every byte is a character of it
    for (const QByteArray& codec : {LocaleCodec(), hint, QByteArray("windows-1252")})
      if (!codec.isEmpty() && RoundTrips(bytes, codec)) {
        result.Encoding.Codec = codec;
        break;
      }
  }
  result.Text = DecodeAs(bytes, result.Encoding);
  return result;
}

QString DecodeAs(const QByteArray& bytes, const TTextEncoding& encoding) {
  const QByteArray bom = Bom(encoding);
  const QByteArray body = !bom.isEmpty() && bytes.startsWith(bom) ? bytes.mid(bom.size()) : bytes;
  QStringDecoder decoder(CodecOf(encoding).constData());
  return decoder.isValid() ? QString(decoder.decode(body)) : QString::fromLatin1(body);
}

QByteArray Encode(const QString& text, const TTextEncoding& encoding) {
  const QByteArray codec = CodecOf(encoding);
  const qsizetype bad = FbFirstUnencodableIn(text, codec);
  if (bad >= 0) {
    const auto [line, column] = FbTextPosition(text, bad);
    const char32_t code = QStringView(text).mid(bad).toUcs4().value(0);
    throw EKvError(DemoResource::SCannotEncode
                       .arg(QString::fromUcs4(&code, 1),
                            QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'))
                       .arg(line)
                       .arg(column)
                       .arg(encoding.Name()));
  }
  QStringEncoder encoder(codec.constData());
  return Bom(encoding) + QByteArray(encoder.encode(text));
}

QString MainBreak(const QString& text, const QString& fallback) {
  int crlf = 0, lf = 0, cr = 0;
  std::vector<TBreak> breaks = Breaks(text);
  // Those inside literals are data, not the file's way of ending lines.
  if (std::any_of(breaks.begin(), breaks.end(), [](const TBreak& b) { return !b.Quoted; }))
    std::erase_if(breaks, [](const TBreak& b) { return b.Quoted; });
  for (const TBreak& b : breaks) {
    if (b.Length == 2)
      ++crlf;
    else if (text[b.At] == u'\n')
      ++lf;
    else if (text[b.At] == u'\r')
      ++cr;
  }
  if (crlf == 0 && lf == 0 && cr == 0) return fallback;
  if (crlf >= lf && crlf >= cr) return QStringLiteral("\r\n");
  return lf >= cr ? QStringLiteral("\n") : QStringLiteral("\r");
}

void SetDocumentText(QTextDocument* document, const QString& text, const QString& lineBreak,
                     bool literalsOnly) {
  const std::vector<TBreak> breaks = Breaks(text);
  QString plain;
  plain.reserve(text.size());
  qsizetype from = 0;
  for (const TBreak& b : breaks) {
    plain += QStringView(text).mid(from, b.At - from);
    plain += u'\n';
    from = b.At + b.Length;
  }
  plain += QStringView(text).mid(from);
  document->setPlainText(plain);
  QTextBlock block = document->begin();
  for (const TBreak& b : breaks) {
    block = block.next();
    const QString found = text.mid(b.At, b.Length);
    if (found != lineBreak && (b.Quoted || !literalsOnly)) block.setUserData(new TLineBreak(found));
  }
}

QString DocumentText(const QTextDocument* document, const QString& lineBreak) {
  QString text;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block != document->begin()) {
      const auto* own = dynamic_cast<const TLineBreak*>(block.userData());
      text += own ? own->Break : lineBreak;
    }
    text += block.text();
  }
  return text;
}

} // namespace SqlText
