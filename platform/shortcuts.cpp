#include "platform/shortcuts.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <QRegularExpression>
#endif

#ifdef Q_OS_WIN
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#ifdef _MSC_VER
#pragma comment(lib, "ole32.lib")
#pragma comment(lib, "uuid.lib")
#endif
#endif

namespace zorvanix {
namespace {

void SetError(QString* error, const QString& reason) {
  if (error) *error = reason;
}

bool MakeFolder(const QString& folder, QString* error) {
  if (QDir().mkpath(folder)) return true;
  SetError(error, QStringLiteral("无法创建文件夹：%1").arg(QDir::toNativeSeparators(folder)));
  return false;
}

#ifdef Q_OS_WIN
// Arguments joined as the Windows C runtime splits them again: quoted when
// they hold blanks or quotes, inner quotes and the backslashes before them
// doubled.
QString WindowsCommandLine(const QStringList& arguments) {
  QStringList quoted;
  for (const QString& argument : arguments) {
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[ \t\"]")))) {
      quoted << argument;
      continue;
    }
    QString text = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      text += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
      backslashes = 0;
      text += c;
    }
    text += QString(backslashes * 2, u'\\') + u'"';
    quoted << text;
  }
  return quoted.join(u' ');
}

// A shell link to target saved at path, as the Windows shell writes them.
bool WriteShortcutFile(const QString& path, const QString& target, const QStringList& arguments,
                       const QString& icon, QString* error) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(hr)) {
    const std::wstring native_target = QDir::toNativeSeparators(target).toStdWString();
    hr = link->SetPath(native_target.c_str());
    if (SUCCEEDED(hr) && !arguments.isEmpty()) {
      const std::wstring native_arguments = WindowsCommandLine(arguments).toStdWString();
      hr = link->SetArguments(native_arguments.c_str());
    }
    if (SUCCEEDED(hr)) {
      const std::wstring native_icon = QDir::toNativeSeparators(icon).toStdWString();
      hr = link->SetIconLocation(native_icon.c_str(), 0);
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
      const std::wstring native_path = QDir::toNativeSeparators(path).toStdWString();
      hr = file->Save(native_path.c_str(), TRUE);
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(init)) CoUninitialize();
  if (SUCCEEDED(hr)) return true;
  SetError(error, QStringLiteral("无法写入快捷方式：%1（0x%2）")
                      .arg(QDir::toNativeSeparators(path))
                      .arg(static_cast<quint32>(hr), 8, 16, QLatin1Char('0')));
  return false;
}
#else
// A launcher file, replaced whole; launchers on the desktop must be
// executable before a desktop will start them.
bool WriteShortcutFile(const QString& path, const QString& target, const QStringList& arguments,
                       const QString& icon, QString* error) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(DesktopEntryText(target, arguments, icon).toUtf8());
    if (file.commit()) {
      QFile::setPermissions(
          path, QFile::permissions(path) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
      return true;
    }
  }
  SetError(error, QStringLiteral("无法写入快捷方式：%1（%2）")
                      .arg(QDir::toNativeSeparators(path), file.errorString()));
  return false;
}
#endif

bool IsReservedInExec(QChar c) {
  static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  return kReserved.contains(c);
}

// A desktop entry's string escapes, which apply before anything else reads a
// value.
QString EscapeDesktopString(const QString& value) {
  QString escaped;
  for (const QChar c : value) {
    switch (c.unicode()) {
      case u'\\':
        escaped += QStringLiteral("\\\\");
        break;
      case u'\n':
        escaped += QStringLiteral("\\n");
        break;
      case u'\t':
        escaped += QStringLiteral("\\t");
        break;
      case u'\r':
        escaped += QStringLiteral("\\r");
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// The icon as installed beside the menu entry (hicolor), in a data folder of
// the system rather than the user's own.
bool IconInstalledForEveryone() {
  const QString writable = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    if (folder == writable) continue;
    const QDir icons(QDir(folder).filePath(QStringLiteral("icons/hicolor")));
    if (QFileInfo::exists(icons.filePath(QStringLiteral("scalable/apps/%1.svg").arg(kDesktopAppId))) ||
        QFileInfo::exists(icons.filePath(QStringLiteral("256x256/apps/%1.png").arg(kDesktopAppId))))
      return true;
  }
  return false;
}

}  // namespace

ShortcutFolders ShortcutFolders::Standard() {
  return {QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
          QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation),
          QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
              .filePath(QStringLiteral("icons"))};
}

ShortcutMaker::ShortcutMaker(ShortcutFolders folders, QString target, QStringList arguments)
    : folders_(std::move(folders)), target_(std::move(target)), arguments_(std::move(arguments)) {}

