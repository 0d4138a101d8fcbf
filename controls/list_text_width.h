// Measuring list entries, and a list box that scrolls sideways as far as its
// owner says: windows size the horizontal scroll range of their lists to the
// widest entry plus a margin of their own.
#pragma once

#include <QListWidget>

namespace zorvanix {

// The width in pixels of the widest entry of the list, measured in the list's
// font, plus 8; 0 for an empty list.
int ListTextWidth(const QListWidget& list);
// The same for a list held by pointer; 0 for no list at all.
int ListTextWidth(const QListWidget* list);

// A list box whose horizontal scroll range is set by its owner, in pixels: the
// bar lets the view scroll until that many pixels of content have been shown.
class ExtentListWidget : public QListWidget {
  Q_OBJECT

 public:
  explicit ExtentListWidget(QWidget* parent = nullptr);

  int HorizontalExtent() const { return horizontal_extent_; }
  void SetHorizontalExtent(int pixels);

 protected:
  void updateGeometries() override;

 private:
  int horizontal_extent_ = 0;
};

}  // namespace zorvanix
