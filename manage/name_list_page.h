// The pages that keep a list of names on the service (classes, students,
// topics). The service holds each list whole: adding and deleting change the
// local list, which is then sent complete; renaming is a request of its own.
#pragma once

#include <QString>
#include <memory>

#include "manage/manage_page.h"
#include "manage/page_services.h"
#include "manage/rename_panel.h"

class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace zorvanix {

struct NameListPageSetup {
  const char* page;
  QString caption;
  const char* list;
  const char* box;
  const char* box_label;
  QString box_caption;
  const char* add;
  const char* remove;
  const char* save;
  const char* status;
  QString warning;
  RenamePanelNames rename;
  QString rename_caption;
  // Status texts; "%1" stands for a count.
  QString nothing_to_add;
  QString added;
  QString present;
  QString select_to_delete;
  QString deleted;  // empty: the save's own outcome stays
};

class NameListPage : public ManagePage {
 public:
  NameListPage(PageServices& services, const NameListPageSetup& setup, QWidget* parent);

  void Clear() override;

 protected:
  // A further test before a local change, after ChangeAllowed.
  virtual bool ReadyToChange() { return true; }
  virtual PostResult PostList(const QStringList& names) = 0;
  virtual PageServices::MainWindow MainWindowAfterSave() const = 0;
  virtual bool SaveWhenNothingDeleted() const { return false; }
  // After an add or a delete (the topics page redraws the roll-call window's
  // criteria).
  virtual void AfterListChange() {}
  // False: the rename is not sent, silently.
  virtual bool RenameReady() const { return true; }
  virtual PostResult PostRename(const QString& old_name, const QString& new_name) = 0;
  // The page's list after an accepted rename.
  virtual void ReloadAfterRename() = 0;
  // The page's list as the cache file holds it.
  virtual QStringList CachedList() const = 0;
  // The question asked before a save that removes entries, naming what goes
  // with them; empty: removing needs no question.
  virtual QString RemovalQuestion(const QStringList& removed) const {
    Q_UNUSED(removed);
    return QString();
  }

  // Fills the list; it is also the list a later save is compared against.
  void FillList(const QStringList& names);
  void AddTypedNames();
  void DeleteSelected();
  bool Save();
  void SendRename();

 private:
  // Before a whole list is sent: the service's list must still be the one
  // the page was loaded from, or another PC changed it meanwhile.
  bool ServiceListUnchanged();
  // Asks before entries are removed; false when the teacher says No.
  bool RemovalConfirmed(const QStringList& to_send);

 protected:
  PageServices& services_;
  NameListPageSetup setup_;
  QListWidget* list_;
  QPlainTextEdit* name_box_;
  QLabel* status_;
  std::unique_ptr<RenamePanel> rename_;
  QVBoxLayout* left_column_;   // the list, its buttons and the status line
  QHBoxLayout* list_buttons_;  // below the list
  QHBoxLayout* add_buttons_;   // below the name box
  QStringList loaded_;         // the list as the page received it
};

}  // namespace zorvanix
