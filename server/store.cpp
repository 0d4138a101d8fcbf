#include "server/store.h"

#include <QDateTime>
#include <QLocale>

namespace zorvanix::server {
namespace {

QString Text(const QVariant& value) { return value.toString(); }
QByteArray Hash(const QVariant& value) { return value.toString().toLatin1(); }
QVariant HashValue(const QByteArray& hash) { return QString::fromLatin1(hash); }

// The first column of a row that may be missing: an id, or the owner's id.
std::optional<qint64> IdFrom(const std::optional<Row>& row) {
  if (!row) return std::nullopt;
  return row->at(0).toLongLong();
}

// A row of the SELECT id, account, name, email, the three hashes and the
// two revisions.
std::optional<Teacher> TeacherFrom(const std::optional<Row>& row) {
  if (!row) return std::nullopt;
  const Row& r = *row;
  return Teacher{r[0].toLongLong(), Text(r[1]), Text(r[2]),        Text(r[3]),       Hash(r[4]),
                 Hash(r[5]),        Hash(r[6]), r[7].toLongLong(), r[8].toLongLong()};
}

// Rows of the SELECT sc.id, c.name, s.name, sc.value, sc.scored_at, sc.topic, sc.note.
std::vector<ScoreListRow> ScoreListFrom(const std::vector<Row>& rows) {
  std::vector<ScoreListRow> scores;
  scores.reserve(rows.size());
  for (const Row& row : rows) {
    scores.push_back(ScoreListRow{row[0].toLongLong(), Text(row[1]), Text(row[2]),
                                  row[3].toDouble(), Text(row[4]), Text(row[5]), Text(row[6])});
  }
  return scores;
}

}  // namespace

std::vector<Named> Store::NamedRows(std::vector<Row> rows) {
  std::vector<Named> named;
  named.reserve(rows.size());
  for (const Row& row : rows) named.push_back(Named{row[0].toLongLong(), Text(row[1])});
  return named;
}

// --- Teachers ---------------------------------------------------------------

std::optional<Teacher> Store::FindTeacher(const QString& account_key) {
  return TeacherFrom(db_.SelectOne(
      "SELECT id, account, name, email, login_hash, operation_hash, digest_hash, data_revision, "
      "secret_revision FROM teachers "
      "WHERE account_key = ?",
      {account_key}));
}

std::optional<Teacher> Store::TeacherById(qint64 id) {
  return TeacherFrom(db_.SelectOne(
      "SELECT id, account, name, email, login_hash, operation_hash, digest_hash, data_revision, "
      "secret_revision FROM teachers "
      "WHERE id = ?",
      {id}));
}

std::optional<Revisions> Store::TeacherRevisions(qint64 teacher_id) {
  const std::optional<Row> row = db_.SelectOne(
      "SELECT secret_revision, data_revision FROM teachers WHERE id = ?", {teacher_id});
  if (!row) return std::nullopt;
  return Revisions{row->at(0).toLongLong(), row->at(1).toLongLong()};
}

qint64 Store::NextRevision(qint64 teacher_id) {
  if (!db_.IsPostgres()) {
    // Every upload passes here. SQLite gathers the rows of a RETURNING in a
    // temporary table built and torn down for each statement; the update
    // and a read of the row cost a fraction of that.
    db_.Execute("UPDATE teachers SET data_revision = data_revision + 1 WHERE id = ?",
                {teacher_id});
    const std::optional<Row> row =
        db_.SelectOne("SELECT data_revision FROM teachers WHERE id = ?", {teacher_id});
    if (!row) throw DatabaseError("the teacher of a new revision is gone");
    return row->at(0).toLongLong();
  }
  // A write that gives back a value: the same path as an insert's new id.
  return db_.InsertReturningId(
      "UPDATE teachers SET data_revision = data_revision + 1 WHERE id = ? RETURNING data_revision",
      {teacher_id});
}

qint64 Store::NextSecretRevision(qint64 teacher_id) {
  return db_.InsertReturningId(
      "UPDATE teachers SET secret_revision = secret_revision + 1 WHERE id = ? "
      "RETURNING secret_revision",
      {teacher_id});
}

qint64 Store::InsertTeacher(const NewTeacher& t, const QString& account_key) {
  return db_.InsertReturningId(
      "INSERT INTO teachers (account, account_key, name, email, mobile, telephone, qq, "
      "login_hash, operation_hash, digest_hash, created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, "
      "?, ?) RETURNING id",
      {t.account, account_key, t.name, t.email, t.mobile, t.telephone, t.qq,
       HashValue(t.login_hash), HashValue(t.operation_hash), HashValue(t.digest_hash),
       QDateTime::currentDateTime().toString(Qt::ISODate)});
}

void Store::UpdateEmail(qint64 teacher_id, const QString& email) {
  db_.Execute("UPDATE teachers SET email = ? WHERE id = ?", {email, teacher_id});
}

void Store::UpdateLoginPassword(qint64 teacher_id, const QByteArray& login_hash,
                                const QByteArray& digest_hash) {
  db_.Execute("UPDATE teachers SET login_hash = ?, digest_hash = ? WHERE id = ?",
              {HashValue(login_hash), HashValue(digest_hash), teacher_id});
}

void Store::UpdateOperationPassword(qint64 teacher_id, const QByteArray& operation_hash) {
  db_.Execute("UPDATE teachers SET operation_hash = ? WHERE id = ?",
              {HashValue(operation_hash), teacher_id});
}

// --- Classes ----------------------------------------------------------------

std::vector<Named> Store::Classes(qint64 teacher_id) {
  return NamedRows(db_.Select("SELECT id, name FROM classes WHERE teacher_id = ? ORDER BY ord, id",
                              {teacher_id}));
}

std::optional<qint64> Store::FindClass(qint64 teacher_id, const QString& name) {
  return IdFrom(db_.SelectOne("SELECT id FROM classes WHERE teacher_id = ? AND name = ?",
                              {teacher_id, name}));
}

qint64 Store::InsertClass(qint64 teacher_id, const QString& name, int order) {
  return db_.InsertReturningId(
      "INSERT INTO classes (teacher_id, name, ord) VALUES (?, ?, ?) RETURNING id",
      {teacher_id, name, order});
}

void Store::SetClassOrder(qint64 class_id, int order) {
  db_.Execute("UPDATE classes SET ord = ? WHERE id = ?", {order, class_id});
}

void Store::RenameClass(qint64 class_id, const QString& name) {
  db_.Execute("UPDATE classes SET name = ? WHERE id = ?", {name, class_id});
}

void Store::DeleteClass(qint64 class_id) {
  db_.Execute("DELETE FROM scores WHERE class_id = ?", {class_id});
  db_.Execute("DELETE FROM students WHERE class_id = ?", {class_id});
  db_.Execute("DELETE FROM classes WHERE id = ?", {class_id});
}

// --- Students ---------------------------------------------------------------

std::vector<Named> Store::Students(qint64 class_id) {
  return NamedRows(
      db_.Select("SELECT id, name FROM students WHERE class_id = ? ORDER BY ord, id", {class_id}));
}

std::optional<qint64> Store::FindStudent(qint64 class_id, const QString& name) {
  return IdFrom(
      db_.SelectOne("SELECT id FROM students WHERE class_id = ? AND name = ?", {class_id, name}));
}

qint64 Store::InsertStudent(qint64 class_id, const QString& name, int order, int number) {
  return db_.InsertReturningId(
      "INSERT INTO students (class_id, name, ord, grp, number, score_count, score_sum) "
      "VALUES (?, ?, ?, 0, ?, 0, 0) RETURNING id",
      {class_id, name, order, number});
}

int Store::NextStudentNumber(qint64 class_id) {
  const auto row = db_.SelectOne("SELECT MAX(number) FROM students WHERE class_id = ?", {class_id});
  return row && !row->at(0).isNull() ? row->at(0).toInt() + 1 : 1;
}

void Store::SetStudentOrder(qint64 student_id, int order) {
  db_.Execute("UPDATE students SET ord = ? WHERE id = ?", {order, student_id});
}

void Store::RenameStudent(qint64 student_id, const QString& name) {
  db_.Execute("UPDATE students SET name = ? WHERE id = ?", {name, student_id});
}

void Store::SetStudentGroup(qint64 student_id, int group) {
  db_.Execute("UPDATE students SET grp = ? WHERE id = ?", {group, student_id});
}

void Store::DeleteStudent(qint64 student_id) {
  db_.Execute(
      "DELETE FROM scores WHERE class_id = (SELECT class_id FROM students WHERE id = ?) AND "
      "student_id = ?",
      {student_id, student_id});
  db_.Execute("DELETE FROM students WHERE id = ?", {student_id});
}

void Store::AddToCounters(qint64 student_id, qint64 count, double sum) {
  db_.Execute(
      "UPDATE students SET score_count = score_count + ?, score_sum = score_sum + ? WHERE id = ?",
      {count, sum, student_id});
}

// --- Topics and criteria ------------------------------------------------------

std::vector<Named> Store::Topics(qint64 teacher_id) {
  return NamedRows(db_.Select("SELECT id, name FROM topics WHERE teacher_id = ? ORDER BY ord, id",
                              {teacher_id}));
}

std::optional<qint64> Store::FindTopic(qint64 teacher_id, const QString& name) {
  return IdFrom(
      db_.SelectOne("SELECT id FROM topics WHERE teacher_id = ? AND name = ?", {teacher_id, name}));
}

qint64 Store::InsertTopic(qint64 teacher_id, const QString& name, int order) {
  return db_.InsertReturningId(
      "INSERT INTO topics (teacher_id, name, ord) VALUES (?, ?, ?) RETURNING id",
      {teacher_id, name, order});
}

void Store::SetTopicOrder(qint64 topic_id, int order) {
  db_.Execute("UPDATE topics SET ord = ? WHERE id = ?", {order, topic_id});
}

void Store::RenameTopic(qint64 topic_id, const QString& name) {
  db_.Execute("UPDATE topics SET name = ? WHERE id = ?", {name, topic_id});
}

void Store::DeleteTopic(qint64 topic_id) {
  db_.Execute("DELETE FROM criteria WHERE topic_id = ?", {topic_id});
  db_.Execute("DELETE FROM topics WHERE id = ?", {topic_id});
}

std::vector<CriterionRow> Store::Criteria(qint64 topic_id) {
  std::vector<CriterionRow> criteria;
  for (const Row& row :
       db_.Select("SELECT id, label, score FROM criteria WHERE topic_id = ? ORDER BY ord, id",
                  {topic_id})) {
    criteria.push_back(CriterionRow{row[0].toLongLong(), Text(row[1]), Text(row[2])});
  }
  return criteria;
}

qint64 Store::InsertCriterion(qint64 topic_id, const QString& label, const QString& score,
                              int order) {
  return db_.InsertReturningId(
      "INSERT INTO criteria (topic_id, label, score, ord) VALUES (?, ?, ?, ?) RETURNING id",
      {topic_id, label, score, order});
}

int Store::NextCriterionOrder(qint64 topic_id) {
  const auto row = db_.SelectOne("SELECT MAX(ord) FROM criteria WHERE topic_id = ?", {topic_id});
  return row && !row->at(0).isNull() ? row->at(0).toInt() + 1 : 0;
}

std::optional<qint64> Store::CriterionTeacher(qint64 criterion_id) {
  return IdFrom(db_.SelectOne(
      "SELECT t.teacher_id FROM criteria c JOIN topics t ON t.id = c.topic_id WHERE c.id = ?",
      {criterion_id}));
}

std::optional<qint64> Store::CriterionTopic(qint64 criterion_id) {
  return IdFrom(db_.SelectOne("SELECT topic_id FROM criteria WHERE id = ?", {criterion_id}));
}

std::optional<qint64> Store::StudentClass(qint64 student_id) {
  return IdFrom(db_.SelectOne("SELECT class_id FROM students WHERE id = ?", {student_id}));
}

void Store::UpdateCriterion(qint64 criterion_id, const QString& label, const QString& score) {
  db_.Execute("UPDATE criteria SET label = ?, score = ? WHERE id = ?",
              {label, score, criterion_id});
}

void Store::DeleteCriterion(qint64 criterion_id) {
  db_.Execute("DELETE FROM criteria WHERE id = ?", {criterion_id});
}

// --- Scores -----------------------------------------------------------------

void Store::InsertScore(qint64 teacher_id, qint64 student_id, double value,
                        const QString& scored_at, const QString& topic, const QString& note) {
  db_.Execute(
      "INSERT INTO scores (teacher_id, student_id, class_id, value, scored_at, topic, note) "
      "VALUES (?, ?, (SELECT class_id FROM students WHERE id = ?), ?, ?, ?, ?)",
      {teacher_id, student_id, student_id, value, scored_at, topic, note});
}

namespace {

// Rows per statement of the batched score statements: every count up to it
// has its own prepared statement.
constexpr size_t kScoreBatch = 32;

// The text of a statement for n rows, built once per n and kept (the
// statement cache of the connection is keyed by the text's address).
const char* BatchStatement(const char* head, const char* each, const char* separator,
                           const char* tail, size_t n, std::vector<QByteArray>* texts) {
  if (texts->empty()) texts->resize(kScoreBatch + 1);
  QByteArray& text = (*texts)[n];
  if (text.isEmpty()) {
    text = head;
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) text += separator;
      text += each;
    }
    text += tail;
  }
  return text.constData();
}

}  // namespace

