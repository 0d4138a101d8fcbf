// Frame4, the upload panel: the pending score lines List4 with the topic and
// operation password they are sent under, and Frame7, the editor of one
// pending line. List4 shows the PendingScores model the panel holds: every
// change to the lines goes through the panel, which keeps the list in step,
// and a selection the teacher makes in the list is the model's selection.
// The buttons are the panel's own; what they ask for is announced by signals.
#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "controls/list_text_width.h"
#include "rollcall/pending_scores.h"

class QItemSelection;

namespace zorvanix {

class UploadPanel : public QObject {
  Q_OBJECT

 public:
  // Builds both frames as hidden children of window.
  explicit UploadPanel(QWidget* window);

  // --- The pending lines ---------------------------------------------------
  const PendingScores& Scores() const { return scores_; }
  // Adds a score line at the end of the pending list and widens its scroll
  // range to the widest line; returns the line's number.
  quint64 AddPendingLine(const QString& line);
  // Adds many lines at once (an import), measuring the widest line once.
  void AddPendingLines(const QStringList& lines);
  // Removes the lines of a batch that are still pending; the others stay,
  // in order, with their selection.
  void RemovePending(const QList<quint64>& ids);
  // Replaces a numbered line (if still pending) by an edited one, which is
  // selected and current.
  void ReplacePendingLine(quint64 id, const QString& line);
  void SelectAllPending();
  // Switches the selection of a numbered line, if still pending.
  void ToggleSelection(quint64 id);
  // The line the keyboard or the last click is on, -1 for none.
  int CurrentRow() const;

  // --- The frames --------------------------------------------------------------
  // Frame4 opens with every pending line selected; Frame7 stays closed.
  void Open(bool upload_allowed);
  void Close();
  // Frame4 comes back where it was (from the group statistics).
  void Reopen();
  QRect Geometry() const;
  QList<QWidget*> Frames() const;
  // The line editor over Frame4, with the five fields of one line.
  void OpenEditor(const QStringList& fields);
  // What the editor's five boxes hold, joined by TAB.
  QString EditedLine() const;
  void CloseEditor();
  bool EditorOpen() const;

  QString Topic() const { return topic_->text(); }
  void SetTopic(const QString& topic) { topic_->setText(topic); }
  QString Password() const { return operation_password->text(); }
  void SetPassword(const QString& password) { operation_password->setText(password); }
  void SetUploadEnabled(bool enabled) { upload_->setEnabled(enabled); }

  // Text4, the operation password box. The group tab's password follows it.
  QLineEdit* operation_password = nullptr;

 signals:
  void UploadPressed();             // Command13
  void ExportPressed();             // Command14
  void ImportPressed();             // Command15
  void RemovePressed();             // CommandRemove
  void GroupStatisticsPressed();    // Command27
  void BackPressed();               // Command12, after Frame4 closed
  void LineDoubleClicked(int row);  // a List4 entry
  void EditAccepted();              // Command25
  void EditCancelled();             // Command26
  void PasswordTyped(const QString& password);

 private:
  void BuildUploadFrame(QWidget* window);
  void BuildEditorFrame(QWidget* window);
  // List4 is made again from the model, with its selection.
  void ShowAllLines();
  void ListSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  // The scroll range follows the widest pending line; adding lines only
  // measures the new ones.
  void WidenPendingExtent(int widest_new_line);
  void FitPendingExtent();

  PendingScores scores_;
  int pending_width_ = 0;  // the widest pending line, as ListTextWidth measures it
  bool syncing_ = false;   // the panel itself changes List4's selection

  QGroupBox* frame_ = nullptr;           // Frame4
  ExtentListWidget* pending_ = nullptr;  // List4
  QLineEdit* topic_ = nullptr;           // Text5
  QPushButton* upload_ = nullptr;        // Command13

  QGroupBox* editor_ = nullptr;  // Frame7
  std::array<QLineEdit*, 5> edit_fields_{};  // txt_class, Text8, Text9, Text10, Text14
};

}  // namespace zorvanix
