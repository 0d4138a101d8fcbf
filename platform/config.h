// Where the program finds its service, its website and its folder.
//
// ServiceRoot and VendorSite come from, in this order of precedence: the
// command line (--service-root, --vendor-site), the environment
// (ZORVANIX_SERVICE_ROOT, ZORVANIX_VENDOR_SITE), zorvanix.ini in the program
// folder ([service] root=..., vendor_site=..., support_email=...,
// timeout_seconds=..., upload_batch_kib=...), zorvanix.ini beside the
// executable (for an installed copy whose program folder is per user), and
// the built-in default, the local service that scripts/demo starts.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

namespace zorvanix {

inline constexpr char kDefaultServiceRoot[] = "http://127.0.0.1:8808";
// The largest body one score upload sends by default: a quarter of the
// service's default limit on a request body (1 MiB), well clear of it.
inline constexpr qsizetype kDefaultUploadBatchBytes = 256 * 1024;
inline constexpr char kConfigFileName[] = "zorvanix.ini";
// The user's settings key of the address saved on the first run; it counts
// after the command line, the environment and zorvanix.ini.
inline constexpr char kSavedServiceRootKey[] = "ServiceRoot";
// A copy whose program folder holds this file is portable: it keeps its cache
// and logs in that folder. Every other copy keeps them in the per-user data folder.
inline constexpr char kPortableMarkerFileName[] = "zorvanix.portable";

struct AppConfig {
  QString service_root = QLatin1String(kDefaultServiceRoot);
  // False while the address is the built-in default: nothing named one.
  bool service_root_configured = false;
  QString vendor_site = QLatin1String(kDefaultServiceRoot);
  // The program folder: the cache file and the daily logs live here.
  QString data_dir;
  // Shown in the password-reset window; empty: ask the school's administrator.
  QString support_email;
  std::chrono::milliseconds transfer_timeout{30000};
  // The options given on the command line, as the program's own launchers
  // repeat them (the folder made absolute, so a launcher started from
  // anywhere finds the same one).
  QStringList launch_arguments;
  // The clock check against the service and the version check, a second
  // after the roll-call window starts. Test fixtures whose clock stands on a
  // fixed day turn them off unless they test them.
  bool startup_checks = true;
  // The largest body of one score upload; a larger selection is sent in
  // several uploads that each fit.
  qsizetype upload_batch_bytes = kDefaultUploadBatchBytes;

  QString CacheFilePath() const;
};

// The program folder: --data-dir when given, else the executable's folder when
// it is writable (a portable copy), else the per-user data folder.
QString ResolveDataDir(const QString& data_dir_option, const QString& executable_dir);

// Applies the sources above over the defaults. arguments are the already
// parsed option values (empty when not given).
struct CommandLineOptions {
  QString service_root;
  QString vendor_site;
  QString data_dir;
};
AppConfig ResolveConfig(const CommandLineOptions& options, const QString& executable_dir);
// The options that were given, as "--name=value" arguments.
QStringList LaunchArguments(const CommandLineOptions& options);

}  // namespace zorvanix
