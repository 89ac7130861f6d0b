// The pseudo-legal generators and the attack information they read.
#include "board_test_util.h"

namespace {

Move mv(Square from, Square to, int kind = 0) { return makeMoveWord(from, to, kind); }

}  // namespace

// Four entries per promotion square, queen first, and none among the quiets.
TEST(MoveGen, PromotionsComeWithCaptures) {
  Position& pos = load("1n1n4/2P5/8/8/8/8/8/k5K1 w - - 0 1");
  std::vector<Move> expected;
  for (Square to : {D8, B8, C8})
    for (int kind : {PROMOTE_QUEEN, PROMOTE_KNIGHT, PROMOTE_ROOK, PROMOTE_BISHOP}) expected.push_back(mv(C7, to, kind));
  EXPECT_EQ(generated(pos, generateCaptures), expected);
  for (Move m : generated(pos, generateQuiets)) EXPECT_NE(moveFrom(m), C7) << moveText(m);
  // Black promotes on rank 1; a blocked push promotes only by capture.
  std::vector<Move> black = generated(load("k7/8/8/8/8/7K/6p1/5RN1 b - - 0 1"), generateCaptures);
  EXPECT_EQ(black.size(), 4u);
  for (Move m : black) EXPECT_EQ(moveTo(m), F1);
}

TEST(MoveGen, EnPassantIsACapture) {
  EXPECT_EQ(generated(load("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"), generateCaptures),
            std::vector<Move>{mv(E5, D6, MOVE_EN_PASSANT)});
  EXPECT_TRUE(generated(load("4k3/8/8/3pP3/8/8/8/4K3 w - - 0 2"), generateCaptures).empty());
}

TEST(MoveGen, DoubleCheckLeavesOnlyKingMoves) {
  // Rook a1 and knight f3 both check; the bishop could take the knight and
  // the rook on d2 could block, but neither helps against two checkers.
  Position& pos = load("4k3/8/8/8/8/5n2/3R2B1/r3K3 w - - 0 1");
  EXPECT_EQ(pos.cur->evasionMask, 0u);
  for (Move m : generated(pos, generateEvasions)) EXPECT_EQ(moveFrom(m), E1) << moveText(m);
  EXPECT_EQ(perft(pos, 1), 2u);  // e2 and f2; d1 and f1 lie on the rook's line
}

// The squares behind the king on the checking line are shielded by the
// king itself, so they are not attacked, but the king may not go there.
TEST(MoveGen, KingCannotRetreatAlongTheCheckingLine) {
  Position& pos = load("4r2k/8/8/8/4K3/8/8/8 w - - 0 1");
  EXPECT_FALSE(contains(generated(pos, generateEvasions), mv(E4, E3)));
  EXPECT_EQ(perft(pos, 1), 6u);
  Position& diagonal = load("7k/8/5q2/8/3K4/8/8/8 w - - 0 1");
  EXPECT_FALSE(diagonal.cur->attacks[BLACK] & bit(C3));
  EXPECT_FALSE(contains(generated(diagonal, generateEvasions), mv(D4, C3)));
  EXPECT_EQ(perft(diagonal, 1), 6u);  // c4 c5 d3 d5 e3 e4
}

// En passant answers a check only when the pawn that just stepped twice is
// the checker.
TEST(MoveGen, EnPassantEvasion) {
  EXPECT_TRUE(contains(generated(load("8/8/8/4k3/3Pp3/8/8/4K3 b - d3 0 1"), generateEvasions),
                       mv(E4, D3, MOVE_EN_PASSANT)));
  // Here b2-b4 uncovered the bishop: taking the pawn does not help, c4-c3 does.
  Position& discovered = load("7k/8/8/8/1Pp5/8/8/B3K3 b - b3 0 1");
  ASSERT_EQ(discovered.cur->epSquare, B3);
  std::vector<Move> evasions = generated(discovered, generateEvasions);
  EXPECT_FALSE(contains(evasions, mv(C4, B3, MOVE_EN_PASSANT)));
  EXPECT_TRUE(contains(evasions, mv(C4, C3)));
}

// Quiet moves that may give check: onto a checking square, or away from a
// square that shields the enemy king.
TEST(MoveGen, CheckCandidates) {
  Position& pos = load("4k3/8/8/8/4N3/8/1B6/4R1K1 w - - 0 1");
  std::vector<Move> moves = generated(pos, generateCheckCandidates);
  EXPECT_TRUE(contains(moves, mv(E4, C3)));  // uncovers the rook
  EXPECT_TRUE(contains(moves, mv(B2, F6)));  // a knight's jump from the king
  EXPECT_FALSE(contains(moves, mv(G1, H1)));
  EXPECT_FALSE(contains(moves, mv(B2, A1)));
  for (Move m : moves) {
    EXPECT_FALSE(pos.board[moveTo(m)]) << moveText(m);
    EXPECT_TRUE(pos.checkZone & (bit(moveFrom(m)) | bit(moveTo(m)))) << moveText(m);
  }
}
