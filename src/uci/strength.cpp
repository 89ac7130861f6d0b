// Playing at a chosen strength (UCI_LimitStrength, UCI_Elo): a node cap
// that grows with the rating, and a choice among the best few root lines
// weighted by how much worse each scored, with a temperature that shrinks
// as the rating grows. Weaker play so comes from plausible moves a shallow
// search liked, not from random ones, and the cap holds at any clock.
#include <cmath>
#include <iterator>

#include "uci.h"

bool limitStrengthOption = false;
int eloOption = DEFAULT_ELO;
int strengthLines;

namespace {

struct StrengthLevel {
  int elo;
  int nodes;        // the search's node cap
  int lines;        // root lines the choice looks at
  int temperature;  // centipawns of loss that divide a line's weight by e
  int maxLoss;      // lines scoring this much below the best are never played
};

// Set by matches against a reference engine at the same rating (see
// bench/calibrate-strength.sh). Between rows the cap is interpolated
// geometrically, the rest linearly. From 1750 on the loss cap stays below
// a minor piece: no piece is given away that the search saw.
constexpr StrengthLevel LEVELS[] = {
    {1350, 2100, 5, 86, 380}, {1500, 7000, 4, 45, 220}, {1750, 15000, 3, 27, 135},
    {2000, 90000, 2, 4, 16},  {2200, 400000, 1, 1, 0},
};
static_assert(LEVELS[0].elo == MIN_ELO && LEVELS[std::size(LEVELS) - 1].elo == MAX_ELO);

// The choice's random draw is a function of the position and this start-up
// value only, so that a search of a position with given limits and options
// always plays the same move.
constexpr uint64_t STRENGTH_SEED = 0x5eed0f57e4c81a3dULL;

int levelTemperature, levelMaxLoss;
Move recordedMoves[MAX_PV_LINES];
int recordedScores[MAX_PV_LINES];
int recordedCount;

uint64_t mix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

}  // namespace

void setStrengthLimits() {
  recordedCount = 0;
  strengthLines = 0;
  strengthNodeLimit = 0;
  if (!limitStrengthOption) return;
  int i = 0;
  while (LEVELS[i + 1].elo < eloOption) i++;
  const StrengthLevel &a = LEVELS[i], &b = LEVELS[i + 1];
  const double f = double(eloOption - a.elo) / double(b.elo - a.elo);
  const auto linear = [f](int x, int y) { return int(std::lround(x + f * (y - x))); };
  strengthNodeLimit = std::llround(a.nodes * std::pow(double(b.nodes) / a.nodes, f));
  strengthLines = linear(a.lines, b.lines);
  levelTemperature = linear(a.temperature, b.temperature);
  levelMaxLoss = linear(a.maxLoss, b.maxLoss);
}

void recordStrengthLines(const Move* moves, const int* scores, int n) {
  recordedCount = minOf(n, strengthLines);
  for (int i = 0; i < recordedCount; i++) {
    recordedMoves[i] = moves[i];
    recordedScores[i] = scores[i];
  }
}

Move chooseMove(Move best) {
  if (!limitStrengthOption || recordedCount < 2) return best;
  int top = recordedScores[0];
  for (int i = 1; i < recordedCount; i++) top = maxOf(top, recordedScores[i]);
  double weights[MAX_PV_LINES], total = 0;
  for (int i = 0; i < recordedCount; i++) {
    const int loss = top - recordedScores[i];
    weights[i] = loss > levelMaxLoss ? 0 : std::exp(-double(loss) / levelTemperature);
    total += weights[i];
  }
  double draw = double(mix(STRENGTH_SEED ^ mainPosition.plies[0].key) >> 11) * 0x1p-53 * total;
  for (int i = 0; i < recordedCount; i++) {
    draw -= weights[i];
    if (draw < 0 && weights[i] > 0) return recordedMoves[i];
  }
  return best;
}
