// The program's three shortcuts: on the desktop, in a "Quenfield" program
// group of the applications menu, and directly in the applications menu. On
// Linux each is a freedesktop launcher "Zorvane.desktop"; on Windows a shell
// link "Zorvane.lnk".
#pragma once

#include <QString>

namespace zorvanix {

inline constexpr char kProgramGroupName[] = "Quenfield";
#ifdef Q_OS_WIN
inline constexpr char kShortcutFileName[] = "Zorvane.lnk";
#else
inline constexpr char kShortcutFileName[] = "Zorvane.desktop";
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

  // The folders of the user running the program.
  static ShortcutFolders Standard();
};

class ShortcutMaker {
 public:
  // target: the program the shortcuts start (the running executable).
  ShortcutMaker(ShortcutFolders folders, QString target);

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

 private:
  QString FolderOf(int kind) const;

  ShortcutFolders folders_;
  QString target_;
};

// The launcher text for target: a desktop entry whose Exec line starts it.
QString DesktopEntryText(const QString& target);
// target as one argument of a desktop entry's Exec value, quoted and escaped
// so that blanks, quotes, backslashes and "%" in the path survive.
QString DesktopExecArgument(const QString& target);

}  // namespace zorvanix
