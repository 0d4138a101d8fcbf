// Every query of the service, named by what it does to the teacher's data.
// Callers open the transaction; the store only reads and writes.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

#include "server/database.h"

namespace zorvanix::server {

struct Teacher {
  qint64 id = 0;
  QString account;
  QString name;
  QString email;
  QByteArray login_hash;
  QByteArray operation_hash;
  QByteArray digest_hash;
  qint64 data_revision = 0;
  qint64 secret_revision = 0;
};

// Counters that move on with every change of a teacher's data (lists,
// criteria, scores) and of a teacher's passwords: a service process holding
// something of the teacher in memory compares them with what it kept.
struct Revisions {
  qint64 secret = 0;
  qint64 data = 0;
};

struct NewTeacher {
  QString account;
  QString name;
  QString email;
  QString mobile;
  QString telephone;
  QString qq;
  QByteArray login_hash;
  QByteArray operation_hash;
  QByteArray digest_hash;
};

struct Named {
  qint64 id = 0;
  QString name;
};

struct CriterionRow {
  qint64 id = 0;
  QString label;
  QString score;
};

struct StudentRecordRow {
  QString class_name;
  QString name;
  int group = 0;
  int number = 0;
  qint64 count = 0;
  double sum = 0;
};

struct TopicWithCriteria {
  QString name;
  std::vector<CriterionRow> criteria;
};

struct ScoreRow {
  qint64 id = 0;
  qint64 teacher_id = 0;
  qint64 student_id = 0;
  double value = 0;
};

struct ScoreListRow {
  qint64 id = 0;
  QString class_name;
  QString student;
  double value = 0;
  QString scored_at;
  QString topic;
  QString note;
};

struct StudentTotal {
  QString class_name;
  QString student;
  qint64 count = 0;
  double sum = 0;
};

struct ResetCode {
  QByteArray code_hash;
  qint64 expires_at = 0;  // ms since the Unix epoch
  int tries = 0;
};

// Times in ms since the Unix epoch.
struct ResetGuard {
  int wrong_codes = 0;
  qint64 last_wrong_at = 0;
  qint64 locked_until = 0;
  qint64 mail_hour_start = 0;
  int mails = 0;
};

class Store {
 public:
  explicit Store(Database& db) : db_(db) {}
  Database& Db() { return db_; }

  // --- Teachers
  std::optional<Teacher> FindTeacher(const QString& account_key);
  std::optional<Teacher> TeacherById(qint64 id);
  qint64 InsertTeacher(const NewTeacher& teacher, const QString& account_key);
  void UpdateEmail(qint64 teacher_id, const QString& email);
  void UpdateLoginPassword(qint64 teacher_id, const QByteArray& login_hash,
                           const QByteArray& digest_hash);
  void UpdateOperationPassword(qint64 teacher_id, const QByteArray& operation_hash);
  std::optional<Revisions> TeacherRevisions(qint64 teacher_id);
  // Inside the change's transaction; the revision the change makes.
  qint64 NextRevision(qint64 teacher_id);
  qint64 NextSecretRevision(qint64 teacher_id);

  // --- Classes, in the teacher's order
  std::vector<Named> Classes(qint64 teacher_id);
  std::optional<qint64> FindClass(qint64 teacher_id, const QString& name);
  qint64 InsertClass(qint64 teacher_id, const QString& name, int order);
  void SetClassOrder(qint64 class_id, int order);
  void RenameClass(qint64 class_id, const QString& name);
  // The class with its students and their scores.
  void DeleteClass(qint64 class_id);

  // --- Students of a class, in order
  std::vector<Named> Students(qint64 class_id);
  std::optional<qint64> FindStudent(qint64 class_id, const QString& name);
  qint64 InsertStudent(qint64 class_id, const QString& name, int order, int number);
  int NextStudentNumber(qint64 class_id);
  void SetStudentOrder(qint64 student_id, int order);
  void RenameStudent(qint64 student_id, const QString& name);
  void SetStudentGroup(qint64 student_id, int group);
  // The student with the student's scores.
  void DeleteStudent(qint64 student_id);
  std::optional<qint64> StudentClass(qint64 student_id);
  void AddToCounters(qint64 student_id, qint64 count, double sum);
  struct CounterChange {
    qint64 student_id = 0;
    qint64 count = 0;
    double sum = 0;
  };
  // Several students' counters in one statement per batch of them.
  void AddToCounters(const std::vector<CounterChange>& changes);

