#include "rollcall/upload_panel.h"

#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QItemSelection>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <vector>

#include "controls/widget_names.h"
#include "rollcall/uniform_rows.h"

namespace zorvanix {
namespace {

// Pending lines are wider than the list: it scrolls this far past the widest.
constexpr int kPendingScrollMargin = 150;
// Lines measured exactly when many are added at once.
constexpr int kMeasuredLines = 64;

// Columns a line takes in a list: wide characters two, a TAB eight.
int EstimatedColumns(const QString& line) {
  int columns = 0;
  for (const QChar c : line) columns += c == u'\t' ? 8 : c.unicode() >= 0x2E80 ? 2 : 1;
  return columns;
}

// The width ListTextWidth gives a list of these lines. Measuring thousands
// of lines of Chinese text costs a tenth of a second, so only the lines that
// are longest by their columns are measured; lines of the same columns
// differ by a few pixels, well inside the list's scroll margin.
int WidestLineWidth(const QFontMetrics& metrics, const QStringList& lines) {
  std::vector<std::pair<int, qsizetype>> by_columns;
  by_columns.reserve(lines.size());
  for (qsizetype i = 0; i < lines.size(); ++i) {
    by_columns.emplace_back(EstimatedColumns(lines[i]), i);
  }
  const auto measured = by_columns.begin() + std::min<qsizetype>(kMeasuredLines, lines.size());
  std::partial_sort(by_columns.begin(), measured, by_columns.end(), std::greater<>());
  int widest = 0;
  for (auto it = by_columns.begin(); it != measured; ++it) {
    widest = std::max(widest, metrics.horizontalAdvance(lines[it->second]) + 8);
  }
  return widest;
}

}  // namespace

UploadPanel::UploadPanel(QWidget* window) : QObject(window) {
  BuildUploadFrame(window);
  BuildEditorFrame(window);
}

void UploadPanel::BuildUploadFrame(QWidget* window) {
  frame_ = Named(new QGroupBox(QStringLiteral("上传到服务器"), window), QStringLiteral("Frame4"));
  pending_ = Named(new ExtentListWidget(frame_), QStringLiteral("List4"));
  pending_->setSelectionMode(QAbstractItemView::MultiSelection);
  UseUniformRows(pending_, [this] { return pending_width_; });
  topic_ = Named(new QLineEdit(frame_), QStringLiteral("Text5"));
  operation_password = Named(new QLineEdit(frame_), QStringLiteral("Text4"));
  operation_password->setEchoMode(QLineEdit::Password);
  upload_ = NamedButton(QStringLiteral("Command13"), QStringLiteral("上传"), frame_);
  auto* export_file = NamedButton(QStringLiteral("Command14"), QStringLiteral("导出"), frame_);
  auto* import_file = NamedButton(QStringLiteral("Command15"), QStringLiteral("导入"), frame_);
  auto* statistics = NamedButton(QStringLiteral("Command27"), QStringLiteral("小组统计"), frame_);
  auto* back = NamedButton(QStringLiteral("Command12"), QStringLiteral("返回"), frame_);
  auto* remove = NamedButton(QStringLiteral("CommandRemove"), QStringLiteral("删除"), frame_);

  connect(upload_, &QPushButton::clicked, this, &UploadPanel::UploadPressed);
  connect(export_file, &QPushButton::clicked, this, &UploadPanel::ExportPressed);
  connect(import_file, &QPushButton::clicked, this, &UploadPanel::ImportPressed);
  connect(remove, &QPushButton::clicked, this, &UploadPanel::RemovePressed);
  connect(statistics, &QPushButton::clicked, this, &UploadPanel::GroupStatisticsPressed);
  connect(back, &QPushButton::clicked, this, [this] {
    Close();
    emit BackPressed();
  });
  connect(operation_password, &QLineEdit::textChanged, this, &UploadPanel::PasswordTyped);
  connect(pending_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { emit LineDoubleClicked(pending_->row(item)); });
  connect(pending_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &UploadPanel::ListSelectionChanged);

  auto* side = new QFormLayout;
  side->addRow(QStringLiteral("课题："), topic_);
  side->addRow(QStringLiteral("操作密码："), operation_password);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {upload_, export_file, import_file}) buttons->addWidget(button);
  auto* more = new QHBoxLayout;
  more->addWidget(remove);
  more->addWidget(statistics);
  more->addWidget(back);
  auto* column = new QVBoxLayout;
  column->addLayout(side);
  column->addLayout(buttons);
  column->addLayout(more);
  column->addStretch();
  auto* row = new QHBoxLayout(frame_);
  row->addWidget(pending_, 3);
  row->addLayout(column, 2);
  frame_->hide();
}

void UploadPanel::BuildEditorFrame(QWidget* window) {
  editor_ = Named(new QGroupBox(QStringLiteral("修改数据"), window), QStringLiteral("Frame7"));
  const std::array<const char*, 5> names = {"txt_class", "Text8", "Text9", "Text10", "Text14"};
  const std::array<QString, 5> captions = {QStringLiteral("班级："), QStringLiteral("姓名："),
                                           QStringLiteral("计分："), QStringLiteral("时间："),
                                           QStringLiteral("标准：")};
  auto* form = new QFormLayout;
  for (size_t i = 0; i < names.size(); ++i) {
    edit_fields_[i] = Named(new QLineEdit(editor_), names[i]);
    form->addRow(captions[i], edit_fields_[i]);
  }
  auto* ok = NamedButton(QStringLiteral("Command25"), QStringLiteral("确定"), editor_);
  auto* cancel = NamedButton(QStringLiteral("Command26"), QStringLiteral("取消"), editor_);
  connect(ok, &QPushButton::clicked, this, &UploadPanel::EditAccepted);
  connect(cancel, &QPushButton::clicked, this, &UploadPanel::EditCancelled);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout(editor_);
  column->addLayout(form);
  column->addLayout(buttons);
  editor_->hide();
}

