// "setoption": the engine's options, their clamps and side effects.
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "uci.h"
#include "../eval/eval.h"
#include "../search/search.h"

namespace {

void setHash(int megabytes) {
  if (megabytes == 0) megabytes = 128;
  if (megabytes < 0 || (megabytes & (megabytes - 1)) != 0) {
    printf("Not power of two\n");
    return;
  }
  if (!allocateHashTable(uint64_t(megabytes) << 20))
    printf("info string Hash %d MB could not be allocated, keeping %llu MB\n", megabytes,
           (unsigned long long)(hashBytes >> 20));
}

// The value of a path option: the rest of the line after "value", blanks
// inside it included; no value or "<empty>" gives an empty path. False when
// the path does not fit.
bool readPathValue(const char* line, char* path, size_t cap) {
  const char* value = strstr(line, " value ");
  path[0] = 0;
  if (!value) return true;
  value += strlen(" value ");
  while (*value == ' ') value++;
  size_t length = strlen(value);
  while (length > 0 && value[length - 1] == ' ') length--;
  if (length >= cap) return false;
  memcpy(path, value, length);
  path[length] = 0;
  if (strcmp(path, "<empty>") == 0) path[0] = 0;
  return true;
}

// A parameter table saved by the tuners replaces the one in force; an
// empty path brings back the embedded table.
void setEvalFile(const char* line) {
  char path[1024];
  if (!readPathValue(line, path, sizeof path)) {
    printf("info string EvalFile path too long, table unchanged\n");
    return;
  }
  char why[128];
  if (!loadParamFile(path, why, sizeof why)) {
    printf("info string EvalFile %s not loaded, table unchanged: %s\n", path, why);
    return;
  }
  // Evaluations stored under the old table would outlive it.
  mainPosition.cur->staticEval = EVAL_NONE;
  clearHashTables();
  if (path[0])
    printf("info string EvalFile %s loaded\n", path);
  else
    printf("info string EvalFile empty, embedded table loaded\n");
}

// Folders of endgame tables, separated by ':'; the tables found replace
// those in use.
void setSyzygyPath(const char* line) {
  static char path[8192];
  if (!readPathValue(line, path, sizeof path)) {
    printf("info string SyzygyPath too long, tables unchanged\n");
    return;
  }
  if (!loadTables(path))
    printf("info string SyzygyPath %.200s: out of memory, no tables in use\n", path);
  else if (!path[0])
    printf("info string SyzygyPath empty, no tables in use\n");
  else if (tablesFound(false) == 0)
    printf("info string SyzygyPath %.200s: 0 tables found\n", path);
  else
    printf("info string SyzygyPath %.200s: %d tables found (%d with distances to zeroing), up to %d pieces\n", path,
           tablesFound(false), tablesFound(true), largestTablePieces());
}

bool readCheck(const char* value, bool current) {
  return strcasecmp(value, "true") == 0 ? true : strcasecmp(value, "false") == 0 ? false : current;
}

}  // namespace

void setOption(const char* line) {
  // Tokens are read into fixed buffers; the widths keep long tokens inside
  // them (a name cut short simply matches no option).
  char name[TOKEN_SIZE] = "", second[TOKEN_SIZE] = "", value[TOKEN_SIZE] = "";
  sscanf(line, "setoption name %255s %255s", name, second);
  if (strcasecmp(name, "clear") == 0 && strcasecmp(second, "hash") == 0) {
    allocateHashTable(hashBytes);
    clearFollowUpTables();
    return;
  }
  if (sscanf(line, "setoption name %255s value %255s", name, value) < 1) return;
  if (strcasecmp(name, "Hash") == 0) {
    setHash(parseInteger(value));
  } else if (strcasecmp(name, "MultiPV") == 0) {
    multiPvOption = maxOf(1, minOf(parseInteger(value), 100));
  } else if (strcasecmp(name, "Threads") == 0) {
    threadCount = maxOf(1, minOf(parseInteger(value), maxThreads));
    startHelperThreads();
    printf("info string Threads = %i\n", threadCount);
  } else if (strcasecmp(name, "NullMove") == 0) {
    nullMoveEnabled = readCheck(value, nullMoveEnabled);
  } else if (strcasecmp(name, "UCI_LimitStrength") == 0) {
    limitStrengthOption = readCheck(value, limitStrengthOption);
  } else if (strcasecmp(name, "UCI_Elo") == 0) {
    eloOption = maxOf(MIN_ELO, minOf(parseInteger(value), MAX_ELO));
  } else if (strcasecmp(name, "UCI_Chess960") == 0) {
    chess960Option = readCheck(value, chess960Option);
  } else if (strcasecmp(name, "EvalFile") == 0) {
    setEvalFile(line);
  } else if (strcasecmp(name, "SyzygyPath") == 0) {
    setSyzygyPath(line);
  } else if (strcasecmp(name, "SyzygyProbeDepth") == 0) {
    tableProbeDepth = maxOf(1, minOf(parseInteger(value), 100));
  } else if (strcasecmp(name, "SyzygyProbeLimit") == 0) {
    tableProbeLimit = maxOf(0, minOf(parseInteger(value), 7));
    updateTablePieces();
  } else if (strcasecmp(name, "Syzygy50MoveRule") == 0) {
    tableFiftyMoveRule = readCheck(value, tableFiftyMoveRule);
  }
}
