// What the sign-up and password-reset tests share: one real service per test
// program, controls found by their names, and the code out of a reset mail.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "platform/prompter.h"
#include "tests/support/focus_input.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

// A fresh account name, so that tests sharing one service never collide.
QString UniqueAccountName(const QString& prefix);

// The child of window named name; null when there is none of that type.
template <typename T>
T* Control(QWidget* window, const char* name) {
  return window->findChild<T*>(QString::fromLatin1(name));
}

// The background colour of a text box.
QColor BoxColor(const QLineEdit* edit);

// A message as title, text and icon, so one comparison checks all three.
QStringList Message(const QString& title, const QString& text, MessageIcon icon);
QStringList Message(const PromptRecord& shown);

// What the service's access log gained from offset on, read once a marker
// request sent now has been logged: every request that reached the service
// before the marker is in it.
QString ServiceLogSince(ServerProcess& server, qsizetype offset);
// Where the access log stands once every request sent so far is in it (the
// service writes its log a few times a second): the offset for the above.
qsizetype ServiceLogMark(ServerProcess& server);

// The verification code in a password-reset mail: the run of digits or
// letters that follows "验证码" in the body; empty when the mail holds none.
QString CheckCodeFromMail(const QString& mail);

}  // namespace zorvanix::testing
