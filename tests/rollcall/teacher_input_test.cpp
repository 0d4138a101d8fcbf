// The roll-call window driven the way a teacher's keyboard and mouse drive it:
// every key goes to the widget that has the focus, every click lands on a
// widget's face, and the scores reach the real service. A typed score with
// Enter, a class switch after a draw, picks while a draw rolls, and the
// closing question.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

#include "app/chinese_translations.h"
#include "core/gbk.h"
#include "rollcall/draw_pools.h"
#include "rollcall/score_upload.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

QWidget* Focus() { return QApplication::focusWidget(); }

void ClickOn(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// The manual-pick panel's "本次未点" list, with a real double-click.
void PickByMouse(const RollCallWindow* window, const QString& name) {
  ClickOn(Child<QPushButton>(window, QStringLiteral("btnChou_12")));
  auto* tabs = Child<QTabBar>(window, QStringLiteral("TabStrip1"));
  ClickOn(tabs);  // lands on a tab; the first is wanted
  QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
  auto* not_called = Child<QListWidget>(window, QStringLiteral("List_manual_1"));
  const int row = static_cast<int>(Entries(not_called).indexOf(name));
  QVERIFY2(row >= 0, qPrintable(name));
  DoubleClickEntry(not_called, row);
}

bool Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// Clicks into the score box and types text, key by key, into whatever has
// the focus; then the given key.
void TypeScore(const RollCallWindow* window, const QString& text, Qt::Key confirm) {
  auto* scores = Child<QComboBox>(window, QStringLiteral("Combo1"));
  auto* shown = const_cast<RollCallWindow*>(window);
  // The offscreen test platform can leave the window inactive after a popup
  // or a hidden panel, and can bring the class list's popup back after a
  // panel switch; a teacher would press Escape and click the window.
  if (QWidget* popup = QApplication::activePopupWidget()) {
    QTest::keyClick(popup->focusWidget() ? popup->focusWidget() : popup, Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  }
  if (QApplication::activeWindow() != window) QVERIFY(Activate(shown));
  // After a pick the score box already has the focus; else a click into it.
  if (Focus() != scores && Focus() != scores->lineEdit()) ClickOn(scores->lineEdit());
  QVERIFY2(Focus() == scores || Focus() == scores->lineEdit(),
           qPrintable(Focus() ? Focus()->objectName() : QStringLiteral("no focus")));
  QTest::keyClicks(Focus(), text);
  QTest::keyClick(Focus(), confirm);
}

// Shows the window and chooses the class from the keyboard, as a lesson
// begins.
bool OpenInClass(RollCallWindow* window, const QString& name) {
  if (!Activate(window)) return false;
  ChooseClassByKeys(window, name);
  return !QTest::currentTestFailed();
}

// Presses a draw button with the mouse, waits for the given number of roll
// steps and presses it again.
QString DrawByMouse(const RollCallWindow* window, int index, int steps = 3) {
  auto* button = Child<QPushButton>(window, QStringLiteral("btnChou_%1").arg(index));
  auto* roll = window->findChild<QTimer*>(QStringLiteral("Timer1"));
  QSignalSpy ticks(roll, &QTimer::timeout);
  ClickOn(button);
  [&] { QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= steps, 5000); }();
  ClickOn(button);
  return Child<QLineEdit>(window, QStringLiteral("Text2"))->text();
}

QStringList Pending(const RollCallWindow* window) { return window->PendingScores(); }

// Classes 1 and 10 besides 一班: 1 holds 孙八, 10 holds 周九 and its own 赵六.
bool AddNumberedClasses(OnlineScene& scene) {
  const QString& op = scene.teacher.super_password;
  const QString user = scene.teacher.user;
  return scene.Service()
             .SetClasses(user, op,
                         {QStringLiteral("一班"), QStringLiteral("1"), QStringLiteral("10")})
             .IsSuccess() &&
         scene.Service()
             .SetStudents(user, op, QStringLiteral("1"), {QStringLiteral("孙八")})
             .IsSuccess() &&
         scene.Service()
             .SetStudents(user, op, QStringLiteral("10"),
                          {QStringLiteral("周九"), QStringLiteral("赵六")})
             .IsSuccess();
}

}  // namespace

class TeacherInputTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  // A score typed into Combo1 and confirmed with Enter or the keypad's Enter
  // is taken as typed: the day's log, List4 and the service all get it.
  void TypedScoreWithEnterIsKept() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    PickByMouse(scene.window, QStringLiteral("张三"));
    QCOMPARE(scene.window->CurrentStudent(), QStringLiteral("张三"));
    TypeScore(scene.window, QStringLiteral("4"), Qt::Key_Return);
    QCOMPARE(Pending(scene.window).size(), 1);
    QVERIFY(Pending(scene.window)[0].startsWith(QStringLiteral("一班\t张三\t4\t")));
    const QByteArray log = FileBytes(scene.window->DailyLogPath());
    QCOMPARE(log, ScoreFileBytes(Pending(scene.window)));

    scene.context.Time().Advance(60);
    PickByMouse(scene.window, QStringLiteral("李四"));
    TypeScore(scene.window, QStringLiteral("3.5"), Qt::Key_Enter);
    QCOMPARE(Pending(scene.window).size(), 2);
    QVERIFY(Pending(scene.window)[1].startsWith(QStringLiteral("一班\t李四\t3.5\t")));
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), ScoreFileBytes(Pending(scene.window)));

    // A second Enter gives no second score.
    QTest::keyClick(Focus(), Qt::Key_Return);
    QCOMPARE(Pending(scene.window).size(), 2);

    // Uploaded as typed.
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command11")));
    TypeInto(scene.window, QStringLiteral("Text4"), scene.teacher.super_password);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command13")));
    QTRY_VERIFY(Pending(scene.window).isEmpty());
    const QStringList stored = scene.ServiceScores(QStringLiteral("一班"));
    QCOMPARE(stored.size(), 2);
    QVERIFY(stored.join(u'\n').contains(QStringLiteral("张三\t4\t")));
    QVERIFY(stored.join(u'\n').contains(QStringLiteral("李四\t3.5\t")));
  }

  // A student drawn in one class is not scored in the next one chosen, not
  // even where that class has a student of the same name.
  void ChoosingAClassForgetsTheDrawnStudent() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(AddNumberedClasses(scene));
    scene.window->RefreshMainWindowFromCache(CacheRefresh::kOnline);
    QVERIFY(Activate(scene.window));
    ChooseClassByKeys(scene.window, QStringLiteral("一班"));
    const QString drawn = DrawByMouse(scene.window, kDrawAll);
    QVERIFY(kClassOneStudents.contains(drawn));
    QCOMPARE(scene.window->CurrentStudent(), drawn);

    ChooseClassByKeys(scene.window, QStringLiteral("10"));
    QVERIFY(scene.window->CurrentStudent().isEmpty());
    QVERIFY(Child<QLineEdit>(scene.window, QStringLiteral("Text2"))->text().isEmpty());
    QVERIFY(Child<QLabel>(scene.window, QStringLiteral("Label4"))->text().isEmpty());
    QVERIFY(Child<QLabel>(scene.window, QStringLiteral("Label28"))->text().isEmpty());
    // Nobody to score: the score box takes nothing.
    QVERIFY(!Child<QComboBox>(scene.window, QStringLiteral("Combo1"))->isEnabled());
    QVERIFY(Pending(scene.window).isEmpty());
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), QByteArray());

    // A refresh from the cache forgets the student as well.
    ChooseClassByKeys(scene.window, QStringLiteral("一班"));
    DrawByMouse(scene.window, kDrawAll);
    QVERIFY(!scene.window->CurrentStudent().isEmpty());
    scene.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    QVERIFY(scene.window->CurrentStudent().isEmpty());
    QVERIFY(Child<QLineEdit>(scene.window, QStringLiteral("Text2"))->text().isEmpty());
  }

  // A pick from the manual panel or the search while a draw rolls ends the
  // draw without a result; the picked student is scored once.
  void APickWhileRollingEndsTheDraw() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    auto* all = Child<QPushButton>(scene.window, QStringLiteral("btnChou_0"));
    const QString caption = all->text();
    auto* roll = scene.window->findChild<QTimer*>(QStringLiteral("Timer1"));

    ClickOn(all);
    QTRY_VERIFY(!Child<QLineEdit>(scene.window, QStringLiteral("Text2"))->text().isEmpty());
    QCOMPARE(all->text(), QStringLiteral("暂停"));
    PickByMouse(scene.window, QStringLiteral("王五"));
    QVERIFY(!roll->isActive());
    QCOMPARE(all->text(), caption);
    for (int i = 0; i < kDrawPoolCount; ++i) {
      auto* button = Child<QPushButton>(scene.window, QStringLiteral("btnChou_%1").arg(i));
      QCOMPARE(button->isEnabled(), scene.window->Pools().HasNames(i));
    }
    QCOMPARE(scene.window->CurrentStudent(), QStringLiteral("王五"));
    TypeScore(scene.window, QStringLiteral("5"), Qt::Key_Return);
    QCOMPARE(Pending(scene.window).size(), 1);
    // The next press of the button starts a new draw; it does not stop one
    // and hand 王五 back for a second score.
    ClickOn(all);
    QVERIFY(roll->isActive());
    QCOMPARE(all->text(), QStringLiteral("暂停"));
    QTest::qWait(50);
    ClickOn(all);
    QCOMPARE(all->text(), caption);

    // Through the search box: letters typed, Enter, Enter on the hit.
    ClickOn(all);
    QVERIFY(roll->isActive());
    auto* search = Child<QLineEdit>(scene.window, QStringLiteral("txtManual"));
    ClickOn(search);
    QTest::keyClicks(Focus(), QStringLiteral("zs"));
    QTest::keyClick(Focus(), Qt::Key_Return);
    QTest::keyClick(Focus(), Qt::Key_Return);
    QVERIFY(!roll->isActive());
    QCOMPARE(all->text(), caption);
    QCOMPARE(scene.window->CurrentStudent(), QStringLiteral("张三"));
    QCOMPARE(Child<QLineEdit>(scene.window, QStringLiteral("Text2"))->text(),
             QStringLiteral("张三"));
  }

  // Stopped before a single roll step showed a name: nobody is drawn, and
  // the name still on show from before is not scored again.
  void AStopBeforeAnyNameGivesNoResult() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    PickByMouse(scene.window, QStringLiteral("赵六"));
    TypeScore(scene.window, QStringLiteral("5"), Qt::Key_Return);
    QCOMPARE(Pending(scene.window).size(), 1);
    auto* all = Child<QPushButton>(scene.window, QStringLiteral("btnChou_0"));
    const qsizetype before = scene.window->Pools().Pool(kDrawAll).size();
    // Press and stop with no event processed in between: no tick has run.
    QTest::mouseClick(all, Qt::LeftButton, Qt::NoModifier, all->rect().center());
    QTest::mouseClick(all, Qt::LeftButton, Qt::NoModifier, all->rect().center(), 0);
    QVERIFY(scene.window->CurrentStudent().isEmpty());
    QCOMPARE(scene.window->Pools().Pool(kDrawAll).size(), before);
    QVERIFY(!Child<QComboBox>(scene.window, QStringLiteral("Combo1"))->isEnabled());
    QCOMPARE(Pending(scene.window).size(), 1);

    // The same with a student picked and not yet scored: the early stop
    // does not leave the pick scorable as if it had been drawn.
    PickByMouse(scene.window, QStringLiteral("钱七"));
    QCOMPARE(scene.window->CurrentStudent(), QStringLiteral("钱七"));
    QTest::mouseClick(all, Qt::LeftButton, Qt::NoModifier, all->rect().center());
    QTest::mouseClick(all, Qt::LeftButton, Qt::NoModifier, all->rect().center(), 0);
    QVERIFY(scene.window->CurrentStudent().isEmpty());
    QVERIFY(!Child<QComboBox>(scene.window, QStringLiteral("Combo1"))->isEnabled());
  }

  // Closing with scores still pending asks first; Enter, Space and Escape
  // all answer No, and the question says the day's log keeps them.
  void ClosingWithPendingScoresDefaultsToStaying() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    WidgetPrompter real(scene.window);
    scene.context.Context().prompter = &real;
    QVERIFY(Activate(scene.window));
    ChooseClassByKeys(scene.window, QStringLiteral("一班"));
    PickByMouse(scene.window, QStringLiteral("张三"));
    TypeScore(scene.window, QStringLiteral("5"), Qt::Key_Return);
    QSignalSpy ending(scene.window, &RollCallWindow::ProgramEnding);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
      QString text;
      QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        text = box->text();
        QTRY_VERIFY(Focus() != nullptr && Focus()->window() == box);
        QTest::keyClick(Focus(), key);
      });
      QVERIFY(!scene.window->close());
      QCOMPARE(ending.size(), 0);
      QVERIFY(scene.window->isVisible());
      QVERIFY(text.startsWith(QStringLiteral("还有1条计分未上传，确定退出吗？")));
      QVERIFY(text.contains(QStringLiteral("日志")));
    }
    QCOMPARE(Pending(scene.window).size(), 1);
    scene.context.Context().prompter = &scene.context.Prompts();
  }

  // "删除" drops the selected pending lines after a question naming how
  // many, which Enter answers No; the day's log keeps every line.
  void RemovingSelectedPendingLines() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    WidgetPrompter real(scene.window);
    scene.context.Context().prompter = &real;
    QVERIFY(Activate(scene.window));
    ChooseClassByKeys(scene.window, QStringLiteral("一班"));
    for (const QString& name :
         {QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")}) {
      PickByMouse(scene.window, name);
      TypeScore(scene.window, QStringLiteral("4"), Qt::Key_Return);
    }
    const QStringList lines = Pending(scene.window);
    QCOMPARE(lines.size(), 3);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command11")));
    auto* pending = Child<QListWidget>(scene.window, QStringLiteral("List4"));
    ClickEntry(pending, 1);  // 李四 is kept
    QCOMPARE(SelectedEntries(pending), QStringList({lines[0], lines[2]}));
    auto* remove = Child<QPushButton>(scene.window, QStringLiteral("CommandRemove"));
    QCOMPARE(remove->text(), QStringLiteral("删除"));

    const auto answer = [&](bool yes, QString* text) {
      QTimer::singleShot(0, [=] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        *text = box->text();
        if (yes) {
          QAbstractButton* button = box->button(QMessageBox::Yes);
          QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
        } else {
          QTRY_VERIFY(Focus() != nullptr && Focus()->window() == box);
          QTest::keyClick(Focus(), Qt::Key_Return);
        }
      });
    };
    QString text;
    answer(false, &text);
    ClickOn(remove);
    QVERIFY(text.contains(QStringLiteral("2条")));
    QCOMPARE(Pending(scene.window), lines);
    answer(true, &text);
    ClickOn(remove);
    QCOMPARE(Pending(scene.window), QStringList{lines[1]});
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), ScoreFileBytes(lines));
    scene.context.Context().prompter = &scene.context.Prompts();
  }

  // An export named without an extension gets ".dms", so the import
  // dialog's filter shows it.
  void ExportWithoutExtensionGetsDms() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    PickByMouse(scene.window, QStringLiteral("张三"));
    TypeScore(scene.window, QStringLiteral("5"), Qt::Key_Return);
    const QStringList lines = Pending(scene.window);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command11")));
    const QString chosen = QDir(scene.context.DataDir()).filePath(QStringLiteral("lesson"));
    scene.context.Prompts().ChooseNextFile(chosen);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command14")));
    QVERIFY(!QFile::exists(chosen));
    QCOMPARE(FileBytes(chosen + QStringLiteral(".dms")), ScoreFileBytes(lines));
    QVERIFY(Pending(scene.window).isEmpty());
  }

  // The sixteen group lists each carry their number: group 0 is 第1组.
  void GroupListsAreCaptioned() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("btnChou_12")));
    auto* tabs = Child<QTabBar>(scene.window, QStringLiteral("TabStrip1"));
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(3).center());
    QCOMPARE(tabs->currentIndex(), 3);
    for (int g = 0; g < 16; ++g) {
      auto* list = Child<QListWidget>(scene.window, QStringLiteral("List_group_%1").arg(g));
      QVERIFY(list->isVisible());
      auto* frame = qobject_cast<QGroupBox*>(list->parentWidget());
      QVERIFY(frame);
      QCOMPARE(frame->title(), QStringLiteral("第%1组").arg(g + 1));
    }
    QCOMPARE(Entries(Child<QListWidget>(scene.window, QStringLiteral("List_group_0"))),
             kClassOneStudents);
  }

  // A score GBK cannot hold is refused where it is typed, naming the
  // character; nothing is written as "?".
  void TextGbkCannotHoldIsRefused() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    PickByMouse(scene.window, QStringLiteral("张三"));
    auto* scores = Child<QComboBox>(scene.window, QStringLiteral("Combo1"));
    QCOMPARE(Focus(), static_cast<QWidget*>(scores));
    // An emoji arrives from the input method as one piece of text.
    QTest::keyClick(Focus(), Qt::Key_5);
    QTest::sendKeyEvent(QTest::KeyAction::Click, Focus(), Qt::Key_unknown,
                        QString::fromUtf16(u"\U0001F600"), Qt::NoModifier);
    QCOMPARE(scores->currentText(), QString::fromUtf16(u"5\U0001F600"));
    QTest::keyClick(Focus(), Qt::Key_Return);
    QVERIFY(Pending(scene.window).isEmpty());
    QCOMPARE(FileBytes(scene.window->DailyLogPath()), QByteArray());
    QVERIFY(scene.context.Prompts().Last().text.contains(QString::fromUtf16(u"\U0001F600")));
    // Corrected, it is kept.
    QTest::keyClick(Focus(), Qt::Key_Backspace);
    QCOMPARE(scores->currentText(), QStringLiteral("5"));
    QTest::keyClick(Focus(), Qt::Key_Return);
    QCOMPARE(Pending(scene.window).size(), 1);
    QVERIFY(!FileBytes(scene.window->DailyLogPath()).contains('?'));
  }

  // The line editor refuses text GBK cannot hold, naming the character, and
  // stays open with the line unchanged; corrected, the line goes to the
  // service as typed, with no "?" in its place.
  void LineEditorRefusesTextGbkCannotHold() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(OpenInClass(scene.window, QStringLiteral("一班")));
    PickByMouse(scene.window, QStringLiteral("张三"));
    TypeScore(scene.window, QStringLiteral("5"), Qt::Key_Return);
    const QStringList before = Pending(scene.window);
    QCOMPARE(before.size(), 1);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command11")));
    auto* pending = Child<QListWidget>(scene.window, QStringLiteral("List4"));
    DoubleClickEntry(pending, 0);
    auto* editor = Child<QWidget>(scene.window, QStringLiteral("Frame7"));
    QVERIFY(editor->isVisible());

    auto* criterion = Child<QLineEdit>(scene.window, QStringLiteral("Text14"));
    ClickOn(criterion);
    QCOMPARE(Focus(), static_cast<QWidget*>(criterion));
    // Characters from the input method arrive as text: one GBK has not.
    QTest::sendKeyEvent(QTest::KeyAction::Click, Focus(), Qt::Key_unknown, QStringLiteral("朗读䶮"),
                        Qt::NoModifier);
    QCOMPARE(criterion->text(), QStringLiteral("朗读䶮"));
    scene.context.Prompts().Clear();
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command25")));
    QCOMPARE(scene.context.Prompts().Records().size(), 1);
    QVERIFY2(scene.context.Prompts().Last().text.contains(QStringLiteral("“䶮”")),
             qPrintable(scene.context.Prompts().Last().text));
    QVERIFY(editor->isVisible());
    QCOMPARE(Pending(scene.window), before);

    // An emoji in the name is refused the same way.
    auto* name = Child<QLineEdit>(scene.window, QStringLiteral("Text8"));
    ClickOn(name);
    QTest::sendKeyEvent(QTest::KeyAction::Click, Focus(), Qt::Key_unknown,
                        QString::fromUtf16(u"\U0001F600"), Qt::NoModifier);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command25")));
    QVERIFY(scene.context.Prompts().Last().text.contains(QString::fromUtf16(u"\U0001F600")));
    QCOMPARE(Pending(scene.window), before);

    // Corrected, the line is kept and reaches the service as typed.
    ClickOn(name);
    QTest::keyClick(Focus(), Qt::Key_End);
    QTest::keyClick(Focus(), Qt::Key_Backspace);
    QCOMPARE(name->text(), QStringLiteral("张三"));
    ClickOn(criterion);
    QTest::keyClick(Focus(), Qt::Key_End);
    QTest::keyClick(Focus(), Qt::Key_Backspace);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command25")));
    QVERIFY(!editor->isVisible());
    QCOMPARE(Pending(scene.window).size(), 1);
    QVERIFY(Pending(scene.window)[0].endsWith(QStringLiteral("\t朗读")));
    TypeInto(scene.window, QStringLiteral("Text4"), scene.teacher.super_password);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command13")));
    QTRY_VERIFY(Pending(scene.window).isEmpty());
    const QStringList stored = scene.ServiceScores(QStringLiteral("一班"));
    QCOMPARE(stored.size(), 1);
    QVERIFY2(stored[0].startsWith(QStringLiteral("张三\t5\t")) &&
                 stored[0].endsWith(QStringLiteral("\t朗读")) && !stored[0].contains(u'?'),
             qPrintable(stored[0]));
  }

  // Importing a file with lines that are not score lines asks first; the
  // default keeps only the score lines.
  void ImportAsksAboutLinesThatAreNotScores() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(Activate(scene.window));
    const QString good = QStringLiteral("一班\t张三\t5分\t2026-12-08 08:00:00\t");
    const QString path = QDir(scene.context.DataDir()).filePath(QStringLiteral("mixed.dms"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ScoreFileBytes(
        {good, QStringLiteral("not a score"), QStringLiteral("一班\t李四\t5分\tyesterday\t")}));
    file.close();
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command11")));
    scene.context.Prompts().ChooseNextFile(path);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command15")));  // answered No
    QVERIFY(scene.context.Prompts().Last().text.contains(QStringLiteral("1行计分，另有2行")));
    QCOMPARE(Pending(scene.window), QStringList{good});
    scene.context.Prompts().ChooseNextFile(path);
    scene.context.Prompts().AnswerNextQuestion(true);
    ClickOn(Child<QPushButton>(scene.window, QStringLiteral("Command15")));
    QCOMPARE(Pending(scene.window).size(), 4);
  }

  // Message boxes speak Chinese: Qt's translations give 确定, 是 and 否.
  void MessageBoxButtonsAreChinese() {
    QVERIFY(InstallChineseTranslations());
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    WidgetPrompter real(scene.window);
    QStringList seen;
    const auto read_and_close = [&] {
      QTimer::singleShot(0, [&] {
        QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        for (QAbstractButton* button : box->buttons()) seen.append(button->text());
        QAbstractButton* last = box->buttons().last();
        QTest::mouseClick(last, Qt::LeftButton, Qt::NoModifier, last->rect().center());
      });
    };
    read_and_close();
    real.ShowMessage(QStringLiteral("提示"), QStringLiteral("测试"), MessageIcon::kInformation);
    read_and_close();
    real.AskYesNo(QStringLiteral("提示"), QStringLiteral("测试"), MessageIcon::kQuestion);
    for (QString& text : seen)
      text.remove(u'&').remove(QRegularExpression(QStringLiteral("\\(.*\\)")));
    seen.sort();
    QStringList expected = {QStringLiteral("确定"), QStringLiteral("是"), QStringLiteral("否")};
    expected.sort();
    QCOMPARE(seen, expected);
  }

  // 取消 reads 取消, and the open and save dialogs the program shows are in
  // Chinese: their buttons and the file name label.
  void CancelAndFileDialogsAreChinese() {
    QVERIFY(InstallChineseTranslations());
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    QVERIFY(Activate(scene.window));
    WidgetPrompter real(scene.window);

    QMessageBox question(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("测试"),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, scene.window);
    QCOMPARE(question.button(QMessageBox::Cancel)->text().remove(u'&'), QStringLiteral("取消"));
    QMessageBox confirm(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("测试"),
                        QMessageBox::Ok | QMessageBox::Cancel, scene.window);
    QCOMPARE(confirm.button(QMessageBox::Ok)->text().remove(u'&'), QStringLiteral("确定"));
    QCOMPARE(confirm.button(QMessageBox::Cancel)->text().remove(u'&'), QStringLiteral("取消"));

    // Reads the open dialog's buttons and labels, then the teacher presses
    // Escape.
    const auto read_and_cancel = [&](QStringList* buttons, QStringList* labels) {
      QTimer::singleShot(0, [=] {
        QTRY_VERIFY(qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        for (auto* button : dialog->findChildren<QPushButton*>()) {
          // "打开(&O)": the access key aside.
          if (button->isVisible()) {
            buttons->append(
                button->text().remove(QRegularExpression(QStringLiteral("\\(&.\\)"))).remove(u'&'));
          }
        }
        for (auto* label : dialog->findChildren<QLabel*>()) {
          if (label->isVisible()) labels->append(label->text());
        }
        QTRY_VERIFY(Focus() != nullptr && Focus()->window() == dialog);
        QTest::keyClick(Focus(), Qt::Key_Escape);
      });
    };
    QStringList buttons, labels;
    read_and_cancel(&buttons, &labels);
    QVERIFY(real.OpenFileName(QStringLiteral("打开数据文件"), QString::fromUtf16(kScoreFileFilter))
                .isEmpty());
    QVERIFY2(buttons.contains(QStringLiteral("打开")) && buttons.contains(QStringLiteral("取消")),
             qPrintable(buttons.join(u',')));
    QVERIFY2(labels.join(u',').contains(QStringLiteral("文件名")), qPrintable(labels.join(u',')));
    buttons.clear();
    labels.clear();
    read_and_cancel(&buttons, &labels);
    QVERIFY(real.SaveFileName(QStringLiteral("另存数据文件"), QString::fromUtf16(kScoreFileFilter))
                .isEmpty());
    QVERIFY2(buttons.contains(QStringLiteral("保存")) && buttons.contains(QStringLiteral("取消")),
             qPrintable(buttons.join(u',')));
    QVERIFY2(labels.join(u',').contains(QStringLiteral("文件名")), qPrintable(labels.join(u',')));
  }
};

QTEST_MAIN(TeacherInputTest)
#include "teacher_input_test.moc"
