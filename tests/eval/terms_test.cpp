// The evaluation terms in small hand-worked positions.
// Passed pawns, for white: base by rank 4/5/6: -6/32, 56/80, 88/132; free
// path +12 (eg); enemy king by distance 1..7: 64 23 9 -3 -10 -14 -27
// (subtracted); own king: 12 3 -9 -15 -17 -23 -45 (added).
// Pieces: mobility by safe squares: knight 2: -18/-15, 3: -8/-8, 7: 9/7,
// 8: 10/7; bishop 4: -4; rook 4: -9/-15, 7: 3/5, 14: 19/32. Open file 10/5.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack
EvalContext ctx;
PawnEntry entry;

void setUp(const char* fen) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  initEvalContext(pos, ctx);
}

std::pair<int, int> halves(int32_t s) { return {mgOf(s), egOf(s)}; }

std::pair<int, int> whitePawns(const char* fen) {
  setUp(fen);
  entry = PawnEntry{};
  evaluatePawnStructure(pos, entry);
  ctx.pawns = &entry;
  return halves(evaluatePassedPawns(pos, ctx, WHITE));
}

std::pair<int, int> term(int32_t (*f)(const Position&, EvalContext&, int), const char* fen, int us) {
  setUp(fen);
  return halves(f(pos, ctx, us));
}

// The pieces fill the attack counters the king term reads, in the
// evaluation's order; kingHalf is the zone the evaluation would give the
// white king.
int danger(const char* fen, int c, Bitboard whiteKingHalf = 0) {
  setUp(fen);
  ctx.kingHalf[WHITE] = whiteKingHalf;
  for (auto pieceTerm : {evaluateKnights, evaluateBishops, evaluateRooks, evaluateQueens}) {
    pieceTerm(pos, ctx, BLACK);
    pieceTerm(pos, ctx, WHITE);
  }
  for (int side : {WHITE, BLACK}) ctx.pieceDefence[side] |= ctx.rookXray[side] | ctx.bishopXray[side];
  return kingDanger(pos, ctx, c);
}

constexpr Bitboard WING_E_TO_H_RANKS_1_TO_4 = 0xF0F0F0F0ULL;
constexpr Bitboard CENTRE_C_TO_F_RANKS_1_TO_4 = 0x3C3C3C3CULL;

}  // namespace

TEST(EvalPassedPawns, Runs) {
  // c5 then d5: each stop square is covered by the other pawn (+1/16), d5
  // gets the run bonus 30. c5: 59/(85+12+10-15) = 59/92; d5:
  // 59/(85+12+30+3-15) = 59/115; both are supported passers in the enemy
  // half: +14 each.
  EXPECT_EQ(whitePawns("7k/8/8/2PP4/8/8/8/K7 w - - 0 1"), std::pair(118, 235));
  // d4 is visited before c5, so c5 starts a new run. d4: -6/(32+12+3-9)
  // keeps only its end-game half 38; c5: 56/(80+12+10-15) = 56/87, +14 as
  // d4 defends it.
  EXPECT_EQ(whitePawns("7k/8/8/2P5/3P4/8/8/K7 w - - 0 1"), std::pair(56, 139));
}

TEST(EvalPassedPawns, PathAndBlockers) {
  // The king on d7 covers e7 and e8: 88/132 gains an eighth, 99/148, then
  // +12 free path, +10 for the far king, +12 for the own king.
  EXPECT_EQ(whitePawns("8/3K4/4P3/8/8/8/8/7k w - - 0 1"), std::pair(99, 182));
  // A rook behind the passer halves it (49/74), and the pawn it attacks
  // counts one square against the unsupported-pawn penalty (10).
  EXPECT_EQ(whitePawns("8/3K4/4P3/8/8/8/8/4r2k w - - 0 1"), std::pair(39, 108));
  // Blocked by the king: half of 88/132, then 8 back in the end game, -64
  // for the adjacent enemy king and +12 for the own: 44/22. The king covers
  // e6 and e8 of the unsupported pawn's file: -15.
  EXPECT_EQ(whitePawns("8/4k3/4P3/3K4/8/8/8/8 w - - 0 1"), std::pair(29, 22));
  // a3: -27/(-29+12-23-45) would be negative in both halves.
  EXPECT_EQ(whitePawns("8/8/8/8/2k5/P7/8/7K w - - 0 1"), std::pair(0, 0));
}

// e5 is weak (no neighbour) and not passed.
TEST(EvalPawnStructure, WeakPawnAndItsStopSquare) {
  // Stop square attacked by the knight: -3/-3. In the enemy half e6 and e7
  // are attacked (2), one less for the enemy pawn on the file: -10.
  EXPECT_EQ(whitePawns("3nk3/4p3/8/4P3/8/8/8/4K3 w - - 0 1"), std::pair(-13, -3));
  // Stop square held by a knight and covered by d7: -3 -4 each half; e6
  // and e7 attacked and no enemy pawn on the e-file: -15.
  EXPECT_EQ(whitePawns("4k3/3p4/4n3/4P3/8/8/8/4K3 w - - 0 1"), std::pair(-22, -7));
  // The weak pawn itself attacked by g6: -3/-3; f5, f7 and f8 attacked: -23.
  EXPECT_EQ(whitePawns("4k3/8/6p1/5P2/8/8/8/4K3 w - - 0 1"), std::pair(-26, -3));
}

