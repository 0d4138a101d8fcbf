#include "rollcall/startup_checks.h"

#include <cmath>

#include "core/numbers.h"
#include "core/service_time.h"
#include "platform/service_client.h"

namespace zorvanix {

std::optional<QString> ClockWarning(const QString& server_time_reply, const QDateTime& pc_now) {
  const double server_seconds = LeadingNumber(server_time_reply);
  const qint64 pc_seconds = ServiceSeconds(pc_now);
  const qint32 cutoff = ServiceTimestamp(u"2013-3-15");
  // Beyond the last day a date can name is no time either.
  static const qint64 last_moment =
      ServiceSeconds(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
  if (server_seconds <= cutoff || server_seconds > static_cast<double>(last_moment)) {
    return std::nullopt;
  }
  if (std::abs(server_seconds - static_cast<double>(pc_seconds)) <= kAllowedClockSkewSeconds) {
    return std::nullopt;
  }
  return QStringLiteral("时间错误，请修改后确定！\r\n服务器时间:") +
         TimestampToText(std::llround(server_seconds)) + QStringLiteral("\r\n本电脑时间:") +
         TimestampToText(pc_seconds);
}

QString ClockWarningTitle() { return QStringLiteral("时间错误"); }

QString VersionCheckingText() { return QStringLiteral("正在检测服务器版本"); }

std::optional<QString> ServerVersionText(const QString& reply) {
  const QString prefix = QLatin1String(kProductId) + u':';
  if (!reply.startsWith(prefix)) return std::nullopt;
  qsizetype begin = prefix.size(), end = reply.size();
  while (begin < end && reply[begin] == u' ') ++begin;
  while (end > begin && reply[end - 1] == u' ') --end;
  return QStringLiteral("服务器版本:") + reply.mid(begin, end - begin);
}

}  // namespace zorvanix
