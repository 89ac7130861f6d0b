// Engine-wide state and the one-time start-up sequence.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "uci.h"
#include "../platform/platform.h"
#include "../eval/eval.h"
#include "../search/search.h"

const char* const ENGINE_VERSION = QUILLON_VERSION;

std::atomic<bool> quitRequested{false};
bool inputIsPipe;

int multiPvOption = 1;
bool chess960Option = false;
int threadCount = 1;
int maxThreads = 1;

namespace {

std::atomic<bool> startUpDone{false};

// The slow part of start-up, run beside the command loop so that "uci" is
// answered at once: the king and pawn table, and the clearing of the large
// tables. Clearing writes every page of the hash table, which the system
// would otherwise supply one at a time during the first search.
void finishStartUp(void*) {
  initKpk();
  clearFollowUpTables();
  clearHashTables();
  startUpDone = true;
  startUpDone.notify_all();
}

}  // namespace

void waitForStartUp() { startUpDone.wait(false); }

void initEngine() {
  initZobrist();
  if (!allocateHashTable(uint64_t(128) << 20, false)) exit(1);
  initEvalDefaults();
  loadEvalParams();
  initSearchTables();
  initPieceCodeTables();
  initBoardTables();
  initEvalTables();
  parseFen(mainPosition, startFen);
  clearHistory(mainPosition);
  searchState = SEARCH_IDLE;
  limits.limitFlags = LIMIT_MOVETIME;
  limits.movetime = 5000;
  limits.defaultMovesToGo = 24;
  pendingCurrmove[0] = 0;
  detectMaxThreads();
  startHelperThreads();
  clockFrequency = clockTicksPerSecond();
  frontEndPoll = pollInput;
  if (!startThread(finishStartUp, nullptr)) finishStartUp(nullptr);
}

int parseInteger(const char* text) {
  errno = 0;
  long long v = strtoll(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int(v);
}
