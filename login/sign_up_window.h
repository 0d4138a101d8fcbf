// The sign-up window (frmReg): a new teacher creates an account.
#pragma once

#include <QWidget>

#include "platform/app_context.h"

namespace zorvanix {

class WindowHub;

class SignUpWindow : public QWidget {
  Q_OBJECT

 public:
  SignUpWindow(AppContext& context, WindowHub& hub, QWidget* parent = nullptr);
  ~SignUpWindow() override;

 private:
  AppContext& context_;
  WindowHub& hub_;
};

}  // namespace zorvanix
