#include "manage/record_list_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "manage/page_widgets.h"

namespace zorvanix {

RecordListPage::RecordListPage(PageServices& services, const RecordListPageSetup& setup,
                               QWidget* parent)
    : ManagePage(setup.page, setup.caption, parent), services_(services), setup_(setup) {
  chooser_ = MakeChooser(this, setup.chooser, setup.chooser_placeholder);
  list_ = MakeList(this, setup.list);
  status_ = MakeStatusLabel(this, setup.status, setup.warning);
  QPushButton* select_all = MakeButton(this, setup.select_all, QStringLiteral("全选"));
  QPushButton* invert = MakeButton(this, setup.invert, QStringLiteral("反选"));
  QPushButton* remove = MakeButton(this, setup.remove, QStringLiteral("删除"));
  QPushButton* save = MakeButton(this, setup.save, QStringLiteral("保存到服务器"));

  chooser_row_ = new QHBoxLayout;
  chooser_row_->addWidget(MakeLabel(this, setup.chooser_label, setup.chooser_caption));
  chooser_row_->addWidget(chooser_, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {select_all, invert, remove, save}) buttons->addWidget(button);
  auto* left = new QVBoxLayout;
  left->addLayout(chooser_row_);
  left->addWidget(list_, 1);
  left->addLayout(buttons);
  left->addWidget(status_);
  side_column_ = new QVBoxLayout;
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(left, 1);
  columns->addLayout(side_column_, 0);

  connect(chooser_, &QComboBox::activated, this, [this] { LoadChosen(); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    // A line without an ID names nothing the service could change.
    if (!EntryField(item->text(), 0).isEmpty()) OpenEditPanel(item->text());
  });
  connect(select_all, &QPushButton::clicked, this, [this] { SelectAll(list_); });
  connect(invert, &QPushButton::clicked, this, [this] { InvertSelection(list_); });
  connect(remove, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(save, &QPushButton::clicked, this, [this] { SendDeletions(); });
}

void RecordListPage::Open() {
  RefillChooser(chooser_, ChooserItems());
  list_->clear();
}

void RecordListPage::Clear() {
  chooser_->clear();
  list_->clear();
  pending_deletions_.clear();
  status_->setText(setup_.warning);
}

QString RecordListPage::ChooserText() const { return ShownText(chooser_); }

void RecordListPage::LoadChosen() {
  const QString reply = FetchEntries(ChooserText());
  list_->clear();
  for (const QString& line : reply.split(QStringLiteral("\r\n"))) {
    if (!line.isEmpty()) list_->addItem(line);
  }
  pending_deletions_.clear();
  AfterLoad();
}

void RecordListPage::DeleteSelected() {
  if (!services_.ChangeAllowed()) return;
  pending_deletions_.clear();
  const QStringList removed = RemoveSelectedEntries(list_);
  for (const QString& entry : removed) pending_deletions_ += u'|' + EntryField(entry, 0);
  if (removed.isEmpty()) {
    status_->setText(setup_.select_to_delete);
  } else {
    SendDeletions();
    status_->setText(setup_.deleted.arg(removed.size()));
  }
  AfterDelete();
}

void RecordListPage::SendDeletions() {
  const PostResult result = PostDeletions(ChooserText(), pending_deletions_);
  services_.ReportSave(result, status_, PageServices::MainWindow::kRefresh);
}

}  // namespace zorvanix
