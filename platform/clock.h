// The PC's clock, behind an interface so a test can set it (midnight, skew).
#pragma once

#include <QDateTime>

namespace zorvanix {

class Clock {
 public:
  virtual ~Clock() = default;
  // The local date and time, as the teacher's PC shows it.
  virtual QDateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands where it is set; for tests and demonstrations.
class SettableClock : public Clock {
 public:
  explicit SettableClock(QDateTime now = QDateTime::currentDateTime()) : now_(std::move(now)) {}
  QDateTime Now() const override { return now_; }
  void Set(const QDateTime& now) { now_ = now; }
  void Advance(qint64 seconds) { now_ = now_.addSecs(seconds); }

 private:
  QDateTime now_;
};

}  // namespace zorvanix
