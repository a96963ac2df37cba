#pragma once

#include <QString>
#include <QStringList>

// Every text the demo application shows, in one place. Placeholders use QString::arg numbering.
namespace DemoResource {

// Shown for an error that carries no message.
inline const QString SUnknownError = QStringLiteral("Unknown error.");

// --- main window ---
inline const QString SAppTitle =
    QStringLiteral("Ostrel InterBase/FireBird Kvarta demo application");
inline const QString SCaptionFormat =
    QStringLiteral("Ostrel InterBase/FireBird Kvarta demo application [%1] %2");
inline const QString SDialectFormat = QStringLiteral("(SQL Dialect %1)");
inline const QString STablesColumn = QStringLiteral("Tables");
inline const QString SPageBuilder = QStringLiteral("Builder");
inline const QString SPageSQL = QStringLiteral("SQL");
inline const QString SPageResult = QStringLiteral("Result");

// Tool bar: captions and hints.
inline const QString STbConnect = QStringLiteral("Connect...");
inline const QString STbConnectHint = QStringLiteral("Connect To Database");
inline const QString STbDisconnect = QStringLiteral("Disconnect");
inline const QString STbDisconnectHint = QStringLiteral("Disconnect From Database");
inline const QString STbLoad = QStringLiteral("Load...");
inline const QString STbLoadHint = QStringLiteral("Load Query From File");
inline const QString STbSave = QStringLiteral("Save...");
inline const QString STbSaveHint = QStringLiteral("Save Query To File");
inline const QString STbExecute = QStringLiteral("Execute");
inline const QString STbExecuteHint = QStringLiteral("Execute Query");
inline const QString STbClear = QStringLiteral("Clear");
inline const QString STbClearHint = QStringLiteral("Clear Query");

// Main menu.
inline const QString SMenuFile = QStringLiteral("&File");
inline const QString SMiConnect = QStringLiteral("&Connect To Database...");
inline const QString SMiDisconnect = QStringLiteral("&Disconnect From Database");
inline const QString SMiLoad = QStringLiteral("&Load...");
inline const QString SMiSave = QStringLiteral("&Save");
inline const QString SMiSaveAs = QStringLiteral("Save &As...");
inline const QString SMiExit = QStringLiteral("Exit");
inline const QString SMenuQuery = QStringLiteral("&Query");
inline const QString SMiExecute = QStringLiteral("&Execute");
inline const QString SMiClear = QStringLiteral("&Clear");
inline const QString SMenuView = QStringLiteral("&View");
inline const QString SMiKvOptions = QStringLiteral("&Kvarta Options...");
inline const QString SMiShowSystemTables = QStringLiteral("&Show System Tables");
inline const QString SMenuHelp = QStringLiteral("&Help");
inline const QString SMiAbout = QStringLiteral("&About...");

// SQL files.
inline const QString SOpenSqlTitle = QStringLiteral("Open SQL File");
inline const QString SSqlFilter =
    QStringLiteral("SQL Files (*.sql);;Text Files (*.txt);;All Files (*)");
inline const QString SSqlSuffix = QStringLiteral("sql");
inline const QString SCannotRead = QStringLiteral("Cannot read the file %1: %2");
inline const QString SCannotWrite = QStringLiteral("Cannot write the file %1: %2");
inline const QString SCannotEncode = QStringLiteral(
    "The character \"%1\" (U+%2) at line %3, column %4 cannot be written in %5; nothing was "
    "saved. Choose another encoding in the status bar.");
inline const QString SReadAsNotice = QStringLiteral(
    "The file is not UTF-8 and was read as %1; it will be saved the same way. If the text looks "
    "wrong, choose its encoding in the status bar.");
inline const QString SEncodingHint =
    QStringLiteral("Encoding and line breaks of the SQL file: click to choose the encoding");

// Result page navigator.
inline const QString SNavFirst = QStringLiteral("First record");
inline const QString SNavPrior = QStringLiteral("Prior record");
inline const QString SNavNext = QStringLiteral("Next record");
inline const QString SNavLast = QStringLiteral("Last record");
inline const QString SNavRefresh = QStringLiteral("Refresh data");
inline const QString SNavCancel = QStringLiteral("Cancel");
inline const QString SNavCancelHint = QStringLiteral("Stop the running statement (Esc)");
inline const QString SNavExport = QStringLiteral("Export...");
inline const QString SNavExportHint = QStringLiteral("Write the whole result to a CSV file");
inline const QString SCopy = QStringLiteral("&Copy");
inline const QString SExportTitle = QStringLiteral("Export Result");
inline const QString SCsvFilter = QStringLiteral("CSV Files (*.csv);;All Files (*)");
inline const QString SCsvSuffix = QStringLiteral("csv");
inline const QString SSortFetchQuestion =
    QStringLiteral("Only the first %1 of the result are fetched. Fetch all rows and sort them "
                   "by %2?");
inline const QString SMemoryLimitQuestion =
    QStringLiteral("The rows fetched so far take %1 MB of memory, more than the limit of %2 MB. "
                   "Fetch the remaining rows anyway?");
inline const QString SIncompleteExportQuestion =
    QStringLiteral("The result is incomplete (%1). Export the %2 there are?");
inline const QString SExported = QStringLiteral("Exported %1 to %2.");
inline const QString SExportCancelled = QStringLiteral("Export cancelled; %1 was not written.");

// Waiting for the server.
inline const QString SConfirmation = QStringLiteral("Confirmation");
inline const QString SBusyCancel = QStringLiteral("Cancel");
inline const QString SBusyCancelHint = QStringLiteral("Stop waiting for the server (Esc)");
inline const QString SBusyStopping = QStringLiteral("Stopping...");
inline const QString SConnecting = QStringLiteral("Connecting to %1...");
inline const QString SDisconnecting = QStringLiteral("Disconnecting...");
inline const QString SReadingTables = QStringLiteral("Reading the table list...");
inline const QString SReadingFields = QStringLiteral("Reading the columns of %1...");
inline const QString SMiReconnect = QStringLiteral("&Reconnect");
inline const QString SConnectionLost = QStringLiteral(
    "The connection to the database was lost:\n%1\n\nReconnect with the same settings? The "
    "designer, the SQL text and the rows fetched stay as they are.");

// --- connect dialog ---
inline const QString SConnectCaption = QStringLiteral("Connect To Database");
inline const QString SDatabaseFile = QStringLiteral("Database File");
inline const QString SBrowse = QStringLiteral("...");
inline const QString SBrowseHint = QStringLiteral("Browse");
inline const QString SUserName = QStringLiteral("User Name");
inline const QString SPassword = QStringLiteral("Password");
inline const QString SRole = QStringLiteral("Role");
inline const QString SCharset = QStringLiteral("Charset");
inline const QString SDialectGroup = QStringLiteral(" InterBase/FireBird Dialect ");
inline const QString SDialect1 = QStringLiteral("Dialect 1");
inline const QString SDialect3 = QStringLiteral("Dialect 3");
inline const QString SOK = QStringLiteral("&OK");
inline const QString SCancel = QStringLiteral("&Cancel");
// Firebird files are mostly *.fdb: offered first so that they show at once.
inline const QString SDatabaseFilter =
    QStringLiteral("Database files (*.fdb *.gdb);;InterBase database files (*.gdb);;"
                   "All Files (*)");
inline const QString SDatabaseSuffix = QStringLiteral("gdb");
inline const QString SNoCharset = QStringLiteral("NONE");
// "NONE" stands first and again in its alphabetical place.
inline const QStringList SCharsets = {
    QStringLiteral("NONE"),      QStringLiteral("ASCII"),       QStringLiteral("BIG_5"),
    QStringLiteral("CYRL"),      QStringLiteral("DOS437"),      QStringLiteral("DOS850"),
    QStringLiteral("DOS852"),    QStringLiteral("DOS857"),      QStringLiteral("DOS860"),
    QStringLiteral("DOS861"),    QStringLiteral("DOS863"),      QStringLiteral("DOS865"),
    QStringLiteral("DOS866"),    QStringLiteral("EUCJ_0208"),   QStringLiteral("ISO8859_1"),
    QStringLiteral("NEXT"),      QStringLiteral("NONE"),        QStringLiteral("OCTETS"),
    QStringLiteral("SJIS_0208"), QStringLiteral("UNICODE_FSS"), QStringLiteral("WIN1250"),
    QStringLiteral("WIN1251"),   QStringLiteral("WIN1252"),     QStringLiteral("WIN1253"),
    QStringLiteral("WIN1254")};

// Connection parameters.
inline const QString SParamUserName = QStringLiteral("user_name");
inline const QString SParamPassword = QStringLiteral("password");
inline const QString SParamRole = QStringLiteral("sql_role");
inline const QString SParamCharset = QStringLiteral("lc_ctype");
inline const QStringList SInitialParams = {QStringLiteral("user_name=sysdba"),
                                           QStringLiteral("password=blueorbit")};

// --- about box ---
inline const QString SAboutCaption = QStringLiteral("About Ostrel Kvarta");
inline const QString SAboutTitle =
    QStringLiteral("Ostrel Kvarta Component Suite\nDemo Application");
inline const QString SAboutInfo =
    QStringLiteral("A visual SQL query designer\nfor Firebird and InterBase databases.\n\n"
                   "Designer version %1, built with Qt %2.");

// --- command line ---
inline const QString SCmdDescription =
    QStringLiteral("Visual SQL query designer for Firebird and InterBase databases.");
inline const QString SCmdDatabase =
    QStringLiteral("Database to connect to at start: a file path (embedded engine) or "
                   "host:path (server).");
inline const QString SCmdUser = QStringLiteral("User name (default sysdba).");
inline const QString SCmdPassword = QStringLiteral("Password.");
inline const QString SCmdRole = QStringLiteral("SQL role.");
inline const QString SCmdCharset = QStringLiteral("Connection character set, e.g. UTF8.");
inline const QString SCmdDialect = QStringLiteral("SQL dialect, 1 or 3 (default 3).");
inline const QString SCmdSql = QStringLiteral("Statement to load into the designer at start.");
inline const QString SCmdSqlFile = QStringLiteral("File whose statement is loaded at start.");
inline const QString SCmdScreenshot =
    QStringLiteral("Render the main window to this PNG file after start, then exit.");
inline const QString SCmdPage =
    QStringLiteral("Page to show: builder, sql or result (result executes the statement first).");
inline const QString SCmdSize = QStringLiteral("Window size, e.g. 1000x700.");
inline const QString SCmdStartupTime = QStringLiteral(
    "Print the time from program start to the shown, connected main window, then exit.");
inline const QString SCmdBadPage = QStringLiteral("Unknown page '%1': use builder, sql or result.");
inline const QString SCmdBadDialect = QStringLiteral("The SQL dialect must be 1 or 3, not '%1'.");
inline const QString SCmdBadSize =
    QStringLiteral("The window size must look like 1000x700, not '%1'.");
inline const QString SCmdTwoSql = QStringLiteral("Give either --sql or --sql-file, not both.");
inline const QString SCmdTooMany = QStringLiteral("Only one database can be given.");
inline const QString SCmdScreenshotFailed = QStringLiteral("Cannot write the picture %1.");
inline const QString SStartupTime =
    QStringLiteral("Startup to a shown, connected main window: %1 ms");

} // namespace DemoResource
