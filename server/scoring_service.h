// The endpoints of the scoring service: who may read and change what, the
// rules of every change, and the replies the program expects.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include "server/credentials.h"
#include "server/database.h"
#include "server/mailer.h"
#include "server/reader_pool.h"
#include "server/request.h"
#include "server/server_config.h"
#include "server/store.h"
#include "server/writer_pool.h"

namespace zorvanix::server {

// The answer to a change whose batch could not be committed after all.
Reply LostChange();

class ScoringService {
 public:
  ScoringService(const ServerConfig& config, Database& db, Mailer& mailer);
  ~ScoringService();

  // Answers at once when it can; a password check that is not remembered
  // runs on a worker thread, and the request is answered (on this thread)
  // when it is done, so one Argon2id check never holds up other teachers.
  void HandleAsync(const Request& request, std::function<void(const Reply&)> respond);

  Store& Data() { return store_; }
  // Requests taken in and not yet answered (a stop waits for them).
  int InFlight() const { return in_flight_; }
  const PasswordHasher& Hasher() const { return hasher_; }

 private:
  // Who may call an endpoint: the secret checked before its handler runs.
  enum class Caller {
    kNone,      // anyone
    kOperator,  // username + the operation password (a change)
    kReader,    // t + mp, the digest of the login password (a read)
    kSignIn,    // username + the login password
  };
  // Runs once, after the check, for the teacher it identified (0 for kNone).
  using Handler = Reply (ScoringService::*)(const Request&, qint64 teacher_id);
  // Names the new passwords the handler is about to store (changing
  // nothing), or none when the request will be refused anyway: their
  // Argon2id hashes are made on the worker thread before the handler runs,
  // and the handler finds them with NewHash.
  using NewSecrets = QStringList (ScoringService::*)(const Request&, qint64 teacher_id);
  // A read that may run on a reader thread: a plain function of the request
  // and the teacher, through the store of the connection it is given.
  // Reads run on a reader thread: everything they need comes as arguments,
  // the school's clock as read when the request arrived included.
  using ReadHandler = Reply (*)(Store& store, const Request&, qint64 teacher_id,
                                const QDateTime& school_now);
  // What a read's reply is kept as, until the teacher's data changes.
  enum class ReadCache { kNone, kRecord, kScoreList };
  enum class Method { kGet, kPost, kAny };
  struct Route {
    Method method;
    Caller caller;
    Handler handler;
    // The field holding the operation password, where it is not "password".
    const char16_t* secret_field = u"password";
    // Refusals of a reader as a page rather than a text.
    bool html = false;
    NewSecrets new_secrets = nullptr;
    // Set for the reads, which run on the reader threads (handler unused).
    ReadHandler read = nullptr;
    ReadCache cache = ReadCache::kNone;
  };
  const QHash<QString, Route>& Routes() const;
  // The maker's pages (with --vendor).
  const QHash<QString, Route>& VendorRoutes() const;
  // The route of a request, or the refusal (unknown path, wrong method).
  std::variant<const Route*, Reply> Resolve(const Request& request) const;

  // A password check that still has to run (on the worker thread).
  struct PendingCheck {
    SecretKind kind;
    QString account_key;
    QString secret;
    QByteArray hash;  // the stored one (a dummy for an unknown account)
    QString address;
  };
  // The teacher a check found, with the teacher's data revision as read now.
  struct Identified {
    qint64 teacher_id = 0;
    qint64 revision = 0;
  };
  // A refusal text, the teacher, or the check still to run.
  using CheckStep = std::variant<QString, Identified, PendingCheck>;
  CheckStep BeginCheck(SecretKind kind, QStringView account, QStringView secret,
                       const QString& address);
  CheckStep ConcludeCheck(const PendingCheck& check, bool match);
  QByteArray StoredHash(const std::optional<Teacher>& teacher, SecretKind kind) const;

  // What the check before the handler decided: answer at once, run the
  // handler for a teacher, or wait for the password check first.
  using Hashes = QHash<QString, QByteArray>;  // by the secret hashed
  struct Admitted {
    const Route* route;
    qint64 teacher_id = 0;
    // The hashes of the route's new secrets, once they are made.
    std::shared_ptr<const Hashes> hashes;
  };
  struct Deferred {
    const Route* route;
    PendingCheck check;
  };
  using Admission = std::variant<Reply, Admitted, Deferred>;
  Admission Admit(const Request& request);
  Admission AdmitAfter(const Route& route, CheckStep step);
  Reply Refusal(const Route& route, const QString& text) const;
  void Proceed(const Request& request, Admission admission,
               const std::function<void(const Reply&)>& respond);
  // Runs an admitted read: from what is kept when it can, otherwise on a
  // reader thread (or here, without readers).
  void Read(const Request& request, const Route& route, qint64 teacher_id,
            const std::function<void(const Reply&)>& respond);
  // The kept reply of a read, if there is one.
  std::optional<Reply> KeptRead(const Route& route, const Request& request, qint64 teacher_id);
  // Keeps a read's reply, with its response made once.
  void KeepRead(const Route& route, const Request& request, qint64 teacher_id, qint64 class_id,
                const Reply& reply);
  // The hash made for a new secret the route named; empty when none was
  // made (the handler answers that the service is busy).
  QByteArray NewHash(const QString& secret) const;
  // A handler whose answer waits for more than the database (a mail handed
  // to the relay) leaves the rest here: it gets the request's respond once
  // the handler's change is durable, and answers in the handler's stead.
  using HandOver = std::function<void(std::function<void(const Reply&)>)>;
  void AnswerAfterCommit(HandOver hand_over) { hand_over_ = std::move(hand_over); }

