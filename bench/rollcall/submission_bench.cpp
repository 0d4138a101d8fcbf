// The side panels of the roll-call window with classroom-sized (and larger)
// data: the name search per keystroke over a class of 2,000 (hit list filled
// and placed), the group ranking over 5,000 pending lines and 60 group
// members, and the export and re-import of 10,000 pending lines through the
// upload panel's buttons.
//
// Plain timing program; run on the offscreen platform:
//   QT_QPA_PLATFORM=offscreen build/bench/rollcall/bench_submission
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

#include "bench/core/cache_file_generator.h"
#include "bench/rollcall/bench_window.h"
#include "core/pinyin.h"
#include "core/score_line.h"
#include "rollcall/group_statistics.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

constexpr int kClasses = 20;
constexpr int kClassSize = 2000;

struct Figures {
  double median = 0, max = 0;
};
Figures Summarise(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.back()};
}

double Ms(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

// What the teacher types while looking for students: growing initials, a
// surname, a digit of the running number (the widest hit lists).
QStringList Keystrokes(const QStringList& names) {
  QStringList typed;
  QRandomGenerator random(7);
  for (int k = 0; k < 20; ++k) {
    const QString& name = names[random.bounded(static_cast<int>(names.size()))];
    const QString initials = PinyinInitials(name).toLower();
    for (int length = 1; length <= 3; ++length) typed.append(initials.left(length));
    typed.append(name.left(1));
    typed.append(name.left(2));
  }
  typed << QStringLiteral("1") << QStringLiteral("12") << QStringLiteral("2") << QStringLiteral("w")
        << QStringLiteral("z");
  return typed;
}

void MeasureSearch(RollCallWindow& window, const QStringList& names) {
  auto* box = window.findChild<QLineEdit*>(QStringLiteral("txtManual"));
  auto* hits = window.findChild<QListWidget*>(QStringLiteral("List2"));
  QElapsedTimer timer;
  timer.start();
  box->setText(QStringLiteral("w"));  // the first keystroke of a class works out its initials
  const double first = Ms(timer);
  std::vector<double> handler, painted;
  int most_hits = 0;
  for (const QString& text : Keystrokes(names)) {
    box->clear();
    QCoreApplication::processEvents();
    timer.restart();
    box->setText(text);
    handler.push_back(Ms(timer));
    most_hits = std::max(most_hits, hits->count());
    QCoreApplication::processEvents();
    painted.push_back(Ms(timer));
  }
  const Figures h = Summarise(handler), p = Summarise(painted);
  std::printf(
      "name search, class of %d, %zu keystrokes: median %.3f ms, max %.3f ms (List2 filled "
      "and placed, up to %d hits); with the repaint median %.3f ms, max %.3f ms; first "
      "keystroke of the class %.3f ms\n",
      kClassSize, handler.size(), h.median, h.max, most_hits, p.median, p.max, first);
}

// 5,000 pending lines over the 60 members of the class's groups (and some
// students outside them), each line a plain or a half-point score.
QStringList PendingLines(const QStringList& members, const QString& class_name) {
  QStringList lines;
  QRandomGenerator random(11);
  const QDateTime moment(QDate(2026, 12, 7), QTime(9, 30));
  for (int i = 0; i < 5000; ++i) {
    const QString name =
        random.bounded(10) == 0 ? QStringLiteral("转学生%1").arg(i) : members[random.bounded(60)];
    const QString score = random.bounded(4) == 0 ? QStringLiteral("3.5分")
                                                 : QStringLiteral("%1分").arg(random.bounded(6));
    lines.append(ScoreLine(class_name, name, score, moment.addSecs(i), QStringLiteral("读音准确")));
  }
  return lines;
}

void MeasureStatistics(RollCallWindow& window, bench::ScriptedPrompter& prompter,
                       const QString& folder, const QString& class_name) {
  std::array<QStringList, kGroupCount> groups;
  QStringList members;
  for (int i = 0; i < 60; ++i) {
    const QString name = window.Pools().Pool(kDrawAll)[i];
    groups[i % kGroupCount].append(name);
    members.append(name);
  }
  const QStringList lines = PendingLines(members, class_name);
  std::vector<double> plain;
  QElapsedTimer timer;
  for (int run = 0; run < 30; ++run) {
    timer.restart();
    const auto standings = GroupStatistics(lines, groups);
    plain.push_back(Ms(timer));
    if (standings.isEmpty()) std::printf("no standings?\n");
  }
  // The same through the panel: Command27 with 5,000 lines in List4 and the
  // class's own group lists (2,000 names in sixteen groups).
  prompter.path = QDir(folder).filePath(QStringLiteral("stats.dms"));
  WriteScoreFile(prompter.path, lines);
  window.findChild<QPushButton*>(QStringLiteral("Command11"))->click();
  window.findChild<QPushButton*>(QStringLiteral("Command15"))->click();
  auto* statistics = window.findChild<QPushButton*>(QStringLiteral("Command27"));
  auto* back = window.findChild<QPushButton*>(QStringLiteral("Command28"));
  std::vector<double> panel;
  for (int run = 0; run < 10; ++run) {
    timer.restart();
    statistics->click();
    panel.push_back(Ms(timer));
    back->click();
  }
  window.findChild<QListWidget*>(QStringLiteral("List4"))->clear();
  const Figures f = Summarise(plain), g = Summarise(panel);
  std::printf(
      "group statistics, 5,000 lines and 60 members: median %.2f ms, max %.2f ms; through "
      "Command27 with the class's 2,000 names in the groups and List9 filled: median %.2f ms, "
      "max %.2f ms\n",
      f.median, f.max, g.median, g.max);
}

void MeasureScoreFiles(RollCallWindow& window, bench::ScriptedPrompter& prompter,
                       const QString& folder, const QString& class_name) {
  const QStringList names = window.Pools().Pool(kDrawAll);
  QStringList lines;
  const QDateTime moment(QDate(2026, 12, 7), QTime(8, 0));
  for (int i = 0; i < 10000; ++i) {
    lines.append(ScoreLine(class_name, names[i % names.size()], QStringLiteral("%1分").arg(i % 6),
                           moment.addSecs(i), QStringLiteral("声音洪亮，\"有感情\"")));
  }
  auto* pending = window.findChild<QListWidget*>(QStringLiteral("List4"));
  auto* export_button = window.findChild<QPushButton*>(QStringLiteral("Command14"));
  auto* import_button = window.findChild<QPushButton*>(QStringLiteral("Command15"));
  prompter.path = QDir(folder).filePath(QStringLiteral("seed.dms"));
  WriteScoreFile(prompter.path, lines);
  std::vector<double> exports, imports;
  QElapsedTimer timer;
  for (int run = 0; run < 5; ++run) {
    pending->clear();
    prompter.path = QDir(folder).filePath(QStringLiteral("seed.dms"));
    timer.restart();
    import_button->click();
    QCoreApplication::processEvents();  // laid out and painted
    imports.push_back(Ms(timer));
    if (pending->count() != 10000) std::printf("import gave %d lines\n", pending->count());
    prompter.path = QDir(folder).filePath(QStringLiteral("out%1.dms").arg(run));
    timer.restart();
    export_button->click();  // everything is selected after the import
    QCoreApplication::processEvents();
    exports.push_back(Ms(timer));
    if (pending->count() != 0) std::printf("export left %d lines\n", pending->count());
  }
  const Figures e = Summarise(exports), i = Summarise(imports);
  std::printf(
      "10,000 pending lines: export (selection, GBK file, list emptied and repainted) median "
      "%.1f ms, max %.1f ms; import (read, list filled, selected, laid out and painted) median "
      "%.1f ms, max %.1f ms\n",
      e.median, e.max, i.median, i.max);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  bench::BenchWindow offline;
  bench::GeneratedCache generated;
  if (!bench::WriteCacheFile(offline.CacheFile(), kClasses, kClassSize, &generated)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(offline.CacheFile()));
    return 1;
  }
  RollCallWindow& window = offline.Open();
  auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
  const QString class_name = generated.classes[kClasses / 2];
  classes->setCurrentIndex(classes->findText(class_name));
  emit classes->activated(classes->currentIndex());
  QCoreApplication::processEvents();

  MeasureSearch(window, window.Pools().Pool(kDrawAll));
  MeasureStatistics(window, offline.prompter, offline.Folder(), class_name);
  MeasureScoreFiles(window, offline.prompter, offline.Folder(), class_name);
  return 0;
}
