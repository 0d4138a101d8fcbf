// Pinyin initials, by which the teacher finds a student: 张三 -> ZS.
#include "core/pinyin.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <QtTest>
#include <memory>

#include "core/gbk.h"

using namespace zorvanix;

namespace {

QString CharacterOfCode(int code) {
  const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  return DecodeGbk(QByteArrayView(bytes, 2));
}

}  // namespace

class PinyinTest : public QObject {
  Q_OBJECT

 private slots:
  void InitialsOfNames_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("initials");
    QTest::newRow("two characters") << QStringLiteral("张三") << QStringLiteral("ZS");
    QTest::newRow("mixed with ASCII") << QStringLiteral("王a1") << QStringLiteral("Wa1");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("punctuation kept") << QStringLiteral("李，四 ") << QStringLiteral("L，S ");
    QTest::newRow("exception over range") << QStringLiteral("解") << QStringLiteral("X");
    QTest::newRow("exception outside GB2312") << QStringLiteral("曌") << QStringLiteral("Z");
    QTest::newRow("every exception")
        << QStringLiteral("颉嫄珺燚玟翀祎解玥镕彧浥詹璟劼曌喆瑄旸垚阗修翟濛璠")
        << QStringLiteral("XYJYWCYXYRYYZJJZZXYYTXZMF");
    QTest::newRow("level-2 entries 1, 2, 753, 3008")
        << QStringLiteral("亍丌唷齄") << QStringLiteral("CJYZ");
    // GBK characters outside GB2312, also those whose codes fall numerically
    // inside the level-1 or level-2 blocks (trail byte below A1).
    QTest::newRow("GBK-only unchanged")
        << QStringLiteral("堃丂盄谸鳣") << QStringLiteral("堃丂盄谸鳣");
    QTest::newRow("outside GBK unchanged") << QStringLiteral("한𠀀") << QStringLiteral("한𠀀");
  }
  void InitialsOfNames() {
    QFETCH(QString, text);
    QFETCH(QString, initials);
    QCOMPARE(PinyinInitials(text), initials);
    QCOMPARE(PinyinInitials(QStringView(text)), initials);
    QCOMPARE(PinyinInitials("张三"), QStringLiteral("ZS"));
  }

  // Both ends of each level-1 range, and the codes just outside the block.
  void Level1RangeBoundaries() {
    struct Range {
      char initial;
      int from, to;
    };
    const Range ranges[] = {
        {'A', 0xB0A1, 0xB0C4}, {'B', 0xB0C5, 0xB2C0}, {'C', 0xB2C1, 0xB4ED}, {'D', 0xB4EE, 0xB6E9},
        {'E', 0xB6EA, 0xB7A1}, {'F', 0xB7A2, 0xB8C0}, {'G', 0xB8C1, 0xB9FD}, {'H', 0xB9FE, 0xBBF6},
        {'J', 0xBBF7, 0xBFA5}, {'K', 0xBFA6, 0xC0AB}, {'L', 0xC0AC, 0xC2E7}, {'M', 0xC2E8, 0xC4C2},
        {'N', 0xC4C3, 0xC5B5}, {'O', 0xC5B6, 0xC5BD}, {'P', 0xC5BE, 0xC6D9}, {'Q', 0xC6DA, 0xC8BA},
        {'R', 0xC8BB, 0xC8F5}, {'S', 0xC8F6, 0xCBF9}, {'T', 0xCBFA, 0xCDD9}, {'W', 0xCDDA, 0xCEF3},
        {'X', 0xCEF4, 0xD1B8}, {'Y', 0xD1B9, 0xD4D0}, {'Z', 0xD4D1, 0xD7F9},
    };
    for (const Range& range : ranges) {
      for (int code : {range.from, range.to}) {
        QCOMPARE(PinyinInitials(CharacterOfCode(code)), QString(QLatin1Char(range.initial)));
      }
    }
    for (int code : {0xB0A0, 0xA1A1, 0xAAA1}) {
      const QString character = CharacterOfCode(code);
      QCOMPARE(PinyinInitials(character), character);
    }
  }

  // Every level-2 letter against ICU's reading of the character (the name
  // characters of the exception table keep their own initial).
  void Level2TableAgreesWithIcu() {
    const QString exceptions = QStringLiteral("颉嫄珺燚玟翀祎解玥镕彧浥詹璟劼曌喆瑄旸垚阗修翟濛璠");
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> to_latin(
        icu::Transliterator::createInstance("Han-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    QVERIFY(U_SUCCESS(status));
    int checked = 0;
    for (int lead = 0xD8; lead <= 0xF7; ++lead) {
      for (int trail = 0xA1; trail <= 0xFE; ++trail) {
        const QString character = CharacterOfCode(lead * 256 + trail);
        ++checked;
        if (exceptions.contains(character)) continue;
        icu::UnicodeString latin(reinterpret_cast<const UChar*>(character.utf16()),
                                 static_cast<int32_t>(character.size()));
        to_latin->transliterate(latin);
        const QString reading = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(latin.getBuffer()), latin.length());
        QVERIFY2(!reading.isEmpty() && reading.front().isLetter(), qPrintable(character));
        QCOMPARE(PinyinInitials(character), QString(reading.front().toUpper()));
      }
    }
    QCOMPARE(checked, 3008);
  }
};

QTEST_GUILESS_MAIN(PinyinTest)
#include "pinyin_test.moc"
