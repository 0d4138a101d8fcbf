// Accounts: sign-in, sign-up, account details, password changes and resets.
#include <sodium.h>

#include <QDateTime>

#include "core/md5_hex.h"
#include "server/metrics.h"
#include "server/names.h"
#include "server/scoring_service.h"

namespace zorvanix::server {
namespace {

constexpr qint64 kResetCodeLifetimeMs = 15 * 60 * 1000;
constexpr int kResetCodeTries = 5;
constexpr qsizetype kMaxPasswordLength = 128;
constexpr qsizetype kMaxContactLength = 64;
constexpr char16_t kFailure[] = u"failure";
constexpr char16_t kSuccessLower[] = u"success";

QByteArray ResetCodeHash(qint64 teacher_id, QStringView code) {
  const QByteArray message = QByteArray::number(teacher_id) + ':' + code.toUtf8();
  unsigned char digest[crypto_generichash_BYTES];
  crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(message.data()),
                     static_cast<unsigned long long>(message.size()), nullptr, 0);
  return QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex();
}

qint64 NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

// Code mails per account in an hour.
constexpr int kResetMailsPerHour = 3;
constexpr qint64 kMailHourMs = 60 * 60 * 1000;
// Wrong codes per account that cost nothing; each further one doubles the
// wait before the next try, from a minute up to a day. A day without a wrong
// code starts the count again.
constexpr int kFreeWrongCodes = 3;
constexpr qint64 kFirstResetWaitMs = 60 * 1000;
constexpr qint64 kLongestResetWaitMs = 24 * 60 * 60 * 1000;

// Inside the caller's transaction.
void CountWrongResetCode(Store& store, qint64 teacher_id, qint64 now_ms) {
  ResetGuard guard = store.FindResetGuard(teacher_id);
  if (now_ms - guard.last_wrong_at >= kLongestResetWaitMs && guard.locked_until <= now_ms) {
    guard.wrong_codes = 0;
  }
  ++guard.wrong_codes;
  guard.last_wrong_at = now_ms;
  const int over = guard.wrong_codes - kFreeWrongCodes;
  if (over > 0) {
    qint64 wait = kFirstResetWaitMs;
    for (int i = 1; i < over && wait < kLongestResetWaitMs; ++i) wait *= 2;
    guard.locked_until = now_ms + std::min(wait, kLongestResetWaitMs);
  }
  store.SaveResetGuard(teacher_id, guard);
}

// The hashes of the passwords being changed; a password left empty keeps its
// hashes empty. Made before any transaction: Argon2id takes its time and must
// not hold a lock meanwhile.
struct NewPasswordHashes {
  QByteArray login;
  QByteArray digest;  // of the login password's digest, which the reads send
  QByteArray operation;
};

// The new passwords of a change, as hashed: the login password, its digest
// (which the reads send) and the operation password, those not left empty.
QStringList NewPasswordSecrets(const QString& new_login, const QString& new_operation) {
  QStringList secrets;
  if (!new_login.isEmpty()) secrets << new_login << Md5Hex(new_login);
  if (!new_operation.isEmpty()) secrets << new_operation;
  return secrets;
}

// Empty when a hash is missing (hashing failed: out of memory). made gives
// the hash made for a secret.
template <typename Made>
std::optional<NewPasswordHashes> NewPasswords(const Made& made, const QString& new_login,
                                              const QString& new_operation) {
  NewPasswordHashes hashes;
  if (!new_login.isEmpty()) {
    hashes.login = made(new_login);
    hashes.digest = made(Md5Hex(new_login));
    if (hashes.login.isEmpty() || hashes.digest.isEmpty()) return std::nullopt;
  }
  if (!new_operation.isEmpty()) {
    hashes.operation = made(new_operation);
    if (hashes.operation.isEmpty()) return std::nullopt;
  }
  return hashes;
}

// Whether a reset code holds, read without changing anything. Wrong codes
// count against the account whatever code was last mailed, in the database
// (a restart buys no new guesses); past a few, every further guess waits
// twice as long as the one before.
enum class CodeState { kLocked, kMissing, kUsedUp, kWrong, kGood };
CodeState ReadResetCode(Store& store, qint64 teacher_id, QStringView code,
                        std::optional<ResetCode>* stored) {
  if (store.FindResetGuard(teacher_id).locked_until > NowMs()) return CodeState::kLocked;
  *stored = store.FindResetCode(teacher_id);
  if (!*stored) return CodeState::kMissing;
  if ((*stored)->expires_at <= NowMs() || (*stored)->tries >= kResetCodeTries) {
    return CodeState::kUsedUp;
  }
  const QByteArray given = ResetCodeHash(teacher_id, code);
  if (given.size() != (*stored)->code_hash.size() ||
      sodium_memcmp(given.constData(), (*stored)->code_hash.constData(),
                    static_cast<size_t>(given.size())) != 0) {
    return CodeState::kWrong;
  }
  return CodeState::kGood;
}

// New passwords of a reset: at least one, none too long.
bool PlausibleNewPasswords(const QString& new_login, const QString& new_operation) {
  return (!new_login.isEmpty() || !new_operation.isEmpty()) &&
         new_login.size() <= kMaxPasswordLength && new_operation.size() <= kMaxPasswordLength;
}

// Inside the caller's transaction.
void SaveNewPasswords(Store& store, qint64 teacher_id, const NewPasswordHashes& hashes) {
  if (!hashes.login.isEmpty()) store.UpdateLoginPassword(teacher_id, hashes.login, hashes.digest);
  if (!hashes.operation.isEmpty()) store.UpdateOperationPassword(teacher_id, hashes.operation);
}

Reply Busy() { return Reply::Text(u"服务器繁忙，请稍后再试", 503); }

}  // namespace

