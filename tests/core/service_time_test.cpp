// The service's clock: whole seconds from 1970-1-1 08:00:00, read as naive
// local date-times whatever the machine's time zone.
#include "core/service_time.h"

#include <QtTest>
#include <ctime>

using namespace zorvanix;

class ServiceTimeTest : public QObject {
  Q_OBJECT

 private slots:
  void TimestampOfTheDateTextsInUse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("seconds");
    QTest::newRow("one second after") << QStringLiteral("1970-1-1 08:00:01") << 1;
    QTest::newRow("one second before") << QStringLiteral("1970-1-1 07:59:59") << -1;
    QTest::newRow("date only") << QStringLiteral("2013-3-15") << 1363276800;
    QTest::newRow("score time") << QStringLiteral("2013-03-15 08:05:09") << 1363305909;
    QTest::newRow("general format") << QStringLiteral("2013/3/15 8:05:09") << 1363305909;
    QTest::newRow("no seconds") << QStringLiteral("2013/3/15 8:05") << 1363305900;
    QTest::newRow("blanks around") << QStringLiteral("  2013-3-15  ") << 1363276800;
    QTest::newRow("leap day") << QStringLiteral("2012-2-29 00:00:00") << 1330444800;
    QTest::newRow("last 32-bit second") << QStringLiteral("2038-1-19 11:14:07") << 2147483647;
    QTest::newRow("first 32-bit second")
        << QStringLiteral("1901-12-14 04:45:52") << (-2147483647 - 1);
  }
  void TimestampOfTheDateTextsInUse() {
    QFETCH(QString, text);
    QFETCH(qint32, seconds);
    QCOMPARE(ServiceTimestamp(text), seconds);
    QCOMPARE(ServiceTimestamp("2013-3-15"), 1363276800);
  }

  void TextsThatAreNotDatesGiveZero() {
    for (const char16_t* text :
         {u"", u"not a date", u"2013-2-30", u"2013-13-1", u"2013-3-15 25:00:00", u"2013-3-15 8:61",
          u"2013-3-15x", u"13-3-15", u"2038-1-19 11:14:08", u"1901-12-14 04:45:51"}) {
      QCOMPARE(ServiceTimestamp(text), 0);
    }
  }

  // The same answers in any time zone, daylight saving included.
  void ArithmeticIgnoresTheMachineTimeZone() {
    const QByteArray old_zone = qgetenv("TZ");
    for (const char* zone : {"America/New_York", "Australia/Lord_Howe", "UTC"}) {
      qputenv("TZ", zone);
      tzset();
      QCOMPARE(ServiceTimestamp(u"2013-3-10 02:30:00"), 1362853800);
      QCOMPARE(TimestampToText(1362853800), QStringLiteral("2013/3/10 2:30:00"));
    }
    if (old_zone.isNull())
      qunsetenv("TZ");
    else
      qputenv("TZ", old_zone);
    tzset();
  }

  void TextOfSecondsIsTheGeneralFormat() {
    QCOMPARE(TimestampToText(0), QStringLiteral("1970/1/1 8:00:00"));
    QCOMPARE(TimestampToText(-28800), QStringLiteral("1970/1/1"));
    QCOMPARE(TimestampToText(1363305909), QStringLiteral("2013/3/15 8:05:09"));
    for (qint64 seconds : {qint64(-1), qint64(1), qint64(1363276800), qint64(2147483647)}) {
      QCOMPARE(ServiceTimestamp(TimestampToText(seconds)), seconds);
    }
    QCOMPARE(FormatScoreTime(ServiceTimeToDateTime(1363305909)),
             QStringLiteral("2013-03-15 08:05:09"));
  }
};

QTEST_GUILESS_MAIN(ServiceTimeTest)
#include "service_time_test.moc"
