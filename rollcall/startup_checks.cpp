#include "rollcall/startup_checks.h"

#include <QVersionNumber>
#include <cmath>

#include "core/numbers.h"
#include "core/service_time.h"
#include "platform/service_client.h"
#include "rollcall/status_panels.h"

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

QString ProgramVersionText() {
  const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(ZORVANIX_VERSION));
  return QStringLiteral("版本:%1.%2.%3")
      .arg(version.majorVersion())
      .arg(version.minorVersion())
      .arg(version.microVersion());
}

void RunStartupChecks(AppContext& context, const QObject* receiver, StatusPanels& status) {
  if (!context.config.startup_checks) return;
  context.service->ServerTimeAsync(receiver, [&context](const QString& reply) {
    // Compared with the PC's clock as it stands when the answer is in.
    if (const auto warning = ClockWarning(reply, context.clock->Now())) {
      context.prompter->ShowNotice(ClockWarningTitle(), *warning, MessageIcon::kWarning);
    }
  });
  status.ShowServerVersion(VersionCheckingText());
  context.service->VendorVersionAsync(receiver, [&status](const QString& reply) {
    if (const auto text = ServerVersionText(reply)) status.ShowServerVersion(*text);
  });
}

}  // namespace zorvanix
