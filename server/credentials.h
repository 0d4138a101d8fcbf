// Passwords: Argon2id hashes at rest, a short-lived memory of successful
// checks so uploads are not bound by Argon2id, and a limit on wrong guesses.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringView>
#include <chrono>
#include <optional>

#include "server/server_config.h"

namespace zorvanix::server {

// Which secret a check is about; part of the cache key, so a login password
// that happens to equal the operation password is still checked separately.
enum class SecretKind : char { kLogin = 'L', kOperation = 'O', kDigest = 'D' };

class PasswordHasher {
 public:
  explicit PasswordHasher(PasswordCost cost);
  // An encoded Argon2id hash ("$argon2id$v=19$..."); empty if hashing failed
  // (out of memory).
  QByteArray Hash(QStringView password) const;
  // Constant-time check of password against an encoded hash.
  static bool Verify(const QByteArray& encoded_hash, QStringView password);

 private:
  unsigned long long ops_limit_;
  size_t mem_limit_;
};

using SteadyTime = std::chrono::steady_clock::time_point;

// Remembers successful checks for a short while. Entries are keyed by an
// HMAC of kind, account and secret under a key made at start-up, so the
// memory holds no password and no fast unsalted hash of one.
class VerificationCache {
 public:
  explicit VerificationCache(std::chrono::seconds lifetime = std::chrono::minutes(5));

  // A check remembered with the teacher's password revision at the time;
  // the caller compares it with the stored one.
  struct Remembered {
    qint64 teacher_id = 0;
    qint64 secret_revision = 0;
  };
  std::optional<Remembered> Find(SecretKind kind, QStringView account_key, QStringView secret,
                                 SteadyTime now) const;
  void Remember(SecretKind kind, QStringView account_key, QStringView secret, qint64 teacher_id,
                qint64 secret_revision, SteadyTime now);
  // A changed password must not keep working from memory.
  void ForgetTeacher(qint64 teacher_id);
  qsizetype Size() const { return entries_.size(); }

 private:
  struct Entry {
    qint64 teacher_id;
    qint64 secret_revision;
    SteadyTime expires;
  };
  QByteArray Key(SecretKind kind, QStringView account_key, QStringView secret) const;
  void Prune(SteadyTime now);

  std::chrono::seconds lifetime_;
  QByteArray mac_key_;
  QHash<QByteArray, Entry> entries_;
};

// Counts wrong passwords per account and per client address in a fixed
// window; past the limit, checks are refused until the window ends.
class FailureLimiter {
 public:
  FailureLimiter(int per_account, int per_address, std::chrono::seconds window);

  bool AccountBlocked(QStringView account_key, SteadyTime now) const;
  bool AddressBlocked(QStringView address, SteadyTime now) const;
  void RecordFailure(QStringView account_key, QStringView address, SteadyTime now);
  // Minutes until the later of the two windows ends, for the refusal text.
  int MinutesLeft(QStringView account_key, QStringView address, SteadyTime now) const;

 private:
  struct Window {
    SteadyTime start;
    int failures = 0;
  };
  bool Blocked(const QHash<QString, Window>& windows, QStringView key, int limit,
               SteadyTime now) const;
  void Count(QHash<QString, Window>& windows, QStringView key, SteadyTime now);
  void Prune(QHash<QString, Window>& windows, SteadyTime now);

  int per_account_;
  int per_address_;
  std::chrono::seconds window_;
  QHash<QString, Window> accounts_;
  QHash<QString, Window> addresses_;
};

// Slows guessing down without locking anyone out for good: the first few
// failures of a key are free, then every further failure makes the key wait
// twice as long as the last (from first up to longest) before it may try
// again. A key that stays quiet for longest is forgotten.
class GrowingDelay {
 public:
  GrowingDelay(int free_failures, std::chrono::seconds first, std::chrono::seconds longest);

  // How long the key must still wait; zero when it may try now.
  std::chrono::seconds Wait(const QString& key, SteadyTime now) const;
  void RecordFailure(const QString& key, SteadyTime now);
  void Forget(const QString& key) { entries_.remove(key); }
  int Failures(const QString& key) const { return entries_.value(key).failures; }

 private:
  struct Entry {
    int failures = 0;
    SteadyTime last;
    SteadyTime next;  // earliest next try
  };
  void Prune(SteadyTime now);

  int free_failures_;
  std::chrono::seconds first_;
  std::chrono::seconds longest_;
  QHash<QString, Entry> entries_;
};

}  // namespace zorvanix::server
