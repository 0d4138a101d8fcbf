#include "rollcall/score_log.h"

#include <QDir>

#include "core/file_text.h"
#include "core/score_line.h"

namespace zorvanix {

QString ScoreLog::PathFor(const QString& user, const QString& class_name,
                          const QDate& day) const {
  return QDir(config_.data_dir).filePath(DailyLogFileName(user, class_name, day));
}

bool ScoreLog::Append(const QString& user, const QString& class_name, const QDateTime& moment,
                      const QString& line) {
  const QString path = PathFor(user, class_name, moment.date());
  QString error;
  if (AppendLineToFile(path, line, &error)) return true;
  if (!unwritable_.contains(path)) {
    unwritable_.insert(path);
    prompter_.ShowMessage(QStringLiteral("警告"),
                          QStringLiteral("计分日志无法写入：") + path + QStringLiteral("\r\n") +
                              error + QStringLiteral("\r\n这条计分仍在待上传列表中。"),
                          MessageIcon::kWarning);
  }
  return false;
}

}  // namespace zorvanix
