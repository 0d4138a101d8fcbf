#include "app/window_hub.h"

#include "login/login_window.h"
#include "login/password_reset_window.h"
#include "login/sign_up_window.h"
#include "manage/management_window.h"
#include "rollcall/roll_call_window.h"

namespace zorvanix {

WindowHub::WindowHub(AppContext& context) : context_(context) {}

// Secondary windows go first: they may still refer to the roll-call window.
WindowHub::~WindowHub() {
  management_.reset();
  password_reset_.reset();
  sign_up_.reset();
  login_.reset();
  roll_call_.reset();
}

RollCallWindow& WindowHub::RollCall() {
  if (!roll_call_) roll_call_ = std::make_unique<RollCallWindow>(context_, *this);
  return *roll_call_;
}

LoginWindow& WindowHub::Login() {
  if (!login_) login_ = std::make_unique<LoginWindow>(context_, *this);
  return *login_;
}

SignUpWindow& WindowHub::SignUp() {
  if (!sign_up_) sign_up_ = std::make_unique<SignUpWindow>(context_, *this);
  return *sign_up_;
}

PasswordResetWindow& WindowHub::PasswordReset() {
  if (!password_reset_) password_reset_ = std::make_unique<PasswordResetWindow>(context_, *this);
  return *password_reset_;
}

ManagementWindow& WindowHub::Management() {
  if (!management_) management_ = std::make_unique<ManagementWindow>(context_, *this);
  return *management_;
}

}  // namespace zorvanix
