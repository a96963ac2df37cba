// libFuzzer target: parse -> generate -> parse -> generate.
//
// The first byte chooses the server, the SQL dialect, how the rest is decoded (UTF-8 or
// Latin-1) and the letter cases written; the rest is the statement. Any statement the parser
// accepts must generate text that parses again into a model that generates the same text, and
// generating twice from one model must give the same text. A refusal must be a parser error;
// anything else escaping is a finding too.

#include "KvIBParser.h"
#include "KvParserError.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Mode {
  TKvIBSQLServer server;
  TKvSQLDialect dialect;
  bool latin1;
  TKvFormatMode keywords;
  TKvFormatMode functions;
};

Mode ModeOf(std::uint8_t b) {
  return {b & 1 ? kssFireBird : kssInterBase, b & 2 ? kibDialect1 : kibDialect3, (b & 4) != 0,
          TKvFormatMode((b >> 3) & 3), TKvFormatMode((b >> 5) & 3)};
}

void Setup(TKvIBSelectParser& p, const Mode& m) {
  p.SetSQLServer(m.server);
  p.SetSQLDialect(m.dialect);
  p.ScriptFormat()->SetKeywordsFormat(m.keywords);
  p.ScriptFormat()->SetFunctionsFormat(m.functions);
}

// The text with control characters and non-ASCII escaped, so a report can be pasted back.
QByteArray Escaped(const QString& s) {
  QByteArray out;
  for (const QChar ch : s) {
    const char16_t u = ch.unicode();
    if (u == '\\')
      out += "\\\\";
    else if (u == '\r')
      out += "\\r";
    else if (u == '\n')
      out += "\\n";
    else if (u >= 0x20 && u < 0x7F)
      out += char(u);
    else
      out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1();
  }
  return out;
}

[[noreturn]] void Fail(const Mode& m, const char* what, const QString& input, const QString& first,
                       const QString& second) {
  std::fprintf(stderr,
               "\n*** %s\nserver %s, dialect %d, keywords %d, functions %d\n"
               "input:  \"%s\"\nfirst:  \"%s\"\nsecond: \"%s\"\n",
               what, m.server == kssFireBird ? "firebird" : "interbase",
               m.dialect == kibDialect1 ? 1 : 3, int(m.keywords), int(m.functions),
               Escaped(input).constData(), Escaped(first).constData(), Escaped(second).constData());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const Mode mode = ModeOf(data[0]);
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const qsizetype n = qsizetype(size - 1);
  const QString input = mode.latin1 ? QString::fromLatin1(bytes, n) : QString::fromUtf8(bytes, n);

  TKvIBSelectParser p;
  Setup(p, mode);
  try {
    p.SetSQL(input);
  } catch (const EKvParserError&) {
    if (p.Valid()) Fail(mode, "refused, but the parser says it is valid", input, {}, {});
    return 0;
  }
  if (!p.Valid()) Fail(mode, "accepted, but the parser says it is not valid", input, {}, {});
  const QString first = p.GetSQL();
  const QString again = p.GetSQL();
  if (again != first) Fail(mode, "generating twice gave different texts", input, first, again);

  TKvIBSelectParser q;
  Setup(q, mode);
  try {
    q.SetSQL(first);
  } catch (const EKvParserError& e) {
    Fail(mode, ("the generated text is refused: " + e.Message()).toUtf8().constData(), input, first,
         {});
  }
  const QString second = q.GetSQL();
  if (second != first)
    Fail(mode, "the generated text reads back differently", input, first, second);
  return 0;
}
