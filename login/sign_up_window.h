// The sign-up window (frmReg): a new teacher creates an account.
//
// The account name is checked against the service while it is typed; the
// check waits for a pause in typing and never blocks the window, and only a
// name the service has just confirmed as free can be registered.
#pragma once

#include <QString>
#include <QWidget>
#include <chrono>

#include "platform/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zorvanix {

// How long typing must pause before the account name is sent for checking.
inline constexpr std::chrono::milliseconds kNameCheckPause{300};

// The hint under the account name before anything was checked.
inline const QString kAccountNameHint = QStringLiteral("4位以上字母数字_");
// The service's word for an account name that is still free.
inline const QString kNameFreeReply = QStringLiteral("√");

// What the typed account name allows before the service is asked.
enum class AccountNameShape { kIllegalCharacters, kTooShort, kCheckable };
// Letters a-z in either case, digits and "_" only; at least 4 characters once
// trimmed. An empty text has no illegal characters; it is too short.
AccountNameShape ClassifyAccountName(const QString& text);

// The e-mail address test of the registration.
bool IsPlausibleEmail(const QString& text);

class SignUpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit SignUpWindow(AppContext& context, QWidget* parent = nullptr);
  ~SignUpWindow() override;

 signals:
  // Back to the login window: its own button (the window hid itself first)
  // or the close box.
  void LoginRequested();
  // A registration was accepted for this account name; the login window
  // offers it next.
  void Registered(const QString& user);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void OnAccountNameChanged(const QString& text);
  void SendNameCheck();
  void OnNameCheckReply(int generation, const QString& reply);
  // Green and registrable for a confirmed name; red and not registrable else.
  void ShowNameVerdict(bool free);
  void SetAccountBoxColor(const QColor& color);
  void UpdateRegisterButton();
  // The five ordered checks; false after showing the first failing one.
  bool ValidateFields();
  void Register();
  void ClearAfterRegistration();
  void ReturnToLogin();

  AppContext& context_;

  QLineEdit* account_edit_ = nullptr;         // Text1
  QLineEdit* login_password_edit_ = nullptr;  // Text2
  QLineEdit* super_password_edit_ = nullptr;  // Text3
  QLineEdit* teacher_name_edit_ = nullptr;    // Text4
  QLineEdit* email_edit_ = nullptr;           // Text5
  QLineEdit* mobile_edit_ = nullptr;          // Text6
  QLineEdit* telephone_edit_ = nullptr;       // Text7
  QLineEdit* qq_edit_ = nullptr;              // Text8
  QLabel* name_hint_label_ = nullptr;         // Label5
  QPushButton* register_button_ = nullptr;    // Command1
  QPushButton* back_button_ = nullptr;        // Command2

  QTimer* name_check_timer_ = nullptr;  // NameCheckTimer: the pause in typing
  // Counts the edits of the account name; a reply is taken only when no edit
  // came after the request, so a late reply for an older text is ignored.
  int name_generation_ = 0;
  bool name_confirmed_ = false;
  bool registering_ = false;
};

}  // namespace zorvanix
