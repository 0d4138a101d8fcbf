#include "core/pinyin.h"

#include <QByteArray>
#include <cstring>

#include "core/gbk.h"
#include "core/pinyin_table.h"

namespace zorvanix {
namespace {

// Characters frequent in given names whose initial the code-order rule gets
// wrong, or that lie outside GB2312. Consulted before anything else.
constexpr char16_t kExceptionCharacters[] = u"颉嫄珺燚玟翀祎解玥镕彧浥詹璟劼曌喆瑄旸垚阗修翟濛璠";
constexpr char kExceptionInitials[] = "XYJYWCYXYRYYZJJZZXYYTXZMF";

// GB2312 level 1 (B0A1..D7F9) is in pinyin order: each initial covers one range.
struct Level1Range {
  char initial;
  int from;
  int to;
};
constexpr Level1Range kLevel1Ranges[] = {
    {'A', 0xB0A1, 0xB0C4}, {'B', 0xB0C5, 0xB2C0}, {'C', 0xB2C1, 0xB4ED}, {'D', 0xB4EE, 0xB6E9},
    {'E', 0xB6EA, 0xB7A1}, {'F', 0xB7A2, 0xB8C0}, {'G', 0xB8C1, 0xB9FD}, {'H', 0xB9FE, 0xBBF6},
    {'J', 0xBBF7, 0xBFA5}, {'K', 0xBFA6, 0xC0AB}, {'L', 0xC0AC, 0xC2E7}, {'M', 0xC2E8, 0xC4C2},
    {'N', 0xC4C3, 0xC5B5}, {'O', 0xC5B6, 0xC5BD}, {'P', 0xC5BE, 0xC6D9}, {'Q', 0xC6DA, 0xC8BA},
    {'R', 0xC8BB, 0xC8F5}, {'S', 0xC8F6, 0xCBF9}, {'T', 0xCBFA, 0xCDD9}, {'W', 0xCDDA, 0xCEF3},
    {'X', 0xCEF4, 0xD1B8}, {'Y', 0xD1B9, 0xD4D0}, {'Z', 0xD4D1, 0xD7F9},
};

// The 3008 level-2 letters joined once, on first use, for the life of the program.
const QByteArray& Level2Initials() {
  static const QByteArray letters = [] {
    QByteArray joined;
    joined.reserve(kLevel2CharacterCount);
    for (const char* piece : kLevel2InitialPieces) joined.append(piece, std::strlen(piece));
    return joined;
  }();
  return letters;
}

QChar InitialOf(QChar character) {
  for (int i = 0; kExceptionCharacters[i] != 0; ++i) {
    if (kExceptionCharacters[i] == character.unicode()) {
      return QLatin1Char(kExceptionInitials[i]);
    }
  }
  const int code = GbkCode(QStringView(&character, 1));
  const int lead = code >> 8;
  const int trail = code & 0xFF;
  // GB2312 characters have both bytes at A1 or above. The GBK extension puts
  // characters with lower trail bytes between them in code order (盄 B140),
  // but those are not sorted by pinyin: they keep their own form.
  if (code < 0 || trail < 0xA1) return character;
  if (code >= 0xB0A1 && code <= 0xD7F9) {
    for (const Level1Range& range : kLevel1Ranges) {
      if (code >= range.from && code <= range.to) return QLatin1Char(range.initial);
    }
  }
  if (code >= 0xD8A1 && code <= 0xF7FE) {
    const int entry = (lead - 0xD8) * 94 + (trail - 0xA1);
    const QByteArray& letters = Level2Initials();
    if (entry < letters.size()) return QLatin1Char(letters[entry]);
  }
  return character;
}

}  // namespace

QString PinyinInitials(QStringView text) {
  QString initials;
  initials.reserve(text.size());
  for (const QChar c : text) initials += InitialOf(c);
  return initials;
}

}  // namespace zorvanix
