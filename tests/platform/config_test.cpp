// Where the program finds its service and its folder, and the remembered
// account names of the settings store.
#include "platform/config.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/settings_store.h"

using namespace zorvanix;
using namespace std::chrono_literals;

namespace {

void WriteIni(const QString& dir, const QString& root, const QString& timeout = QString()) {
  QSettings ini(QDir(dir).filePath(QStringLiteral("zorvanix.ini")), QSettings::IniFormat);
  ini.setValue(QStringLiteral("service/root"), root);
  ini.setValue(QStringLiteral("service/vendor_site"), root + QStringLiteral("/vendor"));
  if (!timeout.isNull()) ini.setValue(QStringLiteral("service/timeout_seconds"), timeout);
}

}  // namespace

class ConfigTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() {
    qunsetenv("ZORVANIX_SERVICE_ROOT");
    qunsetenv("ZORVANIX_VENDOR_SITE");
  }

  void CommandLineOverEnvironmentOverIniOverDefault() {
    QTemporaryDir exe_dir;
    const CommandLineOptions none;
    QCOMPARE(ResolveConfig(none, exe_dir.path()).service_root,
             QStringLiteral("http://127.0.0.1:8808"));
    QCOMPARE(ResolveConfig(none, exe_dir.path()).vendor_site,
             QStringLiteral("http://127.0.0.1:8808"));
    QVERIFY(!ResolveConfig(none, exe_dir.path()).service_root_configured);

    WriteIni(exe_dir.path(), QStringLiteral("http://ini"));
    QCOMPARE(ResolveConfig(none, exe_dir.path()).service_root, QStringLiteral("http://ini"));
    QVERIFY(ResolveConfig(none, exe_dir.path()).service_root_configured);
    QCOMPARE(ResolveConfig(none, exe_dir.path()).vendor_site, QStringLiteral("http://ini/vendor"));

    qputenv("ZORVANIX_SERVICE_ROOT", "http://env");
    qputenv("ZORVANIX_VENDOR_SITE", " ");  // blank counts as not set
    QCOMPARE(ResolveConfig(none, exe_dir.path()).service_root, QStringLiteral("http://env"));
    QCOMPARE(ResolveConfig(none, exe_dir.path()).vendor_site, QStringLiteral("http://ini/vendor"));

    CommandLineOptions options;
    options.service_root = QStringLiteral("http://cli");
    options.vendor_site = QStringLiteral("http://cli-vendor");
    const AppConfig config = ResolveConfig(options, exe_dir.path());
    QCOMPARE(config.service_root, QStringLiteral("http://cli"));
    QCOMPARE(config.vendor_site, QStringLiteral("http://cli-vendor"));
    // The launchers the program makes repeat what the command line gave, and
    // nothing that came from the environment or a file.
    QCOMPARE(config.launch_arguments,
             QStringList({"--service-root=http://cli", "--vendor-site=http://cli-vendor"}));
    QCOMPARE(ResolveConfig(none, exe_dir.path()).launch_arguments, QStringList());
  }

  // A folder given relative to where the program was started is repeated as
  // the same folder seen from anywhere.
  void LaunchArgumentsNameTheDataFolderAbsolutely() {
    QTemporaryDir base;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(base.path()));
    CommandLineOptions options;
    options.data_dir = QStringLiteral("班级 数据");
    const QStringList arguments = LaunchArguments(options);
    QVERIFY(QDir::setCurrent(before));
    QCOMPARE(arguments, QStringList{QStringLiteral("--data-dir=") + base.filePath("班级 数据")});
  }

  void TransferTimeoutFromIniOrDefault() {
    QTemporaryDir exe_dir;
    for (const auto& [text, expected] :
         {std::pair{QStringLiteral("5"), std::chrono::milliseconds(5s)},
          std::pair{QStringLiteral("0"), std::chrono::milliseconds(30s)},
          std::pair{QStringLiteral("soon"), std::chrono::milliseconds(30s)}}) {
      WriteIni(exe_dir.path(), QStringLiteral("http://ini"), text);
      QCOMPARE(ResolveConfig({}, exe_dir.path()).transfer_timeout, expected);
    }
  }

  // The largest upload body, in KiB, for a service that takes less than
  // its default; anything unusable keeps the default.
  void UploadBatchFromIniOrDefault() {
    QTemporaryDir exe_dir;
    for (const auto& [text, expected] :
         {std::pair{QStringLiteral("64"), qsizetype{64 * 1024}},
          std::pair{QStringLiteral("0"), kDefaultUploadBatchBytes},
          std::pair{QStringLiteral("-3"), kDefaultUploadBatchBytes},
          std::pair{QStringLiteral("big"), kDefaultUploadBatchBytes}}) {
      WriteIni(exe_dir.path(), QStringLiteral("http://ini"));
      QSettings ini(QDir(exe_dir.path()).filePath(QStringLiteral("zorvanix.ini")),
                    QSettings::IniFormat);
      ini.setValue(QStringLiteral("service/upload_batch_kib"), text);
      ini.sync();
      QCOMPARE(ResolveConfig({}, exe_dir.path()).upload_batch_bytes, expected);
    }
  }

  // A portable copy (marker file in its folder) keeps its data beside the
  // executable; any other copy, even in a writable folder, keeps it per user
  // and still reads the school's ini file beside the executable.
  void ProgramFolderRule() {
    QTemporaryDir exe_dir;
    const QString per_user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(ResolveConfig({}, exe_dir.path()).data_dir, per_user);
    QVERIFY(!QFileInfo::exists(exe_dir.filePath(QStringLiteral("ServerRec.dmd"))));
    QFile marker(exe_dir.filePath(QStringLiteral("zorvanix.portable")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QCOMPARE(ResolveConfig({}, exe_dir.path()).data_dir, exe_dir.path());
    QCOMPARE(ResolveConfig({}, exe_dir.path()).CacheFilePath(),
             QDir(exe_dir.path()).filePath(QStringLiteral("ServerRec.dmd")));

    CommandLineOptions options;
    options.data_dir = exe_dir.filePath(QStringLiteral("data/deeper"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).data_dir, options.data_dir);
    QVERIFY(QFileInfo(options.data_dir).isDir());

    const QString missing_exe_dir = exe_dir.filePath(QStringLiteral("gone"));
    QCOMPARE(ResolveConfig({}, missing_exe_dir).data_dir, per_user);

    // The school's file beside the executable counts when the program folder
    // is elsewhere; a file in the program folder itself wins.
    QTemporaryDir data_dir;
    options.data_dir = data_dir.path();
    WriteIni(exe_dir.path(), QStringLiteral("http://school"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).service_root, QStringLiteral("http://school"));
    WriteIni(data_dir.path(), QStringLiteral("http://own"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).service_root, QStringLiteral("http://own"));
  }

  // The user's config folder counts after the program's data folder and
  // before the file beside the executable.
  void IniFromStandardConfigFolder() {
    QTemporaryDir exe_dir, data_dir;
    const QString config_home =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString user_dir = QDir(config_home).filePath(QStringLiteral("zorvanix"));
    QDir().mkpath(user_dir);
    CommandLineOptions options;
    options.data_dir = data_dir.path();
    WriteIni(exe_dir.path(), QStringLiteral("http://beside"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).service_root, QStringLiteral("http://beside"));
    WriteIni(user_dir, QStringLiteral("http://user"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).service_root, QStringLiteral("http://user"));
    WriteIni(data_dir.path(), QStringLiteral("http://own"));
    QCOMPARE(ResolveConfig(options, exe_dir.path()).service_root, QStringLiteral("http://own"));
    QFile::remove(QDir(user_dir).filePath(QStringLiteral("zorvanix.ini")));
  }

  void SettingsRoundTripAwkwardAccountNames() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    const QStringList names = {QStringLiteral("张三|李四"), QStringLiteral("a,b"),
                               QStringLiteral("@Variant(x)"), QStringLiteral(" lead;semi=eq "),
                               QStringLiteral("back\\slash")};
    {
      SettingsStore store(path);
      QCOMPARE(store.Read(QStringLiteral("Username")), QString());
      for (int i = 0; i < names.size(); ++i) store.Write(QStringLiteral("k%1").arg(i), names[i]);
    }
    SettingsStore reopened(path);
    for (int i = 0; i < names.size(); ++i)
      QCOMPARE(reopened.Read(QStringLiteral("k%1").arg(i)), names[i]);
    QVERIFY(QSettings(path, QSettings::IniFormat).contains(QStringLiteral("Userinfo/k0")));
  }
};

QTEST_GUILESS_MAIN(ConfigTest)
#include "config_test.moc"
