// The search subsystem: for now the shared transposition and placement tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../board/types.h"

constexpr uint8_t BOUND_UPPER = 0;
constexpr uint8_t BOUND_LOWER = 1;
constexpr uint8_t BOUND_EXACT = 2;
constexpr uint8_t BOUND_EVAL = 8;

struct TTEntry {
  uint32_t lock;  // upper half of the key; 0 = empty
  Move move;
  uint8_t bound;
  uint8_t age;
  int16_t score;
  int16_t depth;
  int16_t eval;
  uint16_t spare;
};
static_assert(sizeof(TTEntry) == 16, "four entries fill one cache line");

// Best moves keyed by the position without its pawns and kings.
struct PlacementEntry {
  uint64_t key;
  Move first;
  Move second;
  uint32_t spare;
};
constexpr int PLACEMENT_ENTRIES = 131072;

extern TTEntry* ttTable;
extern uint64_t ttEntryCount;
extern uint64_t ttMask;
extern uint8_t ttGeneration;
extern uint64_t hashBytes;
extern PlacementEntry placementTable[PLACEMENT_ENTRIES];

// Allocates a zeroed table of the given size (a power of two times 1 MB),
// clears the placement table and resets the age. On failure the previous
// table and size stay in use and false is returned.
bool allocateHashTable(uint64_t bytes);
// "ucinewgame": clears both tables in place and resets the age.
void clearHashTables();
