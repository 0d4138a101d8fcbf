// The password digest: standard MD5 for ASCII, one unit per double-byte
// character otherwise. The service checks "mp" with the same function, so any
// drift here locks every teacher out.
#include "core/md5_hex.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include "core/gbk.h"

using namespace zorvanix;

class Md5HexTest : public QObject {
  Q_OBJECT

 private slots:
  // Every length around the padding boundaries (55/56 and 63/64 units) and
  // across a second block.
  void AsciiTextIsStandardMd5AtEveryLength() {
    const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+/";
    for (int length = 0; length <= 130; ++length) {
      QByteArray text;
      for (int i = 0; i < length; ++i) text += alphabet[(i * 7 + length) % alphabet.size()];
      const QString expected =
          QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex());
      QCOMPARE(Md5Hex(QString::fromLatin1(text)), expected);
    }
    // The RFC 1321 test suite value, through a plain literal argument.
    QCOMPARE(Md5Hex("abc"), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
  }

  void DoubleByteCharactersCountAsOneUnit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    // Expected values from an independent Python reimplementation of the rule
    // (RFC 1321 written out from the paper, message words built from Python's
    // cp936 codec plus Windows' one-byte euro sign 0x80: signed 16-bit code,
    // sign-extended, shifted by 8 x (index mod 4), OR-ed into the word; '?'
    // for a character the code page lacks), checked first against hashlib on
    // ASCII texts and run once.
    auto row = [](const char* name, const QString& text, const char* digest) {
      QTest::newRow(name) << text << QString::fromLatin1(digest);
    };
    const QString a = QStringLiteral("a");
    row("one character", QStringLiteral("张"), "735ba5838eb87f49d2bd66ad8b46a9b9");
    row("at index 1", QStringLiteral("a张"), "bce243039073c6d7f81111d1deae9b7a");
    row("at index 2", QStringLiteral("ab张"), "d1d9f7c9294083539a4e90574e005511");
    row("at index 3", QStringLiteral("abc张"), "f9a0e9d6d6f45dce672dfd667bd2fc24");
    row("one word of four", QStringLiteral("张三李四"), "b481024f1a05fe2dfc01fc193bc0d920");
    row("Chinese then digits", QStringLiteral("密码123"), "026112dd907e4d2b96b45595e2d76efa");
    row("GBK-only and euro sign", QStringLiteral("曌€"), "b821cfed2a0a920086e2eb9ca8507ea8");
    row("character outside GBK", QStringLiteral("한a"), "52b270ba4e30738ed9aa4faa8e801972");
    row("55 units, first", QStringLiteral("张") + a.repeated(54),
        "466456c1c3ee528363e17a713b163ecc");
    row("55 units, sign bits under the pad",
        QStringLiteral("b").repeated(52) + QStringLiteral("张aa"),
        "79a47a41a17eb5db3c631b925a389c36");
    row("56 units, last", a.repeated(55) + QStringLiteral("张"),
        "d742b10f2663fed44471efae094d7389");
    row("63 units, last", a.repeated(62) + QStringLiteral("张"),
        "66c601d942ba4583a2ea583ae152ec13");
    row("64 units, last", a.repeated(63) + QStringLiteral("张"),
        "68275b9be2b53c2ab9dca8f05c6b5839");
    row("64 units, all Chinese", QStringLiteral("测试").repeated(32),
        "05974067f36e241eb714327f49c0fdcf");
  }
  void DoubleByteCharactersCountAsOneUnit() {
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(Md5Hex(text), digest);
  }

  // It is the digest, not the GBK bytes' MD5, that identifies the teacher.
  void ChineseTextIsNotTheMd5OfItsBytes() {
    const QString text = QStringLiteral("张三");
    QVERIFY(Md5Hex(text) !=
            QString::fromLatin1(
                QCryptographicHash::hash(QByteArray("\xd5\xc5\xc8\xfd"), QCryptographicHash::Md5)
                    .toHex()));
  }
  // The weak-digest rule: the passwords that collided in practice are all
  // weak; passwords the rule lets pass spread over distinct digests.
  void WeakDigestPasswordsAreRecognised() {
    QSet<QString> weak_digests;
    for (int n = 0; n < 200; ++n) {
      const QString password = QStringLiteral("登录%1").arg(n);
      QVERIFY2(IsWeakDigestPassword(password), qPrintable(password));
      weak_digests.insert(Md5Hex(password));
    }
    QVERIFY(weak_digests.size() < 50);
    QVERIFY(!IsWeakDigestPassword(u"abc123"));
    QVERIFY(!IsWeakDigestPassword(u""));
    QVERIFY(IsWeakDigestPassword(u"登录abcdef"));     // two of the six are covered
    QVERIFY(!IsWeakDigestPassword(u"登录abcdefgh"));  // six reach the digest
    QSet<QString> strong_digests;
    for (int n = 0; n < 200; ++n) {
      const QString password = QStringLiteral("登录ab%1xyz").arg(n, 3, 10, QLatin1Char('0'));
      QVERIFY2(!IsWeakDigestPassword(password), qPrintable(password));
      strong_digests.insert(Md5Hex(password));
    }
    QCOMPARE(strong_digests.size(), 200);
    QVERIFY(!WeakDigestPasswordText().isEmpty());

    // Figures for the note: 10,000 random passwords of 2 to 8 common
    // characters, all Chinese, and mixed half and half with letters/digits.
    QRandomGenerator random(16);
    const QString letters = QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789");
    int weak_chinese = 0, weak_mixed = 0;
    for (int n = 0; n < 10000; ++n) {
      QString chinese, mixed;
      const int length = 2 + static_cast<int>(random.bounded(7));
      for (int i = 0; i < length; ++i) {
        const int code = ((0xB0 + static_cast<int>(random.bounded(0x28))) << 8) |
                         (0xA1 + static_cast<int>(random.bounded(0x5E)));
        const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        const QString han = DecodeGbk(QByteArrayView(bytes, 2));
        chinese += han;
        mixed += random.bounded(2) ? han : QString(letters[random.bounded(36)]);
      }
      weak_chinese += IsWeakDigestPassword(chinese);
      weak_mixed += IsWeakDigestPassword(mixed);
    }
    qInfo("weak: %d of 10000 all-Chinese, %d of 10000 mixed", weak_chinese, weak_mixed);
    QCOMPARE(weak_chinese, 10000);
  }
};

QTEST_GUILESS_MAIN(Md5HexTest)
#include "md5_hex_test.moc"
