// The score page: the score records the service holds for one class, loaded
// whenever a class is chosen; a record can be corrected, and records removed
// from the list are deleted on the service by their IDs.
#pragma once

#include "manage/record_list_page.h"

class QGroupBox;
class QLineEdit;

namespace zorvanix {

class ScoresPage : public RecordListPage {
 public:
  ScoresPage(PageServices& services, QWidget* parent);
  void Clear() override;

 protected:
  QStringList ChooserItems() const override { return services_.CachedClassNames(); }
  QString FetchEntries(const QString& class_name) override;
  PostResult PostDeletions(const QString& class_name, const QString& ids) override;
  void OpenEditPanel(const QString& entry) override;

 private:
  QGroupBox* BuildEditPanel();
  void SendEdit();

  QGroupBox* edit_panel_;
  QLineEdit* id_;
  QLineEdit* student_;
  QLineEdit* score_;
  QLineEdit* time_;
  QLineEdit* topic_;
  QLineEdit* note_;
};

}  // namespace zorvanix
