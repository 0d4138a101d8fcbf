// The score page: the score records the service holds for one class, loaded
// whenever a class is chosen; a record can be corrected, and records removed
// from the list are deleted on the service by their IDs.
#pragma once

#include <QString>

#include "manage/manage_page.h"
#include "manage/page_services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace zorvanix {

class ScoresPage : public ManagePage {
 public:
  ScoresPage(PageServices& services, QWidget* parent);
  void Open() override;
  void Clear() override;

  // What the class chooser shows ("班级" while no class is chosen).
  QString ClassChooserText() const;
  // "|" + ID of every record removed by the last delete, bottom first.
  const QString& PendingScoreDeletions() const { return pending_deletions_; }

 private:
  QGroupBox* BuildEditPanel();
  void LoadChosenClass();
  void OpenEditPanel(QListWidgetItem* item);
  void SendEdit();
  void DeleteSelected();
  void SendDeletions();

  PageServices& services_;
  QString pending_deletions_;

  QComboBox* class_chooser_;
  QListWidget* list_;
  QLabel* status_;
  QGroupBox* edit_panel_;
  QLineEdit* id_;
  QLineEdit* student_;
  QLineEdit* score_;
  QLineEdit* time_;
  QLineEdit* topic_;
  QLineEdit* note_;
};

}  // namespace zorvanix
