#include "FbValue.h"

#include "FbError.h"

#include <ibase.h>

#include <QList>
#include <QStringEncoder>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>

QString FbNullText() {
  return QStringLiteral("<null>");
}

TFieldType FbFieldType(unsigned sqlType, int subType, int scale) {
  switch (sqlType) {
  case SQL_SHORT:
    return scale < 0 ? ftBCD : ftSmallint;
  case SQL_LONG:
    return scale < 0 ? ftBCD : ftInteger;
  case SQL_INT64:
  case SQL_QUAD:
    return scale < 0 ? ftBCD : ftLargeint;
  case SQL_FLOAT:
  case SQL_DOUBLE:
  case SQL_D_FLOAT:
    return ftFloat;
  case SQL_TEXT:
    return ftFixedChar;
  case SQL_VARYING:
    return ftString;
  case SQL_BLOB:
    return subType == 1 ? ftMemo : ftBlob;
  case SQL_TYPE_DATE:
    return ftDate;
  case SQL_TYPE_TIME:
    return ftTime;
  case SQL_TIMESTAMP:
    return ftDateTime;
  case SQL_BOOLEAN:
    return ftBoolean;
  case SQL_ARRAY:
    return ftArray;
  default:
    return ftUnknown;
  }
}

namespace {

struct TCharsetName {
  const char* Name;
  int Id;
  const char* Codec;
};

// Firebird 3's character sets; the codec names are the ones Qt (ICU) accepts.
constexpr TCharsetName Charsets[] = {
    {"NONE", 0, nullptr},
    {"OCTETS", 1, nullptr},
    {"ASCII", 2, nullptr},
    {"UNICODE_FSS", 3, nullptr},
    {"UTF8", 4, nullptr},
    {"SJIS_0208", 5, "Shift_JIS"},
    {"EUCJ_0208", 6, "EUC-JP"},
    {"DOS737", 9, "IBM737"},
    {"DOS437", 10, "IBM437"},
    {"DOS850", 11, "IBM850"},
    {"DOS865", 12, "IBM865"},
    {"DOS860", 13, "IBM860"},
    {"DOS863", 14, "IBM863"},
    {"DOS775", 15, "IBM775"},
    {"DOS858", 16, "IBM00858"},
    {"DOS862", 17, "IBM862"},
    {"DOS864", 18, "IBM864"},
    {"NEXT", 19, nullptr},
    {"ISO8859_1", 21, nullptr},
    {"ISO8859_2", 22, "ISO-8859-2"},
    {"ISO8859_3", 23, "ISO-8859-3"},
    {"ISO8859_4", 34, "ISO-8859-4"},
    {"ISO8859_5", 35, "ISO-8859-5"},
    {"ISO8859_6", 36, "ISO-8859-6"},
    {"ISO8859_7", 37, "ISO-8859-7"},
    {"ISO8859_8", 38, "ISO-8859-8"},
    {"ISO8859_9", 39, "ISO-8859-9"},
    {"ISO8859_13", 40, "ISO-8859-13"},
    {"KSC_5601", 44, "EUC-KR"},
    {"DOS852", 45, "IBM852"},
    {"DOS857", 46, "IBM857"},
    {"DOS861", 47, "IBM861"},
    {"DOS866", 48, "IBM866"},
    {"DOS869", 49, "IBM869"},
    {"CYRL", 50, nullptr},
    {"WIN1250", 51, "windows-1250"},
    {"WIN1251", 52, "windows-1251"},
    {"WIN1252", 53, "windows-1252"},
    {"WIN1253", 54, "windows-1253"},
    {"WIN1254", 55, "windows-1254"},
    {"BIG_5", 56, "Big5"},
    {"GB_2312", 57, "GB2312"},
    {"WIN1255", 58, "windows-1255"},
    {"WIN1256", 59, "windows-1256"},
    {"WIN1257", 60, "windows-1257"},
    {"KOI8R", 63, "KOI8-R"},
    {"KOI8U", 64, "KOI8-U"},
    {"WIN1258", 65, "windows-1258"},
    {"TIS620", 66, "TIS-620"},
    {"GBK", 67, "GBK"},
    {"CP943C", 68, nullptr},
    {"GB18030", 69, "GB18030"},
};

// A character set whose bytes are Unicode text in UTF-8 (or a subset of it).
bool IsUtf8Like(int id) {
  return id == int(fbcsUtf8) || id == int(fbcsUnicodeFss) || id == int(fbcsAscii);
}

} // namespace

