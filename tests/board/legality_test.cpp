// The position tests: pins, the legality test, the gives-check test, the
// full legality test used for moves read from input, and the static
// exchange evaluation, whose expected values are the material balance of
// the exchange worked out by hand with the shipped piece values (pawn 90,
// knight and bishop 335, rook 477, queen 975).
#include <tuple>

#include "board_test_util.h"

namespace {

int see(const char* fen, const char* move, int margin = 0) {
  Position& pos = load(fen);
  return seeGain(pos, textMove(pos, move), margin, pos.cur->side);
}

}  // namespace

// Pins of the opponent, and pieces that would uncover a check, which the
// search reads. (The own pins are checked by every perft count.)
TEST(Legality, PinsAndDiscoverers) {
  EXPECT_EQ(load("4k3/3n4/8/1B6/8/8/8/4K3 w - - 0 1").cur->pinnedEnemy, bit(D7));
  EXPECT_EQ(testPosition().cur->discoverers, 0u);  // an enemy piece between is no discoverer
  EXPECT_EQ(load("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1").cur->discoverers, bit(E4));
  EXPECT_EQ(load("4k3/4p3/8/8/4N3/8/8/4R1K1 w - - 0 1").cur->discoverers, 0u);  // two between
  EXPECT_EQ(load("4k3/3n4/2n5/1B6/8/8/8/4K3 b - - 0 1").cur->pinned, 0u);
}

// The legality test for input: generated, and not leaving the king in
// check. (The pipe tests try malformed and impossible moves.)
TEST(Legality, MovesFromInput) {
  Position& pos = load("r3k2r/8/8/8/8/8/4P3/R3K2R w Kk - 0 1");
  for (const auto& [text, legal] : {std::pair("e1g1", true), {"e1c1", false}, {"a8a7", false}, {"e2e5", false}})
    EXPECT_EQ(isLegalMove(pos, textMove(pos, text)), legal) << text;
  EXPECT_FALSE(isLegalMove(pos, makeMoveWord(E1, G1)));  // a two-square king step is only castling
  EXPECT_EQ(isLegal(pos, MOVE_DELETED), 1);
  EXPECT_FALSE(isLegalMove(pos, MOVE_DELETED));
  EXPECT_FALSE(isLegalMove(pos, MOVE_NONE));
  Position& pinned = load("4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1");
  EXPECT_FALSE(isLegalMove(pinned, textMove(pinned, "e2d3")));
  EXPECT_TRUE(isLegalMove(pinned, textMove(pinned, "e1d1")));
  Position& blocking = load("2b4k/8/8/3Pp3/6K1/8/8/8 w - e6 0 1");
  EXPECT_TRUE(isLegalMove(blocking, textMove(blocking, "d5e6")));  // en passant blocks the check
}

// Only the moved piece's own line and discovered lines are looked at.
TEST(Legality, GivesCheck) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"7k/P7/8/8/8/8/8/K7 w - - 0 1", "a7a8r", 1},      // promotion on the king's rank
      {"3n3k/P7/8/8/8/8/8/K7 w - - 0 1", "a7a8q", 0},    // ... with a piece between
      {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", "e4c3", 1},  // uncovers the rook
      {"4k3/8/8/8/8/8/8/Q5K1 w - - 0 1", "a1a4", 1},     // along the diagonal a4-e8
      {"4k3/8/8/8/8/8/8/Q5K1 w - - 0 1", "a1a3", 0},
      {"4k3/8/3P4/8/8/8/8/4K3 w - - 0 1", "d6d7", 1},
  };
  for (const auto& [fen, move, check] : cases) {
    Position& pos = load(fen);
    EXPECT_EQ(givesCheck(pos, textMove(pos, move)), check) << fen << " " << move;
  }
}

// The quick answers, the pieces behind the first capturers joining in as
// the line opens, the order of the recaptures, a black mover, and moves at
// the very edge of the quick answers.
TEST(Exchange, HandWorkedExchanges) {
  const std::tuple<const char*, const char*, int, int> cases[] = {
      // A pawn takes a defended queen: good enough at once.
      {"4k3/8/2b5/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0, 1},
      // A queen takes a rook that a knight defends; a king an undefended pawn.
      {"4k3/8/2n5/4r3/8/8/8/4QK2 w - - 0 1", "e1e5", 0, -(975 - 477)},
      {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", "e1e2", 0, 90},
      // En passant is never losing; a quiet move nobody attacks; a free knight.
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5d6", 0, 1},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a5", 0, 0},
      {"4k3/8/8/n7/8/8/8/R3K3 w - - 0 1", "a1a5", 0, 1},
      // RxN RxR RxR: a knight up; without the second white rook, knight for
      // rook; with black's second rook behind the first, too.
      {"3rk3/8/3n4/8/8/8/3R4/3RK3 w - - 0 1", "d2d6", 0, 335},
      {"3rk3/8/3n4/8/8/8/3R4/4K3 w - - 0 1", "d2d6", 0, 335 - 477},
      {"3rk3/3r4/8/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 0, 335 - 477},
      // On the diagonal: RxN NxR BxN NxB QxN, the queen joining behind the
      // bishop; without her white should stop after NxR.
      {"7k/8/2n3n1/4n3/8/2B5/1Q6/4R2K w - - 0 1", "e1e5", 0, 335 + 335 - 477},
      {"7k/8/2n3n1/4n3/8/2B5/8/4R2K w - - 0 1", "e1e5", 0, 335 - 477},
      // The king may only capture when the square is no longer defended.
      {"8/8/4k3/4p3/8/8/4R3/4R1K1 w - - 0 1", "e2e5", 0, 90},
      {"8/8/4k3/4p3/8/8/4R3/6K1 w - - 0 1", "e2e5", 0, 90 - 477},
      // RxN RxR PxR: the pawn joins after the rooks.
      {"3rk3/8/8/3n4/2P5/8/8/3RK3 w - - 0 1", "d1d5", 0, 335},
      // Black: RxN BxR PxB RxP, knight and bishop for rook and pawn.
      {"3rk3/8/8/2p5/3N4/8/8/B2RK3 b - - 0 1", "d8d4", 0, 335 + 335 - 477 - 90},
      // A black queen takes a pawn that a pawn defends: queen for pawn at
      // once, though a full exchange would bring the rook in.
      {"3rk3/3q4/8/8/3P4/2P5/8/4K3 b - - 0 1", "d7d4", -50, -(975 - 90)},
      // Knight takes bishop: the attacker is worth no more than its victim,
      // good enough at once, where the full exchange would give 0.
      {"4k3/8/2p5/3b4/8/4N3/8/4K3 w - - 0 1", "e3d5", 0, 1},
      // The quick answers need more than a pawn at stake against a pawn
      // defender, more than a bishop against a minor attacker: a pawn and a
      // knight stepping onto such squares go to the full exchange, which
      // the own pawn's recapture makes even.
      {"4k3/8/8/3p4/8/3PP3/8/4K3 w - - 0 1", "e3e4", 0, 0},
      {"4k3/8/2b5/8/8/8/6P1/4K1N1 w - - 0 1", "g1f3", 0, 0},
  };
  for (const auto& [fen, move, margin, gain] : cases) EXPECT_EQ(see(fen, move, margin), gain) << fen << " " << move;
}