QString ShortcutMaker::LauncherIcon() const {
  const QString by_id = QLatin1String(kDesktopAppId);
#ifdef Q_OS_WIN
  return target_;  // the executable carries its icon
#else
  if (IconInstalledForEveryone() || folders_.icons.isEmpty()) return by_id;
  const QString folder = QDir(folders_.icons).filePath(QStringLiteral("hicolor/256x256/apps"));
  const QString path = QDir(folder).filePath(by_id + QStringLiteral(".png"));
  QFile carried(QStringLiteral(":/icons/%1-256.png").arg(kDesktopAppId));
  if (!QDir().mkpath(folder) || !carried.open(QIODevice::ReadOnly)) return by_id;
  const QByteArray png = carried.readAll();
  QFile existing(path);
  if (existing.open(QIODevice::ReadOnly) && existing.readAll() == png) return path;
  existing.close();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
    return by_id;
  return path;
#endif
}

QString ShortcutMaker::FolderOf(int kind) const {
  switch (kind) {
    case kDesktopShortcut:
      return folders_.desktop;
    case kProgramGroupShortcut:
      if (folders_.applications.isEmpty()) return QString();
      return QDir(folders_.applications).filePath(QLatin1String(kProgramGroupName));
    case kMenuShortcut:
      return folders_.applications;
    default:
      return QString();
  }
}

QString ShortcutMaker::ShortcutPath(int kind) const {
  const QString folder = FolderOf(kind);
  if (folder.isEmpty()) return QString();
  return QDir(folder).filePath(
      QLatin1String(kind == kMenuShortcut ? kMenuShortcutFileName : kShortcutFileName));
}

bool ShortcutMaker::ShortcutExists(int kind) const {
  const QString path = ShortcutPath(kind);
  return !path.isEmpty() && QFileInfo(path).isFile();
}

bool ShortcutMaker::CreateShortcuts(int kind, QString* error) const {
  if (kind < 0 || kind >= kShortcutKinds) return true;
  const QString folder = FolderOf(kind);
  if (folder.isEmpty()) {
    SetError(error, QStringLiteral("找不到放置快捷方式的文件夹。"));
    return false;
  }
  if (!MakeFolder(folder, error)) return false;
  return WriteShortcutFile(ShortcutPath(kind), target_, arguments_, LauncherIcon(), error);
}

bool ShortcutMaker::RemoveShortcuts(int kind, QString* error) const {
  if (kind < 0 || kind >= kShortcutKinds) return true;
  if (kind == kProgramGroupShortcut) {
    const QString folder = FolderOf(kind);
    if (folder.isEmpty() || !QFileInfo::exists(folder)) return true;
    if (QDir(folder).removeRecursively()) return true;
    SetError(error, QStringLiteral("无法删除文件夹：%1").arg(QDir::toNativeSeparators(folder)));
    return false;
  }
  const QString path = ShortcutPath(kind);
  if (path.isEmpty() || !QFileInfo::exists(path)) return true;
  if (QFile::remove(path)) return true;
  SetError(error, QStringLiteral("无法删除快捷方式：%1").arg(QDir::toNativeSeparators(path)));
  return false;
}

QString DesktopExecArgument(const QString& target) {
  QString argument;
  bool quote = target.isEmpty();
  for (const QChar c : target) {
    if (!IsReservedInExec(c)) {
      argument += c;
      continue;
    }
    quote = true;
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') argument += u'\\';
    argument += c;
  }
  if (quote) argument = u'"' + argument + u'"';
  argument.replace(u'%', QStringLiteral("%%"));
  // The file's own string escapes apply before the quoting above is read.
  return EscapeDesktopString(argument);
}

QString DesktopEntryText(const QString& target, const QStringList& arguments, const QString& icon) {
  QStringList exec{DesktopExecArgument(target)};
  for (const QString& argument : arguments) exec << DesktopExecArgument(argument);
  // The same names as the installed entry, which this one may stand in for.
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Version=1.0\n"
             "Name=Zorvanix\n"
             "Name[zh_CN]=Zorvanix 课堂点名\n"
             "GenericName=Classroom roll call and scoring\n"
             "GenericName[zh_CN]=课堂点名与评分\n"
             "Comment=Call on students at random and score their answers\n"
             "Comment[zh_CN]=随机点名并为学生的回答评分\n"
             "Exec=%1\n"
             "Icon=%2\n"
             "StartupWMClass=zorvanix\n"
             "Terminal=false\n"
             "Categories=Education;Qt;\n")
      .arg(exec.join(u' '), EscapeDesktopString(icon));
}

}  // namespace zorvanix
