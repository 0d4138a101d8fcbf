// The login window (frmLogin): online and offline sign-in, the account names
// remembered on this PC, and the ways to sign-up and password reset.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include "platform/app_context.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace zorvanix {

// How the teacher signed in: online (the cache file was downloaded afresh,
// or set aside when that failed) or offline from the cache already on disk.
enum class SignInMode { kOnline, kOffline };

// The hint the account box shows until a name was ever remembered.
inline const QString kAccountHint = QStringLiteral("请在此输入登录帐号");

// The remembered names as the settings store keeps them: each followed by
// "|", the most recently added first.
QStringList RememberedNames(const QString& stored);
// The stored list after an online sign-in of user: put in front when new,
// otherwise unchanged.
QString RememberName(const QString& stored, const QString& user);

class LoginWindow : public QWidget {
  Q_OBJECT

 public:
  explicit LoginWindow(AppContext& context, QWidget* parent = nullptr);
  ~LoginWindow() override;

  // The sign-up window puts a newly registered account name here.
  void SetAccountName(const QString& name);

  // Timer1, every 500 ms: offline sign-in needs a cache, online sign-in and
  // sign-up need the network.
  void UpdateButtonAvailability();

 signals:
  // The session is set (and, online, the cache downloaded); the window hides
  // itself right after.
  void SignedIn(SignInMode mode);
  // 取消 or the close box: the window is gone without a sign-in.
  void Cancelled();
  // 注册帐号 (the window hid itself first) and 忘记密码 (it hides right after).
  void SignUpRequested();
  void PasswordResetRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildLayout();
  // Fields and remembered names, as when the window is first loaded.
  void Load();
  void SignInOnline();
  void SignInOffline();
  void ForgetNames();
  void ReturnToMainWindow();

  AppContext& context_;

  QComboBox* account_ = nullptr;           // ComboUser
  QLineEdit* password_ = nullptr;          // txtPassword
  QPushButton* ok_button_ = nullptr;       // cmdOK
  QPushButton* cancel_button_ = nullptr;   // cmdCancel
  QPushButton* offline_button_ = nullptr;  // Command1
  QPushButton* sign_up_button_ = nullptr;  // Command2
  QPushButton* reset_button_ = nullptr;    // Command3
  QPushButton* forget_button_ = nullptr;   // Command4
  QTimer* availability_timer_ = nullptr;   // Timer1

  bool needs_load_ = false;  // closed with its close box: load afresh when shown
  bool signing_in_ = false;  // an online sign-in is waiting for the service
  // Counts cancellations: a sign-in whose reply arrives after 取消 (or after
  // the window was closed) is abandoned.
  int abandoned_ = 0;
};

}  // namespace zorvanix
