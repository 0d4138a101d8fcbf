#include "rollcall/group_assignment.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace zorvanix {

const char GroupListWidget::kMimeType[] = "application/x-zorvanix-group-entry";

std::optional<int> MoveDraggedName(GroupLists& groups, const GroupDrop& drop) {
  const auto valid_group = [](int g) { return g >= 0 && g < kGroupCount; };
  if (!valid_group(drop.source_group) || !valid_group(drop.target_group)) return std::nullopt;
  QStringList& source = groups[drop.source_group];
  if (drop.source_index < 0 || drop.source_index >= source.size()) return std::nullopt;
  const QString name = source[drop.source_index];
  if (name.isEmpty()) return std::nullopt;
  QStringList& target = groups[drop.target_group];
  if (drop.target_index < 0 || drop.target_index >= target.size()) {
    target.append(name);
    source.removeAt(drop.source_index);
    return static_cast<int>(target.size()) - 1;
  }
  target.insert(drop.target_index, name);
  // Within one list, an entry at or after the insertion point moved one down.
  const bool shifted = &source == &target && drop.source_index >= drop.target_index;
  source.removeAt(drop.source_index + (shifted ? 1 : 0));
  return drop.target_index;
}

GroupListWidget::GroupListWidget(int group, QWidget* parent) : QListWidget(parent), group_(group) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
}

void GroupListWidget::mousePressEvent(QMouseEvent* event) {
  QListWidget::mousePressEvent(event);
  pressed_ = event->button() == Qt::LeftButton;
  if (!pressed_) return;
  press_point_ = event->position().toPoint();
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  press_index_ = selected.isEmpty() ? -1 : selected.front().row();
}

void GroupListWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!pressed_ || !(event->buttons() & Qt::LeftButton)) {
    pressed_ = false;
    QListWidget::mouseMoveEvent(event);
    return;
  }
  if ((event->position().toPoint() - press_point_).manhattanLength() >=
      QApplication::startDragDistance()) {
    StartDrag();
  }
}

void GroupListWidget::StartDrag() {
  pressed_ = false;
  auto* data = new QMimeData;
  data->setData(QLatin1String(kMimeType),
                QByteArray::number(group_) + ' ' + QByteArray::number(press_index_));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::MoveAction);
  emit DragEnded();
}

bool GroupListWidget::ReadDrag(const QMimeData* data, int* group, int* index) {
  if (!data || !data->hasFormat(QLatin1String(kMimeType))) return false;
  const QList<QByteArray> parts = data->data(QLatin1String(kMimeType)).split(' ');
  if (parts.size() != 2) return false;
  bool group_ok = false, index_ok = false;
  *group = parts[0].toInt(&group_ok);
  *index = parts[1].toInt(&index_ok);
  return group_ok && index_ok;
}

void GroupListWidget::dragEnterEvent(QDragEnterEvent* event) {
  int group, index;
  if (ReadDrag(event->mimeData(), &group, &index)) {
    event->setDropAction(Qt::MoveAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void GroupListWidget::dragMoveEvent(QDragMoveEvent* event) {
  int group, index;
  if (!ReadDrag(event->mimeData(), &group, &index)) {
    event->ignore();
    return;
  }
  // The entry under the cursor shows where the name will go.
  if (QListWidgetItem* under = itemAt(event->position().toPoint())) setCurrentItem(under);
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void GroupListWidget::dropEvent(QDropEvent* event) {
  int group, index;
  if (!ReadDrag(event->mimeData(), &group, &index)) {
    event->ignore();
    return;
  }
  const QListWidgetItem* under = itemAt(event->position().toPoint());
  event->setDropAction(Qt::MoveAction);
  event->accept();
  emit NameDropped(group, index, under ? row(under) : -1);
}

}  // namespace zorvanix
