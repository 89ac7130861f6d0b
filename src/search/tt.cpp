// The shared transposition table and the placement table beside it.
#include <cstdlib>
#include <cstring>

#include "search.h"

TTEntry* ttTable;
uint64_t ttEntryCount;
uint64_t ttMask;
uint8_t ttGeneration;
uint64_t hashBytes;
PlacementEntry placementTable[PLACEMENT_ENTRIES];

namespace {

// A bucket is four entries from the masked index, so three spare entries
// sit behind the last index; 64 more bytes allow the cache-line alignment.
constexpr uint64_t SPARE_BYTES = 3 * sizeof(TTEntry) + 64;
void* ttBlock;

}  // namespace

bool allocateHashTable(uint64_t bytes) {
  if (bytes < sizeof(TTEntry) || bytes > uint64_t(SIZE_MAX) - SPARE_BYTES) return false;
  // calloc hands out fresh zero pages, so even a large table costs nothing
  // until it is used.
  void* block = calloc(1, size_t(bytes + SPARE_BYTES));
  if (!block) {
    if (ttBlock && bytes == hashBytes) {
      // No room for a second copy: clearing the one we have is as good.
      clearHashTables();
      return true;
    }
    return false;
  }
  free(ttBlock);
  ttBlock = block;
  ttTable = reinterpret_cast<TTEntry*>((uintptr_t(block) + 63) & ~uintptr_t(63));
  hashBytes = bytes;
  ttEntryCount = bytes / sizeof(TTEntry);
  ttMask = ttEntryCount - 1;
  memset(placementTable, 0, sizeof placementTable);
  ttGeneration = 0;
  return true;
}

void clearHashTables() {
  memset(static_cast<void*>(ttTable), 0, size_t(ttEntryCount + 3) * sizeof(TTEntry));
  memset(placementTable, 0, sizeof placementTable);
  ttGeneration = 0;
}
