#include "server/scoring_service.h"

#include <QDateTime>
#include <QElapsedTimer>

#include "core/service_time.h"
#include "server/metrics.h"
#include "server/names.h"
#include "server/results_page.h"

namespace zorvanix::server {
namespace {

constexpr char16_t kProduct[] = u"Pellory";

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

// The answer to a change whose batch could not be committed after all.
Reply LostChange() { return Reply::Text(u"服务器内部错误，请稍后再试", 500); }

}  // namespace

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
  db_.OnBatchLost([this] {
    records_.clear();
    class_caches_.clear();
    score_list_bytes_ = 0;
  });
}

const QHash<QString, ScoringService::Route>& ScoringService::Routes() const {
  static const QHash<QString, Route> routes = {
      {QStringLiteral("/score/checkpassword.php"), {Method::kPost, &ScoringService::CheckPassword}},
      {QStringLiteral("/score/record.php"), {Method::kGet, &ScoringService::Record}},
      {QStringLiteral("/score/servertime.php"), {Method::kGet, &ScoringService::ServerTime}},
      {QStringLiteral("/score/index.php"), {Method::kPost, &ScoringService::Upload}},
      {QStringLiteral("/score/"), {Method::kGet, &ScoringService::Results}},
      {QStringLiteral("/score"), {Method::kGet, &ScoringService::Results}},
      {QStringLiteral("/score/group.php"), {Method::kPost, &ScoringService::Groups}},
      {QStringLiteral("/score/getteacher.php"), {Method::kGet, &ScoringService::GetTeacher}},
      {QStringLiteral("/score/getscore.php"), {Method::kGet, &ScoringService::GetScores}},
      {QStringLiteral("/score/getscale.php"), {Method::kGet, &ScoringService::GetCriteria}},
      {QStringLiteral("/score/setteacher.php"), {Method::kPost, &ScoringService::SetTeacher}},
      {QStringLiteral("/score/setclass.php"), {Method::kPost, &ScoringService::SetClasses}},
      {QStringLiteral("/score/renameclass.php"), {Method::kPost, &ScoringService::RenameClass}},
      {QStringLiteral("/score/student.php"), {Method::kPost, &ScoringService::SetStudents}},
      {QStringLiteral("/score/renamestudent.php"), {Method::kPost, &ScoringService::RenameStudent}},
      {QStringLiteral("/score/setketi.php"), {Method::kPost, &ScoringService::SetTopics}},
      {QStringLiteral("/score/renameketi.php"), {Method::kPost, &ScoringService::RenameTopic}},
      {QStringLiteral("/score/newscale.php"), {Method::kPost, &ScoringService::NewCriteria}},
      {QStringLiteral("/score/editscale.php"), {Method::kPost, &ScoringService::EditCriterion}},
      {QStringLiteral("/score/delscale.php"), {Method::kPost, &ScoringService::DeleteCriteria}},
      {QStringLiteral("/score/editscore.php"), {Method::kPost, &ScoringService::EditScore}},
      {QStringLiteral("/score/delscore.php"), {Method::kPost, &ScoringService::DeleteScores}},
      {QStringLiteral("/score/regteacher.php"), {Method::kPost, &ScoringService::RegisterTeacher}},
      {QStringLiteral("/score/checkusername.php"), {Method::kGet, &ScoringService::CheckUserName}},
      {QStringLiteral("/score/getpswdcode.php"), {Method::kGet, &ScoringService::RequestResetCode}},
      {QStringLiteral("/score/setpassword.php"), {Method::kPost, &ScoringService::ResetPassword}},
  };
  return routes;
}

Reply ScoringService::HandleWith(const Request& request, const CheckResult* known, bool may_defer) {
  known_check_ = known;
  may_defer_ = may_defer;
  struct Reset {
    ScoringService* service;
    ~Reset() {
      service->known_check_ = nullptr;
      service->may_defer_ = false;
    }
  } reset{this};
  return Dispatch(request);
}

