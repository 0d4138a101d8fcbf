#include "rollcall/draw_pools.h"

#include <algorithm>
#include <cmath>

namespace zorvanix {

QString DrawButtonCaption(int index) {
  static const std::array<QString, kDrawPoolCount + 1> captions = {
      QStringLiteral("所有"), QStringLiteral("未点"), QStringLiteral("已点"),
      QStringLiteral("从未"), QStringLiteral("很少"), QStringLiteral("较少"),
      QStringLiteral("较多"), QStringLiteral("很多"), QStringLiteral("较易"),
      QStringLiteral("中等"), QStringLiteral("较难"), QStringLiteral("很难"),
      QStringLiteral("手动")};
  return index >= 0 && index <= kManualPickButton ? captions[index] : QString();
}

ScoreCountMeans MeansOf(const QList<StudentRow>& roster) {
  ScoreCountMeans means;
  if (roster.isEmpty()) return means;
  double sum = 0;
  for (const StudentRow& row : roster) sum += row.CountValue();
  means.mean = sum / roster.size();
  double low_sum = 0, high_sum = 0;
  int low_count = 0, high_count = 0;
  for (const StudentRow& row : roster) {
    const double count = row.CountValue();
    if (count < means.mean) {
      low_sum += count;
      ++low_count;
    } else {
      high_sum += count;
      ++high_count;
    }
  }
  means.low_mean = low_count ? low_sum / low_count : 0;
  means.high_mean = high_count ? high_sum / high_count : 0;
  return means;
}

int RollIndex(double r, int n) {
  if (n <= 0) return 0;
  const int index = static_cast<int>(std::floor(r * n));
  return std::clamp(index, 0, n - 1);
}

double UniformFromSeed(quint64 seed) {
  // SplitMix64: every bit of the seed reaches every bit of the result.
  quint64 z = seed + 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

void DrawPools::Clear() {
  for (QStringList& pool : pools_) pool.clear();
  for (QStringList& group : groups_) group.clear();
  means_ = {};
}

namespace {

int FrequencyBand(double count, const ScoreCountMeans& means) {
  if (count < means.low_mean) return kDrawVeryFew;
  if (count < means.mean) return kDrawFewer;
  if (count >= means.high_mean) return kDrawVeryMany;
  return kDrawMore;
}

int DifficultyBand(double average) {
  if (average < 2) return kDrawEasier;
  if (average < 3) return kDrawMedium;
  if (average < 4) return kDrawHarder;
  return kDrawVeryHard;
}

}  // namespace

void DrawPools::Build(const QList<StudentRow>& roster) {
  Clear();
  means_ = MeansOf(roster);
  for (const StudentRow& row : roster) {
    const double count = row.CountValue();
    pools_[kDrawAll].append(row.name);
    pools_[kDrawNotCalled].append(row.name);
    if (count == 0) {
      pools_[kDrawNever].append(row.name);
    } else {
      pools_[FrequencyBand(count, means_)].append(row.name);
      pools_[DifficultyBand(row.AverageValue())].append(row.name);
    }
    const int group = row.GroupIndex();
    if (group >= 0) groups_[group].append(row.name);
  }
}

void DrawPools::RecordDraw(int index, int award, const QString& name) {
  if (index < 0 || index >= kDrawPoolCount || name.isEmpty()) return;
  if (!pools_[kDrawCalled].contains(name)) pools_[kDrawCalled].append(name);
  if (index == kDrawAll || index == kDrawCalled) return;
  QStringList& pool = pools_[index];
  if (award >= 0 && award < pool.size() && pool[award] == name) {
    pool.removeAt(award);
  } else {
    pool.removeOne(name);
  }
}

void DrawPools::RecordPickByName(const QString& name) {
  if (pools_[kDrawNotCalled].removeOne(name)) pools_[kDrawCalled].append(name);
}

ManualTab DrawPools::TabContents(int tab) const {
  static const std::array<std::array<QString, 4>, 3> captions = {{
      {QStringLiteral("曾经被点"), QStringLiteral("本次未点"), QStringLiteral("本次已点"),
       QStringLiteral("从未被点")},
      {QStringLiteral("很少"), QStringLiteral("较少"), QStringLiteral("较多"),
       QStringLiteral("很多")},
      {QStringLiteral("很易"), QStringLiteral("较易"), QStringLiteral("较难"),
       QStringLiteral("很难")},
  }};
  ManualTab contents;
  if (tab == kManualTabCount) {
    contents.shows_groups = true;
    return contents;
  }
  if (tab < 1 || tab > 3) return contents;
  contents.captions = captions[tab - 1];
  for (int i = 0; i < 4; ++i) contents.lists[i] = pools_[(tab - 1) * 4 + i];
  if (tab == 1) {
    // The first list shows the students called at least once before.
    for (const QString& never : contents.lists[3]) contents.lists[0].removeOne(never);
  }
  return contents;
}

}  // namespace zorvanix