void Store::InsertScores(qint64 teacher_id, const std::vector<NewScore>& scores) {
  static std::vector<QByteArray> known_class_texts, looked_up_texts;
  // An upload knows each line's class; the other writers leave it to the
  // statement, which takes the class of the score's student.
  const bool classes_known = std::all_of(scores.begin(), scores.end(),
                                         [](const NewScore& score) { return score.class_id != 0; });
  for (size_t start = 0; start < scores.size(); start += kScoreBatch) {
    const size_t n = std::min(kScoreBatch, scores.size() - start);
    QVariantList args;
    args.reserve(static_cast<qsizetype>(n * 7));
    for (size_t i = start; i < start + n; ++i) {
      const NewScore& score = scores[i];
      args << teacher_id << score.student_id << (classes_known ? score.class_id : score.student_id)
           << score.value << score.scored_at << score.topic << score.note;
    }
    db_.Execute(
        BatchStatement("INSERT INTO scores (teacher_id, student_id, class_id, value, "
                       "scored_at, topic, note) VALUES ",
                       classes_known
                           ? "(?, ?, ?, ?, ?, ?, ?)"
                           : "(?, ?, (SELECT class_id FROM students WHERE id = ?), ?, ?, ?, ?)",
                       ", ", "", n, classes_known ? &known_class_texts : &looked_up_texts),
        args);
  }
}

