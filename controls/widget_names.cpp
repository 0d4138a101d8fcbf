#include "controls/widget_names.h"

namespace zorvanix {

QPushButton* NamedButton(const QString& name, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), name);
}

}  // namespace zorvanix
