// The division of the chosen class into its sixteen groups, as the teacher
// arranges it on the group tab: filled from the cache when the class is
// chosen, changed by dragging names between groups. A plain class with no
// widgets; the manual-pick panel shows it in the sixteen group lists, and the
// group ranking and the group upload read it.
#pragma once

#include <optional>

#include "rollcall/draw_pools.h"
#include "rollcall/group_assignment.h"

namespace zorvanix {

class GroupDivision {
 public:
  // The groups of the class the pools were built for; whatever the division
  // held before (another class, or names moved) is gone.
  void Fill(const DrawPools& pools);
  void Clear();

  const GroupLists& Groups() const { return groups_; }
  const QStringList& Group(int group) const { return groups_.at(group); }
  // Names in all groups together (a name listed twice counts twice).
  qsizetype MemberCount() const;

  // A dragged name moves as MoveDraggedName says; returns the entry of the
  // target group to select, nothing when the drop moved nothing.
  std::optional<int> Move(const GroupDrop& drop);

 private:
  GroupLists groups_;
};

}  // namespace zorvanix
