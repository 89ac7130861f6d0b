// King and pawn against king. The strong side is white with its pawn moving
// up; [0] is the strong side to move, [1] the weak side. Every placement is
// checked against its legal successors with a move generator of its own,
// and known endings pin down which consistent table it is.
#include <gtest/gtest.h>

#include <tuple>

#include "board/board.h"

namespace {

bool pawnAttacks(Square p, Square s) { return (fileOf(p) > 0 && s == p + 7) || (fileOf(p) < 7 && s == p + 9); }

}  // namespace

TEST(Kpk, KnownEndings) {
  const std::tuple<int, Square, Square, Square, int> cases[] = {
      {1, E6, E5, E8, 1}, {0, E6, E5, E8, 1},  // opposition in front of the pawn wins whoever moves
      {0, A6, A5, A8, 0},                      // a rook pawn with the defending king in the corner
      {0, E1, E2, E4, 0},                      // the weak king reaches the pawn first
  };
  for (const auto& [stm, sk, p, wk, expected] : cases)
    EXPECT_EQ(kpkTable[stm][sk][p][wk], expected) << stm << " " << sk << " " << p << " " << wk;
}

// The strong side wins exactly when some legal move reaches a weak-to-move
// win (a promotion wins unless the weak king takes the queen at once); the
// weak side loses exactly when every legal move reaches a strong-to-move
// win, and has -2 without a legal move. Impossible placements hold 2.
TEST(Kpk, EveryPlacementAgreesWithItsMoves) {
  const auto& strong = kpkTable[0];
  const auto& weak = kpkTable[1];
  for (Square sk = 0; sk < 64; sk++)
    for (Square p = 8; p < 56; p++)
      for (Square wk = 0; wk < 64; wk++) {
        if (sk == p || wk == p || wk == sk) continue;
        const bool kingsTouch = distance(sk, wk) == 1;
        const auto at = [&] { return testing::Message() << sk << " " << p << " " << wk; };
        if (kingsTouch || pawnAttacks(p, wk)) {
          ASSERT_EQ(strong[sk][p][wk], 2) << at();
        } else {
          bool wins = false;
          if (p + 8 != sk && p + 8 != wk) {
            if (p + 8 >= 56) {
              ASSERT_EQ(weak[sk][p + 8][wk], !(distance(wk, p + 8) == 1 && distance(sk, p + 8) > 1)) << at();
            }
            wins = weak[sk][p + 8][wk] == 1 || (rankOf(p) == 1 && p + 16 != sk && p + 16 != wk && weak[sk][p + 16][wk] == 1);
          }
          for (Square t = 0; t < 64; t++)
            wins |= distance(sk, t) == 1 && t != p && distance(t, wk) > 1 && weak[t][p][wk] == 1;
          ASSERT_EQ(strong[sk][p][wk], wins ? 1 : 0) << at();
        }
        if (kingsTouch) continue;  // the strong side has just made an illegal move
        int legal = 0;
        bool allLose = true;
        for (Square t = 0; t < 64; t++) {
          if (distance(wk, t) != 1 || distance(t, sk) <= 1 || pawnAttacks(p, t)) continue;
          legal++;
          allLose &= t != p && strong[sk][p][t] == 1;  // taking the unguarded pawn draws
        }
        ASSERT_EQ(weak[sk][p][wk], legal == 0 ? -2 : allLose ? 1 : 0) << at();
      }
}
