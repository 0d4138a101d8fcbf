#include "manage/page_widgets.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <memory>

#include "controls/widget_names.h"
#include "core/file_text.h"
#include "core/gbk.h"

namespace zorvanix {
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = Named(new QPushButton(caption, parent), name);
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QLabel(caption, parent), name);
}

QLabel* MakeStatusLabel(QWidget* parent, const char* name, const QString& warning) {
  QLabel* label = MakeLabel(parent, name, warning);
  label->setWordWrap(true);
  label->setStyleSheet(QStringLiteral("color: #b00000;"));
  return label;
}

QLineEdit* MakeLineEdit(QWidget* parent, const char* name) {
  return Named(new QLineEdit(parent), name);
}

QLineEdit* MakePasswordEdit(QWidget* parent, const char* name) {
  QLineEdit* edit = MakeLineEdit(parent, name);
  edit->setEchoMode(QLineEdit::Password);
  return edit;
}

QPlainTextEdit* MakeNameBox(QWidget* parent, const char* name) {
  auto* box = Named(new QPlainTextEdit(parent), name);
  box->setTabChangesFocus(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  return box;
}

QListWidget* MakeList(QWidget* parent, const char* name) {
  auto* list = Named(new QListWidget(parent), name);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  return list;
}

QComboBox* MakeChooser(QWidget* parent, const char* name, const QString& placeholder) {
  auto* chooser = Named(new QComboBox(parent), name);
  chooser->setPlaceholderText(placeholder);
  chooser->setMinimumContentsLength(10);
  chooser->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  return chooser;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption) {
  return Named(new QGroupBox(caption, parent), name);
}

EditPanel MakeEditPanel(QWidget* parent, const char* name, const QString& caption,
                        std::initializer_list<EditRow> rows, const char* change_name,
                        const char* cancel_name) {
  QGroupBox* frame = MakeFrame(parent, name, caption);
  QPushButton* change = MakeButton(frame, change_name, QStringLiteral("修改"));
  QPushButton* cancel = MakeButton(frame, cancel_name, QStringLiteral("取消"));
  auto* form = new QFormLayout(frame);
  for (const EditRow& row : rows) form->addRow(row.label, row.box);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(change);
  buttons->addWidget(cancel);
  form->addRow(buttons);
  QObject::connect(cancel, &QPushButton::clicked, frame, &QWidget::hide);
  frame->hide();
  return {frame, change};
}

void RefillChooser(QComboBox* chooser, const QStringList& items) {
  chooser->clear();
  chooser->addItems(items);
  chooser->setCurrentIndex(-1);
}

QString ChosenText(const QComboBox* chooser) {
  return chooser->currentIndex() < 0 ? QString() : chooser->currentText();
}

QString ShownText(const QComboBox* chooser) {
  return chooser->currentIndex() < 0 ? chooser->placeholderText() : chooser->currentText();
}

QStringList ListEntries(const QListWidget* list) {
  QStringList entries;
  entries.reserve(list->count());
  for (int i = 0; i < list->count(); ++i) entries.append(list->item(i)->text());
  return entries;
}

void SelectAll(QListWidget* list) {
  for (int i = 0; i < list->count(); ++i) list->item(i)->setSelected(true);
}

void InvertSelection(QListWidget* list) {
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    item->setSelected(!item->isSelected());
  }
}

QStringList RemoveSelectedEntries(QListWidget* list) {
  QStringList removed;
  for (int i = list->count() - 1; i >= 0; --i) {
    if (!list->item(i)->isSelected()) continue;
    std::unique_ptr<QListWidgetItem> item(list->takeItem(i));
    removed.append(item->text());
  }
  return removed;
}

QString EntryField(const QString& entry, int index) {
  const QStringList fields = entry.split(u'\t');
  return index < fields.size() ? fields[index] : QString();
}

NameAddition NewNames(QStringView typed, const QStringList& existing) {
  NameAddition result;
  QStringList listed = existing;
  for (const QString& line : SplitLines(typed)) {
    QString name = line;
    name.remove(u' ');
    if (name.isEmpty()) continue;
    if (listed.contains(name)) {
      ++result.present;
      continue;
    }
    listed.append(name);
    result.added.append(name);
  }
  return result;
}

namespace {

// Characters of the common Chinese table (GB2312 levels 1 and 2): names
// decoded in their own encoding are made of them, while GBK bytes read as
// UTF-8 give Latin, Greek, Cyrillic or Hebrew letters instead.
qsizetype CommonHanzi(QStringView text) {
  qsizetype count = 0;
  for (const QChar c : text) {
    if (c.unicode() < 0x80 || c.isSurrogate()) continue;
    const int code = GbkCode(QStringView(&c, 1));
    const int lead = code >> 8;
    const int trail = code & 0xFF;
    if (lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE) ++count;
  }
  return count;
}

}  // namespace

QString DecodeNameListFile(QByteArrayView bytes) {
  static constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
  QString text;
  if (bytes.startsWith(kUtf8Bom)) {
    text = QString::fromUtf8(bytes.sliced(3));
  } else {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(bytes);
    if (utf8.hasError()) {
      text = DecodeGbk(bytes);
    } else {
      // Many short GBK texts are valid UTF-8 as well (郑路 and 卢梅 are); the
      // reading that gives more common Chinese characters is the file's.
      QStringDecoder gbk(kGbkCodecName, QStringDecoder::Flag::Stateless);
      const QString as_gbk = gbk.decode(bytes);
      if (!gbk.hasError() && CommonHanzi(as_gbk) > CommonHanzi(text)) text = as_gbk;
    }
  }
  return SplitLines(text).join(u'\n');
}

}  // namespace zorvanix
