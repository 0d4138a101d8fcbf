// The per-user settings: the remembered account names, application "Zorvane",
// section "Userinfo". A missing key reads as empty text.
#pragma once

#include <QSettings>
#include <QString>
#include <memory>

namespace zorvanix {

class SettingsStore {
 public:
  // The user's native settings store.
  SettingsStore();
  // An INI file of its own (tests, portable copies).
  explicit SettingsStore(const QString& ini_path);

  QString Read(const QString& key) const;
  void Write(const QString& key, const QString& value);

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace zorvanix
