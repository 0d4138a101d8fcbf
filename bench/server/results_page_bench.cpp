// Times the results page of one teacher with many scores: the teacher is
// written through the service's own storage code into a fresh SQLite file,
// then the page (and its CSV) is rendered again and again exactly as the
// service renders it for /score/?t=…&n=…&mp=…, and the wall-clock and CPU
// time per page are printed for each date filter.
//   zorvanix_bench_results [--scores N] [--weeks W] [--runs R] [--database PATH]
#include <sodium.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/md5_hex.h"
#include "core/service_time.h"
#include "server/credentials.h"
#include "server/database.h"
#include "server/names.h"
#include "server/results_page.h"
#include "server/results_report.h"
#include "server/store.h"

namespace zorvanix::server {
namespace {

constexpr int kClasses = 10;
constexpr int kStudents = 50;
constexpr int kUploadLines = 20;

// CPU of the rendering thread alone (the database's log threads run beside it).
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A teacher of 10 classes x 50 students in 8 groups, with `scores` scores
// spread evenly over the last `weeks` weeks up to now; the last 20 are one
// upload to the first class, as a lesson's upload is.
void WriteTeacher(Store& store, int scores, int weeks, const QDateTime& now) {
  const PasswordHasher hasher(PasswordCost::kMinimum);
  Transaction transaction(store.Db());
  const qint64 id = store.InsertTeacher(NewTeacher{QStringLiteral("bench"),
                                                   QStringLiteral("王老师"),
                                                   QStringLiteral("b@example.com"),
                                                   {},
                                                   {},
                                                   {},
                                                   hasher.Hash(u"login"),
                                                   hasher.Hash(u"op"),
                                                   hasher.Hash(Md5Hex(QStringLiteral("login")))},
                                        AccountKey(QStringLiteral("bench")));
  store.InsertTopic(id, QStringLiteral("课堂提问"), 0);
  std::vector<qint64> students;
  for (int c = 0; c < kClasses; ++c) {
    const qint64 class_id = store.InsertClass(id, QStringLiteral("初二(%1)班").arg(c + 1), c);
    for (int s = 0; s < kStudents; ++s) {
      const qint64 student = store.InsertStudent(
          class_id, QStringLiteral("学生%1-%2").arg(c + 1).arg(s + 1), s, s + 1);
      store.SetStudentGroup(student, s % 8);
      students.push_back(student);
    }
  }
  static const double kValues[] = {5, 4, 3.5, 3, 2, 1, 0, -1};
  QRandomGenerator random(7);
  const qint64 span = qint64(weeks) * 7 * 24 * 3600;
  const QDateTime first = now.addSecs(-span);
  std::vector<std::pair<qint64, double>> counters(students.size());
  std::vector<Store::NewScore> batch;
  for (int n = 0; n < scores; ++n) {
    const bool upload = n >= scores - kUploadLines;
    const int s =
        upload ? random.bounded(kStudents) : random.bounded(static_cast<int>(students.size()));
    const double value = kValues[random.bounded(8)];
    const QDateTime at = first.addSecs(span * n / std::max(1, scores));
    batch.push_back(Store::NewScore{students[size_t(s)], value, FormatScoreTime(at),
                                    QStringLiteral("课堂提问"), QString()});
    counters[size_t(s)].first += 1;
    counters[size_t(s)].second += value;
    if (batch.size() == 1024) {
      store.InsertScores(id, batch);
      batch.clear();
    }
  }
  store.InsertScores(id, batch);
  for (size_t s = 0; s < students.size(); ++s) {
    if (counters[s].first > 0)
      store.AddToCounters(students[s], counters[s].first, counters[s].second);
  }
  transaction.Commit();
}

Request PageRequest(const QString& range, bool csv) {
  Request request;
  request.path = QStringLiteral("/score/");
  request.query = {{QStringLiteral("t"), QStringLiteral("bench")},
                   {QStringLiteral("n"), QString::number(kUploadLines)},
                   {QStringLiteral("mp"), Md5Hex(QStringLiteral("login"))}};
  if (!range.isEmpty()) request.query.append({QStringLiteral("r"), range});
  if (csv) request.query.append({QStringLiteral("csv"), QStringLiteral("1")});
  request.address = QStringLiteral("127.0.0.1");
  return request;
}

}  // namespace
}  // namespace zorvanix::server

