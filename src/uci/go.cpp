// The limits of a "go" command and the time budget of a move.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "uci.h"
#include "../platform/platform.h"

namespace {

// Reads the number after the keyword at text. Absurd values saturate at the
// int range instead of overflowing; no number leaves *value as it was.
void readNumber(const char* text, int* value) {
  text += strcspn(text, " \t");
  char* end;
  errno = 0;
  const long long v = strtoll(text, &end, 10);
  if (end == text) return;
  *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : int(v);
}

}  // namespace

void parseGo(const char* line) {
  mainPosition.stopFlag = 0;
  searchState = SEARCH_THINKING;
  limits.limitFlags = 0;
  if (strstr(line, "infinite")) limits.limitFlags |= LIMIT_NONE;
  if (strstr(line, "ponder")) {
    limits.limitFlags |= LIMIT_NONE;
    searchState = SEARCH_PONDERING;
  }
  // The moves after "searchmoves" are not read: every root move is searched.
  if (strstr(line, "searchmoves")) limits.limitFlags |= LIMIT_NONE;
  struct Keyword {
    const char* word;
    uint8_t flags;
    int* value;
  };
  int movetime = int(limits.movetime);
  const Keyword keywords[] = {
      {"wtime", LIMIT_CLOCK, &limits.time[WHITE]},
      {"btime", LIMIT_CLOCK, &limits.time[BLACK]},
      {"winc", LIMIT_INCREMENT, &limits.inc[WHITE]},
      {"binc", LIMIT_INCREMENT, &limits.inc[BLACK]},
      {"movestogo", LIMIT_MOVESTOGO, &limits.movesToGo},
      {"depth", LIMIT_DEPTH, &limits.depth},
      {"nodes", LIMIT_NODES, &limits.nodes},
      {"mate", LIMIT_MATE | LIMIT_NONE, &limits.mate},
      {"movetime", LIMIT_MOVETIME, &movetime},
  };
  for (const Keyword& k : keywords) {
    if (const char* at = strstr(line, k.word)) {
      limits.limitFlags |= k.flags;
      readNumber(at, k.value);
    }
  }
  limits.movetime = movetime;
  if (!limits.limitFlags) limits.limitFlags = LIMIT_NONE;
}

// What the budget of a clocked move leaves on the clock; see allocateTime.
constexpr int64_t CLOCK_RESERVE_MS = 100;

void allocateTime() {
  const uint8_t flags = limits.limitFlags;
  pollPeriodMs = 50;
  if (flags & (LIMIT_DEPTH | LIMIT_NODES | LIMIT_NONE)) {
    // A pondering search looks at its input often: the ponderhit or the
    // stop of a miss arrives while the engine's own clock already runs.
    pollPeriodMs = searchState == SEARCH_PONDERING ? 5 : 100;
    return;
  }
  if (flags & LIMIT_MOVETIME) {
    targetTime = limits.movetime > 100 ? limits.movetime - 100 : limits.movetime;
    return;
  }
  const int side = mainPosition.cur->side, other = side ^ 1;
  int64_t mtg = limits.defaultMovesToGo;
  if (flags & LIMIT_MOVESTOGO) {
    // Two moves more than announced; below -1 that would divide by 0 or
    // less, so one move is the least.
    mtg = int64_t(limits.movesToGo) + 2;
    if (mtg < 1) mtg = 1;
  }
  if (limits.time[side] < 0) limits.time[side] = 0;
  if (limits.inc[side] < 0) limits.inc[side] = 0;

  // 64-bit arithmetic, as clock values arrive as any int. A negative clock
  // of the opponent counts as 0: it must not lend us a huge budget.
  int64_t T = 0, H = 0;
  if (flags & LIMIT_CLOCK) {
    const int64_t e = limits.time[side];
    const int64_t opponent = maxOf(limits.time[other], 0);
    // The budget comes from the clock less a reserve for what a move costs
    // beyond the search: the pipe, the interface's own reading and a late
    // wake-up on a busy machine. In games with an increment the clock
    // settles near three increments above the reserve; with only 20 ms
    // kept, a bullet game then hung on a single slow answer.
    const int64_t usable = e - CLOCK_RESERVE_MS;
    T = usable / mtg;
    H = usable / (mtg < 10 ? mtg : 10);
    if (e > opponent) {
      T += (e - opponent) >> 3;
      H += (e - opponent) >> 3;
    }
    if (flags & LIMIT_INCREMENT) {
      const int64_t g = limits.inc[side];
      T += g;
      H += g;
      if (usable < 3 * g) {
        T >>= 1;
        H >>= 1;
      }
    }
  } else if (flags & LIMIT_INCREMENT) {
    T = H = limits.inc[side];
  }
  hardTime = H - 10 < 0 ? T : H - 10;
  if (T > 200) T -= 100;
  targetTime = T;
  // Out of time: the least budget, one that still reads as a timed search.
  if (targetTime < 1) targetTime = 1;
  if (hardTime < 1) hardTime = 1;
  pollPeriodMs = T > 10000 ? 100 : T >= 1000 ? 50 : int(maxOf(5, int(T / 15)));
}
