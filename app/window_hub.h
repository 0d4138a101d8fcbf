// The five windows of the program, each created when first asked for and kept
// until the program ends. Windows reach each other through the hub: the login
// window shows the roll-call window, the management window refreshes it, and
// so on.
#pragma once

#include <memory>

#include "platform/app_context.h"

namespace zorvanix {

class RollCallWindow;
class LoginWindow;
class SignUpWindow;
class PasswordResetWindow;
class ManagementWindow;

class WindowHub {
 public:
  explicit WindowHub(AppContext& context);
  ~WindowHub();
  WindowHub(const WindowHub&) = delete;
  WindowHub& operator=(const WindowHub&) = delete;

  AppContext& Context() { return context_; }

  RollCallWindow& RollCall();
  LoginWindow& Login();
  SignUpWindow& SignUp();
  PasswordResetWindow& PasswordReset();
  ManagementWindow& Management();

  // The window if it was created already, else null (nothing is created).
  RollCallWindow* ExistingRollCall() const { return roll_call_.get(); }
  LoginWindow* ExistingLogin() const { return login_.get(); }
  ManagementWindow* ExistingManagement() const { return management_.get(); }

 private:
  AppContext& context_;
  std::unique_ptr<RollCallWindow> roll_call_;
  std::unique_ptr<LoginWindow> login_;
  std::unique_ptr<SignUpWindow> sign_up_;
  std::unique_ptr<PasswordResetWindow> password_reset_;
  std::unique_ptr<ManagementWindow> management_;
};

}  // namespace zorvanix
