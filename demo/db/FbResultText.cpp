#include "FbResultText.h"

#include "FbRowStore.h"
#include "KvDataSet.h"
#include "KvError.h"

#include <QCollator>
#include <QIODevice>

#include <algorithm>
#include <charconv>

namespace FbResultText {

namespace {

struct TCancelled {};

// Exact comparison of decimal texts such as "-12", "3.50", "-0.25".
int CompareDecimal(QStringView a, QStringView b) {
  const bool negA = a.startsWith(u'-'), negB = b.startsWith(u'-');
  if (negA != negB) return negA ? -1 : 1;
  if (negA) {
    a = a.mid(1);
    b = b.mid(1);
  }
  const qsizetype dotA = a.indexOf(u'.'), dotB = b.indexOf(u'.');
  QStringView intA = dotA < 0 ? a : a.left(dotA), intB = dotB < 0 ? b : b.left(dotB);
  QStringView fracA = dotA < 0 ? QStringView() : a.mid(dotA + 1);
  QStringView fracB = dotB < 0 ? QStringView() : b.mid(dotB + 1);
  while (intA.size() > 1 && intA.front() == u'0')
    intA = intA.mid(1);
  while (intB.size() > 1 && intB.front() == u'0')
    intB = intB.mid(1);
  int result =
      intA.size() != intB.size() ? (intA.size() < intB.size() ? -1 : 1) : intA.compare(intB);
  for (qsizetype i = 0; result == 0 && i < std::max(fracA.size(), fracB.size()); ++i) {
    const char16_t da = i < fracA.size() ? fracA[i].unicode() : u'0';
    const char16_t db = i < fracB.size() ? fracB[i].unicode() : u'0';
    if (da != db) result = da < db ? -1 : 1;
  }
  return negA ? -result : result;
}

double ToDouble(QStringView text) {
  const QByteArray latin = text.toLatin1();
  double value = 0;
  std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
  return value;
}

template <typename T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

int Compare(QStringView a, QStringView b, int type, const QCollator& collator) {
  switch (type) {
  case ftSmallint:
  case ftInteger:
  case ftLargeint:
  case ftBCD:
    return CompareDecimal(a, b);
  case ftFloat:
    return Sign(ToDouble(a), ToDouble(b));
  case ftString:
  case ftFixedChar:
  case ftMemo:
  case ftWideString: {
    const int result = collator.compare(a, b);
    return result != 0 ? result : a.compare(b); // equal to the collator, yet not the same text
  }
  default:
    return a.compare(b);
  }
}

std::vector<int> SortedOrder(const TFbRowStore& rows, int column, int type, bool descending,
                             const std::atomic<bool>& cancel) {
  std::vector<int> order(std::size_t(rows.Rows()));
  for (int i = 0; i < rows.Rows(); ++i)
    order[std::size_t(i)] = i;
  // The C locale means no language was chosen rather than byte order: it sorts as English.
  QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
  collator.setNumericMode(true);
  unsigned calls = 0;
  const auto less = [&](int x, int y) {
    if ((++calls & 4095) == 0 && cancel.load(std::memory_order_relaxed)) throw TCancelled();
    const bool nullX = rows.IsNull(x, column), nullY = rows.IsNull(y, column);
    int result = nullX || nullY
                     ? Sign(!nullX, !nullY)
                     : Compare(rows.View(x, column), rows.View(y, column), type, collator);
    return descending ? result > 0 : result < 0;
  };
  try {
    std::stable_sort(order.begin(), order.end(), less);
  } catch (const TCancelled&) {
    return {};
  }
  return order;
}

namespace {
QString Quoted(QStringView text, bool quote) {
  if (!quote) return text.toString();
  QString result;
  result.reserve(text.size() + 2);
  result += u'"';
  for (QChar c : text) {
    if (c == u'"') result += u'"';
    result += c;
  }
  result += u'"';
  return result;
}
} // namespace

QString TabField(QStringView text) {
  const bool quote = std::any_of(text.begin(), text.end(), [](QChar c) {
    return c == u'\t' || c == u'\n' || c == u'\r' || c == u'"';
  });
  return Quoted(text, quote);
}

QString CsvField(QStringView text) {
  const bool quote = std::any_of(text.begin(), text.end(), [](QChar c) {
    return c == u',' || c == u'\n' || c == u'\r' || c == u'"';
  });
  return Quoted(text, quote);
}

bool WriteCsv(QIODevice& device, const TFbRowStore& rows, const QStringList& names,
              const std::vector<int>& order, const std::atomic<bool>& cancel,
              std::atomic<qint64>& progress) {
  QString line;
  QByteArray buffer;
  const auto flush = [&](bool force) {
    if (!force && buffer.size() < (1 << 20)) return;
    if (device.write(buffer) != buffer.size())
      throw EKvError(QStringLiteral("Cannot write the file: %1").arg(device.errorString()));
    buffer.clear();
  };
  for (qsizetype i = 0; i < names.size(); ++i) {
    if (i) line += u',';
    line += CsvField(names[i]);
  }
  line += QLatin1String("\r\n");
  buffer += line.toUtf8();
  const int count = order.empty() ? rows.Rows() : int(order.size());
  for (int i = 0; i < count; ++i) {
    if ((i & 1023) == 0) {
      if (cancel.load(std::memory_order_relaxed)) return false;
      progress = i;
    }
    const int row = order.empty() ? i : order[std::size_t(i)];
    line.clear();
    for (int c = 0; c < rows.Columns(); ++c) {
      if (c) line += u',';
      if (rows.IsNull(row, c)) continue; // NULL: an empty field
      const QStringView value = rows.View(row, c);
      // An empty text is written quoted, so that it reads back apart from NULL.
      line += value.isEmpty() ? QStringLiteral("\"\"") : CsvField(value);
    }
    line += QLatin1String("\r\n");
    buffer += line.toUtf8();
    flush(false);
  }
  flush(true);
  progress = count;
  return true;
}

} // namespace FbResultText
