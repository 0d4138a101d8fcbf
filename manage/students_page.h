// The students page: the student names of one class, typed or imported from a
// text file. A student left out of the saved list is removed by the service
// with the student's scores.
#pragma once

#include <QList>

#include "manage/name_list_page.h"

class QComboBox;

namespace zorvanix {

class StudentsPage : public NameListPage {
 public:
  StudentsPage(PageServices& services, QWidget* parent);
  void Open() override;
  void Clear() override;

 protected:
  // Nothing is sent for a class that was not chosen: the list shown belongs
  // to no class, and sending it would replace some class's students.
  bool ReadyToChange() override;
  PostResult PostList(const QStringList& names) override;
  PageServices::MainWindow MainWindowAfterSave() const override {
    return PageServices::MainWindow::kKeep;
  }
  PostResult PostRename(const QString& old_name, const QString& new_name) override;
  void ReloadAfterRename() override { LoadChosenClass(); }
  QStringList CachedList() const override;
  QString RemovalQuestion(const QStringList& removed) const override;

 private:
  void LoadChosenClass();
  void ImportFile();
  void SelectAllStudents();
  void InvertStudents();
  void EnableButtons(bool enabled);

  QComboBox* class_chooser_;
  QList<QPushButton*> class_buttons_;  // usable once a class was chosen
};

}  // namespace zorvanix
