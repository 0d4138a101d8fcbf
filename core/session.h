// Who is signed in. One teacher works with the program at a time; the session
// is the account name and the password digest, set by the login window (the
// only writer of the two) and read by every window and by the service client,
// and the operation password the teacher typed last, which the upload panel
// and the management window share.
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

  // The operation password as last typed in the roll-call window's upload
  // panel; the management window starts from it. It outlives a sign-in, as
  // the typed box does.
  const QString& OperationPassword() const { return operation_password_; }
  void SetOperationPassword(const QString& password) { operation_password_ = password; }

 private:
  QString current_user_;
  QString password_digest_;
  QString operation_password_;
};

}  // namespace zorvanix