// The password was checked before: the sign-in only says so.
Reply ScoringService::CheckPassword(const Request&, qint64) { return Reply::Text(kSuccess); }

std::variant<Reply, NewTeacher> ScoringService::ReadSignUp(const Request& request,
                                                            bool count_refusal) {
  if (!config_.sign_up) return Reply::Text(u"本服务器已关闭注册，请联系管理员开通帐号");
  // Sign-ups per address in an hour, checked before any work is done.
  const SteadyTime now = std::chrono::steady_clock::now();
  if (sign_ups_.AddressBlocked(request.address, now)) {
    if (count_refusal) ServiceMetrics().CountRefusal(Metrics::Limit::kSignUp);
    return Reply::Text(u"注册过于频繁，请稍后再试");
  }
  NewTeacher teacher;
  teacher.account = request.Param(u"username").trimmed();
  teacher.name = request.Param(u"teachername").trimmed();
  teacher.email = request.Param(u"email").trimmed();
  teacher.mobile = request.Param(u"mb").trimmed();
  teacher.telephone = request.Param(u"tel").trimmed();
  teacher.qq = request.Param(u"qq").trimmed();
  const QString password = request.Param(u"password");
  const QString super_password = request.Param(u"superpassword");
  if (!IsValidAccount(teacher.account)) {
    return Reply::Text(u"用户名须为4至32位字母、数字或下划线");
  }
  if (teacher.name.isEmpty()) return Reply::Text(u"请输入教师姓名！");
  if (!IsSingleField(teacher.name) || teacher.name.size() > kMaxNameLength) {
    return Reply::Text(u"教师姓名不正确");
  }
  if (!IsPlausibleEmail(teacher.email)) return Reply::Text(u"Email地址不正确！");
  if (password.trimmed().isEmpty()) return Reply::Text(u"请输入登录密码！");
  if (super_password.trimmed().isEmpty()) return Reply::Text(u"请输入操作密码！");
  if (password.size() > kMaxPasswordLength || super_password.size() > kMaxPasswordLength) {
    return Reply::Text(u"密码过长");
  }
  for (const QString* contact : {&teacher.mobile, &teacher.telephone, &teacher.qq}) {
    if (!IsSingleField(*contact) || contact->size() > kMaxContactLength) {
      return Reply::Text(u"联系方式不正确");
    }
  }
  const QString key = AccountKey(teacher.account);
  if (store_.FindTeacher(key)) return Reply::Text(u"该用户名已被注册");
  return teacher;
}

QStringList ScoringService::SignUpSecrets(const Request& request, qint64) {
  // A sign-up that will be refused costs no hashing.
  if (std::holds_alternative<Reply>(ReadSignUp(request, false))) return {};
  const QString password = request.Param(u"password");
  return {password, request.Param(u"superpassword"), Md5Hex(password)};
}

Reply ScoringService::RegisterTeacher(const Request& request, qint64) {
  // Checked again: another sign-up may have taken the name meanwhile.
  std::variant<Reply, NewTeacher> read = ReadSignUp(request, true);
  if (auto* refusal = std::get_if<Reply>(&read)) return *refusal;
  NewTeacher& teacher = std::get<NewTeacher>(read);
  const QString password = request.Param(u"password");
  teacher.login_hash = NewHash(password);
  teacher.operation_hash = NewHash(request.Param(u"superpassword"));
  teacher.digest_hash = NewHash(Md5Hex(password));
  if (teacher.login_hash.isEmpty() || teacher.operation_hash.isEmpty() ||
      teacher.digest_hash.isEmpty()) {
    return Busy();
  }
  Transaction transaction(db_);
  store_.InsertTeacher(teacher, AccountKey(teacher.account));
  transaction.Commit();
  sign_ups_.RecordFailure(QStringView(), request.address, std::chrono::steady_clock::now());
  return Reply::Text(kSuccess);
}

