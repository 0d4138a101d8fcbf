#include "core/session.h"

#include "core/md5_hex.h"

namespace zorvanix {

void Session::SignInOnline(const QString& user, const QString& typed_password) {
  current_user_ = user;
  password_digest_ = Md5Hex(typed_password);
}

}  // namespace zorvanix