// A pawn is weak when no own pawn on a neighbouring file stands beside or
// behind it: the rear pawn of a chain is, the front one is not.
TEST(EvalPawnStructure, WeakPawnsByTheirNeighbours) {
  const std::pair<const char*, Bitboard> cases[] = {
      {"4k3/8/8/3p4/3P4/4P3/8/4K3 w - - 0 1", bit(E3) | bit(D5)},  // d4 ahead of e3
      {"4k3/8/4p3/3p4/3P4/8/8/4K3 w - - 0 1", bit(D4) | bit(E6)},  // d5 ahead of e6
      {"4k3/8/8/3pp3/3PP3/8/8/4K3 w - - 0 1", 0},                  // side by side
  };
  for (const auto& [fen, weak] : cases) {
    whitePawns(fen);
    EXPECT_EQ(entry.weak, weak) << fen;
  }
}

// a2 and a7 are weak on the a-file (1 each) and the kings' squares mirror
// each other, so only the white king's distance from the pawns counts: seven
// files, -90 in the end game.
TEST(EvalPawnStructure, KingFarFromAllPawns) {
  EXPECT_EQ(whitePawns("k7/p7/8/8/8/8/P7/7K w - - 0 1"), std::pair(0, 0));
  EXPECT_EQ(std::pair(entry.score, entry.weak), std::pair(makeScore(0, -90), bit(A2) | bit(A7)));
}

TEST(EvalPieces, Knights) {
  // Square value 22 (as d5), king distance 3: +10 (mg), 8 squares: 10/7.
  // No pawn on d6-d8 or f6-f8: the e-file outpost 21/2 comes on top.
  EXPECT_EQ(term(evaluateKnights, "4k3/8/8/4N3/8/8/8/4K3 w - - 0 1", WHITE), std::pair(63, 31));
  // d7 covers the outpost: three quarters of 22 (17), and c6 is lost to
  // the pawn's attack: 7 squares, 9/7.
  EXPECT_EQ(term(evaluateKnights, "4k3/3p4/8/4N3/8/8/8/4K3 w - - 0 1", WHITE), std::pair(36, 24));
  // b1: square -26, b-file outpost 9/-4, king 7 away; a3, c3 and d2 are
  // free but the pin along the first rank leaves mobility for two.
  EXPECT_EQ(term(evaluateKnights, "4k3/8/8/8/8/8/8/KN5r w - - 0 1", WHITE), std::pair(-35, -45));
}

TEST(EvalPieces, Bishops) {
  // d3 is light: c4 and e4 are on its colour (2 x 3/5), e4 blocked by e5
  // (2/-2), c4 by c5 (half, 1/-1); d4/d5 is the dark bishop's pattern.
  // Square 2, four squares free of own pawns: -4.
  EXPECT_EQ(term(evaluateBishops, "7k/8/8/2ppp3/2PPP3/3B4/8/7K w - - 0 1", WHITE), std::pair(-11, -9));
  // g5 pins the knight to the queen with the king on the wing: +3. Square
  // 0, seven squares: 14.
  EXPECT_EQ(term(evaluateBishops, "3q2k1/8/5n2/6B1/8/8/8/4K3 w - - 0 1", WHITE), std::pair(17, 14));
  EXPECT_EQ(term(evaluateBishops, "3q2k1/4p3/5n2/6B1/8/8/8/4K3 w - - 0 1", WHITE), std::pair(14, 14));
}

TEST(EvalPieces, RookShutInByItsKing) {
  // No short castling: two development steps, the trapped rook (20) and its
  // extra for the lost right (0). h1: square -5/4, seven squares 3/5, open
  // file 10/5.
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/8/6KR w - - 0 1", WHITE), std::pair(-12, 14));
  EXPECT_EQ(ctx.development, -2);
  // White pays the second step when its short castling is gone, even with
  // long castling left; black pays it only when both rights are gone.
  const std::tuple<const char*, int, int> cases[] = {
      {"4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", WHITE, -2},
      {"r3k2r/8/8/8/8/8/8/4K3 w q - 0 1", BLACK, 1},
      {"r3k2r/8/8/8/8/8/8/4K3 w - - 0 1", BLACK, 2},
      {"r3k2r/8/8/8/8/8/8/4K3 w kq - 0 1", BLACK, 1},
  };
  for (const auto& [fen, colour, development] : cases) {
    term(evaluateRooks, fen, colour);
    EXPECT_EQ(ctx.development, development) << fen;
  }
}

