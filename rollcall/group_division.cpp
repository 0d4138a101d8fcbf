#include "rollcall/group_division.h"

namespace zorvanix {

void GroupDivision::Fill(const DrawPools& pools) {
  for (int g = 0; g < kGroupCount; ++g) groups_[g] = pools.Group(g);
}

void GroupDivision::Clear() {
  for (QStringList& group : groups_) group.clear();
}

qsizetype GroupDivision::MemberCount() const {
  qsizetype count = 0;
  for (const QStringList& group : groups_) count += group.size();
  return count;
}

std::optional<int> GroupDivision::Move(const GroupDrop& drop) {
  return MoveDraggedName(groups_, drop);
}

}  // namespace zorvanix
