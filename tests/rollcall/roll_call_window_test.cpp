// The roll-call window from the teacher's side: start-up, the choices filled
// from the cache, pools and draw buttons, drawing, both ways of scoring with
// the daily log on disk, the stopwatch, the divider, folding and closing.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTabBar>
#include <QTimer>
#include <QtTest>

#include "controls/list_text_width.h"
#include "controls/splitter.h"
#include "core/gbk.h"
#include "core/score_line.h"
#include "login/login_window.h"
#include "rollcall/form_layout.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;
using namespace zorvanix::layout;

namespace {

int TwipsWidth(const QWidget* w) { return Twips(w->width()); }
// Sizes in twips land on whole pixels: within one pixel is exact.
#define QVERIFY_NEAR_TWIPS(actual, expected) \
  QVERIFY2(qAbs((actual) - (expected)) < 15, \
           qPrintable(QStringLiteral("%1 vs %2").arg(actual).arg(expected)))
// Left edge in window twips; the draw panel sits 120 twips up and left.
int WindowLeft(const QWidget* w) { return Twips(w->mapTo(w->window(), QPoint(0, 0)).x()); }

void DoubleClick(QWidget* widget) {
  QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(2, 2),
                    QPointF(widget->mapToGlobal(QPoint(2, 2))), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void MouseOver(QWidget* widget) {
  QMouseEvent event(QEvent::MouseMove, QPointF(3, 3), QPointF(widget->mapToGlobal(QPoint(3, 3))),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// The line the daily log holds for one score: GBK, CR LF.
QByteArray LogBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += EncodeGbk(line) + "\r\n";
  return bytes;
}

QStringList Items(const QListWidget* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items.append(list->item(i)->text());
  return items;
}

}  // namespace

class RollCallWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void StartsWithNothingToDraw() {
    TestContext context(ClosedPortRoot(), QStringLiteral("http://vendor.example"));
    RollCallWindow& window = context.Hub().RollCall();
    window.show();
    QCOMPARE(window.objectName(), QStringLiteral("Form1"));
    QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
    for (int i = 0; i <= 12; ++i) {
      QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("btnChou_%1").arg(i))->isEnabled());
    }
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("btnChou_12"))->text(),
             QStringLiteral("手动"));
    auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    QVERIFY(!classes->isEnabled());
    QVERIFY(!window.findChild<QPushButton*>(QStringLiteral("btnManage"))->isEnabled());
    auto* scores = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    QStringList choices;
    for (int i = 0; i < scores->count(); ++i) choices.append(scores->itemText(i));
    QCOMPARE(choices, QStringList({"5分", "4分", "3分", "2分", "1分", "0分"}));
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("Label4"))->text().isEmpty());
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("Label28"))->text().isEmpty());
    QVERIFY(window.findChild<QTimer*>(QStringLiteral("Timer2"))->isActive());
    QVERIFY(!window.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());

    // Sized to the draw panel: 100 twips narrower, 600 taller; Frame5 hides
    // its border 120 twips up and left; the other panels are out of sight.
    auto* frame5 = window.findChild<QWidget*>(QStringLiteral("Frame5"));
    QCOMPARE(frame5->pos(), QPoint(-8, -8));
    QVERIFY_NEAR_TWIPS(TwipsWidth(&window), TwipsWidth(frame5) - 100);
    QCOMPARE(Twips(window.height()), Twips(frame5->height()) + 600);
    for (const char* panel : {"Frame4", "Frame7", "Frame8", "Frame1", "Frame6"}) {
      QVERIFY2(!window.findChild<QWidget*>(QLatin1String(panel))->isVisible(), panel);
    }
    // No topic yet: no criteria list, no divider, the name spans the window.
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("List1"))->isVisible());
    QVERIFY(!window.findChild<QWidget*>(QStringLiteral("Splitter1"))->isVisible());
    QVERIFY_NEAR_TWIPS(TwipsWidth(window.findChild<QWidget*>(QStringLiteral("Text13"))),
                       Twips(window.width()) - 140);

    auto* status = window.findChild<QWidget*>(QStringLiteral("StatusBar1"));
    const auto panel = [&](int n) {
      return status->findChild<QLabel*>(QStringLiteral("StatusBar1_%1").arg(n));
    };
    QCOMPARE(panel(1)->text(), QStringLiteral("版本:1.0.0"));
    QCOMPARE(panel(1)->width(), 80);
    QCOMPARE(panel(2)->text(), QString());
    QCOMPARE(panel(2)->width(), 120);
    QCOMPARE(panel(2)->toolTip(), QStringLiteral("双击可下载最新版本"));
    QCOMPARE(panel(4)->text(), QStringLiteral("双击计时"));
    QCOMPARE(panel(4)->toolTip(), QStringLiteral("计时开关"));
    QCOMPARE(panel(5)->text(), QStringLiteral("http://vendor.example"));
    QCOMPARE(panel(5)->toolTip(), QStringLiteral("双击访问官网"));
    int first_four = 0;
    for (int n = 1; n <= 4; ++n) first_four += panel(n)->width();
    QCOMPARE(panel(5)->width(), window.width() - first_four);
    DoubleClick(panel(5));
    DoubleClick(panel(1));
    QCOMPARE(context.Browser().opened, QList<QUrl>{QUrl(QStringLiteral("http://vendor.example"))});
  }

  void RefreshFillsTheChoicesFromTheCache() {
    OfflineWindow w;
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Zorvanix [离线用户]"));
    auto* classes = w.Find<QComboBox>(QStringLiteral("Combo2"));
    QVERIFY(classes->isEnabled());
    QCOMPARE(classes->currentIndex(), -1);
    QCOMPARE(classes->placeholderText(), QStringLiteral("班级"));
    QCOMPARE(classes->count(), 4);
    QCOMPARE(classes->itemText(3), QStringLiteral("3/4班"));
    auto* topics = w.Find<QComboBox>(QStringLiteral("Combo3"));
    QCOMPARE(topics->count(), 2);
    QCOMPARE(topics->currentText(), QStringLiteral("朗读"));
    QCOMPARE(w.Find<QLineEdit>(QStringLiteral("Text5"))->text(), QStringLiteral("朗读"));
    auto* criteria = w.Find<QListWidget>(QStringLiteral("List1"));
    QCOMPARE(Items(criteria), QStringList({"[5分]\t读音准确", "[3.5分]\t声音洪亮"}));

    // With criteria the name boxes and the topic end at the divider.
    auto* divider = w.Find<QWidget>(QStringLiteral("Splitter1"));
    QVERIFY(divider->isVisible() && criteria->isVisible());
    const int s = WindowLeft(divider);
    auto* box = w.Find<QWidget>(QStringLiteral("Text13"));
    QVERIFY_NEAR_TWIPS(WindowLeft(box) + TwipsWidth(box), s + 120);
    auto* name = w.Find<QWidget>(QStringLiteral("Text2"));
    QVERIFY_NEAR_TWIPS(WindowLeft(name) + TwipsWidth(name), s + 90);
    QVERIFY_NEAR_TWIPS(WindowLeft(topics) + TwipsWidth(topics), s + 120);
    QVERIFY_NEAR_TWIPS(WindowLeft(criteria), s + TwipsWidth(divider) + 120);
    QCOMPARE(criteria->mapTo(w.window, QPoint(criteria->width(), 0)).x(), w.window->width());

    // A topic without criteria: no list, no divider, widened boxes.
    QVERIFY(ChooseEntry(topics, 1));
    QCOMPARE(criteria->count(), 0);
    QVERIFY(!criteria->isVisible() && !divider->isVisible());
    QVERIFY_NEAR_TWIPS(TwipsWidth(box), Twips(w.window->width()) - 140);
    QVERIFY_NEAR_TWIPS(TwipsWidth(name), Twips(w.window->width()) - 200);
    QVERIFY_NEAR_TWIPS(TwipsWidth(topics), TwipsWidth(box) - 1700);
    QCOMPARE(w.Find<QLineEdit>(QStringLiteral("Text5"))->text(), QStringLiteral("背诵"));

    // A typed topic that is only blanks clears the list and keeps the layout.
    topics->setEditText(QStringLiteral("朗读"));
    QCOMPARE(criteria->count(), 2);
    topics->setEditText(QStringLiteral("  "));
    QCOMPARE(criteria->count(), 0);
    QCOMPARE(w.Find<QLineEdit>(QStringLiteral("Text5"))->text(), QStringLiteral("  "));
  }

  void CacheWithoutTopicsGivesAnEmptyTopicChoice() {
    OfflineWindow w;
    WriteCache(w.context.CacheFile(), {"Class_Is_Ready\t一班\t二班\t", "一班\t张三\t0\t1\t4\t2"});
    w.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    QCOMPARE(w.Find<QComboBox>(QStringLiteral("Combo2"))->count(), 2);
    QCOMPARE(w.Find<QComboBox>(QStringLiteral("Combo3"))->count(), 0);
    QCOMPARE(w.Find<QComboBox>(QStringLiteral("Combo3"))->currentText(), QString());
  }

  void ChoosingAClassFillsPoolsButtonsAndGroups() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    QCOMPARE(w.window->ClassName(), QStringLiteral("一班"));
    const DrawPools& pools = w.window->Pools();
    QCOMPARE(pools.Pool(kDrawAll), QStringList({"张三", "李四", "王五", "赵六", "钱七"}));
    for (int i = 0; i < kDrawPoolCount; ++i) {
      QCOMPARE(w.DrawButton(i)->isEnabled(), pools.HasNames(i));
    }
    QVERIFY(!w.DrawButton(kDrawCalled)->isEnabled());
    QVERIFY(!w.DrawButton(kDrawVeryFew)->isEnabled());
    QVERIFY(w.DrawButton(kManualPickButton)->isEnabled());
    QVERIFY(w.Find<QLineEdit>(QStringLiteral("txtManual"))->isEnabled());
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_group_1"))),
             QStringList({"李四", "王五"}));
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_group_15"))), QStringList({"钱七"}));

    // Class 1 is a prefix of class 10: each sees its own students only.
    w.ChooseClass(QStringLiteral("1"));
    QCOMPARE(w.window->Pools().Pool(kDrawAll), QStringList({"孙八"}));
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_group_1"))), QStringList());
    w.ChooseClass(QStringLiteral("10"));
    QCOMPARE(w.window->Pools().Pool(kDrawAll), QStringList({"周九", "吴十"}));

    // A refresh forgets the pools and disables every draw button.
    w.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    for (int i = 0; i <= kManualPickButton; ++i) QVERIFY(!w.DrawButton(i)->isEnabled());
    QVERIFY(!w.window->Pools().HasNames(kDrawAll));
  }

  void DrawRollsAndStopsOnAName() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    QPushButton* not_called = w.DrawButton(kDrawNotCalled);
    auto* roll = w.Find<QTimer>(QStringLiteral("Timer1"));
    QSignalSpy ticks(roll, &QTimer::timeout);
    QVERIFY(Click(not_called));
    QCOMPARE(not_called->text(), QStringLiteral("暂停"));
    QVERIFY(roll->isActive());
    QCOMPARE(roll->interval(), 5);
    for (int i = 0; i < kDrawPoolCount; ++i) {
      QCOMPARE(w.DrawButton(i)->isEnabled(), i == kDrawNotCalled);
    }
    QVERIFY(w.DrawButton(kManualPickButton)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 5, 5000);
    QVERIFY(w.window->Pools().Pool(kDrawAll).contains(w.Text2()));

    QVERIFY(Click(not_called));
    const QString drawn = w.Text2();
    QCOMPARE(not_called->text(), QStringLiteral("未点"));
    QVERIFY(!roll->isActive());
    QCOMPARE(w.window->CurrentStudent(), drawn);
    QVERIFY(!w.window->Pools().Pool(kDrawNotCalled).contains(drawn));
    QCOMPARE(w.window->Pools().Pool(kDrawCalled), QStringList{drawn});
    QCOMPARE(w.window->Pools().Pool(kDrawAll).size(), 5);
    QVERIFY(w.DrawButton(kDrawCalled)->isEnabled());
    QVERIFY(w.Find<QComboBox>(QStringLiteral("Combo1"))->isEnabled());
    QVERIFY(w.Find<QListWidget>(QStringLiteral("List1"))->isEnabled());
    // The same key that started the draw starts the next one.
    QVERIFY(not_called->hasFocus());

    // Drawing from "已点" changes no pool.
    const QString again = w.Draw(kDrawCalled);
    QCOMPARE(again, drawn);
    QCOMPARE(w.window->Pools().Pool(kDrawCalled), QStringList{drawn});

    // A pool of one name: that name, then the button goes off; the name
    // leaves that pool only.
    const QStringList not_called_before = w.window->Pools().Pool(kDrawNotCalled);
    QCOMPARE(w.Draw(kDrawNever), QStringLiteral("王五"));
    QVERIFY(!w.DrawButton(kDrawNever)->isEnabled());
    QVERIFY(w.Find<QWidget>(QStringLiteral("txtManual"))->hasFocus());
    QCOMPARE(w.window->Pools().Pool(kDrawNotCalled), not_called_before);
  }

  void NewPoolsEndARollingDrawWithoutAResult() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    auto* roll = w.Find<QTimer>(QStringLiteral("Timer1"));
    QVERIFY(Click(w.DrawButton(kDrawAll)));
    w.ChooseClass(QStringLiteral("10"));
    QVERIFY(!roll->isActive());
    QCOMPARE(w.DrawButton(kDrawAll)->text(), QStringLiteral("所有"));
    QVERIFY(w.DrawButton(kDrawAll)->isEnabled());
    QVERIFY(w.window->Pools().Pool(kDrawCalled).isEmpty());
    QVERIFY(w.window->CurrentStudent().isEmpty());

    QVERIFY(Click(w.DrawButton(kDrawNotCalled)));
    w.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    QVERIFY(!roll->isActive());
    QCOMPARE(w.DrawButton(kDrawNotCalled)->text(), QStringLiteral("未点"));
  }

  void NameDisplayFitsTheBoxAndShowsTheCounts() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    auto* name = w.Find<QLineEdit>(QStringLiteral("Text2"));
    auto* box = w.Find<QWidget>(QStringLiteral("Text13"));
    const int width = TwipsWidth(name);
    name->setText(QStringLiteral("张三"));
    QCOMPARE(name->font().pointSize(), std::min(70, width / (2 * 24)));
    QCOMPARE(w.Find<QLabel>(QStringLiteral("Label4"))->text(), QStringLiteral("4.5"));
    QCOMPARE(w.Find<QLabel>(QStringLiteral("Label28"))->text(), QStringLiteral("3"));
    // One line high, centred in the background box: the box's top is the
    // panel's 120 twips.
    QCOMPARE(name->height(), QFontMetrics(name->font()).height() + 4);
    QVERIFY_NEAR_TWIPS(Twips(name->y()), (Twips(box->height()) - Twips(name->height())) / 2 + 120);

    const QString sixteen = QStringLiteral("欧阳一二三四五六七八九十甲乙丙丁");
    const QString thirty_two = sixteen + sixteen;
    name->setText(sixteen);
    const int size16 = name->font().pointSize();
    QCOMPARE(size16, width / (16 * 24));
    QVERIFY(size16 < 70);
    name->setText(thirty_two);
    QCOMPARE(name->font().pointSize(), width / (32 * 24));
    QCOMPARE(name->font().pointSize(), size16 / 2);
    // A student never scored, and a name not in the class: empty labels.
    name->setText(QStringLiteral("王五"));
    QVERIFY(w.Find<QLabel>(QStringLiteral("Label4"))->text().isEmpty());
    QVERIFY(w.Find<QLabel>(QStringLiteral("Label28"))->text().isEmpty());
    name->setText(QStringLiteral("孙八"));
    QVERIFY(w.Find<QLabel>(QStringLiteral("Label28"))->text().isEmpty());
  }

  void PlainScoreGoesToTheLogAndThePendingList() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    const QString drawn = w.Draw(kDrawAll);
    auto* score = w.Find<QComboBox>(QStringLiteral("Combo1"));
    w.ChooseScore(1);
    const QString line = drawn + QStringLiteral("\t4分\t2026-12-07 09:30:00\t");
    const QString log =
        QDir(w.context.DataDir()).filePath(QStringLiteral("离线用户_一班_2026-12-07.Log"));
    QCOMPARE(w.window->DailyLogPath(), log);
    QCOMPARE(FileBytes(log), LogBytes({QStringLiteral("一班\t") + line}));
    QCOMPARE(w.window->PendingScores(), QStringList{QStringLiteral("一班\t") + line});
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List4"))).size(), 1);
    QVERIFY(w.window->CurrentStudent().isEmpty());
    QVERIFY(!score->isEnabled());
    QVERIFY(!w.Find<QListWidget>(QStringLiteral("List1"))->isEnabled());

    // The same student cannot be scored twice this way: the score box takes
    // no choice until the next student.
    QVERIFY(!ChooseEntry(score, 0));
    QCOMPARE(w.window->PendingScores().size(), 1);

    // A typed score confirmed with Enter is taken exactly as typed.
    const QString next = w.Draw(kDrawAll);
    w.context.Time().Advance(61);
    score->setEditText(QStringLiteral("7"));
    QTest::keyClick(score->lineEdit(), Qt::Key_Return);
    QCOMPARE(w.window->PendingScores().last(),
             QStringLiteral("一班\t") + next + QStringLiteral("\t7\t2026-12-07 09:31:01\t"));
    QCOMPARE(FileBytes(log), LogBytes(w.window->PendingScores()));
    // The pending list scrolls 150 pixels past its widest line.
    auto* pending = w.Find<ExtentListWidget>(QStringLiteral("List4"));
    QCOMPARE(pending->HorizontalExtent(), ListTextWidth(*pending) + 150);
  }

  void CriterionScoresMarkTheCriterionAndKeepTheStudent() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    const QString drawn = w.Draw(kDrawNotCalled);
    auto* criteria = w.Find<QListWidget>(QStringLiteral("List1"));
    auto* score = w.Find<QComboBox>(QStringLiteral("Combo1"));
    DoubleClickEntry(criteria, 1);
    QCOMPARE(score->currentText(), QStringLiteral("3.5分"));
    QVERIFY(!score->isEnabled());
    QCOMPARE(criteria->item(1)->text(), QStringLiteral("[3.5分]√\t声音洪亮"));
    const QString first =
        QStringLiteral("一班\t") + drawn + QStringLiteral("\t3.5分\t2026-12-07 09:30:00\t声音洪亮");
    QCOMPARE(w.window->PendingScores(), QStringList{first});

    // A marked criterion does nothing; another one scores the same student.
    DoubleClickEntry(criteria, 1);
    QCOMPARE(w.window->PendingScores().size(), 1);
    DoubleClickEntry(criteria, 0);
    const QString second =
        QStringLiteral("一班\t") + drawn + QStringLiteral("\t5分\t2026-12-07 09:30:00\t读音准确");
    QCOMPARE(w.window->PendingScores(), QStringList({first, second}));
    QCOMPARE(w.window->CurrentStudent(), drawn);
    QCOMPARE(FileBytes(w.window->DailyLogPath()), LogBytes({first, second}));

    // The next draw reloads the criteria without marks.
    w.Draw(kDrawAll);
    QCOMPARE(Items(criteria), QStringList({"[5分]\t读音准确", "[3.5分]\t声音洪亮"}));
  }

  void TheFirstScoreAfterMidnightStartsTheNextDaysLog() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    w.context.Time().Set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59)));
    const QString before = w.Draw(kDrawAll);
    w.ChooseScore(0);
    w.context.Time().Advance(2);
    const QString after = w.Draw(kDrawAll);
    w.ChooseScore(5);
    const QDir dir(w.context.DataDir());
    QCOMPARE(FileBytes(dir.filePath(QStringLiteral("离线用户_一班_2026-12-07.Log"))),
             LogBytes({QStringLiteral("一班\t") + before +
                       QStringLiteral("\t5分\t2026-12-07 23:59:59\t")}));
    QCOMPARE(FileBytes(dir.filePath(QStringLiteral("离线用户_一班_2026-12-08.Log"))),
             LogBytes({QStringLiteral("一班\t") + after +
                       QStringLiteral("\t0分\t2026-12-08 00:00:01\t")}));

    // Another class the same day: another file.
    w.ChooseClass(QStringLiteral("10"));
    w.Draw(kDrawAll);
    w.ChooseScore(2);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("离线用户_10_2026-12-08.Log"))));
  }

  void LogNamesAreMadeSafeAndUnwritableLogsKeepTheScore() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("3/4班"));
    QCOMPARE(w.Draw(kDrawAll), QStringLiteral("郑一"));
    w.ChooseScore(0);
    const QString line = QStringLiteral("3/4班\t郑一\t5分\t2026-12-07 09:30:00\t");
    QCOMPARE(
        FileBytes(
            QDir(w.context.DataDir()).filePath(QStringLiteral("离线用户_3%2F4班_2026-12-07.Log"))),
        LogBytes({line}));
    QCOMPARE(w.window->PendingScores(), QStringList{line});

    // A log that cannot be written: the teacher is told once, the score stays.
    w.ChooseClass(QStringLiteral("1"));
    QVERIFY(QDir(w.context.DataDir()).mkdir(QStringLiteral("离线用户_1_2026-12-07.Log")));
    w.Draw(kDrawAll);
    w.ChooseScore(0);
    w.Draw(kDrawAll);
    w.ChooseScore(1);
    QCOMPARE(w.window->PendingScores().size(), 3);
    QCOMPARE(w.context.Prompts().Records().size(), 1);
    QCOMPARE(w.context.Prompts().Last().title, QStringLiteral("警告"));
    QCOMPARE(w.context.Prompts().Last().icon, MessageIcon::kWarning);
  }

  void PickByNameMovesTheStudentToCalled() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    auto* hits = w.Find<QListWidget>(QStringLiteral("List2"));
    hits->addItem(QStringLiteral("李四\t[1次,2.5分]"));
    hits->show();
    DoubleClickEntry(hits, 0);
    QCOMPARE(w.Text2(), QStringLiteral("李四"));
    QCOMPARE(w.window->CurrentStudent(), QStringLiteral("李四"));
    QVERIFY(!w.window->Pools().Pool(kDrawNotCalled).contains(QStringLiteral("李四")));
    QCOMPARE(w.window->Pools().Pool(kDrawCalled), QStringList{"李四"});
    QVERIFY(!hits->isVisible());
    QCOMPARE(hits->count(), 0);
    // The draw buttons are not refreshed by a pick.
    QVERIFY(!w.DrawButton(kDrawCalled)->isEnabled());
  }

  void StopwatchShowsTicksInThePanelAndTheLabel() {
    OfflineWindow w;
    auto* label = w.Find<QLabel>(QStringLiteral("Label30"));
    auto* panel = w.Find<QLabel>(QStringLiteral("StatusBar1_4"));
    w.window->SecondTick();
    QCOMPARE(label->text(), QStringLiteral("00:01"));
    QCOMPARE(panel->text(), QStringLiteral("双击计时"));
    DoubleClick(panel);
    QVERIFY(w.window->Watch().Running());
    w.window->SecondTick();
    QCOMPARE(panel->text(), QStringLiteral("00:00:01"));
    QCOMPARE(label->text(), QStringLiteral("00:01"));
    DoubleClick(label);  // off: the panel freezes, the label goes on
    w.window->SecondTick();
    QCOMPARE(panel->text(), QStringLiteral("00:00:01"));
    QCOMPARE(label->text(), QStringLiteral("00:02"));
    DoubleClick(label);  // on again: both from zero
    w.window->SecondTick();
    QCOMPARE(panel->text(), QStringLiteral("00:00:01"));
    QCOMPARE(label->text(), QStringLiteral("00:01"));
  }

  void DividerStaysInsideItsLimits() {
    OfflineWindow w;
    auto* divider = w.Find<Splitter>(QStringLiteral("Splitter1"));
    auto* name = w.Find<QLineEdit>(QStringLiteral("Text2"));
    // The bar dragged with the mouse so that its left edge comes to window_x;
    // returns where it is afterwards.
    const auto drag_to = [&](int window_x) {
      const QPoint start(1, 10);
      const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), QPointF(divider->mapToGlobal(at)), Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(divider, &event);
      };
      send(QEvent::MouseButtonPress, start, Qt::LeftButton);
      const int local = window_x - divider->mapTo(w.window, QPoint(0, 0)).x() + start.x();
      send(QEvent::MouseMove, QPoint(local, 10), Qt::LeftButton);
      send(QEvent::MouseButtonRelease, QPoint(local, 10), Qt::NoButton);
      return divider->mapTo(w.window, QPoint(0, 0)).x();
    };
    // The left edge stays right of 2800 twips and 1400 twips left of the
    // window's right edge: the first pixels on either side of each limit.
    const int start_left = divider->mapTo(w.window, QPoint(0, 0)).x();
    QCOMPARE(drag_to(186), start_left);              // 2790 twips
    QCOMPARE(drag_to(187), 187);                     // 2805 twips
    QCOMPARE(drag_to(w.window->width() - 93), 187);  // 1395 twips from the right edge
    QCOMPARE(drag_to(w.window->width() - 94), w.window->width() - 94);

    // Dragging it: the criteria list follows and reaches the right edge; the
    // name keeps the size fitted to the width it had before the move.
    name->setText(QStringLiteral("诸葛孔明先生"));
    const int before_width = TwipsWidth(name);
    QCOMPARE(drag_to(400), 400);
    auto* criteria = w.Find<QWidget>(QStringLiteral("List1"));
    QVERIFY_NEAR_TWIPS(WindowLeft(criteria), Twips(400) + TwipsWidth(divider) + 120);
    QCOMPARE(criteria->mapTo(w.window, QPoint(criteria->width(), 0)).x(), w.window->width());
    auto* box = w.Find<QWidget>(QStringLiteral("Text13"));
    QVERIFY_NEAR_TWIPS(WindowLeft(box) + TwipsWidth(box), Twips(400) + 120);
    QCOMPARE(name->font().pointSize(), std::min(70, before_width / (6 * 24)));
    QVERIFY(TwipsWidth(name) != before_width);

    QCOMPARE(drag_to(186), 400);                     // 2790 twips: too far left
    QCOMPARE(drag_to(w.window->width() - 93), 400);  // 1395 twips from the edge
    QCOMPARE(drag_to(w.window->width() - 94), w.window->width() - 94);
  }

  void FoldsToATileAndBack() {
    OfflineWindow w;
    const QSize unfolded = w.window->size();
    MouseOver(w.Find<QWidget>(QStringLiteral("Image2")));
    QVERIFY(w.window->IsFolded());
    QCOMPARE(w.window->size(), QSize(Px(700), Px(900)));
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Text2"))->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Text13"))->isVisible());
    QVERIFY(w.Find<QWidget>(QStringLiteral("Image1"))->isVisible());
    MouseOver(w.Find<QWidget>(QStringLiteral("Image1")));
    QVERIFY(!w.window->IsFolded());
    QCOMPARE(w.window->size(), unfolded);
    QVERIFY(w.Find<QWidget>(QStringLiteral("Text2"))->isVisible());
    QVERIFY(w.Find<QWidget>(QStringLiteral("StatusBar1"))->isVisible());
  }

  void ManualPickPanelShowsThePoolsSideBySide() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    w.Draw(kDrawNotCalled);
    QVERIFY(Click(w.DrawButton(kManualPickButton)));
    auto* panel = w.Find<QWidget>(QStringLiteral("Frame6"));
    QVERIFY(panel->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Frame5"))->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("StatusBar1"))->isVisible());
    QCOMPARE(w.Find<QGroupBox>(QStringLiteral("Frame_m_0"))->title(), QStringLiteral("曾经被点"));
    // "曾经被点" is everyone less those never scored.
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_manual_0"))),
             QStringList({"张三", "李四", "赵六", "钱七"}));
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_manual_2"))),
             w.window->Pools().Pool(kDrawCalled));
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Command29"))->isVisible());

    auto* tabs = w.Find<QTabBar>(QStringLiteral("TabStrip1"));
    QVERIFY(ClickTab(tabs, 2));
    QCOMPARE(w.Find<QGroupBox>(QStringLiteral("Frame_m_0"))->title(), QStringLiteral("很易"));
    QCOMPARE(Items(w.Find<QListWidget>(QStringLiteral("List_manual_3"))), QStringList({"张三"}));
    QVERIFY(ClickTab(tabs, 3));
    QVERIFY(w.Find<QWidget>(QStringLiteral("List_group_0"))->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Frame_m_0"))->isVisible());
    auto* upload_groups = w.Find<QPushButton>(QStringLiteral("Command29"));
    QVERIFY(upload_groups->isVisible() && !upload_groups->isEnabled());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Text11"))->isVisible());

    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command24"))));
    QVERIFY(!panel->isVisible());
    QVERIFY(w.Find<QWidget>(QStringLiteral("Frame5"))->isVisible());
    QVERIFY(w.Find<QWidget>(QStringLiteral("StatusBar1"))->isVisible());
  }

  void ChoosingATabEndsARollingDrawWithoutAResult() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    QPushButton* all = w.DrawButton(kDrawAll);
    QVERIFY(Click(all));
    QVERIFY(Click(w.DrawButton(kManualPickButton)));
    QVERIFY(!w.Find<QTimer>(QStringLiteral("Timer1"))->isActive());
    QCOMPARE(all->text(), QStringLiteral("所有"));
    QVERIFY(w.window->CurrentStudent().isEmpty());
    QVERIFY(w.DrawButton(kDrawAll + 1)->isEnabled() == w.window->Pools().HasNames(kDrawAll + 1));
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command24"))));
    QVERIFY(Click(all));  // a new draw, not the stop of the old one
    QCOMPARE(all->text(), QStringLiteral("暂停"));
    QVERIFY(w.Find<QTimer>(QStringLiteral("Timer1"))->isActive());
  }

  void UploadPanelTakesTheDrawPanelsPlace() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    w.Draw(kDrawAll);
    w.ChooseScore(0);
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command11"))));
    QVERIFY(w.Find<QWidget>(QStringLiteral("Frame4"))->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("Frame5"))->isVisible());
    QVERIFY(!w.Find<QWidget>(QStringLiteral("StatusBar1"))->isVisible());
    auto* pending = w.Find<QListWidget>(QStringLiteral("List4"));
    QCOMPARE(pending->selectedItems().size(), 1);
    // Offline: nothing can be uploaded.
    QVERIFY(!w.Find<QPushButton>(QStringLiteral("Command13"))->isEnabled());
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command12"))));
    QVERIFY(w.Find<QWidget>(QStringLiteral("Frame5"))->isVisible());
    QVERIFY(w.Find<QWidget>(QStringLiteral("StatusBar1"))->isVisible());
  }

  void ClosingWithPendingScoresAsksFirst() {
    OfflineWindow w;
    QSignalSpy ending(w.window, &RollCallWindow::ProgramEnding);
    w.ChooseClass(QStringLiteral("一班"));
    w.Draw(kDrawAll);
    w.ChooseScore(0);
    w.context.Prompts().AnswerNextQuestion(false);
    QVERIFY(!w.window->close());
    QVERIFY(w.window->isVisible());
    QCOMPARE(ending.size(), 0);
    QVERIFY(w.context.Prompts().Last().text.startsWith(
        QStringLiteral("还有1条计分未上传，确定退出吗？")));
    QCOMPARE(w.context.Prompts().Last().kind, PromptRecord::Kind::kQuestion);

    w.context.Hub().Login().show();
    w.context.Prompts().AnswerNextQuestion(true);
    QVERIFY(w.window->close());
    QCOMPARE(ending.size(), 1);
    QVERIFY(!w.context.Hub().Login().isVisible());
    QVERIFY(!w.window->isVisible());
  }

  void ClosingWithNothingPendingEndsAtOnce() {
    OfflineWindow w;
    QSignalSpy ending(w.window, &RollCallWindow::ProgramEnding);
    QVERIFY(w.window->close());
    QCOMPARE(ending.size(), 1);
    QVERIFY(w.context.Prompts().Records().isEmpty());
  }

  void UserButtonOpensTheLoginWindow() {
    OfflineWindow w;
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command1"))));
    QVERIFY(!w.window->isVisible());
    QVERIFY(w.context.Hub().Login().isVisible());
    QCOMPARE(w.context.Hub().Login().objectName(), QStringLiteral("frmLogin"));
  }
};

QTEST_MAIN(RollCallWindowTest)
#include "roll_call_window_test.moc"
