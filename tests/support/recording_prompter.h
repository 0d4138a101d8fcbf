// The seams of the desktop program as a test sees them: every message the
// teacher would have been shown is kept; questions and file dialogs are
// answered from a script.
#pragma once

#include <QList>
#include <QQueue>
#include <QString>
#include <QUrl>

#include "platform/network_state.h"
#include "platform/prompter.h"
#include "platform/shell.h"

namespace zorvanix::testing {

struct PromptRecord {
  enum class Kind { kMessage, kQuestion, kOpenFile, kSaveFile };
  Kind kind;
  QString title;
  QString text;  // the message or question; the filter for a file dialog
  MessageIcon icon = MessageIcon::kNone;
};

class RecordingPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text, MessageIcon icon) override;
  bool AskYesNo(const QString& title, const QString& text, MessageIcon icon) override;
  QString OpenFileName(const QString& title, const QString& filter) override;
  QString SaveFileName(const QString& title, const QString& filter) override;

  // Answers for the next questions / dialogs, in order. Without a scripted
  // answer a question is answered No and a dialog is cancelled.
  void AnswerNextQuestion(bool yes) { answers_.enqueue(yes); }
  void ChooseNextFile(const QString& path) { files_.enqueue(path); }

  const QList<PromptRecord>& Records() const { return records_; }
  // The last record, or an empty one when nothing was shown.
  PromptRecord Last() const;
  QStringList Texts() const;
  void Clear() { records_.clear(); }

 private:
  QList<PromptRecord> records_;
  QQueue<bool> answers_;
  QQueue<QString> files_;
};

// The browser: opened addresses are kept, nothing is launched.
class RecordingShell : public Shell {
 public:
  bool OpenUrl(const QUrl& url) override {
    opened.append(url);
    return true;
  }
  QList<QUrl> opened;
};

// The connected state as the test sets it.
class FixedNetworkState : public NetworkState {
 public:
  bool IsConnected() const override { return connected; }
  bool connected = true;
};

}  // namespace zorvanix::testing
