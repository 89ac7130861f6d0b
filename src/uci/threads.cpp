// Helper threads: each searches the same root iterations as the main thread
// on its own copy of the position; they share what they find through the
// transposition table and the other shared tables.
#include <cstdio>

#include "uci.h"
#include "../platform/platform.h"

int threadIds[MAX_THREADS];
std::atomic<bool> helpersEnabled{false}, helpersSearching{false}, mainAlone{true}, helpersQuit{false};

namespace {

// Helpers that have not yet left helperThreadMain.
std::atomic<int> runningHelpers{0};

inline void cpuRelax() { __builtin_ia32_pause(); }

}  // namespace

void detectMaxThreads() {
  const int n = logicalProcessorCount();
  maxThreads = minOf(n, MAX_THREADS);
  // Two hardware threads on one core add little to a search; use one each.
  if (coresRunTwoThreads()) maxThreads = maxOf(1, minOf(maxThreads, n / 2));
}

void helperThreadMain(void* idEntry) {
  const int t = *static_cast<int*>(idEntry);
  Position& pos = threadRecords[t];
  while (!helpersQuit) {
    // Only the driver clears the idle flag, so it is read first: the flags
    // read after it are then at least as new as the release. A helper that
    // decided to rest on older flags could otherwise set its idle flag over
    // a fresh release and skip the attempt.
    if (pos.idleFlag) {
      // While a search uses the helpers they spin, to start each attempt at once.
      if (helpersEnabled)
        cpuRelax();
      else
        sleepMilliseconds(1);
      continue;
    }
    // Released: search, unless the attempt or the whole search was over
    // before this helper looked. The driver waits for the idle flag either way.
    if (helpersEnabled && helpersSearching && !mainAlone)
      searchRoot(t);
    else
      pos.idleFlag = 1;
  }
  runningHelpers--;
}

void startHelperThreads() {
  // Retire the running helpers for certain before their records are reused.
  helpersQuit = true;
  while (runningHelpers > 0) sleepMilliseconds(1);
  for (int i = 0; i < maxThreads; i++) threadRecords[i].threadIndex = i;
  helpersSearching = false;
  helpersQuit = false;
  helpersEnabled = false;
  for (int i = 0; i < threadCount; i++) {
    threadRecords[i].idleFlag = 1;
    threadIds[i] = i;
    if (i == 0) continue;
    runningHelpers++;
    if (!startThread(helperThreadMain, &threadIds[i])) {
      runningHelpers--;
      printf("info string could not start helper thread %d, searching with %d threads\n", i, i);
      threadCount = i;
      break;
    }
  }
}

void stopHelpers() {
  for (int t = 1; t < threadCount; t++) threadRecords[t].stopFlag = 1;
  for (int t = 1; t < threadCount; t++)
    while (!threadRecords[t].idleFlag) cpuRelax();
}

int runningHelperCount() { return runningHelpers; }

uint64_t sumHelperNodes() {
  uint64_t sum = 0;
  for (int t = 1; t < threadCount; t++) sum += threadRecords[t].nodes;
  return sum;
}

uint64_t sumTableHits() {
  uint64_t sum = 0;
  for (int t = 0; t < threadCount; t++) sum += threadRecords[t].tbHits;
  return sum;
}
