// Writes a realistic service database for the load benchmark straight
// through the service's own storage code: teachers with classes of students,
// topics with criteria and scores, plus the request files the wrk scripts
// replay (record addresses and upload bodies).
#include <sodium.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <cstdio>

#include "core/form_encoding.h"
#include "core/md5_hex.h"
#include "core/numbers.h"
#include "core/score_line.h"
#include "core/service_time.h"
#include "server/credentials.h"
#include "server/database.h"
#include "server/names.h"
#include "server/store.h"

namespace zorvanix::server {
namespace {

struct Shape {
  int teachers = 200;
  int classes = 10;
  int students = 50;
  int topics = 20;
  int criteria = 5;
  int scores = 1000;  // per teacher: 200 teachers give 200,000 scores
};

QString Account(int t) { return QStringLiteral("teacher%1").arg(t, 3, 10, QLatin1Char('0')); }
QString Login(int t) { return QStringLiteral("登录%1").arg(t); }
QString Operation(int t) { return QStringLiteral("op-%1").arg(t); }
QString ClassName(int c) { return QStringLiteral("初二(%1)班").arg(c + 1); }
QString TopicName(int k) { return QStringLiteral("课题%1").arg(k + 1); }
QString StudentName(int c, int s) {
  static const QString kFamily = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗");
  static const QString kGiven = QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰涛明超秀霞平刚");
  return QString(kFamily[(c * 7 + s) % kFamily.size()]) + kGiven[s % kGiven.size()] +
         kGiven[(s / kGiven.size() + c) % kGiven.size()];
}

double RandomScore(QRandomGenerator& random) {
  static const double kValues[] = {5, 4, 3.5, 3, 2, 1, 0, -1};
  return kValues[random.bounded(static_cast<int>(std::size(kValues)))];
}

QDateTime RandomMoment(QRandomGenerator& random) {
  return QDateTime(QDate(2024, 9, 1).addDays(random.bounded(120)),
                   QTime(8 + random.bounded(9), random.bounded(60), random.bounded(60)));
}

void GenerateTeacher(Store& store, const PasswordHasher& hasher, const Shape& shape, int t) {
  QRandomGenerator random(static_cast<quint32>(t) + 1);
  const NewTeacher teacher{Account(t),
                           QStringLiteral("老师%1").arg(t),
                           QStringLiteral("teacher%1@example.com").arg(t),
                           {},
                           {},
                           {},
                           hasher.Hash(Login(t)),
                           hasher.Hash(Operation(t)),
                           hasher.Hash(Md5Hex(Login(t)))};
  Transaction transaction(store.Db());
  const qint64 id = store.InsertTeacher(teacher, AccountKey(teacher.account));
  for (int k = 0; k < shape.topics; ++k) {
    const qint64 topic = store.InsertTopic(id, TopicName(k), k);
    for (int c = 0; c < shape.criteria; ++c) {
      store.InsertCriterion(topic, QStringLiteral("标准%1-%2").arg(k + 1).arg(c + 1),
                            ShortestDecimal(RandomScore(random)), c);
    }
  }
  std::vector<qint64> students;
  for (int c = 0; c < shape.classes; ++c) {
    const qint64 class_id = store.InsertClass(id, ClassName(c), c);
    for (int s = 0; s < shape.students; ++s) {
      const qint64 student = store.InsertStudent(class_id, StudentName(c, s), s, s + 1);
      store.SetStudentGroup(student, s % 8);
      students.push_back(student);
    }
  }
  std::vector<std::pair<qint64, double>> counters(students.size());
  std::vector<Store::NewScore> scores;
  for (int n = 0; n < shape.scores; ++n) {
    const int s = random.bounded(static_cast<int>(students.size()));
    const double value = RandomScore(random);
    scores.push_back(Store::NewScore{students[static_cast<size_t>(s)], value,
                                     FormatScoreTime(RandomMoment(random)),
                                     TopicName(random.bounded(shape.topics)), QString()});
    counters[static_cast<size_t>(s)].first += 1;
    counters[static_cast<size_t>(s)].second += value;
    if (scores.size() == 1024) {
      store.InsertScores(id, scores);
      scores.clear();
    }
  }
  store.InsertScores(id, scores);
  for (size_t s = 0; s < students.size(); ++s) {
    if (counters[s].first > 0)
      store.AddToCounters(students[s], counters[s].first, counters[s].second);
  }
  transaction.Commit();
}

// `bodies` upload bodies of `lines` score lines, the teachers in turn, one
// body per line of the file, exactly as the program would post them. Every
// line has a second of its own, so no body repeats another: each one the
// benchmark sends stores all its lines (a repeated body would be recognised
// as resent and store nothing).
bool WriteUploadBodies(const QString& path, const Shape& shape, int lines, int bodies) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QRandomGenerator random(4242);
  const QDateTime start(QDate(2025, 3, 3), QTime(8, 0));
  for (int n = 0; n < bodies; ++n) {
    const int t = n % shape.teachers;
    const int c = random.bounded(shape.classes);
    QStringList score_lines;
    for (int i = 0; i < lines; ++i) {
      score_lines.append(ScoreLine(ClassName(c), StudentName(c, random.bounded(shape.students)),
                                   ShortestDecimal(RandomScore(random)) + QStringLiteral("分"),
                                   start.addSecs(static_cast<qint64>(n) * lines + i),
                                   QStringLiteral("标准1-1")));
    }
    FormBody body;
    body.Add(u"username", Account(t))
        .Add(u"password", Operation(t))
        .Add(u"keti", TopicName(0))
        .Add(u"score", score_lines.join(u'|'));
    file.write(body.Bytes() + '\n');
  }
  return true;
}

// One address per teacher, one per line: pattern takes the account and the
// read digest.
bool WriteTargets(const QString& path, const Shape& shape, const QString& pattern) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  for (int t = 0; t < shape.teachers; ++t) {
    file.write(pattern.arg(Account(t), Md5Hex(Login(t))).toLatin1() + '\n');
  }
  return true;
}

