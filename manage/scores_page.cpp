#include "manage/scores_page.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "core/service_time.h"
#include "manage/page_widgets.h"

namespace zorvanix {
namespace {

const QString kWarning = QStringLiteral("[警告]计分信息删除后不可恢复！");

}  // namespace

ScoresPage::ScoresPage(PageServices& services, QWidget* parent)
    : ManagePage("Frame_manage_3", QStringLiteral("计分管理"), parent), services_(services) {
  class_chooser_ = MakeChooser(this, "Combo1", QStringLiteral("班级"));
  list_ = MakeList(this, "List3");
  status_ = MakeLabel(this, "Label16", kWarning);
  status_->setWordWrap(true);
  status_->setStyleSheet(QStringLiteral("color: #b00000;"));
  QPushButton* select_all = MakeButton(this, "Command17", QStringLiteral("全选"));
  QPushButton* invert = MakeButton(this, "Command16", QStringLiteral("反选"));
  QPushButton* remove = MakeButton(this, "Command15", QStringLiteral("删除"));
  QPushButton* save = MakeButton(this, "Command7", QStringLiteral("保存到服务器"));

  auto* class_row = new QHBoxLayout;
  class_row->addWidget(MakeLabel(this, "Label56", QStringLiteral("选择班级：")));
  class_row->addWidget(class_chooser_, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {select_all, invert, remove, save}) buttons->addWidget(button);
  auto* left = new QVBoxLayout;
  left->addLayout(class_row);
  left->addWidget(list_, 1);
  left->addLayout(buttons);
  left->addWidget(status_);
  auto* right = new QVBoxLayout;
  right->addWidget(BuildEditPanel());
  right->addStretch(1);
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);

  connect(class_chooser_, &QComboBox::activated, this, [this] { LoadChosenClass(); });
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { OpenEditPanel(item); });
  connect(select_all, &QPushButton::clicked, this, [this] { SelectAll(list_); });
  connect(invert, &QPushButton::clicked, this, [this] { InvertSelection(list_); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(save, &QPushButton::clicked, this, [this] { SendDeletions(); });
}

QGroupBox* ScoresPage::BuildEditPanel() {
  edit_panel_ = MakeFrame(this, "Frame4", QStringLiteral("计分修改"));
  id_ = MakeLineEdit(edit_panel_, "Text16");
  id_->setReadOnly(true);
  student_ = MakeLineEdit(edit_panel_, "Text17");
  student_->setReadOnly(true);
  score_ = MakeLineEdit(edit_panel_, "Text18");
  time_ = MakeLineEdit(edit_panel_, "Text19");
  topic_ = MakeLineEdit(edit_panel_, "Text20");
  note_ = MakeLineEdit(edit_panel_, "Text24");
  QPushButton* change = MakeButton(edit_panel_, "Command23", QStringLiteral("修改"));
  QPushButton* cancel = MakeButton(edit_panel_, "Command22", QStringLiteral("取消"));
  auto* form = new QFormLayout(edit_panel_);
  form->addRow(QStringLiteral("ID:"), id_);
  form->addRow(QStringLiteral("姓名:"), student_);
  form->addRow(QStringLiteral("计分:"), score_);
  form->addRow(QStringLiteral("时间:"), time_);
  form->addRow(QStringLiteral("课题:"), topic_);
  form->addRow(QStringLiteral("说明:"), note_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(change);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  connect(change, &QPushButton::clicked, this, [this] { SendEdit(); });
  connect(cancel, &QPushButton::clicked, edit_panel_, &QWidget::hide);
  edit_panel_->hide();
  return edit_panel_;
}

QString ScoresPage::ClassChooserText() const { return ShownText(class_chooser_); }

void ScoresPage::Open() {
  RefillChooser(class_chooser_, services_.CachedClassNames());
  list_->clear();
}

void ScoresPage::Clear() {
  class_chooser_->clear();
  list_->clear();
  pending_deletions_.clear();
  edit_panel_->hide();
  status_->setText(kWarning);
}

void ScoresPage::LoadChosenClass() {
  const QString reply = services_.Service().GetScores(ClassChooserText());
  list_->clear();
  for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
    if (!line.isEmpty()) list_->addItem(line);
  }
  pending_deletions_.clear();
}

void ScoresPage::OpenEditPanel(QListWidgetItem* item) {
  const QString entry = item->text();
  // A line without an ID names no record the service could change.
  if (EntryField(entry, 0).isEmpty()) return;
  QLineEdit* const boxes[] = {id_, student_, score_, time_, topic_, note_};
  for (int i = 0; i < 6; ++i) boxes[i]->setText(EntryField(entry, i));
  edit_panel_->show();
}

void ScoresPage::SendEdit() {
  const PostResult result = services_.Service().EditScore(
      services_.CurrentUser(), services_.OperationPassword(), ClassChooserText(), id_->text(),
      NormalizeNumberText(score_->text()), ServiceTimestamp(time_->text()), topic_->text(),
      note_->text());
  if (!services_.CheckEdit(result, status_)) return;
  LoadChosenClass();
  services_.ShowSuccess();
  edit_panel_->hide();
}

void ScoresPage::DeleteSelected() {
  if (!services_.ChangeAllowed()) return;
  pending_deletions_.clear();
  const QStringList removed = RemoveSelectedEntries(list_);
  for (const QString& entry : removed) pending_deletions_ += u'|' + EntryField(entry, 0);
  if (removed.isEmpty()) {
    status_->setText(QStringLiteral("请选择需要删除的计分！"));
    return;
  }
  SendDeletions();
  status_->setText(QStringLiteral("已删除%1条计分！").arg(removed.size()));
}

void ScoresPage::SendDeletions() {
  const PostResult result =
      services_.Service().DeleteScores(services_.CurrentUser(), services_.OperationPassword(),
                                       ClassChooserText(), pending_deletions_);
  services_.ReportSave(result, status_, PageServices::MainWindow::kRefresh);
}

}  // namespace zorvanix
