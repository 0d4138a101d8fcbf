#include "server/scoring_service.h"

#include <QDateTime>
#include <QElapsedTimer>

#include "core/service_time.h"
#include "server/http_front.h"
#include "server/metrics.h"
#include "server/names.h"
#include "server/results_page.h"

namespace zorvanix::server {
namespace {

constexpr char16_t kProduct[] = u"Pellory";
// Teachers whose data is kept in memory at once; past it all is dropped.
constexpr qsizetype kMaxKeptTeachers = 100000;

QString LockedText(int minutes) {
  return QStringLiteral("密码错误次数过多，请%1分钟后再试").arg(std::max(minutes, 1));
}

QString WrongSecretText(SecretKind kind) {
  switch (kind) {
    case SecretKind::kLogin:
      return QStringLiteral("用户名或密码错误");
    case SecretKind::kOperation:
      return QStringLiteral("用户名或操作密码错误");
    case SecretKind::kDigest:
      return QStringLiteral("用户名或密码错误，请重新登录");
  }
  return QString();
}

}  // namespace

Reply LostChange() { return Reply::Text(u"服务器内部错误，请稍后再试", 500); }

ScoringService::ScoringService(const ServerConfig& config, Database& db, Mailer& mailer)
    : config_(config),
      db_(db),
      store_(db),
      mailer_(mailer),
      hasher_(config.password_cost),
      zone_(ServiceTimeZone(config)),
      verified_(std::chrono::minutes(5)),
      pair_failures_(config.max_failures_per_account - 1, std::chrono::seconds(2),
                     std::chrono::seconds(config.failure_window_seconds)),
      address_failures_(config.max_failures_per_address - 1, std::chrono::seconds(2),
                        std::chrono::seconds(config.failure_window_seconds)),
      digest_failures_(2 * config.max_failures_per_account - 1, std::chrono::seconds(2),
                       std::chrono::seconds(config.failure_window_seconds)),
      failures_(config.max_failures_per_account, config.max_failures_per_address,
                std::chrono::seconds(config.failure_window_seconds)),
      sign_ups_(1, config.sign_ups_per_address_hour, std::chrono::hours(1)) {
  dummy_hash_ = hasher_.Hash(u"no such account");
  checks_.setMaxThreadCount(1);
  // What was rendered from a lost batch shows changes that never were.
  db_.OnBatchLost([this] { ForgetKeptData(); });
  if (config.readers > 0) readers_ = std::make_unique<ReaderPool>(config.database, config.readers);
  if (db_.IsPostgres() && config.writers > 0) {
    writers_ = std::make_unique<WriterPool>(config.database, config.writers);
  }
}

ScoringService::~ScoringService() = default;

const QHash<QString, ScoringService::Route>& ScoringService::Routes() const {
  using S = ScoringService;
  // A read of the teacher's own data (t + mp), answered on a reader thread.
  const auto Reading = [](ReadHandler read, ReadCache cache = ReadCache::kNone,
                          bool html = false) {
    Route route{Method::kGet, Caller::kReader, nullptr, u"", html};
    route.read = read;
    route.cache = cache;
    return route;
  };
  static const QHash<QString, Route> routes = {
      {QStringLiteral("/score/checkpassword.php"),
       {Method::kPost, Caller::kSignIn, &S::CheckPassword}},
      {QStringLiteral("/score/record.php"), Reading(&S::Record, ReadCache::kRecord)},
      {QStringLiteral("/score/servertime.php"), {Method::kGet, Caller::kNone, &S::ServerTime}},
      {QStringLiteral("/score/index.php"), {Method::kPost, Caller::kOperator, &S::Upload}},
      {QStringLiteral("/score/"), Reading(&S::Results, ReadCache::kNone, true)},
      {QStringLiteral("/score"), Reading(&S::Results, ReadCache::kNone, true)},
      {QStringLiteral("/score/group.php"), {Method::kPost, Caller::kOperator, &S::Groups}},
      {QStringLiteral("/score/getteacher.php"), Reading(&S::GetTeacher)},
      {QStringLiteral("/score/getscore.php"), Reading(&S::GetScores, ReadCache::kScoreList)},
      {QStringLiteral("/score/getscale.php"), Reading(&S::GetCriteria)},
      // The account's page proves itself with the current operation password.
      {QStringLiteral("/score/setteacher.php"),
       {Method::kPost, Caller::kOperator, &S::SetTeacher, u"oldsuperpassword", false,
        &S::AccountSecrets}},
      {QStringLiteral("/score/setclass.php"), {Method::kPost, Caller::kOperator, &S::SetClasses}},
      {QStringLiteral("/score/renameclass.php"),
       {Method::kPost, Caller::kOperator, &S::RenameClass}},
      {QStringLiteral("/score/student.php"), {Method::kPost, Caller::kOperator, &S::SetStudents}},
      {QStringLiteral("/score/renamestudent.php"),
       {Method::kPost, Caller::kOperator, &S::RenameStudent}},
      {QStringLiteral("/score/setketi.php"), {Method::kPost, Caller::kOperator, &S::SetTopics}},
      {QStringLiteral("/score/renameketi.php"),
       {Method::kPost, Caller::kOperator, &S::RenameTopic}},
      {QStringLiteral("/score/newscale.php"), {Method::kPost, Caller::kOperator, &S::NewCriteria}},
      {QStringLiteral("/score/editscale.php"),
       {Method::kPost, Caller::kOperator, &S::EditCriterion}},
      {QStringLiteral("/score/delscale.php"),
       {Method::kPost, Caller::kOperator, &S::DeleteCriteria}},
      {QStringLiteral("/score/editscore.php"), {Method::kPost, Caller::kOperator, &S::EditScore}},
      {QStringLiteral("/score/delscore.php"), {Method::kPost, Caller::kOperator, &S::DeleteScores}},
      {QStringLiteral("/score/regteacher.php"),
       {Method::kPost, Caller::kNone, &S::RegisterTeacher, u"password", false,
        &S::SignUpSecrets}},
      {QStringLiteral("/score/checkusername.php"),
       {Method::kGet, Caller::kNone, &S::CheckUserName}},
      {QStringLiteral("/score/getpswdcode.php"),
       {Method::kGet, Caller::kNone, &S::RequestResetCode}},
      {QStringLiteral("/score/setpassword.php"),
       {Method::kPost, Caller::kNone, &S::ResetPassword, u"password", false, &S::ResetSecrets}},
      // For operators and load balancers, by any method.
      {QStringLiteral("/healthz"), {Method::kAny, Caller::kNone, &S::Health}},
      {QStringLiteral("/metrics"), {Method::kAny, Caller::kNone, &S::MetricsPage}},
  };
  return routes;
}

const QHash<QString, ScoringService::Route>& ScoringService::VendorRoutes() const {
  using S = ScoringService;
  static const QHash<QString, Route> routes = {
      {QStringLiteral("/version.php"), {Method::kAny, Caller::kNone, &S::VendorVersion}},
      {QStringLiteral("/update.php"), {Method::kAny, Caller::kNone, &S::VendorUpdate}},
      {QStringLiteral("/"), {Method::kAny, Caller::kNone, &S::VendorHome}},
      {QString(), {Method::kAny, Caller::kNone, &S::VendorHome}},
  };
  return routes;
}

std::variant<const ScoringService::Route*, Reply> ScoringService::Resolve(
    const Request& request) const {
  if (config_.vendor) {
    const auto vendor = VendorRoutes().constFind(request.path);
    if (vendor != VendorRoutes().constEnd()) return &*vendor;
  }
  // Reading the results page by its PHP name works as well as by the folder.
  const QString path = request.path == u"/score/index.php" && !request.is_post
                           ? QStringLiteral("/score/")
                           : request.path;
  const auto it = Routes().constFind(path);
  if (it == Routes().constEnd()) return Reply::Text(u"页面不存在", 404);
  if (it->method != Method::kAny && (it->method == Method::kPost) != request.is_post) {
    return Reply::Text(it->method == Method::kPost ? u"请使用POST方式提交" : u"请使用GET方式访问",
                       405);
  }
  // The results page without a teacher is the service's home page.
  if (it->read == &ScoringService::Results && !request.Has(u"t")) {
    static const Route home{Method::kGet, Caller::kNone, &ScoringService::ServiceHome};
    return &home;
  }
  return &*it;
}

QString ScoringService::EndpointName(const Request& request) const {
  if (Routes().contains(request.path)) return request.path;
  if (config_.vendor && !request.path.isEmpty() && VendorRoutes().contains(request.path)) {
    return request.path;
  }
  return QStringLiteral("other");
}

void ScoringService::HandleAsync(const Request& request, std::function<void(const Reply&)> answer) {
  QElapsedTimer timer;
  timer.start();
  ++in_flight_;
  auto respond = [this, answer = std::move(answer), timer,
                  endpoint = EndpointName(request)](const Reply& reply) {
    --in_flight_;
    ServiceMetrics().CountRequest(endpoint, reply.status, timer.nsecsElapsed() / 1e9);
    answer(reply);
  };
  std::optional<Admission> admission;
  const Reply failure = AnswerSafely([&] {
    admission = Admit(request);
    return Reply();
  });
  Proceed(request, admission ? std::move(*admission) : Admission(failure), respond);
}

void ScoringService::Proceed(const Request& request, Admission admission,
                             const std::function<void(const Reply&)>& respond) {
  if (auto* deferred = std::get_if<Deferred>(&admission)) {
    // Argon2id takes its time and its memory: it runs on the worker thread,
    // and the request goes on here once the answer is known.
    checks_.start(
        [this, request, respond, route = deferred->route, check = std::move(deferred->check)] {
          const bool match = PasswordHasher::Verify(check.hash, check.secret);
          QMetaObject::invokeMethod(
              &main_thread_,
              [this, request, respond, route, check, match] {
                std::optional<Admission> next;
                const Reply failure = AnswerSafely([&] {
                  next = AdmitAfter(*route, ConcludeCheck(check, match));
                  return Reply();
                });
                Proceed(request, next ? std::move(*next) : Admission(failure), respond);
              },
              Qt::QueuedConnection);
        });
    return;
  }
  if (auto* admitted = std::get_if<Admitted>(&admission);
      admitted && admitted->route->new_secrets && !admitted->hashes) {
    // New passwords are hashed on the worker thread too, before the handler
    // runs: a sign-up or a password change never holds up the clock.
    QStringList secrets;
    bool named = false;
    const Reply failure = AnswerSafely([&] {
      secrets = (this->*(admitted->route->new_secrets))(request, admitted->teacher_id);
      named = true;
      return Reply();
    });
    if (!named) {
      Proceed(request, failure, respond);
      return;
    }
    secrets.removeDuplicates();
    if (!secrets.isEmpty()) {
      checks_.start([this, request, respond, admitted = *admitted, secrets,
                     hasher = hasher_]() mutable {
        auto made = std::make_shared<Hashes>();
        for (const QString& secret : secrets) made->insert(secret, hasher.Hash(secret));
        admitted.hashes = std::move(made);
        QMetaObject::invokeMethod(
            &main_thread_,
            [this, request, respond, admitted] { Proceed(request, admitted, respond); },
            Qt::QueuedConnection);
      });
      return;
    }
  }
  if (const auto* admitted = std::get_if<Admitted>(&admission)) {
    // A teacher whose uploads a writer is storing waits for them (uploads
    // go on behind the others, unless other requests are already held).
    if (const qint64 teacher_id = admitted->teacher_id;
        teacher_id != 0 && storing_.contains(teacher_id) &&
        (admitted->route->handler != &ScoringService::Upload || held_.contains(teacher_id))) {
      held_[teacher_id].push_back(
          [this, request, admission, respond] { Proceed(request, admission, respond); });
      return;
    }
    if (admitted->route->read) {
      Read(request, *admitted->route, admitted->teacher_id, respond);
      return;
    }
    // While the log is copied before it starts over, no change begins; the
    // held requests run in the order they came.
    if (db_.WritesHeld()) {
      db_.WhenWritable([this, request, admission, respond] { Proceed(request, admission, respond); });
      return;
    }
  }
  Reply reply;
  HandOver hand_over;
  if (const auto* admitted = std::get_if<Admitted>(&admission)) {
    new_hashes_ = admitted->hashes.get();
    hand_over_ = nullptr;
    reply = AnswerSafely(
        [&] { return (this->*(admitted->route->handler))(request, admitted->teacher_id); });
    new_hashes_ = nullptr;
    hand_over = std::exchange(hand_over_, nullptr);
  } else {
    reply = std::get<Reply>(std::move(admission));
  }
  if (std::optional<WriterUpload> upload = std::exchange(to_writer_, std::nullopt)) {
    // The rosters it was checked against may come from changes still in
    // this connection's batch: the writer, on a connection of its own,
    // starts once they are committed.
    db_.WhenDurable([this, respond, upload = std::move(*upload)](bool kept) mutable {
      if (!kept) {
        respond(LostChange());
        DoneStoring(upload.teacher_id);
        return;
      }
      StoreOnWriter(std::move(upload), respond);
    });
    return;
  }
  // A change is answered once it is durable (see Database::WhenDurable);
  // what the handler left to do after it (a mail) starts only then.
  db_.WhenDurable([respond, reply, hand_over](bool kept) {
    if (!kept) {
      respond(LostChange());
    } else if (hand_over) {
      hand_over(respond);
    } else {
      respond(reply);
    }
  });
}

void ScoringService::Read(const Request& request, const Route& route, qint64 teacher_id,
                          const std::function<void(const Reply&)>& respond) {
  // A reader connection sees committed changes only, but a commit may still
  // wait for its flush: the answer waits for it too, so nothing leaves that
  // a power cut could take back.
  const auto answer = [this, respond](const Reply& reply) {
    const auto send = [respond, reply](bool kept) { respond(kept ? reply : LostChange()); };
    if (readers_) {
      db_.WhenCommittedDurable(send);
    } else {
      db_.WhenDurable(send);
    }
  };
  // A read of a teacher whose change is still in its batch waits for the
  // change: a reader connection sees committed data only, and a teacher
  // who sends a read right behind a change (on the same connection or
  // another) reads what the change made.
  if (readers_ && !db_.Committed(change_marks_.value(teacher_id, 0))) {
    db_.WhenDurable([this, request, &route, teacher_id, respond](bool) {
      Read(request, route, teacher_id, respond);
    });
    return;
  }
  if (const std::optional<Reply> kept = KeptRead(route, request, teacher_id)) {
    answer(*kept);
    return;
  }
  if (!readers_) {
    qint64 class_id = 0;
    const Reply reply = AnswerSafely([&] {
      if (route.cache == ReadCache::kScoreList) {
        return ScoreList(store_, teacher_id, request.Param(u"class"), &class_id);
      }
      return route.read(store_, request, teacher_id, SchoolNow());
    });
    if (reply.status == 200) KeepRead(route, request, teacher_id, class_id, reply);
    answer(reply);
    return;
  }
  // What a reader renders may be kept only when no change of the teacher
  // came while it read (its last one is committed, see above).
  const auto known = revisions_.constFind(teacher_id);
  const bool keepable = route.cache != ReadCache::kNone && known != revisions_.constEnd();
  const qint64 revision = keepable ? *known : -1;
  // Thirty-two clients asking for one long list at once have it made once.
  QString making_key;
  std::shared_ptr<Making> making;
  if (keepable) {
    making_key = QString::number(static_cast<int>(route.cache)) + u':' +
                 QString::number(teacher_id) + u':' +
                 (route.cache == ReadCache::kScoreList ? request.Param(u"class") : QString());
    const auto current = making_.constFind(making_key);
    if (current != making_.constEnd() && (*current)->revision == revision) {
      (*current)->answers.push_back(answer);
      return;
    }
    making = std::make_shared<Making>();
    making->revision = revision;
    making->answers.push_back(answer);
    making_.insert(making_key, making);
  }
  auto class_id = std::make_shared<qint64>(0);
  ReaderPool::Job job;
  if (route.cache == ReadCache::kScoreList) {
    job = [teacher_id, class_id, name = request.Param(u"class")](Store& store) {
      return ScoreList(store, teacher_id, name, class_id.get());
    };
  } else {
    job = [read = route.read, request, teacher_id, now = SchoolNow()](Store& store) {
      return read(store, request, teacher_id, now);
    };
  }
  readers_->Run(std::move(job), [this, &route, request, teacher_id, revision, class_id, answer,
                                 making, making_key](const Reply& reply) {
    const auto now = revisions_.constFind(teacher_id);
    if (revision >= 0 && reply.status == 200 && now != revisions_.constEnd() &&
        *now == revision) {
      KeepRead(route, request, teacher_id, *class_id, reply);
    }
    if (!making) {
      answer(reply);
      return;
    }
    if (making_.value(making_key) == making) making_.remove(making_key);
    for (const auto& waiting : making->answers) waiting(reply);
  });
}

std::optional<Reply> ScoringService::KeptRead(const Route& route, const Request& request,
                                              qint64 teacher_id) {
  switch (route.cache) {
    case ReadCache::kNone:
      return std::nullopt;
    case ReadCache::kRecord: {
      const auto record = records_.constFind(teacher_id);
      if (record == records_.constEnd()) return std::nullopt;
      return *record;
    }
    case ReadCache::kScoreList: {
      const auto caches = class_caches_.constFind(teacher_id);
      if (caches == class_caches_.constEnd()) return std::nullopt;
      const auto id = caches->class_ids.constFind(request.Param(u"class"));
      if (id == caches->class_ids.constEnd()) return std::nullopt;
      const auto list = caches->score_lists.constFind(*id);
      if (list == caches->score_lists.constEnd()) return std::nullopt;
      return *list;
    }
  }
  return std::nullopt;
}

void ScoringService::KeepRead(const Route& route, const Request& request, qint64 teacher_id,
                              qint64 class_id, const Reply& reply) {
  if (route.cache == ReadCache::kNone || (route.cache == ReadCache::kScoreList && class_id <= 0)) {
    return;
  }
  Reply kept = reply;
  kept.response = ResponseBytes(kept, false);
  if (route.cache == ReadCache::kRecord) KeepRecord(teacher_id, kept);
  if (route.cache == ReadCache::kScoreList) {
    KeepScoreList(teacher_id, request.Param(u"class"), class_id, kept);
  }
}

void ScoringService::NoteChange(qint64 teacher_id) {
  if (change_marks_.size() >= kMaxKeptTeachers) {
    // Only the marks of changes still uncommitted matter.
    change_marks_.removeIf([this](const auto& entry) { return db_.Committed(entry.value()); });
  }
  change_marks_.insert(teacher_id, db_.WrittenMark());
}

QByteArray ScoringService::NewHash(const QString& secret) const {
  return new_hashes_ ? new_hashes_->value(secret) : QByteArray();
}

ScoringService::Admission ScoringService::Admit(const Request& request) {
  const auto resolved = Resolve(request);
  if (const auto* refusal = std::get_if<Reply>(&resolved)) return *refusal;
  const Route& route = *std::get<const Route*>(resolved);
  switch (route.caller) {
    case Caller::kNone:
      return Admitted{&route, 0};
    case Caller::kOperator:
      return AdmitAfter(route, BeginCheck(SecretKind::kOperation, request.Param(u"username"),
                                          request.Param(route.secret_field), request.address));
    case Caller::kSignIn:
      return AdmitAfter(route, BeginCheck(SecretKind::kLogin, request.Param(u"username"),
                                          request.Param(u"password"), request.address));
    case Caller::kReader:
      return AdmitAfter(route, BeginCheck(SecretKind::kDigest, request.Param(u"t"),
                                          request.Param(u"mp"), request.address));
  }
  return Reply::Text(u"页面不存在", 404);
}

ScoringService::Admission ScoringService::AdmitAfter(const Route& route, CheckStep step) {
  if (const auto* text = std::get_if<QString>(&step)) return Refusal(route, *text);
  if (auto* pending = std::get_if<PendingCheck>(&step)) {
    return Deferred{&route, std::move(*pending)};
  }
  const Identified& who = std::get<Identified>(step);
  SyncCaches(who.teacher_id, who.revision);
  return Admitted{&route, who.teacher_id};
}

Reply ScoringService::Refusal(const Route& route, const QString& text) const {
  if (route.caller != Caller::kReader) return Reply::Text(text);
  // A read is refused with 403, or 429 while the guesses wait.
  const int status = text.startsWith(u"密码错误次数过多") ? 429 : 403;
  return route.html ? Reply::Html(RenderMessagePage(u"无法查看", text), status)
                    : Reply::Text(text, status);
}

ScoringService::CheckStep ScoringService::BeginCheck(SecretKind kind, QStringView account,
                                                     QStringView secret, const QString& address) {
  const QString key = AccountKey(account);
  if (key.isEmpty() || secret.isEmpty()) return WrongSecretText(kind);
  const SteadyTime now = std::chrono::steady_clock::now();
  if (const auto remembered = verified_.Find(kind, key, secret, now)) {
    const qint64 id = remembered->teacher_id;
    // One SQLite file has one service process (it is locked at start), so
    // what this process changed is all that changed: a password changed here
    // has already voided its remembered checks.
    const auto known = revisions_.constFind(id);
    if (!db_.IsPostgres() && known != revisions_.constEnd()) return Identified{id, *known};
    // PostgreSQL may serve several processes: the revisions are read from
    // the database every time, so a password changed through another process
    // voids the remembered check at once, and while the database cannot be
    // read nothing is answered from memory.
    const std::optional<Revisions> revisions = store_.TeacherRevisions(id);
    if (revisions && revisions->secret == remembered->secret_revision) {
      return Identified{id, revisions->data};
    }
    verified_.ForgetTeacher(id);
  }
  // A stale digest (the program still holds the one of a changed password)
  // never slows down signing in: each kind of secret counts on its own.
  const QString pair = QString(QChar::fromLatin1(static_cast<char>(kind))) + key + u'\n' + address;
  const bool pair_failed = pair_failures_.Failures(pair) > 0;
  std::chrono::seconds wait{0};
  if (pair_failed) wait = std::max(wait, address_failures_.Wait(address, now));
  // Reads are counted per account (with a larger allowance: a program that
  // still holds a stale digest keeps trying), passwords per pair.
  if (kind == SecretKind::kDigest) {
    wait = std::max(wait, digest_failures_.Wait(QString(u'D') + key, now));
  } else {
    wait = std::max(wait, pair_failures_.Wait(pair, now));
  }
  if (wait.count() > 0) {
    ServiceMetrics().CountRefusal(Metrics::Limit::kPassword);
    return LockedText(static_cast<int>((wait.count() + 59) / 60));
  }
  const std::optional<Teacher> teacher = store_.FindTeacher(key);
  return PendingCheck{kind, key, secret.toString(), StoredHash(teacher, kind), address};
}

QByteArray ScoringService::StoredHash(const std::optional<Teacher>& teacher,
                                      SecretKind kind) const {
  // An unknown account is checked against a dummy, so it takes as long.
  if (!teacher) return dummy_hash_;
  switch (kind) {
    case SecretKind::kLogin:
      return teacher->login_hash;
    case SecretKind::kOperation:
      return teacher->operation_hash;
    case SecretKind::kDigest:
      return teacher->digest_hash;
  }
  return dummy_hash_;
}

ScoringService::CheckStep ScoringService::ConcludeCheck(const PendingCheck& check, bool match) {
  const SteadyTime now = std::chrono::steady_clock::now();
  const std::optional<Teacher> teacher = store_.FindTeacher(check.account_key);
  const QByteArray hash = StoredHash(teacher, check.kind);
  if (hash != check.hash) {
    // The password changed while the check ran: check against the new one.
    PendingCheck again = check;
    again.hash = hash;
    return again;
  }
  if (!teacher || !match) {
    const QString pair = QString(QChar::fromLatin1(static_cast<char>(check.kind))) +
                         check.account_key + u'\n' + check.address;
    pair_failures_.RecordFailure(pair, now);
    address_failures_.RecordFailure(check.address, now);
    if (check.kind == SecretKind::kDigest) {
      digest_failures_.RecordFailure(QString(u'D') + check.account_key, now);
    }
    return WrongSecretText(check.kind);
  }
  verified_.Remember(check.kind, check.account_key, check.secret, teacher->id,
                     teacher->secret_revision, now);
  return Identified{teacher->id, teacher->data_revision};
}

void ScoringService::SyncCaches(qint64 teacher_id, qint64 revision) {
  const auto known = revisions_.constFind(teacher_id);
  if (known != revisions_.constEnd() && *known == revision) return;
  Changed(teacher_id);
  if (revisions_.size() >= kMaxKeptTeachers) ForgetKeptData();
  revisions_.insert(teacher_id, revision);
}

void ScoringService::ForgetKeptData() {
  records_.clear();
  class_caches_.clear();
  score_list_bytes_ = 0;
  revisions_.clear();
}

void ScoringService::CommitChange(Transaction& transaction, qint64 teacher_id) {
  const qint64 revision = store_.NextRevision(teacher_id);
  transaction.Commit();
  NoteChange(teacher_id);
  Changed(teacher_id);
  revisions_.insert(teacher_id, revision);
}

void ScoringService::CommitScores(Transaction& transaction, qint64 teacher_id,
                                  const QList<qint64>& class_ids,
                                  std::optional<qint64> moved_on) {
  const qint64 revision = moved_on ? *moved_on : store_.NextRevision(teacher_id);
  transaction.Commit();
  NoteChange(teacher_id);
  ScoresStored(teacher_id, class_ids, revision);
}

void ScoringService::ScoresStored(qint64 teacher_id, const QList<qint64>& class_ids,
                                  qint64 revision) {
  // Only when no other process changed the teacher's data since it was
  // read does the rest of what is kept stay.
  const auto known = revisions_.constFind(teacher_id);
  if (known == revisions_.constEnd() || *known + 1 != revision) {
    Changed(teacher_id);
  } else {
    ScoresChanged(teacher_id, class_ids);
  }
  revisions_.insert(teacher_id, revision);
}

void ScoringService::PasswordsChanged(qint64 teacher_id) { verified_.ForgetTeacher(teacher_id); }

Reply ScoringService::ServerTime(const Request&, qint64) {
  return Reply::GbkBytes(QByteArray::number(ServiceSeconds(SchoolNow())));
}

QDateTime ScoringService::SchoolNow() const {
  return QDateTime::currentDateTimeUtc().toTimeZone(zone_);
}

Reply ScoringService::Health(const Request&, qint64) {
  // For load balancers: healthy only while the database answers.
  try {
    db_.SelectOne("SELECT COUNT(*) FROM schema_version");
  } catch (const DatabaseError& error) {
    ServiceMetrics().CountDatabaseError();
    std::fprintf(stderr, "health check: %s\n", error.what());
    return Reply::Text(u"database unavailable", 503);
  }
  return Reply::Text(u"ok");
}

Reply ScoringService::MetricsPage(const Request&, qint64) {
  return Reply{200, QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
               ServiceMetrics().Render(), {}};
}

Reply ScoringService::ServiceHome(const Request&, qint64) {
  return Reply::Html(RenderServiceHome());
}

Reply ScoringService::VendorVersion(const Request& request, qint64) {
  if (request.Param(u"s") != kProduct) return Reply::Text(u"未知的产品", 404);
  return Reply::Text(QString::fromUtf16(kProduct) + u':' + config_.vendor_version);
}

Reply ScoringService::VendorUpdate(const Request&, qint64) {
  return Reply::Html(RenderUpdatePage(config_.vendor_version));
}

Reply ScoringService::VendorHome(const Request&, qint64) {
  return Reply::Html(RenderVendorHome(config_.vendor_version));
}

}  // namespace zorvanix::server
