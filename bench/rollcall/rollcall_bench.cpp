// The roll-call window with a school-sized cache: the cost of one roll step
// (display update included), the steps a running draw delivers per second,
// the time from choosing a class to ready pools and buttons, and the start-up
// of the program to its first shown window with its memory.
//
// Plain timing program; run on the offscreen platform:
//   QT_QPA_PLATFORM=offscreen build/bench/rollcall/bench_rollcall
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "bench/rollcall/bench_window.h"
#include "bench/core/cache_file_generator.h"
#include "core/cache_file.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

constexpr int kClasses = 3334;  // x 60 students: 200,040 rows
constexpr int kStudentsPerClass = 60;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

long MaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void MeasureStartUp(const QString& data_dir) {
  std::vector<double> wall, reported, peak_kb;
  for (int run = 0; run < 5; ++run) {
    QProcess program;
    QElapsedTimer timer;
    timer.start();
    program.start(QStringLiteral(ZORVANIX_PROGRAM_PATH),
                  {QStringLiteral("--quit-after-show"), QStringLiteral("--data-dir"), data_dir,
                   QStringLiteral("--service-root"), QStringLiteral("http://127.0.0.1:9")});
    program.waitForFinished(30000);
    wall.push_back(timer.elapsed());
    // "first window shown after N ms, peak memory M kB"
    const QStringList words = QString::fromLatin1(program.readAllStandardOutput()).split(u' ');
    if (words.size() >= 9) {
      reported.push_back(words[4].toDouble());
      peak_kb.push_back(words[8].toDouble());
    }
  }
  if (reported.empty()) {
    std::printf("start-up: the program reported nothing\n");
    return;
  }
  std::printf(
      "start-up to first shown window: %.0f ms inside the program, %.0f ms wall "
      "(process start to exit), median of 5\n",
      Median(reported), Median(wall));
  std::printf("program peak RSS at its first window: %.1f MB\n", Median(peak_kb) / 1024.0);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  bench::BenchWindow bench_window;
  const QString cache = bench_window.CacheFile();
  bench::GeneratedCache generated;
  if (!bench::WriteCacheFile(cache, kClasses, kStudentsPerClass, &generated)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(cache));
    return 1;
  }
  MeasureStartUp(bench_window.Folder());

  RollCallWindow& window = bench_window.Show();
  QCoreApplication::processEvents();

  QElapsedTimer timer;
  timer.start();
  window.RefreshMainWindowFromCache(CacheRefresh::kOffline);
  std::printf("refresh from a %d-row cache (first read and index): %.1f ms\n",
              kClasses * kStudentsPerClass, timer.nsecsElapsed() / 1e6);

  auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
  std::vector<double> choose_ms;
  for (int k = 0; k < 50; ++k) {
    const int index = (k * 997) % classes->count();
    timer.restart();
    classes->setCurrentIndex(index);
    emit classes->activated(index);
    choose_ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::printf("choose a class of %d: median %.2f ms, max %.2f ms (50 classes)\n", kStudentsPerClass,
              Median(choose_ms), *std::max_element(choose_ms.begin(), choose_ms.end()));

  // Roll steps driven directly: the display update runs inside each step;
  // with the event loop after each step the repaint is included as well.
  auto* all = window.findChild<QPushButton*>(QStringLiteral("btnChou_0"));
  auto* roll = window.findChild<QTimer*>(QStringLiteral("Timer1"));
  all->click();
  roll->stop();
  constexpr int kSteps = 20000;
  timer.restart();
  for (int i = 0; i < kSteps; ++i) window.RollTick();
  const double step_us = timer.nsecsElapsed() / 1e3 / kSteps;
  timer.restart();
  for (int i = 0; i < kSteps / 4; ++i) {
    window.RollTick();
    QCoreApplication::processEvents();
  }
  const double painted_us = timer.nsecsElapsed() / 1e3 / (kSteps / 4);
  std::printf("roll step with display update: %.1f us; with repaint: %.1f us\n", step_us,
              painted_us);

  // The real timer for two seconds.
  int ticks = 0;
  QObject::connect(roll, &QTimer::timeout, [&] { ++ticks; });
  roll->start();
  QEventLoop loop;
  QTimer::singleShot(2000, &loop, &QEventLoop::quit);
  timer.restart();
  loop.exec();
  const double seconds = timer.nsecsElapsed() / 1e9;
  all->click();
  std::printf("roll steps delivered by the 5 ms timer: %.0f per second (%d in %.2f s)\n",
              ticks / seconds, ticks, seconds);
  std::printf("benchmark process peak RSS with the cache loaded: %.1f MB\n", MaxRssKb() / 1024.0);
  return 0;
}
