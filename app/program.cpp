#include "app/program.h"

#include "login/login_window.h"
#include "login/password_reset_window.h"
#include "login/sign_up_window.h"
#include "manage/management_window.h"
#include "rollcall/roll_call_window.h"

namespace zorvanix {

Program::Program(const AppConfig& config, const Seams& seams) : http_(config.transfer_timeout) {
  service_ =
      std::make_unique<ServiceClient>(config.service_root, config.vendor_site, session_, http_);
  cache_ = std::make_unique<CacheFile>(config.CacheFilePath());
  context_.config = config;
  context_.session = &session_;
  context_.service = service_.get();
  context_.cache = cache_.get();
  context_.prompter = seams.prompter;
  context_.clock = seams.clock;
  context_.shell = seams.shell;
  context_.settings = seams.settings;
  context_.network = seams.network;
}

// Secondary windows go first: a signal of theirs may still reach the
// roll-call window while they go.
Program::~Program() {
  management_.reset();
  password_reset_.reset();
  sign_up_.reset();
  login_.reset();
  roll_call_.reset();
}

RollCallWindow& Program::RollCall() {
  if (roll_call_) return *roll_call_;
  roll_call_ = std::make_unique<RollCallWindow>(context_);
  QObject::connect(roll_call_.get(), &RollCallWindow::LoginRequested, [this] { ShowLogin(); });
  QObject::connect(roll_call_.get(), &RollCallWindow::ManagementRequested,
                   [this] { OpenManagement(); });
  return *roll_call_;
}

LoginWindow& Program::Login() {
  if (login_) return *login_;
  login_ = std::make_unique<LoginWindow>(context_);
  LoginWindow* login = login_.get();
  QObject::connect(login, &LoginWindow::SignedIn, [this](SignInMode mode) { SignedIn(mode); });
  QObject::connect(login, &LoginWindow::Cancelled, [this] { RollCall().show(); });
  QObject::connect(login, &LoginWindow::SignUpRequested, [this] { SignUp().show(); });
  QObject::connect(login, &LoginWindow::PasswordResetRequested, [this] { PasswordReset().show(); });
  return *login_;
}

SignUpWindow& Program::SignUp() {
  if (sign_up_) return *sign_up_;
  sign_up_ = std::make_unique<SignUpWindow>(context_);
  QObject::connect(sign_up_.get(), &SignUpWindow::Registered,
                   [this](const QString& user) { Login().SetAccountName(user); });
  QObject::connect(sign_up_.get(), &SignUpWindow::LoginRequested, [this] { Login().show(); });
  return *sign_up_;
}

PasswordResetWindow& Program::PasswordReset() {
  if (password_reset_) return *password_reset_;
  password_reset_ = std::make_unique<PasswordResetWindow>(context_);
  QObject::connect(password_reset_.get(), &PasswordResetWindow::LoginRequested,
                   [this] { Login().show(); });
  return *password_reset_;
}

ManagementWindow& Program::Management() {
  if (management_) return *management_;
  management_ = std::make_unique<ManagementWindow>(context_);
  QObject::connect(management_.get(), &ManagementWindow::DataChanged,
                   [this](ChangedData kind) { ManagedDataChanged(kind); });
  QObject::connect(management_.get(), &ManagementWindow::Closed, [this] { RollCall().show(); });
  return *management_;
}

// Online the cache is already downloaded (or set aside when that failed):
// the roll-call window comes back filled from it, the management window
// forgets the previous teacher, and only an online sign-in opens management.
// Offline the choices come from the cache on disk and management stays as
// it was.
void Program::SignedIn(SignInMode mode) {
  RollCallWindow& roll_call = RollCall();
  if (mode == SignInMode::kOnline) {
    roll_call.show();
    roll_call.RefreshMainWindowFromCache(CacheRefresh::kDownloaded);
  } else {
    roll_call.RefreshMainWindowFromCache(CacheRefresh::kOffline);
    roll_call.show();
  }
  if (management_) management_->ClearForNewTeacher();
  if (mode == SignInMode::kOnline) roll_call.EnableManageButton();
}

void Program::ShowLogin() {
  LoginWindow& login = Login();
  login.show();
  login.raise();
  login.activateWindow();
}

void Program::OpenManagement() {
  Management().OpenFromMainWindow();
  RollCall().hide();
}

// Every accepted change downloads the cache first; classes and topics refill
// the roll-call window's choices from a fresh download, criteria only redraw
// its criterion list.
void Program::ManagedDataChanged(ChangedData kind) {
  if (kind == ChangedData::kClassesAndTopics) {
    RollCall().RefreshMainWindowFromCache(CacheRefresh::kOnline);
  } else {
    RollCall().ShowTopicCriteria();
  }
}

}  // namespace zorvanix
