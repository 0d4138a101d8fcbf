#include "core/score_csv.h"

#include <QStringView>

namespace zorvanix {

QStringList ScoreExportHeader() {
  return {QStringLiteral("时间"), QStringLiteral("姓名"), QStringLiteral("计分"),
          QStringLiteral("课题"), QStringLiteral("说明")};
}

QString GuardFormula(const QString& cell) {
  if (!cell.isEmpty() && QStringView(u"=+-@").contains(cell.front())) return u'\'' + cell;
  return cell;
}

QString CsvField(const QString& cell) {
  if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
      !cell.contains(u'\r')) {
    return cell;
  }
  QString quoted = cell;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

QByteArray ScoresCsv(const QList<QStringList>& rows) {
  QString text;
  auto append_row = [&text](const QStringList& row, bool guard) {
    QStringList cells;
    for (int column = 0; column < row.size(); ++column) {
      const bool text_cell = guard && column != kScoreExportScoreColumn;
      cells.append(CsvField(text_cell ? GuardFormula(row[column]) : row[column]));
    }
    text += cells.join(u',') + QStringLiteral("\r\n");
  };
  append_row(ScoreExportHeader(), false);
  for (const QStringList& row : rows) append_row(row, true);
  return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

}  // namespace zorvanix
