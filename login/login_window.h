// The login window (frmLogin): online and offline sign-in.
#pragma once

#include <QString>
#include <QWidget>

#include "platform/app_context.h"

namespace zorvanix {

class WindowHub;

class LoginWindow : public QWidget {
  Q_OBJECT

 public:
  LoginWindow(AppContext& context, WindowHub& hub, QWidget* parent = nullptr);
  ~LoginWindow() override;

  // The sign-up window puts a newly registered account name here.
  void SetAccountName(const QString& name);

 private:
  AppContext& context_;
  WindowHub& hub_;
};

}  // namespace zorvanix
