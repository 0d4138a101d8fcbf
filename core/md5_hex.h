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

// Whether a login password's digest is easy to hit: each double-byte
// character's sign-extended code covers its own two bytes and, in the first
// half of a word, the rest of that word, so the characters there count for
// nothing. A password is weak when it holds a double-byte character and fewer
// than 6 of its single-byte characters reach the digest untouched. Pure ASCII
// passwords are never weak by this rule. The program refuses such a password
// at sign-up, reset and password change.
bool IsWeakDigestPassword(QStringView password);
// The explanation shown with the refusal.
QString WeakDigestPasswordText();

}  // namespace zorvanix
