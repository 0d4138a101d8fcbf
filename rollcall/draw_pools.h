// The draw pools of the chosen class: which students each draw button draws
// from, the sixteen group lists, and what the manual-pick tabs show. A plain
// class with no widgets; the roll-call window shows what it holds.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "core/cache_file.h"

namespace zorvanix {

// The index shared by a draw button and its pool.
enum DrawCategory : int {
  kDrawAll = 0,        // 所有
  kDrawNotCalled = 1,  // 未点: not yet called this time
  kDrawCalled = 2,     // 已点: called this time
  kDrawNever = 3,      // 从未: never scored
  kDrawVeryFew = 4,    // 很少 .. 很多: how often scored
  kDrawFewer = 5,
  kDrawMore = 6,
  kDrawVeryMany = 7,
  kDrawEasier = 8,  // 较易 .. 很难: average score as question difficulty
  kDrawMedium = 9,
  kDrawHarder = 10,
  kDrawVeryHard = 11,
};
inline constexpr int kDrawPoolCount = 12;
// The thirteenth draw button opens the manual-pick panel; it has no pool.
inline constexpr int kManualPickButton = 12;
inline constexpr int kGroupCount = 16;

// Captions of the draw buttons 0..12.
QString DrawButtonCaption(int index);

// The three means of how often the students of a class were scored.
struct ScoreCountMeans {
  double mean = 0;
  double low_mean = 0;   // of the counts below the mean
  double high_mean = 0;  // of the counts at or above the mean
};
ScoreCountMeans MeansOf(const QList<StudentRow>& roster);

// The draw index for a random r in [0, 1) and a pool of n names: every name
// equally likely. 0 for an empty pool.
int RollIndex(double r, int n);

// A number uniform in [0, 1) made from one seed: the draw seeds it afresh
// from the time of day at every roll step.
double UniformFromSeed(quint64 seed);

// What the four lists of the manual-pick panel show under one tab.
struct ManualTab {
  bool shows_groups = false;  // tab 4: the group lists instead of the four lists
  std::array<QString, 4> captions;
  std::array<QStringList, 4> lists;
};
inline constexpr int kManualTabCount = 4;

class DrawPools {
 public:
  // Sorts the roster (rows already of the class, in cache order) into the
  // twelve pools and sixteen groups. A group number outside 0..15 leaves the
  // student out of the group lists only.
  void Build(const QList<StudentRow>& roster);
  void Clear();

  const QStringList& Pool(int index) const { return pools_.at(index); }
  const QStringList& Group(int group) const { return groups_.at(group); }
  bool HasNames(int index) const { return !pools_.at(index).isEmpty(); }
  ScoreCountMeans Means() const { return means_; }

  // A draw from pool index stopped at entry award showing name: name joins
  // "已点" once, and leaves the pool drawn from unless that is "所有" or
  // "已点". When the pool changed during the roll (a pick by name), the entry
  // at award may no longer be the name shown; the name shown leaves then.
  void RecordDraw(int index, int award, const QString& name);
  // A pick by name: the first "未点" entry equal to name moves to the end of
  // "已点"; nothing changes when name is not in "未点".
  void RecordPickByName(const QString& name);

  // Tabs 1..4 of the manual-pick panel: copies of the pools, taken now.
  ManualTab TabContents(int tab) const;

 private:
  std::array<QStringList, kDrawPoolCount> pools_;
  std::array<QStringList, kGroupCount> groups_;
  ScoreCountMeans means_;
};

}  // namespace zorvanix
