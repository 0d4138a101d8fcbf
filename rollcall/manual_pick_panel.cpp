#include "rollcall/manual_pick_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/widget_names.h"

namespace zorvanix {
namespace {

constexpr int kGroupColumns = 8;

}  // namespace

ManualPickPanel::ManualPickPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Frame6"));
  tabs_ = Named(new QTabBar(this), QStringLiteral("TabStrip1"));
  for (const char16_t* caption : {u"常用", u"次数", u"难度", u"分组"}) {
    tabs_->addTab(QString::fromUtf16(caption));
  }
  const auto picked = [this](const QListWidgetItem* item) {
    emit NamePicked(item ? item->text() : QString());
  };

  auto* pools_row = pools_row_ = new QHBoxLayout;
  for (int i = 0; i < 4; ++i) {
    pool_frames_[i] = Named(new QGroupBox(this), QStringLiteral("Frame_m_%1").arg(i));
    pool_lists_[i] =
        Named(new QListWidget(pool_frames_[i]), QStringLiteral("List_manual_%1").arg(i));
    connect(pool_lists_[i], &QListWidget::itemDoubleClicked, this, picked);
    auto* inside = new QVBoxLayout(pool_frames_[i]);
    inside->setContentsMargins(2, 2, 2, 2);
    inside->addWidget(pool_lists_[i]);
    pools_row->addWidget(pool_frames_[i]);
  }
  auto* groups_grid = groups_grid_ = new QGridLayout;
  groups_grid->setSpacing(2);
  for (int g = 0; g < kGroupCount; ++g) {
    // Each group list is captioned with its number as the teacher counts:
    // group 0 is 第1组.
    const QString caption = QStringLiteral("第%1组").arg(g + 1);
    group_frames_[g] = new QGroupBox(caption, this);
    group_lists_[g] =
        Named(new GroupListWidget(g, group_frames_[g]), QStringLiteral("List_group_%1").arg(g));
    group_lists_[g]->setToolTip(caption);
    connect(group_lists_[g], &QListWidget::itemDoubleClicked, this, picked);
    auto* inside = new QVBoxLayout(group_frames_[g]);
    inside->setContentsMargins(2, 2, 2, 2);
    inside->addWidget(group_lists_[g]);
    groups_grid->addWidget(group_frames_[g], g / kGroupColumns, g % kGroupColumns);
    group_frames_[g]->hide();
  }

  group_password_ = Named(new QLineEdit(this), QStringLiteral("Text11"));
  group_password_->setEchoMode(QLineEdit::Password);
  group_password_->setPlaceholderText(QStringLiteral("上传密码"));
  group_password_->hide();
  upload_groups_ = NamedButton(QStringLiteral("Command29"), QStringLiteral("上传分组信息"), this);
  upload_groups_->hide();
  auto* back = NamedButton(QStringLiteral("Command24"), QStringLiteral("返回"), this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(group_password_);
  bottom->addWidget(upload_groups_);
  bottom->addStretch();
  bottom->addWidget(back);

  for (GroupListWidget* list : group_lists_) {
    connect(list, &GroupListWidget::NameDropped, this,
            [this, list](int source_group, int source_index, int target_index) {
              DropName(source_group, source_index, list->Group(), target_index);
            });
    // Once a name was dragged there is a division worth sending.
    connect(list, &GroupListWidget::DragEnded, this, [this] {
      upload_groups_->setEnabled(true);
      group_password_->show();
    });
  }
  connect(tabs_, &QTabBar::currentChanged, this, [this] { emit TabChosen(CurrentTab()); });
  connect(upload_groups_, &QPushButton::clicked, this, &ManualPickPanel::UploadGroupsPressed);
  connect(group_password_, &QLineEdit::textChanged, this, &ManualPickPanel::PasswordTyped);
  connect(back, &QPushButton::clicked, this, [this] {
    hide();
    emit BackPressed();
  });

  auto* column = column_ = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 4, 4);
  column->addWidget(tabs_);
  column->addLayout(pools_row, 1);
  column->addLayout(groups_grid, 1);
  column->addLayout(bottom);
  hide();
}

void ManualPickPanel::ShowTab(const ManualTab& contents) {
  for (QListWidget* list : pool_lists_) list->clear();
  group_password_->hide();
  upload_groups_->hide();
  column_->setStretchFactor(pools_row_, contents.shows_groups ? 0 : 1);
  column_->setStretchFactor(groups_grid_, contents.shows_groups ? 1 : 0);
  if (contents.shows_groups) {
    upload_groups_->show();
    upload_groups_->setEnabled(false);
    for (QGroupBox* frame : pool_frames_) frame->hide();
    for (QGroupBox* frame : group_frames_) frame->show();
    return;
  }
  for (int i = 0; i < 4; ++i) {
    pool_frames_[i]->setTitle(contents.captions[i]);
    pool_frames_[i]->show();
  }
  for (QGroupBox* frame : group_frames_) frame->hide();
  for (int i = 0; i < 4; ++i) pool_lists_[i]->addItems(contents.lists[i]);
}

void ManualPickPanel::ShowGroup(int group) {
  group_lists_[group]->clear();
  group_lists_[group]->addItems(division_.Group(group));
}

void ManualPickPanel::FillGroups(const DrawPools& pools) {
  division_.Fill(pools);
  for (int g = 0; g < kGroupCount; ++g) ShowGroup(g);
}

void ManualPickPanel::DropName(int source_group, int source_index, int target_group,
                               int target_index) {
  const std::optional<int> selected =
      division_.Move({source_group, source_index, target_group, target_index});
  if (!selected) return;
  ShowGroup(source_group);
  if (target_group != source_group) ShowGroup(target_group);
  group_lists_[target_group]->setCurrentRow(*selected);
}

}  // namespace zorvanix
