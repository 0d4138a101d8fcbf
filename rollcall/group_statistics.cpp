#include "rollcall/group_statistics.h"

#include <QHash>
#include <cmath>
#include <limits>

#include "core/numbers.h"
#include "core/score_line.h"

namespace zorvanix {
namespace {

// Blanks at both ends go; a name's own TABs or line ends never stand there.
QString TrimBlanks(const QString& text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && text[begin] == u' ') ++begin;
  while (end > begin && text[end - 1] == u' ') --end;
  return text.mid(begin, end - begin);
}

// The nearest whole number to total + points, an exact half going to the even
// number. A sum beyond the 64-bit range stays at its edge instead of wrapping.
qint64 AddRounded(qint64 total, double points) {
  constexpr double kEdge = 9.0e18;
  const double sum = std::nearbyint(static_cast<double>(total) + points);
  if (std::isnan(sum)) return total;
  if (sum >= kEdge) return static_cast<qint64>(kEdge);
  if (sum <= -kEdge) return -static_cast<qint64>(kEdge);
  // Small totals are summed exactly; the double above only decides rounding.
  if (points == std::trunc(points) && std::abs(points) < kEdge) {
    return total + static_cast<qint64>(points);
  }
  return static_cast<qint64>(sum);
}

}  // namespace

QString GroupStanding::Line() const {
  QString member_text;
  for (const QString& member : members) member_text += u' ' + member;
  return QStringLiteral("第%1名\t%2分\t").arg(rank).arg(total) + contributors + u'\t' + member_text;
}

QList<GroupStanding> GroupStatistics(const QStringList& pending_lines,
                                     const std::array<QStringList, kGroupCount>& groups) {
  // Where each name stands: one entry per place, in group order, so a name
  // listed twice counts twice.
  QHash<QString, QList<int>> places;
  for (int g = 0; g < kGroupCount; ++g) {
    for (const QString& name : groups[g]) places[name].append(g);
  }
  std::array<qint64, kGroupCount> totals{};
  std::array<QString, kGroupCount> contributors;
  for (const QString& line : pending_lines) {
    const QStringList fields = ScoreLineFields(line);
    const auto it = places.constFind(fields[1]);
    if (it == places.constEnd()) continue;
    const double points = LeadingNumber(fields[2]);
    for (const int g : *it) {
      totals[g] = AddRounded(totals[g], points);
      // A name already inside the list (or inside a longer name in it) is
      // not added again.
      if (!contributors[g].contains(fields[1], Qt::CaseInsensitive)) {
        contributors[g] += u' ' + fields[1];
      }
    }
  }
  QList<GroupStanding> standings;
  for (int g = 0; g < kGroupCount; ++g) {
    if (totals[g] == 0) continue;
    GroupStanding standing;
    standing.group = g;
    standing.rank = 1;
    for (const qint64 other : totals) standing.rank += other > totals[g] ? 1 : 0;
    standing.total = totals[g];
    standing.contributors = TrimBlanks(contributors[g]);
    standing.members = groups[g];
    standings.append(standing);
  }
  return standings;
}

GroupDetail GroupDetailOf(const QString& statistics_line) {
  const QStringList fields = statistics_line.split(u'\t');
  const auto field = [&](int i) { return i < fields.size() ? fields[i] : QString(); };
  return {field(0), QStringLiteral("得分：") + field(1), field(2), TrimBlanks(field(3))};
}

}  // namespace zorvanix
