#include "manage/topics_page.h"

namespace zorvanix {
namespace {

NameListPageSetup TopicsSetup() {
  NameListPageSetup setup;
  setup.page = "Frame_manage_5";
  setup.caption = QStringLiteral("课题管理");
  setup.list = "List4";
  setup.box = "Text4";
  setup.box_label = "Label54";
  setup.box_caption = QStringLiteral("添加新课题：");
  setup.add = "Command26";
  setup.remove = "Command27";
  setup.save = "Command28";
  setup.status = "Label34";
  setup.warning = QStringLiteral("[警告]删除课题不会改变已记录课题信息！");
  setup.rename = {"Frame5", "Text3", "Text2", "Command25", "Command24"};
  setup.rename_caption = QStringLiteral("修改课题");
  setup.nothing_to_add = QStringLiteral("没有需要添加的课题！");
  setup.added = QStringLiteral("已添加%1个课题！");
  setup.present = QStringLiteral("%1个课题名称已存在，被忽略！");
  setup.select_to_delete = QStringLiteral("请选择需要删除的课题，然后点击删除按钮！");
  setup.deleted = QStringLiteral("已成功删除%1个课题！");
  return setup;
}

}  // namespace

TopicsPage::TopicsPage(PageServices& services, QWidget* parent)
    : NameListPage(services, TopicsSetup(), parent) {}

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
