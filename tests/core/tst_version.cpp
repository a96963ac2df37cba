#include "KvVersion.h"
#include <QtTest>

class TestVersion : public QObject {
  Q_OBJECT
private slots:
  void reportsComponentVersion() { QCOMPARE(KvVersionText(), QStringLiteral("2.01")); }
};

QTEST_APPLESS_MAIN(TestVersion)
#include "tst_version.moc"
