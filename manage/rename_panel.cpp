#include "manage/rename_panel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "manage/page_widgets.h"

namespace zorvanix {

RenamePanel::RenamePanel(QWidget* parent, const RenamePanelNames& names, const QString& caption) {
  old_name_ = MakeLineEdit(parent, names.old_name);
  old_name_->setReadOnly(true);
  new_name_ = MakeLineEdit(parent, names.new_name);
  const EditPanel panel =
      MakeEditPanel(parent, names.panel, caption,
                    {{QStringLiteral("原名："), old_name_}, {QStringLiteral("新名："), new_name_}},
                    names.change, names.cancel);
  frame_ = panel.frame;
  change_ = panel.change;
}

void RenamePanel::Open(const QString& name) {
  old_name_->setText(name);
  new_name_->setText(name);
  frame_->show();
  new_name_->setFocus();
}

QString RenamePanel::OldName() const { return old_name_->text(); }
QString RenamePanel::NewName() const { return new_name_->text(); }

}  // namespace zorvanix