void Store::AddToCounters(const std::vector<CounterChange>& changes) {
  // One prepared statement per student, each row found by its key. (An
  // UPDATE ... FROM a list of values would be one statement, but SQLite runs
  // it through a temporary table built and torn down each time, which cost
  // more than the whole rest of an upload; one UPDATE with a CASE per
  // column costs more than the single rows.)
  for (const CounterChange& change : changes)
    AddToCounters(change.student_id, change.count, change.sum);
}

void Store::StoreScores(qint64 teacher_id, const std::vector<NewScore>& scores,
                        const std::vector<CounterChange>& changes) {
  InsertScores(teacher_id, scores);
  AddToCounters(changes);
}

namespace {

// A PostgreSQL array of texts, each element quoted.
QByteArray TextArray(const std::vector<const QString*>& texts) {
  QByteArray array = "{";
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i) array += ',';
    array += '"';
    const QByteArray text = texts[i]->toUtf8();
    for (const char c : text) {
      if (c == '"' || c == '\\') array += '\\';
      array += c;
    }
    array += '"';
  }
  array += '}';
  return array;
}

}  // namespace

qint64 Store::StoreNewScores(qint64 teacher_id, const QString& topic,
                             const std::vector<NewScore>& scores) {
  // The lines travel as four arrays, so one prepared statement serves every
  // upload. A line already held is found among the class's scores at that
  // second; the new ones take their student's class and are stored in the
  // order of the lines. A student gone from the database since the roster
  // was read has no class: the insert fails and the whole upload is refused,
  // rather than stored without that line.
  static const char kStatement[] =
      "WITH v AS (SELECT * FROM unnest(CAST(? AS BIGINT[]), CAST(? AS DOUBLE PRECISION[]), "
      "CAST(? AS TEXT[]), CAST(? AS TEXT[])) WITH ORDINALITY AS v(student_id, value, scored_at, "
      "note, ord)), "
      "t AS (SELECT CAST(? AS BIGINT) AS id, CAST(? AS TEXT) AS topic), "
      "stored AS (INSERT INTO scores (teacher_id, student_id, class_id, value, scored_at, "
      "topic, note) SELECT t.id, v.student_id, st.class_id, v.value, v.scored_at, t.topic, "
      "v.note FROM v LEFT JOIN students st ON st.id = v.student_id, t WHERE NOT EXISTS (SELECT 1 "
      "FROM scores s WHERE s.class_id = st.class_id AND s.scored_at = v.scored_at AND "
      "s.student_id = v.student_id AND s.value = v.value AND s.topic = t.topic AND s.note = "
      "v.note) ORDER BY v.ord RETURNING student_id, value), "
      "counted AS (UPDATE students SET score_count = score_count + c.n, score_sum = score_sum + "
      "c.total FROM (SELECT student_id, COUNT(*) AS n, SUM(value) AS total FROM stored GROUP BY "
      "student_id) AS c WHERE students.id = c.student_id) "
      "UPDATE teachers SET data_revision = data_revision + 1 WHERE id = ? "
      "RETURNING data_revision";
  QByteArray ids = "{", values = "{";
  std::vector<const QString*> times, notes;
  times.reserve(scores.size());
  notes.reserve(scores.size());
  for (size_t i = 0; i < scores.size(); ++i) {
    if (i) {
      ids += ',';
      values += ',';
    }
    ids += QByteArray::number(scores[i].student_id);
    values += QByteArray::number(scores[i].value, 'g', QLocale::FloatingPointShortest);
    times.push_back(&scores[i].scored_at);
    notes.push_back(&scores[i].note);
  }
  ids += '}';
  values += '}';
  return db_.InsertReturningId(kStatement, {ids, values, TextArray(times), TextArray(notes),
                                            teacher_id, topic, teacher_id});
}

