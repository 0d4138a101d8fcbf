#include "tests/support/recording_prompter.h"

#include <QStringList>

namespace zorvanix::testing {

void RecordingPrompter::ShowMessage(const QString& title, const QString& text, MessageIcon icon) {
  records_.append({PromptRecord::Kind::kMessage, title, text, icon});
}

bool RecordingPrompter::AskYesNo(const QString& title, const QString& text, MessageIcon icon) {
  records_.append({PromptRecord::Kind::kQuestion, title, text, icon});
  return answers_.isEmpty() ? false : answers_.dequeue();
}

QString RecordingPrompter::OpenFileName(const QString& title, const QString& filter) {
  records_.append({PromptRecord::Kind::kOpenFile, title, filter, MessageIcon::kNone});
  return files_.isEmpty() ? QString() : files_.dequeue();
}

QString RecordingPrompter::SaveFileName(const QString& title, const QString& filter) {
  records_.append({PromptRecord::Kind::kSaveFile, title, filter, MessageIcon::kNone});
  return files_.isEmpty() ? QString() : files_.dequeue();
}

PromptRecord RecordingPrompter::Last() const {
  return records_.isEmpty() ? PromptRecord{PromptRecord::Kind::kMessage, {}, {}, MessageIcon::kNone}
                            : records_.last();
}

QStringList RecordingPrompter::Texts() const {
  QStringList texts;
  for (const PromptRecord& record : records_) texts.append(record.text);
  return texts;
}

}  // namespace zorvanix::testing
