#include "core/service_time.h"

#include <QRegularExpression>
#include <limits>

namespace zorvanix {
namespace {

const QDateTime& Epoch() {
  static const QDateTime epoch(QDate(1970, 1, 1), QTime(8, 0, 0), Qt::UTC);
  return epoch;
}

// Naive arithmetic: the fields are taken as they stand, in UTC, so no daylight
// saving rule or zone offset of this machine can move them.
QDateTime AsNaive(const QDateTime& moment) {
  return QDateTime(moment.date(), moment.time(), Qt::UTC);
}

}  // namespace

std::optional<QDateTime> ParseDateTimeText(QStringView text) {
  static const QRegularExpression pattern(QStringLiteral(
      R"(^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?\s*$)"));
  const QRegularExpressionMatch match = pattern.match(text.toString());
  if (!match.hasMatch()) return std::nullopt;
  const QDate date(match.capturedView(1).toInt(), match.capturedView(2).toInt(),
                   match.capturedView(3).toInt());
  if (!date.isValid()) return std::nullopt;
  QTime time(0, 0, 0);
  if (match.hasCaptured(4)) {
    time = QTime(match.capturedView(4).toInt(), match.capturedView(5).toInt(),
                 match.hasCaptured(6) ? match.capturedView(6).toInt() : 0);
    if (!time.isValid()) return std::nullopt;
  }
  return QDateTime(date, time, Qt::UTC);
}

qint64 ServiceSeconds(const QDateTime& naive_local) { return Epoch().secsTo(AsNaive(naive_local)); }

qint32 ServiceTimestamp(QStringView date_text) {
  const std::optional<QDateTime> moment = ParseDateTimeText(date_text);
  if (!moment) return 0;
  const qint64 seconds = ServiceSeconds(*moment);
  if (seconds < std::numeric_limits<qint32>::min() ||
      seconds > std::numeric_limits<qint32>::max()) {
    return 0;
  }
  return static_cast<qint32>(seconds);
}

QDateTime ServiceTimeToDateTime(qint64 seconds) { return Epoch().addSecs(seconds); }

QString TimestampToText(qint64 seconds) {
  const QDateTime moment = ServiceTimeToDateTime(seconds);
  if (!moment.isValid()) return QString();
  if (moment.time() == QTime(0, 0, 0)) return moment.toString(QStringLiteral("yyyy/M/d"));
  return moment.toString(QStringLiteral("yyyy/M/d H:mm:ss"));
}

QString FormatScoreTime(const QDateTime& moment) {
  return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace zorvanix
