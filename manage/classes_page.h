// The classes page: the teacher's class names. A class left out of the saved
// list is removed by the service with its students and scores.
#pragma once

#include "manage/name_list_page.h"

namespace zorvanix {

class ClassesPage : public NameListPage {
 public:
  ClassesPage(PageServices& services, QWidget* parent);
  void Open() override;

 protected:
  PostResult PostList(const QStringList& names) override;
  PageServices::MainWindow MainWindowAfterSave() const override {
    return PageServices::MainWindow::kRefresh;
  }
  PostResult PostRename(const QString& old_name, const QString& new_name) override;
  void ReloadAfterRename() override { Open(); }
  QStringList CachedList() const override { return services_.CachedClassNames(); }
  QString RemovalQuestion(const QStringList& removed) const override;
};

}  // namespace zorvanix
