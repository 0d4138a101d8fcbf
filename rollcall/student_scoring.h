// Scores for the student on the name box: a plain score from the score
// choice (once, then the student is no longer current) or the points of a
// criterion of the topic (each criterion once per student). Every score goes
// to the day's log at once and joins the pending list of the upload panel.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include "platform/app_context.h"
#include "rollcall/score_log.h"

namespace zorvanix {

class DrawPanel;
class DrawSession;
class UploadPanel;

class StudentScoring : public QObject {
  Q_OBJECT

 public:
  // class_name is the class chosen last, as the window keeps it.
  StudentScoring(AppContext& context, DrawPanel& panel, DrawSession& drawing, UploadPanel& upload,
                 const QString& class_name, QObject* parent);

  // List1 shows the criteria of the topic chosen now, none given yet.
  void ShowTopicCriteria();
  // No topic: no criteria.
  void ClearCriteria();
  // The daily log the next score of the class goes to.
  QString DailyLogPath() const;

 private:
  void ScoreFromChoice(const QString& score);
  void ScoreFromCriterion(int row);
  void Record(const QString& line, const QDateTime& moment);

  AppContext& context_;
  DrawPanel& panel_;
  DrawSession& drawing_;
  UploadPanel& upload_;
  const QString& class_name_;
  // The criteria of List1 (by row) given to the student shown. The list is
  // filled afresh for the next one.
  QSet<int> given_criteria_;
  ScoreLog score_log_;
};

}  // namespace zorvanix
