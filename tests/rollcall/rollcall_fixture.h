// What the roll-call window tests share: a cache file written the way the
// service's record download delivers it, the window signed in offline from
// it, and small helpers that act as the teacher would.
#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QStringList>
#include <memory>

#include "rollcall/roll_call_window.h"
#include "tests/support/test_context.h"

namespace zorvanix::testing {

// Classes 一班 (five students), 1 and 10 (a shared prefix) and 3/4班 (a name
// no file name can hold); topics 朗读 with two criteria and 背诵 with none.
QStringList SampleCacheLines();
void WriteCache(const QString& path, const QStringList& lines);

// A context against a closed port (no service needed), the sample cache in
// its folder, and the roll-call window after an offline sign-in.
struct OfflineWindow {
  OfflineWindow();
  TestContext context;
  RollCallWindow* window = nullptr;

  template <typename T>
  T* Find(const QString& name) const {
    return window->findChild<T*>(name);
  }
  QPushButton* DrawButton(int index) const;
  // Chooses the class in Combo2 as the teacher does.
  void ChooseClass(const QString& name) const;
  // Presses a draw button, lets it roll until a name shows, presses again.
  QString Draw(int index) const;
  QString Text2() const;
  // Chooses entry index of Combo1 ("5分" is 0, "0分" is 5).
  void ChooseScore(int index) const;
};

// The bytes of the file at path ("" when it is missing).
QByteArray FileBytes(const QString& path);

}  // namespace zorvanix::testing
