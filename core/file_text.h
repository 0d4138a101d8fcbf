// Small file helpers. Text files are GBK with CR LF line ends.
#pragma once

#include <QString>
#include <QStringList>

namespace zorvanix {

// The whole file decoded as GBK; "" when the file is missing or empty.
QString ReadWholeFile(const QString& path);

// Appends text + CR LF in GBK, creating the file when needed. One open, write
// and close per call, so nothing already written is lost by a later crash.
// The line is written whole or not at all: a failed write is cut back off.
// A file that does not end in CR LF (a line cut short before) gets one first.
// Returns false (with the reason in *error when given, in Chinese when the
// disk is full) when the file cannot be opened or written.
bool AppendLineToFile(const QString& path, const QString& text, QString* error = nullptr);

// Writes every line + CR LF in GBK to a temporary file beside path and moves it
// into place only when everything was written: the file is replaced whole or
// not at all.
bool WriteLinesAtomically(const QString& path, const QStringList& lines, QString* error = nullptr);

// Splits text into lines at CR LF, lone CR or lone LF; no empty last line.
QStringList SplitLines(QStringView text);

}  // namespace zorvanix
