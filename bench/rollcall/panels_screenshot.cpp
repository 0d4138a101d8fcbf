// Pictures of the upload panel, the group tab of the manual-pick panel and
// the group ranking, with a small offline class and a few scores given the
// way a teacher gives them. No service is needed.
//
//   xvfb-run -a build/bench/rollcall/panels_screenshot OUT_FOLDER
// writes upload.png, statistics.png, groups.png and search.png (hits of "z"
// above the search box) into OUT_FOLDER.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <cstdio>

#include "bench/rollcall/bench_window.h"
#include "core/file_text.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

const QStringList kCache = {
    QStringLiteral("Class_Is_Ready\t初二(3)班\t"),
    QStringLiteral("[keti]\t古诗朗读\t读音准确\t5\t声音洪亮\t3.5\t有感情\t2\t"),
    QStringLiteral("初二(3)班\t张三\t0\t1\t4.5\t3"),
    QStringLiteral("初二(3)班\t李四\t0\t2\t2.5\t1"),
    QStringLiteral("初二(3)班\t王五\t1\t3\t3\t2"),
    QStringLiteral("初二(3)班\t赵六\t1\t4\t3\t4"),
    QStringLiteral("初二(3)班\t钱七\t2\t5\t1.5\t1"),
    QStringLiteral("初二(3)班\t孙八\t2\t6\t4\t2"),
    QStringLiteral("初二(3)班\t周九\t3\t7\t0\t0"),
    QStringLiteral("初二(3)班\t吴十\t3\t8\t5\t1"),
};

template <typename T>
T* Find(const QWidget& window, const char* name) {
  return window.findChild<T*>(QLatin1String(name));
}

void PickAndScore(RollCallWindow& window, const QString& name, int choice) {
  Find<QPushButton>(window, "btnChou_12")->click();
  Find<QTabBar>(window, "TabStrip1")->setCurrentIndex(0);
  auto* list = Find<QListWidget>(window, "List_manual_1");
  const auto found = list->findItems(name, Qt::MatchExactly);
  if (found.isEmpty()) return;
  list->setCurrentItem(found.front());
  emit list->itemDoubleClicked(found.front());
  if (choice >= 0) {
    auto* scores = Find<QComboBox>(window, "Combo1");
    scores->setCurrentIndex(choice);
    emit scores->activated(choice);
  } else {
    auto* criteria = Find<QListWidget>(window, "List1");
    criteria->setCurrentRow(1);
    emit criteria->itemDoubleClicked(criteria->item(1));
  }
}

bool Save(QWidget& window, const QString& path) {
  QApplication::processEvents();
  const bool saved = window.grab().save(path);
  std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: panels_screenshot OUT_FOLDER\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bench::BenchWindow offline;
  WriteLinesAtomically(offline.CacheFile(), kCache);
  RollCallWindow& window = offline.Open();
  auto* classes = Find<QComboBox>(window, "Combo2");
  classes->setCurrentIndex(0);
  emit classes->activated(0);

  const QList<QPair<QString, int>> scores = {{"张三", 0},  {"王五", -1}, {"赵六", 1},
                                             {"钱七", -1}, {"孙八", 0},  {"吴十", 2}};
  for (const auto& [name, choice] : scores) {
    PickAndScore(window, name, choice);
    offline.clock.Advance(75);
  }

  Find<QPushButton>(window, "Command11")->click();
  Find<QLineEdit>(window, "Text4")->setText(QStringLiteral("secret"));
  auto* pending = Find<QListWidget>(window, "List4");
  pending->item(2)->setSelected(false);
  bool ok = Save(window, out.filePath(QStringLiteral("upload.png")));

  Find<QPushButton>(window, "Command27")->click();
  ok = Save(window, out.filePath(QStringLiteral("statistics.png"))) && ok;
  Find<QPushButton>(window, "Command28")->click();
  Find<QPushButton>(window, "Command12")->click();

  Find<QPushButton>(window, "btnChou_12")->click();
  Find<QTabBar>(window, "TabStrip1")->setCurrentIndex(3);
  Find<QListWidget>(window, "List_group_1")->setCurrentRow(0);
  ok = Save(window, out.filePath(QStringLiteral("groups.png"))) && ok;

  Find<QPushButton>(window, "Command24")->click();
  Find<QLineEdit>(window, "txtManual")->setText(QStringLiteral("z"));
  ok = Save(window, out.filePath(QStringLiteral("search.png"))) && ok;
  return ok ? 0 : 1;
}
