#include "rollcall/uniform_rows.h"

#include <QStyledItemDelegate>
#include <algorithm>

namespace zorvanix {
namespace {

class UniformRowDelegate : public QStyledItemDelegate {
 public:
  UniformRowDelegate(QObject* parent, std::function<int()> row_width)
      : QStyledItemDelegate(parent), row_width_(std::move(row_width)) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setWidth(std::max(size.width(), row_width_()));
    return size;
  }

 private:
  std::function<int()> row_width_;
};

}  // namespace

void UseUniformRows(QListWidget* list, std::function<int()> row_width) {
  list->setItemDelegate(new UniformRowDelegate(list, std::move(row_width)));
  list->setUniformItemSizes(true);
  // A width known only within a few pixels clips the end of a line rather
  // than replacing it with dots.
  list->setTextElideMode(Qt::ElideNone);
}

}  // namespace zorvanix
