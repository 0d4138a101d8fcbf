// Sorting a class into draw pools and groups, the draw and pick bookkeeping,
// the manual-pick tabs, the draw index and the stopwatch counts.
#include "rollcall/draw_pools.h"

#include <QTemporaryDir>
#include <QtTest>

#include "core/cache_file.h"
#include "core/file_text.h"
#include "rollcall/stopwatch.h"

using namespace zorvanix;

namespace {

// One roster row per "name:group:average:count".
QList<StudentRow> Roster(const QStringList& descriptions) {
  QList<StudentRow> rows;
  for (const QString& description : descriptions) {
    const QStringList f = description.split(u':');
    StudentRow row;
    row.class_name = QStringLiteral("一班");
    row.name = f[0];
    row.group = f[1];
    row.number = QStringLiteral("1");
    row.average = f[2];
    row.count = f[3];
    rows.append(row);
  }
  return rows;
}

// The indexes of the pools that hold name.
QList<int> PoolsOf(const DrawPools& pools, const QString& name) {
  QList<int> found;
  for (int i = 0; i < kDrawPoolCount; ++i) {
    if (pools.Pool(i).contains(name)) found.append(i);
  }
  return found;
}

}  // namespace

class DrawPoolsTest : public QObject {
  Q_OBJECT

 private slots:
  void StudentsLandInTheirBands_data() {
    QTest::addColumn<QStringList>("roster");
    QTest::addColumn<QString>("student");
    QTest::addColumn<QList<int>>("pools");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("low_mean");
    QTest::addColumn<double>("high_mean");
    const QStringList one_one_four{"甲:0:3:1", "乙:0:3:1", "丙:0:3:4"};
    // 1 is not below the low mean 1, so it is "较少"; 4 >= the high mean 4.
    QTest::newRow("counts 1 1 4, a one")
        << one_one_four << "甲" << QList<int>{0, 1, 5, 10} << 2.0 << 1.0 << 4.0;
    QTest::newRow("counts 1 1 4, the four")
        << one_one_four << "丙" << QList<int>{0, 1, 7, 10} << 2.0 << 1.0 << 4.0;
    QTest::newRow("never scored, whatever the average")
        << QStringList{"甲:0:5:0", "乙:0:0:0"} << "甲" << QList<int>{0, 1, 3} << 0.0 << 0.0 << 0.0;
    QTest::newRow("count equal to the mean, none below")
        << QStringList{"甲:0:1:2", "乙:0:1:2"} << "甲" << QList<int>{0, 1, 7, 8} << 2.0 << 0.0
        << 2.0;
    QTest::newRow("count equal to the mean, below the high mean")
        << QStringList{"甲:0:1:1", "乙:0:2:2", "丙:0:3:3"} << "乙" << QList<int>{0, 1, 6, 9} << 2.0
        << 1.0 << 2.5;
    QTest::newRow("counts read by their leading number")
        << QStringList{"甲:0:4.5分:3次", "乙:0:x:abc"} << "甲" << QList<int>{0, 1, 7, 11} << 1.5
        << 0.0 << 3.0;
    QTest::newRow("counts read by their leading number, none")
        << QStringList{"甲:0:4:3", "乙:0:x:abc"} << "乙" << QList<int>{0, 1, 3} << 1.5 << 0.0
        << 3.0;
  }
  void StudentsLandInTheirBands() {
    QFETCH(QStringList, roster);
    QFETCH(QString, student);
    QFETCH(QList<int>, pools);
    DrawPools draw;
    draw.Build(Roster(roster));
    QCOMPARE(PoolsOf(draw, student), pools);
    QFETCH(double, mean);
    QCOMPARE(draw.Means().mean, mean);
    QTEST(draw.Means().low_mean, "low_mean");
    QTEST(draw.Means().high_mean, "high_mean");
  }

  void AveragesMeetTheDifficultyBoundsFromBelow() {
    DrawPools draw;
    draw.Build(Roster({"a:0:1.99:1", "b:0:2:1", "c:0:2.99:1", "d:0:3:1", "e:0:4:1", "f:0:-1:1"}));
    QCOMPARE(draw.Pool(kDrawEasier), QStringList({"a", "f"}));
    QCOMPARE(draw.Pool(kDrawMedium), QStringList({"b", "c"}));
    QCOMPARE(draw.Pool(kDrawHarder), QStringList({"d"}));
    QCOMPARE(draw.Pool(kDrawVeryHard), QStringList({"e"}));
  }

