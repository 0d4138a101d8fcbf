#include "rollcall/student_scoring.h"

#include "core/score_line.h"
#include "rollcall/draw_panel.h"
#include "rollcall/draw_session.h"
#include "rollcall/name_search_box.h"
#include "rollcall/score_upload.h"
#include "rollcall/topic_criteria.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {

StudentScoring::StudentScoring(AppContext& context, DrawPanel& panel, DrawSession& drawing,
                               UploadPanel& upload, const QString& class_name, QObject* parent)
    : QObject(parent),
      context_(context),
      panel_(panel),
      drawing_(drawing),
      upload_(upload),
      class_name_(class_name),
      score_log_(context.config, *context.prompter) {
  connect(&panel_, &DrawPanel::ScoreChosen, this, &StudentScoring::ScoreFromChoice);
  connect(&panel_, &DrawPanel::CriterionChosen, this, &StudentScoring::ScoreFromCriterion);
}

void StudentScoring::ShowTopicCriteria() {
  given_criteria_.clear();
  panel_.ShowCriteria(CriteriaEntries(*context_.cache, panel_.Topic()));
}

void StudentScoring::ClearCriteria() {
  given_criteria_.clear();
  panel_.ClearCriteria();
}

QString StudentScoring::DailyLogPath() const {
  return score_log_.PathFor(context_.session->CurrentUser(), class_name_,
                            context_.clock->Now().date());
}

void StudentScoring::ScoreFromChoice(const QString& score) {
  const QString name = panel_.Name();
  if (name.isEmpty() || name != drawing_.Student()) return;
  if (!AcceptGbkText(*context_.prompter, score)) return;
  const QDateTime now = context_.clock->Now();
  Record(ScoreLine(class_name_, name, score, now, QString()), now);
  drawing_.ScoreGiven();
  panel_.EnableScoring(false);
  panel_.Search().Focus();
}

void StudentScoring::ScoreFromCriterion(int row) {
  const QString entry = panel_.CriterionText(row);
  const QString name = panel_.Name();
  if (entry.isEmpty() || given_criteria_.contains(row) || name.isEmpty()) return;
  const QString score = CriterionScore(entry);
  panel_.ShowCriterionScore(score);
  const QDateTime now = context_.clock->Now();
  Record(ScoreLine(class_name_, name, score, now, CriterionText(entry)), now);
  given_criteria_.insert(row);
  panel_.MarkCriterionGiven(row);
}

// A log that cannot be written does not cost the score.
void StudentScoring::Record(const QString& line, const QDateTime& moment) {
  score_log_.Append(context_.session->CurrentUser(), class_name_, moment, line);
  upload_.AddPendingLine(line);
}

}  // namespace zorvanix
