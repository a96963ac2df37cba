// kvsql: the designer's SELECT formatter and checker for scripts.
//
//   kvsql format [options] [FILE...]   parse each statement and write it in the designer's layout
//   kvsql check  [options] [FILE...]   parse only; print nothing but errors
//
// Exit status: 0 all statements read, 1 at least one syntax error, 2 a bad option or an
// unreadable file (the worst one wins; every file is still processed).

#include "KvIBParser.h"
#include "KvParserError.h"
#include "KvVersion.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitSyntax = 1;
constexpr int ExitUsage = 2;

const char* const StdinName = "<stdin>";

const char* const HelpText =
    R"(Usage: kvsql format [OPTIONS] [FILE...]
       kvsql check  [OPTIONS] [FILE...]
       kvsql --help | --version

Reads one SELECT statement per FILE with the Kvarta query designer's parser.
"format" writes each statement as the designer generates it to standard output;
"check" only parses and prints nothing for a statement it accepts. Without FILE,
or for a FILE named "-", the statement is read from standard input.

Input is UTF-8 text (a byte order mark is skipped), with LF or CR LF line ends.
A ";" may end the statement; anything but blanks after it is an error.

Options:
  --dialect 1|3          SQL dialect of the database (default 3). Dialect 3 puts
                         names in double quotes where needed; dialect 1 has no
                         quoted names: it writes them upper-cased, spaces as "_".
  --server firebird|interbase
                         Server whose row-limiting clause is read and written
                         (default interbase): firebird reads SELECT FIRST n SKIP m,
                         interbase reads a final ROWS n TO m BY k PERCENT WITH TIES.
  --keywords asis|upper|lower|first
                         Letter case of the keywords written (default asis: as the
                         designer writes them; first = first letter upper case).
  --functions asis|upper|lower|first
                         Letter case of the function names written (default asis:
                         as written in the statement).
  --crlf                 Keep the designer's CR LF line ends in the output; by
                         default lines end with LF alone. Line breaks inside
                         string literals are written as read either way.
  -h, --help             Show this help and exit.
  --version              Show the version and exit.
Options may stand before or after the command and may be written --name=value;
"--" ends the options (a FILE after it may start with "-").

Output (format): each statement as generated, ending with a line end; with several
FILEs the statements follow in the order given, separated by an empty line. An
empty input writes nothing.

Errors go to standard error, one line each:
  FILE:LINE:COLUMN: message     a syntax error (LINE and COLUMN count from 1;
                                FILE is "<stdin>" for standard input)
  kvsql: FILE: reason           a file that cannot be read
The remaining files are still processed.

Exit status: 0 every statement read; 1 at least one syntax error; 2 a bad option
or an unreadable file (2 wins over 1).
)";

struct Options {
  bool format = true;
  TKvSQLDialect dialect = kibDialect3;
  TKvIBSQLServer server = kssInterBase;
  TKvFormatMode keywords = kfmAsIs;
  TKvFormatMode functions = kfmAsIs;
  bool crlf = false;
  QStringList files;
};

