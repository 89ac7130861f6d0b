// Looking at the input while the main thread searches: the search's
// periodic check hands over here every pollNodes nodes.
#include <cstdio>

#include "uci.h"
#include "../platform/platform.h"

char pendingCurrmove[128];

void pollInput(bool stop) {
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
