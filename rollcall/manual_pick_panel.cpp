#include "rollcall/manual_pick_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zorvanix {
namespace {

template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

constexpr int kGroupColumns = 8;

}  // namespace

ManualPickPanel::ManualPickPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Frame6"));
  tabs = Named(new QTabBar(this), QStringLiteral("TabStrip1"));
  for (const char16_t* caption : {u"常用", u"次数", u"难度", u"分组"}) {
    tabs->addTab(QString::fromUtf16(caption));
  }

  auto* pools_row = pools_row_ = new QHBoxLayout;
  for (int i = 0; i < 4; ++i) {
    pool_frames[i] = Named(new QGroupBox(this), QStringLiteral("Frame_m_%1").arg(i));
    pool_lists[i] = Named(new QListWidget(pool_frames[i]), QStringLiteral("List_manual_%1").arg(i));
    auto* inside = new QVBoxLayout(pool_frames[i]);
    inside->setContentsMargins(2, 2, 2, 2);
    inside->addWidget(pool_lists[i]);
    pools_row->addWidget(pool_frames[i]);
  }
  auto* groups_grid = groups_grid_ = new QGridLayout;
  groups_grid->setSpacing(2);
  for (int g = 0; g < kGroupCount; ++g) {
    // Each group list is captioned with its number as the teacher counts:
    // group 0 is 第1组.
    const QString caption = QStringLiteral("第%1组").arg(g + 1);
    group_frames[g] = new QGroupBox(caption, this);
    group_lists[g] =
        Named(new GroupListWidget(g, group_frames[g]), QStringLiteral("List_group_%1").arg(g));
    group_lists[g]->setToolTip(caption);
    auto* inside = new QVBoxLayout(group_frames[g]);
    inside->setContentsMargins(2, 2, 2, 2);
    inside->addWidget(group_lists[g]);
    groups_grid->addWidget(group_frames[g], g / kGroupColumns, g % kGroupColumns);
    group_frames[g]->hide();
  }

  group_password = Named(new QLineEdit(this), QStringLiteral("Text11"));
  group_password->setEchoMode(QLineEdit::Password);
  group_password->setPlaceholderText(QStringLiteral("上传密码"));
  group_password->hide();
  upload_groups =
      Named(new QPushButton(QStringLiteral("上传分组信息"), this), QStringLiteral("Command29"));
  upload_groups->hide();
  back = Named(new QPushButton(QStringLiteral("返回"), this), QStringLiteral("Command24"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(group_password);
  bottom->addWidget(upload_groups);
  bottom->addStretch();
  bottom->addWidget(back);

  for (GroupListWidget* list : group_lists) {
    connect(list, &GroupListWidget::NameDropped, this,
            [this, list](int source_group, int source_index, int target_index) {
              DropName(source_group, source_index, list->Group(), target_index);
            });
    // Once a name was dragged there is a division worth sending.
    connect(list, &GroupListWidget::DragEnded, this, [this] {
      upload_groups->setEnabled(true);
      group_password->show();
    });
  }

  auto* column = column_ = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 4, 4);
  column->addWidget(tabs);
  column->addLayout(pools_row, 1);
  column->addLayout(groups_grid, 1);
  column->addLayout(bottom);
  hide();
}

void ManualPickPanel::ShowTab(const ManualTab& contents) {
  for (QListWidget* list : pool_lists) list->clear();
  group_password->hide();
  upload_groups->hide();
  column_->setStretchFactor(pools_row_, contents.shows_groups ? 0 : 1);
  column_->setStretchFactor(groups_grid_, contents.shows_groups ? 1 : 0);
  if (contents.shows_groups) {
    upload_groups->show();
    upload_groups->setEnabled(false);
    for (QGroupBox* frame : pool_frames) frame->hide();
    for (QGroupBox* frame : group_frames) frame->show();
    return;
  }
  for (int i = 0; i < 4; ++i) {
    pool_frames[i]->setTitle(contents.captions[i]);
    pool_frames[i]->show();
  }
  for (QGroupBox* frame : group_frames) frame->hide();
  for (int i = 0; i < 4; ++i) pool_lists[i]->addItems(contents.lists[i]);
}

void ManualPickPanel::FillGroups(const DrawPools& pools) {
  for (int g = 0; g < kGroupCount; ++g) {
    group_lists[g]->clear();
    group_lists[g]->addItems(pools.Group(g));
  }
}

std::array<QStringList, kGroupCount> ManualPickPanel::GroupLists() const {
  std::array<QStringList, kGroupCount> groups;
  for (int g = 0; g < kGroupCount; ++g) {
    for (int row = 0; row < group_lists[g]->count(); ++row) {
      groups[g].append(group_lists[g]->item(row)->text());
    }
  }
  return groups;
}

void ManualPickPanel::DropName(int source_group, int source_index, int target_group,
                               int target_index) {
  std::array<QStringList, kGroupCount> groups = GroupLists();
  const std::optional<int> selected =
      MoveDraggedName(groups, {source_group, source_index, target_group, target_index});
  if (!selected) return;
  for (const int g : {source_group, target_group}) {
    group_lists[g]->clear();
    group_lists[g]->addItems(groups[g]);
  }
  group_lists[target_group]->setCurrentRow(*selected);
}

}  // namespace zorvanix
