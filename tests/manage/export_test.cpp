// The score page's 导出 against the real service: the CSV is parsed back and
// the XLSX unpacked and read back, and both must hold exactly the records the
// page shows. The table writer's quoting and guarding are checked on their own.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "core/score_line.h"
#include "manage/score_export.h"
#include "tests/manage/manage_scene.h"
#include "tests/support/csv_reader.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kOp = QStringLiteral("op123");
const QString kTopic = QStringLiteral("课堂表现");
// A name and notes a naive writer would break: comma, quote, Chinese, and a
// note a spreadsheet would take for a formula.
const QString kOddName = QStringLiteral("王,\"小\"明");
const QString kOddNote = QStringLiteral("答得好, 说\"对\"");
const QString kFormulaNote = QStringLiteral("=1+1");

QString ScoreAt(const QString& student, const QString& score, int hour, const QString& note) {
  return ScoreLine(QStringLiteral("一班"), student, score,
                   QDateTime(QDate(2026, 12, 7), QTime(hour, 30)), note);
}

// The CSV file: false when it does not begin with the UTF-8 byte-order mark.
bool ReadCsv(const QString& path, QList<QStringList>* rows) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = file.readAll();
  if (!bytes.startsWith("\xEF\xBB\xBF")) return false;
  *rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
  return true;
}

QByteArray Unzipped(const QString& archive, const QString& member) {
  QProcess unzip;
  unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
  if (!unzip.waitForFinished(10000) || unzip.exitCode() != 0) {
    qWarning("unzip -p %s %s failed", qPrintable(archive), qPrintable(member));
    return {};
  }
  return unzip.readAllStandardOutput();
}

// The first sheet of a workbook as rows of cell texts (numbers as the
// shortest text of their value), from its XML inside the zip.
QList<QStringList> ReadXlsx(const QString& path) {
  QStringList shared;
  QXmlStreamReader strings(Unzipped(path, QStringLiteral("xl/sharedStrings.xml")));
  while (!strings.atEnd()) {
    strings.readNext();
    if (strings.isStartElement() && strings.name() == u"si") shared.append(QString());
    if (strings.isStartElement() && strings.name() == u"t")
      shared.last() += strings.readElementText();
  }
  QList<QStringList> rows;
  QXmlStreamReader sheet(Unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml")));
  int column = 0;
  QString type;
  while (!sheet.atEnd()) {
    sheet.readNext();
    if (!sheet.isStartElement()) continue;
    if (sheet.name() == u"row") {
      rows.append(QStringList(5));
    } else if (sheet.name() == u"c") {
      column = sheet.attributes().value(QStringLiteral("r")).at(0).unicode() - u'A';
      type = sheet.attributes().value(QStringLiteral("t")).toString();
    } else if (sheet.name() == u"v" && !rows.isEmpty() && column >= 0 && column < 5) {
      const QString value = sheet.readElementText();
      rows.last()[column] =
          type == u"s" ? shared.value(value.toInt()) : QString::number(value.toDouble());
    }
  }
  return rows;
}

// What each exported row must hold for a List3 entry "ID TAB student TAB
// score TAB time TAB topic TAB note": time, student, score, topic, note.
QStringList RowOf(const QString& entry) {
  const QStringList f = entry.split(u'\t');
  return {f[3], f[1], f[2], f[4], f[5]};
}

}  // namespace

class ExportTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(ManageServer().IsRunning()); }
  void cleanupTestCase() { StopSharedServer(); }

  // --- The table writer -------------------------------------------------------

  void CsvQuotesAndGuardsCells() {
    QCOMPARE(CsvField("一班"), QStringLiteral("一班"));
    QCOMPARE(CsvField("a,b"), QStringLiteral("\"a,b\""));
    QCOMPARE(CsvField("say \"hi\""), QStringLiteral("\"say \"\"hi\"\"\""));
    QCOMPARE(CsvField("two\r\nlines"), QStringLiteral("\"two\r\nlines\""));
    QCOMPARE(CsvField("lf\nonly"), QStringLiteral("\"lf\nonly\""));
    for (const char* risky : {"=SUM(A1)", "+1", "-1", "@x"}) {
      QCOMPARE(GuardFormula(risky), u'\'' + QString(risky));
    }
    QCOMPARE(GuardFormula("a=1"), QStringLiteral("a=1"));
    QCOMPARE(GuardFormula(""), QString());

    // Every text column is guarded; the score column keeps its negative number.
    const QByteArray csv = ScoresCsv({{"2026-12-07 08:30:00", "-x", "-2", "@t", "多\n行"}});
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(csv.mid(3)),
             QStringLiteral("时间,姓名,计分,课题,说明\r\n"
                            "2026-12-07 08:30:00,'-x,-2,'@t,\"多\n行\"\r\n"));
    QCOMPARE(ParseCsv(QString::fromUtf8(csv.mid(3))).value(1),
             (QStringList{"2026-12-07 08:30:00", "'-x", "-2", "'@t", "多\n行"}));

    // Short lines give empty cells; TABs past the note stay in it.
    QCOMPARE(ScoreExportRows({"7\t张三", "8\t李四\t3\tt\tk\ta\tb"}),
             (QList<QStringList>{{"", "张三", "", "", ""}, {"t", "李四", "3", "k", "a\tb"}}));
    QCOMPARE(ExportFormatOf("a/b.XLSX"), ExportFormat::kXlsx);
    QCOMPARE(ExportFormatOf("a/b.csv"), ExportFormat::kCsv);
    QCOMPARE(ExportFormatOf("a/b.txt"), ExportFormat::kCsv);
  }

  void AFailedWriteLeavesTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("old.csv");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    QString error;
    QVERIFY(WriteScoreExport(path, ExportFormat::kXlsx, {"1\t张三\t5\tt\tk\tn"}, &error));
    QVERIFY2(ReadXlsx(path).size() == 2, qPrintable(error));
    // A name inside a file cannot be made: the reason comes back.
    QVERIFY(!WriteScoreExport(path + "/x.csv", ExportFormat::kCsv, {"1\t张三"}, &error));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!WriteScoreExport(path + "/x.xlsx", ExportFormat::kXlsx, {"1\t张三"}, &error));
    QVERIFY(!error.isEmpty());
    // A directory that cannot be written to: the reason comes back and the
    // file already there stays as it was.
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const QByteArray before = [&] {
      QFile f(path);
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const bool written =
        WriteScoreExport(path, ExportFormat::kCsv, {"1\t张三\t5\tt\tk\tn"}, &error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (written) QSKIP("running as a user who can write anywhere");
    QVERIFY(!error.isEmpty());
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
  }

  // --- The page -----------------------------------------------------------------

  void ExportHoldsExactlyThePagesRecords() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) &&
                 scene.SeedStudents("一班", {"张三", kOddName}) && scene.SeedTopics({kTopic}) &&
                 scene.SeedScores(kTopic, {ScoreAt("张三", "5", 8, "回答正确"),
                                           ScoreAt(kOddName, "4.5", 9, kOddNote),
                                           ScoreAt("张三", "-2", 10, kFormulaNote)}),
             qPrintable(scene.Error()));
    scene.StartOnPage(3, kOp);
    QPushButton* button = scene.Find<QPushButton>("CmdExport");
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("导出"));
    // Nothing loaded yet: nothing to export, and the tooltip says what to do.
    QVERIFY(!button->isEnabled());
    QVERIFY(button->toolTip().contains(QStringLiteral("请先选择班级")));

    QVERIFY(scene.Choose("Combo1", "一班"));
    const QStringList records = scene.Entries("List3");
    QCOMPARE(records.size(), 3);
    QVERIFY(button->isEnabled());
    QCOMPARE(RowOf(records[1]),
             (QStringList{"2026-12-07 09:30:00", kOddName, "4.5", kTopic, kOddNote}));

    QTemporaryDir dir;
    // CSV: the name typed without an extension becomes a .csv.
    scene.Prompts().ChooseNextFile(dir.filePath("一班计分"));
    scene.Click("CmdExport");
    const QString csv_path = dir.filePath("一班计分.csv");
    ZV_EXPECT_MESSAGE(scene, "导出成功",
                      "已导出3条计分记录。\r\n保存位置：" + QDir::toNativeSeparators(csv_path),
                      MessageIcon::kInformation);
    const PromptRecord dialog = scene.Prompts().Records().at(scene.Prompts().Records().size() - 2);
    QCOMPARE(int(dialog.kind), int(PromptRecord::Kind::kSaveFile));
    QCOMPARE(dialog.title, QStringLiteral("导出计分"));
    QList<QStringList> csv;
    QVERIFY(ReadCsv(csv_path, &csv));
    QList<QStringList> expected{ScoreExportHeader()};
    for (const QString& entry : records) expected.append(RowOf(entry));
    QCOMPARE(csv.size(), expected.size());
    for (qsizetype row = 0; row < expected.size(); ++row) {
      QStringList want = expected[row];
      // The one text a spreadsheet would run as a formula carries the guard.
      if (want[4] == kFormulaNote) want[4] = u'\'' + kFormulaNote;
      QCOMPARE(csv[row], want);
    }
    QCOMPARE(csv[3][2], QStringLiteral("-2"));

    // XLSX: the same rows, texts as they stand, scores as numbers.
    const QString xlsx_path = dir.filePath("一班计分.xlsx");
    scene.Prompts().ChooseNextFile(xlsx_path);
    scene.Click("CmdExport");
    ZV_EXPECT_MESSAGE(scene, "导出成功",
                      "已导出3条计分记录。\r\n保存位置：" + QDir::toNativeSeparators(xlsx_path),
                      MessageIcon::kInformation);
    QCOMPARE(ReadXlsx(xlsx_path), expected);

    // Cancelling the dialog writes nothing and says nothing.
    const qsizetype shown = scene.Prompts().Records().size();
    scene.Click("CmdExport");
    QCOMPARE(scene.Prompts().Records().size(), shown + 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);

    // A place that cannot be written: the teacher is told why.
    const QString nowhere = dir.filePath("没有此目录/计分.csv");
    scene.Prompts().ChooseNextFile(nowhere);
    scene.Click("CmdExport");
    const PromptRecord failed = scene.Prompts().Last();
    QCOMPARE(failed.title, QStringLiteral("导出失败"));
    QVERIFY2(failed.text.startsWith(QStringLiteral("导出失败：")) &&
                 failed.text.size() > QStringLiteral("导出失败：\r\n保存位置：").size() +
                                          QDir::toNativeSeparators(nowhere).size(),
             qPrintable(failed.text));
    QVERIFY(failed.text.endsWith(QDir::toNativeSeparators(nowhere)));
    QCOMPARE(int(failed.icon), int(MessageIcon::kWarning));
    QVERIFY(!QFile::exists(nowhere));

    // After every record is deleted the button is off again.
    scene.Click("Command17");
    scene.Click("Command15");
    QCOMPARE(scene.Entries("List3").size(), 0);
    QVERIFY(!button->isEnabled());
  }
};

QTEST_MAIN(ExportTest)
#include "export_test.moc"