  // What is kept in memory for a teacher was made at one data revision; a
  // change through another service process on the same database moves the
  // revision on, and what was kept goes.
  void SyncCaches(qint64 teacher_id, qint64 revision);
  void ForgetKeptData();
  // Commits a change of the teacher's lists (or, below, of the scores of
  // some classes), moving the teacher's revision on with it.
  void CommitChange(Transaction& transaction, qint64 teacher_id);
  // revision: the teacher's new data revision when the change already moved
  // it on (otherwise it is moved on here).
  void CommitScores(Transaction& transaction, qint64 teacher_id, const QList<qint64>& class_ids,
                    std::optional<qint64> revision = std::nullopt);
  // Forget what was rendered or remembered for the teacher.
  void Changed(qint64 teacher_id) {
    records_.remove(teacher_id);
    DropClassCaches(teacher_id);
  }
  // Scores of these classes changed (nothing else): the rosters stay.
  void ScoresChanged(qint64 teacher_id, const QList<qint64>& class_ids);
  // Scores of these classes were stored (committed), moving the teacher's
  // data revision on to revision: what is kept follows.
  void ScoresStored(qint64 teacher_id, const QList<qint64>& class_ids, qint64 revision);

  // An upload checked against the rosters here and stored by a writer.
  struct WriterUpload {
    qint64 teacher_id = 0;
    QString topic;
    std::vector<Store::NewScore> scores;
    QList<qint64> class_ids;
  };
  // Hands the upload to the teacher's writer; respond gets the writer's
  // answer once the scores are durable.
  void StoreOnWriter(WriterUpload upload, const std::function<void(const Reply&)>& respond);
  // One of the teacher's uploads on a writer was answered: once none is
  // left, the teacher's held requests go on, in the order they came.
  void DoneStoring(qint64 teacher_id);

  // A class as uploads and score lists find it by name, kept until the
  // teacher changes a list.
  struct Roster {
    qint64 class_id = 0;
    QHash<QString, qint64> students;  // name -> id
  };
  // nullptr when the teacher has no class of that name.
  const Roster* RosterOf(qint64 teacher_id, const QString& class_name);
  void DropClassCaches(qint64 teacher_id);
  void PasswordsChanged(qint64 teacher_id);

  // --- Accounts (scoring_service_accounts.cpp)
  Reply CheckPassword(const Request& request, qint64 teacher_id);
  Reply RegisterTeacher(const Request& request, qint64 teacher_id);
  // What a sign-up would store, or its refusal (nothing changed; the
  // refusal is counted in the metrics when count_refusal).
  std::variant<Reply, NewTeacher> ReadSignUp(const Request& request, bool count_refusal);
  QStringList SignUpSecrets(const Request& request, qint64 teacher_id);
  QStringList AccountSecrets(const Request& request, qint64 teacher_id);
  QStringList ResetSecrets(const Request& request, qint64 teacher_id);
  Reply CheckUserName(const Request& request, qint64 teacher_id);
  static Reply GetTeacher(Store& store, const Request& request, qint64 teacher_id,
                     const QDateTime& school_now);
  Reply SetTeacher(const Request& request, qint64 teacher_id);
  Reply RequestResetCode(const Request& request, qint64 teacher_id);
  Reply ResetPassword(const Request& request, qint64 teacher_id);

  // --- Lists (scoring_service_lists.cpp)
  static Reply Record(Store& store, const Request& request, qint64 teacher_id,
                     const QDateTime& school_now);
  void KeepRecord(qint64 teacher_id, const Reply& record);
  Reply SetClasses(const Request& request, qint64 teacher_id);
  Reply RenameClass(const Request& request, qint64 teacher_id);
  Reply SetStudents(const Request& request, qint64 teacher_id);
  Reply RenameStudent(const Request& request, qint64 teacher_id);
  Reply SetTopics(const Request& request, qint64 teacher_id);
  Reply RenameTopic(const Request& request, qint64 teacher_id);
  Reply Groups(const Request& request, qint64 teacher_id);
  static Reply GetCriteria(Store& store, const Request& request, qint64 teacher_id,
                     const QDateTime& school_now);
  Reply NewCriteria(const Request& request, qint64 teacher_id);
  Reply EditCriterion(const Request& request, qint64 teacher_id);
  Reply DeleteCriteria(const Request& request, qint64 teacher_id);

