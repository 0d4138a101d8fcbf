#include "tests/support/csv_reader.h"

namespace zorvanix::testing {

QList<QStringList> ParseCsv(const QString& text) {
  QList<QStringList> rows;
  QStringList row;
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
        field += u'"';
        ++i;
      } else if (c == u'"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == u'"') {
      quoted = true;
    } else if (c == u',') {
      row.append(field);
      field.clear();
    } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      row.append(field);
      field.clear();
      rows.append(row);
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  if (!field.isEmpty() || !row.isEmpty()) rows.append(row << field);
  return rows;
}

}  // namespace zorvanix::testing
