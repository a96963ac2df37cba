#include "DemoOptions.h"

#include "DemoResource.h"
#include "FbDatabase.h"
#include "MainForm.h"
#include "PageControl.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPixmap>
#include <QRegularExpression>

using namespace DemoResource;

TDemoOptions::TResult TDemoOptions::Parse(const QStringList& arguments, QString& message) {
  QCommandLineParser parser;
  parser.setApplicationDescription(SCmdDescription);
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption user({QStringLiteral("u"), QStringLiteral("user")}, SCmdUser,
                                QStringLiteral("name"));
  const QCommandLineOption password({QStringLiteral("p"), QStringLiteral("password")}, SCmdPassword,
                                    QStringLiteral("password"));
  const QCommandLineOption role(QStringLiteral("role"), SCmdRole, QStringLiteral("role"));
  const QCommandLineOption charset(QStringLiteral("charset"), SCmdCharset,
                                   QStringLiteral("charset"));
  const QCommandLineOption dialect(QStringLiteral("dialect"), SCmdDialect, QStringLiteral("1|3"));
  const QCommandLineOption sql(QStringLiteral("sql"), SCmdSql, QStringLiteral("statement"));
  const QCommandLineOption sqlFile(QStringLiteral("sql-file"), SCmdSqlFile, QStringLiteral("file"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"), SCmdScreenshot,
                                      QStringLiteral("file.png"));
  const QCommandLineOption page(QStringLiteral("page"), SCmdPage,
                                QStringLiteral("builder|sql|result"));
  const QCommandLineOption size(QStringLiteral("size"), SCmdSize, QStringLiteral("WxH"));
  const QCommandLineOption startupTime(QStringLiteral("startup-time"), SCmdStartupTime);
  for (const QCommandLineOption& option :
       {user, password, role, charset, dialect, sql, sqlFile, screenshot, page, size, startupTime})
    parser.addOption(option);
  parser.addPositionalArgument(QStringLiteral("database"), SCmdDatabase,
                               QStringLiteral("[database]"));

  if (!parser.parse(arguments)) {
    message = parser.errorText();
    return orError;
  }
  if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
    message = parser.helpText();
    return orExit;
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() > 1) {
    message = SCmdTooMany;
    return orError;
  }
  Database = positional.value(0);
  User = parser.value(user);
  Password = parser.value(password);
  Role = parser.value(role);
  Charset = parser.value(charset);
  if (parser.isSet(dialect)) {
    const QString value = parser.value(dialect);
    if (value != QLatin1String("1") && value != QLatin1String("3")) {
      message = SCmdBadDialect.arg(value);
      return orError;
    }
    Dialect = value.toInt();
  }
  if (parser.isSet(sql) && parser.isSet(sqlFile)) {
    message = SCmdTwoSql;
    return orError;
  }
  HasSql = parser.isSet(sql);
  Sql = parser.value(sql);
  SqlFile = parser.value(sqlFile);
  Screenshot = parser.value(screenshot);
  Page = parser.value(page).toLower();
  if (!Page.isEmpty() && Page != QLatin1String("builder") && Page != QLatin1String("sql") &&
      Page != QLatin1String("result")) {
    message = SCmdBadPage.arg(parser.value(page));
    return orError;
  }
  if (parser.isSet(size)) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{2,5})[xX](\\d{2,5})$"));
    const QRegularExpressionMatch match = pattern.match(parser.value(size));
    if (!match.hasMatch()) {
      message = SCmdBadSize.arg(parser.value(size));
      return orError;
    }
    Size = QSize(match.captured(1).toInt(), match.captured(2).toInt());
  }
  StartupTime = parser.isSet(startupTime);
  return orRun;
}

void TDemoOptions::Apply(TfmMain& window) const {
  if (Size.isValid()) window.resize(Size);
  TFbDatabase& db = window.Database();
  if (!User.isEmpty()) db.SetParam(SParamUserName, User);
  if (!Password.isEmpty()) db.SetParam(SParamPassword, Password);
  if (!Role.isEmpty()) db.SetParam(SParamRole, Role);
  if (!Charset.isEmpty() && Charset.compare(SNoCharset, Qt::CaseInsensitive) != 0)
    db.SetParam(SParamCharset, Charset);
  if (Dialect) db.SetSQLDialect(Dialect);
  if (!Database.isEmpty()) {
    window.Guarded([&] {
      db.SetDatabaseName(Database);
      window.ConnectDatabase();
    });
  }
  if (HasSql)
    window.Guarded([&] { window.OpenStatement(Sql); });
  else if (!SqlFile.isEmpty())
    window.Guarded([&] { window.LoadFromFile(SqlFile); });
  if (Page == QLatin1String("sql"))
    window.Pages->SelectPage(TfmMain::pgSQL);
  else if (Page == QLatin1String("result"))
    window.Guarded([&] {
      window.tbExecuteClick();
      window.WaitForResult();
    });
}

bool TDemoOptions::WriteScreenshot(TfmMain& window, const QString& path) {
  QApplication::processEvents();
  const QPixmap picture = window.grab();
  return !picture.isNull() && picture.save(path, "PNG");
}
