// The command loop fed arbitrary lines: the protocol's words, FENs, moves,
// numbers and options (see commands.dict) mixed with raw bytes. Every input
// is one session, ended by the harness's own stops and "quit"; afterwards
// the game position must still be sound.
#include <strings.h>

#include "session.h"

namespace {

// Inputs longer than this are not tried: long lines only repeat the
// reader's splitting, which the pipe tests cover.
constexpr size_t INPUT_LIMIT = 16384;
// A session starts at most SEARCHES searches, each ends after about
// SEARCH_NODES nodes, and looks at its input at least every POLL_NODES:
// the fuzzer's time goes into the commands, not the search.
constexpr int SEARCHES = 3;
constexpr uint64_t SEARCH_NODES = 100;
constexpr int64_t POLL_NODES = 16;

void cappedPoll(bool stop) {
  pollInput(stop);
  if (mainPosition.nodes > SEARCH_NODES) mainPosition.stopFlag = 1;
  if (pollCountdown > POLL_NODES) pollCountdown = POLL_NODES;
  // A search's first look at its input comes after the period the last
  // search measured from its speed, which could be far beyond the cap.
  pollNodes = POLL_NODES;
}

bool hasPrefix(const char* line, const char* word) { return strncmp(line, word, strlen(word)) == 0; }

// "go" and the depth shortcuts.
bool startsSearch(const char* line) {
  static const char* const twoDigits[] = {"10", "15", "20", "21", "22", "23", "24", "25", "30"};
  if (hasPrefix(line, "go") || !strcmp(line, "6") || !strcmp(line, "8")) return true;
  for (const char* d : twoDigits)
    if (hasPrefix(line, d)) return true;
  return false;
}

// Lines the harness keeps from the engine. "quit" would end the session
// early; the others only cost time or memory that the fuzzer would report
// as a hang or a leak: tuning runs until the process ends, the evaluation
// benchmark and deep counts take seconds, a large table gigabytes, and an
// EvalFile line reads whatever file it names. Helper threads make every
// search a hand-over between threads, tenfold slower here; the pipe tests
// and the thread-sanitizer build cover them. line is what the engine
// reads: up to the first NUL, a final carriage return dropped.
bool keptFromEngine(const char* line) {
  if (!strcmp(line, "quit") || !strcmp(line, "miav") || !strcmp(line, "miavkd") || hasPrefix(line, "bench"))
    return true;
  if (hasPrefix(line, "perft") || hasPrefix(line, "divide")) {
    char depth[TOKEN_SIZE] = "";
    sscanf(line, hasPrefix(line, "perft") ? "perft %255s" : "divide %255s", depth);
    return parseInteger(depth) > 2;
  }
  char name[TOKEN_SIZE] = "", value[TOKEN_SIZE] = "";
  if (hasPrefix(line, "setoption") && sscanf(line, "setoption name %255s value %255s", name, value) >= 1) {
    if (!strcasecmp(name, "EvalFile")) return true;
    const int megabytes = parseInteger(value);
    return (!strcasecmp(name, "Hash") && (megabytes == 0 || megabytes > 16)) ||
           (!strcasecmp(name, "Threads") && megabytes > 1);
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::startEngine();
  frontEndPoll = cappedPoll;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INPUT_LIMIT) return 0;
  std::string text;
  int searches = 0;
  const char* bytes = reinterpret_cast<const char*>(data);
  for (size_t start = 0; start < size;) {
    const char* newline = static_cast<const char*>(memchr(bytes + start, '\n', size - start));
    const size_t end = newline ? size_t(newline - bytes) : size;
    std::string line(bytes + start, end - start);
    std::string seen(line.c_str());
    if (!seen.empty() && seen.size() == line.size() && seen.back() == '\r') seen.pop_back();
    if (!keptFromEngine(seen.c_str()) && (!startsSearch(seen.c_str()) || ++searches <= SEARCHES)) text += line + "\n";
    start = end + 1;
  }
  pollNodes = POLL_NODES;
  fuzz::runSession(text, true);
  fuzz::checkGamePosition();
  return 0;
}
