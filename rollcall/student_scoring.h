// Scores for the student on the name box: a plain score from the score
// choice (once, then the student is no longer current) or the points of a
// criterion of the topic (each criterion once per student). Every score goes
// to the day's log at once and joins the pending list of the upload panel.
#pragma once

#include <QDateTime>
#include <QList>
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

  // The pending line numbered id was taken back. What giving it changed on
  // the draw panel is undone while it still stands for that score: a plain
  // score given last makes its student the one to score again, unless a
  // draw or pick came since; a criterion is offered again while the
  // criteria list is the one it was given from.
  void TakeBack(quint64 id);

 private:
  // One score given here, as long as it may still be taken back.
  struct GivenScore {
    quint64 id = 0;
    QString student;
    int criterion_row = -1;  // -1 for a plain score
    int criteria_load = 0;   // which filling of List1 the criterion came from
  };

  void ScoreFromChoice(const QString& score);
  void ScoreFromCriterion(int row);
  void Record(const QString& line, const QDateTime& moment, int criterion_row);
  void TakeBackPlain(const GivenScore& score, bool given_last);
  void TakeBackCriterion(const GivenScore& score);

  AppContext& context_;
  DrawPanel& panel_;
  DrawSession& drawing_;
  UploadPanel& upload_;
  const QString& class_name_;
  // The criteria of List1 (by row) given to the student shown. The list is
  // filled afresh for the next one.
  QSet<int> given_criteria_;
  int criteria_load_ = 0;  // counts the fillings of List1
  // The latest scores given, oldest first.
  QList<GivenScore> given_;
  ScoreLog score_log_;
};

}  // namespace zorvanix