  // --- Scores (scoring_service_scores.cpp)
  Reply Upload(const Request& request, qint64 teacher_id);
  static Reply GetScores(Store& store, const Request& request, qint64 teacher_id,
                     const QDateTime& school_now);
  // The score list of the teacher's class of that name, and its class (0
  // when the teacher has no such class).
  static Reply ScoreList(Store& store, qint64 teacher_id, const QString& class_name,
                         qint64* class_id);
  void KeepScoreList(qint64 teacher_id, const QString& class_name, qint64 class_id,
                     const Reply& list);
  Reply EditScore(const Request& request, qint64 teacher_id);
  Reply DeleteScores(const Request& request, qint64 teacher_id);
  static Reply Results(Store& store, const Request& request, qint64 teacher_id,
                     const QDateTime& school_now);

  // --- Clock, home pages and the maker's pages
  Reply ServerTime(const Request& request, qint64 teacher_id);
  // --- For operators: health and counters
  Reply Health(const Request& request, qint64 teacher_id);
  Reply MetricsPage(const Request& request, qint64 teacher_id);
  // The school's wall clock now (the --time-zone zone).
  QDateTime SchoolNow() const;
  // The path when the service knows it, "other" when not (for the counters).
  QString EndpointName(const Request& request) const;
  Reply ServiceHome(const Request& request, qint64 teacher_id);
  Reply VendorVersion(const Request& request, qint64 teacher_id);
  Reply VendorUpdate(const Request& request, qint64 teacher_id);
  Reply VendorHome(const Request& request, qint64 teacher_id);

  const ServerConfig& config_;
  Database& db_;
  Store store_;
  Mailer& mailer_;
  PasswordHasher hasher_;
  QTimeZone zone_;
  QByteArray dummy_hash_;  // checked for unknown accounts, so they take as long
  VerificationCache verified_;
  // Wrong passwords slow down the (account, address) pair that made them, so
  // a stranger's guesses never lock the teacher out at another desk.
  GrowingDelay pair_failures_;
  // Wrong passwords of one address, whatever the account: past the address
  // limit every pair from there that has failed waits.
  GrowingDelay address_failures_;
  // Wrong read digests per account from any address: the digest of a
  // password with Chinese characters is easy to hit, so guesses spread over
  // many addresses are slowed down as well.
  GrowingDelay digest_failures_;
  FailureLimiter failures_;
  // Code mails per address in an hour (those per account, and wrong reset
  // codes, are counted in the database).
  FailureLimiter reset_mails_{3, 20, std::chrono::hours(1)};
  // Accounts made from one address in an hour.
  FailureLimiter sign_ups_;
  QHash<qint64, Reply> records_;  // rendered record downloads
  struct ClassCaches {
    QHash<QString, std::optional<Roster>> rosters;  // by class name
    QHash<qint64, Reply> score_lists;               // rendered getscore replies by class
    QHash<QString, qint64> class_ids;               // of the score lists, by class name
  };
  QHash<qint64, ClassCaches> class_caches_;  // by teacher
  qsizetype score_list_bytes_ = 0;           // held in every score_lists

  // The data revision each teacher's kept data was made at.
  QHash<qint64, qint64> revisions_;
  // The write mark of each teacher's last change: a reader sees the change
  // once it is committed, and only a read begun after that may be kept.
  QHash<qint64, quint64> change_marks_;
  void NoteChange(qint64 teacher_id);

  int in_flight_ = 0;
  const Hashes* new_hashes_ = nullptr;  // while a handler runs
  HandOver hand_over_;                  // left by the handler that just ran
  // Receives the finished checks on the service's thread; declared before
  // the pool so the pool (and its last task) is gone first.
  QObject main_thread_;
  // One thread: a check holds 64 MiB at the interactive cost.
  QThreadPool checks_;
  // The reads (none: every read on this thread, through store_).
  std::unique_ptr<ReaderPool> readers_;
  // PostgreSQL: the connections that store uploads (none: uploads are
  // stored through db_ like every other change).
  std::unique_ptr<WriterPool> writers_;
  // The upload the handler that just ran left for a writer.
  std::optional<WriterUpload> to_writer_;
  // Uploads of each teacher handed to a writer and not answered yet. While
  // a teacher has any, the teacher's other requests are held (held_): a
  // read then sees what the uploads stored, a change comes after them as
  // it came after them, and the serving connection never waits for a
  // writer's locks on the teacher's rows.
  QHash<qint64, int> storing_;
  QHash<qint64, std::vector<std::function<void()>>> held_;
  // Reads of what is kept that a reader is making now, by what they make:
  // the same read arriving meanwhile (with no change of the teacher since)
  // waits for that one instead of making it again.
  struct Making {
    qint64 revision = 0;
    std::vector<std::function<void(const Reply&)>> answers;
  };
  QHash<QString, std::shared_ptr<Making>> making_;
};

}  // namespace zorvanix::server
