// Geometry tables and the magic slider look-ups.
#include <gtest/gtest.h>

#include <random>

#include "board/board.h"

namespace {

Bitboard squares(std::initializer_list<Square> list) {
  Bitboard b = 0;
  for (Square s : list) b |= bit(s);
  return b;
}

// Slider attacks by walking file and rank steps, independent of the
// engine's square arithmetic: stop at the edge or after the first blocker.
Bitboard walkAttacks(Square s, Bitboard occupied, const int (&steps)[4][2]) {
  Bitboard result = 0;
  for (const auto& step : steps) {
    int file = fileOf(s) + step[0], rank = rankOf(s) + step[1];
    for (; file >= 0 && file < 8 && rank >= 0 && rank < 8; file += step[0], rank += step[1]) {
      result |= bit(makeSquare(file, rank));
      if (occupied & bit(makeSquare(file, rank))) break;
    }
  }
  return result;
}
constexpr int DIAGONAL_STEPS[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr int STRAIGHT_STEPS[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

}  // namespace

TEST(Tables, LineAndLeaperSets) {
  EXPECT_EQ(betweenTable[A1][H8], squares({B2, C3, D4, E5, F6, G7}));
  EXPECT_EQ(betweenTable[H4][A4], squares({B4, C4, D4, E4, F4, G4}));
  EXPECT_EQ(betweenTable[A1][B3] | betweenTable[E4][E5], 0u);  // no common line; neighbours
  EXPECT_EQ(lineTable[E1][E4], fileMask[4] & ~squares({E1, E4}));
  EXPECT_EQ(lineTable[D4][F6], squares({A1, B2, C3, E5, G7, H8}));
  EXPECT_EQ(lineTable[A1][B3], 0u);
  EXPECT_EQ(knightTable[A1], squares({B3, C2}));
  EXPECT_EQ(kingTable[H8], squares({G8, G7, H7}));
  EXPECT_EQ(pawnAttackTable[WHITE][A2], bit(B3));
  EXPECT_EQ(pawnAttackTable[BLACK][H7], bit(G6));
  EXPECT_EQ(passedMask[WHITE][E7], squares({D8, E8, F8}));
  EXPECT_EQ(passedMask[WHITE][A8] | passedMask[WHITE][H8] | passedMask[BLACK][C1], 0u);
  EXPECT_EQ(forwardFile[BLACK][C3], squares({C2, C1}));
  EXPECT_EQ(attackSpan[WHITE][H5], squares({G6, G7, G8}));
}

TEST(Tables, SliderMasksAndPacking) {
  EXPECT_EQ(bishopMask[A1], 0x40201008040200ULL);
  EXPECT_EQ(rookMask[A1], 0x101010101017EULL);
  EXPECT_EQ(rookLookup(A1, squares({B1, A2})), squares({B1, A2}));
  // Blocks are packed square after square: the last one ends the array.
  EXPECT_EQ(bishopTableStart[63] + (Bitboard(1) << popCount(bishopMask[63])), bishopAttackTable + 5248);
  EXPECT_EQ(rookTableStart[63] + (Bitboard(1) << popCount(rookMask[63])), rookAttackTable + 102400);
}

// Random occupancies of every density, plus the empty and the full board.
TEST(Tables, MagicLookupsMatchWalkedAttacks) {
  std::mt19937_64 random(20240611);
  int failures = 0;
  for (Square s = 0; s < 64 && failures < 10; s++) {
    for (int i = 0; i < 400 && failures < 10; i++) {
      Bitboard occupied = i == 0 ? 0 : i == 1 ? ~Bitboard(0) : random();
      for (int thin = i % 4; thin > 0; thin--) occupied &= random();  // sparser boards too
      Bitboard b = bishopLookup(s, occupied), r = rookLookup(s, occupied);
      if (b != walkAttacks(s, occupied, DIAGONAL_STEPS) || r != walkAttacks(s, occupied, STRAIGHT_STEPS)) {
        ADD_FAILURE() << "square " << s << " occupancy 0x" << std::hex << occupied;
        failures++;
      }
      EXPECT_EQ(queenLookup(s, occupied), b | r);
    }
    EXPECT_EQ(bishopEmpty[s], walkAttacks(s, 0, DIAGONAL_STEPS));
    EXPECT_EQ(rookEmpty[s], walkAttacks(s, 0, STRAIGHT_STEPS));
  }
}