int FbCharsetId(const QString& name) {
  const QString upper = name.trimmed().toUpper();
  for (const TCharsetName& c : Charsets)
    if (upper == QLatin1String(c.Name)) return c.Id;
  return -1;
}

QByteArray FbCharsetCodecName(unsigned charsetId) {
  for (const TCharsetName& c : Charsets)
    if (unsigned(c.Id) == charsetId) return c.Codec ? QByteArray(c.Codec) : QByteArray();
  return QByteArray();
}

QString FbCharsetName(int charsetId) {
  for (const TCharsetName& c : Charsets)
    if (c.Id == charsetId) return QString::fromLatin1(c.Name);
  return QString::number(charsetId);
}

qsizetype FbFirstUnencodable(const QString& text, int charsetId) {
  const auto firstAbove = [&](char16_t limit) -> qsizetype {
    for (qsizetype i = 0; i < text.size(); ++i)
      if (text[i].unicode() > limit) return i;
    return -1;
  };
  if (charsetId == int(fbcsAscii)) return firstAbove(0x7F);
  if (charsetId == int(fbcsIso8859_1)) return firstAbove(0xFF);
  const QByteArray codec = charsetId > 0 ? FbCharsetCodecName(unsigned(charsetId)) : QByteArray();
  return FbFirstUnencodableIn(text, codec.isEmpty() ? QByteArray("UTF-8") : codec);
}

qsizetype FbFirstUnencodableIn(const QString& text, const QByteArray& codec) {
  // Whatever does not come back unchanged was replaced on the way.
  const auto fits = [&](const QString& part) {
    QStringEncoder encoder(codec.constData());
    QStringDecoder decoder(codec.constData());
    if (!encoder.isValid() || !decoder.isValid()) return true;
    const QByteArray bytes = encoder.encode(part);
    return !encoder.hasError() && QString(decoder.decode(bytes)) == part;
  };
  if (fits(text)) return -1;
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    if (!fits(text.mid(i, n))) return i;
    i += n;
  }
  return -1;
}

std::pair<int, int> FbTextPosition(const QString& text, qsizetype index) {
  int line = 1;
  qsizetype lineStart = 0;
  for (qsizetype i = 0; i < index && i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) ++i;
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      ++line;
      lineStart = i + 1;
    }
  }
  int column = 1;
  for (qsizetype i = lineStart; i < index; ++i)
    if (!text[i].isLowSurrogate()) ++column;
  return {line, column};
}

