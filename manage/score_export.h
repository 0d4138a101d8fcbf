// The score records of one class as a table a spreadsheet program opens: a
// header row 时间, 姓名, 计分, 课题, 说明 and one row per record, in list order.
// Written as CSV (UTF-8 with a byte-order mark, so Chinese shows correctly)
// or as an XLSX workbook. Either file is written whole or not at all: it is
// built aside and only then put in place of the chosen name.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/score_csv.h"

namespace zorvanix {

enum class ExportFormat { kCsv, kXlsx };

// One row per record line "ID TAB student TAB score TAB time TAB topic TAB
// note": time, student, score, topic, note. Missing fields are empty; TABs
// beyond the sixth field stay in the note.
QList<QStringList> ScoreExportRows(const QStringList& record_lines);

// The format a save name asks for: ".xlsx" (any case) for XLSX, anything
// else CSV.
ExportFormat ExportFormatOf(const QString& path);

// Writes the records to path; false with the reason in *error when the file
// could not be written (an existing file is then left as it was).
bool WriteScoreExport(const QString& path, ExportFormat format, const QStringList& record_lines,
                      QString* error);

}  // namespace zorvanix
