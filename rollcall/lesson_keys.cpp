#include "rollcall/lesson_keys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>

#include "controls/widget_names.h"
#include "rollcall/draw_panel.h"
#include "rollcall/form_layout.h"
#include "rollcall/score_upload.h"
#include "rollcall/student_scoring.h"

namespace zorvanix {
namespace {

using namespace layout;

// A key alone, or from the keypad (where some keyboards send the arrows and
// the digits from).
bool Plain(const QKeyEvent& key) { return (key.modifiers() & ~Qt::KeypadModifier) == 0; }

// The box the focus widget types into, if it is a one-line box: a line
// edit, or an editable combo box (the focus may be on the box or on its
// line edit).
const QLineEdit* OneLineBox(const QWidget* focus) {
  if (const auto* combo = qobject_cast<const QComboBox*>(focus)) return combo->lineEdit();
  return qobject_cast<const QLineEdit*>(focus);
}

bool InSpinBox(const QWidget* focus) {
  return qobject_cast<const QAbstractSpinBox*>(focus) ||
         qobject_cast<const QAbstractSpinBox*>(focus->parentWidget());
}

}  // namespace

QString LessonKeysHelpText() {
  return QStringLiteral(
      "PageDown、→、B 开始或停止抽取（上次按过的抽取按钮，起初为“所有”）\r\n"
      "5、4、3、2、1、0 给当前学生计“5分”…“0分”\r\n"
      "Ctrl+Z 撤销最后一条待上传的计分（先询问；当天的计分日志仍保留）\r\n"
      "F11 投影（全屏显示姓名）；Esc 或 F11 回到小窗\r\n"
      "空格、回车 按下有焦点的按钮；Tab 到下一个控件\r\n"
      "\r\n"
      "在输入框中按键照常输入文字；只有空输入框中的 PageDown、→ 和 Ctrl+Z 仍起作用。");
}

LessonKeys::LessonKeys(AppContext& context, QWidget& window, DrawPanel& panel, ScoreUpload& upload,
                       StudentScoring& scoring)
    : QObject(&window),
      context_(context),
      window_(window),
      panel_(panel),
      upload_(upload),
      scoring_(scoring) {
  connect(&panel_, &DrawPanel::DrawPressed, this, [this](int index) {
    if (index >= 0 && index < kDrawPoolCount) last_pool_ = index;
  });
  panel_.ShowKeyHints(QStringLiteral("快捷键：PageDown、→、B（开始或停止上次所用按钮的抽取）"),
                      QStringLiteral("快捷键：数字键5～0直接计“5分”～“0分”"));

  help_button_ = NamedButton(QStringLiteral("CommandKeys"), QStringLiteral("快捷键"), &panel_);
  help_button_->setToolTip(QStringLiteral("键盘和翻页笔的快捷键"));
  DrawPanel::Place(help_button_, kWindowWidth - 45 - kCommandWidth, kSecondRowTop, kCommandWidth,
                   kRowHeight);
  connect(help_button_, &QPushButton::clicked, this, [this] {
    context_.prompter->ShowMessage(QStringLiteral("快捷键"), LessonKeysHelpText(),
                                   MessageIcon::kInformation);
  });

  // Keys go to the focus widget; the application's filter sees them first,
  // whichever control of the window has the focus.
  qApp->installEventFilter(this);
}

LessonKeys::Action LessonKeys::ActionFor(const QKeyEvent& key) {
  const int code = key.key();
  if (key.modifiers() == Qt::ControlModifier && code == Qt::Key_Z) return Action::kTakeBack;
  if (!Plain(key)) return Action::kNone;
  if (code == Qt::Key_PageDown || code == Qt::Key_Right || code == Qt::Key_B) return Action::kDraw;
  if (code >= Qt::Key_0 && code <= Qt::Key_5) return Action::kScore;
  return Action::kNone;
}

bool LessonKeys::TypedIntoFocus(const QKeyEvent& key, Action action) {
  const QWidget* focus = QApplication::focusWidget();
  if (!focus) return false;
  if (InSpinBox(focus)) return true;
  if (const auto* edit = qobject_cast<const QTextEdit*>(focus)) return !edit->isReadOnly();
  if (const auto* edit = qobject_cast<const QPlainTextEdit*>(focus)) return !edit->isReadOnly();
  const QLineEdit* box = OneLineBox(focus);
  if (!box || box->isReadOnly()) return false;
  if (!box->text().isEmpty()) return true;
  // An empty box has no use for moving on, nor for an undo when it has
  // nothing to undo (the window empties the search box after each score).
  if (action == Action::kDraw) return key.key() == Qt::Key_B;
  if (action == Action::kTakeBack) return box->isUndoAvailable();
  return true;
}

// Keys of the window and of windows it opened (a projector view); not of
// its message boxes and dialogs, nor while one waits for its answer or a
// list drops down (PageDown pages the class list).
bool LessonKeys::Watches(const QObject* target) const {
  if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return false;
  for (const QObject* object = target; object; object = object->parent()) {
    if (object == &window_) return true;
    if (qobject_cast<const QDialog*>(object)) return false;
  }
  return false;
}

bool LessonKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !Watches(watched)) {
    return false;
  }
  const auto& key = *static_cast<QKeyEvent*>(event);
  const Action action = ActionFor(key);
  if (action == Action::kNone || TypedIntoFocus(key, action)) return false;
  // The draw and score keys belong to the draw panel: with another panel in
  // its place the focus widget keeps them (PageDown pages List4).
  if (action != Action::kTakeBack && !panel_.isVisible()) return false;
  // A held key acts once.
  if (!key.isAutoRepeat()) Act(action, key);
  return true;
}

void LessonKeys::Act(Action action, const QKeyEvent& key) {
  switch (action) {
    case Action::kDraw:
      panel_.PressDrawButton(last_pool_);
      break;
    case Action::kScore:
      Score(QString::number(key.key() - Qt::Key_0) + QStringLiteral("分"));
      break;
    case Action::kTakeBack:
      if (const quint64 id = upload_.TakeBackLast()) scoring_.TakeBack(id);
      break;
    case Action::kNone:
      break;
  }
}

// After a score the window hands the focus to the search box, for the next
// name to be typed. A score given from the keys leaves the focus where the
// keys were, so a remote's B goes on drawing.
void LessonKeys::Score(const QString& score) {
  const QPointer<QWidget> before = QApplication::focusWidget();
  if (!panel_.ChooseScore(score)) return;
  if (before && before->isVisible() && before->isEnabled()) before->setFocus();
}

}  // namespace zorvanix
