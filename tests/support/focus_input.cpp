#include "tests/support/focus_input.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QWidget>
#include <QtTest>

namespace zorvanix::testing {
namespace {

bool ActivateWindowOf(QWidget* control) {
  QWidget* window = control->window();
  if (!QTest::qWaitForWindowExposed(window)) {
    qWarning("the window of %s is not on screen", qPrintable(control->objectName()));
    return false;
  }
  window->activateWindow();
  // A window shown again after it hid can have its platform window active
  // while the application still names another one (or none) active; the
  // application is told then, as a desktop's activation tells it.
  if (QTest::qWaitForWindowActive(window)) {
    if (QApplication::activeWindow() != window) QApplication::setActiveWindow(window);
    if (QApplication::activeWindow() == window) return true;
  }
  qWarning("the window of %s did not become active", qPrintable(control->objectName()));
  return false;
}

// One key event per character, carrying it as its text: QTest's own
// keyClicks takes Latin-1 only, and a Chinese name is what is typed. A
// character beyond the BMP travels whole, as a keyboard or input method
// delivers it, not as two halves.
void TypeText(QWidget* focus, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\n') {
      QTest::keyClick(focus, Qt::Key_Return);
      continue;
    }
    QString character(c);
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      character += text[++i];
    }
    const Qt::Key key = c.unicode() < 0x80 && c.isLetterOrNumber() ? Qt::Key(c.toUpper().unicode())
                                                                   : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, focus, key, character, Qt::NoModifier);
  }
}

}  // namespace

bool Click(QWidget* control) {
  if (!control) return false;
  if (!control->isVisible() || !control->isEnabled()) {
    qWarning("%s is %s", qPrintable(control->objectName()),
             control->isVisible() ? "disabled" : "hidden");
    return false;
  }
  if (!ActivateWindowOf(control)) return false;
  // A check box takes a click on its box or its caption, which sit at its
  // left; a wide one has empty space in its middle.
  if (auto* check_box = qobject_cast<QCheckBox*>(control)) {
    QStyleOptionButton option;
    option.initFrom(check_box);
    const QRect box =
        check_box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check_box);
    QTest::mouseClick(control, Qt::LeftButton, {}, box.center());
    return true;
  }
  QTest::mouseClick(control, Qt::LeftButton);
  return true;
}

bool ClickTab(QTabBar* tabs, int index) {
  if (!tabs || index < 0 || index >= tabs->count()) {
    qWarning("no tab %d to click", index);
    return false;
  }
  if (!tabs->isVisible() || !ActivateWindowOf(tabs)) return false;
  const QRect tab = tabs->tabRect(index);
  if (!tabs->rect().contains(tab.center())) {
    qWarning("tab %d of %s is out of sight", index, qPrintable(tabs->objectName()));
    return false;
  }
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tab.center());
  return tabs->currentIndex() == index;
}

bool SetTicked(QAbstractButton* box, bool ticked) {
  if (!box) return false;
  if (box->isChecked() != ticked && !Click(box)) return false;
  return box->isChecked() == ticked;
}

bool PressKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWidget* focus = QApplication::focusWidget();
  if (!focus) {
    qWarning("no widget has the focus");
    return false;
  }
  QTest::keyClick(focus, key, modifiers);
  return true;
}

bool DoubleClickRow(QListWidget* list, int row) {
  if (!list || row < 0 || row >= list->count() || !ActivateWindowOf(list)) return false;
  QListWidgetItem* item = list->item(row);
  list->scrollToItem(item);
  const QPoint centre = list->visualItemRect(item).center();
  QTest::mousePress(list->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
  return true;
}

bool SelectEntries(QListWidget* list, const QList<int>& rows) {
  if (!list || !ActivateWindowOf(list)) return false;
  const auto click = [list](int row, Qt::KeyboardModifiers modifiers) {
    QListWidgetItem* item = list->item(row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                      list->visualItemRect(item).center());
  };
  for (int row : rows) {
    if (row < 0 || row >= list->count()) return false;
  }
  if (rows.isEmpty()) {
    for (int row = 0; row < list->count(); ++row) {
      if (list->item(row)->isSelected()) click(row, Qt::ControlModifier);
    }
  } else {
    click(rows.front(), Qt::NoModifier);
    if (!list->item(rows.front())->isSelected()) click(rows.front(), Qt::ControlModifier);
    for (int row : rows.mid(1)) {
      if (!list->item(row)->isSelected()) click(row, Qt::ControlModifier);
    }
  }
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->isSelected() != rows.contains(row)) {
      qWarning("entry %d of %s did not follow the clicks", row, qPrintable(list->objectName()));
      return false;
    }
  }
  return true;
}