std::vector<Store::NewScore> Store::ScoresAt(const std::vector<NewScore>& lines) {
  // The lines of an upload are the scores of a lesson or a few: one read of
  // each class's scores between the first and the last line's second (one
  // range of the class's index by time) finds every line already held,
  // whatever the years have stored.
  QHash<qint64, std::pair<QString, QString>> spans;  // class -> first, last
  for (const NewScore& line : lines) {
    auto it = spans.find(line.class_id);
    if (it == spans.end()) {
      spans.insert(line.class_id, {line.scored_at, line.scored_at});
    } else {
      if (line.scored_at < it->first) it->first = line.scored_at;
      if (line.scored_at > it->second) it->second = line.scored_at;
    }
  }
  std::vector<NewScore> found;
  for (auto it = spans.constBegin(); it != spans.constEnd(); ++it) {
    for (const Row& row : db_.Select("SELECT student_id, value, scored_at, topic, note FROM scores "
                                     "WHERE class_id = ? AND scored_at >= ? AND scored_at <= ?",
                                     {it.key(), it->first, it->second})) {
      found.push_back(NewScore{row[0].toLongLong(), row[1].toDouble(), Text(row[2]), Text(row[3]),
                               Text(row[4]), it.key()});
    }
  }
  return found;
}

std::optional<ScoreRow> Store::ScoreById(qint64 score_id) {
  const auto row = db_.SelectOne(
      "SELECT id, teacher_id, student_id, value FROM scores WHERE id = ?", {score_id});
  if (!row) return std::nullopt;
  return ScoreRow{row->at(0).toLongLong(), row->at(1).toLongLong(), row->at(2).toLongLong(),
                  row->at(3).toDouble()};
}

