// The projector view from the teacher's side: F11 or "投影" shows the name
// full screen on the screen the strip is on, following the roll, with the
// strip's figures below; Esc or F11 brings the strip back with the keyboard
// where it was. The program runs on two screens, 1920x1080 and 1280x720 to
// its right, as a classroom PC with a projector beside its own screen.
#include "rollcall/projector_view.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "login/login_window.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QSize kFullHd(1920, 1080);
const QSize kSmall(1280, 720);

// Names of 1 to 12 characters, and long ones mixing scripts.
const QStringList kNames = {
    QStringLiteral("张"),
    QStringLiteral("张三"),
    QStringLiteral("欧阳娜"),
    QStringLiteral("司马相如"),
    QStringLiteral("爱新觉罗恒"),
    QStringLiteral("阿依古丽买买"),
    QStringLiteral("努尔艾力买合木"),
    QStringLiteral("阿卜杜热合曼尼亚"),
    QStringLiteral("古丽米热阿卜杜拉江"),
    QStringLiteral("穆罕默德阿不都热合曼"),
    QStringLiteral("艾合买提江阿不都热依木"),
    QStringLiteral("迪丽热巴伊力哈木阿不都克"),
    QStringLiteral("Maximilian·欧阳娜娜"),
    QStringLiteral("WWWWMMMM王"),
};

QFont NameBaseFont() {
  QFont font = QApplication::font();
  font.setBold(true);
  return font;
}

int Width(QFont font, int pixels, const QString& text) {
  font.setPixelSize(pixels);
  return QFontMetrics(font).horizontalAdvance(text);
}

// The name fits the screen; where a third of the height fits in the width
// the name may take, the font is at least that large.
void CheckFits(const QFont& font, const QString& name, const QSize& screen) {
  const int pixels = font.pixelSize();
  const int third = (screen.height() + 2) / 3;
  const int room = static_cast<int>(screen.width() * kProjectorNameWidthShare);
  QVERIFY2(QFontMetrics(font).horizontalAdvance(name) <= screen.width(),
           qPrintable(QStringLiteral("%1 at %2 px is wider than %3")
                          .arg(name)
                          .arg(pixels)
                          .arg(screen.width())));
  if (Width(font, third, name) <= room) {
    QVERIFY2(
        pixels >= third,
        qPrintable(QStringLiteral("%1 at %2 px, a third is %3").arg(name).arg(pixels).arg(third)));
  }
}

QLabel* Label(const OfflineWindow& w, const char* name) {
  return w.Find<QLabel>(QLatin1String(name));
}

QScreen* ScreenOfSize(const QSize& size) {
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().size() == size) return screen;
  }
  return nullptr;
}

// Picks name from "本次未点" of the manual-pick panel with a double-click.
void PickFromPanel(const OfflineWindow& w, const QString& name) {
  QVERIFY(Click(w.DrawButton(kManualPickButton)));
  QVERIFY(ClickTab(w.Find<QTabBar>(QStringLiteral("TabStrip1")), 0));
  auto* not_called = w.Find<QListWidget>(QStringLiteral("List_manual_1"));
  const auto found = not_called->findItems(name, Qt::MatchExactly);
  QVERIFY2(!found.isEmpty(), qPrintable(name));
  QVERIFY(DoubleClickRow(not_called, not_called->row(found.front())));
}

}  // namespace

class ProjectorViewTest : public QObject {
  Q_OBJECT

 private slots:
  void TwoScreensAreThere() {
    QVERIFY(ScreenOfSize(kFullHd));
    QVERIFY(ScreenOfSize(kSmall));
  }

