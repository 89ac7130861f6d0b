// What the search reads at its nodes to know when to stop: the limits of
// the "go" line, the clock budget, and the countdown to the next look at
// the clock and the input.
#include "search.h"
#include "../platform/platform.h"

std::atomic<int> searchState{SEARCH_IDLE};
SearchLimits limits = {LIMIT_MOVETIME, {0, 0}, {0, 0}, 0, 0, 0, 0, 5000, 24};
int64_t strengthNodeLimit;

int64_t clockFrequency = 1;
int64_t searchStart;
int64_t lastClockRead;
int64_t targetTime;
int64_t hardTime;
int pollPeriodMs = 50;

int64_t pollNodes = 500;
int64_t pollCountdown = 500;
void (*frontEndPoll)(bool stop);

int64_t elapsedMs(int64_t since) {
  return int64_t(double(readClockTicks() - since) * 1000.0 / double(clockFrequency));
}

bool nodeLimitDecides() { return (limits.limitFlags & (LIMIT_NONE | LIMIT_DEPTH | LIMIT_NODES)) == LIMIT_NODES; }

namespace {

// The limits that decide alone, before the clock budget is looked at:
// infinite, depth, nodes and a fixed time. Returns false when the budget
// decides, with the verdict in *stop otherwise.
bool fixedLimitDecides(int64_t elapsed, bool* stop) {
  const uint8_t flags = limits.limitFlags;
  if (strengthNodeLimit && int64_t(mainPosition.nodes.load()) > strengthNodeLimit) *stop = true;
  else if (flags & LIMIT_NONE) *stop = false;
  else if (flags & LIMIT_DEPTH) *stop = mainPosition.iterationDepth > limits.depth;
  else if (flags & LIMIT_NODES) *stop = int64_t(mainPosition.nodes.load()) > int64_t(limits.nodes);
  else if (flags & LIMIT_MOVETIME) *stop = elapsed > limits.movetime;
  else return false;
  return true;
}

}  // namespace

bool iterationStopTest() {
  if (mainPosition.stopFlag) return true;
  lastClockRead = readClockTicks();
  if (searchState == SEARCH_IDLE) return true;
  const int64_t elapsed = elapsedMs(searchStart);
  bool stop;
  if (fixedLimitDecides(elapsed, &stop)) return stop;
  return 2 * elapsed > targetTime || elapsed > hardTime;
}

bool searchStopTest() {
  if (searchState == SEARCH_IDLE) return true;
  const int64_t elapsed = elapsedMs(searchStart);
  bool stop;
  if (fixedLimitDecides(elapsed, &stop)) return stop;
  if (elapsed > hardTime) return true;
  if (elapsed <= targetTime) return false;
  // Beyond the budget, only long budgets with moves to spare may finish the
  // iteration, up to twice the budget.
  const int mtg = limits.limitFlags & LIMIT_MOVESTOGO ? limits.movesToGo : limits.defaultMovesToGo;
  return mtg <= 5 || elapsed >= 2 * targetTime || targetTime <= 5000;
}

namespace {

void closeInOn(int64_t nodeLimit) {
  const int64_t left = nodeLimit - int64_t(mainPosition.nodes.load(std::memory_order_relaxed)) + 1;
  if (left < pollCountdown) pollCountdown = left > 2 ? left / 2 : 1;
}

}  // namespace

void resetPollCountdown() {
  pollCountdown = pollNodes;
  // Near a node limit the checks close in on it by halves (a node may make
  // more than one move), so the search stops at the node that passes the
  // limit and not up to a poll period later: "go nodes N" then searches the
  // same tree however fast the machine runs. Only while that limit is the
  // one the stop test reads: under "depth", "infinite" or "ponder" a passed
  // node limit would otherwise bring a check at every node. The strength
  // cap always decides.
  if (nodeLimitDecides()) closeInOn(limits.nodes);
  if (strengthNodeLimit) closeInOn(strengthNodeLimit);
}

void periodicCheck() {
  resetPollCountdown();
  const bool stop = searchStopTest();
  mainPosition.stopFlag = stop;
  if (frontEndPoll) frontEndPoll(stop);
}
