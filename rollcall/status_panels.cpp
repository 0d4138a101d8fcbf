#include "rollcall/status_panels.h"

#include <QEvent>
#include <algorithm>

namespace zorvanix {

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("StatusBar1"));
  for (int i = 0; i < kPanelCount; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QStringLiteral("StatusBar1_%1").arg(i + 1));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setIndent(3);
    panel->installEventFilter(this);
    panels_[i] = panel;
  }
}

void StatusPanels::SetWidth(int number, int pixels) {
  widths_.at(number - 1) = std::max(0, pixels);
  LayOut();
}

bool StatusPanels::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (int i = 0; i < kPanelCount; ++i) {
      if (watched == panels_[i]) {
        emit PanelDoubleClicked(i + 1);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

void StatusPanels::resizeEvent(QResizeEvent*) { LayOut(); }

void StatusPanels::LayOut() {
  int x = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    panels_[i]->setGeometry(x, 0, widths_[i], height());
    x += widths_[i];
  }
}

}  // namespace zorvanix
