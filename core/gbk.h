// GBK text: every text on disk and on the wire is GBK (code page 936).
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace zorvanix {

// The codec every "GB2312" label stands for. A strict GB2312 codec loses
// GBK-only characters such as 曌, so the wider windows-936 table is used.
inline constexpr char kGbkCodecName[] = "windows-936";

QByteArray EncodeGbk(QStringView text);
QString DecodeGbk(QByteArrayView bytes);

// Byte-to-text conversion in a named character set. "GB2312", "GBK", "CP936"
// and "windows-936" (any letter case) all decode as windows-936; "UTF-8"
// decodes as UTF-8; anything else falls back to windows-936.
QString DecodeBytes(QByteArrayView bytes, QStringView charset);

// The character's code in the GBK code page: one byte (0..255) for a
// single-byte character, lead byte * 256 + trail byte for a double-byte one,
// -1 for a character GBK cannot represent.
int GbkCode(QStringView character);

// The first character of the text that GBK cannot hold (a surrogate pair is
// one character), as a view into the text; empty when GBK holds all of it.
QStringView FirstCharacterNotInGbk(QStringView text);

}  // namespace zorvanix
