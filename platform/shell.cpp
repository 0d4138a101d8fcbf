#include "platform/shell.h"

#include <QDesktopServices>

namespace zorvanix {

bool DesktopShell::OpenUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace zorvanix
