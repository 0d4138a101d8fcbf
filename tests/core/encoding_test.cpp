// GBK text and the escaping of form bodies and addresses: what crosses the
// wire must reach the service's form decoder with every value intact.
#include <QStringDecoder>
#include <QtTest>

#include "core/form_encoding.h"
#include "core/gbk.h"

using namespace zorvanix;

using Pairs = QList<QPair<QString, QString>>;

class EncodingTest : public QObject {
  Q_OBJECT

 private slots:
  void GbkRoundTripsGbkOnlyCharactersAndEveryGb2312Label() {
    const QString text = QStringLiteral("张三曌€");
    const QByteArray bytes = EncodeGbk(text);
    QCOMPARE(bytes.toHex(), QByteArray("d5c5c8fd95d780"));
    for (const char16_t* label : {u"GB2312", u"gb2312", u" GBK ", u"CP936", u"windows-936"}) {
      QCOMPARE(DecodeBytes(bytes, label), text);
    }
    QCOMPARE(DecodeBytes(text.toUtf8(), u"UTF-8"), text);
    QCOMPARE(GbkCode(u"张"), 0xD5C5);
    QCOMPARE(GbkCode(u"a"), 0x61);
    QCOMPARE(GbkCode(u"한"), -1);
  }

  // ASCII-only bytes take a shortcut past the converter: every byte below
  // 0x80 (controls and NUL included) must still read as the converter reads
  // it, alone and beside double-byte characters.
  void AsciiBytesDecodeAsTheConverterDecodesThem() {
    QByteArray ascii;
    for (int c = 0; c < 0x80; ++c) ascii.append(static_cast<char>(c));
    QStringDecoder converter(kGbkCodecName);
    const QString expected = converter.decode(ascii);
    QCOMPARE(expected.size(), 0x80);
    QCOMPARE(DecodeGbk(ascii), expected);
    QCOMPARE(DecodeGbk(ascii + QByteArray::fromHex("d5c5")), expected + u'张');
    QCOMPARE(DecodeGbk(QByteArray::fromHex("d5c5") + ascii), u'张' + expected);
    QCOMPARE(DecodeGbk(QByteArray()), QString());
  }

  void UrlEncodeEscapesOnlyDoubleByteCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("name") << QStringLiteral("username=张三")
                          << QStringLiteral("username=%D5%C5%C8%FD");
    QTest::newRow("ASCII unchanged")
        << QStringLiteral("a&b=c d|\t%+#?/") << QStringLiteral("a&b=c d|\t%+#?/");
    QTest::newRow("GBK-only") << QStringLiteral("曌") << QStringLiteral("%95%D7");
    QTest::newRow("low trail byte") << QStringLiteral("丂") << QStringLiteral("%81%40");
    QTest::newRow("full-width space") << QStringLiteral("　") << QStringLiteral("%A1%A1");
    QTest::newRow("single-byte euro") << QStringLiteral("€") << QStringLiteral("€");
    QTest::newRow("outside GBK") << QStringLiteral("한") << QStringLiteral("한");
    QTest::newRow("empty") << QString() << QString();
  }
  void UrlEncodeEscapesOnlyDoubleByteCharacters() {
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(UrlEncodeGb2312(text), encoded);
    QCOMPARE(UrlEncodeGb2312("username=张三"), QStringLiteral("username=%D5%C5%C8%FD"));
  }

  void FormValuesEscapeWhatWouldSplitTheBody_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("percent") << QStringLiteral("100%") << QStringLiteral("100%25");
    QTest::newRow("ampersand") << QStringLiteral("a&b") << QStringLiteral("a%26b");
    QTest::newRow("equals") << QStringLiteral("a=b") << QStringLiteral("a%3Db");
    QTest::newRow("plus") << QStringLiteral("a+b") << QStringLiteral("a%2Bb");
    QTest::newRow("hash") << QStringLiteral("#1") << QStringLiteral("%231");
    QTest::newRow("TAB, bar and blank stay")
        << QStringLiteral("a\tb|c d") << QStringLiteral("a\tb|c d");
    QTest::newRow("Chinese after escapes")
        << QStringLiteral("张&三") << QStringLiteral("%D5%C5%26%C8%FD");
    // An escape already in the value is the teacher's text, not an escape.
    QTest::newRow("escape-looking text")
        << QStringLiteral("%D5%C5") << QStringLiteral("%25D5%25C5");
  }
  void FormValuesEscapeWhatWouldSplitTheBody() {
    QFETCH(QString, value);
    QFETCH(QString, escaped);
    QCOMPARE(EscapeFormValue(value), escaped);
  }

  // The fault the escaping mends: a password with "&" or "=" used to split the
  // body into extra keys on the service side.
  void FormBodyDecodesToTheSamePairsOnTheService() {
    const Pairs pairs = {
        {QStringLiteral("username"), QStringLiteral("张三&admin=1")},
        {QStringLiteral("password"), QStringLiteral("p%2B=&+# x")},
        {QStringLiteral("score"), QStringLiteral("一班\t李四\t5分\t2013-03-15 08:05:09\t|二班")},
        {QStringLiteral("empty"), QString()},
    };
    FormBody body;
    for (const auto& [key, value] : pairs) body.Add(key, value);
    QCOMPARE(DecodeForm(body.Bytes()), pairs);
    QVERIFY(body.Text().startsWith(QStringLiteral("username=%D5%C5%C8%FD%26admin%3D1&password=")));
    for (const char byte : body.Bytes()) QVERIFY(static_cast<unsigned char>(byte) < 0x80);
  }

  void QueryValuesArePercentEscapedGbkBytes() {
    QCOMPARE(EscapeQueryValue(u"张三"), QStringLiteral("%D5%C5%C8%FD"));
    QCOMPARE(EscapeQueryValue(u"a+b c&d=e#f"), QStringLiteral("a%2Bb%20c%26d%3De%23f"));
    QCOMPARE(EscapeQueryValue(u"Az09-._~"), QStringLiteral("Az09-._~"));
    const QString value = QStringLiteral("一班 &=+%|\t曌");
    QCOMPARE(DecodeGbk(PercentDecode(EscapeQueryValue(value).toLatin1())), value);
  }

  void FormDecodingSkipsEmptyPiecesAndKeepsMalformedEscapes() {
    const Pairs expected = {{QStringLiteral("a"), QStringLiteral("1 2")},
                            {QStringLiteral("flag"), QString()},
                            {QStringLiteral("b"), QStringLiteral("%G1%4")}};
    QCOMPARE(DecodeForm("a=1+2&&flag&b=%G1%4"), expected);
  }
};

QTEST_GUILESS_MAIN(EncodingTest)
#include "encoding_test.moc"
