#include "rollcall/name_search_box.h"

#include <QKeyEvent>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "controls/widget_names.h"
#include "rollcall/form_layout.h"
#include "rollcall/name_search.h"

namespace zorvanix {
namespace {

using namespace layout;

// Wide enough for a name with its count and average.
constexpr int kList2Width = 2700;

}  // namespace

NameSearchBox::NameSearchBox(QWidget* panel) : QObject(panel) {
  box_ = Named(new QLineEdit(panel), QStringLiteral("txtManual"));
  box_->setPlaceholderText(QStringLiteral("查找学生"));
  box_->setToolTip(QStringLiteral("输入姓名或拼音首字母查找学生"));
  hits_ = Named(new QListWidget(panel), QStringLiteral("List2"));
  hits_->hide();
  // Each hit is measured (a class is a few dozen names at most), so a long
  // entry widens the list's range and scrolls sideways.
  hits_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  hits_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  hits_->setTextElideMode(Qt::ElideNone);
  connect(box_, &QLineEdit::textChanged, this, &NameSearchBox::TextChanged);
  connect(hits_, &QListWidget::itemDoubleClicked, this, &NameSearchBox::Pick);
  box_->installEventFilter(this);
  hits_->installEventFilter(this);
}

void NameSearchBox::TextChanged(const QString& text) {
  if (text.isEmpty()) {
    hits_->hide();
    return;
  }
  emit SearchWanted(text);
}

void NameSearchBox::ShowHits(const QStringList& entries) {
  hits_->clear();
  if (entries.isEmpty()) {
    hits_->hide();
    return;
  }
  hits_->addItems(entries);
  PlaceHits();
  hits_->show();
  hits_->raise();
}

// The list grows upward from the line just above the search box, as many
// rows high as HitListRows allows for its hits, measured in the rows the
// list really draws; a sideways bar, when an entry is wider than the list,
// comes on top so that it hides no row.
void NameSearchBox::PlaceHits() {
  const int count = hits_->count();
  const int row = std::max(1, hits_->sizeHintForRow(0));
  int widest = 0;
  for (int r = 0; r < count; ++r) {
    widest = std::max(widest, hits_->sizeHintForIndex(hits_->model()->index(r, 0)).width());
  }
  const int frame = 2 * hits_->frameWidth();
  const int bar = hits_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hits_);
  const int width = Px(kList2Width);
  const int rows_height = static_cast<int>(std::lround(HitListRows(count) * row));
  const bool upright_bar = count * row > rows_height;
  const bool sideways_bar = widest > width - frame - (upright_bar ? bar : 0);
  const int bottom = Px(kList2Bottom + kFrame5Offset);
  // Never above the top of the draw panel.
  const int height = std::min(rows_height + frame + (sideways_bar ? bar : 0), bottom);
  hits_->setGeometry(Px(kList2Left + kFrame5Offset), bottom - height, width, height);
}

void NameSearchBox::BoxKeyReleased(int key) {
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
      TextChanged(box_->text());
      if (hits_->count() > 0) {
        hits_->setFocus();
        hits_->setCurrentRow(0);
      }
      break;
    case Qt::Key_Escape:
      hits_->hide();
      break;
    default:
      break;
  }
}

void NameSearchBox::Pick() {
  const QListWidgetItem* item = hits_->currentItem();
  const QString name = item ? item->text().section(u'\t', 0, 0) : QString();
  hits_->hide();
  hits_->clear();
  emit HitChosen(name);
}

bool NameSearchBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == hits_ && enter) {
      Pick();
    } else if (watched == hits_ && key == Qt::Key_Escape) {
      hits_->hide();
      box_->setFocus();
    } else if (watched == box_) {
      BoxKeyReleased(key);
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zorvanix
