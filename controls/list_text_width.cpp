#include "controls/list_text_width.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <algorithm>

namespace zorvanix {

int ListTextWidth(const QListWidget& list) {
  const QFontMetrics metrics(list.font());
  int result = 0;
  for (int row = 0; row < list.count(); ++row) {
    // Measured as one line, the way the entry is drawn: a TAB advances like
    // the spaces it is shown as.
    const int width = metrics.horizontalAdvance(list.item(row)->text());
    result = std::max(result, width + 8);
  }
  return result;
}

int ListTextWidth(const QListWidget* list) { return list ? ListTextWidth(*list) : 0; }

ExtentListWidget::ExtentListWidget(QWidget* parent) : QListWidget(parent) {
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

void ExtentListWidget::SetHorizontalExtent(int pixels) {
  horizontal_extent_ = std::max(0, pixels);
  updateGeometries();
}

void ExtentListWidget::updateGeometries() {
  QListWidget::updateGeometries();
  if (horizontal_extent_ <= 0) return;
  QScrollBar* bar = horizontalScrollBar();
  const int page = viewport()->width();
  bar->setPageStep(page);
  bar->setRange(0, std::max(0, horizontal_extent_ - page));
}

}  // namespace zorvanix