bool WriteRecordTargets(const QString& folder, const Shape& shape) {
  const QDir dir(folder);
  // The record download, the score list of the first class, the results page.
  return WriteTargets(dir.filePath(QStringLiteral("records.txt")), shape,
                      QStringLiteral("/score/record.php?t=%1&mp=%2")) &&
         WriteTargets(dir.filePath(QStringLiteral("getscore.txt")), shape,
                      QStringLiteral("/score/getscore.php?class=") +
                          UrlEncodeGb2312(ClassName(0)) + QStringLiteral("&t=%1&mp=%2")) &&
         WriteTargets(dir.filePath(QStringLiteral("results.txt")), shape,
                      QStringLiteral("/score/?t=%1&mp=%2"));
}

}  // namespace
}  // namespace zorvanix::server

int main(int argc, char* argv[]) {
  using namespace zorvanix::server;
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Creates the load-benchmark dataset of the scoring service (default: 200 teachers, each "
      "10 classes x 50 students, 20 topics x 5 criteria, 1,000 scores) and the request files "
      "of the wrk scripts."));
  parser.addHelpOption();
  const QCommandLineOption database(
      QStringLiteral("database"),
      QStringLiteral("sqlite:PATH or postgresql://... (must be empty)."), QStringLiteral("url"));
  const QCommandLineOption out(
      QStringLiteral("out"), QStringLiteral("Folder for records.txt and uploads.txt (default .)."),
      QStringLiteral("dir"), QStringLiteral("."));
  const QCommandLineOption teachers(QStringLiteral("teachers"), QStringLiteral("Teachers (200)."),
                                    QStringLiteral("n"), QStringLiteral("200"));
  const QCommandLineOption scores(QStringLiteral("scores"),
                                  QStringLiteral("Scores per teacher (1000)."), QStringLiteral("n"),
                                  QStringLiteral("1000"));
  const QCommandLineOption lines(QStringLiteral("upload-lines"),
                                 QStringLiteral("Score lines per upload body (20)."),
                                 QStringLiteral("n"), QStringLiteral("20"));
  const QCommandLineOption scale(
      QStringLiteral("scale"),
      QStringLiteral("Multiplies the scores per teacher: --scale 50 stores 50,000 per teacher, "
                     "10 million in all (1)."),
      QStringLiteral("n"), QStringLiteral("1"));
  const QCommandLineOption bodies(QStringLiteral("upload-bodies"),
                                  QStringLiteral("Upload bodies, all different (40000)."),
                                  QStringLiteral("n"), QStringLiteral("40000"));
  parser.addOptions({database, out, teachers, scores, lines, scale, bodies});
  parser.process(app);
  if (!parser.isSet(database)) {
    std::fprintf(stderr, "--database is required\n");
    return 2;
  }
  if (sodium_init() < 0) return 1;
  Shape shape;
  shape.teachers = parser.value(teachers).toInt();
  shape.scores = parser.value(scores).toInt() * std::max(1, parser.value(scale).toInt());

  QString error;
  std::unique_ptr<Database> db =
      Database::Open(parser.value(database), SqliteSync::kNormal, &error);
  // A generated file is thrown away, not recovered: no flushes while writing.
  if (db && !db->IsPostgres()) db->Execute("PRAGMA synchronous=OFF");
  if (!db || !db->Migrate(&error)) {
    std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    return 1;
  }
  Store store(*db);
  const PasswordHasher hasher(PasswordCost::kMinimum);
  try {
    for (int t = 0; t < shape.teachers; ++t) {
      if (store.FindTeacher(AccountKey(Account(t)))) continue;
      GenerateTeacher(store, hasher, shape, t);
      if ((t + 1) % 20 == 0) std::fprintf(stderr, "%d teachers\n", t + 1);
    }
  } catch (const DatabaseError& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
  const QDir dir(parser.value(out));
  if (!WriteRecordTargets(dir.path(), shape) ||
      !WriteUploadBodies(dir.filePath(QStringLiteral("uploads.txt")), shape,
                         parser.value(lines).toInt(), parser.value(bodies).toInt())) {
    std::fprintf(stderr, "cannot write the request files in %s\n", qPrintable(dir.path()));
    return 1;
  }
  return 0;
}
