// King danger and threats in small hand-worked positions.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack
EvalContext ctx;

// The pieces fill the attack counters the king term reads, in the
// evaluation's order; kingHalf is the zone the evaluation would give the
// white king.
int danger(const char* fen, int c, Bitboard whiteKingHalf = 0) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  initEvalContext(pos, ctx);
  ctx.kingHalf[WHITE] = whiteKingHalf;
  for (auto term : {evaluateKnights, evaluateBishops, evaluateRooks, evaluateQueens}) {
    term(pos, ctx, BLACK);
    term(pos, ctx, WHITE);
  }
  for (int side : {WHITE, BLACK}) ctx.pieceDefence[side] |= ctx.rookXray[side] | ctx.bishopXray[side];
  return kingDanger(pos, ctx, c);
}

std::pair<int, int> threats(const char* fen) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  const int32_t s = evaluateThreats(pos);
  return {mgOf(s), egOf(s)};
}

constexpr Bitboard WING_E_TO_H_RANKS_1_TO_4 = 0xF0F0F0F0ULL;
constexpr Bitboard CENTRE_C_TO_F_RANKS_1_TO_4 = 0x3C3C3C3CULL;

}  // namespace

TEST(EvalKingSafety, QuietKingsInTheStartPosition) {
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  EXPECT_EQ(danger(start, WHITE, CENTRE_C_TO_F_RANKS_1_TO_4), -93);  // nothing reaches the zone
  EXPECT_EQ(danger(start, BLACK), -93);
}

TEST(EvalKingSafety, LostCastlingRightsCountOnlyInTheCentre) {
  // Both rights gone on e1: 2 x 10, and development two steps back.
  EXPECT_EQ(danger("4k3/8/8/8/8/8/3PPP2/4K3 w - - 0 1", WHITE), -73);
  EXPECT_EQ(ctx.development, -2);
  EXPECT_EQ(danger("4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE), -93);
  EXPECT_EQ(ctx.development, 0);
}

// No piece reaches the king, but the rook on a4 hits e4-h4 of its half:
// four squares leave the quiet formula. The same rook gives a safe check on
// a1 (weight 2): 3 x (-31 + 6 x 2) + 2 x 4 = -49.
TEST(EvalKingSafety, FourAttackedSquaresInTheKingsHalfAreNotQuiet) {
  EXPECT_EQ(danger("q6k/rp6/8/8/r7/8/5PPP/6K1 w - - 0 1", WHITE, WING_E_TO_H_RANKS_1_TO_4), -49);
}

// Each rook hits one ring square (f2, h2): weight 6, two undefended hits,
// so 6 x 2 / 2 = 6; two attackers; adjacent hits 3 + 3. Danger
// 3 x (6 - 31 + 2) + 6 = -63, and the two rooks on the files next to the
// king add 2 << 4.
TEST(EvalKingSafety, RooksOnTheFilesBesideTheKing) {
  EXPECT_EQ(danger("k4r1r/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE), -31);
}

// The queen on h3 touches g2 and h2, both covered by pawns: 2 x 10 contact.
// With black to move it doubles and is capped: 39, so the danger grows by
// 2 x 10 x (39 - 20).
TEST(EvalKingSafety, ContactChecksWeighMoreForTheSideToMove) {
  const int waiting = danger("k7/8/8/8/8/5ppq/5PPP/6K1 w - - 0 1", WHITE);
  const int toMove = danger("k7/8/8/8/8/5ppq/5PPP/6K1 b - - 0 1", WHITE);
  EXPECT_EQ(toMove - waiting, 380);
}

// The knight on e5, defended by its king, forks two rooks: one knight-rook
// entry, 18/39.
TEST(EvalThreats, OneEntryPerAttackerAndVictimType) {
  EXPECT_EQ(threats("6k1/3r1r2/8/4N3/4K3/8/8/8 w - - 0 1"), std::pair(18, 39));
}

// Two knights on d5 and f5 hit by e4 and defended by e6: the pawn entry
// 35/40 counts per knight, and the defence takes them out of the rest.
TEST(EvalThreats, PawnAttacksCountEveryPiece) {
  EXPECT_EQ(threats("4k3/8/4p3/3n1n2/4P3/8/8/4K3 w - - 0 1"), std::pair(70, 80));
}

// The knights attack each other; white's is covered by c3. Only black's
// undefended knight counts (5/3): a knight attacking a knight scores 0.
TEST(EvalThreats, KnightAgainstKnightScoresNothing) {
  EXPECT_EQ(threats("7k/8/4n3/8/3N4/2P5/8/K7 w - - 0 1"), std::pair(5, 3));
}

TEST(EvalThreats, NothingAttackedInTheStartPosition) {
  EXPECT_EQ(threats("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"), std::pair(0, 0));
}