QByteArray FbEncodeStatement(const QString& text, int charsetId) {
  const qsizetype bad = FbFirstUnencodable(text, charsetId);
  if (bad < 0) return FbEncode(text, charsetId);
  const auto [line, column] = FbTextPosition(text, bad);
  const char32_t code = QStringView(text).mid(bad).toUcs4().value(0);
  throw EFbError(QStringLiteral("The character \"%1\" (U+%2) at line %3, column %4 cannot be sent "
                                "in the connection character set %5; the statement was not run.")
                     .arg(QString::fromUcs4(&code, 1),
                          QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'))
                     .arg(line)
                     .arg(column)
                     .arg(FbCharsetName(charsetId)));
}

QByteArray FbEncode(const QString& text, int charsetId) {
  if (charsetId == int(fbcsIso8859_1)) return text.toLatin1();
  const QByteArray codec = charsetId > 0 ? FbCharsetCodecName(unsigned(charsetId)) : QByteArray();
  if (!codec.isEmpty()) {
    QStringEncoder encoder(codec.constData());
    if (encoder.isValid()) return encoder.encode(text);
  }
  // NONE and the Unicode sets: metadata is UTF-8, and so is text typed on this platform.
  return text.toUtf8();
}

QString FbDecode(const QByteArray& bytes, int charsetId) {
  if (charsetId == int(fbcsIso8859_1)) return QString::fromLatin1(bytes);
  const QByteArray codec = charsetId > 0 ? FbCharsetCodecName(unsigned(charsetId)) : QByteArray();
  if (!codec.isEmpty()) {
    QStringDecoder decoder(codec.constData());
    if (decoder.isValid()) return decoder.decode(bytes);
  }
  if (charsetId != int(fbcsNone)) return QString::fromUtf8(bytes);
  // NONE: UTF-8 when the bytes are, else one byte per character.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// ---------------------------------------------------------------------------------------------

TFbTextBuffer::~TFbTextBuffer() {
  Release();
}

TFbTextBuffer::TFbTextBuffer(TFbTextBuffer&& other) noexcept
    : m_data(other.m_data), m_size(other.m_size), m_capacity(other.m_capacity) {
  other.m_data = nullptr;
  other.m_size = other.m_capacity = 0;
}

TFbTextBuffer& TFbTextBuffer::operator=(TFbTextBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    m_data = other.m_data;
    m_size = other.m_size;
    m_capacity = other.m_capacity;
    other.m_data = nullptr;
    other.m_size = other.m_capacity = 0;
  }
  return *this;
}

char16_t* TFbTextBuffer::Reserve(std::size_t n) {
  if (m_capacity - m_size < n) {
    std::size_t capacity = m_capacity ? m_capacity : 256;
    while (capacity - m_size < n)
      capacity *= 2;
    // char16_t is trivially copyable, so realloc moves it safely.
    auto* data = static_cast<char16_t*>(std::realloc(m_data, capacity * sizeof(char16_t)));
    if (!data) throw std::bad_alloc();
    m_data = data;
    m_capacity = capacity;
  }
  return m_data + m_size;
}

void TFbTextBuffer::Append(const QString& text) {
  char16_t* out = Reserve(std::size_t(text.size()));
  std::memcpy(out, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
  Commit(out + text.size());
}

QString TFbTextBuffer::ToString(std::size_t offset, std::size_t length) const {
  return QString(reinterpret_cast<const QChar*>(m_data + offset), qsizetype(length));
}

void TFbTextBuffer::Shrink() {
  if (m_size == m_capacity) return;
  if (m_size == 0) {
    Release();
    return;
  }
  if (auto* data = static_cast<char16_t*>(std::realloc(m_data, m_size * sizeof(char16_t)))) {
    m_data = data;
    m_capacity = m_size;
  }
}

void TFbTextBuffer::Release() {
  std::free(m_data);
  m_data = nullptr;
  m_size = m_capacity = 0;
}

// ---------------------------------------------------------------------------------------------

namespace FbFormat {

namespace {
char16_t* Unsigned(char16_t* out, unsigned long long value, int minDigits = 1) {
  char16_t digits[24];
  int n = 0;
  do {
    digits[n++] = char16_t(u'0' + value % 10);
    value /= 10;
  } while (value);
  while (n < minDigits)
    digits[n++] = u'0';
  while (n)
    *out++ = digits[--n];
  return out;
}

unsigned long long Magnitude(long long value) {
  // Negating in unsigned arithmetic also covers the smallest 64-bit value.
  return value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                   : static_cast<unsigned long long>(value);
}

char16_t* TwoDigits(char16_t* out, unsigned value) {
  *out++ = char16_t(u'0' + value / 10);
  *out++ = char16_t(u'0' + value % 10);
  return out;
}
} // namespace

char16_t* Integer(char16_t* out, long long value) {
  if (value < 0) *out++ = u'-';
  return Unsigned(out, Magnitude(value));
}

char16_t* Scaled(char16_t* out, long long value, int scale) {
  if (scale >= 0) {
    out = Integer(out, value);
    if (value != 0)
      for (int i = 0; i < scale; ++i)
        *out++ = u'0';
    return out;
  }
  const int decimals = -scale;
  char16_t digits[24];
  int n = 0;
  unsigned long long m = Magnitude(value);
  do {
    digits[n++] = char16_t(u'0' + m % 10);
    m /= 10;
  } while (m);
  while (n <= decimals)
    digits[n++] = u'0';
  if (value < 0) *out++ = u'-';
  while (n > decimals)
    *out++ = digits[--n];
  *out++ = u'.';
  while (n)
    *out++ = digits[--n];
  return out;
}

char16_t* Date(char16_t* out, int isoDate) {
  // Civil date from a day count (proleptic Gregorian), shifted to start on 0000-03-01.
  long long z = static_cast<long long>(isoDate) - 40587 + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long year = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  if (month <= 2) ++year;
  if (year < 0) *out++ = u'-';
  out = Unsigned(out, Magnitude(year), 4);
  *out++ = u'-';
  out = TwoDigits(out, month);
  *out++ = u'-';
  return TwoDigits(out, day);
}

char16_t* Time(char16_t* out, unsigned time) {
  const unsigned fraction = time % 10000;
  const unsigned seconds = time / 10000;
  out = TwoDigits(out, (seconds / 3600) % 100);
  *out++ = u':';
  out = TwoDigits(out, (seconds / 60) % 60);
  *out++ = u':';
  out = TwoDigits(out, seconds % 60);
  if (fraction) {
    *out++ = u'.';
    unsigned f = fraction, digits = 4;
    while (f % 10 == 0) {
      f /= 10;
      --digits;
    }
    out = Unsigned(out, f, int(digits));
  }
  return out;
}

} // namespace FbFormat

// ---------------------------------------------------------------------------------------------

// Decodes the bytes of one character set into the text buffer.
struct TFbRowFormatter::TDecoder {
  enum TMode { Utf8, Latin1, None, Octets, Codec };
  TMode Mode = None;
  QStringDecoder Utf8Decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
  QStringDecoder Other;

  explicit TDecoder(unsigned charset) {
    if (charset == fbcsOctets)
      Mode = Octets;
    else if (IsUtf8Like(int(charset)))
      Mode = Utf8;
    else if (charset == fbcsIso8859_1)
      Mode = Latin1;
    else if (charset == fbcsNone)
      Mode = None;
    else {
      const QByteArray codec = FbCharsetCodecName(charset);
      if (!codec.isEmpty())
        Other = QStringDecoder(codec.constData(), QStringDecoder::Flag::Stateless);
      Mode = Other.isValid() ? Codec : None;
    }
  }

  static char16_t* Widen(char16_t* out, const unsigned char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      out[i] = bytes[i];
    return out + n;
  }

  void Decode(const unsigned char* bytes, std::size_t n, TFbTextBuffer& buffer) {
    if (Mode == Octets) {
      static constexpr char16_t hex[] = u"0123456789ABCDEF";
      char16_t* out = buffer.Reserve(2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        *out++ = hex[bytes[i] >> 4];
        *out++ = hex[bytes[i] & 15];
      }
      buffer.Commit(out);
      return;
    }
    if (Mode == Latin1) {
      buffer.Commit(Widen(buffer.Reserve(n), bytes, n));
      return;
    }
    if (Mode == Codec) {
      char16_t* out = buffer.Reserve(std::size_t(Other.requiredSpace(qsizetype(n))));
      Other.resetState();
      QChar* end =
          Other.appendToBuffer(reinterpret_cast<QChar*>(out),
                               QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(n)));
      buffer.Commit(reinterpret_cast<char16_t*>(end));
      return;
    }
    // UTF-8 and NONE: plain ASCII is by far the common case and needs no decoder.
    std::size_t ascii = 0;
    while (ascii < n && bytes[ascii] < 0x80)
      ++ascii;
    char16_t* out = buffer.Reserve(n + 4);
    char16_t* start = out;
    out = Widen(out, bytes, ascii);
    if (ascii < n) {
      Utf8Decoder.resetState();
      QChar* end = Utf8Decoder.appendToBuffer(
          reinterpret_cast<QChar*>(out),
          QByteArrayView(reinterpret_cast<const char*>(bytes + ascii), qsizetype(n - ascii)));
      out = reinterpret_cast<char16_t*>(end);
      // NONE carries whatever the client stored; bytes that are not UTF-8 are most likely a
      // single-byte code page, and Latin-1 keeps every byte visible instead of replacing it.
      if (Mode == None && Utf8Decoder.hasError()) out = Widen(start, bytes, n);
    }
    buffer.Commit(out);
  }
};

TFbRowFormatter::TFbRowFormatter() = default;
TFbRowFormatter::~TFbRowFormatter() = default;

void TFbRowFormatter::Clear() {
  m_columns.clear();
  m_columnDecoders.clear();
  m_attachment = nullptr;
  m_transaction = nullptr;
  m_scratch.Release();
}

TFbRowFormatter::TDecoder& TFbRowFormatter::DecoderFor(unsigned charset) {
  auto& slot = m_decoders[charset];
  if (!slot) slot = std::make_unique<TDecoder>(charset);
  return *slot;
}

void TFbRowFormatter::SetBlobSource(Firebird::IAttachment* attachment,
                                    Firebird::ITransaction* transaction) {
  m_attachment = attachment;
  m_transaction = transaction;
}

void TFbRowFormatter::Describe(Firebird::IMessageMetadata* meta, int connectionCharset) {
  m_columns.clear();
  m_columnDecoders.clear();
  Fb::TStatus status;
  const unsigned count = meta->getCount(&status);
  m_columns.reserve(count);
  auto name = [&](const char* text) {
    return FbDecode(QByteArray(text ? text : ""), connectionCharset);
  };
  for (unsigned i = 0; i < count; ++i) {
    TFbColumn c;
    c.Name = name(meta->getAlias(&status, i));
    c.FieldName = name(meta->getField(&status, i));
    c.Relation = name(meta->getRelation(&status, i));
    if (c.Name.isEmpty()) c.Name = c.FieldName;
    c.SqlType = meta->getType(&status, i) & ~1u;
    c.SubType = meta->getSubType(&status, i);
    c.Scale = meta->getScale(&status, i);
    c.Length = meta->getLength(&status, i);
    c.CharSet = meta->getCharSet(&status, i);
    c.Nullable = meta->isNullable(&status, i);
    c.Offset = meta->getOffset(&status, i);
    c.NullOffset = meta->getNullOffset(&status, i);
    c.FieldType = FbFieldType(c.SqlType, c.SubType, c.Scale);
    m_columns.push_back(c);
    m_columnDecoders.push_back(&DecoderFor(c.CharSet));
  }
}

bool TFbRowFormatter::IsNull(const unsigned char* row, int column) const {
  const TFbColumn& c = m_columns[std::size_t(column)];
  if (c.SqlType == SQL_NULL) return true;
  short flag;
  std::memcpy(&flag, row + c.NullOffset, sizeof flag);
  return flag != 0;
}

namespace {
template <typename T>
T Read(const unsigned char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

template <typename T>
char16_t* Floating(char16_t* out, T value, int scale) {
  char text[400];
  // A dialect 1 NUMERIC is a double with a scale: show it with that many decimals.
  const auto result = scale < 0 ? std::to_chars(text, text + sizeof text, double(value),
                                                std::chars_format::fixed, -scale)
                                : std::to_chars(text, text + sizeof text, value);
  for (const char* p = text; p != result.ptr; ++p)
    *out++ = char16_t(*p);
  return out;
}
} // namespace

void TFbRowFormatter::Append(const unsigned char* row, int column, TFbTextBuffer& out) {
  const TFbColumn& c = m_columns[std::size_t(column)];
  const unsigned char* p = row + c.Offset;
  switch (c.SqlType) {
  case SQL_SHORT: {
    char16_t* w = out.Reserve(24);
    out.Commit(FbFormat::Scaled(w, Read<short>(p), c.Scale));
    return;
  }
  case SQL_LONG: {
    char16_t* w = out.Reserve(24);
    out.Commit(FbFormat::Scaled(w, Read<int>(p), c.Scale));
    return;
  }
  case SQL_INT64:
  case SQL_QUAD: {
    char16_t* w = out.Reserve(48);
    out.Commit(FbFormat::Scaled(w, Read<long long>(p), c.Scale));
    return;
  }
  case SQL_FLOAT: {
    char16_t* w = out.Reserve(400);
    out.Commit(Floating(w, Read<float>(p), c.Scale));
    return;
  }
  case SQL_DOUBLE:
  case SQL_D_FLOAT: {
    char16_t* w = out.Reserve(400);
    out.Commit(Floating(w, Read<double>(p), c.Scale));
    return;
  }
  case SQL_TYPE_DATE: {
    char16_t* w = out.Reserve(16);
    out.Commit(FbFormat::Date(w, Read<ISC_DATE>(p)));
    return;
  }
  case SQL_TYPE_TIME: {
    char16_t* w = out.Reserve(16);
    out.Commit(FbFormat::Time(w, Read<ISC_TIME>(p)));
    return;
  }
  case SQL_TIMESTAMP: {
    const auto stamp = Read<ISC_TIMESTAMP>(p);
    char16_t* w = out.Reserve(32);
    w = FbFormat::Date(w, stamp.timestamp_date);
    *w++ = u' ';
    out.Commit(FbFormat::Time(w, stamp.timestamp_time));
    return;
  }
  case SQL_BOOLEAN:
    out.Append(*p ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    return;
  case SQL_TEXT: {
    std::size_t n = c.Length;
    // CHAR values arrive padded to the byte length; the blanks are not part of what was stored
    // in a multi-byte set and only clutter the grid in any set.
    if (c.CharSet != fbcsOctets)
      while (n && p[n - 1] == ' ')
        --n;
    m_columnDecoders[std::size_t(column)]->Decode(p, n, out);
    return;
  }
  case SQL_VARYING: {
    const std::size_t n = qMin<std::size_t>(Read<unsigned short>(p), c.Length);
    m_columnDecoders[std::size_t(column)]->Decode(p + 2, n, out);
    return;
  }
  case SQL_BLOB:
    if (c.SubType == 1)
      AppendBlob(row, c, out);
    else
      out.Append(QStringLiteral("(BLOB)"));
    return;
  case SQL_ARRAY:
    out.Append(QStringLiteral("(ARRAY)"));
    return;
  case SQL_NULL:
    out.Append(FbNullText());
    return;
  default:
    out.Append(QStringLiteral("(unsupported type %1)").arg(c.SqlType));
    return;
  }
}

void TFbRowFormatter::AppendBlob(const unsigned char* row, const TFbColumn& c, TFbTextBuffer& out) {
  if (!m_attachment || !m_transaction) {
    out.Append(QStringLiteral("(BLOB)"));
    return;
  }
  ISC_QUAD id = Read<ISC_QUAD>(row + c.Offset);
  QByteArray bytes;
  bool truncated = false;
  Fb::TStatus status;
  Firebird::IBlob* blob = nullptr;
  try {
    blob = m_attachment->openBlob(&status, m_transaction, &id, 0, nullptr);
    char segment[16384];
    for (;;) {
      unsigned length = 0;
      const int rc = blob->getSegment(&status, sizeof segment, segment, &length);
      if (rc != Firebird::IStatus::RESULT_OK && rc != Firebird::IStatus::RESULT_SEGMENT) break;
      const std::size_t room = MaxBlobBytes - std::size_t(bytes.size());
      if (length > room) {
        bytes.append(segment, qsizetype(room));
        truncated = true;
        break;
      }
      bytes.append(segment, qsizetype(length));
    }
    if (truncated)
      blob->cancel(&status);
    else
      blob->close(&status);
    blob = nullptr;
  } catch (const Firebird::FbException& error) {
    Fb::ReleaseRef(blob);
    Fb::Raise(error);
  }
  if (truncated) {
    // Do not end on half of a multi-byte character.
    if (IsUtf8Like(int(c.CharSet)) || c.CharSet == fbcsNone)
      while (!bytes.isEmpty() && (uchar(bytes.back()) & 0xC0) == 0x80)
        bytes.chop(1);
    if (!bytes.isEmpty() && (IsUtf8Like(int(c.CharSet)) || c.CharSet == fbcsNone) &&
        uchar(bytes.back()) >= 0xC0)
      bytes.chop(1);
  }
  DecoderFor(c.CharSet).Decode(reinterpret_cast<const unsigned char*>(bytes.constData()),
                               std::size_t(bytes.size()), out);
  if (truncated) out.Append(QString(QChar(0x2026)));
}

QString TFbRowFormatter::Text(const unsigned char* row, int column) {
  if (IsNull(row, column)) return FbNullText();
  m_scratch.Clear();
  Append(row, column, m_scratch);
  return m_scratch.ToString(0, m_scratch.Size());
}
