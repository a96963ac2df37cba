// Parser and SQL writer throughput on the shared benchmark inputs: a corpus of 1,000 small
// statements and single statements joining 1, 10, 100 and 1,000 tables. Per input: parse,
// generate and parse+generate speed (MB of input text per second), time per statement, and
// memory. Each figure is the median of several runs.
//
//   bench_core_parser [RUNS] [FOLDER] [FILE]
//
// Defaults: 15 runs, the shared bench folder, every input; naming one FILE measures only that
// one (for a profiler).

#include "KvIBParser.h"
#include "KvParserError.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Peak resident set size of the process so far, in MB.
double PeakRssMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

double HeapInUseMB() {
  return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

// Statements separated by lines holding only ";", as the shared inputs are written.
QStringList Split(const QString& text) {
  static const QRegularExpression separator(QStringLiteral("^;\\r?$"),
                                            QRegularExpression::MultilineOption);
  QStringList out;
  for (const QString& piece : text.split(separator))
    if (!piece.trimmed().isEmpty()) out << piece;
  return out;
}

std::unique_ptr<TKvIBSelectParser> NewParser() {
  auto p = std::make_unique<TKvIBSelectParser>();
  p->SetSQLServer(kssFireBird);
  p->SetSQLDialect(kibDialect3);
  return p;
}

bool Parse(TKvSelectParser& p, const QString& sql, QString* error = nullptr) {
  try {
    p.SetSQL(sql);
    return true;
  } catch (const EKvParserError& e) {
    if (error) *error = e.Message();
    return false;
  }
}

struct Figures {
  QString name;
  double kb = 0;
  int statements = 0;
  int refused = 0;
  double parseMBs = 0, generateMBs = 0, bothMBs = 0;
  double bothMs = 0;    // one pass over the whole input
  double perStmtUs = 0; // parse+generate of one statement
  double outKb = 0;
  double peakMB = 0;
  double modelMB = -1;
};

Figures Measure(const QString& folder, const QString& file, int runs, bool showRefused) {
  Figures f;
  f.name = file;
  QFile in(folder + QLatin1Char('/') + file);
  if (!in.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(in.fileName()),
                 qPrintable(in.errorString()));
    return f;
  }
  const QByteArray bytes = in.readAll();
  const QStringList all = Split(QString::fromUtf8(bytes));
  const double mb = double(bytes.size()) / 1e6;
  f.kb = double(bytes.size()) / 1e3;

  // Refused statements are part of the work a user's text costs, so they stay in the timed
  // passes; the count tells how much of the input was really turned into a model.
  f.statements = int(all.size());
  {
    auto p = NewParser();
    for (const QString& s : all) {
      QString error;
      if (!Parse(*p, s, &error)) {
        if (showRefused && f.refused < 5)
          std::printf("  refused: %s\n    %s\n", qPrintable(error),
                      qPrintable(s.simplified().left(150)));
        ++f.refused;
      }
    }
  }

  // Model memory: the heap held by parsers that keep every statement of the input.
  std::vector<std::unique_ptr<TKvIBSelectParser>> models;
  models.reserve(all.size());
  std::vector<double> parseT, generateT, bothT;
  size_t outChars = 0;
  for (int run = 0; run < runs; ++run) {
    models.clear();
    for (qsizetype i = 0; i < all.size(); ++i)
      models.push_back(NewParser());
    const double heapBefore = HeapInUseMB();

    auto t0 = Clock::now();
    for (qsizetype i = 0; i < all.size(); ++i)
      Parse(*models[size_t(i)], all[i]);
    parseT.push_back(Seconds(Clock::now() - t0));
    if (run == 0) f.modelMB = HeapInUseMB() - heapBefore;

    outChars = 0;
    t0 = Clock::now();
    for (auto& m : models)
      if (m->Valid()) outChars += size_t(m->GetSQL().size());
    generateT.push_back(Seconds(Clock::now() - t0));

    // The way the designer and kvsql work: one parser, text in, text out.
    auto p = NewParser();
    size_t sink = 0;
    t0 = Clock::now();
    for (const QString& s : all)
      if (Parse(*p, s)) sink += size_t(p->GetSQL().size());
    bothT.push_back(Seconds(Clock::now() - t0));
    if (sink != outChars)
      std::fprintf(stderr, "%s: the two passes wrote different text\n",
                   file.toLocal8Bit().constData());
  }
  models.clear();
  f.outKb = double(outChars) / 1e3;
  const double parse = Median(parseT), generate = Median(generateT), both = Median(bothT);
  f.parseMBs = mb / parse;
  f.generateMBs = mb / generate;
  f.bothMBs = mb / both;
  f.bothMs = both * 1e3;
  f.perStmtUs = f.statements ? both * 1e6 / f.statements : 0;
  f.peakMB = PeakRssMB();
  return f;
}

} // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const QString folder =
      argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(KV_SHARED_DIR "/bench");
  std::printf("Parser benchmark: %s, median of %d runs, Firebird dialect 3\n\n", qPrintable(folder),
              runs);

  const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
  std::vector<Figures> rows;
  for (const char* file : {"corpus_1000.sql", "select_n1.sql", "select_n10.sql", "select_n100.sql",
                           "select_n1000.sql"}) {
    const QString name = QString::fromLatin1(file);
    if (!only.isEmpty() && name != only) continue;
    // Small inputs get more runs so that their medians rest on measurable times.
    const int n = name == QLatin1String("select_n1.sql")    ? runs * 200
                  : name == QLatin1String("select_n10.sql") ? runs * 20
                                                            : runs;
    rows.push_back(Measure(folder, name, n, name.startsWith(QLatin1String("corpus"))));
  }
  const QString langref = QStringLiteral(KV_SHARED_DIR "/corpus/fblangref30-selects.sql");
  if (only.isEmpty() && QFile::exists(langref)) {
    Figures f = Measure(QStringLiteral(KV_SHARED_DIR "/corpus"),
                        QStringLiteral("fblangref30-selects.sql"), runs, false);
    rows.push_back(f);
  }

  std::printf("\n%-24s %8s %6s %7s %9s %9s %9s %10s %10s %8s %8s %8s\n", "input", "KB", "stmts",
              "refused", "parse", "generate", "both", "both", "per stmt", "out KB", "model",
              "peak");
  std::printf("%-24s %8s %6s %7s %9s %9s %9s %10s %10s %8s %8s %8s\n", "", "", "", "", "MB/s",
              "MB/s", "MB/s", "ms", "us", "", "MB", "RSS MB");
  for (const Figures& f : rows)
    std::printf("%-24s %8.1f %6d %7d %9.1f %9.1f %9.1f %10.3f %10.2f %8.1f %8.2f %8.1f\n",
                qPrintable(f.name), f.kb, f.statements, f.refused, f.parseMBs, f.generateMBs,
                f.bothMBs, f.bothMs, f.perStmtUs, f.outKb, f.modelMB, f.peakMB);

  auto find = [&](const char* name) -> const Figures* {
    for (const Figures& f : rows)
      if (f.name == QLatin1String(name)) return &f;
    return nullptr;
  };
  std::printf("\nTargets:\n");
  auto target = [](const char* what, double value, const char* unit, bool met) {
    std::printf("  %-48s %10.2f %-5s %s\n", what, value, unit, met ? "met" : "MISSED");
  };
  if (const Figures* f = find("corpus_1000.sql"))
    target("parse+generate corpus_1000 >= 30 MB/s", f->bothMBs, "MB/s", f->bothMBs >= 30);
  if (const Figures* f = find("select_n100.sql"))
    target("parse+generate select_n100 >= 30 MB/s", f->bothMBs, "MB/s", f->bothMBs >= 30);
  if (const Figures* f = find("select_n1000.sql")) {
    target("parse+generate select_n1000 < 50 ms", f->bothMs, "ms", f->bothMs < 50);
    target("1,000-table model < 50 MB (heap held)", f->modelMB, "MB", f->modelMB < 50);
  }
  return 0;
}
