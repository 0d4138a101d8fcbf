// The service's clock: whole seconds from "1970-1-1 08:00:00", both ends read
// as naive local date-times. On a PC set to UTC+8 this is Unix time; the
// arithmetic never consults the machine's time zone.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <optional>

namespace zorvanix {

// Reads "2013-3-15", "2013-03-15 08:05:09", "2013/3/15 8:05:09" (seconds and
// the whole time part optional, "-" or "/" between date parts). Anything else,
// or an impossible date, gives nothing.
std::optional<QDateTime> ParseDateTimeText(QStringView text);

// Seconds from 1970-1-1 08:00:00 to the given date-time text; 0 for a text
// that is not a date, or a moment outside the 32-bit range.
qint32 ServiceTimestamp(QStringView date_text);
// The same for a QString, or a literal such as "2013-3-15".
inline qint32 ServiceTimestamp(const QString& date_text) {
  return ServiceTimestamp(QStringView(date_text));
}
qint64 ServiceSeconds(const QDateTime& naive_local);

// 1970-1-1 08:00:00 plus the seconds, in the general date format the teacher
// sees elsewhere: "2013/3/15 8:05:09", or only "2013/3/15" at midnight.
QString TimestampToText(qint64 seconds);

// The same moment as a date-time (no time zone attached).
QDateTime ServiceTimeToDateTime(qint64 seconds);

// "yyyy-MM-dd HH:mm:ss": the time field of score lines and score records.
QString FormatScoreTime(const QDateTime& moment);

}  // namespace zorvanix
