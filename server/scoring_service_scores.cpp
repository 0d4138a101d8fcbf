// Scores: the upload from the roll-call window, the score records of the
// management window and the results page.
#include <QHash>

#include "core/numbers.h"
#include "core/score_line.h"
#include "core/service_time.h"
#include "server/names.h"
#include "server/results_report.h"
#include "server/scoring_service.h"

namespace zorvanix::server {
namespace {

// Rendered score lists kept in memory, all teachers together.
constexpr qsizetype kMaxScoreListBytes = 64 << 20;
// Class names remembered per teacher (unknown names included).
constexpr qsizetype kMaxRostersPerTeacher = 200;

// Score times the service keeps: a time outside these years is a typo or a
// broken clock, and would sort a score before or after everything else.
bool IsPlausibleScoreTime(const QDateTime& moment) {
  return moment.isValid() && moment.date().year() >= 1970 && moment.date().year() <= 2100;
}

// The time of a line as the program writes it ("yyyy-MM-dd HH:mm:ss", a real
// moment of the kept years) stands as it is: nearly every line comes so, and
// reading and writing it again through the calendar would give the same text.
std::optional<QString> CanonicalScoreTime(const QString& text) {
  if (text.size() != 19) return std::nullopt;
  const QChar* c = text.constData();
  int digits[14];
  int n = 0;
  for (int i = 0; i < 19; ++i) {
    const char16_t ch = c[i].unicode();
    const char16_t separator = i == 4 || i == 7     ? u'-'
                               : i == 10            ? u' '
                               : i == 13 || i == 16 ? u':'
                                                    : 0;
    if (separator) {
      if (ch != separator) return std::nullopt;
    } else {
      if (ch < u'0' || ch > u'9') return std::nullopt;
      digits[n++] = ch - u'0';
    }
  }
  const auto number = [&](int from, int count) {
    int value = 0;
    for (int i = from; i < from + count; ++i) value = value * 10 + digits[i];
    return value;
  };
  const int year = number(0, 4);
  if (year < 1970 || year > 2100 || !QDate::isValid(year, number(4, 2), number(6, 2)) ||
      !QTime::isValid(number(8, 2), number(10, 2), number(12, 2))) {
    return std::nullopt;
  }
  return text;
}

struct UploadLine {
  QString class_name;
  QString student;
  double value = 0;
  QString scored_at;
  QString note;
};

// One score line "class TAB student TAB score text TAB time TAB criterion";
// number counts the lines from 1 for the refusal.
std::optional<UploadLine> ParseUploadLine(QStringView line, int number, QString* refusal) {
  const QStringList fields = ScoreLineFields(line);
  std::optional<QString> canonical = CanonicalScoreTime(fields[3]);
  std::optional<QDateTime> time;
  if (!canonical) time = ParseDateTimeText(fields[3]);
  if (fields[0].isEmpty() || fields[1].isEmpty()) {
    *refusal = QStringLiteral("第%1行缺少班级或姓名：%2").arg(number).arg(line);
  } else if (!canonical && (!time || !IsPlausibleScoreTime(*time))) {
    *refusal = QStringLiteral("第%1行的时间无法识别：%2").arg(number).arg(fields[3]);
  } else if (!fields[4].contains(u'\t') && !fields[4].contains(u'\r') &&
             !fields[4].contains(u'\n') && !IsSingleField(fields[4])) {
    // NUL and the other control characters; not echoed back.
    *refusal = QStringLiteral("第%1行的评分标准不能包含控制字符").arg(number);
  } else if (!IsSingleField(fields[4])) {
    *refusal = QStringLiteral("第%1行的字段过多：%2").arg(number).arg(line);
  } else {
    return UploadLine{fields[0], fields[1], LeadingNumber(fields[2]),
                      canonical ? std::move(*canonical) : FormatScoreTime(*time), fields[4]};
  }
  return std::nullopt;
}

QString ScoreRecordLine(const ScoreListRow& row) {
  return QStringList{QString::number(row.id), row.student, ShortestDecimal(row.value),
                     row.scored_at,           row.topic,   row.note}
      .join(u'\t');
}

}  // namespace

Reply ScoringService::Upload(const Request& request, qint64 teacher_id) {
  const QString topic = request.Param(u"keti");
  if (!IsSingleField(topic)) return Reply::Text(u"课题名称不能包含制表符或换行符");
  QList<UploadLine> lines;
  for (QStringView piece : QStringView(request.Param(u"score")).split(u'|')) {
    while (piece.endsWith(u'\n') || piece.endsWith(u'\r')) piece.chop(1);
    if (piece.isEmpty()) continue;
    QString problem;
    const auto line = ParseUploadLine(piece, static_cast<int>(lines.size()) + 1, &problem);
    if (!line) return Reply::Text(problem);
    lines.append(*line);
  }
  if (lines.isEmpty()) return Reply::Text(u"没有需要上传的计分");

  // All lines or none: the first unknown class or student refuses the batch
  // before anything is written. (On a writer the upload has a transaction
  // of its own; here only the rosters are read.)
  std::optional<Transaction> transaction;
  if (!writers_) transaction.emplace(db_);
  QList<qint64> classes;
  std::vector<Store::NewScore> scores;
  scores.reserve(static_cast<size_t>(lines.size()));
  for (int i = 0; i < lines.size(); ++i) {
    const UploadLine& line = lines[i];
    const Roster* roster = RosterOf(teacher_id, line.class_name);
    if (!roster) {
      return Reply::Text(QStringLiteral("第%1行：班级“%2”不存在").arg(i + 1).arg(line.class_name));
    }
    const auto student = roster->students.constFind(line.student);
    if (student == roster->students.constEnd()) {
      return Reply::Text(QStringLiteral("第%1行：班级“%2”中没有学生“%3”")
                             .arg(i + 1)
                             .arg(line.class_name, line.student));
    }
    scores.push_back(
        Store::NewScore{*student, line.value, line.scored_at, topic, line.note, roster->class_id});
    if (!classes.contains(roster->class_id)) classes.append(roster->class_id);
  }
  // A line already stored counts as delivered: when the connection broke
  // after the service stored a batch, the same batch arrives again (resent by
  // the network layer, or uploaded again as the teacher was advised) and must
  // not be stored twice. The same line twice in one batch is stored once.
  const auto same = [](const Store::NewScore& a, const Store::NewScore& b) {
    return a.student_id == b.student_id && a.value == b.value && a.scored_at == b.scored_at &&
           a.topic == b.topic && a.note == b.note;
  };
  std::vector<Store::NewScore> distinct;
  distinct.reserve(scores.size());
  for (Store::NewScore& score : scores) {
    const auto is_same = [&](const Store::NewScore& other) { return same(score, other); };
    if (std::none_of(distinct.begin(), distinct.end(), is_same))
      distinct.push_back(std::move(score));
  }
  if (writers_) {
    // Stored by the teacher's writer once this turn's changes are
    // committed; the answer is the writer's (see Proceed).
    ++storing_[teacher_id];
    to_writer_ = WriterUpload{teacher_id, topic, std::move(distinct), classes};
    return Reply::Text(kSuccess);
  }
  if (db_.IsPostgres()) {
    // The check, the lines, the counters and the revision in one round trip.
    const qint64 revision = store_.StoreNewScores(teacher_id, topic, distinct);
    CommitScores(*transaction, teacher_id, classes, revision);
    return Reply::Text(kSuccess);
  }
  const std::vector<Store::NewScore> stored = store_.ScoresAt(distinct);
  std::vector<Store::NewScore> fresh;
  fresh.reserve(distinct.size());
  QHash<qint64, QPair<qint64, double>> counters;  // student -> (count, sum)
  for (Store::NewScore& score : distinct) {
    const auto is_same = [&](const Store::NewScore& other) { return same(score, other); };
    if (std::any_of(stored.begin(), stored.end(), is_same)) continue;
    QPair<qint64, double>& counter = counters[score.student_id];
    counter.first += 1;
    counter.second += score.value;
    fresh.push_back(std::move(score));
  }
  std::vector<Store::CounterChange> changes;
  changes.reserve(static_cast<size_t>(counters.size()));
  for (auto it = counters.constBegin(); it != counters.constEnd(); ++it)
    changes.push_back(Store::CounterChange{it.key(), it->first, it->second});
  store_.StoreScores(teacher_id, fresh, changes);
  CommitScores(*transaction, teacher_id, classes);
  return Reply::Text(kSuccess);
}

void ScoringService::StoreOnWriter(WriterUpload upload,
                                   const std::function<void(const Reply&)>& respond) {
  const qint64 teacher_id = upload.teacher_id;
  QList<qint64> class_ids = upload.class_ids;
  writers_->Run(
      teacher_id,
      [upload = std::move(upload)](Database& db, Store& store) {
        // The check, the lines, the counters and the revision in one round
        // trip, in the writer's batch.
        Transaction transaction(db);
        const qint64 revision =
            store.StoreNewScores(upload.teacher_id, upload.topic, upload.scores);
        transaction.Commit();
        return WriterPool::Outcome{Reply::Text(kSuccess), revision};
      },
      [this, teacher_id, class_ids, respond](const WriterPool::Outcome& outcome, bool kept) {
        if (kept && outcome.revision > 0) ScoresStored(teacher_id, class_ids, outcome.revision);
        respond(kept ? outcome.reply : LostChange());
        DoneStoring(teacher_id);
      });
}

void ScoringService::DoneStoring(qint64 teacher_id) {
  const auto storing = storing_.find(teacher_id);
  if (storing == storing_.end() || --*storing > 0) return;
  storing_.erase(storing);
  // A held upload may hand a new one to the writer: those behind it are
  // held again, in order.
  const std::vector<std::function<void()>> held = held_.take(teacher_id);
  for (const auto& run : held) run();
}

Reply ScoringService::GetScores(Store& store, const Request& request, qint64 teacher_id,
                                const QDateTime&) {
  qint64 class_id = 0;
  return ScoreList(store, teacher_id, request.Param(u"class"), &class_id);
}

Reply ScoringService::ScoreList(Store& store, qint64 teacher_id, const QString& class_name,
                                qint64* class_id) {
  const auto id = store.FindClass(teacher_id, class_name);
  *class_id = id.value_or(0);
  if (!id) return Reply::Text(u"");
  QStringList lines;
  for (const ScoreListRow& row : store.ScoresOfClass(*id)) lines.append(ScoreRecordLine(row));
  return Reply::Text(lines.join(u"\r\n"));
}

// Rendered once, then served as it stands until a score of the class
// changes: re-reading a long list costs a copy, not a query.
void ScoringService::KeepScoreList(qint64 teacher_id, const QString& class_name, qint64 class_id,
                                   const Reply& list) {
  const qsizetype bytes = list.body.size() + list.response.size();
  if (score_list_bytes_ + bytes > kMaxScoreListBytes) {
    for (ClassCaches& other : class_caches_) other.score_lists.clear();
    score_list_bytes_ = 0;
  }
  ClassCaches& caches = class_caches_[teacher_id];
  if (caches.class_ids.size() >= kMaxRostersPerTeacher) caches.class_ids.clear();
  caches.class_ids.insert(class_name, class_id);
  const auto old = caches.score_lists.constFind(class_id);
  if (old != caches.score_lists.constEnd()) {
    score_list_bytes_ -= old->body.size() + old->response.size();
  }
  score_list_bytes_ += bytes;
  caches.score_lists.insert(class_id, list);
}

const ScoringService::Roster* ScoringService::RosterOf(qint64 teacher_id,
                                                       const QString& class_name) {
  ClassCaches& caches = class_caches_[teacher_id];
  auto it = caches.rosters.find(class_name);
  if (it == caches.rosters.end()) {
    std::optional<Roster> roster;
    if (const auto class_id = store_.FindClass(teacher_id, class_name)) {
      roster.emplace();
      roster->class_id = *class_id;
      for (const Named& student : store_.Students(*class_id))
        roster->students.insert(student.name, student.id);
    }
    if (caches.rosters.size() >= kMaxRostersPerTeacher) caches.rosters.clear();
    it = caches.rosters.insert(class_name, std::move(roster));
  }
  return *it ? &**it : nullptr;
}

void ScoringService::ScoresChanged(qint64 teacher_id, const QList<qint64>& class_ids) {
  records_.remove(teacher_id);
  const auto caches = class_caches_.find(teacher_id);
  if (caches == class_caches_.end()) return;
  for (const qint64 class_id : class_ids) {
    const auto list = caches->score_lists.find(class_id);
    if (list == caches->score_lists.end()) continue;
    score_list_bytes_ -= list->body.size() + list->response.size();
    caches->score_lists.erase(list);
  }
}

void ScoringService::DropClassCaches(qint64 teacher_id) {
  const auto caches = class_caches_.find(teacher_id);
  if (caches == class_caches_.end()) return;
  for (const Reply& list : std::as_const(caches->score_lists))
    score_list_bytes_ -= list.body.size() + list.response.size();
  class_caches_.erase(caches);
}

Reply ScoringService::EditScore(const Request& request, qint64 teacher_id) {
  const auto id = ParseId(request.Param(u"scoreid"));
  if (!id) return Reply::Text(u"无效的ID");
  const auto score = store_.ScoreById(*id);
  // Another teacher's record is answered like a missing one.
  if (!score || score->teacher_id != teacher_id) return Reply::Text(u"计分记录不存在");
  bool ok = false;
  const qint64 seconds = request.Param(u"time").trimmed().toLongLong(&ok);
  const QDateTime moment = ServiceTimeToDateTime(seconds);
  if (!ok || !IsPlausibleScoreTime(moment))
    return Reply::Text(u"时间格式不正确");
  const QString topic = request.Param(u"keti");
  const QString note = request.Param(u"addtion");
  if (!note.contains(u'\t') && !note.contains(u'\r') && !note.contains(u'\n') &&
      !IsSingleField(note)) {
    return Reply::Text(u"评分标准不能包含控制字符");
  }
  if (!IsSingleField(topic) || !IsSingleField(note)) {
    return Reply::Text(u"课题和说明不能包含制表符或换行符");
  }
  const double value = LeadingNumber(request.Param(u"score"));
  Transaction transaction(db_);
  store_.UpdateScore(*id, value, FormatScoreTime(moment), topic, note);
  store_.AddToCounters(score->student_id, 0, value - score->value);
  const std::optional<qint64> class_id = store_.StudentClass(score->student_id);
  if (class_id) {
    CommitScores(transaction, teacher_id, {*class_id});
  } else {
    CommitChange(transaction, teacher_id);
  }
  return Reply::Text(kSuccess);
}

Reply ScoringService::DeleteScores(const Request& request, qint64 teacher_id) {
  QString bad_id;
  const auto ids = ParseIdList(request.Param(u"delid"), &bad_id);
  if (!ids) return Reply::Text(QStringLiteral("无效的ID：%1").arg(bad_id));
  const QString class_name = request.Param(u"class");
  const auto class_id = store_.FindClass(teacher_id, class_name);
  if (!class_id) return Reply::Text(u"班级不存在");
  Transaction transaction(db_);
  // IDs are never given twice, so an ID that is gone was deleted before and
  // the program may send it again; any other ID that is not a score of the
  // named class refuses the whole set.
  QList<ScoreRow> present;
  QStringList strangers;
  for (const qint64 id : *ids) {
    const auto score = store_.ScoreById(id);
    if (!score) continue;
    if (score->teacher_id != teacher_id || store_.StudentClass(score->student_id) != class_id) {
      strangers.append(QString::number(id));
    } else {
      present.append(*score);
    }
  }
  if (!strangers.isEmpty()) {
    return Reply::Text(QStringLiteral("计分%1不属于班级“%2”，未删除任何计分")
                           .arg(strangers.join(u'、'), class_name));
  }
  for (const ScoreRow& score : present) {
    store_.DeleteScore(score.id);
    store_.AddToCounters(score.student_id, -1, -score.value);
  }
  CommitScores(transaction, teacher_id, {*class_id});
  return Reply::Text(kSuccess);
}

Reply ScoringService::Results(Store& store, const Request& request, qint64 teacher_id,
                              const QDateTime& school_now) {
  return ResultsReply(store, request, teacher_id, school_now);
}

}  // namespace zorvanix::server
