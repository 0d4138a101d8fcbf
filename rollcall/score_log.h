// The daily score logs: every score given goes at once to the log of its
// teacher, class and day in the data folder, before it joins the pending
// list. A log that cannot be written does not cost the score; the teacher is
// told once per file why the log misses it.
#pragma once

#include <QDateTime>
#include <QSet>
#include <QString>

#include "platform/config.h"
#include "platform/prompter.h"

namespace zorvanix {

class ScoreLog {
 public:
  // The logs go to config.data_dir as it stands at each score.
  ScoreLog(const AppConfig& config, Prompter& prompter) : config_(config), prompter_(prompter) {}

  // The log of user's class on day.
  QString PathFor(const QString& user, const QString& class_name, const QDate& day) const;
  // Appends line to that log; false (after the one warning for the file)
  // when it could not be written.
  bool Append(const QString& user, const QString& class_name, const QDateTime& moment,
              const QString& line);

 private:
  const AppConfig& config_;
  Prompter& prompter_;
  QSet<QString> unwritable_;  // warned about once each
};

}  // namespace zorvanix
