// The lesson from the keyboard or a presenter remote: PageDown, the Right
// arrow and B (what a remote's "next" and "blank" buttons send) press the
// draw button of the pool used last ("所有" until another is pressed); the
// digits 5 to 0 choose the plain score "5分" to "0分"; Ctrl+Z takes back the
// last pending score. Each key does what the click it stands for does, and
// only when that click could be made.
//
// Keys typed into a text box stay text: while a line edit, an editable combo
// box, a spin box or a text editor has the focus, the box gets the key. The
// exceptions are the keys an empty one-line box has no use for: PageDown,
// the Right arrow, and Ctrl+Z when the box has nothing to undo. The window
// itself puts the focus into the empty search box after a class is chosen
// and after every score, and the remote must go on drawing from there, as
// a wrong score must be taken back from there.
#pragma once

#include <QObject>
#include <QString>

#include "platform/app_context.h"

class QKeyEvent;
class QPushButton;
class QWidget;

namespace zorvanix {

class DrawPanel;
class ScoreUpload;
class StudentScoring;

// The "快捷键" list, as the help button shows it.
QString LessonKeysHelpText();

class LessonKeys : public QObject {
  Q_OBJECT

 public:
  // Watches the keys of window, whose draw panel, upload and scoring these are.
  LessonKeys(AppContext& context, QWidget& window, DrawPanel& panel, ScoreUpload& upload,
             StudentScoring& scoring);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Action { kNone, kDraw, kScore, kTakeBack };
  bool Watches(const QObject* target) const;
  static Action ActionFor(const QKeyEvent& key);
  // Whether the key is the focus widget's own text rather than a shortcut.
  static bool TypedIntoFocus(const QKeyEvent& key, Action action);
  void Act(Action action, const QKeyEvent& key);
  void Score(const QString& score);

  AppContext& context_;
  QWidget& window_;
  DrawPanel& panel_;
  ScoreUpload& upload_;
  StudentScoring& scoring_;
  QPushButton* help_button_ = nullptr;  // CommandKeys
  int last_pool_ = 0;                   // the draw button pressed last, 0..11
};

}  // namespace zorvanix
