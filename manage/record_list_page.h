// The pages that show what the service holds for one chosen class or topic
// (score records, scoring criteria): one entry per line of the service's
// reply, ID first. Entries removed from the list are deleted on the service
// by their IDs, sent as "|" + ID for each, from the bottom of the list up.
#pragma once

#include <QString>

#include "manage/manage_page.h"
#include "manage/page_services.h"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QVBoxLayout;

namespace zorvanix {

struct RecordListPageSetup {
  const char* page;
  QString caption;
  const char* chooser_label;
  QString chooser_caption;
  const char* chooser;
  QString chooser_placeholder;
  const char* list;
  const char* status;
  QString warning;
  const char* select_all;
  const char* invert;
  const char* remove;
  const char* save;
  QString select_to_delete;
  QString deleted;  // "%1" stands for the count
};

class RecordListPage : public ManagePage {
 public:
  RecordListPage(PageServices& services, const RecordListPageSetup& setup, QWidget* parent);

  // The chooser filled from the cache, the list emptied.
  void Open() override;
  void Clear() override;

  // What the chooser shows (its placeholder while nothing is chosen).
  QString ChooserText() const;
  // "|" + ID of every entry removed by the last delete, bottom first.
  const QString& PendingDeletions() const { return pending_deletions_; }

 protected:
  virtual QStringList ChooserItems() const = 0;
  // The service's reply for the chosen class or topic.
  virtual QString FetchEntries(const QString& key) = 0;
  virtual PostResult PostDeletions(const QString& key, const QString& ids) = 0;
  virtual void AfterLoad() {}
  virtual void AfterDelete() {}
  virtual void OpenEditPanel(const QString& entry) = 0;

  // The list loaded again from the service; the pending IDs are forgotten.
  void LoadChosen();
  void DeleteSelected();
  void SendDeletions();

  PageServices& services_;
  QComboBox* chooser_;
  QListWidget* list_;
  QLabel* status_;
  QHBoxLayout* chooser_row_;
  QVBoxLayout* side_column_;  // the edit panels

 private:
  RecordListPageSetup setup_;
  QString pending_deletions_;
};

}  // namespace zorvanix
