#include "core/score_line.h"

#include <QFile>

#include "core/file_text.h"
#include "core/gbk.h"
#include "core/service_time.h"

namespace zorvanix {

QString ScoreLine(const QString& class_name, const QString& student, const QString& score_text,
                  const QDateTime& moment, const QString& criterion) {
  return QStringList{class_name, student, score_text, FormatScoreTime(moment), criterion}.join(
      u'\t');
}

QStringList ScoreLineFields(QStringView line) {
  QStringList fields;
  qsizetype start = 0;
  for (int field = 0; field < kScoreLineFields - 1; ++field) {
    const qsizetype tab = line.indexOf(u'\t', start);
    if (tab < 0) break;
    fields.append(line.sliced(start, tab - start).toString());
    start = tab + 1;
  }
  fields.append(line.sliced(std::min(start, line.size())).toString());
  while (fields.size() < kScoreLineFields) fields.append(QString());
  return fields;
}

namespace {

// One part of a log name: a character no file name may hold, the separator
// '_' and the escape '%' itself become "%XX" (their code in hex), so two
// different names never share a file and every other name stays as it is.
QString SafeNamePart(const QString& part) {
  QString safe;
  safe.reserve(part.size());
  for (const QChar c : part) {
    if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|_%").contains(c)) {
      safe += u'%' + QStringLiteral("%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
    } else {
      safe += c;
    }
  }
  return safe;
}

}  // namespace

QString DailyLogFileName(const QString& user, const QString& class_name, const QDate& day) {
  return SafeNamePart(user) + u'_' + SafeNamePart(class_name) + u'_' +
         day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".Log");
}

bool WriteScoreFile(const QString& path, const QStringList& lines, QString* error) {
  return WriteLinesAtomically(path, lines, error);
}

bool ReadScoreFile(const QString& path, QStringList* lines, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  lines->clear();
  for (const QString& line : SplitLines(DecodeGbk(file.readAll()))) {
    if (!line.isEmpty()) lines->append(line);
  }
  return true;
}

}  // namespace zorvanix
