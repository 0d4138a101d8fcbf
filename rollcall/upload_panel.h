// Frame4, the upload panel: the pending score lines List4 with the topic and
// operation password they are sent under, and Frame7, the editor of one
// pending line. Every score the teacher gives joins List4 here.
#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "controls/list_text_width.h"

namespace zorvanix {

class UploadPanel : public QObject {
  Q_OBJECT

 public:
  // Builds both frames as hidden children of window.
  explicit UploadPanel(QWidget* window);

  // Adds a score line at the end of the pending list and widens its scroll
  // range to the widest line.
  void AddPendingLine(const QString& line);
  // Adds many lines at once (an import), measuring the widest line once.
  void AddPendingLines(const QStringList& lines);
  int PendingCount() const { return pending->count(); }
  QStringList PendingLines() const;

  // The selected pending lines in list order (the batch of an upload or an
  // export), each with the number that tells it from an equal line.
  struct Batch {
    QList<quint64> ids;
    QStringList lines;
  };
  Batch SelectedBatch() const;
  // Removes the lines of a batch that are still pending; the others stay,
  // in order, with their selection.
  void RemovePending(const QList<quint64>& ids);
  // Replaces the line at row by an edited one, which is selected.
  void ReplacePendingLine(int row, const QString& line);
  // The number of the line at row, and the row of a numbered line (-1 when
  // it is no longer pending).
  quint64 LineId(int row) const;
  int RowOfLine(quint64 id) const;

  QGroupBox* frame = nullptr;               // Frame4
  ExtentListWidget* pending = nullptr;      // List4
  QLineEdit* topic = nullptr;               // Text5
  QLineEdit* operation_password = nullptr;  // Text4
  QPushButton* upload = nullptr;            // Command13
  QPushButton* export_file = nullptr;       // Command14
  QPushButton* import_file = nullptr;       // Command15
  QPushButton* back = nullptr;              // Command12
  QPushButton* remove = nullptr;            // CommandRemove: drops selected lines
  QPushButton* group_statistics = nullptr;  // Command27

  QGroupBox* editor = nullptr;          // Frame7
  QLineEdit* edit_class = nullptr;      // txt_class
  QLineEdit* edit_name = nullptr;       // Text8
  QLineEdit* edit_score = nullptr;      // Text9
  QLineEdit* edit_time = nullptr;       // Text10
  QLineEdit* edit_criterion = nullptr;  // Text14
  QPushButton* edit_ok = nullptr;       // Command25
  QPushButton* edit_cancel = nullptr;   // Command26

 private:
  void BuildUploadFrame(QWidget* window);
  void BuildEditorFrame(QWidget* window);
  QListWidgetItem* NewPendingItem(const QString& line);
  // The scroll range follows the widest pending line; adding lines only
  // measures the new ones.
  void WidenPendingExtent(int widest_new_line);
  void FitPendingExtent();

  int pending_width_ = 0;  // the widest pending line, as ListTextWidth measures it

  quint64 next_line_id_ = 1;
};

}  // namespace zorvanix
