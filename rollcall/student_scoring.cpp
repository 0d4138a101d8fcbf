#include "rollcall/student_scoring.h"

#include "core/score_line.h"
#include "rollcall/draw_panel.h"
#include "rollcall/draw_session.h"
#include "rollcall/name_search_box.h"
#include "rollcall/score_upload.h"
#include "rollcall/topic_criteria.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {
namespace {

// Scores further back than this are only taken back from the pending list.
constexpr qsizetype kRememberedScores = 200;

}  // namespace

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
  ++criteria_load_;
  panel_.ShowCriteria(CriteriaEntries(*context_.cache, panel_.Topic()));
}

void StudentScoring::ClearCriteria() {
  given_criteria_.clear();
  ++criteria_load_;
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
  Record(ScoreLine(class_name_, name, score, now, QString()), now, -1);
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
  Record(ScoreLine(class_name_, name, score, now, CriterionText(entry)), now, row);
  given_criteria_.insert(row);
  panel_.MarkCriterionGiven(row);
}

// A log that cannot be written does not cost the score.
void StudentScoring::Record(const QString& line, const QDateTime& moment, int criterion_row) {
  score_log_.Append(context_.session->CurrentUser(), class_name_, moment, line);
  const quint64 id = upload_.AddPendingLine(line);
  given_.append({id, panel_.Name(), criterion_row, criteria_load_});
  if (given_.size() > kRememberedScores) given_.removeFirst();
}

void StudentScoring::TakeBack(quint64 id) {
  for (qsizetype i = given_.size() - 1; i >= 0; --i) {
    if (given_[i].id != id) continue;
    const GivenScore score = given_.takeAt(i);
    if (score.criterion_row < 0) {
      TakeBackPlain(score, i == given_.size());
    } else {
      TakeBackCriterion(score);
    }
    return;
  }
}

// The name box still shows the student and nobody has been drawn or picked
// since: the teacher gives the right score next.
void StudentScoring::TakeBackPlain(const GivenScore& score, bool given_last) {
  if (!given_last || drawing_.Rolling() || !drawing_.Student().isEmpty() ||
      panel_.Name() != score.student) {
    return;
  }
  drawing_.TakeShownName();
  panel_.EnableScoring(true);
  panel_.ClearScore();
}

void StudentScoring::TakeBackCriterion(const GivenScore& score) {
  if (score.criteria_load != criteria_load_ || !given_criteria_.remove(score.criterion_row)) {
    return;
  }
  panel_.UnmarkCriterion(score.criterion_row);
  // Combo1 shows the score of the criterion given before, if any is left.
  for (qsizetype i = given_.size() - 1; i >= 0; --i) {
    const GivenScore& earlier = given_[i];
    if (earlier.criterion_row >= 0 && earlier.criteria_load == criteria_load_ &&
        given_criteria_.contains(earlier.criterion_row)) {
      panel_.ShowCriterionScore(CriterionScore(panel_.CriterionText(earlier.criterion_row)));
      return;
    }
  }
  // None left: the score choice is open again for the current student.
  panel_.ClearScore();
  const bool current =
      !drawing_.Rolling() && !drawing_.Student().isEmpty() && drawing_.Student() == panel_.Name();
  if (current) panel_.EnableScoring(true);
}

}  // namespace zorvanix
