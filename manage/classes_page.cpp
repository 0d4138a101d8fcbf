#include "manage/classes_page.h"

namespace zorvanix {
namespace {

NameListPageSetup ClassesSetup() {
  NameListPageSetup setup;
  setup.page = "Frame_manage_1";
  setup.caption = QStringLiteral("班级管理");
  setup.list = "List2";
  setup.box = "Text5";
  setup.box_label = "Label55";
  setup.box_caption = QStringLiteral("增加班级请输入后点击添加按钮");
  setup.add = "Command10";
  setup.remove = "Command9";
  setup.save = "Command4";
  setup.status = "Label6";
  setup.warning = QStringLiteral("[警告]删除班级时，同时清除学生信息和计分信息！");
  setup.rename = {"Frame2", "Text12", "Text13", "Command18", "Command19"};
  setup.rename_caption = QStringLiteral("班级改名");
  setup.nothing_to_add = QStringLiteral("没有需要添加的班级！");
  setup.added = QStringLiteral("已添加%1个班级！");
  setup.present = QStringLiteral("%1个班级名称已存在，被忽略！");
  setup.select_to_delete = QStringLiteral("请选择需要删除的班级，然后点击删除按钮！");
  setup.deleted = QStringLiteral("已成功删除%1个班级！");
  return setup;
}

}  // namespace

ClassesPage::ClassesPage(PageServices& services, QWidget* parent)
    : NameListPage(services, ClassesSetup(), parent) {}

void ClassesPage::Open() { FillList(services_.CachedClassNames()); }

PostResult ClassesPage::PostList(const QStringList& names) {
  return services_.Service().SetClasses(services_.CurrentUser(), services_.OperationPassword(),
                                        names);
}

QString ClassesPage::RemovalQuestion(const QStringList& removed) const {
  qint64 students = 0;
  qint64 scores = 0;
  for (const QString& name : removed) {
    students += services_.CachedStudentNames(name).size();
    scores += services_.CachedScoreCount(name);
  }
  return QStringLiteral("将删除%1个班级：%2\r\n连同其中的%3名学生和%4条计分记录一起删除，无法恢复。"
                        "\r\n确定要删除吗？")
      .arg(removed.size())
      .arg(removed.join(u'、'))
      .arg(students)
      .arg(scores);
}

PostResult ClassesPage::PostRename(const QString& old_name, const QString& new_name) {
  return services_.Service().RenameClass(services_.CurrentUser(), services_.OperationPassword(),
                                         old_name, new_name);
}

}  // namespace zorvanix
