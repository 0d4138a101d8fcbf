#include "server/results_report.h"

#include <QHash>
#include <algorithm>

#include "core/form_encoding.h"
#include "core/numbers.h"
#include "core/score_csv.h"
#include "server/results_page.h"

namespace zorvanix::server {
namespace {

constexpr int kDefaultResults = 20;
constexpr int kMaxResults = 500;

QString StoredTime(const QDate& day) {
  return day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
}

QDate WeekStart(const QDate& day) { return day.addDays(1 - day.dayOfWeek()); }

ResultsRange RangeOf(const Request& request) {
  const QString word = request.Param(u"r").trimmed();
  if (word == u"today") return ResultsRange::kToday;
  if (word == u"week") return ResultsRange::kWeek;
  return ResultsRange::kAll;
}

// The students of a class with the scores of the period: the stored
// counters for all time, otherwise one grouped count over the class's
// index range of the period.
std::vector<StudentSummary> StudentsOfPeriod(Database& db, qint64 class_id, ResultsRange range,
                                             const QDateTime& school_now) {
  std::vector<Row> rows;
  if (range == ResultsRange::kAll) {
    rows = db.Select(
        "SELECT s.id, s.name, s.grp, s.score_count, s.score_sum FROM students s "
        "WHERE s.class_id = ? ORDER BY s.ord, s.id",
        {class_id});
  } else {
    const TimeSpan span = RangeSpan(range, school_now);
    rows = db.Select(
        "SELECT s.id, s.name, s.grp, COALESCE(p.n, 0), COALESCE(p.total, 0) FROM students s "
        "LEFT JOIN (SELECT student_id, COUNT(*) AS n, SUM(value) AS total FROM scores "
        "WHERE class_id = ? AND scored_at >= ? AND scored_at < ? GROUP BY student_id) AS p "
        "ON p.student_id = s.id WHERE s.class_id = ? ORDER BY s.ord, s.id",
        {class_id, span.from, span.to, class_id});
  }
  std::vector<StudentSummary> students;
  students.reserve(rows.size());
  for (const Row& row : rows) {
    StudentSummary student;
    student.id = row[0].toLongLong();
    student.name = row[1].toString();
    student.group = row[2].toInt();
    student.count = row[3].toLongLong();
    student.sum = row[4].toDouble();
    students.push_back(std::move(student));
  }
  return students;
}

// Count and sum per student and trend week, in one grouped query over the
// trend's weeks only.
void AddTrend(Database& db, qint64 class_id, const QDateTime& school_now,
              std::vector<StudentSummary>& students) {
  const std::array<QDate, kTrendWeeks> starts = TrendWeekStarts(school_now);
  static_assert(kTrendWeeks == 8, "the query names eight weeks");
  QVariantList args;
  for (int week = kTrendWeeks - 1; week >= 1; --week) args.append(StoredTime(starts[week]));
  args.append(class_id);
  args.append(StoredTime(starts[0]));
  args.append(StoredTime(starts[kTrendWeeks - 1].addDays(7)));
  const std::vector<Row> rows = db.Select(
      "SELECT sc.student_id, CASE WHEN sc.scored_at >= ? THEN 7 WHEN sc.scored_at >= ? THEN 6 "
      "WHEN sc.scored_at >= ? THEN 5 WHEN sc.scored_at >= ? THEN 4 WHEN sc.scored_at >= ? THEN 3 "
      "WHEN sc.scored_at >= ? THEN 2 WHEN sc.scored_at >= ? THEN 1 ELSE 0 END AS week, "
      "COUNT(*), SUM(sc.value) FROM scores sc "
      "WHERE sc.class_id = ? AND sc.scored_at >= ? AND sc.scored_at < ? "
      "GROUP BY sc.student_id, week",
      args);
  QHash<qint64, StudentSummary*> by_id;
  for (StudentSummary& student : students) by_id.insert(student.id, &student);
  for (const Row& row : rows) {
    StudentSummary* student = by_id.value(row[0].toLongLong());
    const int week = row[1].toInt();
    if (!student || week < 0 || week >= kTrendWeeks) continue;
    student->weeks[static_cast<size_t>(week)] = WeekTotal{row[2].toLongLong(), row[3].toDouble()};
  }
}

// The address of the page with its t, n and mp, escaped as the program
// escapes them, for the filter and download links.
QString PageQuery(const Request& request) {
  return QStringLiteral("t=") + EscapeQueryValue(request.Param(u"t")) + QStringLiteral("&n=") +
         EscapeQueryValue(request.Param(u"n")) + QStringLiteral("&mp=") +
         EscapeQueryValue(request.Param(u"mp"));
}

Reply CsvReply(const std::vector<ScoreListRow>& latest) {
  QList<QStringList> rows;
  rows.reserve(static_cast<qsizetype>(latest.size()));
  for (const ScoreListRow& score : latest) {
    rows.append(
        {score.scored_at, score.student, ShortestDecimal(score.value), score.topic, score.note});
  }
  // Named "计分记录.csv", with a plain name for clients that read only that.
  return Reply{200, QByteArrayLiteral("text/csv; charset=UTF-8"), ScoresCsv(rows),
               QByteArrayLiteral("attachment; filename=\"scores.csv\"; "
                                 "filename*=UTF-8''%E8%AE%A1%E5%88%86%E8%AE%B0%E5%BD%95.csv")};
}

}  // namespace

TimeSpan RangeSpan(ResultsRange range, const QDateTime& school_now) {
  const QDate today = school_now.date();
  switch (range) {
    case ResultsRange::kToday:
      return {StoredTime(today), StoredTime(today.addDays(1))};
    case ResultsRange::kWeek:
      return {StoredTime(WeekStart(today)), StoredTime(WeekStart(today).addDays(7))};
    case ResultsRange::kAll:
      break;
  }
  return {};
}

std::array<QDate, kTrendWeeks> TrendWeekStarts(const QDateTime& school_now) {
  std::array<QDate, kTrendWeeks> starts;
  const QDate current = WeekStart(school_now.date());
  for (int week = 0; week < kTrendWeeks; ++week) {
    starts[static_cast<size_t>(week)] = current.addDays(-7 * (kTrendWeeks - 1 - week));
  }
  return starts;
}

ClassSummary SummarizeClass(Store& store, qint64 class_id, const QString& class_name,
                            ResultsRange range, const QDateTime& school_now) {
  ClassSummary summary{class_name, StudentsOfPeriod(store.Db(), class_id, range, school_now)};
  AddTrend(store.Db(), class_id, school_now, summary.students);
  return summary;
}

Reply ResultsReply(Store& store, const Request& request, qint64 teacher_id,
                   const QDateTime& school_now) {
  const std::optional<Teacher> teacher = store.TeacherById(teacher_id);
  if (!teacher) return Reply::Html(RenderMessagePage(u"无法查看", u"用户不存在"), 403);
  bool ok = false;
  int n = request.Param(u"n").trimmed().toInt(&ok);
  if (!ok || n <= 0) n = kDefaultResults;
  ResultsPageData page;
  page.latest = store.LatestScores(teacher_id, std::min(n, kMaxResults));
  if (request.Has(u"csv")) return CsvReply(page.latest);

  page.teacher_name = teacher->name;
  page.range = RangeOf(request);
  page.query = PageQuery(request);
  page.week_starts = TrendWeekStarts(school_now);
  QStringList listed;
  for (const ScoreListRow& row : page.latest) {
    if (listed.contains(row.class_name)) continue;
    listed.append(row.class_name);
    if (const auto class_id = store.FindClass(teacher_id, row.class_name)) {
      page.classes.push_back(
          SummarizeClass(store, *class_id, row.class_name, page.range, school_now));
    }
  }
  return Reply::Html(RenderResultsPage(page));
}

}  // namespace zorvanix::server
