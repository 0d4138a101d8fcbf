#include "rollcall/upload_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zorvanix {
namespace {

// Pending lines are wider than the list: it scrolls this far past the widest.
constexpr int kPendingScrollMargin = 150;

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
  topic = Named(new QLineEdit(frame), QStringLiteral("Text5"));
  operation_password = Named(new QLineEdit(frame), QStringLiteral("Text4"));
  operation_password->setEchoMode(QLineEdit::Password);
  upload = Button(QStringLiteral("Command13"), QStringLiteral("上传"), frame);
  export_file = Button(QStringLiteral("Command14"), QStringLiteral("导出"), frame);
  import_file = Button(QStringLiteral("Command15"), QStringLiteral("导入"), frame);
  group_statistics = Button(QStringLiteral("Command27"), QStringLiteral("小组统计"), frame);
  back = Button(QStringLiteral("Command12"), QStringLiteral("返回"), frame);

  auto* side = new QFormLayout;
  side->addRow(QStringLiteral("课题："), topic);
  side->addRow(QStringLiteral("操作密码："), operation_password);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {upload, export_file, import_file}) buttons->addWidget(button);
  auto* more = new QHBoxLayout;
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

void UploadPanel::AddPendingLine(const QString& line) {
  pending->addItem(line);
  pending->SetHorizontalExtent(ListTextWidth(*pending) + kPendingScrollMargin);
}

QStringList UploadPanel::PendingLines() const {
  QStringList lines;
  for (int row = 0; row < pending->count(); ++row) lines.append(pending->item(row)->text());
  return lines;
}

}  // namespace zorvanix
