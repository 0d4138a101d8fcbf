#include "platform/settings_store.h"

namespace zorvanix {
namespace {
constexpr char kSection[] = "Userinfo";
}

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QStringLiteral("Zorvane"), QStringLiteral("Zorvane"))) {
}

SettingsStore::SettingsStore(const QString& ini_path)
    : settings_(std::make_unique<QSettings>(ini_path, QSettings::IniFormat)) {}

QString SettingsStore::Read(const QString& key) const {
  return settings_->value(QLatin1String(kSection) + u'/' + key).toString();
}

void SettingsStore::Write(const QString& key, const QString& value) {
  settings_->setValue(QLatin1String(kSection) + u'/' + key, value);
  settings_->sync();
}

}  // namespace zorvanix
