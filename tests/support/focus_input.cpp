#include "tests/support/focus_input.h"

#include <QApplication>
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

}  // namespace zorvanix::testing
