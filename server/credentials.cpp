#include "server/credentials.h"

#include <sodium.h>

namespace zorvanix::server {
namespace {

constexpr qsizetype kMaxCacheEntries = 100000;
constexpr qsizetype kMaxLimiterEntries = 100000;

}  // namespace

PasswordHasher::PasswordHasher(PasswordCost cost) {
  if (cost == PasswordCost::kMinimum) {
    ops_limit_ = crypto_pwhash_OPSLIMIT_MIN;
    mem_limit_ = crypto_pwhash_MEMLIMIT_MIN;
  } else {
    ops_limit_ = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    mem_limit_ = crypto_pwhash_MEMLIMIT_INTERACTIVE;
  }
}

QByteArray PasswordHasher::Hash(QStringView password) const {
  const QByteArray bytes = password.toUtf8();
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                            ops_limit_, mem_limit_, crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return {};
  }
  return QByteArray(out);
}

bool PasswordHasher::Verify(const QByteArray& encoded_hash, QStringView password) {
  if (encoded_hash.isEmpty()) return false;
  const QByteArray bytes = password.toUtf8();
  return crypto_pwhash_str_verify(encoded_hash.constData(), bytes.constData(),
                                  static_cast<unsigned long long>(bytes.size())) == 0;
}

VerificationCache::VerificationCache(std::chrono::seconds lifetime) : lifetime_(lifetime) {
  mac_key_.resize(crypto_auth_hmacsha256_KEYBYTES);
  crypto_auth_hmacsha256_keygen(reinterpret_cast<unsigned char*>(mac_key_.data()));
}

QByteArray VerificationCache::Key(SecretKind kind, QStringView account_key,
                                  QStringView secret) const {
  // Lengths go in first so "ab"+"c" and "a"+"bc" cannot collide.
  const QByteArray account = account_key.toUtf8();
  const QByteArray password = secret.toUtf8();
  QByteArray message;
  message.reserve(account.size() + password.size() + 16);
  message += static_cast<char>(kind);
  message += QByteArray::number(account.size()) + ':' + account;
  message += QByteArray::number(password.size()) + ':' + password;
  QByteArray mac(crypto_auth_hmacsha256_BYTES, Qt::Uninitialized);
  crypto_auth_hmacsha256(reinterpret_cast<unsigned char*>(mac.data()),
                         reinterpret_cast<const unsigned char*>(message.constData()),
                         static_cast<unsigned long long>(message.size()),
                         reinterpret_cast<const unsigned char*>(mac_key_.constData()));
  sodium_memzero(message.data(), static_cast<size_t>(message.size()));
  return mac;
}

std::optional<VerificationCache::Remembered> VerificationCache::Find(SecretKind kind,
                                                                     QStringView account_key,
                                                                     QStringView secret,
                                                                     SteadyTime now) const {
  const auto it = entries_.constFind(Key(kind, account_key, secret));
  if (it == entries_.constEnd() || it->expires <= now) return std::nullopt;
  return Remembered{it->teacher_id, it->secret_revision};
}

void VerificationCache::Remember(SecretKind kind, QStringView account_key, QStringView secret,
                                 qint64 teacher_id, qint64 secret_revision, SteadyTime now) {
  if (entries_.size() >= kMaxCacheEntries) Prune(now);
  entries_.insert(Key(kind, account_key, secret),
                  Entry{teacher_id, secret_revision, now + lifetime_});
}

void VerificationCache::ForgetTeacher(qint64 teacher_id) {
  entries_.removeIf(
      [teacher_id](const auto& entry) { return entry.value().teacher_id == teacher_id; });
}

void VerificationCache::Prune(SteadyTime now) {
  entries_.removeIf([now](const auto& entry) { return entry.value().expires <= now; });
  // Still full: every entry is fresh; start over rather than grow without end.
  if (entries_.size() >= kMaxCacheEntries) entries_.clear();
}

FailureLimiter::FailureLimiter(int per_account, int per_address, std::chrono::seconds window)
    : per_account_(per_account), per_address_(per_address), window_(window) {}

bool FailureLimiter::Blocked(const QHash<QString, Window>& windows, QStringView key, int limit,
                             SteadyTime now) const {
  const auto it = windows.constFind(key.toString());
  if (it == windows.constEnd() || now - it->start >= window_) return false;
  return it->failures >= limit;
}

bool FailureLimiter::AccountBlocked(QStringView account_key, SteadyTime now) const {
  return !account_key.isEmpty() && Blocked(accounts_, account_key, per_account_, now);
}

bool FailureLimiter::AddressBlocked(QStringView address, SteadyTime now) const {
  return Blocked(addresses_, address, per_address_, now);
}

void FailureLimiter::Count(QHash<QString, Window>& windows, QStringView key, SteadyTime now) {
  if (windows.size() >= kMaxLimiterEntries) Prune(windows, now);
  Window& window = windows[key.toString()];
  if (window.failures == 0 || now - window.start >= window_) {
    window.start = now;
    window.failures = 0;
  }
  ++window.failures;
}

void FailureLimiter::Prune(QHash<QString, Window>& windows, SteadyTime now) {
  windows.removeIf([&](const auto& entry) { return now - entry.value().start >= window_; });
}

void FailureLimiter::RecordFailure(QStringView account_key, QStringView address, SteadyTime now) {
  if (!account_key.isEmpty()) Count(accounts_, account_key, now);
  Count(addresses_, address, now);
}

int FailureLimiter::MinutesLeft(QStringView account_key, QStringView address,
                                SteadyTime now) const {
  std::chrono::seconds left{0};
  for (const auto& [windows, key] :
       {std::pair{&accounts_, account_key}, std::pair{&addresses_, address}}) {
    const auto it = windows->constFind(key.toString());
    if (it == windows->constEnd()) continue;
    const auto remaining =
        std::chrono::duration_cast<std::chrono::seconds>(it->start + window_ - now);
    left = std::max(left, remaining);
  }
  return static_cast<int>((left.count() + 59) / 60);
}

GrowingDelay::GrowingDelay(int free_failures, std::chrono::seconds first,
                           std::chrono::seconds longest)
    : free_failures_(free_failures), first_(first), longest_(longest) {}

std::chrono::seconds GrowingDelay::Wait(const QString& key, SteadyTime now) const {
  const auto it = entries_.constFind(key);
  if (it == entries_.constEnd() || it->next <= now) return std::chrono::seconds(0);
  return std::chrono::ceil<std::chrono::seconds>(it->next - now);
}

void GrowingDelay::RecordFailure(const QString& key, SteadyTime now) {
  if (entries_.size() >= kMaxLimiterEntries) Prune(now);
  Entry& entry = entries_[key];
  if (entry.failures > 0 && now - entry.last >= longest_ && entry.next <= now) entry = Entry{};
  ++entry.failures;
  entry.last = now;
  const int over = entry.failures - free_failures_;
  if (over <= 0) return;
  std::chrono::seconds delay = first_;
  for (int i = 1; i < over && delay < longest_; ++i) delay *= 2;
  entry.next = now + std::min(delay, longest_);
}

void GrowingDelay::Prune(SteadyTime now) {
  entries_.removeIf([&](const auto& entry) {
    return now - entry.value().last >= longest_ && entry.value().next <= now;
  });
  if (entries_.size() >= kMaxLimiterEntries) entries_.clear();
}

}  // namespace zorvanix::server
