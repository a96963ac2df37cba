// How fast the designer turns a large statement into windows and links, and writes it back.
//
//   bench_component_kvarta [RUNS] [TABLES]
//
// Builds a statement over TABLES tables (default 100) joined in a chain, with a second
// condition on half of the pairs (1.5 links per table), assigns it to the InterBase/Firebird
// component (offscreen, 1920 x 1080) and reports the median time of SetSQL (parse, one window
// per table, ticks, links) and of reading SQL back.

#include "KvDataSet.h"
#include "KvFloatPanel.h"
#include "KvIBWindow.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

namespace {

class TMemoryDataSet : public TKvDataSet {
public:
  explicit TMemoryDataSet(QStringList names) : m_names(std::move(names)) {}
  int FieldCount() const override { return int(m_names.size()); }
  QString FieldName(int index) const override { return m_names.at(index); }
  int FieldType(int) const override { return ftInteger; }

private:
  QStringList m_names;
};

QString Statement(int tables) {
  QStringList columns, from;
  for (int i = 0; i < tables; ++i) {
    const QString a = QStringLiteral("A%1").arg(i);
    columns << a + QStringLiteral(".ID") << a + QStringLiteral(".NAME");
    if (i == 0) {
      from << QStringLiteral("TBL_%1 %2").arg(i).arg(a);
      continue;
    }
    const QString prev = QStringLiteral("A%1").arg(i - 1);
    QString join =
        QStringLiteral("LEFT OUTER JOIN TBL_%1 %2 ON (%3.ID = %2.PARENT_ID)").arg(i).arg(a, prev);
    if (i % 2 == 0 || i <= 3) join += QStringLiteral(" AND (%1.CODE = %2.CODE)").arg(prev, a);
    from << join;
  }
  return QStringLiteral("SELECT %1 FROM %2 WHERE (A0.ID > 0) ORDER BY A0.NAME")
      .arg(columns.join(QStringLiteral(", ")), from.join(QLatin1Char(' ')));
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
  const int tables = argc > 2 ? std::max(2, atoi(argv[2])) : 100;

  const QString sql = Statement(tables);
  std::map<QString, TMemoryDataSet> sets;
  for (int i = 0; i < tables; ++i)
    sets.emplace(
        QStringLiteral("TBL_%1").arg(i),
        TMemoryDataSet({"ID", "PARENT_ID", "NAME", "CODE", "AMOUNT", "QTY", "STATUS", "CREATED"}));

  TInterBaseKvarta kvarta;
  kvarta.resize(1920, 1080);
  kvarta.show();
  kvarta.OnGetTableFields = [&](const QString& name, const TKvDataSet*& dataSet, QStringList&) {
    auto it = sets.find(name);
    if (it != sets.end()) dataSet = &it->second;
  };

  using Clock = std::chrono::steady_clock;
  std::vector<double> build, read, paint;
  QString text;
  for (int r = 0; r < runs; ++r) {
    auto t0 = Clock::now();
    kvarta.SetSQL(sql);
    build.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    t0 = Clock::now();
    text = kvarta.SQL();
    read.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    t0 = Clock::now();
    QApplication::processEvents(); // the first paint of what was built
    paint.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }

  std::printf("statement: %d tables, %d links on the surface, %lld characters in, %lld out\n",
              kvarta.TableList().Count(), int(kvarta.WorkArea()->Links().size()),
              static_cast<long long>(sql.size()), static_cast<long long>(text.size()));
  std::printf("SetSQL (parse, windows, ticks, links)   median %8.2f ms  (target < 100 ms)\n",
              Median(build));
  std::printf("reading SQL back                        median %8.2f ms  (target < 5 ms)\n",
              Median(read));
  std::printf("first paint afterwards                  median %8.2f ms\n", Median(paint));
  return 0;
}
