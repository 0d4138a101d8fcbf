#include "manage/criteria_page.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "manage/page_widgets.h"

namespace zorvanix {
namespace {

RecordListPageSetup CriteriaSetup() {
  RecordListPageSetup setup;
  setup.page = "Frame_manage_6";
  setup.caption = QStringLiteral("评分标准");
  setup.chooser_label = "Label37";
  setup.chooser_caption = QStringLiteral("课题：");
  setup.chooser = "Combo3";
  setup.chooser_placeholder = QStringLiteral("课题");
  setup.list = "List5";
  setup.status = "Label38";
  setup.warning = QStringLiteral("[警告]删除标准不会影响已记录的积分！");
  setup.select_all = "Command34";
  setup.invert = "Command33";
  setup.remove = "Command32";
  setup.save = "Command31";
  setup.select_to_delete = QStringLiteral("请选择需要删除的标准！");
  setup.deleted = QStringLiteral("已删除%1条标准！");
  return setup;
}

QByteArray IndexedName(const char* name, int i) {
  return QByteArray(name) + '_' + QByteArray::number(i);
}

}  // namespace

CriteriaPage::CriteriaPage(PageServices& services, std::function<QString()> score_page_class,
                           QWidget* parent)
    : RecordListPage(services, CriteriaSetup(), parent),
      score_page_class_(std::move(score_page_class)) {
  new_button_ = MakeButton(this, "Command37", QStringLiteral("新建"));
  new_button_->setEnabled(false);
  chooser_row_->addWidget(new_button_);
  side_column_->addWidget(BuildEditPanel());
  side_column_->addWidget(BuildNewPanel());
  side_column_->addStretch(1);
  connect(new_button_, &QPushButton::clicked, this, [this] { OpenNewPanel(); });
}

QGroupBox* CriteriaPage::BuildEditPanel() {
  edit_topic_ = MakeLineEdit(this, "Text21");
  edit_topic_->setReadOnly(true);
  edit_id_ = MakeLineEdit(this, "Text25");
  edit_id_->setReadOnly(true);
  edit_text_ = MakeLineEdit(this, "Text26");
  edit_score_ = MakeLineEdit(this, "Text27");
  const EditPanel panel = MakeEditPanel(this, "Frame6", QStringLiteral("计分标准修改"),
                                        {{QStringLiteral("所属课题:"), edit_topic_},
                                         {QStringLiteral("ID:"), edit_id_},
                                         {QStringLiteral("标准:"), edit_text_},
                                         {QStringLiteral("计分:"), edit_score_}},
                                        "Command29", "Command30");
  connect(panel.change, &QPushButton::clicked, this, [this] { SendEdit(); });
  edit_panel_ = panel.frame;
  return edit_panel_;
}

QGroupBox* CriteriaPage::BuildNewPanel() {
  new_panel_ = MakeFrame(this, "Frame7", QStringLiteral("新建标准"));
  new_topic_ = MakeLineEdit(new_panel_, "Text28");
  new_topic_->setEnabled(false);
  existing_ = MakeList(new_panel_, "List6");
  existing_->setEnabled(false);
  existing_->setMaximumHeight(64);
  auto* grid = new QGridLayout(new_panel_);
  grid->addWidget(new QLabel(QStringLiteral("所属课题："), new_panel_), 0, 0);
  grid->addWidget(new_topic_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("已有标准："), new_panel_), 1, 0, Qt::AlignTop);
  grid->addWidget(existing_, 1, 1, 1, 3);
  for (int i = 0; i < 5; ++i) {
    new_texts_[i] = MakeLineEdit(new_panel_, IndexedName("txtNewScale", i).constData());
    new_scores_[i] = MakeLineEdit(new_panel_, IndexedName("txtNewScore", i).constData());
    new_texts_[i]->setMinimumWidth(150);
    new_scores_[i]->setFixedWidth(48);
    grid->addWidget(new QLabel(QStringLiteral("新标准%1：").arg(i + 1), new_panel_), i + 2, 0);
    grid->addWidget(new_texts_[i], i + 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("评分："), new_panel_), i + 2, 2);
    grid->addWidget(new_scores_[i], i + 2, 3);
  }
  QPushButton* confirm = MakeButton(new_panel_, "Command35", QStringLiteral("确定"));
  QPushButton* cancel = MakeButton(new_panel_, "Command36", QStringLiteral("取消"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(confirm);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 7, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  connect(confirm, &QPushButton::clicked, this, [this] { SendNewCriteria(); });
  connect(cancel, &QPushButton::clicked, new_panel_, &QWidget::hide);
  new_panel_->hide();
  return new_panel_;
}

void CriteriaPage::Open() {
  RecordListPage::Open();
  new_button_->setEnabled(false);
}

void CriteriaPage::Clear() {
  RecordListPage::Clear();
  new_button_->setEnabled(false);
  edit_panel_->hide();
  new_panel_->hide();
  ClearNewRows();
}

void CriteriaPage::ClearNewRows() {
  for (int i = 0; i < 5; ++i) {
    new_texts_[i]->clear();
    new_scores_[i]->clear();
  }
}

QString CriteriaPage::FetchEntries(const QString& topic) {
  return services_.Service().GetCriteria(topic);
}

PostResult CriteriaPage::PostDeletions(const QString& topic, const QString& ids) {
  return services_.Service().DeleteCriteria(services_.CurrentUser(), services_.OperationPassword(),
                                            topic, ids);
}

void CriteriaPage::AfterLoad() { new_button_->setEnabled(true); }

void CriteriaPage::OpenNewPanel() {
  edit_panel_->hide();
  new_panel_->show();
  new_topic_->setText(ChooserText());
  existing_->clear();
  existing_->addItems(ListEntries(list_));
  services_.ShowTopicCriteria();
}

void CriteriaPage::SendNewCriteria() {
  if (!services_.ChangeAllowed()) return;
  QStringList texts;
  QStringList scores;
  for (int i = 0; i < 5; ++i) {
    if (!new_scores_[i]->text().isEmpty()) {
      new_scores_[i]->setText(NormalizeNumberText(new_scores_[i]->text()));
    }
    texts.append(new_texts_[i]->text());
    scores.append(new_scores_[i]->text());
  }
  for (const QString& text : std::as_const(texts)) {
    if (const QString problem = GbkProblem(text); !problem.isEmpty()) {
      services_.Prompts().ShowMessage(QStringLiteral("提示"), problem, MessageIcon::kWarning);
      return;
    }
  }
  QString filled = texts.join(u'\t') + scores.join(u'\t');
  filled.remove(u'\t');
  if (filled.trimmed().isEmpty()) {
    services_.Prompts().ShowMessage(
        QStringLiteral("提示"), QStringLiteral("至少填写一个标准或评分！"), MessageIcon::kWarning);
    return;
  }
  const PostResult result = services_.Service().NewCriteria(
      services_.CurrentUser(), services_.OperationPassword(), new_topic_->text(), texts, scores);
  if (!services_.CheckEdit(result, status_, QStringLiteral("操作失败！"))) return;
  services_.DownloadServerRecord();
  LoadChosen();
  services_.ShowSuccess(QStringLiteral("操作成功！"));
  services_.ShowTopicCriteria();
  new_panel_->hide();
  ClearNewRows();
}

void CriteriaPage::OpenEditPanel(const QString& entry) {
  edit_topic_->setText(ChooserText());
  edit_id_->setText(EntryField(entry, 0));
  edit_text_->setText(EntryField(entry, 1));
  edit_score_->setText(EntryField(entry, 2));
  new_panel_->hide();
  edit_panel_->show();
}

void CriteriaPage::SendEdit() {
  if (const QString problem = GbkProblem(edit_text_->text()); !problem.isEmpty()) {
    services_.Prompts().ShowMessage(QStringLiteral("提示"), problem, MessageIcon::kWarning);
    return;
  }
  const PostResult result = services_.Service().EditCriterion(
      services_.CurrentUser(), services_.OperationPassword(), score_page_class_(), edit_id_->text(),
      edit_text_->text(), NormalizeNumberText(edit_score_->text()));
  if (!services_.CheckEdit(result, status_)) return;
  LoadChosen();
  services_.DownloadServerRecord();
  services_.ShowSuccess();
  services_.ShowTopicCriteria();
  edit_panel_->hide();
}

}  // namespace zorvanix
