// The one driver of the widget tests: controls found by their object names,
// driven as a teacher drives them. A click goes to where the control is on
// screen; keys go to whatever widget has the focus afterwards. Questions and
// file dialogs are answered through the RecordingPrompter of the test's
// context (AnswerNextQuestion, ChooseNextFile).
#pragma once

#include <QString>
#include <QWidget>

class QAbstractButton;
class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QTabBar;

namespace zorvanix::testing {

// The control named name inside window (or window itself); null, with a
// warning naming it, when there is none of that type.
template <typename T = QWidget>
T* FindControl(QWidget* window, const QString& name) {
  if (!window) return nullptr;
  if (window->objectName() == name) {
    if (T* self = qobject_cast<T*>(window)) return self;
  }
  T* found = window->findChild<T*>(name);
  if (!found) qWarning("no control named %s", qPrintable(name));
  return found;
}

// A mouse click in the middle of control, once its window is active. False
// (with a warning) when the control is hidden or disabled: a teacher could
// not click it either.
bool Click(QWidget* control);
// A click on the tab at index of tabs; false when it is not on screen.
bool ClickTab(QTabBar* tabs, int index);
// Clicks a check box until it shows ticked; false when it does not follow.
bool SetTicked(QAbstractButton* box, bool ticked);
// Presses key on the widget that has the focus; false when none has it.
bool PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Double-clicks the entry at row of list, as a teacher does: the button goes
// down on the entry first.
bool DoubleClickRow(QListWidget* list, int row);
// Selects exactly the entries at rows of a multiple-selection list: a plain
// click on the first, Ctrl+click on each other (no rows: every selected
// entry Ctrl+clicked off).
bool SelectEntries(QListWidget* list, const QList<int>& rows);

// Activates box's window, clicks box and types text into the focus widget,
// in place of what it held. False when the click did not give box the focus.
bool TypeIntoFocus(QWidget* box, const QString& text);
// The same, the text arriving as an input method commits it: one piece,
// delivered to the focus widget (how Chinese is typed).
bool CommitIntoFocus(QWidget* box, const QString& text);
// The same for a box of several lines: each "\n" is typed as Enter.
bool TypeLinesIntoFocus(QPlainTextEdit* box, const QString& text);

// Chooses the entry at index of combo from the keyboard, as a teacher does
// without the mouse: the focus moves to it (as Tab moves it), F4 opens its
// list, the arrow keys go to the entry and Enter takes it, each key
// delivered to the focus widget. Taking the entry already shown counts as a
// choice too, as it does from the open list. False (with a warning saying
// why) when the list did not open or the entry was not reached.
bool ChooseEntry(QComboBox* combo, int index);

}  // namespace zorvanix::testing
