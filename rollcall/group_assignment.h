// Moving a student between the sixteen group lists by drag and drop. The move
// itself is a plain function on the lists, so the rules can be read and
// checked without a mouse; GroupListWidget is the list box that feeds it.
#pragma once

#include <QListWidget>
#include <QMimeData>
#include <QStringList>
#include <array>
#include <optional>

#include "rollcall/draw_pools.h"

namespace zorvanix {

using GroupLists = std::array<QStringList, kGroupCount>;

struct GroupDrop {
  int source_group = -1;  // list the drag began in
  int source_index = -1;  // entry dragged: the list's selected entry at the press
  int target_group = -1;  // list dropped on
  int target_index = -1;  // entry under the cursor, -1 below the last entry
};

// Moves the dragged name. Dropped below the last entry it is appended; dropped
// on an entry it is put before that entry (within one list too, so dropping a
// name on itself changes nothing). Returns the entry of the target list to
// select afterwards: the last one after an append, otherwise the entry the
// name was dropped on. Nothing changes and nothing is returned when the drag
// has no name (no entry was selected as it began) or names no list.
std::optional<int> MoveDraggedName(GroupLists& groups, const GroupDrop& drop);

// One group list of the manual-pick panel: a press with the left button
// drags the selected name; a drop moves it by MoveDraggedName through the
// panel. The entry under the cursor is selected while a drag passes over.
class GroupListWidget : public QListWidget {
  Q_OBJECT

 public:
  GroupListWidget(int group, QWidget* parent = nullptr);
  int Group() const { return group_; }

  // What a drag of entry index of group carries (MIME type kMimeType,
  // "group index" in ASCII).
  static QMimeData* DragData(int group, int index);
  static const char kMimeType[];

 signals:
  // A drag that began here has ended, dropped anywhere or nowhere.
  void DragEnded();
  // A group entry was dropped here; target_index is -1 below the last entry.
  void NameDropped(int source_group, int source_index, int target_index);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  static bool ReadDrag(const QMimeData* data, int* group, int* index);
  void StartDrag();

  int group_;
  int press_index_ = -1;  // the selected entry when the left button went down
  QPoint press_point_;
  bool pressed_ = false;
};

}  // namespace zorvanix
