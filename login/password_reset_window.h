// The password-reset window (frmPswd): a new password through an e-mailed code.
#pragma once

#include <QWidget>

#include "platform/app_context.h"

namespace zorvanix {

class WindowHub;

class PasswordResetWindow : public QWidget {
  Q_OBJECT

 public:
  PasswordResetWindow(AppContext& context, WindowHub& hub, QWidget* parent = nullptr);
  ~PasswordResetWindow() override;

 private:
  AppContext& context_;
  WindowHub& hub_;
};

}  // namespace zorvanix
