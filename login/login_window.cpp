#include "login/login_window.h"

#include "app/window_hub.h"

namespace zorvanix {

// Placeholder until the login window is built.
LoginWindow::LoginWindow(AppContext& context, WindowHub& hub, QWidget* parent)
    : QWidget(parent), context_(context), hub_(hub) {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("登录"));
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::SetAccountName(const QString&) {}

}  // namespace zorvanix
