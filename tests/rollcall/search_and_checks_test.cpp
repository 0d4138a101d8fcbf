// The name search above the search box (full-initials hits on top, the list
// growing upward, the keys), picks from the manual-pick panel, and the
// start-up checks of the clock and the version against the real service and
// against one that never answers.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QtTest>

#include "core/pinyin.h"
#include "core/service_time.h"
#include "rollcall/form_layout.h"
#include "tests/platform/silent_server.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;
using namespace zorvanix::layout;

namespace {

// Class 三班: 张世华 (ZSH) before 张三 (ZS), 李四, and twenty 学生NN.
struct SearchWindow {
  SearchWindow() : context(ClosedPortRoot()) {
    QStringList lines = {
        QStringLiteral("Class_Is_Ready\t三班\t"), QStringLiteral("三班\t张世华\t0\t1\t2.5\t2"),
        QStringLiteral("三班\t张三\t0\t2\t4.5\t3"), QStringLiteral("三班\t李四\t1\t3\t0\t0")};
    for (int i = 1; i <= 20; ++i) {
      lines.append(
          QStringLiteral("三班\t学生%1\t2\t%2\t3\t1").arg(i, 2, 10, QLatin1Char('0')).arg(i + 3));
    }
    WriteCache(context.CacheFile(), lines);
    context.Sess().SignInOffline();
    window = &context.Hub().RollCall();
    window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    window->show();
    window->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(window)); }();
    ChooseClass(window, QStringLiteral("三班"));
    box = Child<QLineEdit>(window, QStringLiteral("txtManual"));
    hits = Child<QListWidget>(window, QStringLiteral("List2"));
  }
  // Letters are typed key by key; Chinese arrives from the input method as
  // one piece of text.
  void Type(const QString& text) {
    bool ascii = true;
    for (const QChar c : text) ascii = ascii && c.unicode() < 0x80;
    QVERIFY(ascii ? TypeIntoFocus(box, text) : CommitIntoFocus(box, text));
  }
  TestContext context;
  RollCallWindow* window = nullptr;
  QLineEdit* box = nullptr;
  QListWidget* hits = nullptr;
};

// List2's left edge and bottom line on the draw panel (in twips, to the
// pixel), and room for exactly this many of its rows inside the frame.
#define QVERIFY_LIST2_AT(hits, rows)                                                  \
  do {                                                                                \
    QCOMPARE((hits)->x(), Px(200));                                                   \
    QVERIFY(qAbs((hits)->geometry().bottom() + 1 - Px(2370)) <= 1);                   \
    const int row_px = (hits)->sizeHintForRow(0);                                     \
    QVERIFY(qAbs((hits)->viewport()->height() - qRound(double(rows) * row_px)) <= 1); \
  } while (false)

// Every hit row lies whole inside the list's visible area; a row wider
// than the list (it scrolls sideways) at least from top to bottom.
bool EveryHitVisible(QListWidget* hits, bool whole_width = true) {
  const QRect view = hits->viewport()->rect();
  for (int row = 0; row < hits->count(); ++row) {
    const QRect rect = hits->visualItemRect(hits->item(row));
    const bool shown = whole_width ? view.contains(rect)
                                   : rect.top() >= view.top() && rect.bottom() <= view.bottom();
    if (!shown) {
      qWarning("hit %d at %d..%d, viewport %d high", row,
               hits->visualItemRect(hits->item(row)).top(),
               hits->visualItemRect(hits->item(row)).bottom(), hits->viewport()->height());
      return false;
    }
  }
  return true;
}

QWidget* Focus() { return QApplication::focusWidget(); }

void ClickOn(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// The open message box with this title, if there is one.
QMessageBox* OpenBox(const QString& title) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box && box->isVisible() && box->windowTitle() == title) return box;
  }
  return nullptr;
}

}  // namespace

class SearchAndChecksTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  void SearchPutsFullInitialsHitsOnTopAndGrowsUpward() {
    SearchWindow w;
    QCOMPARE(PinyinInitials(QStringLiteral("张世华")), QStringLiteral("ZSH"));
    w.Type(QStringLiteral("zs"));
    QVERIFY(w.hits->isVisible());
    QCOMPARE(Entries(w.hits), QStringList({"张三\t[3次,4.5分]", "张世华\t[2次,2.5分]"}));
    QVERIFY_LIST2_AT(w.hits, 3);  // two hits: room for three (600 twips of 200)

    w.Type(QStringLiteral("ZS"));
    QCOMPARE(w.hits->count(), 2);
    w.Type(QStringLiteral("世"));
    QCOMPARE(Entries(w.hits), QStringList{"张世华\t[2次,2.5分]"});

