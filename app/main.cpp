// zorvanix: the teacher's desktop program. Opens the roll-call window first;
// closing the roll-call window ends the program.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "app/chinese_translations.h"
#include "app/program.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

// The process's peak resident memory as the system reports it ("VmHWM" on
// Linux), for start-up measurements; "unknown" elsewhere.
QString PeakMemory() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmHWM:")) return QString::fromLatin1(line.mid(6).simplified());
    }
  }
  return QStringLiteral("unknown");
}

}  // namespace

int main(int argc, char* argv[]) {
  QElapsedTimer since_start;
  since_start.start();
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Zorvane"));
  QApplication::setApplicationName(QStringLiteral("Zorvanix"));
  QApplication::setApplicationVersion(QStringLiteral(ZORVANIX_VERSION));
  InstallChineseTranslations();
  // The installed menu entry and icon share the program's reverse-DNS id, so
  // the desktop groups its windows under that one entry.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.zorvane.Zorvanix"));
  // A copy whose icon is not installed shows the one it carries.
  QIcon carried;
  for (const int size : {16, 32, 48, 256})
    carried.addFile(QStringLiteral(":/icons/org.zorvane.Zorvanix-%1.png").arg(size));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.zorvane.Zorvanix"), carried));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Zorvanix roll-call and scoring"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption service_root({QStringLiteral("service-root")},
                                        QStringLiteral("Address of the scoring service."),
                                        QStringLiteral("url"));
  const QCommandLineOption vendor_site({QStringLiteral("vendor-site")},
                                       QStringLiteral("Address of the maker's website."),
                                       QStringLiteral("url"));
  const QCommandLineOption data_dir({QStringLiteral("data-dir")},
                                    QStringLiteral("Folder of the cache file and daily logs."),
                                    QStringLiteral("dir"));
  // For start-up measurements: show the first window, report how long that
  // took, and end.
  QCommandLineOption quit_after_show(
      {QStringLiteral("quit-after-show")},
      QStringLiteral("Show the first window, print the time, quit."));
  quit_after_show.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOptions({service_root, vendor_site, data_dir, quit_after_show});
  parser.process(app);

  CommandLineOptions options{parser.value(service_root), parser.value(vendor_site),
                             parser.value(data_dir)};
  AppConfig config = ResolveConfig(options, QCoreApplication::applicationDirPath());
  WidgetPrompter prompter;
  SystemClock clock;
  DesktopShell shell;
  SettingsStore settings;
  SystemNetworkState network;
  // The address saved from the login window on the first run counts when
  // nothing else named one.
  if (const QString saved = settings.Read(QLatin1String(kSavedServiceRootKey));
      !config.service_root_configured && !saved.isEmpty()) {
    config.service_root = saved;
    config.service_root_configured = true;
  }

  Program program(config, {&prompter, &clock, &shell, &settings, &network});
  RollCallWindow& roll_call = program.RollCall();
  prompter.SetParent(&roll_call);
  // Hiding the roll-call window for the login or management window must not
  // end the program; only closing the roll-call window does.
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&roll_call, &RollCallWindow::ProgramEnding, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  roll_call.show();
  if (parser.isSet(quit_after_show)) {
    QTimer::singleShot(0, &app, [&] {
      std::printf("first window shown after %lld ms, peak memory %s\n",
                  static_cast<long long>(since_start.elapsed()), qPrintable(PeakMemory()));
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  }
  return app.exec();
}
