#include "platform/config.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <memory>
#include <vector>

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
  if (IsWritableDir(executable_dir) &&
      QFileInfo::exists(QDir(executable_dir).filePath(QLatin1String(kPortableMarkerFileName)))) {
    return QDir(executable_dir).absolutePath();
  }
  const QString per_user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  QDir().mkpath(per_user);
  return per_user;
}

QStringList LaunchArguments(const CommandLineOptions& options) {
  QStringList arguments;
  if (!options.service_root.isEmpty())
    arguments << QStringLiteral("--service-root=") + options.service_root;
  if (!options.vendor_site.isEmpty())
    arguments << QStringLiteral("--vendor-site=") + options.vendor_site;
  if (!options.data_dir.isEmpty())
    arguments << QStringLiteral("--data-dir=") + QDir(options.data_dir).absolutePath();
  return arguments;
}

AppConfig ResolveConfig(const CommandLineOptions& options, const QString& executable_dir) {
  AppConfig config;
  config.launch_arguments = LaunchArguments(options);
  config.data_dir = ResolveDataDir(options.data_dir, executable_dir);

  // The school's zorvanix.ini: the one in the program's data folder wins,
  // then the standard config folders (the user's $XDG_CONFIG_HOME/zorvanix,
  // then each of $XDG_CONFIG_DIRS such as /etc/xdg/zorvanix), then the one
  // beside the executable.
  QStringList ini_paths = {QDir(config.data_dir).filePath(QLatin1String(kConfigFileName))};
  ini_paths += QStandardPaths::locateAll(QStandardPaths::GenericConfigLocation,
                                         QStringLiteral("zorvanix/") +
                                             QLatin1String(kConfigFileName));
  ini_paths.append(QDir(executable_dir).filePath(QLatin1String(kConfigFileName)));
  ini_paths.removeDuplicates();
  std::vector<std::unique_ptr<QSettings>> inis;
  for (const QString& path : ini_paths) {
    if (QFileInfo::exists(path))
      inis.push_back(std::make_unique<QSettings>(path, QSettings::IniFormat));
  }
  const auto setting = [&](const char* key) {
    const QString name = QStringLiteral("service/") + QLatin1String(key);
    for (const auto& ini : inis) {
      if (ini->contains(name)) return ini->value(name).toString();
    }
    return QString();
  };
  const QString ini_root = setting("root");
  const QString ini_vendor = setting("vendor_site");
  config.support_email = setting("support_email").trimmed();
  bool timeout_ok = false;
  const int timeout_seconds = setting("timeout_seconds").toInt(&timeout_ok);
  if (timeout_ok && timeout_seconds > 0)
    config.transfer_timeout = std::chrono::seconds(timeout_seconds);

  // A school whose service takes smaller requests than its default 1 MiB
  // names the largest upload here, in KiB.
  bool batch_ok = false;
  const int batch_kib = setting("upload_batch_kib").toInt(&batch_ok);
  if (batch_ok && batch_kib > 0) config.upload_batch_bytes = qsizetype{batch_kib} * 1024;

  config.service_root =
      FirstNonEmpty({options.service_root, qEnvironmentVariable("ZORVANIX_SERVICE_ROOT"), ini_root,
                     QLatin1String(kDefaultServiceRoot)});
  config.service_root_configured =
      !FirstNonEmpty({options.service_root, qEnvironmentVariable("ZORVANIX_SERVICE_ROOT"), ini_root})
           .isEmpty();
  config.vendor_site =
      FirstNonEmpty({options.vendor_site, qEnvironmentVariable("ZORVANIX_VENDOR_SITE"), ini_vendor,
                     QLatin1String(kDefaultServiceRoot)});
  return config;
}

}  // namespace zorvanix
