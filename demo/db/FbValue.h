#pragma once

#include "KvDataSet.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstddef>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
class IMessageMetadata;
} // namespace Firebird

// Display text of a NULL value; the grid also marks such cells through a role of its own.
QString FbNullText();

// Field-type code of a column as the engine describes it (SQL type without the null bit,
// sub-type, scale). Integers with a negative scale are NUMERIC/DECIMAL and map to ftBCD.
TFieldType FbFieldType(unsigned sqlType, int subType, int scale);

// Firebird character set ids this layer treats specially.
enum : unsigned {
  fbcsNone = 0,
  fbcsOctets = 1,
  fbcsAscii = 2,
  fbcsUnicodeFss = 3,
  fbcsUtf8 = 4,
  fbcsIso8859_1 = 21
};
// Firebird character set id of a connection character set name ("UTF8", "WIN1251" ...), -1
// when unknown. Letter case does not matter.
int FbCharsetId(const QString& name);
// Codec name Qt knows for a Firebird character set id, empty for the ones decoded by hand or
// not known.
QByteArray FbCharsetCodecName(unsigned charsetId);
// Name of a Firebird character set id ("WIN1251"), the number when unknown.
QString FbCharsetName(int charsetId);
// The bytes of `text` in a connection character set (for SQL text and object names).
QByteArray FbEncode(const QString& text, int charsetId);
// Index of the first character of `text` that the character set cannot hold (NONE and OCTETS
// take text as UTF-8), -1 when every one fits.
qsizetype FbFirstUnencodable(const QString& text, int charsetId);
// The same for a codec Qt knows by name ("windows-1251", "UTF-8").
qsizetype FbFirstUnencodableIn(const QString& text, const QByteArray& codec);
// 1-based line and column (in characters) of `index` in `text`; CR LF, CR and LF end lines.
std::pair<int, int> FbTextPosition(const QString& text, qsizetype index);
// FbEncode for a statement: raises EFbError naming the first character the connection
// character set cannot hold and where it stands, instead of letting it become "?".
QByteArray FbEncodeStatement(const QString& text, int charsetId);
QString FbDecode(const QByteArray& bytes, int charsetId);

// A growable UTF-16 buffer that converters write into directly: Reserve gives room for n more
// characters and returns the write position, Commit marks what was written.
class TFbTextBuffer {
public:
  TFbTextBuffer() = default;
  ~TFbTextBuffer();
  TFbTextBuffer(TFbTextBuffer&& other) noexcept;
  TFbTextBuffer& operator=(TFbTextBuffer&& other) noexcept;
  TFbTextBuffer(const TFbTextBuffer&) = delete;
  TFbTextBuffer& operator=(const TFbTextBuffer&) = delete;

  char16_t* Reserve(std::size_t n);
  void Commit(char16_t* end) { m_size = std::size_t(end - m_data); }
  void Append(const QString& text);
  std::size_t Size() const { return m_size; }
  std::size_t Capacity() const { return m_capacity; }
  const char16_t* Data() const { return m_data; }
  QString ToString(std::size_t offset, std::size_t length) const;
  void Clear() { m_size = 0; }
  void Truncate(std::size_t size) {
    if (size < m_size) m_size = size;
  }
  void Shrink();  // gives back unused capacity
  void Release(); // frees everything

private:
  char16_t* m_data = nullptr;
  std::size_t m_size = 0;
  std::size_t m_capacity = 0;
};

// One output column of a statement.
struct TFbColumn {
  QString Name;      // as the statement returns it (the alias, else the column name)
  QString FieldName; // underlying column, empty for expressions
  QString Relation;  // table or view of the column, empty for expressions
  TFieldType FieldType = ftUnknown;
  unsigned SqlType = 0; // SQL_* without the null bit
  int SubType = 0;
  int Scale = 0;
  unsigned Length = 0; // bytes in the message
  unsigned CharSet = 0;
  bool Nullable = true;
  unsigned Offset = 0;
  unsigned NullOffset = 0;
};

// Turns the values of a fetched row message into display text: integers and scaled numbers
// exactly (integer arithmetic), floating point in the shortest form that reads back the same,
// dates and times ISO (YYYY-MM-DD, HH:MM:SS[.ffff]), booleans TRUE/FALSE, text decoded by its
// character set with CHAR padding removed, OCTETS text as hex, text BLOBs read (up to
// MaxBlobBytes), other BLOBs "(BLOB)", arrays "(ARRAY)".
class TFbRowFormatter {
public:
  static constexpr std::size_t MaxBlobBytes = 64 * 1024;

  TFbRowFormatter();
  ~TFbRowFormatter();

  // Reads the columns of `meta`; names are decoded in the connection character set.
  void Describe(Firebird::IMessageMetadata* meta, int connectionCharset);
  void Clear();
  // Where text BLOBs are read from; must stay valid while rows are converted.
  void SetBlobSource(Firebird::IAttachment* attachment, Firebird::ITransaction* transaction);

  int Count() const { return int(m_columns.size()); }
  const TFbColumn& Column(int index) const { return m_columns[std::size_t(index)]; }

  bool IsNull(const unsigned char* row, int column) const;
  // Appends the text of a value that is not NULL. Reading a BLOB may raise EFbError.
  void Append(const unsigned char* row, int column, TFbTextBuffer& out);
  // The text of a value, FbNullText() for NULL.
  QString Text(const unsigned char* row, int column);

private:
  struct TDecoder;
  TDecoder& DecoderFor(unsigned charset);
  void AppendBlob(const unsigned char* row, const TFbColumn& column, TFbTextBuffer& out);

  std::vector<TFbColumn> m_columns;
  std::vector<TDecoder*> m_columnDecoders;
  std::map<unsigned, std::unique_ptr<TDecoder>> m_decoders;
  Firebird::IAttachment* m_attachment = nullptr;
  Firebird::ITransaction* m_transaction = nullptr;
  TFbTextBuffer m_scratch;
};

// Writers used by the formatter, exposed for tests: each writes at `out` and returns the end.
namespace FbFormat {
char16_t* Integer(char16_t* out, long long value);
char16_t* Scaled(char16_t* out, long long value, int scale);
char16_t* Date(char16_t* out, int isoDate);   // days since 1858-11-17
char16_t* Time(char16_t* out, unsigned time); // 1/10000 s since midnight
} // namespace FbFormat
