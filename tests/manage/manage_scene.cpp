#include "tests/manage/manage_scene.h"

#include <QDir>

#include "core/cache_file.h"
#include "core/score_line.h"
#include "rollcall/roll_call_window.h"
#include "tests/support/focus_input.h"

namespace zorvanix::testing {
namespace {

int next_teacher = 0;

bool Accepted(const PostResult& result, QString* error) {
  if (result.IsSuccess()) return true;
  *error = QStringLiteral("status %1: %2").arg(result.status).arg(result.text);
  return false;
}

QStringList Lines(const QString& reply) {
  QStringList lines;
  for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
    if (!line.isEmpty()) lines.append(line);
  }
  return lines;
}

}  // namespace

ServerProcess& ManageServer() { return SharedServer(WithoutAccessLog()); }

ManageScene::ManageScene(const QString& service_root)
    : context_(std::make_unique<TestContext>(service_root)) {
  ++next_teacher;
  seed_.user = QStringLiteral("teacher%1").arg(next_teacher);
  seed_.email = QStringLiteral("teacher%1@example.com").arg(next_teacher);
}

bool ManageScene::Register() { return RegisterTeacher(Service(), seed_, &error_); }

void ManageScene::SignIn() {
  context_->Sess().SignInOnline(seed_.user, seed_.password);
  Service().DownloadServerRecord(seed_.user, *context_->Context().cache);
}

void ManageScene::OpenWindow(const QString& operation_password) {
  // The roll-call window's 后台, as the program wires it. Only an online
  // sign-in enables the button; SignIn() stands for one, and the tests of the
  // guards open the window without it.
  RollCallWindow& roll_call = context_->Hub().RollCall();
  roll_call.show();
  QVERIFY(QTest::qWaitForWindowExposed(&roll_call));
  roll_call.EnableManageButton();
  QVERIFY(testing::Click(FindControl<QPushButton>(&roll_call, QStringLiteral("btnManage"))));
  QVERIFY(QTest::qWaitForWindowExposed(&Window()));
  Type(QStringLiteral("txtSuperPassword"), operation_password);
}

void ManageScene::StartOnPage(int index, const QString& operation_password) {
  SignIn();
  OpenWindow(operation_password);
  OpenPage(index);
}

bool ManageScene::SeedClasses(const QStringList& classes) {
  return Accepted(Service().SetClasses(seed_.user, seed_.super_password, classes), &error_);
}

bool ManageScene::SeedStudents(const QString& class_name, const QStringList& students) {
  return Accepted(Service().SetStudents(seed_.user, seed_.super_password, class_name, students),
                  &error_);
}

bool ManageScene::SeedTopics(const QStringList& topics) {
  return Accepted(Service().SetTopics(seed_.user, seed_.super_password, topics), &error_);
}

bool ManageScene::SeedCriteria(const QString& topic, const QStringList& texts,
                               const QStringList& scores) {
  return Accepted(Service().NewCriteria(seed_.user, seed_.super_password, topic, texts, scores),
                  &error_);
}

bool ManageScene::SeedScores(const QString& topic, const QStringList& score_lines) {
  return Accepted(Service().UploadScores(seed_.user, seed_.super_password, topic, score_lines),
                  &error_);
}

void ManageScene::Click(const QString& button) {
  QPushButton* target = Find<QPushButton>(button);
  QVERIFY2(target, qPrintable(button));
  QVERIFY2(testing::Click(target), qPrintable(button + QStringLiteral(" cannot be clicked")));
}

bool ManageScene::Choose(const QString& chooser, const QString& text) {
  QComboBox* combo = Find<QComboBox>(chooser);
  if (!combo) return false;
  const int index = combo->findText(text);
  if (index < 0) return false;
  return ChooseEntry(combo, index);
}

void ManageScene::Type(const QString& box, const QString& text) {
  QLineEdit* edit = Find<QLineEdit>(box);
  QVERIFY2(edit, qPrintable(box));
  QVERIFY2(TypeIntoFocus(edit, text), qPrintable(box + QStringLiteral(" took no typing")));
  QCOMPARE(edit->text(), text);
}

void ManageScene::TypeLines(const QString& name_box, const QString& text) {
  QPlainTextEdit* edit = Find<QPlainTextEdit>(name_box);
  QVERIFY2(edit, qPrintable(name_box));
  QVERIFY2(TypeLinesIntoFocus(edit, text),
           qPrintable(name_box + QStringLiteral(" took no typing")));
}

void ManageScene::Select(const QString& list, const QStringList& entries) {
  QListWidget* widget = Find<QListWidget>(list);
  QVERIFY2(widget, qPrintable(list));
  QList<int> rows;
  for (int i = 0; i < widget->count(); ++i) {
    if (entries.contains(widget->item(i)->text())) rows.append(i);
  }
  QVERIFY2(SelectEntries(widget, rows), qPrintable(list));
}

bool ManageScene::DoubleClick(const QString& list, int row) {
  return DoubleClickRow(Find<QListWidget>(list), row);
}

QStringList ManageScene::Entries(const QString& list) {
  QStringList entries;
  if (QListWidget* widget = Find<QListWidget>(list)) {
    for (int i = 0; i < widget->count(); ++i) entries.append(widget->item(i)->text());
  }
  return entries;
}

QString ManageScene::Text(const QString& name) {
  QWidget* widget = Find<QWidget>(name);
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) return box->toPlainText();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    return combo->currentIndex() < 0 ? combo->placeholderText() : combo->currentText();
  }
  return QString();
}

QString ManageScene::FreshRecord(QStringView tag) {
  const QString path = QDir(context_->DataDir()).filePath(QStringLiteral("check.dmd"));
  QFile::remove(path);
  CacheFile check(path);
  if (!Service().DownloadServerRecord(seed_.user, check)) return QString();
  return check.ReadTaggedLines(tag);
}

QStringList ManageScene::ServiceClasses() {
  return ClassNamesFromCache(FreshRecord(kClassListTag));
}

QStringList ManageScene::ServiceTopics() { return TopicNamesFromCache(FreshRecord(kTopicTag)); }

QStringList ManageScene::ServiceStudents(const QString& class_name) {
  QStringList names;
  for (const StudentRow& row : StudentRowsFromText(FreshRecord(RosterTag(class_name)))) {
    names.append(row.name);
  }
  return names;
}

QStringList ManageScene::ServiceCriteria(const QString& topic) {
  return Lines(Service().GetCriteria(topic));
}

QStringList ManageScene::ServiceScores(const QString& class_name) {
  return Lines(Service().GetScores(class_name));
}

}  // namespace zorvanix::testing
