#include "tests/manage/manage_scene.h"

#include <QDir>

#include "core/cache_file.h"
#include "core/score_line.h"
#include "tests/support/focus_input.h"

namespace zorvanix::testing {
namespace {

int next_teacher = 0;

std::unique_ptr<ServerProcess>& SharedServerSlot() {
  static std::unique_ptr<ServerProcess> server;
  return server;
}

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

ServerProcess& SharedServer() {
  std::unique_ptr<ServerProcess>& server = SharedServerSlot();
  if (!server) {
    ServerProcess::Options options;
    // Nobody reads the access log while the tests run; a full pipe would stall
    // the service.
    options.extra_arguments = {QStringLiteral("--no-access-log")};
    server = std::make_unique<ServerProcess>(options);
    QString error;
    if (!server->Start(&error)) qFatal("zorvanix-server: %s", qPrintable(error));
  }
  return *server;
}

void StopSharedServer() { SharedServerSlot().reset(); }

ManageScene::ManageScene(const QString& service_root)
    : context_(std::make_unique<TestContext>(service_root)) {
  ++next_teacher;
  seed_.user = QStringLiteral("teacher%1").arg(next_teacher);
  seed_.email = QStringLiteral("teacher%1@example.com").arg(next_teacher);
}

bool ManageScene::Register() { return RegisterTeacher(Service(), seed_, &error_); }

void ManageScene::SignIn() {
  context_->Sess().SignInOnline(seed_.user, seed_.password);
  Service().DownloadServerRecord(seed_.user, context_->CacheFile());
}

void ManageScene::OpenWindow(const QString& operation_password) {
  Window().OpenFromMainWindow();
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
  QVERIFY2(target->isEnabled(), qPrintable(button + QStringLiteral(" is disabled")));
  QTest::mouseClick(target, Qt::LeftButton);
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
  edit->clear();
  edit->insert(text);
}

void ManageScene::TypeLines(const QString& name_box, const QString& text) {
  QPlainTextEdit* edit = Find<QPlainTextEdit>(name_box);
  QVERIFY2(edit, qPrintable(name_box));
  edit->setPlainText(text);
}

void ManageScene::Select(const QString& list, const QStringList& entries) {
  QListWidget* widget = Find<QListWidget>(list);
  QVERIFY2(widget, qPrintable(list));
  for (int i = 0; i < widget->count(); ++i) {
    widget->item(i)->setSelected(entries.contains(widget->item(i)->text()));
  }
}

bool ManageScene::DoubleClick(const QString& list, int row) {
  QListWidget* widget = Find<QListWidget>(list);
  if (!widget || row >= widget->count()) return false;
  QListWidgetItem* item = widget->item(row);
  widget->scrollToItem(item);
  const QPoint centre = widget->visualItemRect(item).center();
  // A list takes a double-click only on the entry the button went down on.
  QTest::mousePress(widget->viewport(), Qt::LeftButton, {}, centre);
  QTest::mouseDClick(widget->viewport(), Qt::LeftButton, {}, centre);
  return true;
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
  if (!Service().DownloadServerRecord(seed_.user, path)) return QString();
  return ReadTaggedLines(path, tag);
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
