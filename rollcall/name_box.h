// The text box of the large name (Text2). A name of 70 points is too large
// for the glyph cache, so drawing it afresh costs far more than a roll step
// may; while the teacher is not typing in it, the box shows each name from a
// picture drawn once per name, size and colour.
#pragma once

#include <QCache>
#include <QLineEdit>
#include <QPixmap>

namespace zorvanix {

class NameBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit NameBox(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const QPixmap& PictureOfText();

  QCache<QString, QPixmap> pictures_;  // cost in kilobytes
};

}  // namespace zorvanix
