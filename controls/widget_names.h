// Every control a window builds carries the object name the product's
// layout gives it ("Command13", "List4", ...): tests, screenshots and the
// management pages find controls by these names. One helper names a new
// widget where it is made, and one makes a named push button.
#pragma once

#include <QPushButton>
#include <QString>

namespace zorvanix {

// Gives widget its object name and hands it back, so a control is named in
// the expression that makes it.
template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// A push button with its caption and object name, child of parent.
QPushButton* NamedButton(const QString& name, const QString& caption, QWidget* parent);

}  // namespace zorvanix
