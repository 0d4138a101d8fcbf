// Reads back the CSV the exports write, as a spreadsheet program would.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace zorvanix::testing {

// RFC 4180: quoted fields may hold commas, doubled quotes and line breaks;
// rows end with CR LF. The byte-order mark is the caller's to strip.
QList<QStringList> ParseCsv(const QString& text);

}  // namespace zorvanix::testing
