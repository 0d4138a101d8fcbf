// The shortcut page: three boxes, one per shortcut kind. Every change of a
// box's state, by the teacher or by the program, creates or removes that
// shortcut; setting a box to the state it has runs nothing.
#pragma once

#include <array>

#include "manage/manage_page.h"
#include "manage/page_services.h"
#include "platform/shortcuts.h"

class QCheckBox;

namespace zorvanix {

class ShortcutsPage : public ManagePage {
 public:
  ShortcutsPage(PageServices& services, QWidget* parent);

  // Where the shortcuts go and what they start.
  void SetShortcutMaker(const ShortcutMaker& maker) { maker_ = maker; }
  const ShortcutMaker& Maker() const { return maker_; }

  // Ticks the boxes of the shortcuts that exist (which writes them afresh).
  void Open() override;
  // The boxes cleared without touching any shortcut.
  void Clear() override;

 private:
  void BoxChanged(int kind, bool ticked);
  void SetAll(bool ticked);

  PageServices& services_;
  ShortcutMaker maker_;
  std::array<QCheckBox*, kShortcutKinds> boxes_{};
};

}  // namespace zorvanix
