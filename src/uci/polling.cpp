// Looking at the clock and the input while the main thread searches: the
// search calls periodicCheck every pollNodes nodes.
#include <cstdio>

#include "uci.h"
#include "../platform/platform.h"

int64_t pollNodes = 500;
int64_t pollCountdown = 500;
char pendingCurrmove[128];

void resetPollCountdown() {
  pollCountdown = pollNodes;
  // Near a node limit the checks close in on it by halves (a node may make
  // more than one move), so the search stops at the node that passes the
  // limit and not up to a poll period later: "go nodes N" then searches the
  // same tree however fast the machine runs. Only while that limit is the
  // one the stop test reads: under "depth", "infinite" or "ponder" a passed
  // node limit would otherwise bring a check at every node.
  if (nodeLimitDecides()) {
    const int64_t left = int64_t(limits.nodes) - int64_t(mainPosition.nodes.load(std::memory_order_relaxed)) + 1;
    if (left < pollCountdown) pollCountdown = left > 2 ? left / 2 : 1;
  }
}

void periodicCheck() {
  resetPollCountdown();
  const bool stop = searchStopTest();
  mainPosition.stopFlag = stop;
  if (silentSearch) return;
  if (pendingCurrmove[0]) {
    printf("%s", pendingCurrmove);
    pendingCurrmove[0] = 0;
  }
  if (stop) return;
  // Budgets of half a second or less never read input while they run.
  if ((targetTime == 0 || targetTime > 500) && inputAvailable()) commandLoop();
}

bool inputAvailable() { return inputWaiting(); }

void onPonderhit() {
  if (searchState != SEARCH_PONDERING) return;
  limits.limitFlags &= uint8_t(~LIMIT_NONE);
  searchStart = readClockTicks();
  searchState = SEARCH_THINKING;
}
