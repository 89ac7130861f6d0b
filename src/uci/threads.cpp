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

// One step of waiting on another thread, counted in *steps. The other
// thread answers within microseconds when it has a processor, so the wait
// spins at first. When the engine has more busy threads than free cores
// (a second engine pondering beside it, say), the thread waited for may
// be off its processor, and a spin would hold this one for a whole
// scheduler slice, milliseconds at every hand-over. So the wait soon gives
// way: a helper waiting for work yields and never sleeps, which keeps it
// at once ready; the driver waiting for helpers sleeps, which frees its
// processor for them.
constexpr int SPIN_STEPS = 2000;
inline void waitStep(int* steps, bool maySleep) {
  if (*steps < SPIN_STEPS) {
    ++*steps;
    cpuRelax();
  } else if (maySleep) {
    sleepMicroseconds(20);
  } else {
    yieldProcessor();
  }
}

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
  int steps = 0;
  while (!helpersQuit) {
    // Only the driver clears the idle flag, so it is read first: the flags
    // read after it are then at least as new as the release. A helper that
    // decided to rest on older flags could otherwise set its idle flag over
    // a fresh release and skip the attempt.
    if (pos.idleFlag) {
      // While a search uses the helpers they stay ready, to start each
      // attempt at once.
      if (helpersEnabled)
        waitStep(&steps, false);
      else
        sleepMilliseconds(1);
      continue;
    }
    steps = 0;
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
  int steps = 0;
  for (int t = 1; t < threadCount; t++)
    while (!threadRecords[t].idleFlag) waitStep(&steps, true);
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