  // --- Topics and their criteria
  std::vector<Named> Topics(qint64 teacher_id);
  std::optional<qint64> FindTopic(qint64 teacher_id, const QString& name);
  qint64 InsertTopic(qint64 teacher_id, const QString& name, int order);
  void SetTopicOrder(qint64 topic_id, int order);
  void RenameTopic(qint64 topic_id, const QString& name);
  // The topic and its criteria; scores keep their topic text.
  void DeleteTopic(qint64 topic_id);
  std::vector<CriterionRow> Criteria(qint64 topic_id);
  qint64 InsertCriterion(qint64 topic_id, const QString& label, const QString& score, int order);
  int NextCriterionOrder(qint64 topic_id);
  // The owning teacher of a criterion, if it exists.
  std::optional<qint64> CriterionTeacher(qint64 criterion_id);
  std::optional<qint64> CriterionTopic(qint64 criterion_id);
  void UpdateCriterion(qint64 criterion_id, const QString& label, const QString& score);
  void DeleteCriterion(qint64 criterion_id);

  // --- Scores
  struct NewScore {
    qint64 student_id = 0;
    double value = 0;
    QString scored_at;
    QString topic;
    QString note;
    // The student's class; only where the line is looked up (ScoresAt):
    // stored scores take it from their student.
    qint64 class_id = 0;
  };
  // Several scores of the teacher in a few statements.
  void InsertScores(qint64 teacher_id, const std::vector<NewScore>& scores);
  // The scores and the counter changes they make.
  void StoreScores(qint64 teacher_id, const std::vector<NewScore>& scores,
                   const std::vector<CounterChange>& changes);
  // PostgreSQL, in one statement (one round trip whatever the number of
  // lines): stores those of the scores (all of one topic, none twice) that
  // the teacher does not hold yet (same student, value, time, topic and
  // criterion), adds them to their students' counters and moves the
  // teacher's data revision on. Returns the new revision.
  qint64 StoreNewScores(qint64 teacher_id, const QString& topic,
                        const std::vector<NewScore>& scores);
  // The stored scores of these lines' students (in their classes) at these
  // times, whatever their value, topic and criterion.
  std::vector<NewScore> ScoresAt(const std::vector<NewScore>& lines);
  void InsertScore(qint64 teacher_id, qint64 student_id, double value, const QString& scored_at,
                   const QString& topic, const QString& note);
  std::optional<ScoreRow> ScoreById(qint64 score_id);
  void UpdateScore(qint64 score_id, double value, const QString& scored_at, const QString& topic,
                   const QString& note);
  void DeleteScore(qint64 score_id);
  // Oldest first.
  std::vector<ScoreListRow> ScoresOfClass(qint64 class_id);
  // The teacher's last n uploaded scores, newest first.
  std::vector<ScoreListRow> LatestScores(qint64 teacher_id, int n);
  std::vector<StudentTotal> TotalsOfClass(qint64 class_id);

  // --- The record download
  std::vector<StudentRecordRow> RecordStudents(qint64 teacher_id);
  std::vector<TopicWithCriteria> RecordTopics(qint64 teacher_id);

  // --- Password reset codes
  std::optional<ResetCode> FindResetCode(qint64 teacher_id);
  void SaveResetCode(qint64 teacher_id, const QByteArray& code_hash, qint64 expires_at);
  void SetResetTries(qint64 teacher_id, int tries);
  void DeleteResetCode(qint64 teacher_id);
  // Empty guard when the account has none yet.
  ResetGuard FindResetGuard(qint64 teacher_id);
  void SaveResetGuard(qint64 teacher_id, const ResetGuard& guard);

 private:
  std::vector<Named> NamedRows(std::vector<Row> rows);
  Database& db_;
};

}  // namespace zorvanix::server
