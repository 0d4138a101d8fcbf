#include "rollcall/stopwatch.h"

namespace zorvanix {
namespace {

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

}  // namespace

void Stopwatch::Toggle() {
  if (running_) {
    running_ = false;
    return;
  }
  running_ = true;
  seconds_ = 0;
}

bool Stopwatch::Tick() {
  ++seconds_since_start_;
  if (seconds_ < kMaxSeconds) ++seconds_;
  return seconds_since_start_ == 1;
}

QString Stopwatch::HoursMinutesSeconds() const {
  return TwoDigits(seconds_ / 3600) + u':' + TwoDigits(seconds_ % 3600 / 60) + u':' +
         TwoDigits(seconds_ % 60);
}

QString Stopwatch::MinutesSeconds() const {
  return TwoDigits(seconds_ % 3600 / 60) + u':' + TwoDigits(seconds_ % 60);
}

}  // namespace zorvanix
