// Frame6, the manual-pick panel: a tab strip over four lists that show the
// draw pools side by side ("常用", "次数", "难度"), or the sixteen group lists
// ("分组"), with the group upload's password and button.
#pragma once

#include <QBoxLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <array>

#include "rollcall/draw_pools.h"
#include "rollcall/group_assignment.h"

namespace zorvanix {

class ManualPickPanel : public QFrame {
  Q_OBJECT

 public:
  explicit ManualPickPanel(QWidget* parent = nullptr);

  // The selected tab, numbered 1..4.
  int CurrentTab() const { return tabs->currentIndex() + 1; }
  // Shows what one tab holds: the four pool lists with their captions, or the
  // group lists. The group button is shown (disabled) on the group tab only;
  // the password box stays hidden until a name was dragged.
  void ShowTab(const ManualTab& contents);
  // Puts the groups of the chosen class into the sixteen lists.
  void FillGroups(const DrawPools& pools);
  // The names of every group list as they stand now.
  std::array<QStringList, kGroupCount> GroupLists() const;
  // A name dragged from one group list and dropped on another (or the same)
  // moves there; the entry it was dropped on, or the appended name, is
  // selected.
  void DropName(int source_group, int source_index, int target_group, int target_index);

  QTabBar* tabs = nullptr;                                  // TabStrip1
  std::array<QGroupBox*, 4> pool_frames{};                  // Frame_m 0..3
  std::array<QListWidget*, 4> pool_lists{};                 // List_manual 0..3
  std::array<GroupListWidget*, kGroupCount> group_lists{};  // List_group 0..15
  std::array<QGroupBox*, kGroupCount> group_frames{};       // their captions 第1组..第16组
  QLineEdit* group_password = nullptr;                      // Text11
  QPushButton* upload_groups = nullptr;                     // Command29
  QPushButton* back = nullptr;                              // Command24

 private:
  // The four pool lists or the sixteen group lists take the panel's room.
  QVBoxLayout* column_ = nullptr;
  QHBoxLayout* pools_row_ = nullptr;
  QGridLayout* groups_grid_ = nullptr;
};

}  // namespace zorvanix
