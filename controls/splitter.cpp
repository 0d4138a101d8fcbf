#include "controls/splitter.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace zorvanix {
namespace {

int ShiftOf(const QMouseEvent* event) { return static_cast<int>(event->modifiers()); }
int ButtonsOf(const QMouseEvent* event) { return static_cast<int>(event->buttons()); }

}  // namespace

Splitter::Splitter(QWidget* parent) : QWidget(parent), back_color_(DefaultBackColor()) {
  setMouseTracking(true);  // the host hears of every move, as with any control
  SetOrientation(kVerticalBar);
}

QColor Splitter::DefaultBackColor() { return QPalette().color(QPalette::Button); }

void Splitter::SetOrientation(int orientation) {
  orientation_ = orientation;
  setCursor(orientation == kHorizontalBar ? Qt::SizeVerCursor : Qt::SizeHorCursor);
}

void Splitter::SetBackColor(const QColor& color) {
  back_color_ = color;
  update();
  emit PropertyChanged(QStringLiteral("BackColor"));
}

void Splitter::SetPicture(const QPixmap& picture) {
  picture_ = picture;
  update();
}

void Splitter::SetEnabled(bool enabled) {
  setEnabled(enabled);
  emit PropertyChanged(QStringLiteral("Enabled"));
}

QVariantMap Splitter::SaveProperties() const {
  return {{QStringLiteral("Picture"), picture_},
          {QStringLiteral("BackColor"), back_color_},
          {QStringLiteral("Enabled"), isEnabled()},
          {QStringLiteral("Orientation"), orientation_}};
}

void Splitter::LoadProperties(const QVariantMap& properties) {
  picture_ = properties.value(QStringLiteral("Picture")).value<QPixmap>();
  back_color_ = properties.value(QStringLiteral("BackColor"), DefaultBackColor()).value<QColor>();
  setEnabled(properties.value(QStringLiteral("Enabled"), true).toBool());
  SetOrientation(properties.value(QStringLiteral("Orientation"), kVerticalBar).toInt());
  update();
}

void Splitter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), back_color_);
  if (!picture_.isNull()) painter.drawPixmap(0, 0, picture_);
}

void Splitter::mousePressEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseDown(static_cast<int>(event->button()), ShiftOf(event), HostX(at.x()), HostX(at.y()));
  if (event->button() != Qt::LeftButton) return;
  pressed_inside_ = true;
  start_offset_ = orientation_ == kHorizontalBar ? HostX(at.y()) : HostX(at.x());
  dragging_ = true;
}

void Splitter::mouseMoveEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseMove(ButtonsOf(event), ShiftOf(event), HostX(at.x()), HostX(at.y()));
  if (!dragging_) return;
  if (orientation_ != kVerticalBar && orientation_ != kHorizontalBar) return;
  const bool vertical = orientation_ == kVerticalBar;
  const double edge = HostX(vertical ? x() : y());
  double position = edge + (vertical ? HostX(at.x()) : HostX(at.y())) - start_offset_;
  bool cancel = false;
  emit BeforeSplit(&cancel, &position);
  if (cancel) return;
  const int pixels = static_cast<int>(std::lround(position / units_per_pixel_));
  if (vertical) {
    move(pixels, y());
  } else {
    move(x(), pixels);
  }
  emit Split();
}

void Splitter::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF at = event->position();
  emit MouseUp(static_cast<int>(event->button()), ShiftOf(event), HostX(at.x()), HostX(at.y()));
  dragging_ = false;
  const bool click = pressed_inside_ && event->button() == Qt::LeftButton;
  pressed_inside_ = false;
  if (click) emit Click();
}

void Splitter::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  if (event->button() == Qt::LeftButton) emit DblClick();
}

}  // namespace zorvanix
