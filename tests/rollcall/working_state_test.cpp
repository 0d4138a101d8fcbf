// The roll-call window's working state without its widgets: the pending
// score lines with their numbers and selection, and the division of a class
// into its sixteen groups.
#include <QtTest>

#include "rollcall/draw_pools.h"
#include "rollcall/group_division.h"
#include "rollcall/group_statistics.h"
#include "rollcall/pending_scores.h"

using namespace zorvanix;

namespace {

// One roster row of 一班 per "name:group".
QList<StudentRow> Roster(const QStringList& descriptions) {
  QList<StudentRow> rows;
  for (const QString& description : descriptions) {
    const QStringList f = description.split(u':');
    StudentRow row;
    row.class_name = QStringLiteral("一班");
    row.name = f[0];
    row.group = f[1];
    row.number = QStringLiteral("1");
    row.average = QStringLiteral("0");
    row.count = QStringLiteral("0");
    rows.append(row);
  }
  return rows;
}

// The rows that are selected.
QList<qsizetype> SelectedRows(const PendingScores& scores) {
  QList<qsizetype> rows;
  for (qsizetype row = 0; row < scores.Count(); ++row) {
    if (scores.IsSelected(row)) rows.append(row);
  }
  return rows;
}

}  // namespace

class WorkingStateTest : public QObject {
  Q_OBJECT

 private slots:
  // --- PendingScores ---------------------------------------------------------

  void EqualLinesAreTwoLinesWithTheirOwnNumbers() {
    PendingScores scores;
    const quint64 first = scores.Add(QStringLiteral("一班\t张三\t5分"));
    const quint64 second = scores.Add(QStringLiteral("一班\t张三\t5分"));
    QVERIFY(first != 0 && second != 0 && first != second);
    QCOMPARE(scores.Count(), 2);
    // Taking one of them away leaves the other.
    QCOMPARE(scores.Remove({second}), 1);
    QCOMPARE(scores.Lines(), QStringList{QStringLiteral("一班\t张三\t5分")});
    QCOMPARE(scores.Id(0), first);
    // A number is never given again, even after its line left: a batch still
    // holding the old number must not take a new line with it.
    const quint64 third = scores.Add(QStringLiteral("一班\t李四\t3分"));
    QVERIFY(third != first && third != second);
    QCOMPARE(scores.RowOf(second), -1);
    QCOMPARE(scores.Id(5), quint64(0));
    QCOMPARE(scores.Id(-1), quint64(0));
  }

  void RemovingKeepsTheOrderAndSelectionOfTheRest() {
    PendingScores scores;
    scores.AddMany({"a", "b", "c", "d", "e"});
    QCOMPARE(scores.Lines(), QStringList({"a", "b", "c", "d", "e"}));
    QVERIFY(SelectedRows(scores).isEmpty());  // new lines are not selected
    scores.SetSelected(1, true);              // b
    scores.SetSelected(3, true);              // d
    scores.SetSelected(4, true);              // e
    // c (unselected) and d (selected) leave, in the opposite order of the
    // list, together with a number that is no longer pending.
    const quint64 c = scores.Id(2), d = scores.Id(3);
    QCOMPARE(scores.Remove({d, c, 999}), 2);
    QCOMPARE(scores.Lines(), QStringList({"a", "b", "e"}));
    QCOMPARE(SelectedRows(scores), QList<qsizetype>({1, 2}));
    // Removing again what is gone changes nothing.
    QCOMPARE(scores.Remove({c, d}), 0);
    QCOMPARE(scores.Remove({}), 0);
    QCOMPARE(scores.Count(), 3);
  }

  void TheSelectionIsSentInListOrder() {
    PendingScores scores;
    scores.AddMany({"a", "b", "c", "d"});
    // Selected from the bottom up, as a teacher may click them.
    scores.SetSelected(3, true);
    scores.SetSelected(0, true);
    scores.SetSelected(2, true);
    scores.SetSelected(2, false);
    scores.SetSelected(9, true);  // no such row: nothing happens
    const PendingScores::Batch batch = scores.Selected();
    QCOMPARE(batch.lines, QStringList({"a", "d"}));
    QCOMPARE(batch.ids, QList<quint64>({scores.Id(0), scores.Id(3)}));
    // An upload in parts: the first part's lines leave, the rest of the
    // selection is still the selection.
    scores.SelectAll();
    const PendingScores::Batch all = scores.Selected();
    scores.Remove(all.ids.mid(0, 2));
    QCOMPARE(scores.Selected().lines, QStringList({"c", "d"}));
    QCOMPARE(scores.Selected().ids, all.ids.mid(2));
  }