int main(int argc, char** argv) {
  using namespace zorvanix::server;
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Times the results page of one teacher with many scores (SQLite, in a temporary folder)."));
  parser.addHelpOption();
  const QCommandLineOption scores(QStringLiteral("scores"), QStringLiteral("Scores (100000)."),
                                  QStringLiteral("n"), QStringLiteral("100000"));
  const QCommandLineOption weeks(QStringLiteral("weeks"),
                                 QStringLiteral("Weeks the scores spread over, up to now (40)."),
                                 QStringLiteral("n"), QStringLiteral("40"));
  const QCommandLineOption runs(QStringLiteral("runs"),
                                QStringLiteral("Pages timed per case (200)."), QStringLiteral("n"),
                                QStringLiteral("200"));
  const QCommandLineOption keep(
      QStringLiteral("database"),
      QStringLiteral("Write the teacher to this SQLite file (kept) instead."),
      QStringLiteral("path"));
  parser.addOptions({scores, weeks, runs, keep});
  parser.process(app);
  if (sodium_init() < 0) return 1;

  QTemporaryDir dir;
  QString error;
  std::unique_ptr<Database> db = Database::Open(
      QStringLiteral("sqlite:") +
          (parser.isSet(keep) ? parser.value(keep) : dir.filePath(QStringLiteral("results.db"))),
      SqliteSync::kNormal, &error);
  if (!db || !db->Migrate(&error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  Store store(*db);
  const QDateTime now =
      QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
  const int score_count = parser.value(scores).toInt();
  const int week_count = std::max(1, parser.value(weeks).toInt());
  QElapsedTimer written;
  written.start();
  WriteTeacher(store, score_count, week_count, now);
  std::printf("teacher with %d scores over %d weeks written in %.1f s\n", score_count, week_count,
              written.elapsed() / 1000.0);
  const std::optional<Teacher> teacher = store.FindTeacher(AccountKey(QStringLiteral("bench")));
  if (!teacher) return 1;

  struct Case {
    const char* label;
    QString range;
    bool csv;
  };
  const Case cases[] = {{"page, 全部 (all)", QString(), false},
                        {"page, 本周 (week)", QStringLiteral("week"), false},
                        {"page, 今天 (today)", QStringLiteral("today"), false},
                        {"CSV of the upload", QString(), true}};
  const int run_count = std::max(1, parser.value(runs).toInt());
  for (const Case& c : cases) {
    const Request request = PageRequest(c.range, c.csv);
    qsizetype bytes = 0;
    std::vector<double> walls;
    ResultsReply(store, request, teacher->id, now);  // warm: statements prepared, pages cached
    const double cpu_before = CpuSeconds();
    for (int i = 0; i < run_count; ++i) {
      QElapsedTimer timer;
      timer.start();
      const Reply reply = ResultsReply(store, request, teacher->id, now);
      walls.push_back(timer.nsecsElapsed() / 1e6);
      if (reply.status != 200) {
        std::fprintf(stderr, "%s: status %d\n", c.label, reply.status);
        return 1;
      }
      bytes = reply.body.size();
    }
    const double cpu = (CpuSeconds() - cpu_before) * 1000 / run_count;
    std::sort(walls.begin(), walls.end());
    std::printf(
        "RESULT %-22s p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms  CPU %6.2f ms/page  %lld bytes\n",
        c.label, walls[walls.size() / 2], walls[walls.size() * 99 / 100], walls.back(), cpu,
        static_cast<long long>(bytes));
  }
  // Where the time of a page goes: the aggregate queries of the uploaded
  // class, and the rendering of what they read.
  const auto class_id = store.FindClass(teacher->id, QStringLiteral("初二(1)班"));
  if (!class_id) return 1;
  ResultsPageData data;
  data.teacher_name = teacher->name;
  data.latest = store.LatestScores(teacher->id, kUploadLines);
  data.week_starts = TrendWeekStarts(now);
  data.query = QStringLiteral("t=bench&n=20&mp=0");
  for (const auto& [label, range] : {std::pair{"queries, 全部", ResultsRange::kAll},
                                     std::pair{"queries, 本周", ResultsRange::kWeek}}) {
    const double before = CpuSeconds();
    for (int i = 0; i < run_count; ++i) {
      data.classes = {SummarizeClass(store, *class_id, QStringLiteral("初二(1)班"), range, now)};
    }
    std::printf("RESULT %-22s CPU %6.2f ms/page\n", label,
                (CpuSeconds() - before) * 1000 / run_count);
  }
  {
    const double start = CpuSeconds();
    for (int i = 0; i < run_count; ++i) {
      store.TeacherById(teacher->id);
      store.LatestScores(teacher->id, kUploadLines);
      store.FindClass(teacher->id, QStringLiteral("初二(1)班"));
    }
    std::printf("RESULT %-22s CPU %6.2f ms/page\n", "teacher, upload, class",
                (CpuSeconds() - start) * 1000 / run_count);
  }
  const double before = CpuSeconds();
  for (int i = 0; i < run_count; ++i) RenderResultsPage(data);
  std::printf("RESULT %-22s CPU %6.2f ms/page\n", "rendering alone",
              (CpuSeconds() - before) * 1000 / run_count);
  return 0;
}
