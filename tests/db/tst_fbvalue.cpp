// Type mapping and value → display text, unit by unit and round-tripped through real tables.
#include "FbDatabase.h"
#include "FbQuery.h"
#include "FbValue.h"
#include "support/FbTestDb.h"

#include <ibase.h>

#include <QtTest>

class TestFbValue : public QObject {
  Q_OBJECT

private:
  template <typename F>
  static QString Written(F write) {
    char16_t buffer[64];
    char16_t* end = write(buffer);
    return QString(reinterpret_cast<const QChar*>(buffer), qsizetype(end - buffer));
  }

private slots:
  void integersAreExact() {
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Integer(o, 0); }), QStringLiteral("0"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Integer(o, -42); }), QStringLiteral("-42"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Integer(o, LLONG_MIN); }),
             QStringLiteral("-9223372036854775808"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Integer(o, LLONG_MAX); }),
             QStringLiteral("9223372036854775807"));
  }

  void scaledNumbersAreExact_data() {
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<int>("scale");
    QTest::addColumn<QString>("text");
    QTest::newRow("cents") << 12345LL << -2 << "123.45";
    QTest::newRow("negative cents") << -12345LL << -2 << "-123.45";
    QTest::newRow("negative below one") << -5LL << -2 << "-0.05";
    QTest::newRow("zero") << 0LL << -2 << "0.00";
    QTest::newRow("one decimal") << 7LL << -1 << "0.7";
    QTest::newRow("eighteen digits") << 999999999999999999LL << -18 << "0.999999999999999999";
    QTest::newRow("smallest int64") << LLONG_MIN << -4 << "-922337203685477.5808";
    QTest::newRow("largest int64") << LLONG_MAX << -4 << "922337203685477.5807";
    QTest::newRow("no scale") << -17LL << 0 << "-17";
    QTest::newRow("positive scale") << 12LL << 3 << "12000";
    // 0.1 + 0.2 style drift would show here if binary floating point were involved.
    QTest::newRow("no drift") << 30LL << -2 << "0.30";
  }
  void scaledNumbersAreExact() {
    QFETCH(qlonglong, value);
    QFETCH(int, scale);
    QFETCH(QString, text);
    QCOMPARE(Written([&](char16_t* o) { return FbFormat::Scaled(o, value, scale); }), text);
  }

  void datesAndTimesAreIso_data() {
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("text");
    QTest::newRow("epoch of the engine") << 0 << "1858-11-17";
    QTest::newRow("unix epoch") << 40587 << "1970-01-01";
    QTest::newRow("leap day") << 60369 << "2024-02-29";
    QTest::newRow("first day") << -678575 << "0001-01-01";
    QTest::newRow("last day") << 2973483 << "9999-12-31";
    QTest::newRow("day before epoch") << -1 << "1858-11-16";
  }
  void datesAndTimesAreIso() {
    QFETCH(int, days);
    QFETCH(QString, text);
    QCOMPARE(Written([&](char16_t* o) { return FbFormat::Date(o, days); }), text);
  }

  void timesShowFractionsOnlyWhenPresent() {
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Time(o, 0); }), QStringLiteral("00:00:00"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Time(o, 863990000u + 9999u); }),
             QStringLiteral("23:59:59.9999"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Time(o, 450000000u + 5000u); }),
             QStringLiteral("12:30:00.5"));
    QCOMPARE(Written([](char16_t* o) { return FbFormat::Time(o, 10u); }),
             QStringLiteral("00:00:00.001"));
  }

  void typeCodes_data() {
    QTest::addColumn<int>("sqlType");
    QTest::addColumn<int>("subType");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("code");
    // The rest is checked against real columns below.
    QTest::newRow("numeric on smallint") << SQL_SHORT << 1 << -1 << int(ftBCD);
    QTest::newRow("dialect 1 numeric") << SQL_DOUBLE << 0 << -2 << int(ftFloat);
    QTest::newRow("other blob") << SQL_BLOB << 7 << 0 << int(ftBlob);
    QTest::newRow("array") << SQL_ARRAY << 0 << 0 << int(ftArray);
    QTest::newRow("null") << SQL_NULL << 0 << 0 << int(ftUnknown);
    QTest::newRow("unknown") << 12345 << 0 << 0 << int(ftUnknown);
  }
  void typeCodes() {
    QFETCH(int, sqlType);
    QFETCH(int, subType);
    QFETCH(int, scale);
    QFETCH(int, code);
    QCOMPARE(int(FbFieldType(unsigned(sqlType), subType, scale)), code);
  }

  void charsetNames() {
    QCOMPARE(FbCharsetId(QStringLiteral("utf8")), 4);
    QCOMPARE(FbCharsetId(QStringLiteral("NONE")), 0);
    QCOMPARE(FbCharsetId(QStringLiteral("WIN1251")), 52);
    QCOMPARE(FbCharsetId(QStringLiteral("KLINGON")), -1);
    // Every entry of the connect dialog's list is known.
    for (const char* name :
         {"ASCII",     "BIG_5",     "CYRL",    "DOS437",  "DOS850",    "DOS852",
          "DOS857",    "DOS860",    "DOS861",  "DOS863",  "DOS865",    "DOS866",
          "EUCJ_0208", "ISO8859_1", "NEXT",    "OCTETS",  "SJIS_0208", "UNICODE_FSS",
          "WIN1250",   "WIN1251",   "WIN1252", "WIN1253", "WIN1254"})
      QVERIFY2(FbCharsetId(QLatin1String(name)) > 0, name);
    const QString cyrillic = QStringLiteral("Привет");
    QCOMPARE(FbEncode(cyrillic, 52).size(), 6); // one byte a letter in WIN1251
    QCOMPARE(FbDecode(FbEncode(cyrillic, 52), 52), cyrillic);
    QCOMPARE(FbDecode(FbEncode(cyrillic, 4), 4), cyrillic);
    // NONE: UTF-8 when it is, else every byte kept as one character.
    QCOMPARE(FbDecode(QByteArray("caf\xc3\xa9"), 0), QStringLiteral("café"));
    QCOMPARE(FbDecode(QByteArray("caf\xe9"), 0), QStringLiteral("café"));
  }

  void charactersACharsetCannotHold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("charset");
    QTest::addColumn<int>("index"); // of the first one, -1 for none
    QTest::newRow("Latin-1 takes é") << "select 'é'"
                                     << "ISO8859_1" << -1;
    QTest::newRow("Latin-1 lacks Ж") << "select 'é',\r\n'Ж'"
                                     << "ISO8859_1" << 14;
    QTest::newRow("WIN1251 lacks é") << "select 'Жé'"
                                     << "WIN1251" << 9;
    QTest::newRow("ASCII lacks é") << "select 'é'"
                                   << "ASCII" << 8;
    QTest::newRow("UTF8 takes all") << "select 'Ж😀'"
                                    << "UTF8" << -1;
    QTest::newRow("NONE sends UTF-8") << "select 'Ж😀'"
                                      << "NONE" << -1;
    QTest::newRow("after a pair") << "'😀€Ж'"
                                  << "WIN1252" << 1;
  }
  void charactersACharsetCannotHold() {
    QFETCH(QString, text);
    QFETCH(QString, charset);
    QFETCH(int, index);
    QCOMPARE(FbFirstUnencodable(text, FbCharsetId(charset)), qsizetype(index));
    QString message;
    try {
      QCOMPARE(FbDecode(FbEncodeStatement(text, FbCharsetId(charset)), FbCharsetId(charset)), text);
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QCOMPARE(message.isEmpty(), index < 0);
  }

  void refusalNamesTheCharacterAndWhere() {
    QString message;
    try {
      FbEncodeStatement(QStringLiteral("select\r\n  'a', 'Жук'"), 21);
    } catch (const EFbError& error) {
      message = error.Message();
    }
    QCOMPARE(message, QStringLiteral("The character \"Ж\" (U+0416) at line 2, column 9 cannot be "
                                     "sent in the connection character set ISO8859_1; the "
                                     "statement was not run."));
  }

  void textBufferGrowsAndShrinks() {
    TFbTextBuffer buffer;
    for (int i = 0; i < 1000; ++i)
      buffer.Append(QStringLiteral("abc"));
    QCOMPARE(buffer.Size(), std::size_t(3000));
    QCOMPARE(buffer.ToString(2997, 3), QStringLiteral("abc"));
    buffer.Shrink();
    QCOMPARE(buffer.Capacity(), std::size_t(3000));
    buffer.Truncate(3);
    QCOMPARE(buffer.ToString(0, buffer.Size()), QStringLiteral("abc"));
    TFbTextBuffer moved = std::move(buffer);
    QCOMPARE(moved.Size(), std::size_t(3));
    QCOMPARE(buffer.Size(), std::size_t(0));
  }

  void everyTypeRoundTripsThroughATable() {
    TTestDb t;
    t.ExecAll(
        {QStringLiteral(
             "create table ALLTYPES (ID integer not null primary key, C_SMALL smallint, "
             "C_INT integer, C_BIG bigint, C_NUM numeric(9,2), C_DEC decimal(18,4), "
             "C_NUMS numeric(4,1), C_FLOAT float, C_DOUBLE double precision, C_CHAR char(10), "
             "C_VARCHAR varchar(20), C_TEXT blob sub_type text, C_BIN blob sub_type binary, "
             "C_DATE date, C_TIME time, C_TS timestamp, C_BOOL boolean)"),
         QStringLiteral("insert into ALLTYPES values (1, 32767, -2147483648, -9223372036854775808, "
                        "-1234567.89, -0.0001, -0.5, 1.5, 0.1, 'abc', 'héllo ✓', 'Long text ÄÖÜ', "
                        "x'00FF', '2024-02-29', '23:59:59.1234', '0001-01-01 00:00:00', true)"),
         QStringLiteral("insert into ALLTYPES (ID) values (2)"),
         QStringLiteral(
             "insert into ALLTYPES values (3, -32768, 2147483647, 9223372036854775807, 0.05, "
             "99999999999999.9999, 999.9, -2.5, -1e300, '', '', '', x'', '9999-12-31', "
             "'00:00:00', '2024-03-01 12:30:00.5', false)")});
    TFbQuery query(&t.Db());
    query.SetSQL(QStringLiteral("select * from ALLTYPES order by ID"));
    query.Open();
    const QList<int> codes = {ftInteger, ftSmallint, ftInteger, ftLargeint,  ftBCD,    ftBCD,
                              ftBCD,     ftFloat,    ftFloat,   ftFixedChar, ftString, ftMemo,
                              ftBlob,    ftDate,     ftTime,    ftDateTime,  ftBoolean};
    QCOMPARE(query.FieldCount(), codes.size());
    for (int i = 0; i < codes.size(); ++i)
      QCOMPARE(query.FieldType(i), codes[i]);
    QCOMPARE(query.FieldName(1), QStringLiteral("C_SMALL"));

    QVERIFY(query.Next());
    const QStringList first = {"1",           "32767",      "-2147483648",   "-9223372036854775808",
                               "-1234567.89", "-0.0001",    "-0.5",          "1.5",
                               "0.1",         "abc",        "héllo ✓",       "Long text ÄÖÜ",
                               "(BLOB)",      "2024-02-29", "23:59:59.1234", "0001-01-01 00:00:00",
                               "TRUE"};
    for (int i = 0; i < first.size(); ++i) {
      QVERIFY(!query.IsNull(i));
      QCOMPARE(query.Text(i), first[i]);
    }
    QVERIFY(query.Next());
    QCOMPARE(query.Text(0), QStringLiteral("2"));
    for (int i = 1; i < codes.size(); ++i) {
      QVERIFY(query.IsNull(i));
      QCOMPARE(query.Text(i), FbNullText());
    }
    QVERIFY(query.Next());
    const QStringList third = {"3",          "-32768",
                               "2147483647", "9223372036854775807",
                               "0.05",       "99999999999999.9999",
                               "999.9",      "-2.5",
                               "-1e+300",    "",
                               "",           "",
                               "(BLOB)",     "9999-12-31",
                               "00:00:00",   "2024-03-01 12:30:00.5",
                               "FALSE"};
    for (int i = 0; i < third.size(); ++i) {
      QVERIFY2(!query.IsNull(i), qPrintable(query.FieldName(i)));
      QCOMPARE(query.Text(i), third[i]);
    }
    QVERIFY(!query.Next());
    QVERIFY(query.Eof());
    QCOMPARE(query.RowsFetched(), 3);
  }

  void expressionsAndLiterals() {
    TTestDb t;
    const auto rows = FetchAllText(
        t.Db(), QStringLiteral("select 1, null, cast(-7.25 as numeric(6,2)), "
                               "cast('x' as char(3)) || '|', 2.50 * 3 from rdb$database"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], QStringList({"1", FbNullText(), "-7.25", "x  |", "7.50"}));
  }

  void charsetsDecodeText() {
    TTestDb t(3, QStringLiteral("UTF8"), QStringLiteral("UTF8"));
    t.ExecAll(
        {QStringLiteral("create table CS (ID integer, U varchar(20) character set UTF8, "
                        "N varchar(20) character set NONE, W varchar(20) character set WIN1251, "
                        "O char(4) character set OCTETS, B blob sub_type text character set UTF8)"),
         QStringLiteral("insert into CS values (1, 'Grüße Привет', 'plain', 'Привет', x'DEADBEEF', "
                        "'Blob Привет')")});
    const QStringList expected = {"1",      "Grüße Привет", "plain",
                                  "Привет", "DEADBEEF",     "Blob Привет"};
    QCOMPARE(FetchAllText(t.Db(), QStringLiteral("select * from CS")).value(0), expected);

    // The server converts to the connection's set; the decoder follows what it reports.
    t.Reconnect(QStringLiteral("WIN1251"));
    QCOMPARE(t.Db().ConnectionCharset(), 52);
    const auto win = FetchAllText(t.Db(), QStringLiteral("select ID, W, B, O, 'Ещё' from CS"));
    QCOMPARE(win.value(0), QStringList({"1", "Привет", "Blob Привет", "DEADBEEF", "Ещё"}));

    // NONE: columns come in their own set.
    t.Reconnect(QString());
    QCOMPARE(t.Db().ConnectionCharset(), 0);
    QCOMPARE(FetchAllText(t.Db(), QStringLiteral("select * from CS")).value(0), expected);
    t.Exec(QStringLiteral("insert into CS (ID, N) values (2, x'41E942')"));
    QCOMPARE(FetchAllText(t.Db(), QStringLiteral("select N from CS where ID = 2")).value(0),
             QStringList({"AéB"}));
  }

  void charTrailingBlanksAreNotShown() {
    TTestDb t;
    t.ExecAll({QStringLiteral("create table P (C char(8), U char(5) character set UTF8)"),
               QStringLiteral("insert into P values ('ab', 'ü')"),
               QStringLiteral("insert into P values (' x ', '')")});
    const auto rows = FetchAllText(t.Db(), QStringLiteral("select C, U from P order by C desc"));
    QCOMPARE(rows, QList<QStringList>({{"ab", "ü"}, {" x", ""}}));
  }

  void longTextBlobIsCut() {
    TTestDb t;
    t.Exec(QStringLiteral("create table LB (B blob sub_type text character set UTF8)"));
    // 81,920 characters, most of two bytes each, built by the server.
    t.Exec(QStringLiteral(
        "execute block as declare s blob sub_type text character set UTF8 = 'ééééééééé|'; "
        "declare i integer = 0; begin while (i < 13) do begin "
        "s = s || s; i = i + 1; end insert into LB values (:s); end"));
    const auto rows = FetchAllText(t.Db(), QStringLiteral("select B from LB"));
    const QString text = rows.value(0).value(0);
    QVERIFY(text.endsWith(QChar(0x2026)));
    QVERIFY(text.size() > 30000 && text.size() <= int(TFbRowFormatter::MaxBlobBytes) + 1);
    QVERIFY(!text.contains(QChar(QChar::ReplacementCharacter)));
    QVERIFY(text.startsWith(QStringLiteral("ééééééééé|é")));
  }

  void dialect1ReportsWhatTheEngineStores() {
    TTestDb t(1);
    QCOMPARE(t.Db().DatabaseSQLDialect(), 1);
    QCOMPARE(t.Db().SQLDialect(), 1);
    t.ExecAll(
        {QStringLiteral("create table D1 (N numeric(15,2), D date, I integer, S numeric(4,2))"),
         QStringLiteral("insert into D1 values (12345.67, '2024-01-02', 5, -1.25)"),
         QStringLiteral("insert into D1 values (-0.1, '1999-12-31 23:59:59', null, null)")});
    TFbQuery query(&t.Db());
    query.OpenTableFields(QStringLiteral("D1"));
    QCOMPARE(query.SQL(), QStringLiteral("SELECT * FROM D1 WHERE 0 = 1"));
    // NUMERIC(15,2) is a double there and DATE is a timestamp; NUMERIC(4,2) stays scaled.
    QCOMPARE(query.FieldType(0), int(ftFloat));
    QCOMPARE(query.FieldType(1), int(ftDateTime));
    QCOMPARE(query.FieldType(2), int(ftInteger));
    QCOMPARE(query.FieldType(3), int(ftBCD));
    QVERIFY(!query.Next());
    const auto rows = FetchAllText(t.Db(), QStringLiteral("select * from D1 order by N desc"));
    QCOMPARE(rows,
             QList<QStringList>({{"12345.67", "2024-01-02 00:00:00", "5", "-1.25"},
                                 {"-0.10", "1999-12-31 23:59:59", FbNullText(), FbNullText()}}));
  }
};

QTEST_APPLESS_MAIN(TestFbValue)
#include "tst_fbvalue.moc"
