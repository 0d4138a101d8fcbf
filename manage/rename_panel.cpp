#include "manage/rename_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "manage/page_widgets.h"

namespace zorvanix {

RenamePanel::RenamePanel(QWidget* parent, const RenamePanelNames& names, const QString& caption)
    : QGroupBox(caption, parent) {
  setObjectName(QLatin1String(names.panel));
  old_name_ = MakeLineEdit(this, names.old_name);
  old_name_->setReadOnly(true);
  new_name_ = MakeLineEdit(this, names.new_name);
  change_ = MakeButton(this, names.change, QStringLiteral("修改"));
  QPushButton* cancel = MakeButton(this, names.cancel, QStringLiteral("取消"));
  connect(cancel, &QPushButton::clicked, this, &QWidget::hide);

  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("原名："), old_name_);
  form->addRow(QStringLiteral("新名："), new_name_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(change_);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  hide();
}

void RenamePanel::Open(const QString& name) {
  old_name_->setText(name);
  new_name_->setText(name);
  show();
  new_name_->setFocus();
}

QString RenamePanel::OldName() const { return old_name_->text(); }
QString RenamePanel::NewName() const { return new_name_->text(); }

}  // namespace zorvanix
