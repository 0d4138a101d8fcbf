// The first-run part of the login window: when no service address has been
// configured anywhere (command line, environment, zorvanix.ini, the user's
// settings), the teacher can enter it here. The address is checked with the
// clock request and saved to the user's settings only when the service answers.
#pragma once

#include <QWidget>

#include "platform/app_context.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvanix {

class ServiceAddressPanel : public QWidget {
  Q_OBJECT

 public:
  explicit ServiceAddressPanel(AppContext& context, QWidget* parent = nullptr);

 private:
  void CheckAndSave();

  AppContext& context_;
  QLineEdit* address_ = nullptr;
  QPushButton* save_ = nullptr;
  QLabel* state_ = nullptr;
};

}  // namespace zorvanix
