// Small helpers every window relies on: numbers inside texts, text files,
// score lines and score files.
#include <sys/resource.h>

#include <csignal>

#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "core/file_text.h"
#include "core/gbk.h"
#include "core/numbers.h"
#include "core/score_line.h"

using namespace zorvanix;

namespace {

QByteArray BytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class HelpersTest : public QObject {
  Q_OBJECT

 private slots:
  void LeadingNumberRule_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("unit after") << QStringLiteral("5分") << 5.0;
    QTest::newRow("decimal") << QStringLiteral("3.5分]") << 3.5;
    QTest::newRow("blanks and sign") << QStringLiteral("  -2.25x") << -2.25;
    QTest::newRow("plus sign") << QStringLiteral("+3") << 3.0;
    QTest::newRow("point first") << QStringLiteral(".5") << 0.5;
    QTest::newRow("point last") << QStringLiteral("7.") << 7.0;
    QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("exponent is not read") << QStringLiteral("1e5") << 1.0;
    QTest::newRow("bracket first") << QStringLiteral("[3分]") << 0.0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
  }
  void LeadingNumberRule() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(LeadingNumber(text), value);
  }

  void ShortestDecimalTextIsPlainDigits_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 3.0 << QStringLiteral("3");
    QTest::newRow("trailing zero") << 2.50 << QStringLiteral("2.5");
    QTest::newRow("negative") << -2.0 << QStringLiteral("-2");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("thirds") << 1.0 / 3 << QStringLiteral("0.333333333333333");
    QTest::newRow("binary noise") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("large") << 1e15 << QStringLiteral("1000000000000000");
    QTest::newRow("small") << 0.00001 << QStringLiteral("0.00001");
    QTest::newRow("not a number") << qQNaN() << QStringLiteral("0");
  }
  void ShortestDecimalTextIsPlainDigits() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(ShortestDecimal(value), text);
    QCOMPARE(NormalizeNumberText(u"4.50分"), QStringLiteral("4.5"));
  }

  void TextFilesAreGbkWithCrLf() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("一班.Log"));
    QCOMPARE(ReadWholeFile(path), QString());
    QVERIFY(AppendLineToFile(path, QStringLiteral("a")));
    QVERIFY(AppendLineToFile(path, QStringLiteral("b张")));
    QCOMPARE(BytesOf(path), QByteArray("a\r\nb\xd5\xc5\r\n"));
    QCOMPARE(ReadWholeFile(path), QStringLiteral("a\r\nb张\r\n"));
    WriteLinesAtomically(path, {});
    QCOMPARE(ReadWholeFile(path), QString());

    QString error;
    QVERIFY(!AppendLineToFile(dir.path(), QStringLiteral("x"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!WriteLinesAtomically(dir.filePath(QStringLiteral("no/such/dir.dms")), {"x"}, &error));
    QCOMPARE(SplitLines(u"a\r\nb\rc\n\r\nd"),
             QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QString(),
                          QStringLiteral("d")}));
  }

  // The daily log on a full disk (a file-size limit stands in for it): the
  // line is written whole or not at all, the reason is given in Chinese, and
  // the next line after a cut-off one starts on a line of its own.
  void DailyLogLinesAreWholeOnAFullDisk() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("一班.Log"));
    QVERIFY(AppendLineToFile(path, QStringLiteral("初一\t张三\t5分")));
    const QByteArray before = BytesOf(path);

    rlimit old_limit{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit full = old_limit;
    full.rlim_cur = static_cast<rlim_t>(before.size() + 5);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    QString error;
    const bool written = AppendLineToFile(path, QStringLiteral("初一\t李四\t3分\t2024-03-01"), &error);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("磁盘空间已满，这条计分未能写入日志"));
    QCOMPARE(BytesOf(path), before);

    // A line cut short by an older program or a crash.
    QFile cut(path);
    QVERIFY(cut.open(QIODevice::Append));
    cut.write("\xb3\xf5\xd2\xbb\t\xcd\xf5");
    cut.close();
    QVERIFY(AppendLineToFile(path, QStringLiteral("b")));
    QCOMPARE(BytesOf(path), before + "\xb3\xf5\xd2\xbb\t\xcd\xf5\r\nb\r\n");
  }

  void ScoreLinesAndScoreFiles() {
    const QString line =
        ScoreLine(QStringLiteral("一班"), QStringLiteral("张三"), QStringLiteral("5分"),
                  QDateTime(QDate(2013, 3, 5), QTime(8, 5, 9)), QString());
    QCOMPARE(line, QStringLiteral("一班\t张三\t5分\t2013-03-05 08:05:09\t"));
    QCOMPARE(ScoreLineFields(u"a\tb"), QStringList({QStringLiteral("a"), QStringLiteral("b"),
                                                    QString(), QString(), QString()}));
    QCOMPARE(ScoreLineFields(u"a\tb\tc\td\te\tf").last(), QStringLiteral("e\tf"));
    QCOMPARE(DailyLogFileName(QStringLiteral("li"), QStringLiteral("高一/3:班"), QDate(2013, 3, 5)),
             QStringLiteral("li_高一%2F3%3A班_2013-03-05.Log"));
    // One file per class: the escape and the separator are escaped too, and
    // plain names stay as they are.
    const QDate day(2013, 3, 5);
    QStringList names;
    for (const char16_t* cls : {u"3/4班", u"3_4班", u"3%2F4班", u"3%5F4班", u"3?4班"}) {
      names.append(DailyLogFileName(QStringLiteral("li"), QString::fromUtf16(cls), day));
    }
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
    QCOMPARE(DailyLogFileName(QStringLiteral("li_a"), QStringLiteral("b"), day),
             QStringLiteral("li%5Fa_b_2013-03-05.Log"));
    QVERIFY(DailyLogFileName(QStringLiteral("li"), QStringLiteral("a_b"), day) !=
            DailyLogFileName(QStringLiteral("li_a"), QStringLiteral("b"), day));
    QCOMPARE(DailyLogFileName(QStringLiteral("li"), QStringLiteral("一班"), day),
             QStringLiteral("li_一班_2013-03-05.Log"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.dms"));
    QStringList lines;
    QVERIFY(!ReadScoreFile(path, &lines));
    QVERIFY(WriteScoreFile(path, {line, line + QStringLiteral("[2分]")}));
    QCOMPARE(BytesOf(path),
             EncodeGbk(line + QStringLiteral("\r\n") + line + QStringLiteral("[2分]\r\n")));
    QVERIFY(ReadScoreFile(path, &lines));
    QCOMPARE(lines, QStringList({line, line + QStringLiteral("[2分]")}));
  }
};

QTEST_GUILESS_MAIN(HelpersTest)
#include "helpers_test.moc"
