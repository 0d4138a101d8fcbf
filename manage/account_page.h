// The personal page: the teacher's name, account and e-mail as the service
// reports them, and changes of the e-mail address and of the two passwords,
// each confirmed with the current operation password.
#pragma once

#include "manage/manage_page.h"
#include "manage/page_services.h"

class QLineEdit;
class QPushButton;

namespace zorvanix {

class AccountPage : public ManagePage {
 public:
  AccountPage(PageServices& services, QWidget* parent);
  void Open() override;
  void Clear() override;

  // Command13 "修改", the button Enter presses while this page is open.
  QPushButton* ChangeButton() const { return change_; }

 private:
  void SendChange();
  void ClearPasswords();

  PageServices& services_;
  QLineEdit* teacher_name_;
  QLineEdit* account_;
  QLineEdit* email_;
  QLineEdit* old_super_password_;
  QLineEdit* new_login_password_;
  QLineEdit* new_super_password_;
  QPushButton* change_;
};

}  // namespace zorvanix
