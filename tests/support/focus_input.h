// Typing as a teacher types: a click to reach the box, then keys delivered
// to whatever widget has the focus afterwards.
#pragma once

#include <QString>

class QWidget;

namespace zorvanix::testing {

// Activates box's window, clicks box and types text into the focus widget,
// in place of what it held. False when the click did not give box the focus.
bool TypeIntoFocus(QWidget* box, const QString& text);

}  // namespace zorvanix::testing