  void PoolsAndGroupsKeepRosterOrder() {
    DrawPools draw;
    draw.Build(Roster({"c:2:0:0", "a:15:0:0", "b:2:0:0", "x:16:0:0", "y:-1:0:0", "z:二:0:0"}));
    QCOMPARE(draw.Pool(kDrawAll), QStringList({"c", "a", "b", "x", "y", "z"}));
    QCOMPARE(draw.Pool(kDrawNotCalled), draw.Pool(kDrawAll));
    QVERIFY(draw.Pool(kDrawCalled).isEmpty());
    QCOMPARE(draw.Group(2), QStringList({"c", "b"}));
    QCOMPARE(draw.Group(15), QStringList({"a"}));
    int grouped = 0;
    for (int g = 0; g < kGroupCount; ++g) grouped += draw.Group(g).size();
    QCOMPARE(grouped, 3);  // 16, -1 and 二 are not group numbers

    draw.Build({});
    for (int i = 0; i < kDrawPoolCount; ++i) QVERIFY(!draw.HasNames(i));
    QCOMPARE(draw.Means().mean, 0.0);
  }

  void PrefixClassNamesReadOnlyTheirOwnRows() {
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("ServerRec.dmd"));
    QVERIFY(WriteLinesAtomically(
        cache, {"Class_Is_Ready\t1\t10\t", "1\t张三\t0\t1\t3\t2", "10\t李四\t1\t2\t4\t1",
                "1\t王五\t1\t3\t2\t0", "1\tbad row\t0"}));
    DrawPools draw;
    draw.Build(StudentRowsFromText(ReadTaggedLines(cache, RosterTag(u"1"))));
    QCOMPARE(draw.Pool(kDrawAll), QStringList({"张三", "王五"}));
    draw.Build(StudentRowsFromText(ReadTaggedLines(cache, RosterTag(u"10"))));
    QCOMPARE(draw.Pool(kDrawAll), QStringList({"李四"}));
    QCOMPARE(draw.Group(1), QStringList({"李四"}));
  }

  void DrawsMoveTheStudentBetweenPools() {
    DrawPools draw;
    draw.Build(Roster({"a:0:3:1", "b:0:3:1", "c:0:3:4", "d:0:3:0"}));
    QCOMPARE(draw.Pool(kDrawFewer), QStringList({"a", "b"}));

    draw.RecordDraw(kDrawFewer, 1, "b");  // leaves "较少" only, joins "已点"
    QCOMPARE(draw.Pool(kDrawFewer), QStringList({"a"}));
    QCOMPARE(draw.Pool(kDrawNotCalled), QStringList({"a", "b", "c", "d"}));
    QCOMPARE(draw.Pool(kDrawCalled), QStringList({"b"}));

    draw.RecordDraw(kDrawAll, 0, "a");  // "所有" and "已点" lose nobody
    draw.RecordDraw(kDrawAll, 0, "a");
    draw.RecordDraw(kDrawCalled, 0, "a");
    QCOMPARE(draw.Pool(kDrawAll).size(), 4);
    QCOMPARE(draw.Pool(kDrawCalled), QStringList({"b", "a"}));

    draw.RecordDraw(kDrawNever, 0, "d");  // the last name: the pool is empty
    QVERIFY(!draw.HasNames(kDrawNever));
  }

  void DrawStoppedAfterThePoolChangedRemovesTheNameShown() {
    DrawPools draw;
    draw.Build(Roster({"a:0:3:0", "b:0:3:0", "c:0:3:0"}));
    // Rolling over "未点" (a copy); meanwhile "a" is picked by name.
    draw.RecordPickByName("a");
    QCOMPARE(draw.Pool(kDrawNotCalled), QStringList({"b", "c"}));
    draw.RecordDraw(kDrawNotCalled, 2, "c");  // entry 2 of the copy
    QCOMPARE(draw.Pool(kDrawNotCalled), QStringList({"b"}));
    draw.RecordDraw(kDrawNotCalled, 0, "");  // an empty name joins nothing
    QCOMPARE(draw.Pool(kDrawCalled), QStringList({"a", "c"}));
  }

  void PickByNameMovesOnlyFromNotCalled() {
    DrawPools draw;
    draw.Build(Roster({"a:0:3:1", "b:0:3:1"}));
    draw.RecordPickByName("b");
    QCOMPARE(draw.Pool(kDrawNotCalled), QStringList({"a"}));
    QCOMPARE(draw.Pool(kDrawCalled), QStringList({"b"}));
    draw.RecordPickByName("b");
    draw.RecordPickByName("nobody");
    QCOMPARE(draw.Pool(kDrawCalled), QStringList({"b"}));
  }

  void ManualTabsShowCopiesOfThePools() {
    DrawPools draw;
    draw.Build(Roster({"a:0:1:0", "b:0:2.5:1", "c:0:3.5:1", "d:0:4:9"}));
    const ManualTab first = draw.TabContents(1);
    QVERIFY(!first.shows_groups);
    QCOMPARE(first.captions[0], QStringLiteral("曾经被点"));
    QCOMPARE(first.captions[3], QStringLiteral("从未被点"));
    QCOMPARE(first.lists[0], QStringList({"b", "c", "d"}));  // all, less "从未"
    QCOMPARE(first.lists[1], QStringList({"a", "b", "c", "d"}));
    QCOMPARE(first.lists[3], QStringList({"a"}));

    const ManualTab difficulty = draw.TabContents(3);
    QCOMPARE(difficulty.captions, (std::array<QString, 4>{"很易", "较易", "较难", "很难"}));
    QCOMPARE(difficulty.lists[1], QStringList({"b"}));
    QCOMPARE(difficulty.lists[3], QStringList({"d"}));
    QCOMPARE(draw.TabContents(2).lists[3], QStringList({"d"}));
    QVERIFY(draw.TabContents(4).shows_groups);

    draw.RecordDraw(kDrawNotCalled, 0, "a");
    QCOMPARE(first.lists[1].size(), 4);  // taken before the draw
    QCOMPARE(draw.TabContents(1).lists[2], QStringList({"a"}));
  }

  void EveryNameIsEquallyLikely() {
    for (int n : {1, 2, 3, 7, 60}) {
      QList<int> hits(n, 0);
      const int steps = n * 1000;
      for (int k = 0; k < steps; ++k) ++hits[RollIndex((k + 0.5) / steps, n)];
      for (int i = 0; i < n; ++i) QCOMPARE(hits[i], 1000);
      QCOMPARE(RollIndex(0.0, n), 0);
      QCOMPARE(RollIndex(std::nextafter(1.0, 0.0), n), n - 1);
    }
    QCOMPARE(RollIndex(0.5, 0), 0);
  }

  void StopwatchCountsTicksInBothDisplays() {
    Stopwatch watch;
    QVERIFY(watch.Tick());  // the first tick runs the start-up checks
    QVERIFY(!watch.Tick());
    QCOMPARE(watch.SecondsSinceStart(), 2);
    QCOMPARE(watch.MinutesSeconds(), QStringLiteral("00:02"));

    watch.Toggle();
    QVERIFY(watch.Running());
    watch.Tick();
    QCOMPARE(watch.HoursMinutesSeconds(), QStringLiteral("00:00:01"));
    QCOMPARE(watch.MinutesSeconds(), QStringLiteral("00:01"));
    for (int i = 1; i < 3600; ++i) watch.Tick();
    QCOMPARE(watch.HoursMinutesSeconds(), QStringLiteral("01:00:00"));
    QCOMPARE(watch.MinutesSeconds(), QStringLiteral("00:00"));

    watch.Toggle();  // off: the count goes on
    watch.Tick();
    QVERIFY(!watch.Running());
    QCOMPARE(watch.Seconds(), 3601);
    watch.Toggle();  // on again: from zero
    QCOMPARE(watch.Seconds(), 0);

    for (int i = 0; i < 40000; ++i) watch.Tick();
    QCOMPARE(watch.Seconds(), Stopwatch::kMaxSeconds);
    QCOMPARE(watch.HoursMinutesSeconds(), QStringLiteral("09:06:07"));
  }
};

QTEST_GUILESS_MAIN(DrawPoolsTest)
#include "draw_pools_test.moc"
