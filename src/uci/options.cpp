// "setoption": the engine's six options, their clamps and side effects.
#include <cstdio>
#include <strings.h>

#include "uci.h"
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
  }
}
