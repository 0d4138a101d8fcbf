// What the upload panel does with the pending scores: send the selected lines
// to the scoring service, save them to a score file or load one back, and
// correct one line in the line editor. Lines leave the pending list only once
// they have reached the service or a file.
#pragma once

#include <QObject>

#include "platform/app_context.h"
#include "platform/prompter.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {

// The file dialogs' choices: score records first, then every file.
// Score lines are GBK on disk and on the wire: text GBK cannot hold is refused
// where it is typed, never written as "?". Returns whether text may be kept;
// otherwise the teacher is told which character it is.
bool AcceptGbkText(Prompter& prompter, const QString& text);

inline constexpr char16_t kScoreFileFilter[] = u"Zorvane成绩记录(*.dms)|*.dms|All Files(*.*)|*.*";

class ScoreUpload : public QObject {
  Q_OBJECT

 public:
  ScoreUpload(AppContext& context, UploadPanel& panel);

  // Whether Command13 may be pressed now: signed in to the service, an
  // operation password typed, and no upload waiting for its reply.
  bool UploadAllowed() const;
  bool IsUploading() const { return uploading_; }

  // Closing the window with lines still pending: true when there are none
  // or the teacher says to close anyway (the daily log keeps them).
  bool MayLeavePending();

  // Command13: the selected lines, in list order, under the topic in Text5.
  void Upload();
  // Command14: the selected lines into a score file.
  void Export();
  // Drops the selected pending lines after asking; the daily log keeps them.
  void RemoveSelected();
  // Takes back the last pending line after asking (No unless the teacher says
  // Yes); the daily log keeps it. Returns the number of the line taken back,
  // 0 when none was (nothing pending, an upload under way, or No).
  quint64 TakeBackLast();
  // Command15: the lines of a score file join the pending ones.
  void Import();
  // A List4 double-click on row, Command25 and Command26: the line editor.
  void EditLine(int row);
  void AcceptEdit();
  void CancelEdit();

 private:
  void PasswordTyped();
  void ExportBatch(const PendingScores::Batch& batch);

  AppContext& context_;
  UploadPanel& panel_;
  bool uploading_ = false;
  quint64 edited_line_ = 0;  // the line in the editor, by its number
};

}  // namespace zorvanix
