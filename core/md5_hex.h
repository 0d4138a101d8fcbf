// The password digest that identifies a teacher in every read request ("mp").
#pragma once

#include <QString>
#include <QStringView>

namespace zorvanix {

// MD5 (RFC 1321) over one unit per character of text. An ASCII text gives the
// standard MD5 of its bytes. A double-byte GBK character is not split into
// its bytes: its signed 16-bit code is sign-extended to 32 bits, shifted left by
// 8 x (its index mod 4), cut to 32 bits and OR-ed into the little-endian word
// of that index, and it counts as one unit of length. Desktop program and
// service both use this function, so a digest made at sign-in matches the one
// the service keeps. 32 lowercase hexadecimal digits.
QString Md5Hex(QStringView text);
// The same for a QString, or a literal such as "张三" (UTF-8).
inline QString Md5Hex(const QString& text) { return Md5Hex(QStringView(text)); }

}  // namespace zorvanix
