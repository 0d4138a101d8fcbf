// The desktop program put together, as main() starts it and as the tests and
// the benchmarks start it: what every window is given (the session, the cache
// file, the service client and the seams) and the five windows, each created
// when first needed. The windows only announce what happened; this is the one
// place that says which window follows which.
#pragma once

#include <memory>

#include "platform/app_context.h"

namespace zorvanix {

class RollCallWindow;
class LoginWindow;
class SignUpWindow;
class PasswordResetWindow;
class ManagementWindow;
enum class SignInMode;
enum class ChangedData;

// The outside world as the caller chose it: the real one in main(), the
// recording and settable ones in a test.
struct Seams {
  Prompter* prompter = nullptr;
  Clock* clock = nullptr;
  Shell* shell = nullptr;
  SettingsStore* settings = nullptr;
  NetworkState* network = nullptr;
};

class Program {
 public:
  Program(const AppConfig& config, const Seams& seams);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  AppContext& Context() { return context_; }
  Session& Sess() { return session_; }
  HttpExchange& Http() { return http_; }
  ServiceClient& Service() { return *service_; }
  CacheFile& Cache() { return *cache_; }

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
  // What follows a sign-in, in the order the teacher sees it.
  void SignedIn(SignInMode mode);
  void ShowLogin();
  void OpenManagement();
  void ManagedDataChanged(ChangedData kind);

  Session session_;
  HttpExchange http_;
  std::unique_ptr<ServiceClient> service_;
  std::unique_ptr<CacheFile> cache_;
  AppContext context_;
  std::unique_ptr<RollCallWindow> roll_call_;
  std::unique_ptr<LoginWindow> login_;
  std::unique_ptr<SignUpWindow> sign_up_;
  std::unique_ptr<PasswordResetWindow> password_reset_;
  std::unique_ptr<ManagementWindow> management_;
};

}  // namespace zorvanix
