// Message boxes, questions and file dialogs, behind one small interface so a
// test can record what the teacher was told and answer in the teacher's place.
#pragma once

#include <QString>

class QWidget;

namespace zorvanix {

enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // A message with an OK button.
  virtual void ShowMessage(const QString& title, const QString& text, MessageIcon icon) = 0;
  // A message that does not wait for its OK: the window goes on (timers,
  // clicks, a rolling draw) while it is open. For warnings that block nothing.
  virtual void ShowNotice(const QString& title, const QString& text, MessageIcon icon) {
    ShowMessage(title, text, icon);
  }
  // A question with Yes and No buttons; true for Yes.
  virtual bool AskYesNo(const QString& title, const QString& text, MessageIcon icon) = 0;
  // The same question where Enter, Space and Escape answer No: for a Yes that
  // loses or removes something.
  virtual bool AskYesNoDefaultNo(const QString& title, const QString& text, MessageIcon icon) {
    return AskYesNo(title, text, icon);
  }
  // File dialogs. filter is written as "Caption(*.ext)|*.ext|All Files(*.*)|*.*".
  // An empty name means the teacher cancelled.
  virtual QString OpenFileName(const QString& title, const QString& filter) = 0;
  virtual QString SaveFileName(const QString& title, const QString& filter) = 0;
};

// The real dialogs, parented to the window that asks.
class WidgetPrompter : public Prompter {
 public:
  explicit WidgetPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const QString& title, const QString& text, MessageIcon icon) override;
  void ShowNotice(const QString& title, const QString& text, MessageIcon icon) override;
  bool AskYesNo(const QString& title, const QString& text, MessageIcon icon) override;
  bool AskYesNoDefaultNo(const QString& title, const QString& text, MessageIcon icon) override;
  QString OpenFileName(const QString& title, const QString& filter) override;
  QString SaveFileName(const QString& title, const QString& filter) override;

 private:
  QWidget* parent_;
};

// "A(*.a)|*.a|All Files(*.*)|*.*" -> "A(*.a);;All Files(*.*)": the caption of
// each choice already names its pattern.
QString QtFileFilter(const QString& filter);

// A name typed without an extension in a save dialog gets the extension of the
// file type chosen there ("Excel 工作簿(*.xlsx)" -> ".xlsx"), as the teacher
// expects; a name with one, or a choice such as "*.*", stays as it is.
QString WithChosenSuffix(const QString& name, const QString& chosen_filter);

}  // namespace zorvanix
