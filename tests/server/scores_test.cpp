// Score uploads, score records and the results page: all lines or none,
// counters in step with every change, and only the owner's records.
#include <QtTest>

#include "core/form_encoding.h"
#include "core/service_time.h"
#include "tests/server/cutting_proxy.h"
#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

class ScoresTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
  }

  void uploadStoresLinesOldestFirstAndCounts() {
    const Account t = ClassOf(QStringLiteral("upload_teacher"));
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-02 09:00:00", "流利"),
                     ScoreLineText("初一(1)班", "李四", "-2分", "2024-03-01 08:00:00"),
                     ScoreLineText("初一(1)班", "张三", "3.5分", "2024-03-01 08:30:00")}),
             kOk);
    QCOMPARE(Scores(t), QStringList({"李四\t-2\t2024-03-01 08:00:00\t朗读\t",
                                     "张三\t3.5\t2024-03-01 08:30:00\t朗读\t",
                                     "张三\t5\t2024-03-02 09:00:00\t朗读\t流利"}));
    QCOMPARE(Students(t), QStringList({"张三\t4.25\t2", "李四\t-2\t1", "王五\t0\t0"}));
  }

  void uploadIsAllOrNothing_data() {
    QTest::addColumn<QString>("bad_line");
    QTest::addColumn<QString>("reply");
    QTest::newRow("unknown student")
        << ScoreLineText("初一(1)班", "赵六", "5分", "2024-03-01 08:00:00")
        << "第2行：班级“初一(1)班”中没有学生“赵六”";
    QTest::newRow("unknown class")
        << ScoreLineText("初一(9)班", "张三", "5分", "2024-03-01 08:00:00")
        << "第2行：班级“初一(9)班”不存在";
    QTest::newRow("unreadable time")
        << ScoreLineText("初一(1)班", "张三", "5分", "昨天") << "第2行的时间无法识别：昨天";
    QTest::newRow("impossible date")
        << ScoreLineText("初一(1)班", "张三", "5分", "2024-02-30 08:00:00")
        << "第2行的时间无法识别：2024-02-30 08:00:00";
    QTest::newRow("before 1970")
        << ScoreLineText("初一(1)班", "张三", "5分", "1969-12-31 23:59:59")
        << "第2行的时间无法识别：1969-12-31 23:59:59";
    QTest::newRow("after 2100")
        << ScoreLineText("初一(1)班", "张三", "5分", "2101-01-01 00:00:00")
        << "第2行的时间无法识别：2101-01-01 00:00:00";
    QTest::newRow("NUL in the criterion")
        << ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00", QString(QChar(0)))
        << "第2行的评分标准不能包含控制字符";
    QTest::newRow("too many fields")
        << ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00", "a\tb")
        << "第2行的字段过多：初一(1)班\t张三\t5分\t2024-03-01 08:00:00\ta\tb";
  }
  void uploadIsAllOrNothing() {
    static const Account t = ClassOf(QStringLiteral("all_or_nothing"));
    QFETCH(QString, bad_line);
    QFETCH(QString, reply);
    const QString good = ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00");
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), {good, bad_line, good}), reply);
    QCOMPARE(Scores(t), QStringList());
    QCOMPARE(Students(t), QStringList({"张三\t0\t0", "李四\t0\t0", "王五\t0\t0"}));
  }

  // The connection drops after the service stored the batch: the network
  // layer sends it again, the teacher uploads again as advised. Every copy is
  // answered "Success!" and the batch is stored once; a line that differs in
  // anything (here the second) is still a new score.
  void aBatchResentAfterACutConnectionIsStoredOnce() {
    const Account t = ClassOf(QStringLiteral("resent_batch"));
    const QStringList batch{ScoreLineText("初一(1)班", "张三", "5分", "2024-03-02 09:00:00", "流利"),
                            ScoreLineText("初一(1)班", "李四", "-2分", "2024-03-01 08:00:00")};
    {
      CuttingProxy proxy(static_cast<quint16>(QUrl(server_.Root()).port()));
      const ServiceHttp cut(QStringLiteral("http://127.0.0.1:%1").arg(proxy.Port()));
      QCOMPARE(Upload(cut, t, QStringLiteral("朗读"), batch), QString());
      QCOMPARE(Upload(cut, t, QStringLiteral("朗读"), batch), QString());
      QCOMPARE(proxy.Cut(), 2);
    }
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), batch), kOk);
    QCOMPARE(Scores(t), QStringList({"李四\t-2\t2024-03-01 08:00:00\t朗读\t",
                                     "张三\t5\t2024-03-02 09:00:00\t朗读\t流利"}));
    QCOMPARE(Students(t), QStringList({"张三\t5\t1", "李四\t-2\t1", "王五\t0\t0"}));
    // Same student and time but another score, topic or criterion: new lines.
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "张三", "4分", "2024-03-02 09:00:00", "流利"),
                     ScoreLineText("初一(1)班", "张三", "5分", "2024-03-02 09:00:00")}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("背诵"), {batch[0]}), kOk);
    QCOMPARE(Scores(t).size(), 5);
  }

  // A batch of two classes whose lines lie days apart, resent after another
  // score was stored between them: the resent lines store nothing, and a
  // namesake in the other class at the very same second is another student.
  void aResentBatchOfTwoClassesAndDaysIsStoredOnce() {
    const Account t = ClassOf(QStringLiteral("resent_wide"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t,
                    {{"class", "初一(1)班|初一(2)班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t,
                    {{"class", "初一(2)班"}, {"student", "张三"}}),
             kOk);
    const QStringList batch{ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00"),
                            ScoreLineText("初一(2)班", "张三", "4分", "2024-03-01 08:00:00"),
                            ScoreLineText("初一(1)班", "李四", "3分", "2024-03-05 10:00:00")};
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), batch), kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "王五", "2分", "2024-03-03 09:00:00")}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), batch), kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t5\t2024-03-01 08:00:00\t朗读\t",
                                     "王五\t2\t2024-03-03 09:00:00\t朗读\t",
                                     "李四\t3\t2024-03-05 10:00:00\t朗读\t"}));
    QCOMPARE(Students(t), QStringList({"张三\t5\t1", "李四\t3\t1", "王五\t2\t1"}));
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(2)班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    QCOMPARE(Rows(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "初一(2)班"}})
                      .Text())
                 .size(),
             2);
    QCOMPARE(Scores(t).size(), 3);
  }

  void aLineTwiceInOneBatchIsStoredOnceWithItsCriterionAsSent() {
    const Account t = ClassOf(QStringLiteral("twice_in_batch"));
    // Quotes, backslashes, braces and commas travel inside the criterion
    // as they are; the second copy of a line stores nothing.
    const QString odd = ScoreLineText("初一(1)班", "张三", "3分", "2024-04-01 10:00:00",
                                      "他说\"好\" \\ {a,b} 曌");
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {odd, ScoreLineText("初一(1)班", "李四", "1分", "2024-04-01 10:00:01"), odd}),
             kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t3\t2024-04-01 10:00:00\t朗读\t他说\"好\" \\ {a,b} 曌",
                                     "李四\t1\t2024-04-01 10:00:01\t朗读\t"}));
    QCOMPARE(Students(t), QStringList({"张三\t3\t1", "李四\t1\t1", "王五\t0\t0"}));
    // Sent again beside a new line: only the new one is stored and counted
    // (the row shows the average score).
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {odd, ScoreLineText("初一(1)班", "张三", "2分", "2024-04-01 10:00:02")}),
             kOk);
    QCOMPARE(Scores(t).size(), 3);
    QCOMPARE(Students(t), QStringList({"张三\t2.5\t2", "李四\t1\t1", "王五\t0\t0"}));
  }

  // The score list of a class and the rosters uploads check against are
  // kept in memory between requests; each change shows in the next read.
  void keptListsFollowEveryChange() {
    const Account t = ClassOf(QStringLiteral("kept_lists"));
    const QString line = ScoreLineText("初一(1)班", "张三", "5分", "2024-03-02 09:00:00");
    QCOMPARE(Scores(t), QStringList());
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), {line, line}), kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t5\t2024-03-02 09:00:00\t朗读\t"}));
    const QString id = ScoreIds(t).first();
    QCOMPARE(Edit(t, id, "3", QString::number(ServiceSeconds(QDateTime(QDate(2024, 3, 3),
                                                                      QTime(10, 0)))),
                  "朗读", "改"),
             kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t3\t2024-03-03 10:00:00\t朗读\t改"}));
    QCOMPARE(Change(*http_, QStringLiteral("/score/renamestudent.php"), t,
                    {{"class", "初一(1)班"}, {"oldstuname", "张三"}, {"newstuname", "张叁"}}),
             kOk);
    QCOMPARE(Scores(t), QStringList({"张叁\t3\t2024-03-03 10:00:00\t朗读\t改"}));
    // The old name is gone from the roster, the new one and a new student are in.
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), {line}),
             QStringLiteral("第1行：班级“初一(1)班”中没有学生“张三”"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t,
                    {{"class", "初一(1)班"}, {"student", "张叁|李四|王五|赵六"}}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "赵六", "1分", "2024-03-04 09:00:00")}),
             kOk);
    QCOMPARE(Scores(t).size(), 2);
    QCOMPARE(Change(*http_, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "初一(1)班"}, {"delid", id}}),
             kOk);
    QCOMPARE(Scores(t), QStringList({"赵六\t1\t2024-03-04 09:00:00\t朗读\t"}));
    // A class made after an upload was refused for want of it is found.
    const QString other = ScoreLineText("初一(2)班", "甲", "2分", "2024-03-04 09:00:00");
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), {other}),
             QStringLiteral("第1行：班级“初一(2)班”不存在"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t,
                    {{"class", "初一(1)班|初一(2)班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t,
                    {{"class", "初一(2)班"}, {"student", "甲"}}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), {other}), kOk);
  }

  void uploadAsTheOriginalProgramSendsIt() {
    const Account t = ClassOf(QStringLiteral("raw_upload"));
    // Only double-byte characters escaped; TAB, "|", blanks and ":" literal.
    const QString body =
        QStringLiteral("username=%1&password=%2&keti=课堂 提问&score=").arg(t.user, t.operation) +
        ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00", "回答 正确") + u'|' +
        ScoreLineText("初一(1)班", "王五", "3分", "2024-03-01 08:00:05");
    const HttpResult reply =
        http_->PostBytes(QStringLiteral("/score/index.php"), OriginalClientBody(body));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, QByteArray("Success!"));
    QCOMPARE(Scores(t), QStringList({"张三\t5\t2024-03-01 08:00:00\t课堂 提问\t回答 正确",
                                     "王五\t3\t2024-03-01 08:00:05\t课堂 提问\t"}));
  }

  void uploadRefusesWrongPasswordsAndEmptyBatches() {
    const Account t = ClassOf(QStringLiteral("upload_refusals"));
    Account wrong = t;
    wrong.operation = t.login;  // the login password is not the operation password
    const QString line = ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00");
    QCOMPARE(Upload(*http_, wrong, {}, {line}), QStringLiteral("用户名或操作密码错误"));
    QCOMPARE(Upload(*http_, t, {}, {}), QStringLiteral("没有需要上传的计分"));
    QCOMPARE(Upload(*http_, t, QStringLiteral("a\tb"), {line}),
             QStringLiteral("课题名称不能包含制表符或换行符"));
    QCOMPARE(Scores(t), QStringList());
  }

  void editingAScoreKeepsTheCountersInStep() {
    const Account t = ClassOf(QStringLiteral("edit_teacher"));
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("初一(1)班", "张三", "3分", "2024-03-01 08:01:00")}),
             kOk);
    const QString id = ScoreIds(t).first();
    const qint64 seconds = ServiceTimestamp(u"2024-04-01 10:20:30");
    QCOMPARE(Edit(t, id, QStringLiteral("4.0"), QString::number(seconds), QStringLiteral("背诵"),
                  QStringLiteral("补记")),
             kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t3\t2024-03-01 08:01:00\t朗读\t",
                                     "张三\t4\t2024-04-01 10:20:30\t背诵\t补记"}));
    QCOMPARE(Students(t).first(), QStringLiteral("张三\t3.5\t2"));

    QCOMPARE(Edit(t, id, QStringLiteral("4"), QStringLiteral("soon"), {}, {}),
             QStringLiteral("时间格式不正确"));
    for (const char16_t* outside : {u"1969-12-31 23:59:59", u"2101-01-01 00:00:00"}) {
      QCOMPARE(Edit(t, id, QStringLiteral("4"), QString::number(ServiceSeconds(*ParseDateTimeText(outside))), {}, {}),
               QStringLiteral("时间格式不正确"));
    }
    QCOMPARE(Edit(t, id, QStringLiteral("4"), QString::number(seconds), QString(QChar(0)), {}),
             QStringLiteral("课题和说明不能包含制表符或换行符"));
    QCOMPARE(Edit(t, QStringLiteral("99999"), QStringLiteral("4"), QStringLiteral("0"), {}, {}),
             QStringLiteral("计分记录不存在"));
    const Account other = ClassOf(QStringLiteral("edit_other"));
    QCOMPARE(Edit(other, id, QStringLiteral("0"), QStringLiteral("0"), {}, {}),
             QStringLiteral("计分记录不存在"));
    QCOMPARE(Students(t).first(), QStringLiteral("张三\t3.5\t2"));
  }

  void deletingScoresKeepsTheCountersInStep() {
    const Account t = ClassOf(QStringLiteral("delete_teacher"));
    const Account other = ClassOf(QStringLiteral("delete_other"));
    QCOMPARE(Upload(*http_, t, {},
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("初一(1)班", "张三", "2分", "2024-03-01 08:01:00"),
                     ScoreLineText("初一(1)班", "李四", "1分", "2024-03-01 08:02:00")}),
             kOk);
    QCOMPARE(Upload(*http_, other, {},
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    const QStringList ids = ScoreIds(t);
    const QString other_id = ScoreIds(other).first();
    auto remove = [&](const QString& ids_text) {
      return Change(*http_, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "初一(1)班"}, {"delid", ids_text}});
    };
    QCOMPARE(remove(u'|' + ids[0] + u'|' + other_id),
             QStringLiteral("计分%1不属于班级“初一(1)班”，未删除任何计分").arg(other_id));
    QCOMPARE(remove(QStringLiteral("|1x")), QStringLiteral("无效的ID：1x"));
    QCOMPARE(ScoreIds(t).size(), 3);
    const QString deletions = u'|' + ids[2] + u'|' + ids[0];
    QCOMPARE(remove(deletions), kOk);
    // A resend of the same IDs is no error.
    QCOMPARE(remove(deletions), kOk);
    QCOMPARE(Scores(t), QStringList({"张三\t2\t2024-03-01 08:01:00\t\t"}));
    QCOMPARE(Students(t), QStringList({"张三\t2\t1", "李四\t0\t0", "王五\t0\t0"}));
    QCOMPARE(ScoreIds(other), QStringList({other_id}));
  }

  void deletionsOfAnotherClassRefuseTheWholeSet() {
    const Account t = ClassOf(QStringLiteral("two_classes"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t,
                    {{"class", "初一(1)班|初一(2)班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t,
                    {{"class", "初一(2)班"}, {"student", "赵六"}}),
             kOk);
    QCOMPARE(Upload(*http_, t, {},
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("初一(2)班", "赵六", "3分", "2024-03-01 08:01:00")}),
             kOk);
    const QString mine = ScoreIds(t).first();
    const QString elsewhere =
        Rows(Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "初一(2)班"}})
                 .Text())
            .first()
            .section(u'\t', 0, 0);
    QCOMPARE(Change(*http_, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "初一(1)班"}, {"delid", u'|' + mine + u'|' + elsewhere}}),
             QStringLiteral("计分%1不属于班级“初一(1)班”，未删除任何计分").arg(elsewhere));
    QCOMPARE(ScoreIds(t), QStringList({mine}));
    QCOMPARE(Change(*http_, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "初九班"}, {"delid", u'|' + mine}}),
             QStringLiteral("班级不存在"));
    QCOMPARE(ScoreIds(t), QStringList({mine}));
  }

  void aResentDeletionNeverTakesANewerScore() {
    const Account t = ClassOf(QStringLiteral("resend_teacher"));
    QCOMPARE(Upload(*http_, t, {},
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    // The newest score is deleted, so its ID is the highest one ever given.
    const QString deletions = u'|' + ScoreIds(t).first();
    auto remove = [&] {
      return Change(*http_, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "初一(1)班"}, {"delid", deletions}});
    };
    QCOMPARE(remove(), kOk);
    QCOMPARE(Upload(*http_, t, {},
                    {ScoreLineText("初一(1)班", "李四", "2分", "2024-03-01 09:00:00")}),
             kOk);
    QVERIFY(u'|' + ScoreIds(t).first() != deletions);
    // The reopened page sends its last deletions again.
    QCOMPARE(remove(), kOk);
    QCOMPARE(Scores(t), QStringList({"李四\t2\t2024-03-01 09:00:00\t\t"}));
  }

  void teachersSeeOnlyTheirOwnData() {
    const Account t = ClassOf(QStringLiteral("owner_teacher"));
    const Account other = ClassOf(QStringLiteral("nosy_teacher"));
    QCOMPARE(Upload(*http_, t, QStringLiteral("私密"),
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    // Same class name, other account: the other teacher's own (empty) class.
    QCOMPARE(Scores(other), QStringList());
    // The account of one with the digest of the other.
    Account mixed = other;
    mixed.user = t.user;
    QCOMPARE(
        Read(*http_, QStringLiteral("/score/getscore.php"), mixed, {{"class", "初一(1)班"}}).status,
        403);
    QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), mixed).status, 403);
  }

  void resultsPageShowsTheLastUploads() {
    const Account t = ClassOf(QStringLiteral("results_teacher"));
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("初一(1)班", "李四", "-1分", "2024-03-01 08:01:00", "<迟到>")}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText("初一(1)班", "王五", "4分", "2024-03-01 08:02:00")}),
             kOk);
    const HttpResult page = Read(*http_, QStringLiteral("/score/"), t, {{"n", "2"}});
    QCOMPARE(page.status, 200);
    QCOMPARE(page.content_type, QByteArray("text/html; charset=UTF-8"));
    const QString html = QString::fromUtf8(page.body);
    QVERIFY(html.contains(QStringLiteral("最近上传的2条计分")));
    QVERIFY(html.contains(QStringLiteral("<td>王五</td>")));
    QVERIFY(html.contains(QStringLiteral("&lt;迟到&gt;")));  // escaped, never markup
    QVERIFY(!html.contains(QStringLiteral("<td>2024-03-01 08:00:00</td>")));  // only the last 2
    QVERIFY(html.contains(QStringLiteral("<svg")));
    QCOMPARE(html.count(QStringLiteral("<rect")), 3);  // a bar per student of the class

    Account wrong = t;
    wrong.login = QStringLiteral("nope");
    const HttpResult refused = Read(*http_, QStringLiteral("/score/"), wrong, {{"n", "2"}});
    QCOMPARE(refused.status, 403);
    QVERIFY(!QString::fromUtf8(refused.body).contains(u"王五"));
  }

 private:
  const QString kOk = QStringLiteral("Success!");

  // A teacher with class 初一(1)班 of 张三, 李四, 王五 and topic 朗读.
  Account ClassOf(const QString& user) {
    const Account t{user, QStringLiteral("登录") + user, QStringLiteral("op-") + user};
    if (Register(*http_, t) != kOk ||
        Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", "初一(1)班"}}) != kOk ||
        Change(*http_, QStringLiteral("/score/student.php"), t,
               {{"class", "初一(1)班"}, {"student", "张三|李四|王五"}}) != kOk ||
        Change(*http_, QStringLiteral("/score/setketi.php"), t, {{"keti", "朗读"}}) != kOk) {
      qWarning("setting up %s failed", qPrintable(user));
    }
    return t;
  }

  QStringList ScoreRows(const Account& t) {
    return Rows(
        Read(*http_, QStringLiteral("/score/getscore.php"), t, {{"class", "初一(1)班"}}).Text());
  }
  // The score records without their IDs.
  QStringList Scores(const Account& t) {
    QStringList rows = ScoreRows(t);
    for (QString& row : rows) row = row.section(u'\t', 1);
    return rows;
  }
  QStringList ScoreIds(const Account& t) {
    QStringList ids = ScoreRows(t);
    for (QString& row : ids) row = row.section(u'\t', 0, 0);
    return ids;
  }
  // Name, average and count of every student of the class, from the record.
  QStringList Students(const Account& t) {
    QStringList students;
    for (const QString& line : Rows(Read(*http_, QStringLiteral("/score/record.php"), t).Text())) {
      const QStringList fields = line.split(u'\t');
      if (fields.size() == 6 && fields[0] == u"初一(1)班")
        students.append(QStringList{fields[1], fields[4], fields[5]}.join(u'\t'));
    }
    return students;
  }

  QString Edit(const Account& t, const QString& id, const QString& score, const QString& time,
               const QString& topic, const QString& note) {
    return Change(*http_, QStringLiteral("/score/editscore.php"), t,
                  {{"class", "初一(1)班"},
                   {"scoreid", id},
                   {"score", score},
                   {"time", time},
                   {"keti", topic},
                   {"addtion", note}});
  }

  ServerProcess server_;
  std::unique_ptr<ServiceHttp> http_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ScoresTest)
#include "scores_test.moc"
