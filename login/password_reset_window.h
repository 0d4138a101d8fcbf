// The password-reset window (frmPswd): a new password through an e-mailed code.
//
// The teacher gives the account and the e-mail address of the registration,
// asks the service to mail a verification code, and sends the code with a new
// login password, a new operation password, or both.
#pragma once

#include <QString>
#include <QWidget>

#include "platform/app_context.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvanix {

// The contact line for teachers who gave no e-mail address at registration.
QString ResetContactText(const QString& support_email);

class PasswordResetWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PasswordResetWindow(AppContext& context, QWidget* parent = nullptr);
  ~PasswordResetWindow() override;

  // Enables "发送验证码" and "重置密码" by what has been filled in.
  void UpdateResetButtons();

 signals:
  // Back to the login window: its own button (the window hid itself first)
  // or the close box.
  void LoginRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void RequestCode();
  void ResetPassword();
  void ReturnToLogin();

  AppContext& context_;

  QLineEdit* account_edit_ = nullptr;             // Text1
  QLineEdit* email_edit_ = nullptr;               // Text2
  QLabel* email_label_ = nullptr;                 // the "Email:" caption
  QLineEdit* check_code_edit_ = nullptr;          // TxtCheckCode
  QCheckBox* login_password_check_ = nullptr;     // Check1
  QLineEdit* new_login_password_edit_ = nullptr;  // Text3
  QCheckBox* super_password_check_ = nullptr;     // Check2
  QLineEdit* new_super_password_edit_ = nullptr;  // Text4
  QPushButton* reset_button_ = nullptr;           // Command1
  QPushButton* back_button_ = nullptr;            // Command2
  QPushButton* send_code_button_ = nullptr;       // Command3
  bool busy_ = false;
};

}  // namespace zorvanix
