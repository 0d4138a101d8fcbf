#include "login/sign_up_window.h"

#include "app/window_hub.h"

namespace zorvanix {

// Placeholder until this window is built.
SignUpWindow::SignUpWindow(AppContext& context, WindowHub& hub, QWidget* parent)
    : QWidget(parent), context_(context), hub_(hub) {
  setObjectName(QStringLiteral("frmReg"));
  setWindowTitle(QStringLiteral("用户注册"));
}

SignUpWindow::~SignUpWindow() = default;

}  // namespace zorvanix
