#include "rollcall/status_panels.h"

#include <QEvent>
#include <algorithm>

#include "rollcall/form_layout.h"

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
  connect(this, &StatusPanels::PanelDoubleClicked, this, [this](int number) {
    switch (number) {
      case 2:
        emit UpdateWanted();
        break;
      case 4:
        emit StopwatchToggled();
        break;
      case 5:
        emit VendorSiteWanted();
        break;
      default:
        break;
    }
  });
}

void StatusPanels::SetUpRollCall(int width, const QString& version, const QString& vendor_site) {
  using namespace layout;
  SetWidth(1, Px(kVersionPanelWidth));
  SetText(1, version);
  SetWidth(2, Px(kServerVersionPanelWidth));
  SetText(2, QString());
  SetToolTip(2, QStringLiteral("双击可下载最新版本"));
  SetWidth(3, Px(kThirdPanelWidth));
  SetWidth(4, Px(kStopwatchPanelWidth));
  SetText(4, QStringLiteral("双击计时"));
  SetToolTip(4, QStringLiteral("计时开关"));
  int used = 0;
  for (int panel = 1; panel <= 4; ++panel) used += Width(panel);
  SetWidth(5, width - used);
  SetText(5, vendor_site);
  SetToolTip(5, QStringLiteral("双击访问官网"));
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
