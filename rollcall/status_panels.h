// StatusBar1: the five-panel status bar of the roll-call window. Panels are
// numbered from 1; each is a label named "StatusBar1_<n>" with its own width,
// text and tooltip. The roll-call layout puts the program's version in 1, the
// service's version in 2, the stopwatch in 4 and the vendor's site in 5; a
// double-click on 2, 4 or 5 asks for the download page, the stopwatch or the
// site.
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

  // The roll-call window's panels across width pixels.
  void SetUpRollCall(int width, const QString& version, const QString& vendor_site);
  void ShowServerVersion(const QString& text) { SetText(2, text); }
  void ShowStopwatch(const QString& text) { SetText(4, text); }

  QLabel* Panel(int number) const { return panels_.at(number - 1); }
  QString Text(int number) const { return Panel(number)->text(); }
  void SetText(int number, const QString& text) { Panel(number)->setText(text); }
  void SetToolTip(int number, const QString& tip) { Panel(number)->setToolTip(tip); }
  // Width in pixels; the last panel takes what the first four leave.
  void SetWidth(int number, int pixels);
  int Width(int number) const { return widths_.at(number - 1); }

 signals:
  void PanelDoubleClicked(int number);
  void UpdateWanted();       // panel 2
  void StopwatchToggled();   // panel 4
  void VendorSiteWanted();   // panel 5

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  std::array<QLabel*, kPanelCount> panels_{};
  std::array<int, kPanelCount> widths_{};
};

}  // namespace zorvanix