// --- The frames ------------------------------------------------------------------

void UploadPanel::Open(bool upload_allowed) {
  frame_->show();
  editor_->hide();
  upload_->setEnabled(upload_allowed);
  SelectAllPending();
}

void UploadPanel::Close() { frame_->hide(); }
void UploadPanel::Reopen() { frame_->show(); }
QRect UploadPanel::Geometry() const { return frame_->geometry(); }
QList<QWidget*> UploadPanel::Frames() const { return {frame_, editor_}; }

void UploadPanel::OpenEditor(const QStringList& fields) {
  for (size_t i = 0; i < edit_fields_.size(); ++i) {
    edit_fields_[i]->setText(fields.value(static_cast<qsizetype>(i)));
  }
  editor_->show();
  editor_->raise();
  frame_->hide();
}

QString UploadPanel::EditedLine() const {
  QStringList fields;
  for (const QLineEdit* field : edit_fields_) fields.append(field->text());
  return fields.join(u'\t');
}

void UploadPanel::CloseEditor() {
  editor_->hide();
  frame_->show();
}

bool UploadPanel::EditorOpen() const { return !editor_->isHidden(); }

// --- List4 and the model ---------------------------------------------------------

void UploadPanel::WidenPendingExtent(int widest_new_line) {
  const int widest = std::max(pending_width_, widest_new_line);
  if (widest != pending_width_) {
    pending_width_ = widest;
    pending_->doItemsLayout();  // the rows take the new width
  }
  pending_->SetHorizontalExtent(pending_width_ + kPendingScrollMargin);
}

void UploadPanel::FitPendingExtent() {
  pending_width_ = 0;
  WidenPendingExtent(WidestLineWidth(QFontMetrics(pending_->font()), scores_.Lines()));
}

quint64 UploadPanel::AddPendingLine(const QString& line) {
  const quint64 id = scores_.Add(line);
  pending_->addItem(line);
  WidenPendingExtent(QFontMetrics(pending_->font()).horizontalAdvance(line) + 8);
  return id;
}

void UploadPanel::AddPendingLines(const QStringList& lines) {
  scores_.AddMany(lines);
  pending_->addItems(lines);
  WidenPendingExtent(WidestLineWidth(QFontMetrics(pending_->font()), lines));
}

void UploadPanel::RemovePending(const QList<quint64>& ids) {
  if (scores_.Remove(ids) == 0) return;
  // Rebuilding beats removing thousands of rows one at a time.
  ShowAllLines();
  FitPendingExtent();
}

void UploadPanel::ShowAllLines() {
  syncing_ = true;
  pending_->clear();
  pending_->addItems(scores_.Lines());
  // The selection goes back as runs of rows, not row by row.
  QItemSelection selection;
  const qsizetype count = scores_.Count();
  for (qsizetype row = 0; row < count;) {
    if (!scores_.IsSelected(row)) {
      ++row;
      continue;
    }
    qsizetype last = row;
    while (last + 1 < count && scores_.IsSelected(last + 1)) ++last;
    selection.select(pending_->model()->index(static_cast<int>(row), 0),
                     pending_->model()->index(static_cast<int>(last), 0));
    row = last + 1;
  }
  if (!selection.isEmpty()) pending_->selectionModel()->select(selection, QItemSelectionModel::Select);
  syncing_ = false;
}

void UploadPanel::ReplacePendingLine(quint64 id, const QString& line) {
  const qsizetype row = scores_.RowOf(id);
  if (row < 0) return;
  scores_.Replace(id, line);
  syncing_ = true;
  QListWidgetItem* item = pending_->item(static_cast<int>(row));
  item->setText(line);
  item->setSelected(true);
  pending_->setCurrentRow(static_cast<int>(row), QItemSelectionModel::NoUpdate);
  syncing_ = false;
  FitPendingExtent();
}

void UploadPanel::SelectAllPending() {
  scores_.SelectAll();
  syncing_ = true;
  pending_->selectAll();
  syncing_ = false;
}

void UploadPanel::ToggleSelection(quint64 id) {
  const qsizetype row = scores_.RowOf(id);
  if (row < 0) return;
  const bool selected = !scores_.IsSelected(row);
  scores_.SetSelected(row, selected);
  syncing_ = true;
  pending_->item(static_cast<int>(row))->setSelected(selected);
  syncing_ = false;
}

int UploadPanel::CurrentRow() const { return pending_->currentRow(); }

// A selection made in the list, by mouse or keyboard, is the model's.
void UploadPanel::ListSelectionChanged(const QItemSelection& selected,
                                       const QItemSelection& deselected) {
  if (syncing_) return;
  for (const QItemSelectionRange& range : deselected) {
    for (int row = range.top(); row <= range.bottom(); ++row) scores_.SetSelected(row, false);
  }
  for (const QItemSelectionRange& range : selected) {
    for (int row = range.top(); row <= range.bottom(); ++row) scores_.SetSelected(row, true);
  }
}

}  // namespace zorvanix