void PrintErr(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

void PrintOut(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int UsageError(const QString& message) {
  PrintErr(QStringLiteral("kvsql: %1\nTry 'kvsql --help' for more information.\n").arg(message));
  return ExitUsage;
}

std::optional<TKvFormatMode> ParseFormatMode(const QString& value) {
  if (value == QLatin1String("asis")) return kfmAsIs;
  if (value == QLatin1String("upper")) return kfmUpperCase;
  if (value == QLatin1String("lower")) return kfmLowerCase;
  if (value == QLatin1String("first")) return kfmFirstUpper;
  return std::nullopt;
}

// Parses the command line into `opt`; returns an exit status when the program should stop
// (help, version, usage error), nothing when it should go on. Options may stand anywhere; the
// first other argument is the command, the rest are files.
std::optional<int> ParseCommandLine(const QStringList& args, Options& opt) {
  // --help and --version are honoured anywhere, even beside a bad command or option.
  const qsizetype end =
      args.contains(QStringLiteral("--")) ? args.indexOf(QStringLiteral("--")) : args.size();
  const QStringList before = args.mid(1, end - 1);
  if (before.contains(QStringLiteral("--help")) || before.contains(QStringLiteral("-h"))) {
    PrintOut(QString::fromUtf8(HelpText));
    return ExitOk;
  }
  if (before.contains(QStringLiteral("--version"))) {
    PrintOut(QStringLiteral("kvsql (Kvarta) %1\n").arg(KvVersionText()));
    return ExitOk;
  }

  std::optional<QString> command;
  bool optionsEnded = false;
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
      if (command)
        opt.files << arg;
      else
        command = arg;
      continue;
    }
    if (arg == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    QString name = arg;
    std::optional<QString> value;
    const qsizetype eq = arg.indexOf(QLatin1Char('='));
    if (arg.startsWith(QLatin1String("--")) && eq > 0) {
      name = arg.left(eq);
      value = arg.mid(eq + 1);
    }
    if (name == QLatin1String("--crlf")) {
      if (value) return UsageError(QStringLiteral("--crlf takes no value"));
      opt.crlf = true;
      continue;
    }
    const bool takesValue =
        name == QLatin1String("--dialect") || name == QLatin1String("--server") ||
        name == QLatin1String("--keywords") || name == QLatin1String("--functions");
    if (!takesValue) return UsageError(QStringLiteral("unknown option '%1'").arg(name));
    if (!value) {
      if (i + 1 >= args.size()) return UsageError(QStringLiteral("%1 needs a value").arg(name));
      value = args[++i];
    }
    if (name == QLatin1String("--dialect")) {
      if (*value == QLatin1String("1"))
        opt.dialect = kibDialect1;
      else if (*value == QLatin1String("3"))
        opt.dialect = kibDialect3;
      else
        return UsageError(QStringLiteral("--dialect must be 1 or 3, not '%1'").arg(*value));
    } else if (name == QLatin1String("--server")) {
      if (*value == QLatin1String("firebird"))
        opt.server = kssFireBird;
      else if (*value == QLatin1String("interbase"))
        opt.server = kssInterBase;
      else
        return UsageError(
            QStringLiteral("--server must be firebird or interbase, not '%1'").arg(*value));
    } else {
      const std::optional<TKvFormatMode> mode = ParseFormatMode(*value);
      if (!mode)
        return UsageError(
            QStringLiteral("%1 must be asis, upper, lower or first, not '%2'").arg(name, *value));
      (name == QLatin1String("--keywords") ? opt.keywords : opt.functions) = *mode;
    }
  }
  if (!command) return UsageError(QStringLiteral("no command given (format or check)"));
  if (*command == QLatin1String("format"))
    opt.format = true;
  else if (*command == QLatin1String("check"))
    opt.format = false;
  else
    return UsageError(
        QStringLiteral("unknown command '%1' (expected format or check)").arg(*command));
  if (opt.files.isEmpty()) opt.files << QStringLiteral("-");
  return std::nullopt;
}

// Reads a whole input as UTF-8; on failure returns nothing and sets `reason`.
std::optional<QString> ReadInput(const QString& path, QString& reason) {
  QFile file;
  bool opened = false;
  if (path == QLatin1String("-"))
    opened = file.open(stdin, QIODevice::ReadOnly);
  else {
    file.setFileName(path);
    opened = file.open(QIODevice::ReadOnly);
  }
  if (!opened) {
    reason = file.errorString();
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    reason = file.errorString();
    return std::nullopt;
  }
  // A wrongly decoded name or literal would be written back changed, so refuse rather than guess.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = decoder(bytes);
  if (decoder.hasError()) {
    reason = QStringLiteral("not UTF-8 text");
    return std::nullopt;
  }
  return text;
}

// The input without one final ";" (and the blanks around it), which scripts put after each
// statement but which is no part of the statement the designer reads.
QString WithoutTerminator(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text.at(end - 1).isSpace())
    --end;
  if (end > 0 && text.at(end - 1) == QLatin1Char(';')) return text.left(end - 1);
  return text;
}

