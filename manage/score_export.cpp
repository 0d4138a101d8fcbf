#include "manage/score_export.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace zorvanix {
namespace {

constexpr int kColumns = 5;

bool SaveWhole(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

// A score text as a number, when all of it is one.
bool ScoreNumber(const QString& text, double* value) {
  bool ok = false;
  *value = text.trimmed().toDouble(&ok);
  return ok && !text.trimmed().isEmpty();
}

bool XlsxBytes(const QList<QStringList>& rows, QByteArray* bytes, QString* error) {
  // The writer makes its file itself; it is made in a directory of its own
  // and read back, so the chosen name only ever receives a finished workbook.
  QTemporaryDir dir;
  if (!dir.isValid()) {
    if (error) *error = dir.errorString();
    return false;
  }
  const QByteArray work_path = QFile::encodeName(dir.filePath(QStringLiteral("scores.xlsx")));
  lxw_workbook* workbook = workbook_new(work_path.constData());
  if (!workbook) {
    if (error) *error = QStringLiteral("无法创建工作簿");
    return false;
  }
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
  lxw_format* bold = workbook_add_format(workbook);
  format_set_bold(bold);
  const QStringList header = ScoreExportHeader();
  for (int column = 0; column < kColumns; ++column) {
    worksheet_write_string(sheet, 0, lxw_col_t(column), header[column].toUtf8().constData(), bold);
  }
  worksheet_set_column(sheet, 0, 0, 20, nullptr);
  worksheet_set_column(sheet, 1, 1, 12, nullptr);
  worksheet_set_column(sheet, 3, 4, 24, nullptr);
  lxw_row_t row_number = 1;
  for (const QStringList& row : rows) {
    for (int column = 0; column < kColumns; ++column) {
      const QString& cell = row[column];
      double number = 0;
      if (column == kScoreExportScoreColumn && ScoreNumber(cell, &number)) {
        worksheet_write_number(sheet, row_number, lxw_col_t(column), number, nullptr);
      } else if (!cell.isEmpty()) {
        // Text cells of a workbook are never read as formulas: written as they stand.
        worksheet_write_string(sheet, row_number, lxw_col_t(column), cell.toUtf8().constData(),
                               nullptr);
      }
    }
    ++row_number;
  }
  const lxw_error closed = workbook_close(workbook);
  if (closed != LXW_NO_ERROR) {
    if (error) *error = QString::fromUtf8(lxw_strerror(closed));
    return false;
  }
  QFile made(QFile::decodeName(work_path));
  if (!made.open(QIODevice::ReadOnly)) {
    if (error) *error = made.errorString();
    return false;
  }
  *bytes = made.readAll();
  return true;
}

}  // namespace

QList<QStringList> ScoreExportRows(const QStringList& record_lines) {
  QList<QStringList> rows;
  for (const QString& line : record_lines) {
    // ID, student, score, time, topic, note; the note keeps any further TABs.
    QStringList fields = line.split(u'\t');
    while (fields.size() < 6) fields.append(QString());
    const QString note = fields.mid(5).join(u'\t');
    rows.append({fields[3], fields[1], fields[2], fields[4], note});
  }
  return rows;
}

ExportFormat ExportFormatOf(const QString& path) {
  return QFileInfo(path).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0
             ? ExportFormat::kXlsx
             : ExportFormat::kCsv;
}

bool WriteScoreExport(const QString& path, ExportFormat format, const QStringList& record_lines,
                      QString* error) {
  const QList<QStringList> rows = ScoreExportRows(record_lines);
  QByteArray bytes;
  if (format == ExportFormat::kCsv) {
    bytes = ScoresCsv(rows);
  } else if (!XlsxBytes(rows, &bytes, error)) {
    return false;
  }
  return SaveWhole(path, bytes, error);
}

}  // namespace zorvanix
