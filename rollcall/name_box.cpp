#include "rollcall/name_box.h"

#include <QFontMetrics>
#include <QPainter>

namespace zorvanix {
namespace {

// A class's names at the largest size fit several times over.
constexpr int kPictureCacheKilobytes = 32 * 1024;

}  // namespace

NameBox::NameBox(QWidget* parent) : QLineEdit(parent), pictures_(kPictureCacheKilobytes) {
  // Both ways of drawing cover the whole box: what lies below is not drawn.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void NameBox::paintEvent(QPaintEvent* event) {
  // Typing shows the caret and the selection: the box draws itself then.
  if (hasFocus() || text().isEmpty()) {
    QLineEdit::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  const QPixmap& picture = PictureOfText();
  const QSizeF size = picture.deviceIndependentSize();
  const QPointF corner((width() - size.width()) / 2, (height() - size.height()) / 2);
  painter.drawPixmap(corner, picture);
}

const QPixmap& NameBox::PictureOfText() {
  const QColor color = palette().color(QPalette::Text);
  const qreal ratio = devicePixelRatioF();
  const QString key = text() + u'\x1f' + font().key() + u'\x1f' + color.name(QColor::HexArgb) +
                      u'\x1f' + QString::number(ratio);
  if (const QPixmap* cached = pictures_.object(key)) return *cached;
  const QFontMetrics metrics(font());
  const QSize size(std::max(1, metrics.horizontalAdvance(text())), metrics.height());
  auto* picture = new QPixmap(size * ratio);
  picture->setDevicePixelRatio(ratio);
  picture->fill(Qt::transparent);
  {
    QPainter painter(picture);
    painter.setFont(font());
    painter.setPen(color);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignVCenter, text());
  }
  const int kilobytes = std::max(1, picture->width() * picture->height() * 4 / 1024);
  pictures_.insert(key, picture, kilobytes);
  return *pictures_.object(key);
}

}  // namespace zorvanix
