#include "core/file_text.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

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
  // Unbuffered: a failed write is seen here, not at some later flush.
  if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
    SetError(error, file.errorString());
    return false;
  }
  const qint64 old_size = file.size();
  QByteArray bytes;
  // A line cut off earlier (a full disk, a crash) is closed first, so the new
  // line is never glued to it.
  if (old_size > 0) {
    char tail[2] = {0, 0};
    const qint64 want = std::min<qint64>(old_size, 2);
    if (!file.seek(old_size - want) || file.read(tail + 2 - want, want) != want ||
        tail[0] != '\r' || tail[1] != '\n') {
      bytes += "\r\n";
    }
  }
  bytes += EncodeGbk(text);
  bytes += "\r\n";
  errno = 0;
  if (!file.seek(old_size) || file.write(bytes) != bytes.size()) {
    const int cause = errno;
    const bool full = file.error() == QFileDevice::ResourceError || cause == ENOSPC ||
                      cause == EFBIG || cause == EDQUOT;
    const QString reason = file.errorString();
    // The line is whole or not there at all.
    file.resize(old_size);
    SetError(error, full ? QStringLiteral("磁盘空间已满，这条计分未能写入日志") : reason);
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
