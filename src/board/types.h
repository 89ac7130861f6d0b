// Basic board vocabulary: squares, colours, piece codes, packed moves and
// the bit tricks everything else is built from.
#pragma once

#include <cassert>
#include <cstdint>

using Bitboard = uint64_t;
using Square = int;  // 0..63, a1 = 0, h1 = 7, a8 = 56
using Move = uint16_t;

constexpr int WHITE = 0;
constexpr int BLACK = 1;

// Piece code = type * 2 + colour; code 0 is an empty square, and codes 0 and 1
// double as the indices of the two colour occupancy sets.
constexpr int PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 5, QUEEN = 6, KING = 7;
constexpr int W_PAWN = 2, B_PAWN = 3, W_KNIGHT = 4, B_KNIGHT = 5, W_BISHOP = 6, B_BISHOP = 7;
constexpr int W_ROOK = 10, B_ROOK = 11, W_QUEEN = 12, B_QUEEN = 13, W_KING = 14, B_KING = 15;

constexpr int colourOf(int code) { return code & 1; }
constexpr int typeOf(int code) { return code >> 1; }
constexpr int pawnOf(int colour) { return colour | 2; }
constexpr int knightOf(int colour) { return colour | 4; }
constexpr int bishopOf(int colour) { return colour | 6; }
constexpr int rookOf(int colour) { return colour | 0xA; }
constexpr int queenOf(int colour) { return colour | 0xC; }
constexpr int kingOf(int colour) { return colour | 0xE; }

constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 3; }
constexpr Square makeSquare(int file, int rank) { return file + 8 * rank; }
// Rank as seen from the given colour's side of the board (0 = its back rank).
constexpr int relativeRank(int colour, Square s) { return colour == WHITE ? rankOf(s) : 7 - rankOf(s); }
// Top-to-bottom mirror: a1 <-> a8.
constexpr Square flipRank(Square s) { return s ^ 56; }

constexpr int absDiff(int a, int b) { return a > b ? a - b : b - a; }
constexpr int maxOf(int a, int b) { return a > b ? a : b; }
constexpr int minOf(int a, int b) { return a < b ? a : b; }
constexpr int distance(Square a, Square b) {
  return maxOf(absDiff(fileOf(a), fileOf(b)), absDiff(rankOf(a), rankOf(b)));
}

// Packed score: end game in the upper half, middle game in the lower half.
// The halves are added as one integer; egOf undoes the borrow of a negative
// middle-game half.
constexpr int32_t makeScore(int mg, int eg) { return int32_t(uint32_t(eg) << 16) + mg; }
constexpr int mgOf(int32_t packed) { return int16_t(uint16_t(uint32_t(packed))); }
constexpr int egOf(int32_t packed) { return (packed >> 16) + ((packed >> 15) & 1); }

constexpr Bitboard bit(Square s) { return Bitboard(1) << s; }
constexpr Bitboard FILE_A = 0x0101010101010101ULL;
constexpr Bitboard FILE_H = FILE_A << 7;
constexpr Bitboard RANK_1 = 0xFFULL;
constexpr Bitboard RANK_8 = RANK_1 << 56;
constexpr Bitboard DARK_SQUARES = 0xAA55AA55AA55AA55ULL;  // a1 is dark
constexpr Bitboard LIGHT_SQUARES = ~DARK_SQUARES;

// Square names used in rules and tests.
enum : int {
  A1, B1, C1, D1, E1, F1, G1, H1,
  A2, B2, C2, D2, E2, F2, G2, H2,
  A3, B3, C3, D3, E3, F3, G3, H3,
  A4, B4, C4, D4, E4, F4, G4, H4,
  A5, B5, C5, D5, E5, F5, G5, H5,
  A6, B6, C6, D6, E6, F6, G6, H6,
  A7, B7, C7, D7, E7, F7, G7, H7,
  A8, B8, C8, D8, E8, F8, G8, H8,
};

// Move word: from in bits 0-5, to in bits 6-11, kind in bits 12-15.
constexpr Move MOVE_NONE = 0;
constexpr Move MOVE_DELETED = 0xFFFF;  // an entry a move picker has removed
constexpr Move MOVE_CASTLE = 0x1000;
constexpr Move MOVE_EN_PASSANT = 0x2000;
constexpr Move PROMOTE_KNIGHT = 0x4000;
constexpr Move PROMOTE_BISHOP = 0x6000;
constexpr Move PROMOTE_ROOK = 0xA000;
constexpr Move PROMOTE_QUEEN = 0xC000;
constexpr Move KIND_MASK = 0xF000;

constexpr Move makeMoveWord(Square from, Square to, int kind = 0) { return Move(from | to << 6 | kind); }
constexpr Square moveFrom(Move m) { return m & 63; }
constexpr Square moveTo(Move m) { return (m >> 6) & 63; }
constexpr bool isPromotion(Move m) { return (m & 0xC000) != 0; }
constexpr bool isEnPassant(Move m) { return (m & KIND_MASK) == MOVE_EN_PASSANT; }
constexpr bool isCastling(Move m) { return (m & KIND_MASK) == MOVE_CASTLE; }
// Piece code a promotion creates for the given colour.
constexpr int promotedCode(Move m, int colour) { return ((m >> 12) & 0xE) + colour; }

// Castling rights bits. A right's bit number is its castlingIndex: the
// colour, plus 2 on the long side (the rook on the a-file side of the king).
constexpr int CASTLE_WHITE_SHORT = 1, CASTLE_BLACK_SHORT = 2, CASTLE_WHITE_LONG = 4, CASTLE_BLACK_LONG = 8;
constexpr int castlingIndex(int colour, bool longSide) { return colour + (longSide ? 2 : 0); }
// Wherever king and rook started on the back rank, castling ends with the
// king on the g- or c-file and the rook beside it on the inner side. A
// castling move goes from the king's square to its castled square.
constexpr Square castledKingSquare(int colour, bool longSide) { return makeSquare(longSide ? 2 : 6, colour == WHITE ? 0 : 7); }
constexpr Square castledRookSquare(int colour, bool longSide) { return makeSquare(longSide ? 3 : 5, colour == WHITE ? 0 : 7); }

// The quillon build counts bits with the processor instruction; the portable
// builds use the classic parallel bit count so they run on any x86.
#if defined(QUILLON_SOFT_POPCOUNT)
inline int popCount(Bitboard b) {
  b = b - ((b >> 1) & 0x5555555555555555ULL);
  b = (b & 0x3333333333333333ULL) + ((b >> 2) & 0x3333333333333333ULL);
  b = (b + (b >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return int((b * 0x0101010101010101ULL) >> 56);
}
#else
inline int popCount(Bitboard b) { return __builtin_popcountll(b); }
#endif

inline Square lowestSquare(Bitboard b) {
  assert(b);
  return __builtin_ctzll(b);
}
inline Square highestSquare(Bitboard b) {
  assert(b);
  return 63 - __builtin_clzll(b);
}
inline Square popLowest(Bitboard& b) {
  Square s = lowestSquare(b);
  b &= b - 1;
  return s;
}
constexpr bool moreThanOne(Bitboard b) { return (b & (b - 1)) != 0; }
