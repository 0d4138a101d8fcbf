// The score page: the score records the service holds for one class, loaded
// whenever a class is chosen; a record can be corrected, and records removed
// from the list are deleted on the service by their IDs; the loaded records
// can be exported as a CSV or XLSX table.
#pragma once

#include "manage/record_list_page.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace zorvanix {

class ScoresPage : public RecordListPage {
 public:
  ScoresPage(PageServices& services, QWidget* parent);
  void Open() override;
  void Clear() override;

 protected:
  QStringList ChooserItems() const override { return services_.CachedClassNames(); }
  QString FetchEntries(const QString& class_name) override;
  PostResult PostDeletions(const QString& class_name, const QString& ids) override;
  void OpenEditPanel(const QString& entry) override;
  void AfterLoad() override { UpdateExportButton(); }
  void AfterDelete() override { UpdateExportButton(); }

 private:
  QGroupBox* BuildEditPanel();
  void SendEdit();
  // "导出" is offered once records are loaded; the tooltip says what to do.
  void UpdateExportButton();
  void Export();

  QPushButton* export_;

  QGroupBox* edit_panel_;
  QLineEdit* id_;
  QLineEdit* student_;
  QLineEdit* score_;
  QLineEdit* time_;
  QLineEdit* topic_;
  QLineEdit* note_;
};

}  // namespace zorvanix
