// A lesson run from the keyboard or a presenter remote: every key goes to the
// widget that has the focus, as a keyboard delivers it, and the scores reach
// the real service's teacher. Draw keys, score digits, taking a score back,
// and text boxes that keep their keys.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "core/score_line.h"
#include "rollcall/draw_pools.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

QWidget* Focus() { return QApplication::focusWidget(); }
QPushButton* DrawButton(const RollCallWindow* w, int i) {
  return Child<QPushButton>(w, QStringLiteral("btnChou_%1").arg(i));
}
QTimer* Roll(const RollCallWindow* w) { return w->findChild<QTimer*>(QStringLiteral("Timer1")); }
QListWidget* List4(const RollCallWindow* w) {
  return Child<QListWidget>(w, QStringLiteral("List4"));
}
QString ScoreOf(const QString& line) { return ScoreLineFields(line)[2]; }

// The scene's window in class 一班, the focus where the class choice leaves it.
bool Open(OnlineScene& scene) {
  if (!scene.window) return false;
  scene.window->activateWindow();
  if (!QTest::qWaitForWindowActive(scene.window)) return false;
  ChooseClassByKeys(scene.window, QStringLiteral("一班"));
  return !QTest::currentTestFailed();
}

// key starts a draw (pool's button reads "暂停"), a few names roll, key stops it.
QString DrawWithKey(const RollCallWindow* w, Qt::Key key, int pool) {
  QSignalSpy ticks(Roll(w), &QTimer::timeout);
  [&] { QVERIFY(PressKey(key)); }();
  [&] { QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 5000); }();
  [&] { QCOMPARE(DrawButton(w, pool)->text(), QStringLiteral("暂停")); }();
  [&] { QVERIFY(PressKey(key)); }();
  [&] { QVERIFY(!Roll(w)->isActive()); }();
  return w->CurrentStudent();
}

void PressCtrlZ() { QVERIFY(PressKey(Qt::Key_Z, Qt::ControlModifier)); }

}  // namespace

class LessonKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  // "所有" until another button is pressed, PageDown from the empty search box
  // the class choice leaves the focus in; then the pool last clicked, by B
  // and by Right. A folded window draws nothing. The buttons name their
  // keys; "快捷键" lists every key and sits clear of the other controls.
  void DrawKeysPressTheButtonUsedLast() {
    OnlineScene scene;
    QVERIFY2(Open(scene), qPrintable(scene.error));
    const RollCallWindow* w = scene.window;
    QCOMPARE(Focus(), Child<QWidget>(w, QStringLiteral("txtManual")));
    const DrawPools& pools = w->Pools();
    const QString first = DrawWithKey(w, Qt::Key_PageDown, kDrawAll);
    QVERIFY(kClassOneStudents.contains(first));
    QCOMPARE(pools.Pool(kDrawCalled), QStringList{first});
    QCOMPARE(pools.Pool(kDrawAll).size(), 5);
    QSignalSpy ticks(Roll(w), &QTimer::timeout);
    QVERIFY(Click(DrawButton(w, kDrawNotCalled)));
    QTRY_VERIFY(ticks.size() >= 3);
    QVERIFY(PressKey(Qt::Key_B));
    QVERIFY(!pools.Pool(kDrawNotCalled).contains(w->CurrentStudent()));
    QVERIFY(!pools.Pool(kDrawNotCalled).contains(DrawWithKey(w, Qt::Key_Right, kDrawNotCalled)));
    QCOMPARE(pools.Pool(kDrawNotCalled).size(), 3);
    QVERIFY(w->PendingScores().isEmpty());

    QVERIFY(DrawButton(w, kDrawVeryHard)->toolTip().contains(QStringLiteral("PageDown")));
    QVERIFY(Child<QWidget>(w, QStringLiteral("Combo1"))->toolTip().contains(QStringLiteral("5")));
    auto* help = Child<QPushButton>(w, QStringLiteral("CommandKeys"));
    QVERIFY(Click(help));
    QCOMPARE(scene.context.Prompts().Last().title, QStringLiteral("快捷键"));
    for (const char* key : {"PageDown", "→", "B", "5", "0", "Ctrl+Z", "F11 投影", "Esc"}) {
      QVERIFY2(scene.context.Prompts().Last().text.contains(QString::fromUtf8(key)), key);
    }
    QVERIFY(w->rect().contains(help->geometry().translated(help->parentWidget()->pos())));
    for (QWidget* other :
         help->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QVERIFY2(
          other == help || !other->isVisible() || !other->geometry().intersects(help->geometry()),
          qPrintable(other->objectName()));
    }

    auto* classes = Child<QComboBox>(w, QStringLiteral("Combo2"));
    classes->setFocus(Qt::TabFocusReason);
    QVERIFY(PressKey(Qt::Key_F4));
    QTRY_VERIFY(classes->view()->isVisible());
    QVERIFY(PressKey(Qt::Key_PageDown));  // the open list's, not a draw
    QVERIFY(!Roll(w)->isActive());
    QVERIFY(PressKey(Qt::Key_Escape));
    QTRY_VERIFY(!classes->view()->isVisible());
    scene.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(scene.window));

    QTest::mouseMove(Child<QWidget>(w, QStringLiteral("Image2")), QPoint(3, 3));
    QTRY_VERIFY(w->IsFolded());
    QVERIFY(PressKey(Qt::Key_PageDown));
    QVERIFY(!Roll(w)->isActive());
  }

  // 5..0 give "5分".."0分" to the student just drawn, into the day's log and
  // List4; with nobody to score a digit gives nothing, and B still draws.
  void DigitsGiveThePlainScores() {
    OnlineScene scene;
    QVERIFY2(Open(scene), qPrintable(scene.error));
    for (int points = 5; points >= 0; --points) {
      const QString student = DrawWithKey(scene.window, Qt::Key_PageDown, kDrawAll);
      QVERIFY(PressKey(Qt::Key(Qt::Key_0 + points)));
      const QString line = scene.window->PendingScores().last();
      QCOMPARE(ScoreLineFields(line)[1], student);
      QCOMPARE(ScoreOf(line), QStringLiteral("%1分").arg(points));
      QVERIFY(scene.window->CurrentStudent().isEmpty());
    }
    QVERIFY(PressKey(Qt::Key_3));
    const QStringList lines = scene.window->PendingScores();
    QCOMPARE(lines.size(), 6);
    QCOMPARE(Entries(List4(scene.window)), lines);
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), ScoreFileBytes(lines));
    QVERIFY(!DrawWithKey(scene.window, Qt::Key_B, kDrawAll).isEmpty());
  }

  // Ctrl+Z asks first, Enter answering No; Yes takes the last line out of
  // List4 but not out of the day's log, and the student is scored again; a
  // criterion taken back is offered again. With nothing pending it says so.
  void CtrlZTakesBackTheLastScore() {
    OnlineScene scene;
    QVERIFY(scene.Service()
                .NewCriteria(scene.teacher.user, scene.teacher.super_password,
                             QStringLiteral("朗读"), {"读音准确", "", "", "", ""},
                             {"5", "", "", "", ""})
                .IsSuccess());
    scene.window->RefreshMainWindowFromCache(CacheRefresh::kOnline);
    QVERIFY2(Open(scene), qPrintable(scene.error));
    DrawWithKey(scene.window, Qt::Key_PageDown, kDrawAll);
    QVERIFY(PressKey(Qt::Key_5));
    const QString student = DrawWithKey(scene.window, Qt::Key_PageDown, kDrawAll);
    QVERIFY(PressKey(Qt::Key_3));
    const QStringList lines = scene.window->PendingScores();

    WidgetPrompter real(scene.window);
    scene.context.Context().prompter = &real;
    QString asked;
    QTimer::singleShot(0, [&] {
      QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
      asked = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())->text();
      QTRY_VERIFY(Focus() && Focus()->window() == QApplication::activeModalWidget());
      QTest::keyClick(Focus(), Qt::Key_Return);
    });
    PressCtrlZ();
    scene.context.Context().prompter = &scene.context.Prompts();
    // The offscreen platform leaves the closed box active; a desktop gives
    // the activation back to the window.
    scene.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(scene.window));
    QVERIFY(asked.contains(student + QStringLiteral(" 3分")));
    QVERIFY(asked.contains(QStringLiteral("日志")));
    QCOMPARE(scene.window->PendingScores(), lines);

    scene.context.Prompts().AnswerNextQuestion(true);
    PressCtrlZ();
    QCOMPARE(Entries(List4(scene.window)), QStringList{lines[0]});
    QCOMPARE(scene.window->CurrentStudent(), student);
    QVERIFY(PressKey(Qt::Key_4));
    const QStringList corrected = scene.window->PendingScores();
    QCOMPARE(ScoreOf(corrected.last()), QStringLiteral("4分"));
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), ScoreFileBytes(lines + corrected.mid(1)));

    DrawWithKey(scene.window, Qt::Key_PageDown, kDrawAll);
    auto* criteria = Child<QListWidget>(scene.window, QStringLiteral("List1"));
    DoubleClickEntry(criteria, 0);
    QVERIFY(criteria->item(0)->text().startsWith(QStringLiteral("[5分]√")));
    scene.context.Prompts().AnswerNextQuestion(true);
    PressCtrlZ();
    QVERIFY(criteria->item(0)->text().startsWith(QStringLiteral("[5分]\t")));
    QVERIFY(PressKey(Qt::Key_2));  // the score choice is open again
    QCOMPARE(ScoreOf(scene.window->PendingScores().last()), QStringLiteral("2分"));

    // From the empty search box the score left the focus in.
    QCOMPARE(Focus(), Child<QWidget>(scene.window, QStringLiteral("txtManual")));
    for (int i = 0; i < 3; ++i) {
      scene.context.Prompts().AnswerNextQuestion(true);
      PressCtrlZ();
    }
    QVERIFY(Entries(List4(scene.window)).isEmpty());
    PressCtrlZ();
    QCOMPARE(scene.context.Prompts().Last().kind, PromptRecord::Kind::kMessage);
    QVERIFY(scene.context.Prompts().Last().text.contains(QStringLiteral("没有待上传的计分")));
  }

  // In the search box, the score box and the line editor the keys are text:
  // nothing is drawn, scored or taken back there. With the upload panel
  // shown PageDown is List4's; the editor closes when its line is taken back.
  void TextBoxesKeepTheirKeys() {
    OnlineScene scene;
    QVERIFY2(Open(scene), qPrintable(scene.error));
    auto* search = Child<QLineEdit>(scene.window, QStringLiteral("txtManual"));
    QVERIFY(TypeIntoFocus(search, QStringLiteral("5")));
    for (const Qt::Key key : {Qt::Key_B, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_Right}) {
      QVERIFY(PressKey(key));
    }
    QCOMPARE(search->text(), QStringLiteral("5b"));
    QCOMPARE(search->cursorPosition(), 1);
    PressCtrlZ();
    QVERIFY(search->text() != QStringLiteral("5b"));  // the box's own undo
    QVERIFY(!Roll(scene.window)->isActive());

    PickByHand(scene.window, QStringLiteral("王五"));
    QVERIFY(PressKey(Qt::Key_5));
    QVERIFY(scene.window->PendingScores().isEmpty());
    QVERIFY(PressKey(Qt::Key_Return));  // a typed score is taken as typed
    QCOMPARE(ScoreOf(scene.window->PendingScores().value(0)), QStringLiteral("5"));
    DrawWithKey(scene.window, Qt::Key_PageDown, kDrawAll);
    QVERIFY(PressKey(Qt::Key_4));
    const QStringList lines = scene.window->PendingScores();

    Click(scene.window, QStringLiteral("Command11"));
    ClickEntry(List4(scene.window), 0);
    QVERIFY(PressKey(Qt::Key_PageDown));
    QVERIFY(!Roll(scene.window)->isActive());
    DoubleClickEntry(List4(scene.window), 1);
    auto* name = Child<QLineEdit>(scene.window, QStringLiteral("Text8"));
    QVERIFY(TypeIntoFocus(name, QStringLiteral("B3")));
    PressCtrlZ();
    QVERIFY(name->text() != QStringLiteral("B3"));
    QVERIFY(scene.context.Prompts().Records().isEmpty());
    for (int i = 0; i < 5 && !qobject_cast<QPushButton*>(Focus()); ++i) PressKey(Qt::Key_Tab);
    QVERIFY(Focus());
    QCOMPARE(Focus()->objectName(), QStringLiteral("Command25"));
    scene.context.Prompts().AnswerNextQuestion(true);
    PressCtrlZ();
    QVERIFY(!Child<QWidget>(scene.window, QStringLiteral("Frame7"))->isVisible());
    QVERIFY(Child<QWidget>(scene.window, QStringLiteral("Frame4"))->isVisible());
    QCOMPARE(Entries(List4(scene.window)), lines.mid(0, 1));
  }
};

QTEST_MAIN(LessonKeysTest)
#include "lesson_keys_test.moc"
