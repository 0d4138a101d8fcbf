// Frame6, the manual-pick panel: a tab strip over four lists that show the
// draw pools side by side ("常用", "次数", "难度"), or the sixteen group lists
// ("分组"), with the group upload's password and button. The group lists
// show the GroupDivision the panel holds; a name dragged between them moves
// there. What the teacher asks for (a name, another tab, the upload, back)
// is announced by signals.
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
#include "rollcall/group_division.h"

namespace zorvanix {

class ManualPickPanel : public QFrame {
  Q_OBJECT

 public:
  explicit ManualPickPanel(QWidget* parent = nullptr);

  // The selected tab, numbered 1..4.
  int CurrentTab() const { return tabs_->currentIndex() + 1; }
  // Shows what one tab holds: the four pool lists with their captions, or the
  // group lists. The group button is shown (disabled) on the group tab only;
  // the password box stays hidden until a name was dragged.
  void ShowTab(const ManualTab& contents);
  // Puts the groups of the chosen class into the division and its lists.
  void FillGroups(const DrawPools& pools);
  const GroupDivision& Division() const { return division_; }
  // A name dragged from one group list and dropped on another (or the same)
  // moves there; the entry it was dropped on, or the appended name, is
  // selected.
  void DropName(int source_group, int source_index, int target_group, int target_index);

  QString Password() const { return group_password_->text(); }
  void SetPassword(const QString& password) { group_password_->setText(password); }

 signals:
  // A double-click on a name of a pool list or a group list.
  void NamePicked(const QString& name);
  // Another tab was chosen (numbered 1..4); its contents are wanted.
  void TabChosen(int tab);
  void UploadGroupsPressed();  // Command29
  void BackPressed();          // Command24, after the panel closed
  void PasswordTyped(const QString& password);

 private:
  void ShowGroup(int group);

  GroupDivision division_;

  QTabBar* tabs_ = nullptr;                                  // TabStrip1
  std::array<QGroupBox*, 4> pool_frames_{};                  // Frame_m 0..3
  std::array<QListWidget*, 4> pool_lists_{};                 // List_manual 0..3
  std::array<GroupListWidget*, kGroupCount> group_lists_{};  // List_group 0..15
  std::array<QGroupBox*, kGroupCount> group_frames_{};       // their captions 第1组..第16组
  QLineEdit* group_password_ = nullptr;                      // Text11
  QPushButton* upload_groups_ = nullptr;                     // Command29

  // The four pool lists or the sixteen group lists take the panel's room.
  QVBoxLayout* column_ = nullptr;
  QHBoxLayout* pools_row_ = nullptr;
  QGridLayout* groups_grid_ = nullptr;
};

}  // namespace zorvanix
