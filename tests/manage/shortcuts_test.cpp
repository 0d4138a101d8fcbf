// The three shortcuts in a temporary home, made by the shortcut maker and by
// the check boxes of the shortcut page.
#include "platform/shortcuts.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "tests/manage/manage_scene.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kTarget = QStringLiteral("/opt/zorvanix/zorvanix");

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool WriteText(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Home {
  QTemporaryDir dir;
  ShortcutFolders Folders() const {
    return {dir.filePath(QStringLiteral("Desktop")),
            dir.filePath(QStringLiteral(".local/share/applications"))};
  }
  QString Desktop() const { return dir.filePath(QStringLiteral("Desktop/Zorvane.desktop")); }
  QString Group() const {
    return dir.filePath(QStringLiteral(".local/share/applications/Quenfield"));
  }
  QString InGroup() const { return Group() + QStringLiteral("/Zorvane.desktop"); }
  QString Menu() const {
    return dir.filePath(QStringLiteral(".local/share/applications/org.zorvane.Zorvanix.desktop"));
  }
};

// Sets environment variables for one test and puts back what was there.
class ScopedEnvironment {
 public:
  void Set(const char* name, const QString& value) {
    if (!saved_.count(name)) saved_[name] = qgetenv(name);
    qputenv(name, value.toLocal8Bit());
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value.isNull())
        qunsetenv(name.c_str());
      else
        qputenv(name.c_str(), value);
    }
  }

 private:
  std::map<std::string, QByteArray> saved_;
};

// The value of key in the [Desktop Entry] group, still escaped.
QString EntryValue(const QString& entry, const QString& key) {
  for (const QString& line : entry.split(u'\n')) {
    if (line.startsWith(key + u'=')) return line.mid(key.size() + 1);
  }
  return QString();
}

// The Exec value split into arguments the way a desktop reads it: the
// string escapes first, then double quotes with their four backslash escapes,
// then "%%" as a literal percent sign.
QStringList ReadExec(const QString& value) {
  QString unescaped;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != u'\\' || i + 1 == value.size()) {
      unescaped += value[i];
      continue;
    }
    const QChar next = value[++i];
    unescaped += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next == u'r' ? QChar(u'\r') : next;
  }
  QStringList arguments;
  QString current;
  bool quoted = false, any = false;
  for (qsizetype i = 0; i < unescaped.size(); ++i) {
    const QChar c = unescaped[i];
    if (quoted && c == u'\\' && i + 1 < unescaped.size()) {
      current += unescaped[++i];
    } else if (c == u'"') {
      quoted = !quoted;
      any = true;
    } else if (c == u' ' && !quoted) {
      if (any || !current.isEmpty()) arguments << current;
      current.clear();
      any = false;
    } else if (c == u'%' && i + 1 < unescaped.size() && unescaped[i + 1] == u'%') {
      current += u'%';
      ++i;
    } else {
      current += c;
    }
  }
  if (any || !current.isEmpty()) arguments << current;
  return arguments;
}

// The entries the applications menu shows, by desktop-file id: every
// launcher under the applications folder of the user's data folder and of
// each system data folder (a subfolder's name joins the id with "-"), the
// first folder holding an id winning, hidden ones left out.
QStringList MenuEntries(const QStringList& data_folders) {
  std::map<QString, QString> by_id;
  for (const QString& folder : data_folders) {
    const QDir applications(QDir(folder).filePath(QStringLiteral("applications")));
    QDirIterator it(applications.path(), {QStringLiteral("*.desktop")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      const QString id = applications.relativeFilePath(path).replace(u'/', u'-');
      if (!by_id.count(id)) by_id[id] = path;
    }
  }
  QStringList shown;
  for (const auto& [id, path] : by_id) {
    const QString entry = ReadText(path);
    if (EntryValue(entry, "NoDisplay") == u"true" || EntryValue(entry, "Hidden") == u"true")
      continue;
    shown << id;
  }
  return shown;
}

}  // namespace

