// StatusBar1: the five-panel status bar of the roll-call window. Panels are
// numbered from 1; each is a label named "StatusBar1_<n>" with its own width,
// text and tooltip, and a double-click on a panel is reported with its number.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

namespace zorvanix {

class StatusPanels : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPanelCount = 5;

  explicit StatusPanels(QWidget* parent = nullptr);

  QLabel* Panel(int number) const { return panels_.at(number - 1); }
  QString Text(int number) const { return Panel(number)->text(); }
  void SetText(int number, const QString& text) { Panel(number)->setText(text); }
  void SetToolTip(int number, const QString& tip) { Panel(number)->setToolTip(tip); }
  // Width in pixels; the last panel takes what the first four leave.
  void SetWidth(int number, int pixels);
  int Width(int number) const { return widths_.at(number - 1); }

 signals:
  void PanelDoubleClicked(int number);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  std::array<QLabel*, kPanelCount> panels_{};
  std::array<int, kPanelCount> widths_{};
};

}  // namespace zorvanix
