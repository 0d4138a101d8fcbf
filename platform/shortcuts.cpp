#include "platform/shortcuts.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

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
// A shell link to target saved at path, as the Windows shell writes them.
bool WriteShortcutFile(const QString& path, const QString& target, QString* error) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(hr)) {
    const std::wstring native_target = QDir::toNativeSeparators(target).toStdWString();
    hr = link->SetPath(native_target.c_str());
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
bool WriteShortcutFile(const QString& path, const QString& target, QString* error) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(DesktopEntryText(target).toUtf8());
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

}  // namespace

ShortcutFolders ShortcutFolders::Standard() {
  return {QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
          QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation)};
}

ShortcutMaker::ShortcutMaker(ShortcutFolders folders, QString target)
    : folders_(std::move(folders)), target_(std::move(target)) {}

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
  return QDir(folder).filePath(QLatin1String(kShortcutFileName));
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
  return WriteShortcutFile(ShortcutPath(kind), target_, error);
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
  QString escaped;
  for (const QChar c : argument) {
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

QString DesktopEntryText(const QString& target) {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Version=1.0\n"
             "Name=Zorvanix\n"
             "Comment=课堂点名与计分\n"
             "Exec=%1\n"
             "Icon=org.zorvane.Zorvanix\n"
             "StartupWMClass=zorvanix\n"
             "Terminal=false\n"
             "Categories=Education;\n")
      .arg(DesktopExecArgument(target));
}

}  // namespace zorvanix