QString ScoringService::EndpointName(const Request& request) const {
  if (Routes().contains(request.path) || request.path == u"/healthz" ||
      request.path == u"/metrics") {
    return request.path;
  }
  if (config_.vendor && (request.path == u"/version.php" || request.path == u"/update.php" ||
                         request.path == u"/")) {
    return request.path;
  }
  return QStringLiteral("other");
}

void ScoringService::HandleAsync(const Request& request,
                                 std::function<void(const Reply&)> answer) {
  QElapsedTimer timer;
  timer.start();
  ++in_flight_;
  auto respond = [this, answer = std::move(answer), timer,
                  endpoint = EndpointName(request)](const Reply& reply) {
    --in_flight_;
    ServiceMetrics().CountRequest(endpoint, reply.status, timer.nsecsElapsed() / 1e9);
    answer(reply);
  };
  Run(request, std::move(respond), nullptr, nullptr);
}

void ScoringService::Run(const Request& request, std::function<void(const Reply&)> respond,
                         std::shared_ptr<const CheckResult> check,
                         std::shared_ptr<const Hashes> hashes) {
  std::optional<PendingCheck> pending;
  std::optional<QStringList> to_hash;
  known_hashes_ = hashes.get();
  defer_hashes_ = true;
  then_ = nullptr;
  const Reply reply = AnswerSafely([&] {
    try {
      return HandleWith(request, check.get(), !check);
    } catch (const NeedsCheck& need) {
      pending = need.check;
    } catch (const NeedsHashes& need) {
      to_hash = need.secrets;
    }
    return Reply();
  });
  known_hashes_ = nullptr;
  defer_hashes_ = false;
  auto then = std::exchange(then_, nullptr);
  // Every handler checks its password and makes its hashes before it changes
  // anything, so the request can simply run again once they are known.
  if (pending) {
    checks_.start([this, request, respond, hashes, check = *pending] {
      const bool match = PasswordHasher::Verify(check.hash, check.secret);
      QMetaObject::invokeMethod(
          &main_thread_,
          [this, request, respond, hashes,
           result = std::make_shared<const CheckResult>(CheckResult{check, match})] {
            Run(request, respond, result, hashes);
          },
          Qt::QueuedConnection);
    });
    return;
  }
  if (to_hash) {
    checks_.start([this, request, respond, check, hashes, hasher = hasher_,
                   secrets = *to_hash] {
      auto made = std::make_shared<Hashes>(hashes ? *hashes : Hashes());
      for (const QString& secret : secrets) made->insert(secret, hasher.Hash(secret));
      QMetaObject::invokeMethod(
          &main_thread_,
          [this, request, respond, check, made] { Run(request, respond, check, made); },
          Qt::QueuedConnection);
    });
    return;
  }
  // A change is answered once it is durable (see Database::WhenDurable).
  db_.WhenDurable([respond, reply, then](bool kept) {
    if (!kept) {
      respond(LostChange());
    } else if (then) {
      then(respond);
    } else {
      respond(reply);
    }
  });
}

QList<QByteArray> ScoringService::NewHashes(const QStringList& secrets) const {
  QList<QByteArray> made;
  for (const QString& secret : secrets) {
    if (!known_hashes_ || !known_hashes_->contains(secret)) {
      if (defer_hashes_) throw NeedsHashes{secrets};
      made.append(hasher_.Hash(secret));
    } else {
      made.append(known_hashes_->value(secret));
    }
  }
  return made;
}

Reply ScoringService::Dispatch(const Request& request) {
  if (request.path == u"/healthz") return Health(request);
  if (request.path == u"/metrics") return MetricsPage(request);
  if (config_.vendor) {
    if (request.path == u"/version.php") return VendorVersion(request);
    if (request.path == u"/update.php") return VendorUpdate(request);
    if (request.path == u"/" || request.path.isEmpty()) return VendorHome(request);
  }
  // Reading the results page by its PHP name works as well as by the folder.
  if (request.path == u"/score/index.php" && !request.is_post) return Results(request);
  const auto it = Routes().constFind(request.path);
  if (it == Routes().constEnd()) return Reply::Text(u"页面不存在", 404);
  if ((it->method == Method::kPost) != request.is_post) {
    return Reply::Text(it->method == Method::kPost ? u"请使用POST方式提交" : u"请使用GET方式访问",
                       405);
  }
  return (this->*(it->handler))(request);
}

