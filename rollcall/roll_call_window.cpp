#include "rollcall/roll_call_window.h"

#include "app/window_hub.h"

namespace zorvanix {

// Placeholder until the roll-call window is built: a named, empty window.
RollCallWindow::RollCallWindow(AppContext& context, WindowHub& hub, QWidget* parent)
    : QWidget(parent), context_(context), hub_(hub) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zorvanix"));
}

RollCallWindow::~RollCallWindow() = default;

void RollCallWindow::RefreshMainWindowFromCache(const QString&) {}
void RollCallWindow::ShowTopicCriteria() {}
void RollCallWindow::EnableManageButton() {}
QString RollCallWindow::OperationPassword() const { return QString(); }

}  // namespace zorvanix
