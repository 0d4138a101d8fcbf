#include "manage/topics_page.h"

namespace zorvanix {
namespace {

NameListPageSpec TopicsSpec() {
  NameListPageSpec spec;
  spec.page = "Frame_manage_5";
  spec.caption = QStringLiteral("课题管理");
  spec.list = "List4";
  spec.box = "Text4";
  spec.box_label = "Label54";
  spec.box_caption = QStringLiteral("添加新课题：");
  spec.add = "Command26";
  spec.remove = "Command27";
  spec.save = "Command28";
  spec.status = "Label34";
  spec.warning = QStringLiteral("[警告]删除课题不会改变已记录课题信息！");
  spec.rename = {"Frame5", "Text3", "Text2", "Command25", "Command24"};
  spec.rename_caption = QStringLiteral("修改课题");
  spec.nothing_to_add = QStringLiteral("没有需要添加的课题！");
  spec.added = QStringLiteral("已添加%1个课题！");
  spec.present = QStringLiteral("%1个课题名称已存在，被忽略！");
  spec.select_to_delete = QStringLiteral("请选择需要删除的课题，然后点击删除按钮！");
  spec.deleted = QStringLiteral("已成功删除%1个课题！");
  return spec;
}

}  // namespace

TopicsPage::TopicsPage(PageServices& services, QWidget* parent)
    : NameListPage(services, TopicsSpec(), parent) {}

void TopicsPage::Open() { FillList(services_.CachedTopicNames()); }

PostResult TopicsPage::PostList(const QStringList& names) {
  return services_.Service().SetTopics(services_.CurrentUser(), services_.OperationPassword(),
                                       names);
}

bool TopicsPage::RenameReady() const {
  return !services_.CurrentUser().isEmpty() && !rename_->NewName().isEmpty() &&
         !services_.OperationPassword().isEmpty();
}

PostResult TopicsPage::PostRename(const QString& old_name, const QString& new_name) {
  return services_.Service().RenameTopic(services_.CurrentUser(), services_.OperationPassword(),
                                         old_name, new_name);
}

}  // namespace zorvanix
