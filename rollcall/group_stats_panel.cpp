#include "rollcall/group_stats_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace zorvanix {
namespace {

// The ranking scrolls this far past its widest line.
constexpr int kRankingScrollMargin = 200;

template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

}  // namespace

GroupStatsPanel::GroupStatsPanel(QWidget* window) : QObject(window) {
  frame = Named(new QGroupBox(QStringLiteral("小组统计"), window), QStringLiteral("Frame8"));
  ranking = Named(new ExtentListWidget(frame), QStringLiteral("List9"));
  back = Named(new QPushButton(QStringLiteral("返回"), frame), QStringLiteral("Command28"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(QStringLiteral("双击列表项目可显示详细信息"), frame), 1);
  bottom->addWidget(back);
  auto* column = new QVBoxLayout(frame);
  column->addWidget(ranking, 1);
  column->addLayout(bottom);
  frame->hide();

  detail = Named(new QFrame(window), QStringLiteral("Frame1"));
  detail->setFrameShape(QFrame::StyledPanel);
  rank = Named(new QLabel(detail), QStringLiteral("Label22"));
  QFont big = rank->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  rank->setFont(big);
  score = Named(new QLabel(detail), QStringLiteral("Label23"));
  score->setFont(big);
  contributors = Named(new QLineEdit(detail), QStringLiteral("Text7"));
  contributors->setReadOnly(true);
  members = Named(new QLineEdit(detail), QStringLiteral("Text12"));
  members->setReadOnly(true);
  detail_back = Named(new QPushButton(QStringLiteral("返回"), detail), QStringLiteral("Command2"));
  auto* heading = new QHBoxLayout;
  heading->addWidget(rank);
  heading->addWidget(score);
  heading->addStretch();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("贡献者："), contributors);
  form->addRow(QStringLiteral("组员："), members);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(detail_back);
  auto* detail_column = new QVBoxLayout(detail);
  detail_column->addLayout(heading);
  detail_column->addLayout(form);
  detail_column->addStretch();
  detail_column->addLayout(buttons);
  detail->hide();
}

void GroupStatsPanel::ShowStatistics(const QList<GroupStanding>& standings) {
  ranking->clear();
  for (const GroupStanding& standing : standings) ranking->addItem(standing.Line());
  ranking->SetHorizontalExtent(ListTextWidth(*ranking) + kRankingScrollMargin);
}

void GroupStatsPanel::ShowDetail(const QString& statistics_line) {
  detail->setGeometry(frame->geometry());
  detail->show();
  detail->raise();
  frame->hide();
  const GroupDetail group = GroupDetailOf(statistics_line);
  rank->setText(group.rank);
  score->setText(group.score);
  contributors->setText(group.contributors);
  members->setText(group.members);
}

}  // namespace zorvanix
