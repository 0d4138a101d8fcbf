#include "tests/rollcall/rollcall_fixture.h"

#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include "core/file_text.h"
#include "tests/support/focus_input.h"

namespace zorvanix::testing {

QStringList SampleCacheLines() {
  return {
      QStringLiteral("Class_Is_Ready\t一班\t1\t10\t3/4班\t"),
      QStringLiteral("[keti]\t朗读\t读音准确\t5\t声音洪亮\t3.5\t"),
      QStringLiteral("[keti]\t背诵\t"),
      QStringLiteral("一班\t张三\t0\t1\t4.5\t3"),
      QStringLiteral("一班\t李四\t1\t2\t2.5\t1"),
      QStringLiteral("一班\t王五\t1\t3\t0\t0"),
      QStringLiteral("一班\t赵六\t2\t4\t3\t4"),
      QStringLiteral("一班\t钱七\t15\t5\t1.5\t1"),
      QStringLiteral("1\t孙八\t0\t6\t5\t2"),
      QStringLiteral("10\t周九\t0\t7\t4\t1"),
      QStringLiteral("10\t吴十\t3\t8\t0\t0"),
      QStringLiteral("3/4班\t郑一\t0\t9\t0\t0"),
  };
}

void WriteCache(const QString& path, const QStringList& lines) {
  QVERIFY(WriteLinesAtomically(path, lines));
}

OfflineWindow::OfflineWindow() : context(ClosedPortRoot()) {
  WriteCache(context.CacheFile(), SampleCacheLines());
  context.Sess().SignInOffline();
  window = &context.Hub().RollCall();
  window->RefreshMainWindowFromCache(CacheRefresh::kOffline);
  window->show();
  window->activateWindow();
  [&] { QVERIFY(QTest::qWaitForWindowActive(window)); }();
}

QPushButton* OfflineWindow::DrawButton(int index) const {
  return Find<QPushButton>(QStringLiteral("btnChou_%1").arg(index));
}

void OfflineWindow::ChooseClass(const QString& name) const {
  auto* classes = Find<QComboBox>(QStringLiteral("Combo2"));
  const int index = classes->findText(name);
  QVERIFY2(index >= 0, qPrintable(name));
  QVERIFY(ChooseEntry(classes, index));
}

void OfflineWindow::ChooseScore(int index) const {
  auto* scores = Find<QComboBox>(QStringLiteral("Combo1"));
  QVERIFY(ChooseEntry(scores, index));
}

QString OfflineWindow::Text2() const { return Find<QLineEdit>(QStringLiteral("Text2"))->text(); }

QString OfflineWindow::Draw(int index) const {
  QPushButton* button = DrawButton(index);
  auto* roll = window->findChild<QTimer*>(QStringLiteral("Timer1"));
  QSignalSpy ticks(roll, &QTimer::timeout);
  [&] { QVERIFY(Click(button)); }();
  [&] { QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 5000); }();
  [&] { QVERIFY(Click(button)); }();
  return Text2();
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace zorvanix::testing
