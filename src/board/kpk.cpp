// King and pawn against king: which placements the side with the pawn wins,
// found by retrograde iteration at start-up. The strong side is white, its
// pawn moving up the board.
#include <cstring>

#include "board.h"

int8_t kpkTable[2][64][64][64];

namespace {

// King steps in 0x88 coordinates, where a step off the board sets 0x88.
constexpr int kingSteps[8] = {1, -1, 16, -16, 15, -15, 17, -17};

constexpr int to0x88(Square s) { return s + (s & 0x38); }
constexpr Square from0x88(int t) { return t - ((t >> 1) & 0x38); }

// Returns whether any entry changed.
bool kpkPassChanged(int stm, int threshold, int tentative, int verdict) {
  bool changed = false;
  for (Square sk = 0; sk < 64; sk++)
    for (Square p = 0; p < 64; p++)
      for (Square wk = 0; wk < 64; wk++) {
        int8_t& entry = kpkTable[stm][sk][p][wk];
        if (entry != 0) continue;
        int result = tentative;
        bool decided = false;
        if (stm == 0 && p != wk) {
          if (p + 8 != wk && kpkTable[1][sk][p + 8][wk] > threshold) {
            result = verdict;
            decided = true;
          } else if (p < 16 && p + 8 != wk && p + 8 != sk && p + 16 != wk && kpkTable[1][sk][p + 16][wk] > threshold) {
            result = verdict;
            decided = true;
          } else if ((wk == p + 7 && fileOf(p) != 0) || (wk == p + 9 && fileOf(p) != 7)) {
            result = 2;
            decided = true;
          }
        }
        if (!decided) {
          const int king = to0x88(stm == 0 ? sk : wk);
          for (int step : kingSteps) {
            const int t = king + step;
            if (t & 0x88) continue;
            const Square target = from0x88(t);
            if (stm == 0 ? kpkTable[1][target][p][wk] > threshold : kpkTable[0][sk][p][target] <= threshold) {
              result = verdict;
              break;
            }
          }
        }
        entry = int8_t(result);
        changed |= result != 0;
      }
  return changed;
}

}  // namespace

void kpkPass(int stm, int threshold, int tentative, int verdict) { kpkPassChanged(stm, threshold, tentative, verdict); }

void initKpk() {
  memset(kpkTable, 0, sizeof kpkTable);
  for (Square sk = 0; sk < 64; sk++)
    for (Square p = 0; p < 64; p++)
      for (Square wk = 0; wk < 64; wk++) {
        if (wk == sk) {
          kpkTable[0][sk][p][wk] = -1;
          kpkTable[1][sk][p][wk] = 3;
        } else if (p == sk) {
          kpkTable[0][sk][p][wk] = kpkTable[1][sk][p][wk] = -1;
        } else if (p == wk) {
          kpkTable[1][sk][p][wk] = -3;
        } else if (p >= 56) {
          kpkTable[0][sk][p][wk] = 1;  // promoted
        }
      }
  kpkPass(0, 2, 0, 2);   // the strong side could take the weak king
  kpkPass(1, 1, -2, 0);  // the weak king has no move
  // Every round decides a further move of wins. A round that changes nothing
  // has reached the fixed point, and further rounds would change nothing.
  for (int round = 0; round < 25; round++) {
    bool changed = kpkPassChanged(0, 0, 0, 1);
    changed |= kpkPassChanged(1, 0, 1, 0);
    if (!changed) break;
  }
}
