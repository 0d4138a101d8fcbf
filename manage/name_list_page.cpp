#include "manage/name_list_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manage/page_widgets.h"

namespace zorvanix {

NameListPage::NameListPage(PageServices& services, const NameListPageSetup& setup, QWidget* parent)
    : ManagePage(setup.page, setup.caption, parent), services_(services), setup_(setup) {
  list_ = MakeList(this, setup.list);
  name_box_ = MakeNameBox(this, setup.box);
  status_ = MakeStatusLabel(this, setup.status, setup.warning);
  rename_ = std::make_unique<RenamePanel>(this, setup.rename, setup.rename_caption);
  QPushButton* add = MakeButton(this, setup.add, QStringLiteral("添加"));
  QPushButton* remove = MakeButton(this, setup.remove, QStringLiteral("删除"));
  QPushButton* save = MakeButton(this, setup.save, QStringLiteral("保存到服务器"));

  connect(add, &QPushButton::clicked, this, [this] { AddTypedNames(); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  connect(list_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { rename_->Open(item->text()); });
  connect(rename_->ChangeButton(), &QPushButton::clicked, this, [this] { SendRename(); });

  left_column_ = new QVBoxLayout;
  left_column_->addWidget(list_, 1);
  list_buttons_ = new QHBoxLayout;
  list_buttons_->addStretch(1);
  list_buttons_->addWidget(remove);
  list_buttons_->addWidget(save);
  left_column_->addLayout(list_buttons_);
  left_column_->addWidget(status_);

  auto* right_column = new QVBoxLayout;
  QLabel* box_label = MakeLabel(this, setup.box_label, setup.box_caption);
  box_label->setWordWrap(true);
  right_column->addWidget(box_label);
  right_column->addWidget(name_box_, 1);
  add_buttons_ = new QHBoxLayout;
  add_buttons_->addStretch(1);
  add_buttons_->addWidget(add);
  right_column->addLayout(add_buttons_);
  right_column->addWidget(rename_->Frame());

  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left_column_, 3);
  columns->addLayout(right_column, 2);
}

void NameListPage::Clear() {
  list_->clear();
  name_box_->clear();
  rename_->Hide();
  status_->setText(setup_.warning);
}

void NameListPage::FillList(const QStringList& names) {
  list_->clear();
  list_->addItems(names);
}

void NameListPage::AddTypedNames() {
  if (!services_.ChangeAllowed() || !ReadyToChange()) return;
  const NameAddition addition = NewNames(name_box_->toPlainText(), ListEntries(list_));
  list_->addItems(addition.added);
  status_->clear();
  QString caption;
  if (addition.added.isEmpty()) {
    caption = setup_.nothing_to_add;
  } else {
    Save();
    name_box_->clear();
    caption = setup_.added.arg(addition.added.size());
  }
  if (addition.present > 0) caption += setup_.present.arg(addition.present);
  status_->setText(caption);
  AfterListChange();
}

void NameListPage::DeleteSelected() {
  if (!services_.ChangeAllowed() || !ReadyToChange()) return;
  const qsizetype removed = RemoveSelectedEntries(list_).size();
  if (removed == 0) {
    if (SaveWhenNothingDeleted()) Save();
    status_->setText(setup_.select_to_delete);
  } else {
    Save();
    if (!setup_.deleted.isEmpty()) status_->setText(setup_.deleted.arg(removed));
  }
  AfterListChange();
}

bool NameListPage::Save() {
  if (!ReadyToChange()) return false;
  return services_.ReportSave(PostList(ListEntries(list_)), status_, MainWindowAfterSave());
}

void NameListPage::SendRename() {
  if (!RenameReady()) return;
  const PostResult result = PostRename(rename_->OldName(), rename_->NewName());
  if (!services_.CheckEdit(result, status_)) return;
  services_.DownloadServerRecord();
  services_.RefreshMainWindow();
  ReloadAfterRename();
  services_.ShowSuccess();
  rename_->Hide();
}

}  // namespace zorvanix
