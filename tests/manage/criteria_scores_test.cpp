// The scoring-criteria and score-record pages against the real service: what
// the service holds afterwards is read back through its load endpoints.
#include <QtTest>

#include "core/cache_file.h"
#include "core/score_line.h"
#include "manage/page_widgets.h"
#include "tests/manage/manage_scene.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kOp = QStringLiteral("op123");
const QString kTopic = QStringLiteral("课堂表现");

// The entries without their IDs: "text TAB score" or, for score records,
// "student TAB score TAB time TAB topic TAB note".
QStringList WithoutIds(const QStringList& entries) {
  QStringList rest;
  for (const QString& entry : entries) rest.append(entry.section(u'\t', 1));
  return rest;
}

QStringList Ids(const QStringList& entries) {
  QStringList ids;
  for (const QString& entry : entries) ids.append(EntryField(entry, 0));
  return ids;
}

QString ScoreAt(const QString& student, const QString& score, int hour) {
  return ScoreLine(QStringLiteral("一班"), student, score,
                   QDateTime(QDate(2026, 12, 7), QTime(hour, 30)), QStringLiteral("回答正确"));
}

void FillRow(ManageScene& scene, int row, const QString& text, const QString& score) {
  scene.Type(QStringLiteral("txtNewScale_%1").arg(row), text);
  scene.Type(QStringLiteral("txtNewScore_%1").arg(row), score);
}

}  // namespace

class CriteriaScoresTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(ManageServer().IsRunning()); }
  void cleanupTestCase() { StopSharedServer(); }

  // --- Criteria ----------------------------------------------------------------------

  void NewCriteriaComeFromTheFiveRows() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({kTopic, "纪律"}) &&
                 scene.SeedCriteria(kTopic, {"按时完成", "", "", "", ""}, {"2", "", "", "", ""}),
             qPrintable(scene.Error()));
    scene.StartOnPage(6, kOp);
    QCOMPARE(scene.Text("Combo3"), QStringLiteral("课题"));
    QVERIFY(!scene.Find<QPushButton>("Command37")->isEnabled());
    QVERIFY(scene.Choose("Combo3", kTopic));
    QCOMPARE(WithoutIds(scene.Entries("List5")), QStringList{"按时完成\t2"});
    scene.Click("Command37");
    QVERIFY(scene.Find<QWidget>("Frame7")->isVisible());
    QCOMPARE(scene.Text("Text28"), kTopic);
    QVERIFY(!scene.Find<QWidget>("Text28")->isEnabled());
    QCOMPARE(scene.Entries("List6"), scene.Entries("List5"));

    // Nothing but blanks in the texts and nothing in the scores: nothing is sent.
    FillRow(scene, 1, "   ", "");
    scene.Click("Command35");
    ZV_EXPECT_MESSAGE(scene, "提示", "至少填写一个标准或评分！", MessageIcon::kWarning);
    QCOMPARE(scene.ServiceCriteria(kTopic).size(), 1);

    // Rows one and three filled: the service gets five TAB-separated fields
    // of each, in row order, the scores normalised.
    FillRow(scene, 1, "", "");
    FillRow(scene, 0, "回答正确", "5分");
    FillRow(scene, 2, "声音洪亮", "2.50");
    scene.Click("Command35");
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QVERIFY(!scene.Find<QWidget>("Frame7")->isVisible());
    for (int row = 0; row < 5; ++row) {
      QCOMPARE(scene.Text(QStringLiteral("txtNewScale_%1").arg(row)), QString());
      QCOMPARE(scene.Text(QStringLiteral("txtNewScore_%1").arg(row)), QString());
    }
    const QStringList expected{"按时完成\t2", "回答正确\t5", "声音洪亮\t2.5"};
    QCOMPARE(WithoutIds(scene.ServiceCriteria(kTopic)), expected);
    QCOMPARE(WithoutIds(scene.Entries("List5")), expected);
    QCOMPARE(scene.ServiceCriteria("纪律"), QStringList{});

    // One text in the third row and no score at all.
    scene.Click("Command37");
    FillRow(scene, 2, "举手发言", "");
    scene.Click("Command35");
    QCOMPARE(WithoutIds(scene.ServiceCriteria(kTopic)).last(), QStringLiteral("举手发言\t0"));
  }

  void RefusedNewCriteriaStayInTheirRows() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({kTopic}), qPrintable(scene.Error()));
    scene.StartOnPage(6, "wrong-password");
    QVERIFY(scene.Choose("Combo3", kTopic));
    scene.Click("Command37");
    FillRow(scene, 0, "回答正确", "5分");
    scene.Click("Command35");
    const PromptRecord last = scene.Prompts().Last();
    QCOMPARE(last.title, QStringLiteral("错误"));
    QVERIFY2(last.text.endsWith(QStringLiteral("\r\n操作失败！")), qPrintable(last.text));
    QVERIFY(scene.Find<QWidget>("Frame7")->isVisible());
    QCOMPARE(scene.Text("txtNewScale_0"), QStringLiteral("回答正确"));
    QCOMPARE(scene.Text("txtNewScore_0"), QStringLiteral("5"));
    QCOMPARE(scene.ServiceCriteria(kTopic), QStringList{});
  }

  void CriterionTextsGbkCannotHoldAreRefused() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({kTopic}) &&
                 scene.SeedCriteria(kTopic, {"回答正确", "", "", "", ""}, {"5", "", "", "", ""}),
             qPrintable(scene.Error()));
    scene.StartOnPage(6, kOp);
    QVERIFY(scene.Choose("Combo3", kTopic));
    scene.Click("Command37");
    FillRow(scene, 0, "声音洪亮", "2");
    FillRow(scene, 1, "读对䶮字", "1");
    scene.Click("Command35");
    ZV_EXPECT_MESSAGE(scene, "提示", "“读对䶮字”中的字符“䶮”无法保存到服务器，请改用其他字！",
                      MessageIcon::kWarning);
    QCOMPARE(WithoutIds(scene.ServiceCriteria(kTopic)), QStringList{"回答正确\t5"});

    QVERIFY(scene.DoubleClick("List5", 0));
    scene.Type("Text26", QStringLiteral("回答\U00020BB7"));
    scene.Click("Command29");
    ZV_EXPECT_MESSAGE(
        scene, "提示",
        QStringLiteral("“回答\U00020BB7”中的字符“\U00020BB7”无法保存到服务器，请改用其他字！"),
        MessageIcon::kWarning);
    QCOMPARE(WithoutIds(scene.ServiceCriteria(kTopic)), QStringList{"回答正确\t5"});
  }

  void EditingACriterionSendsItsIdTextAndScore() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({kTopic}) &&
                 scene.SeedCriteria(kTopic, {"回答正确", "声音洪亮", "", "", ""},
                                    {"5", "2", "", "", ""}),
             qPrintable(scene.Error()));
    scene.StartOnPage(6, kOp);
    QVERIFY(scene.Choose("Combo3", kTopic));
    const QStringList before = scene.Entries("List5");
    QVERIFY(scene.DoubleClick("List5", 1));
    QVERIFY(scene.Find<QWidget>("Frame6")->isVisible());
    QCOMPARE(scene.Text("Text21"), kTopic);
    QCOMPARE(scene.Text("Text25"), EntryField(before[1], 0));
    QCOMPARE(scene.Text("Text26"), QStringLiteral("声音洪亮"));
    QCOMPARE(scene.Text("Text27"), QStringLiteral("2"));

    scene.Type("Text26", "声音洪亮清楚");
    scene.Type("Text27", "4.0");
    scene.Click("Command29");
    ZV_EXPECT_MESSAGE(scene, "成功", "修改成功！", MessageIcon::kInformation);
    QVERIFY(!scene.Find<QWidget>("Frame6")->isVisible());
    const QStringList after = scene.ServiceCriteria(kTopic);
    QCOMPARE(Ids(after), Ids(before));
    QCOMPARE(WithoutIds(after), (QStringList{"回答正确\t5", "声音洪亮清楚\t4"}));
    QCOMPARE(scene.Entries("List5"), after);
  }

  void DeletedCriteriaAreSentBottomUp() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({kTopic}) &&
                 scene.SeedCriteria(kTopic, {"甲", "乙", "丙", "", ""}, {"1", "2", "3", "", ""}),
             qPrintable(scene.Error()));
    scene.StartOnPage(6, kOp);
    QVERIFY(scene.Choose("Combo3", kTopic));
    const QStringList entries = scene.Entries("List5");
    QCOMPARE(entries.size(), 3);

    // Sending right after a topic was chosen sends no IDs and is accepted.
    scene.Click("Command31");
    QCOMPARE(scene.Window().PendingCriterionDeletions(), QString());
    QCOMPARE(scene.Text("Label38"), QStringLiteral("操作成功！"));

    const qsizetype shown = scene.Prompts().Records().size();
    scene.Click("Command32");
    QCOMPARE(scene.Text("Label38"), QStringLiteral("请选择需要删除的标准！"));
    QCOMPARE(scene.Prompts().Records().size(), shown);

    scene.Select("List5", {entries[0], entries[2]});
    scene.Click("Command32");
    QCOMPARE(scene.Window().PendingCriterionDeletions(),
             u'|' + EntryField(entries[2], 0) + u'|' + EntryField(entries[0], 0));
    QCOMPARE(scene.Text("Label38"), QStringLiteral("已删除2条标准！"));
    QCOMPARE(scene.Entries("List5"), QStringList{entries[1]});
    QCOMPARE(scene.ServiceCriteria(kTopic), QStringList{entries[1]});
  }

  // --- Score records -------------------------------------------------------------------

  void CorrectingAScoreSendsItsTimeAsSeconds() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) &&
                 scene.SeedStudents("一班", {"张三"}) && scene.SeedTopics({kTopic}) &&
                 scene.SeedScores(kTopic, {ScoreAt("张三", "5", 9)}),
             qPrintable(scene.Error()));
    scene.StartOnPage(3, kOp);
    QCOMPARE(scene.Text("Combo1"), QStringLiteral("班级"));
    QVERIFY(scene.Choose("Combo1", "一班"));
    const QStringList records = scene.Entries("List3");
    QCOMPARE(WithoutIds(records), QStringList{"张三\t5\t2026-12-07 09:30:00\t课堂表现\t回答正确"});

    QVERIFY(scene.DoubleClick("List3", 0));
    QVERIFY(scene.Find<QWidget>("Frame4")->isVisible());
    QCOMPARE(scene.Text("Text16"), EntryField(records[0], 0));
    QCOMPARE(scene.Text("Text17"), QStringLiteral("张三"));
    QCOMPARE(scene.Text("Text19"), QStringLiteral("2026-12-07 09:30:00"));
    QCOMPARE(scene.Text("Text24"), QStringLiteral("回答正确"));

    scene.Type("Text18", "4.0");
    scene.Type("Text19", "2026-12-08 10:05:09");
    scene.Type("Text24", "补记");
    scene.Click("Command23");
    ZV_EXPECT_MESSAGE(scene, "成功", "修改成功！", MessageIcon::kInformation);
    QVERIFY(!scene.Find<QWidget>("Frame4")->isVisible());
    const QStringList expected{EntryField(records[0], 0) +
                               "\t张三\t4\t2026-12-08 10:05:09\t课堂表现\t补记"};
    QCOMPARE(scene.ServiceScores("一班"), expected);
    QCOMPARE(scene.Entries("List3"), expected);

    // A correction that leaves the time alone sends the same moment back.
    QVERIFY(scene.DoubleClick("List3", 0));
    scene.Type("Text18", "3");
    scene.Click("Command23");
    QCOMPARE(EntryField(scene.ServiceScores("一班").value(0), 3),
             QStringLiteral("2026-12-08 10:05:09"));

    // An unknown record is the service's refusal; the panel stays open.
    QVERIFY(scene.DoubleClick("List3", 0));
    scene.Find<QLineEdit>("Text16")->setText("999999");
    scene.Click("Command23");
    ZV_EXPECT_MESSAGE(scene, "错误", "计分记录不存在\r\n修改失败！", MessageIcon::kWarning);
    QVERIFY(scene.Find<QWidget>("Frame4")->isVisible());
  }

  void DeletedScoresAreSentBottomUp() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) &&
                 scene.SeedStudents("一班", {"张三", "李四"}) && scene.SeedTopics({kTopic}) &&
                 scene.SeedScores(kTopic, {ScoreAt("张三", "5", 8), ScoreAt("李四", "4", 9),
                                           ScoreAt("张三", "3", 10), ScoreAt("李四", "2", 11)}),
             qPrintable(scene.Error()));
    scene.StartOnPage(3, kOp);
    QVERIFY(scene.Choose("Combo1", "一班"));
    const QStringList records = scene.Entries("List3");
    QCOMPARE(records.size(), 4);

    const qsizetype shown = scene.Prompts().Records().size();
    scene.Click("Command15");
    QCOMPARE(scene.Text("Label16"), QStringLiteral("请选择需要删除的计分！"));
    QCOMPARE(scene.Prompts().Records().size(), shown);

    scene.Select("List3", {records[0], records[1], records[3]});
    scene.Click("Command15");
    QCOMPARE(scene.Window().PendingScoreDeletions(), u'|' + EntryField(records[3], 0) + u'|' +
                                                         EntryField(records[1], 0) + u'|' +
                                                         EntryField(records[0], 0));
    QCOMPARE(scene.Text("Label16"), QStringLiteral("已删除3条计分！"));
    QCOMPARE(scene.ServiceScores("一班"), QStringList{records[2]});
    QCOMPARE(scene.Entries("List3"), (QStringList{records[2]}));
    // The students' counters in the record follow: one score of 3 is left
    // for 张三, none for 李四.
    StudentRow row;
    QVERIFY(ParseStudentRow(scene.FreshRecord(StudentTag(u"一班", u"张三")).trimmed(), &row));
    QCOMPARE(row.CountValue(), 1.0);
    QCOMPARE(row.AverageValue(), 3.0);
    QVERIFY(ParseStudentRow(scene.FreshRecord(StudentTag(u"一班", u"李四")).trimmed(), &row));
    QCOMPARE(row.CountValue(), 0.0);
  }
};

QTEST_MAIN(CriteriaScoresTest)
#include "criteria_scores_test.moc"
