// GBK text, form encoding, the password digest and service time.
#include <QCryptographicHash>
#include <QtTest>

#include "core/form_encoding.h"
#include "core/gbk.h"
#include "core/md5_hex.h"
#include "core/pinyin.h"
#include "core/service_time.h"

using namespace zorvanix;

class TextTest : public QObject {
  Q_OBJECT

 private slots:
  void GbkRoundTripsGbkOnlyCharacters() {
    const QString text = QStringLiteral("张三曌€");
    QCOMPARE(EncodeGbk(text).toHex(), QByteArray("d5c5c8fd95d780"));
    QCOMPARE(DecodeBytes(EncodeGbk(text), u"GB2312"), text);
  }

  void UrlEncodeEscapesOnlyDoubleByteCharacters() {
    QCOMPARE(UrlEncodeGb2312(u"username=张三"), QStringLiteral("username=%D5%C5%C8%FD"));
    QCOMPARE(UrlEncodeGb2312(u"a&b=c d|\t%+"), QStringLiteral("a&b=c d|\t%+"));
  }

  void Md5HexOfAsciiIsStandardMd5() {
    for (const char* text : {"", "a", "demo123", "The quick brown fox jumps over the lazy dog",
                             "0123456789012345678901234567890123456789012345678901234567890123"}) {
      QCOMPARE(Md5Hex(QString::fromLatin1(text)),
               QString::fromLatin1(
                   QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex()));
    }
  }

  void ServiceTimestampCountsFromEightOClock() {
    QCOMPARE(ServiceTimestamp(u"1970-1-1 08:00:01"), 1);
    QCOMPARE(ServiceTimestamp(u"1970-1-1 07:59:59"), -1);
    QCOMPARE(ServiceTimestamp(u"2013-3-15"), 1363276800);
    QCOMPARE(ServiceTimestamp(u"not a date"), 0);
  }

  void PinyinInitialsOfNames() {
    QCOMPARE(PinyinInitials(u"张三"), QStringLiteral("ZS"));
    QCOMPARE(PinyinInitials(u"王a1"), QStringLiteral("Wa1"));
    QCOMPARE(PinyinInitials(u"解"), QStringLiteral("X"));
    QCOMPARE(PinyinInitials(u"曌"), QStringLiteral("Z"));
    QCOMPARE(PinyinInitials(u"亍丌唷齄"), QStringLiteral("CJYZ"));
  }
};

QTEST_GUILESS_MAIN(TextTest)
#include "text_test.moc"
