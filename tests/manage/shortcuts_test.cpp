// The three shortcuts in a temporary home, made by the shortcut maker and by
// the check boxes of the shortcut page.
#include "platform/shortcuts.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/manage/manage_scene.h"

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
    return dir.filePath(QStringLiteral(".local/share/applications/Zorvane.desktop"));
  }
};

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

    boxes[1]->click();
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
