#include "manage/name_list_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "manage/page_widgets.h"
#include "platform/prompter.h"

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
  loaded_.clear();
  name_box_->clear();
  rename_->Hide();
  status_->setText(setup_.warning);
}

void NameListPage::FillList(const QStringList& names) {
  list_->clear();
  list_->addItems(names);
  loaded_ = names;
}

void NameListPage::AddTypedNames() {
  if (!services_.ChangeAllowed() || !ReadyToChange()) return;
  for (const QString& line : name_box_->toPlainText().split(u'\n')) {
    const QString problem = TypedTextProblem(QString(line).remove(u' ').remove(u'\r'));
    if (problem.isEmpty()) continue;
    status_->setText(problem);
    services_.Prompts().ShowMessage(QStringLiteral("提示"), problem, MessageIcon::kWarning);
    return;
  }
  const NameAddition addition = NewNames(name_box_->toPlainText(), ListEntries(list_));
  list_->addItems(addition.added);
  status_->clear();
  QString caption;
  if (addition.added.isEmpty()) {
    caption = setup_.nothing_to_add;
  } else if (Save()) {
    name_box_->clear();
    caption = setup_.added.arg(addition.added.size());
  } else {
    // The status line keeps the outcome of the save that did not happen.
    AfterListChange();
    return;
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
  } else if (Save() && !setup_.deleted.isEmpty()) {
    status_->setText(setup_.deleted.arg(removed));
  }
  AfterListChange();
}

bool NameListPage::Save() {
  if (!ReadyToChange()) return false;
  const QStringList to_send = ListEntries(list_);
  if (!ServiceListUnchanged() || !RemovalConfirmed(to_send)) return false;
  if (!services_.ReportSave(PostList(to_send), status_, MainWindowAfterSave())) return false;
  loaded_ = to_send;
  return true;
}

bool NameListPage::ServiceListUnchanged() {
  if (!services_.DownloadServerRecord()) {
    services_.ShowNetworkError(status_);
    return false;
  }
  const QStringList current = CachedList();
  if (current == loaded_) return true;
  QStringList added;
  QStringList removed;
  for (const QString& name : current)
    if (!loaded_.contains(name)) added.append(name);
  for (const QString& name : std::as_const(loaded_))
    if (!current.contains(name)) removed.append(name);
  QStringList changes;
  if (!added.isEmpty()) changes.append(QStringLiteral("添加了：") + added.join(u'、'));
  if (!removed.isEmpty()) changes.append(QStringLiteral("删除了：") + removed.join(u'、'));
  if (changes.isEmpty()) changes.append(QStringLiteral("改变了顺序"));
  const QString text = QStringLiteral("服务器上的列表已在别处被修改（%1），本次修改没有保存。"
                                      "页面已重新载入，请重新操作！")
                           .arg(changes.join(QStringLiteral("；")));
  FillList(current);
  status_->setText(text);
  services_.Prompts().ShowMessage(QStringLiteral("提示"), text, MessageIcon::kWarning);
  return false;
}

bool NameListPage::RemovalConfirmed(const QStringList& to_send) {
  QStringList removed;
  for (const QString& name : std::as_const(loaded_))
    if (!to_send.contains(name)) removed.append(name);
  if (removed.isEmpty()) return true;
  const QString question = RemovalQuestion(removed);
  if (question.isEmpty()) return true;
  if (services_.Prompts().AskYesNoDefaultNo(QStringLiteral("确认删除"), question,
                                            MessageIcon::kQuestion)) {
    return true;
  }
  FillList(loaded_);
  status_->setText(QStringLiteral("没有删除，服务器上的数据未改变。"));
  return false;
}

void NameListPage::SendRename() {
  if (!RenameReady()) return;
  if (const QString problem = TypedTextProblem(rename_->NewName()); !problem.isEmpty()) {
    services_.Prompts().ShowMessage(QStringLiteral("提示"), problem, MessageIcon::kWarning);
    return;
  }
  const PostResult result = PostRename(rename_->OldName(), rename_->NewName());
  if (!services_.CheckEdit(result, status_)) return;
  services_.DownloadServerRecord();
  services_.RefreshMainWindow();
  ReloadAfterRename();
  services_.ShowSuccess();
  rename_->Hide();
}

}  // namespace zorvanix
