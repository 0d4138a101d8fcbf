#include "platform/config.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "core/cache_file.h"

namespace zorvanix {
namespace {

bool IsWritableDir(const QString& dir) {
  if (dir.isEmpty()) return false;
  const QFileInfo info(dir);
  return info.isDir() && info.isWritable();
}

QString FirstNonEmpty(std::initializer_list<QString> values) {
  for (const QString& value : values) {
    if (!value.trimmed().isEmpty()) return value.trimmed();
  }
  return QString();
}

}  // namespace

QString AppConfig::CacheFilePath() const {
  return QDir(data_dir).filePath(QLatin1String(kServerRecordFileName));
}

QString ResolveDataDir(const QString& data_dir_option, const QString& executable_dir) {
  if (!data_dir_option.isEmpty()) {
    QDir().mkpath(data_dir_option);
    return QDir(data_dir_option).absolutePath();
  }
  if (IsWritableDir(executable_dir)) return QDir(executable_dir).absolutePath();
  const QString per_user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  QDir().mkpath(per_user);
  return per_user;
}

AppConfig ResolveConfig(const CommandLineOptions& options, const QString& executable_dir) {
  AppConfig config;
  config.data_dir = ResolveDataDir(options.data_dir, executable_dir);

  // The file in the program folder wins; an installed copy whose folder is not
  // writable keeps its data per user, and then the school's file beside the
  // executable still counts.
  QSettings ini(QDir(config.data_dir).filePath(QLatin1String(kConfigFileName)),
                QSettings::IniFormat);
  QSettings beside_executable(QDir(executable_dir).filePath(QLatin1String(kConfigFileName)),
                              QSettings::IniFormat);
  const auto setting = [&](const char* key) {
    const QString name = QStringLiteral("service/") + QLatin1String(key);
    return ini.contains(name) ? ini.value(name).toString()
                              : beside_executable.value(name).toString();
  };
  const QString ini_root = setting("root");
  const QString ini_vendor = setting("vendor_site");
  config.support_email = setting("support_email").trimmed();
  bool timeout_ok = false;
  const int timeout_seconds = setting("timeout_seconds").toInt(&timeout_ok);
  if (timeout_ok && timeout_seconds > 0)
    config.transfer_timeout = std::chrono::seconds(timeout_seconds);

  config.service_root =
      FirstNonEmpty({options.service_root, qEnvironmentVariable("ZORVANIX_SERVICE_ROOT"), ini_root,
                     QLatin1String(kDefaultServiceRoot)});
  config.vendor_site =
      FirstNonEmpty({options.vendor_site, qEnvironmentVariable("ZORVANIX_VENDOR_SITE"), ini_vendor,
                     QLatin1String(kDefaultServiceRoot)});
  return config;
}

}  // namespace zorvanix
