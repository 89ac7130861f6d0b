// The full legality test used for moves read from input, and the static
// exchange evaluation, whose expected values are the
// material balance worked out by hand with the shipped piece values (pawn
// 90, knight and bishop 335, rook 477, queen 975). Perft counts cover the
// generator's own legality test and pins.
#include <tuple>

#include "board_test_util.h"

TEST(Legality, MovesFromInput) {
  Position& pos = load("r3k2r/8/8/8/8/8/4P3/R3K2R w Kk - 0 1");
  for (const auto& [text, legal] : {std::pair("e1g1", true), {"e1c1", false}, {"a8a7", false}, {"e2e5", false}})
    EXPECT_EQ(isLegalMove(pos, textMove(pos, text)), legal) << text;
  EXPECT_FALSE(isLegalMove(pos, makeMoveWord(E1, G1)));  // a two-square king step is only castling
  EXPECT_FALSE(isLegalMove(pos, MOVE_DELETED));
  EXPECT_FALSE(isLegalMove(pos, MOVE_NONE));
  Position& pinned = load("4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
  EXPECT_FALSE(isLegalMove(pinned, textMove(pinned, "e2d3")));
  Position& blocking = load("2b4k/8/8/3Pp3/6K1/8/8/8 w - e6 0 1");
  EXPECT_TRUE(isLegalMove(blocking, textMove(blocking, "d5e6")));  // en passant blocks the check
}

// The quick answers, the pieces behind the first capturers joining in as the
// line opens, the king capturing last, and a black mover.
TEST(Exchange, HandWorkedExchanges) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"4k3/8/2b5/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5", 1},  // a pawn takes a queen: good enough
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5d6", 1},  // en passant is never losing
      // RxN RxR RxR: a knight up.
      {"3rk3/8/3n4/8/8/8/3R4/3RK3 w - - 0 1", "d2d6", 335},
      // RxN NxR BxN NxB QxN, the queen joining behind the bishop.
      {"7k/8/2n3n1/4n3/8/2B5/1Q6/4R2K w - - 0 1", "e1e5", 335 + 335 - 477},
      // The king may only capture when the square is no longer defended.
      {"8/8/4k3/4p3/8/8/4R3/4R1K1 w - - 0 1", "e2e5", 90},
      {"8/8/4k3/4p3/8/8/4R3/6K1 w - - 0 1", "e2e5", 90 - 477},
      // Black: RxN BxR PxB RxP, knight and bishop for rook and pawn.
      {"3rk3/8/8/2p5/3N4/8/8/B2RK3 b - - 0 1", "d8d4", 335 + 335 - 477 - 90},
      // The quick answers need more than a pawn at stake against a pawn
      // defender: this push goes to the full exchange, which is even.
      {"4k3/8/8/3p4/8/3PP3/8/4K3 w - - 0 1", "e3e4", 0},
  };
  for (const auto& [fen, move, gain] : cases) {
    Position& pos = load(fen);
    EXPECT_EQ(seeGain(pos, textMove(pos, move), 0, pos.cur->side), gain) << fen << " " << move;
  }
}

// Pieces alone on a line from a slider to the enemy king: ours uncover
// check, the enemy's are pinned; a line with two pieces on it is neither.
TEST(Legality, EnemyKingBlockers) {
  for (const auto& [fen, discoverer, pinned] :
       {std::tuple("4k3/5p2/2N1n1P1/7Q/B7/8/4R3/4K3 w - - 0 1", C6, E6),
        std::tuple("4k3/4r3/8/b7/7q/2n1N1p1/5P2/4K3 b - - 0 1", C3, E3)}) {
    const PlyState& st = *load(fen).cur;
    EXPECT_EQ(st.discoverers, bit(discoverer)) << fen;
    EXPECT_EQ(st.pinnedEnemy, bit(pinned)) << fen;
    EXPECT_EQ(st.pinned, 0u) << fen;
  }
}
