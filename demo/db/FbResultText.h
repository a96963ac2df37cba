#pragma once

// What the rows of a result become outside the grid: the order a column sorts them in, and
// the text of a copy (tab-separated) or an export (CSV).

#include <QString>
#include <QStringList>

#include <atomic>
#include <vector>

class QCollator;
class QIODevice;
class TFbRowStore;

namespace FbResultText {

// Compares two values of a column of field type `type` as the user reads them: numbers by
// value (exactly for integers and scaled numbers), text by the collator, dates and times by
// their ISO text.
int Compare(QStringView a, QStringView b, int type, const QCollator& collator);

// Store rows in the order of `column` (NULL first when ascending); stable, so rows that compare
// equal keep their order. Empty when `cancel` was set meanwhile.
std::vector<int> SortedOrder(const TFbRowStore& rows, int column, int type, bool descending,
                             const std::atomic<bool>& cancel);

// A field of tab-separated text: in double quotes (inner ones doubled) when it holds a tab, a
// line break or a double quote.
QString TabField(QStringView text);
// A field of RFC 4180 CSV: in double quotes when it holds a comma, a double quote, CR or LF.
QString CsvField(QStringView text);

// Writes the header line and every row (in `order`, all store rows when empty) as CSV: UTF-8,
// CR LF line ends, NULL as an empty field (an empty text as ""). Counts written rows in `progress`;
// stops and returns false when `cancel` is set. Raises EKvError when the device fails.
bool WriteCsv(QIODevice& device, const TFbRowStore& rows, const QStringList& names,
              const std::vector<int>& order, const std::atomic<bool>& cancel,
              std::atomic<qint64>& progress);

} // namespace FbResultText
