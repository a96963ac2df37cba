#include "KvIBScanner.h"

#include "KvText.h"

TKvIBScanner::TKvIBScanner() {
  // The base constructor loaded the generic lists; these are the server's.
  LoadFunctions();
  LoadKeywords();
  LoadOperators();
  BuildCharClasses();
}

bool TKvIBScanner::IsLetter(QChar ch) const {
  return ch >= QLatin1Char('A') && ch <= QLatin1Char('Z');
}

bool TKvIBScanner::IsQuote(QChar ch) const {
  if (m_dialect == kibDialect1) return ch == QLatin1Char('"') || ch == QLatin1Char('\'');
  return ch == QLatin1Char('\'');
}

bool TKvIBScanner::IsNameQuote(QChar ch) const {
  return m_dialect == kibDialect3 && ch == QLatin1Char('"');
}

bool TKvIBScanner::IsIdentChar(QChar ch) const {
  return TKvSQLScanner::IsIdentChar(ch) || ch == QLatin1Char('$');
}

bool TKvIBScanner::QuoteAliases() const {
  return true;
}

bool TKvIBScanner::QuoteNamesEnabled() const {
  return m_dialect == kibDialect3;
}

bool TKvIBScanner::NeedsQuotes(const QString& s) const {
  if (IsKeyword(s) || IsFunction(s)) return true;
  if (s.length() >= 2 && s.front() == s.back() && IsNameQuote(s.front())) return false;
  return !IsIdentifier(s);
}

QString TKvIBScanner::GetFunctionList() const {
  return QStringLiteral("AVG,CAST,COUNT,GEN_ID,MAX,MIN,SUM,UPPER");
}

QString TKvIBScanner::GetOperatorList() const {
  return QStringLiteral("+,-,*,/,||");
}

