#include "manage/classes_page.h"

namespace zorvanix {
namespace {

NameListPageSpec ClassesSpec() {
  NameListPageSpec spec;
  spec.page = "Frame_manage_1";
  spec.caption = QStringLiteral("班级管理");
  spec.list = "List2";
  spec.box = "Text5";
  spec.box_label = "Label55";
  spec.box_caption = QStringLiteral("增加班级请输入后点击添加按钮");
  spec.add = "Command10";
  spec.remove = "Command9";
  spec.save = "Command4";
  spec.status = "Label6";
  spec.warning = QStringLiteral("[警告]删除班级时，同时清除学生信息和计分信息！");
  spec.rename = {"Frame2", "Text12", "Text13", "Command18", "Command19"};
  spec.rename_caption = QStringLiteral("班级改名");
  spec.nothing_to_add = QStringLiteral("没有需要添加的班级！");
  spec.added = QStringLiteral("已添加%1个班级！");
  spec.present = QStringLiteral("%1个班级名称已存在，被忽略！");
  spec.select_to_delete = QStringLiteral("请选择需要删除的班级，然后点击删除按钮！");
  spec.deleted = QStringLiteral("已成功删除%1个班级！");
  return spec;
}

}  // namespace

ClassesPage::ClassesPage(PageServices& services, QWidget* parent)
    : NameListPage(services, ClassesSpec(), parent) {}

void ClassesPage::Open() { FillList(services_.CachedClassNames()); }

PostResult ClassesPage::PostList(const QStringList& names) {
  return services_.Service().SetClasses(services_.CurrentUser(), services_.OperationPassword(),
                                        names);
}

PostResult ClassesPage::PostRename(const QString& old_name, const QString& new_name) {
  return services_.Service().RenameClass(services_.CurrentUser(), services_.OperationPassword(),
                                         old_name, new_name);
}

}  // namespace zorvanix
