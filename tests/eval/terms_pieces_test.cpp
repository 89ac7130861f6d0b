// Knight, bishop and rook terms in small hand-worked positions.
// Mobility by safe squares: knight 2: -18/-15, 3: -8/-8, 7: 9/7, 8: 10/7;
// bishop 4: -4; rook 4: -9/-15, 7: 3/5, 14: 19/32. Open file 10/5.
#include <gtest/gtest.h>

#include <utility>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack
EvalContext ctx;

void setUp(const char* fen) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  initEvalContext(pos, ctx);
}

std::pair<int, int> halves(int32_t s) { return {mgOf(s), egOf(s)}; }

std::pair<int, int> term(int32_t (*f)(const Position&, EvalContext&, int), const char* fen, int us) {
  setUp(fen);
  return halves(f(pos, ctx, us));
}

}  // namespace

// Square value 22 (as d5), king distance 3: +10 (mg), 8 squares: 10/7.
TEST(EvalPieces, KnightOutpostNeedsNoEnemyPawnAhead) {
  // No pawn on d6-d8 or f6-f8: the e-file outpost 21/2 comes on top.
  EXPECT_EQ(term(evaluateKnights, "4k3/8/8/4N3/8/8/8/4K3 w - - 0 1", WHITE), std::pair(63, 31));
  // d7 covers the outpost: three quarters of 22 (17), and c6 is lost to
  // the pawn's attack: 7 squares, 9/7.
  EXPECT_EQ(term(evaluateKnights, "4k3/3p4/8/4N3/8/8/8/4K3 w - - 0 1", WHITE), std::pair(36, 24));
}

// b1: square -26, b-file outpost 9/-4, king 7 away; a3, c3 and d2 are free
// but the pin along the first rank leaves mobility for two.
TEST(EvalPieces, PinnedKnightLosesOneSquare) {
  EXPECT_EQ(term(evaluateKnights, "4k3/8/8/8/8/8/8/KN5r w - - 0 1", WHITE), std::pair(-35, -45));
}

// d3 is light: c4 and e4 are on its colour (2 x 3/5), e4 blocked by e5
// (2/-2), c4 by c5 (half, 1/-1); d4/d5 is the dark bishop's pattern. Square
// 2, four squares free of own pawns: -4.
TEST(EvalPieces, BishopHemmedInByOwnPawns) {
  EXPECT_EQ(term(evaluateBishops, "7k/8/8/2ppp3/2PPP3/3B4/8/7K w - - 0 1", WHITE), std::pair(-11, -9));
}

// g5 pins the knight to the queen with the king on the wing: +3. Square 0,
// seven squares: 14.
TEST(EvalPieces, BishopPinningAKnightToTheQueen) {
  EXPECT_EQ(term(evaluateBishops, "3q2k1/8/5n2/6B1/8/8/8/4K3 w - - 0 1", WHITE), std::pair(17, 14));
  EXPECT_EQ(term(evaluateBishops, "3q2k1/4p3/5n2/6B1/8/8/8/4K3 w - - 0 1", WHITE), std::pair(14, 14));
}

TEST(EvalPieces, RookShutInByItsKing) {
  // No short castling: two development steps, the trapped rook (20) and its
  // extra for the lost right (0).
  // h1: square -5/4, seven squares 3/5, open file 10/5.
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/8/6KR w - - 0 1", WHITE), std::pair(-12, 14));
  EXPECT_EQ(ctx.development, -2);
  // White pays the second step when its short castling is gone, even with
  // long castling left.
  term(evaluateRooks, "4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", WHITE);
  EXPECT_EQ(ctx.development, -2);
  // Black pays it only when both rights are gone.
  term(evaluateRooks, "r3k2r/8/8/8/8/8/8/4K3 w q - 0 1", BLACK);
  EXPECT_EQ(ctx.development, 1);
  term(evaluateRooks, "r3k2r/8/8/8/8/8/8/4K3 w - - 0 1", BLACK);
  EXPECT_EQ(ctx.development, 2);
  term(evaluateRooks, "r3k2r/8/8/8/8/8/8/4K3 w kq - 0 1", BLACK);
  EXPECT_EQ(ctx.development, 1);
}

// d1: square 1/4, a1-c1 and d2 (-9/-15), open file 10/5. d2: 1/4, fourteen
// squares 19/32, open file 10/5 plus 11 for the second rook on it.
TEST(EvalPieces, SecondRookOnAnOpenFile) {
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/3R4/3RK3 w - - 0 1", WHITE), std::pair(43, 35));
}

// a7: square -1/12, fourteen squares 19/32, 7th rank 4/8, open file 10/5;
// the black rook on a2 is the same thing seen from the other side.
TEST(EvalPieces, RookOnTheSeventhWithTheKingBehind) {
  EXPECT_EQ(term(evaluateRooks, "7k/R7/8/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(32, 57));
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/r7/7K b - - 0 1", BLACK), std::pair(32, 57));
  // Without the king on the eighth there is no 4/8.
  EXPECT_EQ(term(evaluateRooks, "8/R7/7k/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(28, 49));
}

// a7: square -3/-16, 7th rank 4/8, 21 squares 11/12, open file 10/5. A
// knight on the file halves that (5/2) and takes a2 and a1 (19 squares).
TEST(EvalPieces, QueenOnTheSeventh) {
  EXPECT_EQ(term(evaluateQueens, "7k/Q7/8/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(22, 9));
  EXPECT_EQ(term(evaluateQueens, "7k/Q7/8/8/8/n7/8/4K3 w - - 0 1", WHITE), std::pair(17, 6));
}
