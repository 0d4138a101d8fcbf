#include "manage/scores_page.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "core/service_time.h"
#include "manage/page_widgets.h"

namespace zorvanix {
namespace {

RecordListPageSetup ScoresSetup() {
  RecordListPageSetup setup;
  setup.page = "Frame_manage_3";
  setup.caption = QStringLiteral("计分管理");
  setup.chooser_label = "Label56";
  setup.chooser_caption = QStringLiteral("选择班级：");
  setup.chooser = "Combo1";
  setup.chooser_placeholder = QStringLiteral("班级");
  setup.list = "List3";
  setup.status = "Label16";
  setup.warning = QStringLiteral("[警告]计分信息删除后不可恢复！");
  setup.select_all = "Command17";
  setup.invert = "Command16";
  setup.remove = "Command15";
  setup.save = "Command7";
  setup.select_to_delete = QStringLiteral("请选择需要删除的计分！");
  setup.deleted = QStringLiteral("已删除%1条计分！");
  return setup;
}

}  // namespace

ScoresPage::ScoresPage(PageServices& services, QWidget* parent)
    : RecordListPage(services, ScoresSetup(), parent) {
  side_column_->addWidget(BuildEditPanel());
  side_column_->addStretch(1);
}

QGroupBox* ScoresPage::BuildEditPanel() {
  id_ = MakeLineEdit(this, "Text16");
  id_->setReadOnly(true);
  student_ = MakeLineEdit(this, "Text17");
  student_->setReadOnly(true);
  score_ = MakeLineEdit(this, "Text18");
  time_ = MakeLineEdit(this, "Text19");
  time_->setMinimumWidth(150);
  topic_ = MakeLineEdit(this, "Text20");
  note_ = MakeLineEdit(this, "Text24");
  const EditPanel panel = MakeEditPanel(this, "Frame4", QStringLiteral("计分修改"),
                                        {{QStringLiteral("ID:"), id_},
                                         {QStringLiteral("姓名:"), student_},
                                         {QStringLiteral("计分:"), score_},
                                         {QStringLiteral("时间:"), time_},
                                         {QStringLiteral("课题:"), topic_},
                                         {QStringLiteral("说明:"), note_}},
                                        "Command23", "Command22");
  connect(panel.change, &QPushButton::clicked, this, [this] { SendEdit(); });
  edit_panel_ = panel.frame;
  return edit_panel_;
}

void ScoresPage::Clear() {
  RecordListPage::Clear();
  edit_panel_->hide();
}

QString ScoresPage::FetchEntries(const QString& class_name) {
  return services_.Service().GetScores(class_name);
}

PostResult ScoresPage::PostDeletions(const QString& class_name, const QString& ids) {
  return services_.Service().DeleteScores(services_.CurrentUser(), services_.OperationPassword(),
                                          class_name, ids);
}

void ScoresPage::OpenEditPanel(const QString& entry) {
  QLineEdit* const boxes[] = {id_, student_, score_, time_, topic_, note_};
  for (int i = 0; i < 6; ++i) boxes[i]->setText(EntryField(entry, i));
  edit_panel_->show();
}

void ScoresPage::SendEdit() {
  const PostResult result =
      services_.Service().EditScore(services_.CurrentUser(), services_.OperationPassword(),
                                    ChooserText(), id_->text(), NormalizeNumberText(score_->text()),
                                    ServiceTimestamp(time_->text()), topic_->text(), note_->text());
  if (!services_.CheckEdit(result, status_)) return;
  LoadChosen();
  services_.ShowSuccess();
  edit_panel_->hide();
}

}  // namespace zorvanix
