// The group ranking of the pending scores: each group's total, its rank among
// the sixteen groups, who earned the points and who belongs to it. A plain
// function with no widgets; the statistics panel shows what it returns.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

#include "rollcall/draw_pools.h"

namespace zorvanix {

struct GroupStanding {
  int group = 0;         // index of the group list, 0..15
  int rank = 0;          // 1 + the number of groups with a higher total
  qint64 total = 0;      // whole points; wide enough for any classroom
  QString contributors;  // names in order of their first score, single spaces
  QStringList members;   // the group list as it stands

  // The List9 entry: "第1名", "9分", contributors, " " + each member, by TAB.
  QString Line() const;
};

// Totals the pending score lines (class TAB student TAB score ...) per group.
// Each score is added at every place its student stands in the group lists,
// and the total is rounded to a whole number after each addition (an exact
// half to the even number). Only groups with a total other than 0 are
// returned, in group order; groups with equal totals share a rank.
QList<GroupStanding> GroupStatistics(const QStringList& pending_lines,
                                     const std::array<QStringList, kGroupCount>& groups);

// The detail of one List9 entry, as the detail panel shows it.
struct GroupDetail {
  QString rank;          // "第1名"
  QString score;         // "得分：9分"
  QString contributors;  // as listed
  QString members;       // the members without the leading blank
};
GroupDetail GroupDetailOf(const QString& statistics_line);

}  // namespace zorvanix
