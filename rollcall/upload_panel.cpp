#include "rollcall/upload_panel.h"

#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSet>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <vector>

#include "rollcall/uniform_rows.h"

namespace zorvanix {
namespace {

// Pending lines are wider than the list: it scrolls this far past the widest.
constexpr int kPendingScrollMargin = 150;
// Where a pending line keeps the number that tells it from an equal line.
constexpr int kLineIdRole = Qt::UserRole;
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

template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

QPushButton* Button(const QString& name, const QString& caption, QWidget* parent) {
  return Named(new QPushButton(caption, parent), name);
}

}  // namespace

UploadPanel::UploadPanel(QWidget* window) : QObject(window) {
  BuildUploadFrame(window);
  BuildEditorFrame(window);
}

void UploadPanel::BuildUploadFrame(QWidget* window) {
  frame = Named(new QGroupBox(QStringLiteral("上传到服务器"), window), QStringLiteral("Frame4"));
  pending = Named(new ExtentListWidget(frame), QStringLiteral("List4"));
  pending->setSelectionMode(QAbstractItemView::MultiSelection);
  UseUniformRows(pending, [this] { return pending_width_; });
  topic = Named(new QLineEdit(frame), QStringLiteral("Text5"));
  operation_password = Named(new QLineEdit(frame), QStringLiteral("Text4"));
  operation_password->setEchoMode(QLineEdit::Password);
  upload = Button(QStringLiteral("Command13"), QStringLiteral("上传"), frame);
  export_file = Button(QStringLiteral("Command14"), QStringLiteral("导出"), frame);
  import_file = Button(QStringLiteral("Command15"), QStringLiteral("导入"), frame);
  group_statistics = Button(QStringLiteral("Command27"), QStringLiteral("小组统计"), frame);
  back = Button(QStringLiteral("Command12"), QStringLiteral("返回"), frame);
  remove = Button(QStringLiteral("CommandRemove"), QStringLiteral("删除"), frame);

  auto* side = new QFormLayout;
  side->addRow(QStringLiteral("课题："), topic);
  side->addRow(QStringLiteral("操作密码："), operation_password);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {upload, export_file, import_file}) buttons->addWidget(button);
  auto* more = new QHBoxLayout;
  more->addWidget(remove);
  more->addWidget(group_statistics);
  more->addWidget(back);
  auto* column = new QVBoxLayout;
  column->addLayout(side);
  column->addLayout(buttons);
  column->addLayout(more);
  column->addStretch();
  auto* row = new QHBoxLayout(frame);
  row->addWidget(pending, 3);
  row->addLayout(column, 2);
  frame->hide();
}

void UploadPanel::BuildEditorFrame(QWidget* window) {
  editor = Named(new QGroupBox(QStringLiteral("修改数据"), window), QStringLiteral("Frame7"));
  edit_class = Named(new QLineEdit(editor), QStringLiteral("txt_class"));
  edit_name = Named(new QLineEdit(editor), QStringLiteral("Text8"));
  edit_score = Named(new QLineEdit(editor), QStringLiteral("Text9"));
  edit_time = Named(new QLineEdit(editor), QStringLiteral("Text10"));
  edit_criterion = Named(new QLineEdit(editor), QStringLiteral("Text14"));
  edit_ok = Button(QStringLiteral("Command25"), QStringLiteral("确定"), editor);
  edit_cancel = Button(QStringLiteral("Command26"), QStringLiteral("取消"), editor);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("班级："), edit_class);
  form->addRow(QStringLiteral("姓名："), edit_name);
  form->addRow(QStringLiteral("计分："), edit_score);
  form->addRow(QStringLiteral("时间："), edit_time);
  form->addRow(QStringLiteral("标准："), edit_criterion);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(edit_ok);
  buttons->addWidget(edit_cancel);
  auto* column = new QVBoxLayout(editor);
  column->addLayout(form);
  column->addLayout(buttons);
  editor->hide();
}

QListWidgetItem* UploadPanel::NewPendingItem(const QString& line) {
  auto* item = new QListWidgetItem(line);
  item->setData(kLineIdRole, next_line_id_++);
  return item;
}

void UploadPanel::WidenPendingExtent(int widest_new_line) {
  const int widest = std::max(pending_width_, widest_new_line);
  if (widest != pending_width_) {
    pending_width_ = widest;
    pending->doItemsLayout();  // the rows take the new width
  }
  pending->SetHorizontalExtent(pending_width_ + kPendingScrollMargin);
}

void UploadPanel::FitPendingExtent() {
  pending_width_ = 0;
  WidenPendingExtent(WidestLineWidth(QFontMetrics(pending->font()), PendingLines()));
}

void UploadPanel::AddPendingLine(const QString& line) {
  pending->addItem(NewPendingItem(line));
  WidenPendingExtent(QFontMetrics(pending->font()).horizontalAdvance(line) + 8);
}

void UploadPanel::AddPendingLines(const QStringList& lines) {
  for (const QString& line : lines) pending->addItem(NewPendingItem(line));
  WidenPendingExtent(WidestLineWidth(QFontMetrics(pending->font()), lines));
}

UploadPanel::Batch UploadPanel::SelectedBatch() const {
  QList<int> rows;
  for (const QModelIndex& index : pending->selectionModel()->selectedIndexes()) {
    rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  Batch batch;
  for (const int row : rows) {
    const QListWidgetItem* item = pending->item(row);
    batch.ids.append(item->data(kLineIdRole).toULongLong());
    batch.lines.append(item->text());
  }
  return batch;
}

void UploadPanel::RemovePending(const QList<quint64>& ids) {
  const QSet<quint64> gone(ids.begin(), ids.end());
  QSet<int> selected_rows;
  for (const QModelIndex& index : pending->selectionModel()->selectedIndexes()) {
    selected_rows.insert(index.row());
  }
  QList<QListWidgetItem*> kept;
  QList<bool> kept_selected;
  for (int row = 0; row < pending->count(); ++row) {
    QListWidgetItem* item = pending->item(row);
    if (gone.contains(item->data(kLineIdRole).toULongLong())) continue;
    kept.append(item->clone());
    kept_selected.append(selected_rows.contains(row));
  }
  // Rebuilding beats removing thousands of rows one at a time.
  pending->clear();
  for (QListWidgetItem* item : kept) pending->addItem(item);
  for (int row = 0; row < kept.size(); ++row) {
    if (kept_selected[row]) kept[row]->setSelected(true);
  }
  FitPendingExtent();
}

quint64 UploadPanel::LineId(int row) const {
  const QListWidgetItem* item = pending->item(row);
  return item ? item->data(kLineIdRole).toULongLong() : 0;
}

int UploadPanel::RowOfLine(quint64 id) const {
  for (int row = 0; row < pending->count(); ++row) {
    if (pending->item(row)->data(kLineIdRole).toULongLong() == id) return row;
  }
  return -1;
}

void UploadPanel::ReplacePendingLine(int row, const QString& line) {
  if (row < 0 || row >= pending->count()) return;
  QListWidgetItem* item = NewPendingItem(line);
  pending->insertItem(row, item);
  delete pending->takeItem(row + 1);
  item->setSelected(true);
  pending->setCurrentRow(row, QItemSelectionModel::NoUpdate);
  FitPendingExtent();
}

QStringList UploadPanel::PendingLines() const {
  QStringList lines;
  for (int row = 0; row < pending->count(); ++row) lines.append(pending->item(row)->text());
  return lines;
}

}  // namespace zorvanix