bool TypeLinesIntoFocus(QPlainTextEdit* box, const QString& text) {
  if (!box || !ActivateWindowOf(box)) return false;
  QTest::mouseClick(box->viewport(), Qt::LeftButton);
  QWidget* focus = QApplication::focusWidget();
  if (focus != box) return false;
  QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(focus, Qt::Key_Delete);
  TypeText(focus, text);
  return true;
}

namespace {

// Clicks box and empties the focus widget it gives; null when the click
// left the focus elsewhere.
QWidget* FocusAndEmpty(QWidget* box) {
  if (!box) return nullptr;
  if (!ActivateWindowOf(box)) return nullptr;
  QTest::mouseClick(box, Qt::LeftButton);
  // An editable combo box has its line edit take the focus.
  QWidget* focus = QApplication::focusWidget();
  if (!focus || (focus != box && !box->isAncestorOf(focus))) {
    qWarning("a click on %s left the focus on %s", qPrintable(box->objectName()),
             focus ? focus->metaObject()->className() : "nothing");
    return nullptr;
  }
  QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(focus, Qt::Key_Delete);
  return focus;
}

}  // namespace

bool TypeIntoFocus(QWidget* box, const QString& text) {
  QWidget* focus = FocusAndEmpty(box);
  if (!focus) return false;
  TypeText(focus, text);
  return true;
}

bool CommitIntoFocus(QWidget* box, const QString& text) {
  QWidget* focus = FocusAndEmpty(box);
  if (!focus) return false;
  QInputMethodEvent commit;
  commit.setCommitString(text);
  QApplication::sendEvent(focus, &commit);
  return true;
}

bool ChooseEntry(QComboBox* combo, int index) {
  if (!combo || index < 0 || index >= combo->count()) {
    qWarning("no entry %d to choose", index);
    return false;
  }
  QWidget* window = combo->window();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) {
    qWarning("the window of %s did not become active", qPrintable(combo->objectName()));
    return false;
  }
  combo->setFocus(Qt::TabFocusReason);
  if (!QTest::qWaitFor([combo] { return combo->hasFocus(); }, 2000)) {
    qWarning("%s did not take the focus", qPrintable(combo->objectName()));
    return false;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
  QAbstractItemView* list = combo->view();
  if (!QTest::qWaitFor([list] { return list->isVisible() && list->hasFocus(); }, 2000)) {
    qWarning("the list of %s did not open", qPrintable(combo->objectName()));
    return false;
  }
  for (int step = 0; step < combo->count() + 1 && list->currentIndex().row() != index; ++step) {
    QTest::keyClick(QApplication::focusWidget(),
                    list->currentIndex().row() < index ? Qt::Key_Down : Qt::Key_Up);
  }
  if (list->currentIndex().row() != index) {
    qWarning("entry %d of %s was not reached", index, qPrintable(combo->objectName()));
    return false;
  }
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QWidget* popup = list->window();
  if (!QTest::qWaitFor([popup] { return !popup->isVisible(); }, 2000)) {
    qWarning("the list of %s stayed open", qPrintable(combo->objectName()));
    return false;
  }
  // The offscreen test platform can leave the closed list's frame as the
  // active window, where a desktop gives the activation back to the window.
  if (!QTest::qWaitFor(
          [window] {
            if (QApplication::activeWindow() != window) {
              window->activateWindow();
              return false;
            }
            // Held across a round of events: the platform may still be
            // handing the activation around.
            QTest::qWait(20);
            return QApplication::activeWindow() == window;
          },
          2000)) {
    qWarning("the window of %s did not become active again", qPrintable(combo->objectName()));
    return false;
  }
  return true;
}

}  // namespace zorvanix::testing
