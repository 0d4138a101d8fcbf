// Classes, students, topics, groups and criteria, as the record download
// shows them: whole lists replaced, renames, and the cache file's bytes.
#include <QElapsedTimer>
#include <QtTest>

#include "core/gbk.h"
#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

class ListsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
  }

  void recordIsTheCacheFileByteForByte() {
    const Account t = NewTeacher(QStringLiteral("record_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"1", "10"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"张三", "李四"}, "1"), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"王五"}, "10"), kOk);
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"朗读", "背诵"}), kOk);
    QCOMPARE(NewCriteria(t, "朗读", "流利\t有感情\t\t\t", "5\t3.5\t\t\t"), kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("1", "张三", "5分", "2024-03-01 08:00:00", "流利"),
                     ScoreLineText("1", "张三", "4分", "2024-03-01 08:01:00"),
                     ScoreLineText("1", "张三", "4分", "2024-03-01 08:02:00"),
                     ScoreLineText("1", "李四", "3.5分", "2024-03-01 08:03:00", "有感情")}),
             kOk);
    QCOMPARE(Groups(t, "1", {{3, "李四"}}), kOk);

    const HttpResult record = Read(*http_, QStringLiteral("/score/record.php"), t);
    QCOMPARE(record.status, 200);
    QCOMPARE(record.content_type, QByteArray("text/plain; charset=GBK"));
    const QByteArray expected = EncodeGbk(
        u"Class_Is_Ready\t1\t10\t\r\n"
        u"[keti]\t朗读\t流利\t5\t有感情\t3.5\t\r\n"
        u"[keti]\t背诵\t\r\n"
        u"1\t张三\t0\t1\t4.33\t3\r\n"
        u"1\t李四\t3\t2\t3.5\t1\r\n"
        u"10\t王五\t0\t1\t0\t0\r\n");
    QCOMPARE(record.body, expected);
  }

  void emptyAccountHasOnlyTheClassLine() {
    const Account t = NewTeacher(QStringLiteral("empty_teacher"));
    QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), t).body,
             QByteArray("Class_Is_Ready\t\r\n"));
  }

  void classListReplacesTheWholeList() {
    const Account t = NewTeacher(QStringLiteral("class_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"A", "B", "C"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"甲", "乙"}, "A"), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"丙"}, "B"), kOk);
    QCOMPARE(Upload(*http_, t, {}, {ScoreLineText("B", "丙", "5分", "2024-03-01 08:00:00")}), kOk);

    // B is left out: it goes with its students and scores. Empty entries and
    // a repeated name are ignored; the order is the one sent.
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", "D||A|C|D|"}}),
             kOk);
    QCOMPARE(RecordLines(t),
             QStringList({"Class_Is_Ready\tD\tA\tC\t", "A\t甲\t0\t1\t0\t0", "A\t乙\t0\t2\t0\t0"}));
    QCOMPARE(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "B"}}).body,
             QByteArray());
    // B comes back empty.
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", "D|A|C|B"}}), kOk);
    QCOMPARE(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "B"}}).body,
             QByteArray());
    QVERIFY(!RecordLines(t).join(u'\n').contains(u"丙"));
  }

  void badListsChangeNothing_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("class with TAB") << "/score/setclass.php"
                                    << "class"
                                    << "X|Y\tZ";
    QTest::newRow("class with line break") << "/score/setclass.php"
                                           << "class"
                                           << "X|Y\r\nZ";
    QTest::newRow("class named like the class tag") << "/score/setclass.php"
                                                    << "class"
                                                    << "X|Class_Is_Ready2";
    QTest::newRow("class named like the topic tag") << "/score/setclass.php"
                                                    << "class"
                                                    << "[keti]1|X";
    QTest::newRow("class list key missing") << "/score/setclass.php"
                                            << "klass"
                                            << "";
    QTest::newRow("topic with TAB") << "/score/setketi.php"
                                    << "keti"
                                    << "T\t1";
    QTest::newRow("class with NUL") << "/score/setclass.php"
                                    << "class" << QStringLiteral("X|Y") + QChar(0) + u'Z';
    QTest::newRow("class with a control character") << "/score/setclass.php"
                                                    << "class" << QStringLiteral("X|Y\x1bZ");
    QTest::newRow("1,001 classes") << "/score/setclass.php"
                                   << "class" << Numbered(u"班", 1001).join(u'|');
    QTest::newRow("1,001 topics") << "/score/setketi.php"
                                  << "keti" << Numbered(u"课题", 1001).join(u'|');
    QTest::newRow("topic list key missing") << "/score/setketi.php"
                                            << "ket"
                                            << "";
  }
  void badListsChangeNothing() {
    static const Account t = [this] {
      const Account a = NewTeacher(QStringLiteral("bad_lists"));
      SetList(a, "/score/setclass.php", "class", {"X"});
      SetList(a, "/score/setketi.php", "keti", {"T"});
      return a;
    }();
    QFETCH(QString, path);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QStringList before = RecordLines(t);
    const QString reply = Change(*http_, path, t, {{key, value}});
    QVERIFY(reply != kOk);
    QVERIFY(!reply.isEmpty());
    QCOMPARE(RecordLines(t), before);
  }

  // Whole-list saves take time in step with the list: 150,000 names are
  // refused by their cap at once, a class of 10,000 (sent twice over, the
  // repeats dropped) is saved within seconds.
  void longListsAreCappedAndSavedInLinearTime() {
    const Account t = NewTeacher(QStringLiteral("long_lists"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"大班"}), kOk);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(SetList(t, "/score/student.php", "student", Numbered(u"", 150000), "大班"),
             QStringLiteral("每个班级最多10000名学生"));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(RecordLines(t).size(), 1);
    const QStringList full = Numbered(u"学生", 10000);
    clock.restart();
    QCOMPARE(SetList(t, "/score/student.php", "student", full + full, "大班"), kOk);
    qInfo("10,000 students saved in %lld ms", static_cast<long long>(clock.elapsed()));
    QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
    const QStringList lines = RecordLines(t);
    QCOMPARE(lines.size(), 10001);
    QVERIFY(lines[10000].startsWith(u"大班\t学生10000\t"));
  }

  void studentListKeepsWhatKeptStudentsHad() {
    const Account t = NewTeacher(QStringLiteral("student_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"七年级"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"甲", "乙", "丙"}, "七年级"), kOk);
    QCOMPARE(Groups(t, "七年级", {{5, "乙"}}), kOk);
    QCOMPARE(Upload(*http_, t, {},
                    {ScoreLineText("七年级", "乙", "4分", "2024-03-01 08:00:00"),
                     ScoreLineText("七年级", "丙", "2分", "2024-03-01 08:00:00")}),
             kOk);
    // 甲 and 丙 leave, 丁 arrives, 乙 moves to the end keeping group, number and counters.
    QCOMPARE(SetList(t, "/score/student.php", "student", {"丁", "乙"}, "七年级"), kOk);
    QCOMPARE(RecordLines(t).mid(1),
             QStringList({"七年级\t丁\t0\t4\t0\t0", "七年级\t乙\t5\t2\t4\t1"}));
    const QStringList scores =
        Rows(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "七年级"}}).Text());
    QCOMPARE(scores.size(), 1);
    QVERIFY(scores[0].contains(u"\t乙\t4\t"));
    QCOMPARE(SetList(t, "/score/student.php", "student", {"戊"}, "八年级"),
             QStringLiteral("班级不存在"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t, {{"class", "七年级"}}),
             QStringLiteral("请求缺少参数student"));
  }

  void renamesRefuseEmptyUnknownAndTakenNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("old_key");
    QTest::addColumn<QString>("new_key");
    QTest::addColumn<QString>("old_name");
    QTest::addColumn<QString>("new_name");
    QTest::addColumn<bool>("accepted");
    const char* classes = "/score/renameclass.php";
    const char* students = "/score/renamestudent.php";
    const char* topics = "/score/renameketi.php";
    QTest::newRow("class: empty") << classes << "oldclassname"
                                  << "newclassname"
                                  << "一班"
                                  << " " << false;
    QTest::newRow("class: unknown") << classes << "oldclassname"
                                    << "newclassname"
                                    << "九班"
                                    << "十班" << false;
    QTest::newRow("class: taken") << classes << "oldclassname"
                                  << "newclassname"
                                  << "一班"
                                  << "二班" << false;
    QTest::newRow("class: tag name") << classes << "oldclassname"
                                     << "newclassname"
                                     << "一班"
                                     << "[keti]" << false;
    QTest::newRow("student: empty") << students << "oldstuname"
                                    << "newstuname"
                                    << "甲"
                                    << "" << false;
    QTest::newRow("student: unknown") << students << "oldstuname"
                                      << "newstuname"
                                      << "癸"
                                      << "子" << false;
    QTest::newRow("student: taken") << students << "oldstuname"
                                    << "newstuname"
                                    << "甲"
                                    << "乙" << false;
    QTest::newRow("topic: empty") << topics << "oldketi"
                                  << "newketi"
                                  << "朗读"
                                  << "" << false;
    QTest::newRow("topic: taken") << topics << "oldketi"
                                  << "newketi"
                                  << "朗读"
                                  << "背诵" << false;
    QTest::newRow("topic: unchanged") << topics << "oldketi"
                                      << "newketi"
                                      << "朗读"
                                      << "朗读" << true;
  }
  void renamesRefuseEmptyUnknownAndTakenNames() {
    static const Account t = [this] {
      const Account a = NewTeacher(QStringLiteral("rename_refusals"));
      SetList(a, "/score/setclass.php", "class", {"一班", "二班"});
      SetList(a, "/score/student.php", "student", {"甲", "乙"}, "一班");
      SetList(a, "/score/setketi.php", "keti", {"朗读", "背诵"});
      return a;
    }();
    QFETCH(QString, path);
    QFETCH(QString, old_key);
    QFETCH(QString, new_key);
    QFETCH(QString, old_name);
    QFETCH(QString, new_name);
    QFETCH(bool, accepted);
    const QStringList before = RecordLines(t);
    const QString reply =
        Change(*http_, path, t, {{old_key, old_name}, {new_key, new_name}, {"class", "一班"}});
    QCOMPARE(reply == kOk, accepted);
    QCOMPARE(RecordLines(t), before);
  }

  void scoresFollowRenamedClassesAndStudents() {
    const Account t = NewTeacher(QStringLiteral("rename_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"初一1班"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"张三"}, "初一1班"), kOk);
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"朗读"}), kOk);
    QCOMPARE(NewCriteria(t, "朗读", "流利", "5"), kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一1班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);

    QCOMPARE(Change(*http_, QStringLiteral("/score/renameclass.php"), t,
                    {{"oldclassname", "初一1班"}, {"newclassname", "初二1班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/renamestudent.php"), t,
                    {{"oldstuname", "张三"}, {"newstuname", "张叁"}, {"class", "初二1班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/renameketi.php"), t,
                    {{"oldketi", "朗读"}, {"newketi", "朗诵"}}),
             kOk);
    QCOMPARE(RecordLines(t), QStringList({"Class_Is_Ready\t初二1班\t", "[keti]\t朗诵\t流利\t5\t",
                                          "初二1班\t张叁\t0\t1\t5\t1"}));
    const QStringList scores =
        Rows(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "初二1班"}}).Text());
    QCOMPARE(scores.size(), 1);
    // The record keeps the topic text it was given.
    QVERIFY(scores[0].endsWith(u"\t张叁\t5\t2024-03-01 08:00:00\t朗读\t"));
  }

  void topicListRemovesCriteriaButNotScores() {
    const Account t = NewTeacher(QStringLiteral("topic_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"A"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"甲"}, "A"), kOk);
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"旧课题", "留下"}), kOk);
    QCOMPARE(NewCriteria(t, "旧课题", "标准一", "2"), kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("旧课题"),
                    {ScoreLineText("A", "甲", "2分", "2024-03-01 08:00:00")}),
             kOk);
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"留下"}), kOk);
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"留下", "旧课题"}), kOk);
    QCOMPARE(RecordLines(t).mid(1, 2), QStringList({"[keti]\t留下\t", "[keti]\t旧课题\t"}));
    QCOMPARE(Read(*http_, QStringLiteral("/score/getscale.php"), t, {{"keti", "旧课题"}}).body,
             QByteArray());
    QVERIFY(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "A"}})
                .Text()
                .contains(u"\t旧课题\t"));
  }

  void groupsChangeListedStudentsOnly() {
    const Account t = NewTeacher(QStringLiteral("group_teacher"));
    QCOMPARE(SetList(t, "/score/setclass.php", "class", {"1", "10"}), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"甲", "乙", "丙"}, "1"), kOk);
    QCOMPARE(SetList(t, "/score/student.php", "student", {"丁"}, "10"), kOk);
    QCOMPARE(Groups(t, "1", {{2, "甲"}, {2, "乙"}, {15, "丙"}}), kOk);
    QCOMPARE(Groups(t, "1", {{7, "乙"}}), kOk);
    // The original program escapes only the Chinese bytes; "[", "]" and "|" travel as they are.
    const QString body =
        QStringLiteral("class=1&username=%1&password=%2").arg(t.user, t.operation) +
        QStringLiteral("&group[0]=甲|丙") + Empties(1);
    QCOMPARE(http_->PostBytes(QStringLiteral("/score/group.php"), OriginalClientBody(body)).Text(),
             kOk);
    QCOMPARE(Groups(t, "1", {{3, "丁"}}), QStringLiteral("学生“丁”不在班级“1”中"));
    QCOMPARE(Groups(t, "1", {{3, "甲"}, {4, "甲"}}),
             QStringLiteral("学生“甲”同时出现在两个小组中"));
    QCOMPARE(Groups(t, "11", {{3, "甲"}}), QStringLiteral("班级不存在"));
    QCOMPARE(RecordLines(t).mid(1), QStringList({"1\t甲\t0\t1\t0\t0", "1\t乙\t7\t2\t0\t0",
                                                 "1\t丙\t0\t3\t0\t0", "10\t丁\t0\t1\t0\t0"}));
  }

  void criterionDeletionsStayWithinTheirTopicAndNeverTakeANewerOne() {
    const Account t = NewTeacher(QStringLiteral("criteria_resend"));
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"实验", "朗读"}), kOk);
    QCOMPARE(NewCriteria(t, "实验", "旧的", "1"), kOk);
    QCOMPARE(NewCriteria(t, "朗读", "流利", "2"), kOk);
    auto first_id = [&](const char* topic) {
      return Rows(Read(*http_, QStringLiteral("/score/getscale.php"), t, {{"keti", topic}}).Text())
          .value(0)
          .section(u'\t', 0, 0);
    };
    const QString reading = first_id("朗读");
    auto remove = [&](const QString& ids_text) {
      return Change(*http_, QStringLiteral("/score/delscale.php"), t,
                    {{"keti", "实验"}, {"delid", ids_text}});
    };
    // The newest criterion goes; a new one must not take its ID.
    QCOMPARE(remove(u'|' + reading), QStringLiteral("评分标准%1不属于课题“实验”，未删除任何评分标准")
                                         .arg(reading));
    QCOMPARE(Change(*http_, QStringLiteral("/score/delscale.php"), t,
                    {{"keti", "朗读"}, {"delid", u'|' + reading}}),
             kOk);
    QCOMPARE(NewCriteria(t, "朗读", "响亮", "3"), kOk);
    QVERIFY(first_id("朗读") != reading);
    QCOMPARE(Change(*http_, QStringLiteral("/score/delscale.php"), t,
                    {{"keti", "朗读"}, {"delid", u'|' + reading}}),
             kOk);
    QCOMPARE(Rows(Read(*http_, QStringLiteral("/score/getscale.php"), t, {{"keti", "朗读"}}).Text())
                 .value(0)
                 .section(u'\t', 1),
             QStringLiteral("响亮\t3"));
  }

  void criteriaAreAddedEditedAndDeletedByTheirOwner() {
    const Account t = NewTeacher(QStringLiteral("criteria_teacher"));
    const Account other = NewTeacher(QStringLiteral("criteria_other"));
    QCOMPARE(SetList(t, "/score/setketi.php", "keti", {"实验"}), kOk);
    QCOMPARE(SetList(other, "/score/setketi.php", "keti", {"实验"}), kOk);
    // A row with a text is created; an empty score is 0 and "5分" is 5.
    QCOMPARE(NewCriteria(t, "实验", "操作规范\t步骤\t记录完整\t  \t", "5分\t2.50\t\t\t"), kOk);
    QCOMPARE(NewCriteria(t, "实验", "\t\t  \t\t", "\t\t\t\t"),
             QStringLiteral("至少填写一个标准或评分！"));
    QCOMPARE(NewCriteria(t, "物理", "x", "1"), QStringLiteral("课题不存在"));
    // A score with no text beside it is refused, with nothing of the batch kept.
    QCOMPARE(NewCriteria(t, "实验", "有内容\t  ", "1\t2"), QStringLiteral("评分标准的内容不能为空"));
    QCOMPARE(NewCriteria(other, "实验", "别人的", "1"), kOk);

    const QStringList rows =
        Rows(Read(*http_, QStringLiteral("/score/getscale.php"), t, {{"keti", "实验"}}).Text());
    QCOMPARE(rows.size(), 3);
    const QStringList ids = {rows[0].section(u'\t', 0, 0), rows[1].section(u'\t', 0, 0),
                             rows[2].section(u'\t', 0, 0)};
    QCOMPARE(rows[0].section(u'\t', 1), QStringLiteral("操作规范\t5"));
    QCOMPARE(rows[1].section(u'\t', 1), QStringLiteral("步骤\t2.5"));
    QCOMPARE(rows[2].section(u'\t', 1), QStringLiteral("记录完整\t0"));
    const QString other_id =
        Rows(Read(*http_, QStringLiteral("/score/getscale.php"), other, {{"keti", "实验"}})
                 .Text())[0]
            .section(u'\t', 0, 0);

    auto edit = [&](const QString& id, const QString& text, const QString& score) {
      return Change(*http_, QStringLiteral("/score/editscale.php"), t,
                    {{"class", "班级"}, {"scaleid", id}, {"scale", text}, {"score", score}});
    };
    QCOMPARE(edit(ids[1], QStringLiteral("步骤清楚"), QStringLiteral("4.0")), kOk);
    QCOMPARE(edit(other_id, QStringLiteral("抢来的"), QStringLiteral("1")),
             QStringLiteral("评分标准不存在"));
    QCOMPARE(edit(QStringLiteral("abc"), QStringLiteral("x"), QStringLiteral("1")),
             QStringLiteral("无效的ID"));
    QCOMPARE(edit(ids[0], QStringLiteral(" "), QStringLiteral("1")),
             QStringLiteral("评分标准的内容不能为空"));

    auto remove = [&](const Account& a, const QString& ids_text) {
      return Change(*http_, QStringLiteral("/score/delscale.php"), a,
                    {{"keti", "实验"}, {"delid", ids_text}});
    };
    QCOMPARE(remove(t, u'|' + ids[2] + u'|' + other_id),
             QStringLiteral("评分标准%1不属于课题“实验”，未删除任何评分标准").arg(other_id));
    QCOMPARE(remove(t, u'|' + ids[2] + QStringLiteral("|x")), QStringLiteral("无效的ID：x"));
    QCOMPARE(remove(t, u'|' + ids[2] + u'|' + ids[0]), kOk);
    // The program may send the same IDs again.
    QCOMPARE(remove(t, u'|' + ids[2] + u'|' + ids[0]), kOk);
    QCOMPARE(remove(t, QString()), kOk);
    QCOMPARE(RecordLines(t).mid(1), QStringList({"[keti]\t实验\t步骤清楚\t4\t"}));
    QCOMPARE(RecordLines(other).mid(1), QStringList({"[keti]\t实验\t别人的\t1\t"}));
  }

  // A criterion text holding NUL is refused with the same reason as one
  // holding any other control character, wherever the text comes in: a new
  // criterion, an edited one, the criterion of an uploaded score.
  void controlCharactersInCriterionTexts_data() {
    QTest::addColumn<QChar>("control");
    QTest::newRow("NUL") << QChar(0);
    QTest::newRow("ESC") << QChar(0x1B);
    QTest::newRow("DEL") << QChar(0x7F);
  }
  void controlCharactersInCriterionTexts() {
    QFETCH(QChar, control);
    static const Account t = [this] {
      const Account a = NewTeacher(QStringLiteral("criterion_controls"));
      SetList(a, "/score/setclass.php", "class", {"一班"});
      SetList(a, "/score/student.php", "student", {"张三"}, "一班");
      SetList(a, "/score/setketi.php", "keti", {"实验"});
      NewCriteria(a, QStringLiteral("实验"), QStringLiteral("规范"), QStringLiteral("5"));
      return a;
    }();
    const QString bad = QStringLiteral("操作") + control + QStringLiteral("规范");
    const QStringList before = RecordLines(t);
    QCOMPARE(NewCriteria(t, QStringLiteral("实验"), bad, QStringLiteral("5")),
             QStringLiteral("评分标准名称不能包含控制字符"));
    const QString id =
        Rows(Read(*http_, QStringLiteral("/score/getscale.php"), t, {{"keti", "实验"}}).Text())
            .value(0)
            .section(u'\t', 0, 0);
    QCOMPARE(Change(*http_, QStringLiteral("/score/editscale.php"), t,
                    {{"class", "一班"}, {"scaleid", id}, {"scale", bad}, {"score", "5"}}),
             QStringLiteral("评分标准名称不能包含控制字符"));
    QCOMPARE(RecordLines(t), before);
    auto scores = [&] {
      return Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "一班"}}).Text();
    };
    const QString scores_before = scores();
    QCOMPARE(Upload(*http_, t, QStringLiteral("实验"),
                    {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00", bad)}),
             QStringLiteral("第1行的评分标准不能包含控制字符"));
    QCOMPARE(scores(), scores_before);
    // An uploaded score whose criterion is edited to hold one.
    QCOMPARE(Upload(*http_, t, QStringLiteral("实验"),
                    {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00", "规范")}),
             kOk);
    const QString score_id =
        Rows(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "一班"}}).Text())
            .value(0)
            .section(u'\t', 0, 0);
    QCOMPARE(Change(*http_, QStringLiteral("/score/editscore.php"), t,
                    {{"class", "一班"},
                     {"scoreid", score_id},
                     {"score", "4"},
                     {"time", "1709280000"},
                     {"keti", "实验"},
                     {"addtion", bad}}),
             QStringLiteral("评分标准不能包含控制字符"));
    QVERIFY(!scores().contains(control));
  }

 private:
  const QString kOk = QStringLiteral("Success!");

  static QStringList Numbered(QStringView stem, int count) {
    QStringList names;
    names.reserve(count);
    for (int i = 1; i <= count; ++i) names.append(stem.toString() + QString::number(i));
    return names;
  }

  Account NewTeacher(const QString& user) {
    const Account account{user, QStringLiteral("登录") + user, QStringLiteral("op-") + user};
    const QString reply = Register(*http_, account);
    if (reply != kOk) qWarning("registering %s: %s", qPrintable(user), qPrintable(reply));
    return account;
  }

  QString SetList(const Account& t, const char* path, const char* key, const QStringList& names,
                  const QString& class_name = QString()) {
    if (class_name.isNull()) {
      return Change(*http_, QString::fromLatin1(path), t,
                    {{QString::fromLatin1(key), names.join(u'|')}});
    }
    return Change(*http_, QString::fromLatin1(path), t,
                  {{"class", class_name}, {QString::fromLatin1(key), names.join(u'|')}});
  }

  QString NewCriteria(const Account& t, const QString& topic, const QString& texts,
                      const QString& scores) {
    return Change(*http_, QStringLiteral("/score/newscale.php"), t,
                  {{"keti", topic}, {"newscale", texts}, {"newscore", scores}});
  }

  // "&group[k]=" for the groups after first_empty, each empty.
  static QString Empties(int first_empty) {
    QString text;
    for (int g = first_empty; g < 16; ++g) text += QStringLiteral("&group[%1]=").arg(g);
    return text;
  }

  QString Groups(const Account& t, const QString& class_name,
                 const QList<QPair<int, QString>>& members) {
    QStringList groups(16);
    for (const auto& [group, name] : members) {
      groups[group] += (groups[group].isEmpty() ? QString() : QStringLiteral("|")) + name;
    }
    FormBody body;
    body.Add(u"class", class_name).Add(u"username", t.user).Add(u"password", t.operation);
    for (int g = 0; g < 16; ++g) body.Add(QStringLiteral("group[%1]").arg(g), groups[g]);
    return http_->Post(QStringLiteral("/score/group.php"), body).Text();
  }

  QStringList RecordLines(const Account& t) {
    const HttpResult record = Read(*http_, QStringLiteral("/score/record.php"), t);
    if (record.status != 200) return {QStringLiteral("status %1").arg(record.status)};
    QStringList lines = record.Text().split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }

  ServerProcess server_;
  std::unique_ptr<ServiceHttp> http_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ListsTest)
#include "lists_test.moc"