  void NameFontFitsBothScreens_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QString>("name");
    for (const QSize& screen : {kFullHd, kSmall}) {
      for (const QString& name : kNames) {
        QTest::addRow("%dx%d %s", screen.width(), screen.height(), qPrintable(name))
            << screen << name;
      }
    }
  }
  void NameFontFitsBothScreens() {
    QFETCH(QSize, screen);
    QFETCH(QString, name);
    QFont font = NameBaseFont();
    const int pixels = ProjectorNamePixelSize(name, screen, font);
    font.setPixelSize(pixels);
    CheckFits(font, name, screen);
    // Never taller than the rule allows, and never shrunk more than needed.
    QVERIFY(pixels <= static_cast<int>(screen.height() * kProjectorNameHeightShare));
    const int room = static_cast<int>(screen.width() * kProjectorNameWidthShare);
    if (pixels < static_cast<int>(screen.height() * kProjectorNameHeightShare)) {
      QVERIFY2(Width(font, pixels + 1, name) > room, qPrintable(QString::number(pixels)));
    }
  }

  void ShortNamesAreAThirdOfTheScreenOrMore() {
    // Up to four characters a Chinese name takes the full size on both.
    for (const QSize& screen : {kFullHd, kSmall}) {
      const int pixels = ProjectorNamePixelSize(QStringLiteral("司马相如"), screen, NameBaseFont());
      QVERIFY(pixels * 3 >= screen.height());
    }
    QCOMPARE(ProjectorNamePixelSize(QString(), kSmall, NameBaseFont()),
             static_cast<int>(kSmall.height() * kProjectorNameHeightShare));
  }

  void F11OpensItFullScreenAndItFollowsTheRoll() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    const QRect strip = w.window->geometry();
    auto* search = w.Find<QLineEdit>(QStringLiteral("txtManual"));
    QCOMPARE(QApplication::focusWidget(), search);
    auto* view = w.Find<ProjectorView>(QStringLiteral("Projector"));
    QVERIFY(view && !view->isVisible());

    QVERIFY(PressKey(Qt::Key_F11));
    QTRY_VERIFY(view->isVisible());
    QTRY_COMPARE(view->geometry(), w.window->screen()->geometry());
    QCOMPARE(view->size(), kFullHd);
    // The keyboard stays with the strip.
    QTRY_COMPARE(QApplication::focusWidget(), search);

    QPushButton* all = w.DrawButton(kDrawAll);
    QVERIFY(Click(all));
    QSet<QString> seen;
    bool behind = false;  // the view showed another name than the strip
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          behind = behind || view->Name() != w.Text2();
          if (!view->Name().isEmpty()) seen.insert(view->Name());
          return seen.size() >= 2;
        }(),
        5000);
    QVERIFY(!behind);
    // While the class watches, Space on the running draw button stops it.
    QCOMPARE(QApplication::focusWidget(), all);
    QVERIFY(PressKey(Qt::Key_Space));
    QCOMPARE(all->text(), QStringLiteral("所有"));
    const QString drawn = w.window->CurrentStudent();
    QVERIFY(!drawn.isEmpty());
    QCOMPARE(view->Name(), drawn);
    CheckFits(view->NameFont(), drawn, kFullHd);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    const QString average = Label(w, "Label4")->text();
    const QString count = Label(w, "Label28")->text();
    if (count.isEmpty()) {
      QVERIFY(view->Figures().isEmpty());
    } else {
      QCOMPARE(view->Figures(),
               QStringLiteral("平均分 ") + average + QStringLiteral("　　计分次数 ") + count);
    }

    QVERIFY(PressKey(Qt::Key_Escape));
    QVERIFY(!view->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), all);
    QCOMPARE(w.window->geometry(), strip);
    QVERIFY(w.window->windowFlags() & Qt::WindowStaysOnTopHint);

    // F11 closes it as well.
    QVERIFY(PressKey(Qt::Key_F11));
    QTRY_VERIFY(view->isVisible());
    QVERIFY(PressKey(Qt::Key_F11));
    QVERIFY(!view->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), all);
  }

  void ItShowsTheStripsFigures() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    auto* view = w.Find<ProjectorView>(QStringLiteral("Projector"));
    QVERIFY(PressKey(Qt::Key_F11));
    QTRY_VERIFY(view->isVisible());
    PickFromPanel(w, QStringLiteral("张三"));
    QCOMPARE(view->Name(), QStringLiteral("张三"));
    QCOMPARE(Label(w, "Label4")->text(), QStringLiteral("4.5"));
    QCOMPARE(view->Figures(), QStringLiteral("平均分 4.5　　计分次数 3"));
    // Never scored: the strip shows no figures, nor does the view.
    PickFromPanel(w, QStringLiteral("王五"));
    QCOMPARE(view->Name(), QStringLiteral("王五"));
    QVERIFY(Label(w, "Label28")->text().isEmpty());
    QVERIFY(view->Figures().isEmpty());
  }

  void ButtonOpensItOnTheStripsScreenAndLongNamesFit() {
    QScreen* small = ScreenOfSize(kSmall);
    QVERIFY(small);
    OfflineWindow w;
    QStringList lines = SampleCacheLines();
    for (const QString& name : kNames)
      lines.append(QStringLiteral("投影班\t%1\t0\t1\t3\t2").arg(name));
    lines[0] += QStringLiteral("投影班\t");
    WriteCache(w.context.CacheFile(), lines);
    w.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    w.window->move(small->geometry().topLeft() + QPoint(100, 100));
    QTRY_COMPARE(w.window->screen(), small);
    w.ChooseClass(QStringLiteral("投影班"));

    auto* view = w.Find<ProjectorView>(QStringLiteral("Projector"));
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("btnProjector"))));
    QTRY_VERIFY(view->isVisible());
    QTRY_COMPARE(view->geometry(), small->geometry());
    for (const QString& name : kNames) {
      PickFromPanel(w, name);
      QCOMPARE(w.Text2(), name);
      QCOMPARE(view->Name(), name);
      QCOMPARE(view->Figures(), QStringLiteral("平均分 3　　计分次数 2"));
      CheckFits(view->NameFont(), name, kSmall);
    }
    // The button leaves the keyboard where it was: the score, after a pick.
    QCOMPARE(QApplication::focusWidget()->window(), w.window);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(PressKey(Qt::Key_F11));
    QVERIFY(!view->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), focus);
  }

  // A new name repaints only part of the view: what the screen shows must
  // still be the new name alone, with nothing left of a longer one before.
  void TheScreenShowsTheLastNameOnly() {
    OfflineWindow w;
    QStringList lines = SampleCacheLines();
    lines.append(QStringLiteral("一班\t迪丽热巴伊力哈木阿不都克\t0\t9\t3\t2"));
    WriteCache(w.context.CacheFile(), lines);
    w.window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
    w.ChooseClass(QStringLiteral("一班"));
    auto* view = w.Find<ProjectorView>(QStringLiteral("Projector"));
    QVERIFY(PressKey(Qt::Key_F11));
    QTRY_VERIFY(view->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(view));
    // What the platform shows of the view is what a fresh drawing of it gives.
    const auto screen_is_fresh = [view] {
      const QImage shown = view->screen()->grabWindow(view->winId()).toImage();
      return shown == view->grab().toImage().convertToFormat(shown.format());
    };
    for (const QString& name :
         {QStringLiteral("迪丽热巴伊力哈木阿不都克"), QStringLiteral("王五")}) {
      PickFromPanel(w, name);
      QCOMPARE(view->Name(), name);
      QTRY_VERIFY_WITH_TIMEOUT(screen_is_fresh(), 3000);
    }
  }

  void ItGoesWhenTheStripGivesWayToTheLogin() {
    OfflineWindow w;
    auto* view = w.Find<ProjectorView>(QStringLiteral("Projector"));
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("btnProjector"))));
    QTRY_VERIFY(view->isVisible());
    QVERIFY(Click(w.Find<QPushButton>(QStringLiteral("Command1"))));
    QVERIFY(w.context.Hub().Login().isVisible());
    QVERIFY(!view->isVisible());
  }
};

// Two screens side by side, given to the offscreen platform before the
// application starts.
int main(int argc, char* argv[]) {
  QTemporaryDir folder;
  const QString config = folder.filePath(QStringLiteral("screens.json"));
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly)) return 1;
  file.write(R"({"screens": [
    {"name": "classroom-pc", "x": 0, "y": 0, "width": 1920, "height": 1080,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
    {"name": "projector", "x": 1920, "y": 0, "width": 1280, "height": 720,
     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  file.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
  QApplication::setAttribute(Qt::AA_Use96Dpi, true);
  QApplication app(argc, argv);
  ProjectorViewTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "projector_view_test.moc"