std::optional<qint64> ScoringService::CheckSecret(SecretKind kind, QStringView account,
                                                  QStringView secret, const QString& address,
                                                  QString* refusal) {
  const QString key = AccountKey(account);
  if (key.isEmpty() || secret.isEmpty()) {
    *refusal = WrongSecretText(kind);
    return std::nullopt;
  }
  const SteadyTime now = std::chrono::steady_clock::now();
  if (const auto cached = verified_.Find(kind, key, secret, now)) return cached;
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
    *refusal = LockedText(static_cast<int>((wait.count() + 59) / 60));
    return std::nullopt;
  }
  const std::optional<Teacher> teacher = store_.FindTeacher(key);
  const QByteArray& hash = !teacher                         ? dummy_hash_
                           : kind == SecretKind::kLogin     ? teacher->login_hash
                           : kind == SecretKind::kOperation ? teacher->operation_hash
                                                            : teacher->digest_hash;
  bool match = false;
  if (known_check_ && known_check_->check.kind == kind && known_check_->check.account_key == key &&
      known_check_->check.secret == secret && known_check_->check.hash == hash) {
    match = known_check_->match;
  } else if (may_defer_) {
    throw NeedsCheck{PendingCheck{kind, key, secret.toString(), hash}};
  } else {
    match = PasswordHasher::Verify(hash, secret);
  }
  if (!teacher || !match) {
    pair_failures_.RecordFailure(pair, now);
    address_failures_.RecordFailure(address, now);
    if (kind == SecretKind::kDigest) digest_failures_.RecordFailure(QString(u'D') + key, now);
    *refusal = WrongSecretText(kind);
    return std::nullopt;
  }
  verified_.Remember(kind, key, secret, teacher->id, now);
  return teacher->id;
}

std::optional<qint64> ScoringService::Operator(const Request& request, Reply* refusal) {
  QString text;
  const auto teacher = CheckSecret(SecretKind::kOperation, request.Param(u"username"),
                                   request.Param(u"password"), request.address, &text);
  if (!teacher) *refusal = Reply::Text(text);
  return teacher;
}

std::optional<qint64> ScoringService::Reader(const Request& request, Reply* refusal, bool html) {
  QString text;
  const auto teacher = CheckSecret(SecretKind::kDigest, request.Param(u"t"), request.Param(u"mp"),
                                   request.address, &text);
  if (!teacher) {
    const int status = text.startsWith(u"密码错误次数过多") ? 429 : 403;
    *refusal = html ? Reply::Html(RenderMessagePage(u"无法查看", text), status)
                    : Reply::Text(text, status);
  }
  return teacher;
}

void ScoringService::PasswordsChanged(qint64 teacher_id) { verified_.ForgetTeacher(teacher_id); }

Reply ScoringService::ServerTime(const Request&) {
  return Reply::GbkBytes(QByteArray::number(ServiceSeconds(SchoolNow())));
}

QDateTime ScoringService::SchoolNow() const {
  return QDateTime::currentDateTimeUtc().toTimeZone(zone_);
}

Reply ScoringService::Health(const Request&) {
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

Reply ScoringService::MetricsPage(const Request&) {
  return Reply{200, QByteArrayLiteral("text/plain; version=0.0.4; charset=utf-8"),
               ServiceMetrics().Render()};
}

Reply ScoringService::ServiceHome(const Request&) { return Reply::Html(RenderServiceHome()); }

Reply ScoringService::VendorVersion(const Request& request) {
  if (request.Param(u"s") != kProduct) return Reply::Text(u"未知的产品", 404);
  return Reply::Text(QString::fromUtf16(kProduct) + u':' + config_.vendor_version);
}

Reply ScoringService::VendorUpdate(const Request&) {
  return Reply::Html(RenderUpdatePage(config_.vendor_version));
}

Reply ScoringService::VendorHome(const Request&) {
  return Reply::Html(RenderVendorHome(config_.vendor_version));
}

}  // namespace zorvanix::server
