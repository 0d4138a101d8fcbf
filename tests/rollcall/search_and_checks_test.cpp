// The name search above the search box (full-initials hits on top, the list
// growing upward, the keys), picks from the manual-pick panel, and the
// start-up checks of the clock and the version against the real service.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QtTest>

#include "core/pinyin.h"
#include "core/service_time.h"
#include "rollcall/form_layout.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"

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
    window->RefreshMainWindowFromCache(QStringLiteral("offline"));
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
    box->clear();
    bool ascii = true;
    for (const QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
      QTest::keyClicks(box, text);
    } else {
      box->insert(text);
    }
  }
  TestContext context;
  RollCallWindow* window = nullptr;
  QLineEdit* box = nullptr;
  QListWidget* hits = nullptr;
};

// List2's edges on the draw panel, in twips, to the pixel.
#define QVERIFY_LIST2_AT(hits, height_twips)                        \
  do {                                                              \
    QCOMPARE((hits)->x(), Px(200));                                 \
    QCOMPARE((hits)->height(), Px(height_twips));                   \
    QVERIFY(qAbs((hits)->geometry().bottom() + 1 - Px(2370)) <= 1); \
  } while (false)

}  // namespace

class SearchAndChecksTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedService(); }

  void SearchPutsFullInitialsHitsOnTopAndGrowsUpward() {
    SearchWindow w;
    QCOMPARE(PinyinInitials(QStringLiteral("张世华")), QStringLiteral("ZSH"));
    w.Type(QStringLiteral("zs"));
    QVERIFY(w.hits->isVisible());
    QCOMPARE(Entries(w.hits), QStringList({"张三\t[3次,4.5分]", "张世华\t[2次,2.5分]"}));
    QVERIFY_LIST2_AT(w.hits, 600);  // two hits: raised to 600

    w.Type(QStringLiteral("ZS"));
    QCOMPARE(w.hits->count(), 2);
    w.Type(QStringLiteral("世"));
    QCOMPARE(Entries(w.hits), QStringList{"张世华\t[2次,2.5分]"});

    w.Type(QStringLiteral("学生"));
    QCOMPARE(w.hits->count(), 20);
    QCOMPARE(w.hits->item(0)->text(), QStringLiteral("学生01\t[1次,3分]"));
    QVERIFY_LIST2_AT(w.hits, 1650);  // twenty hits: lowered to 1650
    w.Type(QStringLiteral("xyz"));
    QVERIFY(!w.hits->isVisible());
    w.Type(QStringLiteral("ls"));
    QVERIFY(w.hits->isVisible());
    w.box->clear();
    QVERIFY(!w.hits->isVisible());
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
    Child<QTabBar>(w.window, QStringLiteral("TabStrip1"))->setCurrentIndex(3);
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
    QCOMPARE(context.Prompts().Records().size(), 1);
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
    QVERIFY(context.Prompts().Records().isEmpty());
    // The version check of the same tick: the vendor endpoint's answer,
    // blanks around it removed.
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_2"))->text(),
             QStringLiteral("服务器版本:2.5.1"));
    window.SecondTick();  // later ticks check nothing again
    QVERIFY(context.Prompts().Records().isEmpty());
  }

  void FixtureChecksAreOffUnlessTurnedOn() {
    TestContext context(ClosedPortRoot());
    RollCallWindow& window = context.Hub().RollCall();
    window.SecondTick();  // the fixture's checks are off: nothing is asked
    QCOMPARE(Child<QLabel>(&window, QStringLiteral("StatusBar1_2"))->text(), QString());
  }

  void ChecksWithoutTheServiceStayQuiet() {
    TestContext context(ClosedPortRoot());
    context.Context().config.startup_checks = true;
    RollCallWindow& window = context.Hub().RollCall();
    window.SecondTick();
    QVERIFY(context.Prompts().Records().isEmpty());
    auto* panel = Child<QLabel>(&window, QStringLiteral("StatusBar1_2"));
    QCOMPARE(panel->text(), QStringLiteral("正在检测服务器版本"));
    QTest::mouseDClick(panel, Qt::LeftButton);
    QCOMPARE(context.Browser().opened.size(), 1);
    QCOMPARE(context.Browser().opened.front().toString(),
             context.Context().config.vendor_site + QStringLiteral("/update.php?sort=Pellory"));
  }
};

QTEST_MAIN(SearchAndChecksTest)
#include "search_and_checks_test.moc"
