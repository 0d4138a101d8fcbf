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

#include "server/credentials.h"
#include "server/database.h"
#include "server/mailer.h"
#include "server/request.h"
#include "server/server_config.h"
#include "server/store.h"

namespace zorvanix::server {

class ScoringService {
 public:
  ScoringService(const ServerConfig& config, Database& db, Mailer& mailer);

  // Answers at once when it can; a password check that is not remembered
  // runs on a worker thread, and the request is answered (on this thread)
  // when it is done, so one Argon2id check never holds up other teachers.
  void HandleAsync(const Request& request, std::function<void(const Reply&)> respond);

  Store& Data() { return store_; }
  // Requests taken in and not yet answered (a stop waits for them).
  int InFlight() const { return in_flight_; }
  const PasswordHasher& Hasher() const { return hasher_; }

 private:
  using Handler = Reply (ScoringService::*)(const Request&);
  enum class Method { kGet, kPost };
  struct Route {
    Method method;
    Handler handler;
  };
  const QHash<QString, Route>& Routes() const;

  // A check that has to run before the request can go on.
  struct PendingCheck {
    SecretKind kind;
    QString account_key;
    QString secret;
    QByteArray hash;
  };
  // Thrown by CheckSecret while deferring is allowed.
  struct NeedsCheck {
    PendingCheck check;
  };
  // The outcome of a check that ran elsewhere, for the request's second run.
  struct CheckResult {
    PendingCheck check;
    bool match = false;
  };
  // Thrown by NewHashes on a request's first run: the hashes of new
  // passwords are made on the worker thread and the request runs again.
  struct NeedsHashes {
    QStringList secrets;
  };
  using Hashes = QHash<QString, QByteArray>;
  // One run of a request; what ran elsewhere (a check, new hashes) is known.
  void Run(const Request& request, std::function<void(const Reply&)> respond,
           std::shared_ptr<const CheckResult> check, std::shared_ptr<const Hashes> hashes);
  // Argon2id hashes of new passwords, in the order of secrets. Never made on
  // the request thread: the first call of a run leaves the handler, and the
  // request's next run finds them made.
  QList<QByteArray> NewHashes(const QStringList& secrets) const;
  Reply Dispatch(const Request& request);
  Reply HandleWith(const Request& request, const CheckResult* known, bool may_defer);

  // --- Who is asking. Each returns the teacher's id, or fills *refusal.
  std::optional<qint64> CheckSecret(SecretKind kind, QStringView account, QStringView secret,
                                    const QString& address, QString* refusal);
  // username + password (the operation password) of a change.
  std::optional<qint64> Operator(const Request& request, Reply* refusal);
  // t + mp of a read; a refusal is status 403 (429 while locked out).
  std::optional<qint64> Reader(const Request& request, Reply* refusal, bool html = false);
  // Forget what was rendered or remembered for the teacher.
  void Changed(qint64 teacher_id) {
    records_.remove(teacher_id);
    DropClassCaches(teacher_id);
  }
  // Scores of these classes changed (nothing else): the rosters stay.
  void ScoresChanged(qint64 teacher_id, const QList<qint64>& class_ids);

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
  Reply CheckPassword(const Request& request);
  Reply RegisterTeacher(const Request& request);
  Reply CheckUserName(const Request& request);
  Reply GetTeacher(const Request& request);
  Reply SetTeacher(const Request& request);
  Reply RequestResetCode(const Request& request);
  Reply ResetPassword(const Request& request);

  // --- Lists (scoring_service_lists.cpp)
  Reply Record(const Request& request);
  Reply SetClasses(const Request& request);
  Reply RenameClass(const Request& request);
  Reply SetStudents(const Request& request);
  Reply RenameStudent(const Request& request);
  Reply SetTopics(const Request& request);
  Reply RenameTopic(const Request& request);
  Reply Groups(const Request& request);
  Reply GetCriteria(const Request& request);
  Reply NewCriteria(const Request& request);
  Reply EditCriterion(const Request& request);
  Reply DeleteCriteria(const Request& request);

  // --- Scores (scoring_service_scores.cpp)
  Reply Upload(const Request& request);
  Reply GetScores(const Request& request);
  Reply EditScore(const Request& request);
  Reply DeleteScores(const Request& request);
  Reply Results(const Request& request);

  // --- Clock, home pages and the maker's pages
  Reply ServerTime(const Request& request);
  // --- For operators: health and counters
  Reply Health(const Request& request);
  Reply MetricsPage(const Request& request);
  // The school's wall clock now (the --time-zone zone).
  QDateTime SchoolNow() const;
  // The path when the service knows it, "other" when not (for the counters).
  QString EndpointName(const Request& request) const;
  Reply ServiceHome(const Request& request);
  Reply VendorVersion(const Request& request);
  Reply VendorUpdate(const Request& request);
  Reply VendorHome(const Request& request);

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
  QHash<qint64, QByteArray> records_;  // rendered record downloads
  struct ClassCaches {
    QHash<QString, std::optional<Roster>> rosters;  // by class name
    QHash<qint64, QByteArray> score_lists;          // rendered getscore replies by class
  };
  QHash<qint64, ClassCaches> class_caches_;  // by teacher
  qsizetype score_list_bytes_ = 0;           // held in every score_lists

  int in_flight_ = 0;
  const CheckResult* known_check_ = nullptr;  // during a request's second run
  bool may_defer_ = false;
  const Hashes* known_hashes_ = nullptr;  // during a run after the hashes were made
  bool defer_hashes_ = false;
  // A handler whose answer waits for more than the database (a mail handed
  // to the relay) leaves the rest here; it gets the request's respond once
  // the change is durable, and its reply stands in for the handler's.
  std::function<void(std::function<void(const Reply&)>)> then_;
  // Receives the finished checks on the service's thread; declared before
  // the pool so the pool (and its last task) is gone first.
  QObject main_thread_;
  // One thread: a check holds 64 MiB at the interactive cost.
  QThreadPool checks_;
};

}  // namespace zorvanix::server
