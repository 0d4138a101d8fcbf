#include "tests/rollcall/submission_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>

#include "core/cache_file.h"
#include "core/file_text.h"
#include "core/gbk.h"
#include "tests/support/focus_input.h"

namespace zorvanix::testing {
namespace {

int next_teacher = 0;

bool Accepted(const PostResult& result, QString* error) {
  if (result.IsSuccess()) return true;
  *error = QStringLiteral("status %1: %2").arg(result.status).arg(result.text);
  return false;
}

}  // namespace

ServerProcess& SharedService() {
  ServerProcess::Options options;
  options.extra_arguments = {QStringLiteral("--vendor-version"), QStringLiteral(" 2.5.1 ")};
  return SharedServer(WithoutAccessLog(options));
}

OnlineScene::OnlineScene(ServerProcess& service) : context(service.Root()) {
  ++next_teacher;
  teacher.user = QStringLiteral("uploader%1").arg(next_teacher);
  teacher.email = QStringLiteral("uploader%1@example.com").arg(next_teacher);
  const QString& op = teacher.super_password;
  if (!RegisterTeacher(Service(), teacher, &error) ||
      !Accepted(Service().SetClasses(teacher.user, op, {QStringLiteral("一班")}), &error) ||
      !Accepted(Service().SetStudents(teacher.user, op, QStringLiteral("一班"), kClassOneStudents),
                &error) ||
      !Accepted(Service().SetTopics(teacher.user, op, {QStringLiteral("朗读")}), &error)) {
    qWarning("seeding refused: %s", qPrintable(error));
    return;
  }
  context.Sess().SignInOnline(teacher.user, teacher.password);
  window = &context.Hub().RollCall();
  window->RefreshMainWindowFromCache(CacheRefresh::kOnline);
  window->show();
}

QStringList OnlineScene::ServiceScores(const QString& class_name) {
  QStringList rows;
  for (const QString& line : SplitLines(Service().GetScores(class_name))) {
    rows.append(line.section(u'\t', 1));
  }
  return rows;
}

QList<StudentRow> OnlineScene::ServiceRoster(const QString& class_name) {
  QTemporaryDir dir;
  CacheFile record(dir.filePath(QStringLiteral("record.dmd")));
  if (!Service().DownloadServerRecord(teacher.user, record)) return {};
  return record.Roster(class_name);
}

void Click(const RollCallWindow* window, const QString& button) {
  QVERIFY2(Click(Child<QPushButton>(window, button)), qPrintable(button));
}

void ChooseClass(const RollCallWindow* window, const QString& name) {
  auto* classes = Child<QComboBox>(window, QStringLiteral("Combo2"));
  const int index = classes->findText(name);
  QVERIFY2(index >= 0, qPrintable(name));
  QVERIFY(ChooseEntry(classes, index));
}

void PickByHand(const RollCallWindow* window, const QString& name) {
  Click(window, QStringLiteral("btnChou_12"));
  QVERIFY(ClickTab(Child<QTabBar>(window, QStringLiteral("TabStrip1")), 0));
  auto* not_called = Child<QListWidget>(window, QStringLiteral("List_manual_1"));
  const int row = static_cast<int>(Entries(not_called).indexOf(name));
  QVERIFY2(row >= 0, qPrintable(name));
  DoubleClickEntry(not_called, row);
  QCOMPARE(window->CurrentStudent(), name);
}

void ScoreByHand(const RollCallWindow* window, const QString& name, int choice) {
  PickByHand(window, name);
  auto* scores = Child<QComboBox>(window, QStringLiteral("Combo1"));
  QVERIFY(ChooseEntry(scores, choice));
}

void TypeInto(const RollCallWindow* window, const QString& box, const QString& text) {
  QVERIFY2(TypeIntoFocus(Child<QLineEdit>(window, box), text), qPrintable(box));
}

void ChooseClassByKeys(const RollCallWindow* window, const QString& name) {
  auto* classes = Child<QComboBox>(window, QStringLiteral("Combo2"));
  const int target = classes->findText(name);
  QVERIFY2(target >= 0, qPrintable(name));
  for (int step = 0; step < 20 && classes->currentIndex() != target; ++step) {
    // Each choice hands the focus to the search box; the teacher comes back.
    classes->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(QApplication::focusWidget() == classes);
    QTest::keyClick(QApplication::focusWidget(),
                    classes->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
  }
  QCOMPARE(classes->currentIndex(), target);
  QCOMPARE(window->ClassName(), name);
}

QStringList Entries(const QListWidget* list) {
  QStringList entries;
  for (int row = 0; row < list->count(); ++row) entries.append(list->item(row)->text());
  return entries;
}

QStringList SelectedEntries(const QListWidget* list) {
  QStringList entries;
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->isSelected()) entries.append(list->item(row)->text());
  }
  return entries;
}

void DoubleClickEntry(QListWidget* list, int row) {
  list->scrollToItem(list->item(row));
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void ClickEntry(QListWidget* list, int row) {
  list->scrollToItem(list->item(row));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(list->item(row)).center());
}

QByteArray ScoreFileBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += EncodeGbk(line) + "\r\n";
  return bytes;
}

}  // namespace zorvanix::testing