void Store::UpdateScore(qint64 score_id, double value, const QString& scored_at,
                        const QString& topic, const QString& note) {
  db_.Execute("UPDATE scores SET value = ?, scored_at = ?, topic = ?, note = ? WHERE id = ?",
              {value, scored_at, topic, note, score_id});
}

void Store::DeleteScore(qint64 score_id) {
  db_.Execute("DELETE FROM scores WHERE id = ?", {score_id});
}

std::vector<ScoreListRow> Store::ScoresOfClass(qint64 class_id) {
  return ScoreListFrom(db_.Select(
      "SELECT sc.id, c.name, s.name, sc.value, sc.scored_at, sc.topic, sc.note FROM scores sc "
      "JOIN students s ON s.id = sc.student_id JOIN classes c ON c.id = sc.class_id "
      "WHERE sc.class_id = ? ORDER BY sc.scored_at, sc.id",
      {class_id}));
}

std::vector<ScoreListRow> Store::LatestScores(qint64 teacher_id, int n) {
  return ScoreListFrom(db_.Select(
      "SELECT sc.id, c.name, s.name, sc.value, sc.scored_at, sc.topic, sc.note FROM scores sc "
      "JOIN students s ON s.id = sc.student_id JOIN classes c ON c.id = s.class_id "
      "WHERE sc.teacher_id = ? ORDER BY sc.id DESC LIMIT ?",
      {teacher_id, n}));
}

