// The results page a teacher opens after an upload (/score/?t=…&n=…&mp=…)
// and its CSV download: what is read for it and the reply. A plain function
// of the request, the teacher and the school's clock over the store, so it
// can run on any thread that has a connection of its own.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

#include "server/request.h"
#include "server/store.h"

namespace zorvanix::server {

// The period the averages and group totals cover (the address's "r").
enum class ResultsRange { kAll, kToday, kWeek };
inline constexpr int kTrendWeeks = 8;

struct WeekTotal {
  qint64 count = 0;
  double sum = 0;
};

struct StudentSummary {
  qint64 id = 0;
  QString name;
  int group = 0;     // 0 to 15, as the program numbers them
  qint64 count = 0;  // scores in the period
  double sum = 0;
  // The last weeks, oldest first; the last one is the current week.
  std::array<WeekTotal, kTrendWeeks> weeks{};
};

struct ClassSummary {
  QString name;
  std::vector<StudentSummary> students;  // in class order
};

// Score times as stored ("yyyy-MM-dd hh:mm:ss"): [from, to).
struct TimeSpan {
  QString from;
  QString to;
};
// The period of a range at the school's moment now (Monday starts a week);
// nothing for kAll.
TimeSpan RangeSpan(ResultsRange range, const QDateTime& school_now);
// The first day of each trend week, oldest first.
std::array<QDate, kTrendWeeks> TrendWeekStarts(const QDateTime& school_now);

// Every student of the class with the scores of the period and the weekly
// totals of the trend, by a few aggregate queries.
ClassSummary SummarizeClass(Store& store, qint64 class_id, const QString& class_name,
                            ResultsRange range, const QDateTime& school_now);

// The page, or with "csv" in the address the page's records as a CSV file.
Reply ResultsReply(Store& store, const Request& request, qint64 teacher_id,
                   const QDateTime& school_now);

}  // namespace zorvanix::server
