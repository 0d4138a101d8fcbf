// Typing as a teacher types: a click to reach the box, then keys delivered
// to whatever widget has the focus afterwards.
#pragma once

#include <QString>

class QComboBox;
class QWidget;

namespace zorvanix::testing {

// Activates box's window, clicks box and types text into the focus widget,
// in place of what it held. False when the click did not give box the focus.
bool TypeIntoFocus(QWidget* box, const QString& text);

// Chooses the entry at index of combo from the keyboard, as a teacher does
// without the mouse: the focus moves to it (as Tab moves it), F4 opens its
// list, the arrow keys go to the entry and Enter takes it, each key
// delivered to the focus widget. Taking the entry already shown counts as a
// choice too, as it does from the open list. False (with a warning saying
// why) when the list did not open or the entry was not reached.
bool ChooseEntry(QComboBox* combo, int index);

}  // namespace zorvanix::testing
