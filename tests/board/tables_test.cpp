// The magic slider look-ups against attacks walked square by square. (The
// other geometry tables are exercised by every perft count and evaluation.)
#include <gtest/gtest.h>

#include <random>

#include "board/board.h"

namespace {

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
    }
    EXPECT_EQ(bishopEmpty[s], walkAttacks(s, 0, DIAGONAL_STEPS));
    EXPECT_EQ(rookEmpty[s], walkAttacks(s, 0, STRAIGHT_STEPS));
  }
  // Blocks are packed square after square: the last one ends the array.
  EXPECT_EQ(bishopTableStart[63] + (Bitboard(1) << popCount(bishopMask[63])), bishopAttackTable + 5248);
  EXPECT_EQ(rookTableStart[63] + (Bitboard(1) << popCount(rookMask[63])), rookAttackTable + 102400);
}
