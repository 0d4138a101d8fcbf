// Splitter: a bar the teacher drags to move a divider between two areas of a
// window. It moves itself while dragged and tells its host through signals, so
// the host can limit the move and resize the controls on either side.
//
// Coordinates in the signals are in the host's units: the host says how many
// of its units make one pixel (the roll-call window works in twips, 15 to a
// pixel), and every x, y and position is reported in those units.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QVariantMap>
#include <QWidget>

namespace zorvanix {

class Splitter : public QWidget {
  Q_OBJECT

 public:
  // Orientation values: a vertical bar dragged sideways moves its left edge,
  // a horizontal bar dragged up and down moves its top edge. Any other value
  // keeps the bar where it is.
  static constexpr int kHorizontalBar = 1;
  static constexpr int kVerticalBar = 2;

  explicit Splitter(QWidget* parent = nullptr);

  int Orientation() const { return orientation_; }
  // Also sets the pointer: up-down arrows for a horizontal bar, left-right
  // arrows otherwise.
  void SetOrientation(int orientation);

  QColor BackColor() const { return back_color_; }
  void SetBackColor(const QColor& color);
  QPixmap Picture() const { return picture_; }
  void SetPicture(const QPixmap& picture);
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool enabled);

  // How many host units make one pixel (1 by default).
  void SetHostUnitsPerPixel(double units) { units_per_pixel_ = units > 0 ? units : 1; }
  double HostUnitsPerPixel() const { return units_per_pixel_; }

  bool IsDragging() const { return dragging_; }

  // The saved layout of the host: "Picture", "BackColor", "Enabled" and
  // "Orientation"; a missing key takes its default (no picture, the system's
  // button face, enabled, vertical bar).
  QVariantMap SaveProperties() const;
  void LoadProperties(const QVariantMap& properties);
  static QColor DefaultBackColor();

 signals:
  // Before each move while dragging: the host may change *position (in host
  // units) or set *cancel to keep the bar where it is.
  void BeforeSplit(bool* cancel, double* position);
  // After each move while dragging.
  void Split();
  void Click();
  void DblClick();
  // Raised for every press, move and release before the bar's own handling.
  // button and shift are Qt's button and modifier flags.
  void MouseDown(int button, int shift, double x, double y);
  void MouseMove(int button, int shift, double x, double y);
  void MouseUp(int button, int shift, double x, double y);
  // BackColor or Enabled was written.
  void PropertyChanged(const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  double HostX(double pixels) const { return pixels * units_per_pixel_; }

  int orientation_ = kVerticalBar;
  QColor back_color_;
  QPixmap picture_;
  double units_per_pixel_ = 1;
  bool dragging_ = false;
  bool pressed_inside_ = false;
  double start_offset_ = 0;  // host units, inside the bar
};

}  // namespace zorvanix
