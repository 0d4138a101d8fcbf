#include "manage/scores_page.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "core/service_time.h"
#include "manage/page_widgets.h"
#include "manage/score_export.h"

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

constexpr char16_t kExportFilter[] = u"CSV 文件(*.csv)|*.csv|Excel 工作簿(*.xlsx)|*.xlsx";

}  // namespace

ScoresPage::ScoresPage(PageServices& services, QWidget* parent)
    : RecordListPage(services, ScoresSetup(), parent) {
  side_column_->addWidget(BuildEditPanel());
  side_column_->addStretch(1);
  export_ = MakeButton(this, "CmdExport", QStringLiteral("导出"));
  chooser_row_->addWidget(export_);
  connect(export_, &QPushButton::clicked, this, [this] { Export(); });
  UpdateExportButton();
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

void ScoresPage::Open() {
  RecordListPage::Open();
  UpdateExportButton();
}

void ScoresPage::Clear() {
  RecordListPage::Clear();
  edit_panel_->hide();
  UpdateExportButton();
}

void ScoresPage::UpdateExportButton() {
  const bool loaded = list_->count() > 0;
  export_->setEnabled(loaded);
  export_->setToolTip(loaded ? QStringLiteral("把列表中的计分记录导出为 CSV 或 Excel 文件")
                             : QStringLiteral("请先选择班级，载入计分记录后再导出。"));
}

void ScoresPage::Export() {
  QStringList records;
  for (int row = 0; row < list_->count(); ++row) records.append(list_->item(row)->text());
  if (records.isEmpty()) return;
  QString path = services_.Prompts().SaveFileName(QStringLiteral("导出计分"),
                                                  QString::fromUtf16(kExportFilter));
  if (path.isEmpty()) return;
  // The file type follows the name's extension (the dialog adds that of the
  // type chosen in it); a name still without one is a CSV.
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  QString error;
  if (!WriteScoreExport(path, ExportFormatOf(path), records, &error)) {
    services_.Prompts().ShowMessage(
        QStringLiteral("导出失败"),
        QStringLiteral("导出失败：") + error + QStringLiteral("\r\n保存位置：") + shown,
        MessageIcon::kWarning);
    return;
  }
  services_.Prompts().ShowMessage(
      QStringLiteral("导出成功"),
      QStringLiteral("已导出%1条计分记录。\r\n保存位置：").arg(records.size()) + shown,
      MessageIcon::kInformation);
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
