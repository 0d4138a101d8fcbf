// The program's three shortcuts: on the desktop, in a "Quenfield" program
// group of the applications menu, and directly in the applications menu. On
// Windows each is a shell link "Zorvane.lnk". On Linux each is a freedesktop
// launcher; the one directly in the menu carries the program's own id
// (org.zorvane.Zorvanix.desktop), so it stands in for an installed entry of
// that id instead of showing beside it, and it is the entry the desktop
// matches the program's windows to. Every launcher starts the program with
// the options it was started with and shows its icon.
#pragma once

#include <QString>
#include <QStringList>

namespace zorvanix {

inline constexpr char kProgramGroupName[] = "Quenfield";
// The id of the installed menu entry and icon.
inline constexpr char kDesktopAppId[] = "org.zorvane.Zorvanix";
#ifdef Q_OS_WIN
inline constexpr char kShortcutFileName[] = "Zorvane.lnk";
inline constexpr char kMenuShortcutFileName[] = "Zorvane.lnk";
#else
inline constexpr char kShortcutFileName[] = "Zorvane.desktop";
inline constexpr char kMenuShortcutFileName[] = "org.zorvane.Zorvanix.desktop";
#endif

// The kinds, by the index of their check box on the shortcut page.
inline constexpr int kDesktopShortcut = 0;
inline constexpr int kProgramGroupShortcut = 1;
inline constexpr int kMenuShortcut = 2;
inline constexpr int kShortcutKinds = 3;

// The per-user folders the shortcuts go into.
struct ShortcutFolders {
  QString desktop;       // the user's desktop
  QString applications;  // the applications menu (Start-menu Programs on Windows)
  // The user's icon folder ($XDG_DATA_HOME/icons): where the program puts its
  // icon for launchers when no installed copy of the icon exists. Empty:
  // launchers name the icon by the program's id only.
  QString icons;

  // The folders of the user running the program.
  static ShortcutFolders Standard();
};

class ShortcutMaker {
 public:
  // target: the program the shortcuts start (the running executable);
  // arguments: the options it was started with, which the shortcuts repeat.
  ShortcutMaker(ShortcutFolders folders, QString target, QStringList arguments = {});

  // The shortcut file of a kind; "" for any other index or a folder that is
  // not known.
  QString ShortcutPath(int kind) const;
  bool ShortcutExists(int kind) const;

  // Creates or overwrites the shortcut of that kind (the program group's
  // folder and a missing menu folder are made first). Other indexes do
  // nothing. False with the reason in *error when a folder or the file cannot
  // be written.
  bool CreateShortcuts(int kind, QString* error = nullptr) const;
  // Removes the shortcut of that kind; for the program group the whole folder
  // goes, with anything else in it. A shortcut that is not there is no error.
  bool RemoveShortcuts(int kind, QString* error = nullptr) const;

  const QString& Target() const { return target_; }
  const QStringList& Arguments() const { return arguments_; }

  // The launchers' Icon value: the program's id when its icon is installed
  // in a system data folder ($XDG_DATA_DIRS); otherwise the icon the program
  // carries, written into the user's icon folder, by its full path (the id
  // when even that cannot be written).
  QString LauncherIcon() const;

 private:
  QString FolderOf(int kind) const;

  ShortcutFolders folders_;
  QString target_;
  QStringList arguments_;
};

// The launcher text: a desktop entry whose Exec line starts target with
// arguments, each quoted by DesktopExecArgument, and that shows icon.
QString DesktopEntryText(const QString& target, const QStringList& arguments = {},
                         const QString& icon = QLatin1String(kDesktopAppId));
// One argument of a desktop entry's Exec value (the program or an option),
// quoted and escaped argument of a desktop entry's Exec value, quoted and escaped
// so that blanks, quotes, backslashes and "%" in the path survive.
QString DesktopExecArgument(const QString& target);

}  // namespace zorvanix
