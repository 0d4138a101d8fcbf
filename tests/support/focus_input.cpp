#include "tests/support/focus_input.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QWidget>
#include <QtTest>

namespace zorvanix::testing {

bool TypeIntoFocus(QWidget* box, const QString& text) {
  if (!box) return false;
  QWidget* window = box->window();
  window->activateWindow();
  if (!QTest::qWaitForWindowActive(window)) return false;
  QTest::mouseClick(box, Qt::LeftButton);
  QWidget* focus = QApplication::focusWidget();
  if (focus != box) return false;
  QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(focus, Qt::Key_Delete);
  // One key event per character, carrying it as its text: QTest's own
  // keyClicks takes Latin-1 only, and a Chinese password is what is typed.
  for (const QChar c : text) {
    const Qt::Key key = c.unicode() < 0x80 && c.isLetterOrNumber()
                            ? Qt::Key(c.toUpper().unicode())
                            : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, focus, key, QString(c), Qt::NoModifier);
  }
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
