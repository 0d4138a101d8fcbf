// The plain rules behind the side panels: group totals and ranks, moving a
// dragged name between group lists, the order of search hits, and the
// readings of the clock and version replies.
#include <QtTest>

#include "core/cache_file.h"
#include "core/service_time.h"
#include "rollcall/group_assignment.h"
#include "rollcall/group_statistics.h"
#include "rollcall/name_search.h"
#include "rollcall/startup_checks.h"

using namespace zorvanix;

namespace {

QString Line(const QString& name, const QString& score) {
  return QStringLiteral("一班\t") + name + u'\t' + score +
         QStringLiteral("\t2026-12-07 09:30:00\t");
}

GroupLists Groups(std::initializer_list<std::pair<int, QStringList>> members) {
  GroupLists groups;
  for (const auto& [group, names] : members) groups[group] = names;
  return groups;
}

// "group:total:rank" for each listed group.
QStringList Summary(const QList<GroupStanding>& standings) {
  QStringList summary;
  for (const GroupStanding& s : standings) {
    summary.append(QStringLiteral("%1:%2:%3").arg(s.group).arg(s.total).arg(s.rank));
  }
  return summary;
}

}  // namespace

class SubmissionLogicTest : public QObject {
  Q_OBJECT

 private slots:
  void GroupTotalsRankAndRound_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("nothing pending") << QStringList() << QStringList();
    QTest::newRow("ties share a rank, the next is skipped")
        << QStringList{Line("甲", "9分"), Line("乙", "9分"), Line("丙", "7分")}
        << QStringList{"0:9:1", "1:9:1", "2:7:3"};
    QTest::newRow("half points round after each addition")
        << QStringList{Line("甲", "3.5分"), Line("甲", "3.5分")} << QStringList{"0:8:1"};
    QTest::newRow("an exact half goes to the even number")
        << QStringList{Line("甲", "2.5分"), Line("乙", "0.5分"), Line("丙", "1.5分")}
        << QStringList{"0:2:1", "2:2:1"};
    // Every group counts for the rank, listed or not: below 0 comes after them all.
    QTest::newRow("groups that come to 0 are left out, negatives rank last")
        << QStringList{Line("甲", "5分"), Line("甲", "-5分"), Line("乙", "-2分"), Line("丙", "1分")}
        << QStringList{"1:-2:16", "2:1:1"};
    QTest::newRow("a student in no group adds to nothing")
        << QStringList{Line("无组", "5分"), Line("", "5分"), QStringLiteral("坏行")}
        << QStringList();
    QTest::newRow("totals beyond 16 and 32 bits")
        << QStringList{Line("甲", "30000分"), Line("甲", "30000分"), Line("乙", "3000000000分"),
                       Line("乙", "3000000000分")}
        << QStringList{"0:60000:2", "1:6000000000:1"};
  }
  void GroupTotalsRankAndRound() {
    QFETCH(QStringList, lines);
    QFETCH(QStringList, expected);
    const GroupLists groups = Groups({{0, {"甲"}}, {1, {"乙"}}, {2, {"丙"}}});
    const QStringList summary = Summary(GroupStatistics(lines, groups));
    QCOMPARE(summary, expected);
  }

  void AbsurdScoresStopAtTheEdgeInsteadOfWrapping() {
    const QString huge = QStringLiteral("99999999999999999999999999分");
    const auto standings =
        GroupStatistics({Line("甲", huge), Line("甲", huge)}, Groups({{0, {"甲"}}}));
    QCOMPARE(standings.size(), 1);
    QVERIFY(standings[0].total > 8'000'000'000'000'000'000LL);
    const auto low = GroupStatistics({Line("甲", "-" + huge)}, Groups({{0, {"甲"}}}));
    QVERIFY(low[0].total < -8'000'000'000'000'000'000LL);
  }

  void ContributorsAndMembers() {
    // Tom and tom are one contributor; 张三 is inside the earlier 张三丰;
    // 李四 stands in two groups and twice in one, and counts at each place.
    const GroupLists groups =
        Groups({{3, {"张三丰", "张三", "Tom", "tom", "李四", "李四"}}, {7, {"李四", "王五"}}});
    const QStringList lines = {Line("张三丰", "1分"), Line("张三", "1分"), Line("tom", "1分"),
                               Line("Tom", "1分"),    Line("李四", "2分"), Line("张三丰", "1分")};
    const QList<GroupStanding> standings = GroupStatistics(lines, groups);
    QCOMPARE(standings.size(), 2);
    QCOMPARE(standings[0].Line(),
             QStringLiteral("第1名\t9分\t张三丰 tom 李四\t 张三丰 张三 Tom tom 李四 李四"));
    QCOMPARE(standings[1].Line(), QStringLiteral("第2名\t2分\t李四\t 李四 王五"));
    const GroupDetail detail = GroupDetailOf(standings[1].Line());
    QCOMPARE(detail.rank, QStringLiteral("第2名"));
    QCOMPARE(detail.score, QStringLiteral("得分：2分"));
    QCOMPARE(detail.contributors, QStringLiteral("李四"));
    QCOMPARE(detail.members, QStringLiteral("李四 王五"));
  }

  void DraggedNamesMove_data() {
    QTest::addColumn<int>("from_group");
    QTest::addColumn<int>("from_index");
    QTest::addColumn<int>("to_group");
    QTest::addColumn<int>("to_index");
    QTest::addColumn<QStringList>("group2");
    QTest::addColumn<QStringList>("group5");
    QTest::addColumn<int>("selected");  // -1: nothing moved
    const QStringList two = {"甲", "乙", "丙", "丁"};
    const QStringList five = {"子", "丑"};
    QTest::newRow("third of 2 onto the first of 5")
        << 2 << 2 << 5 << 0 << QStringList{"甲", "乙", "丁"} << QStringList{"丙", "子", "丑"} << 0;
    QTest::newRow("below the last entry appends")
        << 2 << 0 << 5 << -1 << QStringList{"乙", "丙", "丁"} << QStringList{"子", "丑", "甲"} << 2;
    QTest::newRow("within a list onto an entry above")
        << 2 << 3 << 2 << 1 << QStringList{"甲", "丁", "乙", "丙"} << five << 1;
    QTest::newRow("within a list onto an entry below")
        << 2 << 0 << 2 << 2 << QStringList{"乙", "甲", "丙", "丁"} << five << 2;
    QTest::newRow("within a list below its last entry")
        << 2 << 1 << 2 << -1 << QStringList{"甲", "丙", "丁", "乙"} << five << 3;
    QTest::newRow("onto itself") << 2 << 1 << 2 << 1 << two << five << 1;
    QTest::newRow("no entry selected as the drag began") << 2 << -1 << 5 << 0 << two << five << -1;
    QTest::newRow("an index past the list") << 2 << 4 << 5 << 0 << two << five << -1;
    QTest::newRow("no such group") << 16 << 0 << 5 << 0 << two << five << -1;
  }
  void DraggedNamesMove() {
    QFETCH(int, from_group);
    QFETCH(int, from_index);
    QFETCH(int, to_group);
    QFETCH(int, to_index);
    QFETCH(QStringList, group2);
    QFETCH(QStringList, group5);
    QFETCH(int, selected);
    GroupLists groups = Groups({{2, {"甲", "乙", "丙", "丁"}}, {5, {"子", "丑"}}});
    const std::optional<int> result =
        MoveDraggedName(groups, {from_group, from_index, to_group, to_index});
    QCOMPARE(result.value_or(-1), selected);
    QCOMPARE(groups[2], group2);
    QCOMPARE(groups[5], group5);
  }

  void SearchOrdersFullInitialsHitsNewestFirst() {
    // 张三 and 赵顺 both have exactly the initials ZS: the one found later
    // goes on top; 张三丰 (ZSF) follows as a partial hit.
    const auto cache = std::make_shared<const TaggedLineIndex>(
        QStringLiteral("一班\t张三\t0\t1\t4.5\t3\r\n一班\t赵顺\t0\t2\t0\t0\r\n"));
    NameSearch search;
    const QStringList names = {"张三丰", "张三", "李四", "赵顺"};
    QCOMPARE(search.Entries(names, u"zs", cache, QStringLiteral("一班")),
             QStringList({"赵顺\t[0次,0分]", "张三\t[3次,4.5分]", "张三丰"}));
    QCOMPARE(search.Entries(names, u"三", cache, QStringLiteral("一班")),
             QStringList({"张三丰", "张三\t[3次,4.5分]"}));
    // The name is matched as typed, its initials in capitals (letters are
    // their own initials).
    QCOMPARE(search.Entries({"anna"}, u"nn", nullptr, QString()), QStringList{"anna"});
    QVERIFY(search.Entries({"anna"}, u"NN", nullptr, QString()).isEmpty());
    QCOMPARE(search.Entries({"ANNA"}, u"nn", nullptr, QString()), QStringList{"ANNA"});
    QVERIFY(search.Entries(names, u"", cache, QStringLiteral("一班")).isEmpty());
    // A fresh cache file brings fresh counts.
    const auto fresh =
        std::make_shared<const TaggedLineIndex>(QStringLiteral("一班\t张三\t0\t1\t4\t4\r\n"));
    QCOMPARE(search.Entries(names, u"张三", fresh, QStringLiteral("一班")),
             QStringList({"张三\t[4次,4分]", "张三丰"}));
    // Another class is another set of initials.
    QCOMPARE(search.Entries({"王五"}, u"ww", nullptr, QString()), QStringList{"王五"});
  }

  void HitListHeights() {
    QCOMPARE(HitListHeight(3), 600);
    QCOMPARE(HitListHeight(5), 1000);
    QCOMPARE(HitListHeight(9), 1650);
  }

  void ClockWarnings_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<qint64>("pc_offset");
    QTest::addColumn<bool>("warns");
    const QString now = QString::number(ServiceTimestamp(u"2026-12-07 09:30:00"));
    QTest::newRow("6 minutes behind") << now << qint64(-360) << true;
    QTest::newRow("301 s ahead") << now << qint64(301) << true;
    QTest::newRow("301 s behind") << now << qint64(-301) << true;
    QTest::newRow("exactly 300 s") << now << qint64(300) << false;
    QTest::newRow("4 minutes off") << now << qint64(-240) << false;
    QTest::newRow("no answer") << QString() << qint64(-10000) << false;
    QTest::newRow("zero") << QStringLiteral("0") << qint64(-10000) << false;
    QTest::newRow("an error page") << QStringLiteral("<html>502</html>") << qint64(-10000) << false;
    QTest::newRow("before 2013-03-15")
        << QString::number(ServiceTimestamp(u"2013-3-14")) << qint64(-10000) << false;
    QTest::newRow("beyond any date")
        << QStringLiteral("99999999999999999999") << qint64(0) << false;
  }
  void ClockWarnings() {
    QFETCH(QString, reply);
    QFETCH(qint64, pc_offset);
    QFETCH(bool, warns);
    const QDateTime pc = QDateTime(QDate(2026, 12, 7), QTime(9, 30, 0)).addSecs(pc_offset);
    const std::optional<QString> warning = ClockWarning(reply, pc);
    QCOMPARE(warning.has_value(), warns);
    if (warns) {
      QCOMPARE(*warning, QStringLiteral("时间错误，请修改后确定！\r\n服务器时间:2026/12/7 9:30:00"
                                        "\r\n本电脑时间:") +
                             TimestampToText(ServiceSeconds(pc)));
    }
  }

  void VersionReplies() {
    QCOMPARE(ServerVersionText(QStringLiteral("Pellory:  3.1.4  ")).value_or(QString()),
             QStringLiteral("服务器版本:3.1.4"));
    // Tabs and line ends are not blanks here.
    QCOMPARE(ServerVersionText(QStringLiteral("Pellory:3.1\r\n")).value_or(QString()),
             QStringLiteral("服务器版本:3.1\r\n"));
    QVERIFY(!ServerVersionText(QStringLiteral("pellory:3.1")));
    QVERIFY(!ServerVersionText(QStringLiteral(" Pellory:3.1")));
    QVERIFY(!ServerVersionText(QString()));
  }
};

QTEST_MAIN(SubmissionLogicTest)
#include "submission_logic_test.moc"
