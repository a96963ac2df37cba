#include "KvDataSet.h"
#include <QtTest>

class TestDataSetTypes : public QObject {
  Q_OBJECT
private slots:
  void namesFollowTheFamilies() {
    QCOMPARE(KvFieldTypeName(ftCurrency), QStringLiteral("Float"));
    QCOMPARE(KvFieldTypeName(ftLargeint), QStringLiteral("Integer"));
    QCOMPARE(KvFieldTypeName(ftFixedChar), QStringLiteral("String"));
    QCOMPARE(KvFieldTypeName(ftBCD), QStringLiteral("BCD"));
    QCOMPARE(KvFieldTypeName(ftDateTime), QStringLiteral("DateTime"));
    QCOMPARE(KvFieldTypeName(ftGuid), QStringLiteral("Guid"));
    QVERIFY(KvFieldTypeName(ftUnknown).isEmpty());
    QVERIFY(KvFieldTypeName(ftTimeStamp).isEmpty());
    QVERIFY(KvFieldTypeName(ftFMTBcd).isEmpty());
    QVERIFY(KvFieldTypeName(-1).isEmpty());
    QVERIFY(KvFieldTypeName(200).isEmpty());
  }
  void compatibilityByFamily() {
    QVERIFY(KvTypesCompatible(ftSmallint, ftLargeint));
    QVERIFY(!KvTypesCompatible(ftSmallint, ftFloat));
    QVERIFY(KvTypesCompatible(ftFloat, ftCurrency));
    QVERIFY(KvTypesCompatible(ftString, ftFixedChar));
    QVERIFY(KvTypesCompatible(ftDate, ftDate));
    QVERIFY(!KvTypesCompatible(ftDate, ftDateTime));
    QVERIFY(!KvTypesCompatible(ftBCD, ftInteger));
    QVERIFY(!KvTypesCompatible(ftInteger, ftBCD));
  }
};

QTEST_APPLESS_MAIN(TestDataSetTypes)
#include "tst_datasettypes.moc"