std::vector<StudentTotal> Store::TotalsOfClass(qint64 class_id) {
  std::vector<StudentTotal> totals;
  for (const Row& row : db_.Select(
           "SELECT c.name, s.name, s.score_count, s.score_sum FROM students s JOIN classes c ON "
           "c.id = s.class_id WHERE s.class_id = ? ORDER BY s.ord, s.id",
           {class_id})) {
    totals.push_back(
        StudentTotal{Text(row[0]), Text(row[1]), row[2].toLongLong(), row[3].toDouble()});
  }
  return totals;
}

// --- Record -----------------------------------------------------------------

std::vector<StudentRecordRow> Store::RecordStudents(qint64 teacher_id) {
  std::vector<StudentRecordRow> students;
  for (const Row& row : db_.Select(
           "SELECT c.name, s.name, s.grp, s.number, s.score_count, s.score_sum FROM students s "
           "JOIN classes c ON c.id = s.class_id WHERE c.teacher_id = ? "
           "ORDER BY c.ord, c.id, s.ord, s.id",
           {teacher_id})) {
    students.push_back(StudentRecordRow{Text(row[0]), Text(row[1]), row[2].toInt(), row[3].toInt(),
                                        row[4].toLongLong(), row[5].toDouble()});
  }
  return students;
}

std::vector<TopicWithCriteria> Store::RecordTopics(qint64 teacher_id) {
  std::vector<TopicWithCriteria> topics;
  qint64 current = -1;
  for (const Row& row : db_.Select(
           "SELECT t.id, t.name, c.id, c.label, c.score FROM topics t LEFT JOIN criteria c ON "
           "c.topic_id = t.id WHERE t.teacher_id = ? ORDER BY t.ord, t.id, c.ord, c.id",
           {teacher_id})) {
    if (row[0].toLongLong() != current) {
      current = row[0].toLongLong();
      topics.push_back(TopicWithCriteria{Text(row[1]), {}});
    }
    if (!row[2].isNull()) {
      topics.back().criteria.push_back(
          CriterionRow{row[2].toLongLong(), Text(row[3]), Text(row[4])});
    }
  }
  return topics;
}

// --- Reset codes --------------------------------------------------------------

std::optional<ResetCode> Store::FindResetCode(qint64 teacher_id) {
  const auto row = db_.SelectOne(
      "SELECT code_hash, expires_at, tries FROM reset_codes WHERE teacher_id = ?", {teacher_id});
  if (!row) return std::nullopt;
  return ResetCode{Hash(row->at(0)), row->at(1).toLongLong(), row->at(2).toInt()};
}

void Store::SaveResetCode(qint64 teacher_id, const QByteArray& code_hash, qint64 expires_at) {
  DeleteResetCode(teacher_id);
  db_.Execute(
      "INSERT INTO reset_codes (teacher_id, code_hash, expires_at, tries) VALUES (?, ?, ?, 0)",
      {teacher_id, HashValue(code_hash), expires_at});
}

void Store::SetResetTries(qint64 teacher_id, int tries) {
  db_.Execute("UPDATE reset_codes SET tries = ? WHERE teacher_id = ?", {tries, teacher_id});
}

void Store::DeleteResetCode(qint64 teacher_id) {
  db_.Execute("DELETE FROM reset_codes WHERE teacher_id = ?", {teacher_id});
}

ResetGuard Store::FindResetGuard(qint64 teacher_id) {
  const auto row = db_.SelectOne(
      "SELECT wrong_codes, last_wrong_at, locked_until, mail_hour_start, mails FROM reset_guards "
      "WHERE teacher_id = ?",
      {teacher_id});
  if (!row) return ResetGuard{};
  return ResetGuard{row->at(0).toInt(), row->at(1).toLongLong(), row->at(2).toLongLong(),
                    row->at(3).toLongLong(), row->at(4).toInt()};
}

void Store::SaveResetGuard(qint64 teacher_id, const ResetGuard& guard) {
  db_.Execute("DELETE FROM reset_guards WHERE teacher_id = ?", {teacher_id});
  db_.Execute(
      "INSERT INTO reset_guards (teacher_id, wrong_codes, last_wrong_at, locked_until, "
      "mail_hour_start, mails) VALUES (?, ?, ?, ?, ?, ?)",
      {teacher_id, guard.wrong_codes, guard.last_wrong_at, guard.locked_until,
       guard.mail_hour_start, guard.mails});
}

}  // namespace zorvanix::server
