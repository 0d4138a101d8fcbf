// The picture of the projector view that the README shows: a small offline
// class, a name drawn from "所有" with the view open, the view saved as a PNG
// at the size of the screen it covers. No service is needed. It also says
// how a roll runs while the view follows it.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" \
//       build/bench/rollcall/projector_screenshot docs/projector.png
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "bench/rollcall/bench_window.h"
#include "core/file_text.h"
#include "rollcall/projector_view.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

const QStringList kCache = {
    QStringLiteral("Class_Is_Ready\t初二(3)班\t"),
    QStringLiteral("[keti]\t古诗朗读\t读音准确\t5\t声音洪亮\t3.5\t"),
    QStringLiteral("初二(3)班\t张三\t0\t1\t4.5\t3"),
    QStringLiteral("初二(3)班\t欧阳娜娜\t0\t2\t3.8\t5"),
    QStringLiteral("初二(3)班\t王五\t1\t3\t3\t2"),
    QStringLiteral("初二(3)班\t司马相如\t1\t4\t4.2\t6"),
    QStringLiteral("初二(3)班\t钱七\t2\t5\t2.5\t4"),
};

void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QString output =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("projector.png");
  bench::BenchWindow offline;
  WriteLinesAtomically(offline.CacheFile(), kCache);
  RollCallWindow& window = offline.Open();
  auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
  classes->setCurrentIndex(0);
  emit classes->activated(0);

  window.findChild<QPushButton*>(QStringLiteral("btnProjector"))->click();
  auto* draw = window.findChild<QPushButton*>(QStringLiteral("btnChou_0"));  // 所有
  draw->click();
  Wait(400);
  draw->click();
  Wait(300);
  auto* view = window.findChild<ProjectorView*>(QStringLiteral("Projector"));
  const bool saved = view->isVisible() && view->grab().save(output);
  std::printf("%s %s (%dx%d, %s drawn, name at %d px)\n", saved ? "saved" : "could not save",
              qPrintable(output), view->width(), view->height(),
              qPrintable(window.CurrentStudent()), view->NameFont().pixelSize());

  // Two seconds of a draw rolling with the view open, as the event loop
  // runs it: the steps Timer1 delivers, the frames the view paints, and the
  // time one frame takes.
  struct PaintCounter : QObject {
    int frames = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++frames;
      return false;
    }
  } painted;
  view->installEventFilter(&painted);
  int steps = 0;
  QObject::connect(window.findChild<QTimer*>(QStringLiteral("Timer1")), &QTimer::timeout,
                   [&steps] { ++steps; });
  draw->click();
  Wait(2000);
  draw->click();
  view->removeEventFilter(&painted);
  const int steps_shown = steps;
  view->Close();
  steps = 0;
  draw->click();
  Wait(2000);
  draw->click();
  window.findChild<QPushButton*>(QStringLiteral("btnProjector"))->click();
  Wait(300);
  draw->click();
  constexpr int kFrames = 100;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < kFrames; ++i) {
    window.RollTick();
    view->repaint();
  }
  draw->click();
  std::printf(
      "rolling with the view open: %d steps and %d frames per second (closed: %d steps); "
      "one step with a full frame %.1f ms\n",
      steps_shown / 2, painted.frames / 2, steps / 2, clock.nsecsElapsed() / 1e6 / kFrames);
  return saved ? 0 : 1;
}