class ShortcutsTest : public QObject {
  Q_OBJECT

 private slots:
  void TheThreeKindsGoToTheirFolders() {
    Home home;
    const ShortcutMaker maker(home.Folders(), kTarget);
    QCOMPARE(maker.ShortcutPath(0), home.Desktop());
    QCOMPARE(maker.ShortcutPath(1), home.InGroup());
    QCOMPARE(maker.ShortcutPath(2), home.Menu());
    QCOMPARE(maker.ShortcutPath(3), QString());
    for (int kind = 0; kind < kShortcutKinds; ++kind) {
      QString error;
      QVERIFY2(maker.CreateShortcuts(kind, &error), qPrintable(error));
      QVERIFY(maker.ShortcutExists(kind));
      const QString entry = ReadText(maker.ShortcutPath(kind));
      QVERIFY(entry.startsWith("[Desktop Entry]\n"));
      QVERIFY(entry.contains("\nType=Application\n"));
      QVERIFY(entry.contains("\nExec=/opt/zorvanix/zorvanix\n"));
    }
    QVERIFY(QFileInfo(home.Desktop()).permissions() & QFileDevice::ExeOwner);
    QVERIFY(maker.CreateShortcuts(7));
    QVERIFY(maker.RemoveShortcuts(-1));
  }

  void CreatingTwiceLeavesOneShortcutAndRemovingTheGroupTakesTheFolder() {
    Home home;
    const ShortcutMaker maker(home.Folders(), kTarget);
    QVERIFY(maker.CreateShortcuts(1));
    QVERIFY(maker.CreateShortcuts(1));
    QCOMPARE(QDir(home.Group()).entryList(QDir::Files), QStringList{"Zorvane.desktop"});

    QVERIFY(WriteText(home.Group() + "/notes.txt", "mine"));
    QVERIFY(maker.CreateShortcuts(2));
    QVERIFY(maker.RemoveShortcuts(1));
    QVERIFY(!QFileInfo::exists(home.Group()));
    // The menu shortcut beside the group stays.
    QVERIFY(QFileInfo::exists(home.Menu()));
    QVERIFY(maker.RemoveShortcuts(2));
    QVERIFY(!QFileInfo::exists(home.Menu()));
    // Removing what is not there is no error.
    for (int kind = 0; kind < kShortcutKinds; ++kind) QVERIFY(maker.RemoveShortcuts(kind));
  }

  void AFolderThatCannotBeMadeIsReported() {
    Home home;
    QVERIFY(WriteText(home.dir.filePath("Desktop"), "a file where the folder should be"));
    const ShortcutMaker maker(home.Folders(), kTarget);
    QString error;
    QVERIFY(!maker.CreateShortcuts(0, &error));
    QVERIFY2(error.contains(QDir::toNativeSeparators(home.dir.filePath("Desktop"))),
             qPrintable(error));
    QVERIFY(!maker.ShortcutExists(0));
    const ShortcutMaker nowhere(ShortcutFolders{}, kTarget);
    QVERIFY(!nowhere.CreateShortcuts(2, &error));
    QVERIFY(!error.isEmpty());
  }

