// The rename panel of the classes, students and topics pages: the current
// name, the new name, "修改" and "取消". Hidden until an entry is
// double-clicked.
#pragma once

#include <QGroupBox>

class QLineEdit;
class QPushButton;

namespace zorvanix {

struct RenamePanelNames {
  const char* panel;
  const char* old_name;
  const char* new_name;
  const char* change;
  const char* cancel;
};

class RenamePanel {
 public:
  RenamePanel(QWidget* parent, const RenamePanelNames& names, const QString& caption);

  QGroupBox* Frame() const { return frame_; }
  void Hide() { frame_->hide(); }

  // Both boxes take the double-clicked name; the panel is shown.
  void Open(const QString& name);
  QString OldName() const;
  QString NewName() const;
  QPushButton* ChangeButton() const { return change_; }

 private:
  QGroupBox* frame_;
  QLineEdit* old_name_;
  QLineEdit* new_name_;
  QPushButton* change_;
};

}  // namespace zorvanix