  void AnEditedLineStaysInPlaceUnderANewNumber() {
    PendingScores scores;
    scores.AddMany({"a", "b", "c"});
    const quint64 b = scores.Id(1);
    // An upload under way holds the whole list.
    const QList<quint64> under_way = {scores.Id(0), b, scores.Id(2)};
    const quint64 edited = scores.Replace(b, QStringLiteral("B"));
    QVERIFY(edited != 0 && edited != b);
    QCOMPARE(scores.Lines(), QStringList({"a", "B", "c"}));
    QCOMPARE(scores.RowOf(edited), 1);
    QCOMPARE(scores.RowOf(b), -1);
    QCOMPARE(SelectedRows(scores), QList<qsizetype>({1}));
    // What was sent leaves; the correction was not sent and stays.
    QCOMPARE(scores.Remove(under_way), 2);
    QCOMPARE(scores.Lines(), QStringList{QStringLiteral("B")});
    QCOMPARE(scores.Selected().ids, QList<quint64>{edited});
    // A line that is gone cannot be edited any more.
    QCOMPARE(scores.Replace(b, QStringLiteral("again")), quint64(0));
    QCOMPARE(scores.Lines(), QStringList{QStringLiteral("B")});
  }

  void ManyLinesFollowThePendingOnes() {
    PendingScores scores;
    scores.Add(QStringLiteral("first"));
    scores.SetSelected(0, true);
    scores.AddMany({"x", "y", "x"});
    QCOMPARE(scores.Lines(), QStringList({"first", "x", "y", "x"}));
    QCOMPARE(SelectedRows(scores), QList<qsizetype>({0}));
    QSet<quint64> ids;
    for (qsizetype row = 0; row < scores.Count(); ++row) ids.insert(scores.Id(row));
    QCOMPARE(ids.size(), 4);
    QVERIFY(!ids.contains(0));
  }

  // --- GroupDivision ------------------------------------------------------------

  void FillingTakesTheGroupsOfTheClassOnly() {
    DrawPools pools;
    // 王五's group is outside 0..15: he is in no group list.
    pools.Build(Roster({"张三:0", "李四:0", "王五:16", "赵六:15", "钱七:x"}));
    GroupDivision division;
    division.Fill(pools);
    QCOMPARE(division.Group(0), QStringList({"张三", "李四"}));
    QCOMPARE(division.Group(15), QStringList{"赵六"});
    QCOMPARE(division.MemberCount(), 3);
    for (int g = 1; g < 15; ++g) QVERIFY(division.Group(g).isEmpty());

    // Names moved in one class do not follow the teacher to the next.
    QVERIFY(division.Move({0, 0, 3, -1}).has_value());
    QCOMPARE(division.Group(3), QStringList{"张三"});
    DrawPools other;
    other.Build(Roster({"孙八:3"}));
    division.Fill(other);
    QCOMPARE(division.Group(0), QStringList{});
    QCOMPARE(division.Group(3), QStringList{"孙八"});
    QCOMPARE(division.Group(15), QStringList{});
    QCOMPARE(division.MemberCount(), 1);
    division.Clear();
    QCOMPARE(division.MemberCount(), 0);
  }

  void EmptyGroupsGiveAndTakeNames() {
    DrawPools pools;
    pools.Build(Roster({"甲:2", "乙:2", "丙:4"}));
    GroupDivision division;
    division.Fill(pools);
    // The only member of group 4 leaves it for the empty group 7, dropped
    // "on" an entry that does not exist: appended, and selected.
    QCOMPARE(division.Move({4, 0, 7, 3}).value_or(-1), 0);
    QVERIFY(division.Group(4).isEmpty());
    QCOMPARE(division.Group(7), QStringList{"丙"});
    // Dragging from the now empty group moves nothing.
    QVERIFY(!division.Move({4, 0, 2, -1}).has_value());
    QCOMPARE(division.Group(2), QStringList({"甲", "乙"}));
    // Out-of-range groups are refused.
    QVERIFY(!division.Move({2, 0, kGroupCount, -1}).has_value());
    QVERIFY(!division.Move({-1, 0, 2, -1}).has_value());
    QCOMPARE(division.MemberCount(), 3);
  }

  void TheRankingCountsTheDivisionAsMoved() {
    DrawPools pools;
    pools.Build(Roster({"甲:0", "乙:1"}));
    GroupDivision division;
    division.Fill(pools);
    const QStringList pending = {QStringLiteral("一班\t甲\t4分\t2024-01-01 08:00:00\t"),
                                 QStringLiteral("一班\t乙\t1分\t2024-01-01 08:00:01\t")};
    // 乙 joins 甲 in group 0: group 1 is empty and has no standing.
    division.Move({1, 0, 0, -1});
    const QList<GroupStanding> standings = GroupStatistics(pending, division.Groups());
    QCOMPARE(standings.size(), 1);
    QCOMPARE(standings[0].group, 0);
    QCOMPARE(standings[0].total, qint64(5));
    QCOMPARE(standings[0].members, QStringList({"甲", "乙"}));
  }
};

QTEST_GUILESS_MAIN(WorkingStateTest)
#include "working_state_test.moc"
