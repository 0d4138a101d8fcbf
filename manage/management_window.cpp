#include "manage/management_window.h"

#include "app/window_hub.h"

namespace zorvanix {

// Placeholder until the management window is built.
ManagementWindow::ManagementWindow(AppContext& context, WindowHub& hub, QWidget* parent)
    : QWidget(parent), context_(context), hub_(hub) {
  setObjectName(QStringLiteral("Dialog"));
  setWindowTitle(QStringLiteral("Velmoran管理后台"));
}

ManagementWindow::~ManagementWindow() = default;

void ManagementWindow::OpenFromMainWindow() { show(); }
void ManagementWindow::ClearForNewTeacher() {}

}  // namespace zorvanix
