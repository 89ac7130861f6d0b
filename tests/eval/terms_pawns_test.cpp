// Passed, weak and advanced pawns, for white, in small hand-worked positions.
// Passer base by rank 4/5/6: -6/32, 56/80, 88/132; free path +12 (eg);
// enemy king by distance 1..7: 64 23 9 -3 -10 -14 -27 (subtracted); own king:
// 12 3 -9 -15 -17 -23 -45 (added).
#include <gtest/gtest.h>

#include <utility>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack
EvalContext ctx;
PawnEntry entry;

std::pair<int, int> whitePawns(const char* fen) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  initEvalContext(pos, ctx);
  entry = PawnEntry{};
  evaluatePawnStructure(pos, entry);
  ctx.pawns = &entry;
  const int32_t s = evaluatePassedPawns(pos, ctx, WHITE);
  return {mgOf(s), egOf(s)};
}

}  // namespace

// c5 then d5: each stop square is covered by the other pawn (+1/16), d5 gets
// the run bonus 30. c5: 59/(85+12+10-15) = 59/92; d5: 59/(85+12+30+3-15) =
// 59/115; both are supported passers in the enemy half: +14 each.
TEST(EvalPassedPawns, NeighboursOnOneRankFormARun) {
  EXPECT_EQ(whitePawns("7k/8/8/2PP4/8/8/8/K7 w - - 0 1"), std::pair(118, 235));
}

// d4 is visited before c5, so c5 starts a new run. d4: -6/(32+12+3-9) keeps
// only its end-game half 38; c5: 56/(80+12+10-15) = 56/87, +14 as d4
// defends it.
TEST(EvalPassedPawns, DiagonalNeighboursDoNotFormARun) {
  EXPECT_EQ(whitePawns("7k/8/8/2P5/3P4/8/8/K7 w - - 0 1"), std::pair(56, 139));
}

// The king on d7 covers e7 and e8: 88/132 gains an eighth, 99/148, then
// +12 free path, +10 for the far king, +12 for the own king.
TEST(EvalPassedPawns, PathCoveredByOwnSideGainsAnEighth) {
  EXPECT_EQ(whitePawns("8/3K4/4P3/8/8/8/8/7k w - - 0 1"), std::pair(99, 182));
  // A rook behind the passer halves it (49/74), and the pawn it attacks
  // counts one square against the unsupported-pawn penalty (10).
  EXPECT_EQ(whitePawns("8/3K4/4P3/8/8/8/8/4r2k w - - 0 1"), std::pair(39, 108));
}

// Blocked by the king: half of 88/132, then 8 back in the end game, -64 for
// the adjacent enemy king and +12 for the own: 44/22. The king covers e6 and
// e8 of the unsupported pawn's file: -15.
TEST(EvalPassedPawns, PasserBlockedByTheKingLosesHalf) {
  EXPECT_EQ(whitePawns("8/4k3/4P3/3K4/8/8/8/8 w - - 0 1"), std::pair(29, 22));
}

// a3: -27/(-29+12-23-45) would be negative in both halves.
TEST(EvalPassedPawns, PasserNeverScoresBelowZero) {
  EXPECT_EQ(whitePawns("8/8/8/8/2k5/P7/8/7K w - - 0 1"), std::pair(0, 0));
}

// e5 is weak (no neighbour) and not passed.
TEST(EvalPassedPawns, WeakPawnAndItsStopSquare) {
  // Stop square attacked by the knight: -3/-3. In the enemy half e6 and e7
  // are attacked (2), one less for the enemy pawn on the file: -10.
  EXPECT_EQ(whitePawns("3nk3/4p3/8/4P3/8/8/8/4K3 w - - 0 1"), std::pair(-13, -3));
  // Stop square held by a knight and covered by d7: -3 -4 each half; e6
  // and e7 attacked and no enemy pawn on the e-file: -15.
  EXPECT_EQ(whitePawns("4k3/3p4/4n3/4P3/8/8/8/4K3 w - - 0 1"), std::pair(-22, -7));
  // The weak pawn itself attacked by g6: -3/-3; f5, f7 and f8 attacked: -23.
  EXPECT_EQ(whitePawns("4k3/8/6p1/5P2/8/8/8/4K3 w - - 0 1"), std::pair(-26, -3));
}
