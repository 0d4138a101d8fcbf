// One score as a line of text: class, student, score text, time and criterion
// joined by TAB. It is the line of the daily log, of the pending list, of score
// files and of the upload.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace zorvanix {

inline constexpr int kScoreLineFields = 5;

QString ScoreLine(const QString& class_name, const QString& student, const QString& score_text,
                  const QDateTime& moment, const QString& criterion);

// The five fields of a line; a line with fewer fields is padded with empty
// ones, extra TABs stay inside the last field.
QStringList ScoreLineFields(QStringView line);

// The daily log of one user, class and day: user + "_" + class + "_" +
// "yyyy-MM-dd" + ".Log". Characters a file name cannot hold ("\ / : * ? " < > |"
// and control characters) become "_", so any class name still gets its log.
QString DailyLogFileName(const QString& user, const QString& class_name, const QDate& day);

// Score files (".dms"): one score line per line, GBK, CR LF after every line.
// Writing replaces the file whole or leaves it untouched.
bool WriteScoreFile(const QString& path, const QStringList& lines, QString* error = nullptr);
// Every non-empty line of the file, in order. False when the file cannot be
// read; a file that does not exist is an error too.
bool ReadScoreFile(const QString& path, QStringList* lines, QString* error = nullptr);

}  // namespace zorvanix
