#include "core/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <memory>

namespace zorvanix {
namespace {

// Unicode (BMP) -> GBK code, built once from the codec itself by decoding every
// double-byte code. 0 means "not representable". Looking a character up is then
// a table read, which keeps per-keystroke pinyin searches and digests cheap.
using GbkTable = std::array<quint16, 0x10000>;

std::unique_ptr<GbkTable> BuildGbkTable() {
  auto table = std::make_unique<GbkTable>();
  table->fill(0);
  for (int c = 0; c < 0x80; ++c) (*table)[c] = static_cast<quint16>(c);
  QStringDecoder decoder(kGbkCodecName, QStringDecoder::Flag::Stateless);
  auto put = [&](const QByteArray& bytes, quint16 code) {
    // The error flag of a converter stays set once raised, so an invalid code
    // is recognised by its replacement character instead.
    const QString text = decoder.decode(bytes);
    if (text.size() != 1) return;
    const char16_t unit = text.front().unicode();
    if (unit == 0xFFFD || (*table)[unit] != 0) return;
    (*table)[unit] = code;
  };
  for (int single = 0x80; single <= 0xFF; ++single) {
    put(QByteArray(1, static_cast<char>(single)), static_cast<quint16>(single));
  }
  QByteArray pair(2, '\0');
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      pair[0] = static_cast<char>(lead);
      pair[1] = static_cast<char>(trail);
      put(pair, static_cast<quint16>(lead * 256 + trail));
    }
  }
  return table;
}

const GbkTable& Table() {
  static const std::unique_ptr<GbkTable> table = BuildGbkTable();
  return *table;
}

}  // namespace

QByteArray EncodeGbk(QStringView text) {
  QStringEncoder encoder(kGbkCodecName);
  return encoder.encode(text);
}

QString DecodeGbk(QByteArrayView bytes) {
  // Bytes below 0x80 are the same characters in GBK as in ASCII. Most keys
  // and values of a request (names of fields, digests, numbers) are ASCII
  // only, and opening a converter costs more than reading them.
  if (std::all_of(bytes.begin(), bytes.end(),
                  [](char byte) { return static_cast<unsigned char>(byte) < 0x80; })) {
    return QString::fromLatin1(bytes);
  }
  QStringDecoder decoder(kGbkCodecName);
  return decoder.decode(bytes);
}

QString DecodeBytes(QByteArrayView bytes, QStringView charset) {
  const QString name = charset.trimmed().toString().toLower();
  if (name == u"utf-8" || name == u"utf8") return QString::fromUtf8(bytes);
  return DecodeGbk(bytes);
}

int GbkCode(QStringView character) {
  if (character.isEmpty()) return -1;
  const char16_t unit = character.front().unicode();
  if (unit < 0x80) return unit;
  if (QChar::isSurrogate(unit)) return -1;
  const quint16 code = Table()[unit];
  return code == 0 ? -1 : code;
}

QStringView FirstCharacterNotInGbk(QStringView text) {
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QStringView character = text.sliced(i, length);
    if (GbkCode(character) < 0) return character;
    i += length;
  }
  return {};
}

}  // namespace zorvanix
