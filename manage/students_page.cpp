#include "manage/students_page.h"

#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manage/page_widgets.h"

namespace zorvanix {
namespace {

NameListPageSetup StudentsSetup() {
  NameListPageSetup setup;
  setup.page = "Frame_manage_2";
  setup.caption = QStringLiteral("学生管理");
  setup.list = "List1";
  setup.box = "Text1";
  setup.box_label = "Label3";
  setup.box_caption = QStringLiteral("添加学生请输入或者导入，然后添加");
  setup.add = "Command1";
  setup.remove = "Command6";
  setup.save = "Command8";
  setup.status = "Label2";
  setup.warning = QStringLiteral("[警告]删除学生后，计分信息将被同时清除！");
  setup.rename = {"Frame3", "Text14", "Text15", "Command21", "Command20"};
  setup.rename_caption = QStringLiteral("学生改名");
  setup.nothing_to_add = QStringLiteral("没有需要添加的学生！");
  setup.added = QStringLiteral("已添加%1名学生！");
  setup.present = QStringLiteral("%1名学生存在，被忽略！");
  setup.select_to_delete = QStringLiteral("请选择需要删除的学生");
  return setup;
}

constexpr char kListFileFilter[] = "Txt Files(*.txt)|*.txt|All Files(*.*)|*.*";

}  // namespace

StudentsPage::StudentsPage(PageServices& services, QWidget* parent)
    : NameListPage(services, StudentsSetup(), parent) {
  class_chooser_ = MakeChooser(this, "Combo2", QStringLiteral("班级"));
  auto* chooser_row = new QHBoxLayout;
  chooser_row->addWidget(class_chooser_, 1);
  left_column_->insertLayout(0, chooser_row);

  QPushButton* import = MakeButton(this, "Command5", QStringLiteral("导入"));
  add_buttons_->insertWidget(1, import);
  QPushButton* select_all = MakeButton(this, "Command2", QStringLiteral("全选"));
  QPushButton* invert = MakeButton(this, "Command3", QStringLiteral("反选"));
  list_buttons_->insertWidget(0, select_all);
  list_buttons_->insertWidget(1, invert);

  for (const char* name :
       {"Command1", "Command2", "Command3", "Command5", "Command6", "Command8"}) {
    class_buttons_.append(findChild<QPushButton*>(QLatin1String(name)));
  }
  EnableButtons(false);

  connect(class_chooser_, &QComboBox::activated, this, [this] { LoadChosenClass(); });
  connect(import, &QPushButton::clicked, this, [this] { ImportFile(); });
  connect(select_all, &QPushButton::clicked, this, [this] { SelectAllStudents(); });
  connect(invert, &QPushButton::clicked, this, [this] { InvertStudents(); });
}

void StudentsPage::Open() {
  RefillChooser(class_chooser_, services_.CachedClassNames());
  list_->clear();
}

void StudentsPage::Clear() {
  NameListPage::Clear();
  class_chooser_->clear();
  EnableButtons(false);
}

void StudentsPage::EnableButtons(bool enabled) {
  for (QPushButton* button : class_buttons_) button->setEnabled(enabled);
}

void StudentsPage::LoadChosenClass() {
  FillList(services_.CachedStudentNames(ChosenText(class_chooser_)));
  EnableButtons(true);
}

bool StudentsPage::ReadyToChange() {
  if (!ChosenText(class_chooser_).isEmpty()) return true;
  status_->setText(QStringLiteral("请先选择班级！"));
  return false;
}

PostResult StudentsPage::PostList(const QStringList& names) {
  return services_.Service().SetStudents(services_.CurrentUser(), services_.OperationPassword(),
                                         ChosenText(class_chooser_), names);
}

QStringList StudentsPage::CachedList() const {
  return services_.CachedStudentNames(ChosenText(class_chooser_));
}

QString StudentsPage::RemovalQuestion(const QStringList& removed) const {
  const qint64 scores = services_.CachedScoreCount(ChosenText(class_chooser_), removed);
  return QStringLiteral("将从“%1”删除%2名学生：%3\r\n连同他们的%4条计分记录一起删除，无法恢复。"
                        "\r\n确定要删除吗？")
      .arg(ChosenText(class_chooser_))
      .arg(removed.size())
      .arg(removed.join(u'、'))
      .arg(scores);
}

PostResult StudentsPage::PostRename(const QString& old_name, const QString& new_name) {
  return services_.Service().RenameStudent(services_.CurrentUser(), services_.OperationPassword(),
                                           old_name, new_name, ChosenText(class_chooser_));
}

void StudentsPage::ImportFile() {
  name_box_->clear();
  const QString path =
      services_.Prompts().OpenFileName(QStringLiteral("打开"), QLatin1String(kListFileFilter));
  if (path.isEmpty() || !QFile::exists(path)) return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    services_.Prompts().ShowMessage(
        QStringLiteral("错误"),
        QStringLiteral("无法读取文件：%1\r\n%2").arg(path, file.errorString()),
        MessageIcon::kWarning);
    return;
  }
  name_box_->setPlainText(DecodeNameListFile(file.readAll()));
  if (!name_box_->toPlainText().isEmpty()) {
    status_->setText(QStringLiteral("已成功导入，请检查后点击添加！"));
  }
}

void StudentsPage::SelectAllStudents() {
  status_->clear();
  SelectAll(list_);
  status_->setText(QStringLiteral("成功选择了%1个学生！").arg(list_->count()));
}

void StudentsPage::InvertStudents() {
  status_->clear();
  InvertSelection(list_);
  status_->setText(QStringLiteral("成功反向选择了%1个学生！").arg(list_->count()));
}

}  // namespace zorvanix