TEST(EvalPieces, RooksAndQueensOnOpenFilesAndTheSeventh) {
  // d1: square 1/4, a1-c1 and d2 (-9/-15), open file 10/5. d2: 1/4,
  // fourteen squares 19/32, open file 10/5 plus 11 for the second rook.
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/3R4/3RK3 w - - 0 1", WHITE), std::pair(43, 35));
  // a7: square -1/12, fourteen squares 19/32, 7th rank 4/8, open file
  // 10/5; the black rook on a2 is the same thing seen from the other side.
  EXPECT_EQ(term(evaluateRooks, "7k/R7/8/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(32, 57));
  EXPECT_EQ(term(evaluateRooks, "4k3/8/8/8/8/8/r7/7K b - - 0 1", BLACK), std::pair(32, 57));
  // Without the king on the eighth there is no 4/8.
  EXPECT_EQ(term(evaluateRooks, "8/R7/7k/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(28, 49));
  // Queen on a7: square -3/-16, 7th rank 4/8, 21 squares 11/12, open file
  // 10/5. A knight on the file halves that (5/2) and takes a2 and a1 (19
  // squares).
  EXPECT_EQ(term(evaluateQueens, "7k/Q7/8/8/8/8/8/4K3 w - - 0 1", WHITE), std::pair(22, 9));
  EXPECT_EQ(term(evaluateQueens, "7k/Q7/8/8/8/n7/8/4K3 w - - 0 1", WHITE), std::pair(17, 6));
}

TEST(EvalKingSafety, HandWorkedDanger) {
  const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const std::tuple<const char*, int, Bitboard, int> cases[] = {
      {start, WHITE, CENTRE_C_TO_F_RANKS_1_TO_4, -93},  // nothing reaches the zone
      {start, BLACK, 0, -93},
      // Both rights gone on e1: 2 x 10; they count only in the centre.
      {"4k3/8/8/8/8/8/3PPP2/4K3 w - - 0 1", WHITE, 0, -73},
      {"4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE, 0, -93},
      // No piece reaches the king, but the rook on a4 hits e4-h4 of its
      // half: four squares leave the quiet formula. The same rook gives a
      // safe check on a1 (weight 2): 3 x (-31 + 6 x 2) + 2 x 4 = -49.
      {"q6k/rp6/8/8/r7/8/5PPP/6K1 w - - 0 1", WHITE, WING_E_TO_H_RANKS_1_TO_4, -49},
      // Each rook hits one ring square (f2, h2): weight 6, two undefended
      // hits, so 6 x 2 / 2 = 6; two attackers; adjacent hits 3 + 3. Danger
      // 3 x (6 - 31 + 2) + 6 = -63, and the two rooks on the files next to
      // the king add 2 << 4.
      {"k4r1r/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE, 0, -31},
  };
  for (const auto& [fen, colour, half, expected] : cases) EXPECT_EQ(danger(fen, colour, half), expected) << fen;
  // Lost rights on e1 also set development two steps back.
  danger("4k3/8/8/8/8/8/3PPP2/4K3 w - - 0 1", WHITE);
  EXPECT_EQ(ctx.development, -2);
}

// The queen on h3 touches g2 and h2, both covered by pawns: 2 x 10 contact.
// With black to move it doubles and is capped: 39, so the danger grows by
// 2 x 10 x (39 - 20).
TEST(EvalKingSafety, ContactChecksWeighMoreForTheSideToMove) {
  const int waiting = danger("k7/8/8/8/8/5ppq/5PPP/6K1 w - - 0 1", WHITE);
  const int toMove = danger("k7/8/8/8/8/5ppq/5PPP/6K1 b - - 0 1", WHITE);
  EXPECT_EQ(toMove - waiting, 380);
}

TEST(EvalThreats, HandWorkedPositions) {
  const std::tuple<const char*, int, int> cases[] = {
      // The knight on e5, defended by its king, forks two rooks: one
      // knight-rook entry, 18/39.
      {"6k1/3r1r2/8/4N3/4K3/8/8/8 w - - 0 1", 18, 39},
      // Two knights on d5 and f5 hit by e4 and defended by e6: the pawn
      // entry 35/40 counts per knight, and the defence takes them out of
      // the rest.
      {"4k3/8/4p3/3n1n2/4P3/8/8/4K3 w - - 0 1", 70, 80},
      // The knights attack each other; white's is covered by c3. Only
      // black's undefended knight counts (5/3): a knight attacking a knight
      // scores 0.
      {"7k/8/4n3/8/3N4/2P5/8/K7 w - - 0 1", 5, 3},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0, 0},
      // A pawn no pawn defends, attacked by a knight (defended by its king),
      // a rook, or, for black, a queen.
      {"4k3/8/8/3p4/8/4N3/4K3/8 w - - 0 1", 5, 18},
      {"4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", 0, 12},
      {"3qk3/8/8/8/3P4/8/8/4K3 w - - 0 1", 0, -15},
  };
  for (const auto& [fen, mg, eg] : cases) {
    setUp(fen);
    EXPECT_EQ(halves(evaluateThreats(pos)), std::pair(mg, eg)) << fen;
  }
}
