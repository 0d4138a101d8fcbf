// Score records as CSV a spreadsheet program opens correctly: UTF-8 with a
// byte-order mark, a header row 时间, 姓名, 计分, 课题, 说明, CR LF after
// every row, and text cells guarded so none is read as a formula. The
// management window's export and the service's results page write the same
// file through these functions.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace zorvanix {

// The header row: 时间, 姓名, 计分, 课题, 说明.
QStringList ScoreExportHeader();
// The score column of a row (the one that holds numbers).
inline constexpr int kScoreExportScoreColumn = 2;

// A text cell as a spreadsheet should read it: a text that begins with "=",
// "+", "-" or "@" would be taken as a formula, so it gets a leading "'".
QString GuardFormula(const QString& cell);
// One CSV field: quoted (inner quotes doubled) when it holds a comma, a
// quote or a line break.
QString CsvField(const QString& cell);
// The whole CSV file: BOM, header and rows (time, student, score, topic,
// note), CR LF after every row; every column but the score column guarded
// against formulas.
QByteArray ScoresCsv(const QList<QStringList>& rows);

}  // namespace zorvanix
