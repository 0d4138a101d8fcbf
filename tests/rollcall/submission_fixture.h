// What the tests of the upload panel, the group tab and the search share: one
// real service per test program, a teacher of its own on it with a class and
// a topic, signed in online; and small helpers that act as the teacher would
// on any roll-call window.
#pragma once

#include <QListWidget>
#include <QStringList>
#include <QtTest>
#include <memory>

#include "rollcall/roll_call_window.h"
#include "tests/support/test_context.h"

namespace zorvanix::testing {

// The program's SharedServer(), started with the options these tests agree
// on: no access log, and a version endpoint announcing " 2.5.1 ", blanks
// included. Stopped by StopSharedServer() (cleanupTestCase).
ServerProcess& SharedService();

// Class 一班 with 张三, 李四, 王五, 赵六 and 钱七 (all in group 0 on a new
// service), topic 朗读; the operation password is TeacherSeed's "op123".
inline const QStringList kClassOneStudents = {"张三", "李四", "王五", "赵六", "钱七"};

struct OnlineScene {
  OnlineScene() : OnlineScene(SharedService()) {}
  // Against a service of the test's own (started with options of its own).
  explicit OnlineScene(ServerProcess& service);
  TestContext context;
  TeacherSeed teacher;
  RollCallWindow* window = nullptr;
  QString error;  // why the service refused the seeding, if it did

  ServiceClient& Service() { return *context.Context().service; }
  // The service's score records of a class: "student TAB score TAB time
  // TAB topic TAB criterion" (the record number left out).
  QStringList ServiceScores(const QString& class_name);
  // The student rows of a class in a fresh record download.
  QList<StudentRow> ServiceRoster(const QString& class_name);
};

template <typename T>
T* Child(const RollCallWindow* window, const QString& name) {
  T* child = window->findChild<T*>(name);
  if (!child) qWarning("no control named %s", qPrintable(name));
  return child;
}
void Click(const RollCallWindow* window, const QString& button);
void ChooseClass(const RollCallWindow* window, const QString& name);
// Picks the student from the manual-pick panel ("本次未点").
void PickByHand(const RollCallWindow* window, const QString& name);
// Picks the student so and gives the score choice at index (0 is "5分").
void ScoreByHand(const RollCallWindow* window, const QString& name, int choice);
void TypeInto(const RollCallWindow* window, const QString& box, const QString& text);
// Moves the focus to the class choice (as Tab would) and steps through it
// with the arrow keys to the class; each step chooses, as it does for a
// teacher.
void ChooseClassByKeys(const RollCallWindow* window, const QString& name);

QStringList Entries(const QListWidget* list);
QStringList SelectedEntries(const QListWidget* list);
// A real double-click (press, release, double-click, release) on the entry at row.
void DoubleClickEntry(QListWidget* list, int row);
// A click on the entry at row; in a multi-selection list it switches the
// entry's selection.
void ClickEntry(QListWidget* list, int row);

// A score file's bytes: each line GBK with CR LF.
QByteArray ScoreFileBytes(const QStringList& lines);

}  // namespace zorvanix::testing
