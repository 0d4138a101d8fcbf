#include "core/file_text.h"

#include <QFile>
#include <QSaveFile>

#include "core/gbk.h"

namespace zorvanix {
namespace {

void SetError(QString* error, const QString& reason) {
  if (error) *error = reason;
}

}  // namespace

QString ReadWholeFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return DecodeGbk(file.readAll());
}

bool AppendLineToFile(const QString& path, const QString& text, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
    SetError(error, file.errorString());
    return false;
  }
  QByteArray bytes = EncodeGbk(text);
  bytes += "\r\n";
  if (file.write(bytes) != bytes.size() || !file.flush()) {
    SetError(error, file.errorString());
    return false;
  }
  return true;
}

bool WriteLinesAtomically(const QString& path, const QStringList& lines, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    SetError(error, file.errorString());
    return false;
  }
  QByteArray bytes;
  for (const QString& line : lines) {
    bytes += EncodeGbk(line);
    bytes += "\r\n";
  }
  if (file.write(bytes) != bytes.size()) {
    SetError(error, file.errorString());
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    SetError(error, file.errorString());
    return false;
  }
  return true;
}

QStringList SplitLines(QStringView text) {
  QStringList lines;
  qsizetype start = 0;
  const qsizetype size = text.size();
  for (qsizetype i = 0; i < size; ++i) {
    const QChar c = text[i];
    if (c != u'\r' && c != u'\n') continue;
    lines.append(text.sliced(start, i - start).toString());
    if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < size) lines.append(text.sliced(start).toString());
  return lines;
}

}  // namespace zorvanix