  void ExecQuotesWhatAPathMayHold_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/z/zorvanix"
                           << "/opt/z/zorvanix";
    QTest::newRow("blank") << "/home/王 老师/zorvanix"
                           << "\"/home/王 老师/zorvanix\"";
    QTest::newRow("percent") << "/opt/100%/zorvanix"
                             << "/opt/100%%/zorvanix";
    QTest::newRow("quote and dollar") << "/opt/a\"$b/z"
                                      << "\"/opt/a\\\\\"\\\\$b/z\"";
    QTest::newRow("backslash") << "/opt/a\\b/z"
                               << "\"/opt/a\\\\\\\\b/z\"";
  }
  void ExecQuotesWhatAPathMayHold() {
    QFETCH(QString, target);
    QTEST(DesktopExecArgument(target), "exec");
  }

  // What the program was started with comes back when a launcher starts it,
  // whatever the options hold.
  void LaunchersRepeatTheOptionsTheProgramWasStartedWith() {
    Home home;
    const QString target = QStringLiteral("/home/王 老师/Zorvanix 1.0/zorvanix");
    const QStringList arguments{
        QStringLiteral("--service-root=http://10.0.0.5:8808/a b?x=1&y=%20"),
        QStringLiteral("--data-dir=/home/王 老师/数据 \"甲\" $HOME `x` \\d\\"),
        QStringLiteral("--vendor-site=http://v.example/#100%")};
    const ShortcutMaker maker(home.Folders(), target, arguments);
    QVERIFY(maker.CreateShortcuts(kDesktopShortcut));
    const QString entry = ReadText(home.Desktop());
    QCOMPARE(ReadExec(EntryValue(entry, "Exec")), QStringList{target} + arguments);
    QCOMPARE(EntryValue(entry, "Exec"),
             QStringLiteral("\"/home/王 老师/Zorvanix 1.0/zorvanix\" "
                            "\"--service-root=http://10.0.0.5:8808/a b?x=1&y=%%20\" "
                            "\"--data-dir=/home/王 老师/数据 \\\\\"甲\\\\\" \\\\$HOME "
                            "\\\\`x\\\\` \\\\\\\\d\\\\\\\\\" "
                            "\"--vendor-site=http://v.example/#100%%\""));
    // Without options the launcher starts the program alone.
    QCOMPARE(ReadExec(EntryValue(DesktopEntryText(QStringLiteral("/usr/bin/zorvanix")), "Exec")),
             QStringList{QStringLiteral("/usr/bin/zorvanix")});
  }

  // A launcher the program wrote is one a desktop accepts.
  void ALauncherPassesTheDesktopEntryValidator() {
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) QSKIP("desktop-file-validate is not installed");
    Home home;
    const ShortcutMaker maker(home.Folders(), QStringLiteral("/opt/z 1/zorvanix"),
                              {QStringLiteral("--service-root=http://10.0.0.5:8808/?a=1&b=%"),
                               QStringLiteral("--data-dir=/tmp/数据 \"$x\" \\")});
    QVERIFY(maker.CreateShortcuts(kMenuShortcut));
    QProcess validate;
    validate.start(validator, {home.Menu()});
    QVERIFY(validate.waitForFinished(20000));
    const QByteArray said = validate.readAllStandardOutput() + validate.readAllStandardError();
    QVERIFY2(validate.exitCode() == 0, said.constData());
    QVERIFY2(!said.contains("error"), said.constData());
  }

  // An installed copy of the program has its menu entry and icon in a system
  // data folder. The program's menu launcher takes the same id, so the menu
  // still shows one entry, now starting the program with its options; the
  // launchers name the installed icon.
  void TheMenuLauncherStandsInForTheInstalledEntry() {
    QTemporaryDir home, system;
    ScopedEnvironment environment;
    environment.Set("HOME", home.path());
    environment.Set("XDG_DATA_HOME", home.filePath(".local/share"));
    environment.Set("XDG_DATA_DIRS", system.path());
    QVERIFY(QDir().mkpath(system.filePath("applications")));
    QVERIFY(QDir().mkpath(system.filePath("icons/hicolor/scalable/apps")));
    QVERIFY(WriteText(system.filePath("applications/org.zorvane.Zorvanix.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Zorvanix\nExec=zorvanix\n"));
    QVERIFY(WriteText(system.filePath("icons/hicolor/scalable/apps/org.zorvane.Zorvanix.svg"),
                      "<svg/>"));
    const QStringList data = {home.filePath(".local/share"), system.path()};
    QCOMPARE(MenuEntries(data), QStringList{"org.zorvane.Zorvanix.desktop"});

    const ShortcutMaker maker(ShortcutFolders::Standard(), QStringLiteral("/usr/bin/zorvanix"),
                              {QStringLiteral("--service-root=http://school:8808")});
    QVERIFY(maker.CreateShortcuts(kMenuShortcut));
    QCOMPARE(MenuEntries(data), QStringList{"org.zorvane.Zorvanix.desktop"});
    const QString own = ReadText(maker.ShortcutPath(kMenuShortcut));
    QVERIFY(maker.ShortcutPath(kMenuShortcut).startsWith(home.path()));
    QCOMPARE(ReadExec(EntryValue(own, "Exec")),
             QStringList({"/usr/bin/zorvanix", "--service-root=http://school:8808"}));
    QCOMPARE(EntryValue(own, "Icon"), QStringLiteral("org.zorvane.Zorvanix"));
    QVERIFY(!QFileInfo::exists(home.filePath(".local/share/icons")));

    // Removed again, the installed entry is the one the menu shows.
    QVERIFY(maker.RemoveShortcuts(kMenuShortcut));
    QCOMPARE(MenuEntries(data), QStringList{"org.zorvane.Zorvanix.desktop"});
    QVERIFY(!maker.ShortcutExists(kMenuShortcut));
  }

  // A copy whose icon is installed nowhere (portable, or run from its build
  // folder) puts the icon it carries into the user's icon folder and names
  // that file, so its launchers are not blank.
  void ACopyWithoutAnInstalledIconGivesItsLaunchersTheIconItCarries() {
    Home home;
    QTemporaryDir system;
    ScopedEnvironment environment;
    environment.Set("XDG_DATA_DIRS", system.path());
    ShortcutFolders folders = home.Folders();
    folders.icons = home.dir.filePath(".local/share/icons");
    const ShortcutMaker maker(folders, kTarget);
    QVERIFY(maker.CreateShortcuts(kDesktopShortcut));
    const QString icon = EntryValue(ReadText(home.Desktop()), "Icon");
    QCOMPARE(icon, home.dir.filePath(".local/share/icons/hicolor/256x256/apps/org.zorvane.Zorvanix.png"));
    QFile carried(":/icons/org.zorvane.Zorvanix-256.png");
    QVERIFY(carried.open(QIODevice::ReadOnly));
    QFile written(icon);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray png = carried.readAll();
    QVERIFY(png.startsWith("\x89PNG"));
    QCOMPARE(written.readAll(), png);
  }

  void TheUsersOwnFoldersFollowTheHome() {
    QTemporaryDir home;
    const QByteArray old_home = qgetenv("HOME");
    const QByteArray old_data = qgetenv("XDG_DATA_HOME");
    const QByteArray old_config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", home.filePath(".config").toLocal8Bit());
    const ShortcutFolders folders = ShortcutFolders::Standard();
    qputenv("HOME", old_home);
    if (old_data.isNull())
      qunsetenv("XDG_DATA_HOME");
    else
      qputenv("XDG_DATA_HOME", old_data);
    if (old_config.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", old_config);
    QVERIFY2(folders.desktop.startsWith(home.path()), qPrintable(folders.desktop));
    QCOMPARE(folders.applications, home.filePath(".local/share/applications"));
    QCOMPARE(folders.icons, home.filePath(".local/share/icons"));
  }

  // --- The shortcut page -----------------------------------------------------------

  void EveryChangeOfABoxCreatesOrRemovesItsShortcut() {
    Home home;
    ManageScene scene(ClosedPortRoot());
    scene.Window().SetShortcutFolders(home.Folders(), kTarget);
    scene.OpenWindow(QString());
    scene.OpenPage(4);
    QCheckBox* boxes[3];
    for (int kind = 0; kind < 3; ++kind) {
      boxes[kind] = scene.Find<QCheckBox>(QStringLiteral("ChkShortCut_%1").arg(kind));
      QVERIFY(!boxes[kind]->isChecked());
    }
    QCOMPARE(boxes[0]->text(), QStringLiteral("桌面快捷方式"));
    QCOMPARE(boxes[1]->text(), QStringLiteral("程序组快捷方式"));
    QCOMPARE(boxes[2]->text(), QStringLiteral("开始菜单快捷方式"));

    QVERIFY(Click(boxes[1]));
    QVERIFY(QFileInfo::exists(home.InGroup()));
    QVERIFY(!QFileInfo::exists(home.Desktop()));

    scene.Click("Command11");
    for (const QString& path : {home.Desktop(), home.InGroup(), home.Menu()}) {
      QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    }
    // A box set to the state it has runs nothing: a shortcut deleted outside
    // the program is not made again.
    QVERIFY(QFile::remove(home.Desktop()));
    scene.Click("Command11");
    QVERIFY(!QFileInfo::exists(home.Desktop()));

    QVERIFY(WriteText(home.Group() + "/notes.txt", "mine"));
    scene.Click("Command12");
    QVERIFY(!QFileInfo::exists(home.Group()));
    QVERIFY(!QFileInfo::exists(home.Menu()));
    for (QCheckBox* box : boxes) QVERIFY(!box->isChecked());
    QVERIFY(scene.Prompts().Records().isEmpty());
  }

  // The page's launchers start the program as it was started this time.
  void ThePageMakesLaunchersWithTheProgramsOptions() {
    Home home;
    ManageScene scene(ClosedPortRoot());
    scene.Ctx().Context().config.launch_arguments = {QStringLiteral("--data-dir=/srv/班级 数据"),
                                                     QStringLiteral("--service-root=http://s:1")};
    scene.Window().SetShortcutFolders(home.Folders(), kTarget);
    scene.OpenWindow(QString());
    scene.OpenPage(4);
    scene.Click("Command11");
    for (const QString& path : {home.Desktop(), home.InGroup(), home.Menu()}) {
      const QString entry = ReadText(path);
      QCOMPARE(ReadExec(EntryValue(entry, "Exec")),
               QStringList({kTarget, "--data-dir=/srv/班级 数据", "--service-root=http://s:1"}));
      QVERIFY2(!EntryValue(entry, "Icon").isEmpty(), qPrintable(path));
    }
  }

  void OpeningThePageTicksAndRewritesExistingShortcuts() {
    Home home;
    const ShortcutMaker maker(home.Folders(), kTarget);
    QVERIFY(maker.CreateShortcuts(2));
    QVERIFY(WriteText(home.Menu(), "stale"));
    ManageScene scene(ClosedPortRoot());
    scene.Window().SetShortcutFolders(home.Folders(), kTarget);
    scene.OpenWindow(QString());
    scene.OpenPage(4);
    QVERIFY(!scene.Find<QCheckBox>("ChkShortCut_0")->isChecked());
    QVERIFY(!scene.Find<QCheckBox>("ChkShortCut_1")->isChecked());
    QVERIFY(scene.Find<QCheckBox>("ChkShortCut_2")->isChecked());
    QVERIFY(ReadText(home.Menu()).startsWith("[Desktop Entry]"));
  }

  void AShortcutThatCannotBeWrittenIsReported() {
    Home home;
    QVERIFY(WriteText(home.dir.filePath("Desktop"), "a file where the folder should be"));
    ManageScene scene(ClosedPortRoot());
    scene.Window().SetShortcutFolders(home.Folders(), kTarget);
    scene.OpenWindow(QString());
    scene.OpenPage(4);
    scene.Click("Command11");
    const PromptRecord last = scene.Prompts().Last();
    QCOMPARE(last.title, QStringLiteral("错误"));
    QVERIFY2(last.text.startsWith(QStringLiteral("创建快捷方式失败！\r\n")), qPrintable(last.text));
    QCOMPARE(scene.Prompts().Records().size(), 1);
    // The box shows what is really there; the other two were made.
    QVERIFY(!scene.Find<QCheckBox>("ChkShortCut_0")->isChecked());
    QVERIFY(scene.Find<QCheckBox>("ChkShortCut_1")->isChecked());
    QVERIFY(QFileInfo::exists(home.Menu()));
  }
};

QTEST_MAIN(ShortcutsTest)
#include "shortcuts_test.moc"