// The generated text with its CR LF line breaks made LF, leaving line breaks inside quoted
// strings and names as they were read.
QString ToLf(const QString& sql) {
  QString out;
  out.reserve(sql.size());
  QChar quote;
  for (qsizetype i = 0; i < sql.size(); ++i) {
    const QChar ch = sql.at(i);
    if (quote.isNull()) {
      if (ch == QLatin1Char('\'') || ch == QLatin1Char('"'))
        quote = ch;
      else if (ch == QLatin1Char('\r') && i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char('\n'))
        continue;
    } else if (ch == quote) {
      quote = QChar(); // a doubled quote reopens at the next character
    }
    out += ch;
  }
  return out;
}

// The parser ends the statement at a ";" and ignores the rest of the text. A script checker must
// not pass a second statement (or anything else) hidden there: returns "LINE:COLUMN: message"
// for the first token after the end, nothing when only blanks and ";" follow.
std::optional<QString> TextAfterStatement(TKvSelectParser& parser) {
  TKvSQLScanner* scanner = parser.Scanner();
  try {
    while (scanner->TokenKind() == tkEnd && scanner->Token() == QLatin1String(";"))
      scanner->NextToken();
  } catch (const EKvParserError& e) {
    return QStringLiteral("%1:%2: %3").arg(e.Line()).arg(e.Position()).arg(e.Message());
  }
  if (scanner->TokenKind() == tkEnd) return std::nullopt;
  // Quoted as written: the scanner hands names over upper-cased.
  const QString token = scanner->Text().mid(scanner->TokenStart() - 1, scanner->Token().length());
  const int line = scanner->Line();
  const int position = scanner->Column() - int(token.length());
  return QStringLiteral("%1:%2: %3")
      .arg(line)
      .arg(position)
      .arg(EKvParserError::MessageFor(1, line, position, token));
}

} // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);

  Options opt;
  if (const std::optional<int> stop = ParseCommandLine(args, opt)) return *stop;

  int status = ExitOk;
  bool wroteStatement = false;
  for (const QString& path : std::as_const(opt.files)) {
    const bool isStdin = path == QLatin1String("-");
    const QString shownName = isStdin ? QString::fromLatin1(StdinName) : path;
    QString reason;
    const std::optional<QString> text = ReadInput(path, reason);
    if (!text) {
      PrintErr(QStringLiteral("kvsql: %1: %2\n").arg(shownName, reason));
      status = ExitUsage;
      continue;
    }
    QString sql = *text;
    if (sql.startsWith(QChar(0xFEFF))) sql.remove(0, 1);
    // A parser of its own per file: nothing read from one statement reaches the next.
    TKvIBSelectParser parser;
    parser.SetSQLServer(opt.server);
    parser.SetSQLDialect(opt.dialect);
    parser.ScriptFormat()->SetKeywordsFormat(opt.keywords);
    parser.ScriptFormat()->SetFunctionsFormat(opt.functions);
    try {
      parser.SetSQL(WithoutTerminator(sql));
    } catch (const EKvParserError& e) {
      PrintErr(QStringLiteral("%1:%2:%3: %4\n")
                   .arg(shownName)
                   .arg(e.Line())
                   .arg(e.Position())
                   .arg(e.Message()));
      if (status == ExitOk) status = ExitSyntax;
      continue;
    }
    if (const std::optional<QString> extra = TextAfterStatement(parser)) {
      PrintErr(QStringLiteral("%1:%2\n").arg(shownName, *extra));
      if (status == ExitOk) status = ExitSyntax;
      continue;
    }
    if (!opt.format) continue;
    QString out = parser.GetSQL();
    if (out.isEmpty()) continue;
    // The InterBase ROWS clause closes the statement without a line break of its own.
    if (!out.endsWith(QLatin1Char('\n'))) out += QStringLiteral("\r\n");
    if (!opt.crlf) out = ToLf(out);
    if (wroteStatement) PrintOut(opt.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n"));
    PrintOut(out);
    wroteStatement = true;
  }
  if (std::fflush(stdout) != 0) {
    PrintErr(QStringLiteral("kvsql: cannot write to standard output\n"));
    return ExitUsage;
  }
  return status;
}
