// Who is signed in. One teacher works with the program at a time; the session
// is just the account name and the password digest, set by the login window
// (the only writer) and read by every window and by the service client.
#pragma once

#include <QString>

namespace zorvanix {

// CurrentUser while working offline from the cached data.
inline const QString kOfflineUserName = QStringLiteral("离线用户");

class Session {
 public:
  // The account name exactly as typed (not trimmed), or kOfflineUserName.
  const QString& CurrentUser() const { return current_user_; }
  // Md5Hex of the login password exactly as typed; kept by offline sign-in.
  const QString& PasswordDigest() const { return password_digest_; }

  bool IsSignedIn() const { return !current_user_.isEmpty(); }
  bool IsOffline() const { return current_user_ == kOfflineUserName; }
  // Signed in to the service itself (not offline): uploads and changes allowed.
  bool IsOnline() const { return IsSignedIn() && !IsOffline(); }

  // Online sign-in success: the typed name and the digest of the typed password.
  void SignInOnline(const QString& user, const QString& typed_password);
  // Offline sign-in: the digest of the previous online sign-in stays.
  void SignInOffline() { current_user_ = kOfflineUserName; }

 private:
  QString current_user_;
  QString password_digest_;
};

}  // namespace zorvanix
