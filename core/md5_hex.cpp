#include "core/md5_hex.h"

#include <array>
#include <cstdint>
#include <vector>

#include "core/gbk.h"

namespace zorvanix {
namespace {

using Word = std::uint32_t;

constexpr std::array<Word, 64> kSines = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr std::array<int, 64> kShifts = {
    7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 7,  12, 17, 22, 5,  9,  14, 20, 5,  9,
    14, 20, 5,  9,  14, 20, 5,  9,  14, 20, 4,  11, 16, 23, 4,  11, 16, 23, 4,  11, 16, 23,
    4,  11, 16, 23, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21, 6,  10, 15, 21};

Word RotateLeft(Word value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// The message words: one unit per character, then the 0x80 pad unit, then the
// length in bits in the last two words of the last block.
std::vector<Word> MessageWords(QStringView text) {
  const std::size_t units = static_cast<std::size_t>(text.size());
  const std::size_t word_count = ((units + 8) / 64 + 1) * 16;
  std::vector<Word> words(word_count, 0);
  for (std::size_t i = 0; i < units; ++i) {
    int code = GbkCode(text.mid(static_cast<qsizetype>(i), 1));
    if (code < 0) code = '?';  // what the code page writes for an unknown character
    // A double-byte code read as a signed 16-bit value, then sign-extended.
    const std::int32_t signed_code = code > 0xFF ? static_cast<std::int16_t>(code) : code;
    words[i / 4] |= static_cast<Word>(signed_code) << (8 * (i % 4));
  }
  words[units / 4] |= Word{0x80} << (8 * (units % 4));
  const std::uint64_t bit_length = static_cast<std::uint64_t>(units) * 8;
  words[word_count - 2] = static_cast<Word>(bit_length);
  words[word_count - 1] = static_cast<Word>(bit_length >> 32);
  return words;
}

}  // namespace

QString Md5Hex(QStringView text) {
  const std::vector<Word> words = MessageWords(text);
  Word state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
  for (std::size_t block = 0; block < words.size(); block += 16) {
    Word a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
      Word f;
      int g;
      if (i < 16) {
        f = (b & c) | (~b & d);
        g = i;
      } else if (i < 32) {
        f = (d & b) | (~d & c);
        g = (5 * i + 1) % 16;
      } else if (i < 48) {
        f = b ^ c ^ d;
        g = (3 * i + 5) % 16;
      } else {
        f = c ^ (b | ~d);
        g = (7 * i) % 16;
      }
      const Word next_d = d;
      d = c;
      c = b;
      b = b + RotateLeft(a + f + kSines[i] + words[block + g], kShifts[i]);
      a = next_d;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
  }
  QString hex;
  hex.reserve(32);
  constexpr char kDigits[] = "0123456789abcdef";
  for (Word word : state) {
    for (int byte = 0; byte < 4; ++byte) {
      const int value = (word >> (8 * byte)) & 0xFF;
      hex += QLatin1Char(kDigits[value >> 4]);
      hex += QLatin1Char(kDigits[value & 0xF]);
    }
  }
  return hex;
}

bool IsWeakDigestPassword(QStringView password) {
  const qsizetype units = password.size();
  std::vector<bool> covered(static_cast<std::size_t>(units) + 4, false);
  bool double_byte = false;
  for (qsizetype i = 0; i < units; ++i) {
    if (GbkCode(password.mid(i, 1)) <= 0xFF) continue;
    double_byte = true;
    const qsizetype word_end = (i / 4 + 1) * 4;
    // Its two bytes, and in the first half of a word every byte to the word's end.
    const qsizetype end = i % 4 <= 1 ? word_end : std::min(i + 2, word_end);
    for (qsizetype j = i; j < end; ++j) covered[static_cast<std::size_t>(j)] = true;
  }
  if (!double_byte) return false;
  int reaching = 0;
  for (qsizetype i = 0; i < units; ++i) {
    if (GbkCode(password.mid(i, 1)) <= 0xFF && !covered[static_cast<std::size_t>(i)]) ++reaching;
  }
  return reaching < 6;
}

QString WeakDigestPasswordText() {
  return QStringLiteral(
      "这个登录密码中的汉字会让读取数据用的密码摘要很容易被猜中。"
      "请在密码中再加入至少6个字母或数字（放在汉字之后较远处最有效），或改用不含汉字的密码。");
}

}  // namespace zorvanix
