#include "login/password_reset_window.h"

#include "app/window_hub.h"

namespace zorvanix {

// Placeholder until this window is built.
PasswordResetWindow::PasswordResetWindow(AppContext& context, WindowHub& hub, QWidget* parent)
    : QWidget(parent), context_(context), hub_(hub) {
  setObjectName(QStringLiteral("frmPswd"));
  setWindowTitle(QStringLiteral("重置密码"));
}

PasswordResetWindow::~PasswordResetWindow() = default;

}  // namespace zorvanix
