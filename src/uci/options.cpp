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

// A parameter table saved by the tuners replaces the one in force. The path
// is the rest of the line, blanks included; no value or "<empty>" brings
// back the embedded table.
void setEvalFile(const char* line) {
  const char* value = strstr(line, " value ");
  char path[1024] = "";
  if (value) {
    value += strlen(" value ");
    while (*value == ' ') value++;
    int length = int(strlen(value));
    while (length > 0 && value[length - 1] == ' ') length--;
    if (length >= int(sizeof path)) {
      printf("info string EvalFile path too long, table unchanged\n");
      return;
    }
    memcpy(path, value, size_t(length));
    path[length] = 0;
  }
  if (strcmp(path, "<empty>") == 0) path[0] = 0;
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
    if (strcasecmp(value, "true") == 0) nullMoveEnabled = 1;
    if (strcasecmp(value, "false") == 0) nullMoveEnabled = 0;
  } else if (strcasecmp(name, "UCI_Chess960") == 0) {
    if (strcasecmp(value, "true") == 0) chess960Option = true;
    if (strcasecmp(value, "false") == 0) chess960Option = false;
  } else if (strcasecmp(name, "EvalFile") == 0) {
    setEvalFile(line);
  }
}
