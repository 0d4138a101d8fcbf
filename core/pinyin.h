// Pinyin initials of Chinese names: 张三 -> "ZS". The teacher finds a student
// by typing them.
#pragma once

#include <QString>
#include <QStringView>

namespace zorvanix {

// One output character per input character: the capital initial of a Chinese
// character's usual reading, or the character itself (ASCII, punctuation,
// characters without a known initial).
QString PinyinInitials(QStringView text);
// The same for a QString, or a literal such as "张三" (UTF-8).
inline QString PinyinInitials(const QString& text) { return PinyinInitials(QStringView(text)); }

}  // namespace zorvanix
