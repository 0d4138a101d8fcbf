// The pinyin initials of the GB2312 level-2 characters, generated data.
#pragma once

namespace zorvanix {

inline constexpr int kLevel2PieceCount = 16;
inline constexpr int kLevel2PieceLength = 188;
inline constexpr int kLevel2CharacterCount = kLevel2PieceCount * kLevel2PieceLength;  // 3008

// Piece k holds the initials of code rows D8 + 2k and D8 + 2k + 1, cells A1..FE.
extern const char* const kLevel2InitialPieces[kLevel2PieceCount];

}  // namespace zorvanix
