// One page of the management window (Frame_manage): filled when its button is
// clicked, emptied when another teacher signs in.
#pragma once

#include <QGroupBox>

namespace zorvanix {

class ManagePage : public QGroupBox {
 public:
  ManagePage(const char* name, const QString& caption, QWidget* parent)
      : QGroupBox(caption, parent) {
    setObjectName(QLatin1String(name));
  }

  // The page button (Cmd_manage): the page's lists read again.
  virtual void Open() = 0;
  // Nothing of the previous teacher stays in view.
  virtual void Clear() = 0;
};

}  // namespace zorvanix