QString TKvIBScanner::GetKeywordList() const {
  return QStringLiteral(
      "ACTION,ACTIVE,ADD,ADMIN,AFTER,ALL,ALTER,AND,ANY,AS,ASC,ASCENDING,AT,AUTO,AUTODDL,AVG,"
      "BASED,BASENAME,BASE_NAME,BEFORE,BEGIN,BETWEEN,BLOB,BLOBEDIT,BREAK,BUFFER,BY,CACHE,"
      "CASCADE,CAST,CHAR,CHARACTER,CHARACTER_LENGTH,CHAR_LENGTH,CHECK,CHECK_POINT_LEN,"
      "CHECK_POINT_LENGTH,COLLATE,COLLATION,COLUMN,COMMIT,COMMITTED,COMPILETIME,COMPUTED,CLOSE,"
      "CONDITIONAL,CONNECT,CONSTRAINT,CONTAINING,CONTINUE,COUNT,CREATE,CSTRING,CURRENT,"
      "CURRENT_DATE,CURRENT_ROLE,CURRENT_TIME,CURRENT_TIMESTAMP,CURRENT_USER,CURSOR,DATABASE,"
      "DATE,DAY,DB_KEY,DEBUG,DEC,DECIMAL,DECLARE,DEFAULT,DELETE,DESC,DESCENDING,DESCRIBE,"
      "DESCRIPTOR,DISCONNECT,DISPLAY,DISTINCT,DO,DOMAIN,DOUBLE,DROP,ECHO,EDIT,ELSE,END,"
      "ENTRY_POINT,ESCAPE,EVENT,EXCEPTION,EXECUTE,EXISTS,EXIT,EXTERN,EXTERNAL,EXTRACT,FETCH,"
      "FILE,FILTER,FIRST,FLOAT,FOR,FOREIGN,FOUND,FREE_IT,FROM,FULL,FUNCTION,GDSCODE,GENERATOR,"
      "GEN_ID,GLOBAL,GOTO,GRANT,GROUP,GROUP_COMMIT_WAIT,GROUP_COMMIT_WAIT_TIME,HAVING,HELP,"
      "HOUR,IF,IMMEDIATE,IN,INACTIVE,INDEX,INDICATOR,INIT,INNER,INPUT,INPUT_TYPE,INSERT,INT,"
      "INTEGER,INTO,IS,ISOLATION,ISQL,JOIN,KEY,LC_MESSAGES,LC_TYPE,LEFT,LENGTH,LEV,LEVEL,LIKE,"
      "LOGFILE,LOG_BUFFER_SIZE,LOG_BUF_SIZE,LONG,MANUAL,MAX,MAXIMUM,MAXIMUM_SEGMENT,MAX_SEGMENT,"
      "MERGE,MESSAGE,MIN,MINIMUM,MINUTE,MODULE_NAME,MONTH,NAMES,NATIONAL,NATURAL,NCHAR,NO,"
      "NOAUTO,NOT,NULL,NUMERIC,NUM_LOG_BUFS,NUM_LOG_BUFFERS,OCTET_LENGTH,OF,ON,ONLY,OPEN,"
      "OPTION,OR,ORDER,OUTER,OUTPUT,OUTPUT_TYPE,OVERFLOW,PAGE,PAGELENGTH,PAGES,PAGE_SIZE,"
      "PARAMETER,PASSWORD,PLAN,POSITION,POST_EVENT,PRECISION,PREPARE,PROCEDURE,PROTECTED,"
      "PRIMARY,PRIVILEGES,PUBLIC,QUIT,RAW_PARTITIONS,RDB$DB_KEY,READ,REAL,RECORD_VERSION,"
      "RECREATE,REFERENCES,RELEASE,RESERV,RESERVING,RESTRICT,RETAIN,RETURN,RETURNING_VALUES,"
      "RETURNS,REVOKE,RIGHT,ROLE,ROLLBACK,RUNTIME,SCHEMA,SECOND,SEGMENT,SELECT,SET,SHADOW,"
      "SHARED,SHELL,SHOW,SINGULAR,SIZE,SKIP,SMALLINT,SNAPSHOT,SOME,SORT,SQLCODE,SQLERROR,"
      "SQLWARNING,STABILITY,STARTING,STARTS,STATEMENT,STATIC,STATISTICS,SUBSTRING,SUB_TYPE,SUM,"
      "SUSPEND,TABLE,TERMINATOR,THEN,TIME,TIMESTAMP,TO,TRANSACTION,TRANSLATE,TRANSLATION,"
      "TRIGGER,TRIM,TYPE,UNCOMMITTED,UNION,UNIQUE,UPDATE,UPPER,USER,USING,VALUE,VALUES,VARCHAR,"
      "VARIABLE,VARYING,VERSION,VIEW,WAIT,WEEKDAY,WHEN,WHENEVER,WHERE,WHILE,WITH,WORK,WRITE,"
      "YEAR,YEARDAY,ROWS,PERCENT,TIES");
}

QString TKvIBScanner::Unquote(const QString& s) const {
  return TKvSQLScanner::Unquote(s).toUpper();
}

QString TKvIBScanner::QuoteName(const QString& s) const {
  if (m_dialect == kibDialect3) return TKvSQLScanner::QuoteName(s);
  QString r = s.toUpper();
  r.replace(QLatin1Char(' '), QLatin1Char('_'));
  return r;
}

void TKvIBScanner::TokenRead(QString& token) const {
  if (m_tokenKind != tkIdentifier || m_tokenWasQuoted) return;
  // Most names arrive in upper case already: look before making a new string.
  for (QChar c : token)
    if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.unicode() >= 0x80) {
      token = token.toUpper();
      return;
    }
}

QString TKvIBScanner::QuoteIdentifier(const QString& s) const {
  if (m_dialect != kibDialect3) return QuoteName(s);
  if (!IsKeyword(s) && !IsFunction(s) && IsIdentifier(s)) return s;
  return KvQuotedStr(s, QLatin1Char('"'));
}
