// Static exchange evaluation. Expected values are the material balance of
// the exchange worked out by hand with the shipped piece values.
#include "board_test_util.h"

namespace {

int see(const char* fen, const char* move, int margin = 0) {
  Position& pos = load(fen);
  return seeGain(pos, textMove(pos, move), margin, pos.cur->side);
}

}  // namespace

TEST(Exchange, ShippedValues) {
  const int byType[8] = {0, 90, 335, 335, 0, 477, 975, 10000};
  for (int code = 2; code < 16; code++) {
    if (code == 8 || code == 9) continue;
    EXPECT_EQ(seeValue[code], byType[typeOf(code)]) << "code " << code;
    if (typeOf(code) != KING) {
      EXPECT_EQ(pieceValue[code], byType[typeOf(code)]) << "code " << code;
    }
  }
  EXPECT_EQ(seeValue[0], 0);
}

TEST(Exchange, QuickAnswers) {
  // A pawn takes a defended queen: good enough at once.
  EXPECT_EQ(see("4k3/8/2b5/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5"), 1);
  // A queen takes a pawn that a pawn defends: queen for pawn.
  EXPECT_EQ(see("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", -50), -(975 - 90));
  // A queen takes a rook that a knight defends.
  EXPECT_EQ(see("4k3/8/2n5/4r3/8/8/8/4QK2 w - - 0 1", "e1e5"), -(975 - 477));
  // A king takes an undefended pawn.
  EXPECT_EQ(see("4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", "e1e2"), 90);
  // En passant is never losing.
  EXPECT_EQ(see("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5d6"), 1);
}

TEST(Exchange, PinnedPawnDefenderIsReported) {
  Position& pos = load("4k3/8/4p3/3p4/8/8/8/3QR1K1 w - - 0 1");  // e6 pinned by the rook
  pos.pinnedPawnDefender = 0;
  EXPECT_EQ(seeGain(pos, textMove(pos, "d1d5"), -50, WHITE), -(975 - 90));
  EXPECT_EQ(pos.pinnedPawnDefender, 1);
  Position& free = load("4k3/8/4p3/3p4/8/8/8/3Q2K1 w - - 0 1");
  free.pinnedPawnDefender = 0;
  EXPECT_EQ(seeGain(free, textMove(free, "d1d5"), -50, WHITE), -(975 - 90));
  EXPECT_EQ(free.pinnedPawnDefender, 0);
}

TEST(Exchange, UndefendedTargets) {
  EXPECT_EQ(see("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a5"), 0);   // quiet move, nobody attacks a5
  EXPECT_EQ(see("4k3/8/8/n7/8/8/8/R3K3 w - - 0 1", "a1a5"), 1);  // free knight
}

// Rook takes knight, rook takes rook, ...: the pieces behind the first
// capturers join in as the file opens.
TEST(Exchange, XRaysBehindCapturers) {
  // RxN RxR RxR: a knight up.
  EXPECT_EQ(see("3rk3/8/3n4/8/8/8/3R4/3RK3 w - - 0 1", "d2d6"), 335);
  // Without the second white rook: knight for rook.
  EXPECT_EQ(see("3rk3/8/3n4/8/8/8/3R4/4K3 w - - 0 1", "d2d6"), 335 - 477);
  // Black's second rook behind the first: RxN RxR RxR RxR.
  EXPECT_EQ(see("3rk3/3r4/8/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), 335 - 477);
  EXPECT_EQ(see("4k3/3r4/8/3n4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), 335);
  // On the diagonal: RxN NxR BxN NxB QxN, the queen joining behind the
  // bishop; without her white should stop after NxR.
  EXPECT_EQ(see("7k/8/2n3n1/4n3/8/2B5/1Q6/4R2K w - - 0 1", "e1e5"), 335 + 335 - 477);
  EXPECT_EQ(see("7k/8/2n3n1/4n3/8/2B5/8/4R2K w - - 0 1", "e1e5"), 335 - 477);
}

// The king may only capture when the square is no longer defended.
TEST(Exchange, KingCapturesLast) {
  EXPECT_EQ(see("8/8/4k3/4p3/8/8/4R3/4R1K1 w - - 0 1", "e2e5"), 90);
  EXPECT_EQ(see("8/8/4k3/4p3/8/8/4R3/6K1 w - - 0 1", "e2e5"), 90 - 477);
}
