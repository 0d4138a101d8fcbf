// The topics page: the teacher's topics, under which scores are recorded and
// to which the scoring criteria belong.
#pragma once

#include "manage/name_list_page.h"

namespace zorvanix {

class TopicsPage : public NameListPage {
 public:
  TopicsPage(PageServices& services, QWidget* parent);
  void Open() override;

 protected:
  PostResult PostList(const QStringList& names) override;
  PageServices::MainWindow MainWindowAfterSave() const override {
    return PageServices::MainWindow::kRefresh;
  }
  // An empty delete still sends the list: the teacher sees the service's
  // answer for the list as it stands.
  bool SaveWhenNothingDeleted() const override { return true; }
  void AfterListChange() override { services_.ShowTopicCriteria(); }
  bool RenameReady() const override;
  PostResult PostRename(const QString& old_name, const QString& new_name) override;
  void ReloadAfterRename() override { Open(); }
  QStringList CachedList() const override { return services_.CachedTopicNames(); }
};

}  // namespace zorvanix
