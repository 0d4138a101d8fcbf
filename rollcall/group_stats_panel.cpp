#include "rollcall/group_stats_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/widget_names.h"

namespace zorvanix {
namespace {

// The ranking scrolls this far past its widest line.
constexpr int kRankingScrollMargin = 200;

}  // namespace

GroupStatsPanel::GroupStatsPanel(QWidget* window) : QObject(window) {
  frame_ = Named(new QGroupBox(QStringLiteral("小组统计"), window), QStringLiteral("Frame8"));
  ranking_ = Named(new ExtentListWidget(frame_), QStringLiteral("List9"));
  auto* back = NamedButton(QStringLiteral("Command28"), QStringLiteral("返回"), frame_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(QStringLiteral("双击列表项目可显示详细信息"), frame_), 1);
  bottom->addWidget(back);
  auto* column = new QVBoxLayout(frame_);
  column->addWidget(ranking_, 1);
  column->addLayout(bottom);
  frame_->hide();

  detail_ = Named(new QFrame(window), QStringLiteral("Frame1"));
  detail_->setFrameShape(QFrame::StyledPanel);
  rank_ = Named(new QLabel(detail_), QStringLiteral("Label22"));
  QFont big = rank_->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  rank_->setFont(big);
  score_ = Named(new QLabel(detail_), QStringLiteral("Label23"));
  score_->setFont(big);
  contributors_ = Named(new QLineEdit(detail_), QStringLiteral("Text7"));
  contributors_->setReadOnly(true);
  members_ = Named(new QLineEdit(detail_), QStringLiteral("Text12"));
  members_->setReadOnly(true);
  auto* detail_back = NamedButton(QStringLiteral("Command2"), QStringLiteral("返回"), detail_);
  auto* heading = new QHBoxLayout;
  heading->addWidget(rank_);
  heading->addWidget(score_);
  heading->addStretch();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("贡献者："), contributors_);
  form->addRow(QStringLiteral("组员："), members_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(detail_back);
  auto* detail_column = new QVBoxLayout(detail_);
  detail_column->addLayout(heading);
  detail_column->addLayout(form);
  detail_column->addStretch();
  detail_column->addLayout(buttons);
  detail_->hide();

  connect(back, &QPushButton::clicked, this, [this] {
    frame_->hide();
    emit BackPressed();
  });
  connect(ranking_, &QListWidget::itemDoubleClicked, this,
          [this](const QListWidgetItem* item) { ShowDetail(item->text()); });
  connect(detail_back, &QPushButton::clicked, this, [this] {
    frame_->show();
    detail_->hide();
  });
}

void GroupStatsPanel::Open(const QRect& place, const QList<GroupStanding>& standings) {
  frame_->setGeometry(place);
  frame_->show();
  frame_->raise();
  ShowStatistics(standings);
}

void GroupStatsPanel::ShowStatistics(const QList<GroupStanding>& standings) {
  ranking_->clear();
  for (const GroupStanding& standing : standings) ranking_->addItem(standing.Line());
  ranking_->SetHorizontalExtent(ListTextWidth(*ranking_) + kRankingScrollMargin);
}

void GroupStatsPanel::ShowDetail(const QString& statistics_line) {
  detail_->setGeometry(frame_->geometry());
  detail_->show();
  detail_->raise();
  frame_->hide();
  const GroupDetail group = GroupDetailOf(statistics_line);
  rank_->setText(group.rank);
  score_->setText(group.score);
  contributors_->setText(group.contributors);
  members_->setText(group.members);
}

}  // namespace zorvanix