    w.Type(QStringLiteral("学生"));
    QCOMPARE(w.hits->count(), 20);
    QCOMPARE(w.hits->item(0)->text(), QStringLiteral("学生01\t[1次,3分]"));
    QVERIFY_LIST2_AT(w.hits, 8.25);  // twenty hits: 1650 twips of 200
    w.Type(QStringLiteral("xyz"));
    QVERIFY(!w.hits->isVisible());
    w.Type(QStringLiteral("ls"));
    QVERIFY(w.hits->isVisible());
    w.box->clear();
    QVERIFY(!w.hits->isVisible());
  }

  // However high the font makes a row, three and five hits are all shown
  // whole, and a long entry scrolls sideways without hiding a row.
  void HitListShowsEveryHitWhole() {
    TestContext context(ClosedPortRoot());
    QStringList lines = {QStringLiteral("Class_Is_Ready\t四班\t")};
    const QString long_name = QString(24, QChar(u'长'));
    for (const QString& name :
         {QStringLiteral("王一甲"), QStringLiteral("王一乙"), QStringLiteral("王一丙"),
          QStringLiteral("赵一"), QStringLiteral("赵二"), QStringLiteral("赵三"),
          QStringLiteral("赵四"), QStringLiteral("赵五"), long_name}) {
      lines.append(QStringLiteral("四班\t") + name + QStringLiteral("\t0\t1\t2.5\t2"));
    }
    WriteCache(context.CacheFile(), lines);
    context.Sess().SignInOffline();
    RollCallWindow* window = &context.Hub().RollCall();
    window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    ChooseClassByKeys(window, QStringLiteral("四班"));
    auto* box = Child<QLineEdit>(window, QStringLiteral("txtManual"));
    auto* hits = Child<QListWidget>(window, QStringLiteral("List2"));
    // Chinese comes from the input method as one piece of text.
    const auto type = [&](const QString& text) {
      ClickOn(box);
      QTest::keyClick(Focus(), Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(Focus(), Qt::Key_Delete);
      QTest::sendKeyEvent(QTest::KeyAction::Click, Focus(), Qt::Key_unknown, text, Qt::NoModifier);
      QCOMPARE(box->text(), text);
    };

    type(QStringLiteral("王一"));
    QCOMPARE(hits->count(), 3);
    QVERIFY(hits->isVisible());
    QVERIFY(EveryHitVisible(hits));
    QVERIFY_LIST2_AT(hits, 3);
    QCOMPARE(hits->horizontalScrollBar()->maximum(), 0);

    type(QStringLiteral("赵"));
    QCOMPARE(hits->count(), 5);
    QVERIFY(EveryHitVisible(hits));
    QVERIFY_LIST2_AT(hits, 5);

    type(QStringLiteral("长长"));
    QCOMPARE(hits->count(), 1);
    QVERIFY(hits->horizontalScrollBar()->isVisible());
    QVERIFY(hits->horizontalScrollBar()->maximum() > 0);
    QVERIFY(EveryHitVisible(hits, false));
    QVERIFY(qAbs(hits->geometry().bottom() + 1 - Px(2370)) <= 1);
    // Scrolled to its end, the entry's last pixel comes into view.
    hits->horizontalScrollBar()->setValue(hits->horizontalScrollBar()->maximum());
    QVERIFY(hits->visualItemRect(hits->item(0)).right() <= hits->viewport()->width() + 1);
  }

  void KeysMoveFromTheBoxToTheHitsAndPick() {
    SearchWindow w;
    w.Type(QStringLiteral("zs"));
    QTest::keyClick(w.box, Qt::Key_Escape);
    QVERIFY(!w.hits->isVisible());

    QTest::keyClick(w.box, Qt::Key_Down);
    QVERIFY(w.hits->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(w.hits->hasFocus(), 2000);
    QCOMPARE(w.hits->currentRow(), 0);
    QTest::keyClick(w.hits, Qt::Key_Return);
    QCOMPARE(Child<QLineEdit>(w.window, QStringLiteral("Text2"))->text(), QStringLiteral("张三"));
    QCOMPARE(w.window->CurrentStudent(), QStringLiteral("张三"));
    QVERIFY(!w.window->Pools().Pool(kDrawNotCalled).contains(QStringLiteral("张三")));
    QCOMPARE(w.window->Pools().Pool(kDrawCalled), QStringList{"张三"});
    QVERIFY(w.box->text().isEmpty());
    QVERIFY(!w.hits->isVisible());
  }

  void PicksFromTheManualPanelLeaveThePools() {
    SearchWindow w;
    const QStringList not_called = w.window->Pools().Pool(kDrawNotCalled);
    PickByHand(w.window, QStringLiteral("李四"));
    QCOMPARE(Child<QLineEdit>(w.window, QStringLiteral("Text2"))->text(), QStringLiteral("李四"));
    QVERIFY(!Child<QWidget>(w.window, QStringLiteral("Frame6"))->isVisible());
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame5"))->isVisible());
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("StatusBar1"))->isVisible());
    auto* scores = Child<QComboBox>(w.window, QStringLiteral("Combo1"));
    QVERIFY(scores->isEnabled());
    QVERIFY(scores->currentText().isEmpty());
    QCOMPARE(w.window->Pools().Pool(kDrawNotCalled), not_called);
    QVERIFY(w.window->Pools().Pool(kDrawCalled).isEmpty());

    // A name on the group tab is picked the same way.
    Click(w.window, QStringLiteral("btnChou_12"));
    QVERIFY(ClickTab(Child<QTabBar>(w.window, QStringLiteral("TabStrip1")), 3));
    DoubleClickEntry(Child<QListWidget>(w.window, QStringLiteral("List_group_2")), 4);
    QCOMPARE(w.window->CurrentStudent(), QStringLiteral("学生05"));
    QVERIFY(!Child<QWidget>(w.window, QStringLiteral("Frame6"))->isVisible());
    QCOMPARE(w.window->Pools().Pool(kDrawNotCalled), not_called);
  }

  void ClockMoreThanFiveMinutesOffIsReported() {
    // The PC is set 301 s behind the service's time as read just before; the
    // service's clock only moves on, so the check sees at least 301 s.
    TestContext context(SharedService().Root());
    context.Context().config.startup_checks = true;
    const qint64 server = context.Context().service->ServerTime().toLongLong();
    QVERIFY(server > 0);
    context.Time().Set(ServiceTimeToDateTime(server - 301));
    context.Hub().RollCall().SecondTick();
    QTRY_COMPARE(context.Prompts().Records().size(), 1);
    const PromptRecord warning = context.Prompts().Last();
    QCOMPARE(warning.title, QStringLiteral("时间错误"));
    QCOMPARE(warning.icon, MessageIcon::kWarning);
    const QStringList lines = warning.text.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("时间错误，请修改后确定！"));
    const QDateTime shown = ParseDateTimeText(lines[1].mid(6)).value_or(QDateTime());
    QVERIFY2(lines[1].startsWith(QStringLiteral("服务器时间:")), qPrintable(lines[1]));
    QVERIFY(ServiceSeconds(shown) >= server && ServiceSeconds(shown) < server + 30);
    QCOMPARE(lines[2], QStringLiteral("本电脑时间:") + TimestampToText(server - 301));
  }

  void ClockExactlyFiveMinutesOffIsFine() {
    // 300 s ahead: as the service's clock moves on, the gap only shrinks.
    TestContext context(SharedService().Root());
    context.Context().config.startup_checks = true;
    const qint64 server = context.Context().service->ServerTime().toLongLong();
    QVERIFY(server > 0);
    context.Time().Set(ServiceTimeToDateTime(server + 300));
    RollCallWindow& window = context.Hub().RollCall();
    window.SecondTick();
    // The version check of the same tick: the vendor endpoint's answer,
    // blanks around it removed. The clock's reply, asked first, is in too.
    QTRY_COMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_2"))->text(),
                 QStringLiteral("服务器版本:2.5.1"));
    QTest::qWait(100);
    QVERIFY(context.Prompts().Records().isEmpty());
    window.SecondTick();  // later ticks check nothing again
    QVERIFY(context.Prompts().Records().isEmpty());
  }

  void FixtureChecksAreOffUnlessTurnedOn() {
    TestContext context(ClosedPortRoot());
    RollCallWindow& window = context.Hub().RollCall();
    window.SecondTick();  // the fixture's checks are off: nothing is asked
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_2"))->text(), QString());
  }

  // A service that takes the requests and never answers keeps both checks
  // waiting; meanwhile the seconds count on, the stopwatch switched on by a
  // double-click runs, and a draw rolls and stops on a name.
  void ASilentServiceHoldsUpNothing() {
    SilentServer silent;
    TestContext context(silent.Root());
    context.Context().config.startup_checks = true;
    WriteCache(context.CacheFile(), SampleCacheLines());
    context.Sess().SignInOffline();
    RollCallWindow& window = context.Hub().RollCall();
    QElapsedTimer since_start;
    since_start.start();
    window.RefreshMainWindowFromCache(CacheRefresh::kOffline);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    ChooseClassByKeys(&window, QStringLiteral("一班"));

    // The first tick sent both requests; neither is answered.
    QTRY_VERIFY_WITH_TIMEOUT(silent.Received().contains("/score/servertime.php"), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(silent.Received().contains("/version.php"), 2000);
    auto* clock_label = Child<QLabel>(&window, QStringLiteral("Label30"));
    QTest::mouseDClick(clock_label, Qt::LeftButton, Qt::NoModifier, clock_label->rect().center());
    QVERIFY(window.Watch().Running());
    const qint64 started = window.Watch().SecondsSinceStart();

    auto* all = Child<QPushButton>(&window, QStringLiteral("btnChou_0"));
    const QString caption = all->text();
    auto* roll = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    QSignalSpy roll_steps(roll, &QTimer::timeout);
    ClickOn(all);
    QTRY_VERIFY_WITH_TIMEOUT(roll_steps.size() >= 20, 5000);
    ClickOn(all);
    QCOMPARE(all->text(), caption);
    QVERIFY(kClassOneStudents.contains(window.CurrentStudent()));

    QTRY_VERIFY_WITH_TIMEOUT(window.Watch().SecondsSinceStart() >= started + 3, 6000);
    QVERIFY(window.Watch().Seconds() >= 3);
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_4"))->text(),
             window.Watch().HoursMinutesSeconds());
    QCOMPARE(clock_label->text(), window.Watch().MinutesSeconds());
    // Still no answer: the version panel still says it is checking, and the
    // requests' ten-second limit has not run out.
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_2"))->text(),
             QStringLiteral("正在检测服务器版本"));
    QVERIFY2(since_start.elapsed() < 9000, qPrintable(QString::number(since_start.elapsed())));
    // Not a second lost to the wait.
    QVERIFY(window.Watch().SecondsSinceStart() >= since_start.elapsed() / 1000 - 1);
  }

  // The clock warning stays open beside the window: it holds up neither
  // the seconds nor the teacher's clicks, and closes with its OK.
  void TheClockWarningHoldsUpNothing() {
    TestContext context(SharedService().Root());
    context.Context().config.startup_checks = true;
    const qint64 server = context.Context().service->ServerTime().toLongLong();
    QVERIFY(server > 0);
    context.Time().Set(ServiceTimeToDateTime(server - 360));
    RollCallWindow& window = context.Hub().RollCall();
    WidgetPrompter real(&window);
    context.Context().prompter = &real;
    // A box that waited for its OK would stop this test where it stands; the
    // teacher gives up after a while and closes it, and the test fails.
    QTimer give_up;
    give_up.setSingleShot(true);
    QObject::connect(&give_up, &QTimer::timeout, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    give_up.start(15000);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    QTRY_VERIFY_WITH_TIMEOUT(OpenBox(QStringLiteral("时间错误")) != nullptr, 8000);
    QPointer<QMessageBox> box = OpenBox(QStringLiteral("时间错误"));
    QVERIFY(box->text().startsWith(QStringLiteral("时间错误，请修改后确定！")));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    const qint64 shown_at = window.Watch().SecondsSinceStart();
    QTRY_VERIFY_WITH_TIMEOUT(window.Watch().SecondsSinceStart() >= shown_at + 2, 5000);
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("Label30"))->text(),
             window.Watch().MinutesSeconds());
    // A click on the window while the warning is open still works.
    auto* clock_label = Child<QLabel>(&window, QStringLiteral("Label30"));
    QTest::mouseDClick(clock_label, Qt::LeftButton, Qt::NoModifier, clock_label->rect().center());
    QVERIFY(window.Watch().Running());
    QVERIFY(box && box->isVisible());

    ClickOn(box->button(QMessageBox::Ok));
    QTRY_VERIFY(box.isNull() || !box->isVisible());
    context.Context().prompter = &context.Prompts();
  }

  void ChecksWithoutTheServiceStayQuiet() {
    TestContext context(ClosedPortRoot());
    context.Context().config.startup_checks = true;
    RollCallWindow& window = context.Hub().RollCall();
    window.SecondTick();
    auto* panel = Child<QLabel>(&window, QStringLiteral("StatusBar1_2"));
    QCOMPARE(panel->text(), QStringLiteral("正在检测服务器版本"));
    // A request sent after both checks finds nobody either; the checks'
    // refusals have come in by then.
    QVERIFY(context.Context().service->ServerTime().isEmpty());
    QTest::qWait(100);
    QVERIFY(context.Prompts().Records().isEmpty());
    QCOMPARE(panel->text(), QStringLiteral("正在检测服务器版本"));
    QTest::mouseDClick(panel, Qt::LeftButton);
    QCOMPARE(context.Browser().opened.size(), 1);
    QCOMPARE(context.Browser().opened.front().toString(),
             context.Context().config.vendor_site + QStringLiteral("/update.php?sort=Pellory"));
  }
};

QTEST_MAIN(SearchAndChecksTest)
#include "search_and_checks_test.moc"
