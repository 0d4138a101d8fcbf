// One teacher on the real service, signed in, with the management window
// open: what every management-window test starts from. Controls are found by
// their object names and driven the way a teacher drives them.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "manage/management_window.h"
#include "tests/support/test_context.h"

namespace zorvanix::testing {

// The shared service of the management tests (tests/support's SharedServer),
// with no access log.
ServerProcess& ManageServer();

class ManageScene {
 public:
  // A fresh teacher (a name of its own) on service_root; the context is not
  // signed in yet.
  explicit ManageScene(const QString& service_root = ManageServer().Root());

  TestContext& Ctx() { return *context_; }
  ServiceClient& Service() { return *context_->Context().service; }
  RecordingPrompter& Prompts() { return context_->Prompts(); }
  const TeacherSeed& Teacher() const { return seed_; }
  ManagementWindow& Window() { return context_->Hub().Management(); }

  // Registers the teacher; false (and the reason in Error()) when refused.
  bool Register();
  // Online sign-in as the login window does it: session values and a fresh
  // cache file.
  void SignIn();
  // The roll-call window shown and its management button clicked, then the
  // operation password typed on the right.
  void OpenWindow(const QString& operation_password);
  // Where most tests start: SignIn(), OpenWindow() and the page's button.
  void StartOnPage(int index, const QString& operation_password);
  QString Error() const { return error_; }

  // Data put on the service directly, as another PC of the teacher would.
  bool SeedClasses(const QStringList& classes);
  bool SeedStudents(const QString& class_name, const QStringList& students);
  bool SeedTopics(const QStringList& topics);
  bool SeedCriteria(const QString& topic, const QStringList& texts, const QStringList& scores);
  // score_lines: "class TAB student TAB score TAB time TAB criterion".
  bool SeedScores(const QString& topic, const QStringList& score_lines);

  // --- Driving the window -----------------------------------------------------
  template <typename T>
  T* Find(const QString& name) {
    T* widget = Window().findChild<T*>(name);
    if (!widget) qWarning("no control named %s", qPrintable(name));
    return widget;
  }
  void Click(const QString& button);
  void OpenPage(int index) { Click(QStringLiteral("Cmd_manage_%1").arg(index)); }
  // The teacher picks text in the chooser.
  bool Choose(const QString& chooser, const QString& text);
  void Type(const QString& box, const QString& text);
  void TypeLines(const QString& name_box, const QString& text);
  // Selects exactly the entries with these texts.
  void Select(const QString& list, const QStringList& entries);
  bool DoubleClick(const QString& list, int row);
  QStringList Entries(const QString& list);
  QString Text(const QString& label_or_box);

  // --- The service's state ------------------------------------------------------
  // The record download, fetched afresh into a file of the test's own.
  QString FreshRecord(QStringView tag);
  QStringList ServiceClasses();
  QStringList ServiceTopics();
  QStringList ServiceStudents(const QString& class_name);
  QStringList ServiceCriteria(const QString& topic);  // "ID TAB text TAB score"
  QStringList ServiceScores(const QString& class_name);

 private:
  std::unique_ptr<TestContext> context_;
  TeacherSeed seed_;
  QString error_;
};

// The last message the teacher was shown.
#define ZV_EXPECT_MESSAGE(scene, title_, text_, icon_)  \
  do {                                                  \
    const PromptRecord last = (scene).Prompts().Last(); \
    QCOMPARE(last.title, QString(title_));              \
    QCOMPARE(last.text, QString(text_));                \
    QCOMPARE(int(last.icon), int(icon_));               \
  } while (false)

}  // namespace zorvanix::testing