Reply ScoringService::CheckUserName(const Request& request, qint64) {
  const QString account = request.Param(u"u").trimmed();
  if (!IsValidAccount(account)) return Reply::Text(u"用户名须为4至32位字母、数字或下划线");
  if (store_.FindTeacher(AccountKey(account))) return Reply::Text(u"该用户名已被注册");
  return Reply::Text(u"√");
}

Reply ScoringService::GetTeacher(Store& store, const Request&, qint64 teacher_id,
                                 const QDateTime&) {
  const std::optional<Teacher> teacher = store.TeacherById(teacher_id);
  if (!teacher) return Reply::Text(u"用户不存在", 403);
  return Reply::Text(QStringList{teacher->name, teacher->account, teacher->email}.join(u"\r\n"));
}

QStringList ScoringService::AccountSecrets(const Request& request, qint64) {
  const QString new_login = request.Param(u"newlogpassword");
  const QString new_operation = request.Param(u"newsuperpassword");
  if (!IsPlausibleEmail(request.Param(u"email").trimmed()) ||
      new_login.size() > kMaxPasswordLength || new_operation.size() > kMaxPasswordLength) {
    return {};
  }
  return NewPasswordSecrets(new_login, new_operation);
}

Reply ScoringService::SetTeacher(const Request& request, qint64 teacher_id) {
  const QString email = request.Param(u"email").trimmed();
  const QString new_login = request.Param(u"newlogpassword");
  const QString new_operation = request.Param(u"newsuperpassword");
  if (!IsPlausibleEmail(email)) return Reply::Text(u"Email地址不正确！");
  if (new_login.size() > kMaxPasswordLength || new_operation.size() > kMaxPasswordLength) {
    return Reply::Text(u"密码过长");
  }
  const auto hashes = NewPasswords([this](const QString& secret) { return NewHash(secret); },
                                   new_login, new_operation);
  if (!hashes) return Busy();
  Transaction transaction(db_);
  store_.UpdateEmail(teacher_id, email);
  SaveNewPasswords(store_, teacher_id, *hashes);
  const bool new_passwords = !new_login.isEmpty() || !new_operation.isEmpty();
  if (new_passwords) store_.NextSecretRevision(teacher_id);
  transaction.Commit();
  if (new_passwords) PasswordsChanged(teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::RequestResetCode(const Request& request, qint64) {
  const SteadyTime now = std::chrono::steady_clock::now();
  if (failures_.AddressBlocked(request.address, now)) {
    return Reply::Text(u"请求过于频繁，请稍后再试");
  }
  const std::optional<Teacher> teacher = store_.FindTeacher(AccountKey(request.Param(u"username")));
  const QString email = request.Param(u"email").trimmed();
  if (!teacher || email.isEmpty() ||
      email.compare(teacher->email.trimmed(), Qt::CaseInsensitive) != 0) {
    // Guessing account and address pairs counts like guessing passwords.
    failures_.RecordFailure(QStringView(), request.address, now);
    return Reply::Text(kFailure);
  }
  // A victim's mailbox is not to be flooded (counted in the database, so a
  // restart of the service does not start the hour again), nor the mail
  // relay by one address.
  const QString too_often = QStringLiteral("验证码邮件发送过于频繁，请稍后再试");
  if (reset_mails_.AddressBlocked(request.address, now)) {
    ServiceMetrics().CountRefusal(Metrics::Limit::kResetMail);
    return Reply::Text(too_often);
  }
  const QString code =
      QStringLiteral("%1").arg(randombytes_uniform(1000000), 6, 10, QLatin1Char('0'));
  qint64 guard_hour_start = 0;
  {
    const qint64 now_ms = NowMs();
    Transaction transaction(db_);
    ResetGuard guard = store_.FindResetGuard(teacher->id);
    if (now_ms - guard.mail_hour_start >= kMailHourMs || now_ms < guard.mail_hour_start) {
      guard.mail_hour_start = now_ms;
      guard.mails = 0;
    }
    if (guard.mails >= kResetMailsPerHour) {
      ServiceMetrics().CountRefusal(Metrics::Limit::kResetMail);
      return Reply::Text(too_often);
    }
    ++guard.mails;
    guard_hour_start = guard.mail_hour_start;
    store_.SaveResetGuard(teacher->id, guard);
    store_.SaveResetCode(teacher->id, ResetCodeHash(teacher->id, code),
                         now_ms + kResetCodeLifetimeMs);
    transaction.Commit();
  }
  reset_mails_.RecordFailure(QStringView(), request.address, now);
  // "success" only once the mail is handed over; the request waits for that
  // (other requests go on meanwhile).
  AnswerAfterCommit([this, mail = ResetCodeMail(teacher->email, teacher->name, teacher->account, code),
           account = teacher->account, teacher_id = teacher->id,
           hour_start = guard_hour_start](std::function<void(const Reply&)> respond) {
    mailer_.Send(mail, [this, respond, account, teacher_id, hour_start](bool sent,
                                                                        const QString& error) {
      ServiceMetrics().CountMail(sent);
      if (!sent) {
        std::fprintf(stderr, "reset mail for %s not sent: %s\n", account.toUtf8().constData(),
                     error.toUtf8().constData());
        // A mail that never left does not use up one of the teacher's mails
        // of the hour: once the relay is back, the code can be asked again.
        AnswerSafely([&] {
          Transaction transaction(db_);
          ResetGuard guard = store_.FindResetGuard(teacher_id);
          if (guard.mail_hour_start == hour_start && guard.mails > 0) {
            --guard.mails;
            store_.SaveResetGuard(teacher_id, guard);
          }
          transaction.Commit();
          return Reply();
        });
        respond(Reply::Text(u"邮件发送失败，请稍后再试", 503));
        return;
      }
      respond(Reply::Text(kSuccessLower));
    });
  });
  return Reply::Text(kSuccessLower);
}

QStringList ScoringService::ResetSecrets(const Request& request, qint64) {
  const std::optional<Teacher> teacher = store_.FindTeacher(AccountKey(request.Param(u"username")));
  const QString code = request.Param(u"checkcode").trimmed();
  const QString new_login = request.Param(u"newpswd");
  const QString new_operation = request.Param(u"newsuperpswd");
  // A wrong or spent code costs no hashing.
  std::optional<ResetCode> stored;
  if (!teacher || code.isEmpty() || !PlausibleNewPasswords(new_login, new_operation) ||
      ReadResetCode(store_, teacher->id, code, &stored) != CodeState::kGood) {
    return {};
  }
  return NewPasswordSecrets(new_login, new_operation);
}

Reply ScoringService::ResetPassword(const Request& request, qint64) {
  const std::optional<Teacher> teacher = store_.FindTeacher(AccountKey(request.Param(u"username")));
  const QString code = request.Param(u"checkcode").trimmed();
  const QString new_login = request.Param(u"newpswd");
  const QString new_operation = request.Param(u"newsuperpswd");
  if (!teacher || code.isEmpty() || !PlausibleNewPasswords(new_login, new_operation)) {
    return Reply::Text(kFailure);
  }
  std::optional<ResetCode> stored;
  switch (ReadResetCode(store_, teacher->id, code, &stored)) {
    case CodeState::kLocked:
      ServiceMetrics().CountRefusal(Metrics::Limit::kResetCode);
      return Reply::Text(kFailure);
    case CodeState::kMissing:
      return Reply::Text(kFailure);
    case CodeState::kUsedUp: {
      Transaction transaction(db_);
      store_.DeleteResetCode(teacher->id);
      transaction.Commit();
      return Reply::Text(kFailure);
    }
    case CodeState::kWrong: {
      Transaction transaction(db_);
      CountWrongResetCode(store_, teacher->id, NowMs());
      // The fifth wrong try uses the code up.
      if (stored->tries + 1 >= kResetCodeTries) {
        store_.DeleteResetCode(teacher->id);
      } else {
        store_.SetResetTries(teacher->id, stored->tries + 1);
      }
      transaction.Commit();
      return Reply::Text(kFailure);
    }
    case CodeState::kGood:
      break;
  }
  const auto hashes = NewPasswords([this](const QString& secret) { return NewHash(secret); },
                                   new_login, new_operation);
  if (!hashes) return Busy();
  Transaction transaction(db_);
  SaveNewPasswords(store_, teacher->id, *hashes);
  store_.NextSecretRevision(teacher->id);
  store_.DeleteResetCode(teacher->id);
  ResetGuard guard = store_.FindResetGuard(teacher->id);
  guard.wrong_codes = 0;
  guard.locked_until = 0;
  store_.SaveResetGuard(teacher->id, guard);
  transaction.Commit();
  PasswordsChanged(teacher->id);
  return Reply::Text(kSuccessLower);
}

}  // namespace zorvanix::server
