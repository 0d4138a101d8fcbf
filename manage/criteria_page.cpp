#include "manage/criteria_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
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

const QString kWarning = QStringLiteral("[警告]删除标准不会影响已记录的积分！");

QByteArray IndexedName(const char* name, int i) { return QByteArray(name) + '_' + QByteArray::number(i); }

}  // namespace

CriteriaPage::CriteriaPage(PageServices& services, std::function<QString()> score_page_class,
                           QWidget* parent)
    : ManagePage("Frame_manage_6", QStringLiteral("评分标准"), parent),
      services_(services),
      score_page_class_(std::move(score_page_class)) {
  topic_chooser_ = MakeChooser(this, "Combo3", QStringLiteral("课题"));
  new_button_ = MakeButton(this, "Command37", QStringLiteral("新建"));
  list_ = MakeList(this, "List5");
  status_ = MakeLabel(this, "Label38", kWarning);
  status_->setWordWrap(true);
  status_->setStyleSheet(QStringLiteral("color: #b00000;"));
  QPushButton* select_all = MakeButton(this, "Command34", QStringLiteral("全选"));
  QPushButton* invert = MakeButton(this, "Command33", QStringLiteral("反选"));
  QPushButton* remove = MakeButton(this, "Command32", QStringLiteral("删除"));
  QPushButton* save = MakeButton(this, "Command31", QStringLiteral("保存到服务器"));

  auto* topic_row = new QHBoxLayout;
  topic_row->addWidget(MakeLabel(this, "Label37", QStringLiteral("课题：")));
  topic_row->addWidget(topic_chooser_, 1);
  topic_row->addWidget(new_button_);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {select_all, invert, remove, save}) buttons->addWidget(button);
  auto* left = new QVBoxLayout;
  left->addLayout(topic_row);
  left->addWidget(list_, 1);
  left->addLayout(buttons);
  left->addWidget(status_);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildEditPanel());
  right->addWidget(BuildNewPanel());
  right->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(right, 0);

  new_button_->setEnabled(false);
  connect(topic_chooser_, &QComboBox::activated, this, [this] { LoadChosenTopic(); });
  connect(new_button_, &QPushButton::clicked, this, [this] { OpenNewPanel(); });
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenEditPanel(item); });
  connect(select_all, &QPushButton::clicked, this, [this] { SelectAll(list_); });
  connect(invert, &QPushButton::clicked, this, [this] { InvertSelection(list_); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(save, &QPushButton::clicked, this, [this] { SendDeletions(); });
}

QGroupBox* CriteriaPage::BuildEditPanel() {
  edit_panel_ = MakeFrame(this, "Frame6", QStringLiteral("计分标准修改"));
  edit_topic_ = MakeLineEdit(edit_panel_, "Text21");
  edit_topic_->setReadOnly(true);
  edit_id_ = MakeLineEdit(edit_panel_, "Text25");
  edit_id_->setReadOnly(true);
  edit_text_ = MakeLineEdit(edit_panel_, "Text26");
  edit_score_ = MakeLineEdit(edit_panel_, "Text27");
  QPushButton* change = MakeButton(edit_panel_, "Command29", QStringLiteral("修改"));
  QPushButton* cancel = MakeButton(edit_panel_, "Command30", QStringLiteral("取消"));
  auto* form = new QFormLayout(edit_panel_);
  form->addRow(QStringLiteral("所属课题:"), edit_topic_);
  form->addRow(QStringLiteral("ID:"), edit_id_);
  form->addRow(QStringLiteral("标准:"), edit_text_);
  form->addRow(QStringLiteral("计分:"), edit_score_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(change);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  connect(change, &QPushButton::clicked, this, [this] { SendEdit(); });
  connect(cancel, &QPushButton::clicked, edit_panel_, &QWidget::hide);
  edit_panel_->hide();
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
  RefillChooser(topic_chooser_, services_.CachedTopicNames());
  list_->clear();
  new_button_->setEnabled(false);
}

void CriteriaPage::Clear() {
  topic_chooser_->clear();
  list_->clear();
  new_button_->setEnabled(false);
  pending_deletions_.clear();
  edit_panel_->hide();
  new_panel_->hide();
  for (int i = 0; i < 5; ++i) {
    new_texts_[i]->clear();
    new_scores_[i]->clear();
  }
  status_->setText(kWarning);
}

void CriteriaPage::LoadChosenTopic() {
  list_->clear();
  const QString reply = services_.Service().GetCriteria(ShownText(topic_chooser_));
  for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
    if (!line.isEmpty()) list_->addItem(line);
  }
  pending_deletions_.clear();
  new_button_->setEnabled(true);
}

void CriteriaPage::OpenNewPanel() {
  edit_panel_->hide();
  new_panel_->show();
  new_topic_->setText(ShownText(topic_chooser_));
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
  QString filled = texts.join(u'\t') + scores.join(u'\t');
  filled.remove(u'\t');
  if (filled.trimmed().isEmpty()) {
    services_.Prompts().ShowMessage(QStringLiteral("提示"), QStringLiteral("至少填写一个标准或评分！"),
                                    MessageIcon::kWarning);
    return;
  }
  const PostResult result = services_.Service().NewCriteria(
      services_.CurrentUser(), services_.OperationPassword(), new_topic_->text(), texts, scores);
  if (!services_.CheckEdit(result, status_, QStringLiteral("操作失败！"))) return;
  services_.DownloadServerRecord();
  LoadChosenTopic();
  services_.ShowSuccess(QStringLiteral("操作成功！"));
  services_.ShowTopicCriteria();
  new_panel_->hide();
  for (int i = 0; i < 5; ++i) {
    new_texts_[i]->clear();
    new_scores_[i]->clear();
  }
}

void CriteriaPage::OpenEditPanel(QListWidgetItem* item) {
  const QString entry = item->text();
  // A line without an ID names no criterion the service could change.
  if (EntryField(entry, 0).isEmpty()) return;
  edit_topic_->setText(ShownText(topic_chooser_));
  edit_id_->setText(EntryField(entry, 0));
  edit_text_->setText(EntryField(entry, 1));
  edit_score_->setText(EntryField(entry, 2));
  new_panel_->hide();
  edit_panel_->show();
}

void CriteriaPage::SendEdit() {
  const PostResult result = services_.Service().EditCriterion(
      services_.CurrentUser(), services_.OperationPassword(), score_page_class_(),
      edit_id_->text(), edit_text_->text(), NormalizeNumberText(edit_score_->text()));
  if (!services_.CheckEdit(result, status_)) return;
  LoadChosenTopic();
  services_.DownloadServerRecord();
  services_.ShowSuccess();
  services_.ShowTopicCriteria();
  edit_panel_->hide();
}

void CriteriaPage::DeleteSelected() {
  if (!services_.ChangeAllowed()) return;
  pending_deletions_.clear();
  const QStringList removed = RemoveSelectedEntries(list_);
  for (const QString& entry : removed) pending_deletions_ += u'|' + EntryField(entry, 0);
  if (removed.isEmpty()) {
    status_->setText(QStringLiteral("请选择需要删除的标准！"));
  } else {
    SendDeletions();
    status_->setText(QStringLiteral("已删除%1条标准！").arg(removed.size()));
  }
  services_.ShowTopicCriteria();
}

void CriteriaPage::SendDeletions() {
  const PostResult result =
      services_.Service().DeleteCriteria(services_.CurrentUser(), services_.OperationPassword(),
                                         ShownText(topic_chooser_), pending_deletions_);
  services_.ReportSave(result, status_, PageServices::MainWindow::kRefresh);
}

}  // namespace zorvanix
