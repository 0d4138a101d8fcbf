// The two checks the roll-call window makes once, a second after it starts:
// is the PC's clock right (scores carry its time), and which version of the
// program the maker's website offers. Plain functions on the replies; the
// window asks the service and shows what they return.
#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

#include "platform/app_context.h"

namespace zorvanix {

// More than this many seconds between the PC and the service is worth a warning.
inline constexpr int kAllowedClockSkewSeconds = 300;

// The warning for the service's time reply (seconds since 1970-1-1 08:00:00)
// against the PC's time, or nothing when the clocks agree within five minutes.
// A reply that is not a time after 2013-03-15 (an error page, no answer)
// counts as no answer and warns of nothing.
std::optional<QString> ClockWarning(const QString& server_time_reply, const QDateTime& pc_now);
// Its title.
QString ClockWarningTitle();

// The status-bar text while the version check waits, and for a reply without
// the product's prefix.
QString VersionCheckingText();
// "服务器版本:" and the version after the product prefix, blanks at both ends
// removed; nothing when the reply does not begin with the prefix exactly.
std::optional<QString> ServerVersionText(const QString& reply);

class StatusPanels;

// "版本:1.2.3": the version of this program, for its status bar.
QString ProgramVersionText();

// Both checks, sent off at once (when the configuration wants them) and each
// answered whenever its reply comes in: the caller never waits, so the
// stopwatch, clicks and a rolling draw go on while a slow service keeps
// them. The replies are dropped once receiver is gone.
void RunStartupChecks(AppContext& context, const QObject* receiver, StatusPanels& status);

}  // namespace zorvanix
