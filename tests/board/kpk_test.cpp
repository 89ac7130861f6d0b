// King and pawn against king. The strong side is white with its pawn moving
// up; [0] is the strong side to move, [1] the weak side. Expected values come
// from chess rules: known endings by hand, and a sweep that checks every real
// placement against its legal successors with a move generator of its own.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "board/board.h"

namespace {

int strongToMove(Square sk, Square p, Square wk) { return kpkTable[0][sk][p][wk]; }
int weakToMove(Square sk, Square p, Square wk) { return kpkTable[1][sk][p][wk]; }

bool pawnAttacks(Square p, Square s) {
  return (fileOf(p) > 0 && s == p + 7) || (fileOf(p) < 7 && s == p + 9);
}

std::vector<Square> kingSteps(Square s) {
  std::vector<Square> steps;
  for (Square t = 0; t < 64; t++)
    if (distance(s, t) == 1) steps.push_back(t);
  return steps;
}

// A promotion wins unless the weak king can take the new queen at once.
bool promotionWins(Square sk, Square q, Square wk) { return !(distance(wk, q) == 1 && distance(sk, q) > 1); }

}  // namespace

// A table that is consistent with its moves may still hold wins that no
// promotion ever settles; known endings pin the values down.
TEST(Kpk, KnownEndings) {
  const std::tuple<int, Square, Square, Square, int> cases[] = {
      {1, E6, E5, E8, 1}, {0, E6, E5, E8, 1},  // opposition in front of the pawn wins whoever moves
      {0, A6, A5, A8, 0}, {1, A6, A5, A8, 0},  // a rook pawn with the defending king in the corner
      {0, E1, E2, E4, 0},                      // the weak king reaches the pawn first
  };
  for (const auto& [stm, sk, p, wk, expected] : cases)
    EXPECT_EQ(kpkTable[stm][sk][p][wk], expected) << stm << " " << sk << " " << p << " " << wk;
}

// Every real placement agrees with its successors: the strong side wins
// exactly when some legal move reaches a weak-to-move win; the weak side
// loses exactly when every legal move reaches a strong-to-move win, and has
// -2 when it has no legal move at all. Impossible placements (kings side by
// side, the pawn attacking the weak king) hold 2.
TEST(Kpk, EveryPlacementAgreesWithItsMoves) {
  for (Square sk = 0; sk < 64; sk++)
    for (Square p = 8; p < 56; p++)
      for (Square wk = 0; wk < 64; wk++) {
        if (sk == p || wk == p || wk == sk) continue;
        const bool kingsTouch = distance(sk, wk) == 1;

        // Strong side to move.
        if (kingsTouch || pawnAttacks(p, wk)) {
          ASSERT_EQ(strongToMove(sk, p, wk), 2) << sk << " " << p << " " << wk;
        } else {
          bool wins = false;
          const Square push = p + 8;
          if (push != sk && push != wk) {
            // The entries just after a promotion are read like any other.
            if (push >= 56) {
              ASSERT_EQ(weakToMove(sk, push, wk), promotionWins(sk, push, wk) ? 1 : 0) << sk << " " << p << " " << wk;
            }
            wins = weakToMove(sk, push, wk) == 1;
            if (rankOf(p) == 1 && p + 16 != sk && p + 16 != wk) wins |= weakToMove(sk, p + 16, wk) == 1;
          }
          for (Square t : kingSteps(sk))
            if (t != p && distance(t, wk) > 1) wins |= weakToMove(t, p, wk) == 1;
          ASSERT_EQ(strongToMove(sk, p, wk), wins ? 1 : 0) << sk << " " << p << " " << wk;
        }

        // Weak side to move; with the kings touching the strong side has
        // just made an illegal move, so there is nothing to check.
        if (kingsTouch) continue;
        int legal = 0;
        bool allLose = true;
        for (Square t : kingSteps(wk)) {
          if (distance(t, sk) <= 1 || pawnAttacks(p, t)) continue;
          legal++;
          // Taking the unguarded pawn draws.
          if (t == p || strongToMove(sk, p, t) != 1) allLose = false;
        }
        const int expected = legal == 0 ? -2 : allLose ? 1 : 0;
        ASSERT_EQ(weakToMove(sk, p, wk), expected) << sk << " " << p << " " << wk;
      }
}
