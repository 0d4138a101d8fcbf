// The stopwatch of the roll-call window and the count of seconds since
// start-up, both driven by the one-second timer. The displays count ticks,
// not clock time.
#pragma once

#include <QString>
#include <QtGlobal>

namespace zorvanix {

class Stopwatch {
 public:
  // The stopwatch count is a 16-bit number that stops at its top.
  static constexpr qint16 kMaxSeconds = 32767;

  // Off: switch on and count from zero. On: switch off, nothing else changes.
  void Toggle();
  // One tick. True on the first tick after start-up, the moment for the
  // start-up checks.
  bool Tick();

  bool Running() const { return running_; }
  qint16 Seconds() const { return seconds_; }
  qint64 SecondsSinceStart() const { return seconds_since_start_; }

  // "HH:MM:SS" of the stopwatch count: the status-bar panel while it runs.
  QString HoursMinutesSeconds() const;
  // "MM:SS", minutes within the hour: the small clock on the draw panel.
  QString MinutesSeconds() const;

 private:
  bool running_ = false;
  qint16 seconds_ = 0;
  qint64 seconds_since_start_ = 0;
};

}  // namespace zorvanix
