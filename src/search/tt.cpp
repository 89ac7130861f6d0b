// The shared transposition table and the placement table beside it.
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "search.h"
#include "../platform/platform.h"

TTEntry* ttTable;
uint64_t ttEntryCount;
uint64_t ttMask;
uint8_t ttGeneration;
uint64_t hashBytes;
alignas(HUGE_PAGE_BYTES) PlacementEntry placementTable[PLACEMENT_ENTRIES];

namespace {

// A bucket is four entries from the masked index, so three spare entries
// sit behind the last index.
constexpr uint64_t SPARE_BYTES = 3 * sizeof(TTEntry);
void* ttBlock;
uint64_t ttBlockBytes;

}  // namespace

bool allocateHashTable(uint64_t bytes, bool clearNow) {
  if (bytes < sizeof(TTEntry) || bytes > uint64_t(SIZE_MAX) - SPARE_BYTES) return false;
  void* block = allocateLargeBlock(bytes + SPARE_BYTES);
  if (!block) {
    if (ttBlock && bytes == hashBytes) {
      // No room for a second copy: clearing the one we have is as good.
      clearHashTables();
      return true;
    }
    return false;
  }
  freeLargeBlock(ttBlock, ttBlockBytes);
  ttBlock = block;
  ttBlockBytes = bytes + SPARE_BYTES;
  ttTable = static_cast<TTEntry*>(block);
  hashBytes = bytes;
  ttEntryCount = bytes / sizeof(TTEntry);
  ttMask = ttEntryCount - 1;
  // The fresh pages read as zero, but the system supplies each one only when
  // it is first written. Writing them all now keeps that cost, which can
  // reach a third of a second for 128 MB, out of the first search.
  if (clearNow) clearHashTables();
  return true;
}

void clearHashTables() {
  memset(static_cast<void*>(ttTable), 0, size_t(ttEntryCount + 3) * sizeof(TTEntry));
  memset(placementTable, 0, sizeof placementTable);
  ttGeneration = 0;
}

TTEntry* ttProbe(uint64_t key, TTEntry& copy) {
  TTEntry* bucket = ttBucket(key);
  const uint32_t lock = ttLock(key);
  for (int i = 0; i < 4; i++) {
    if (bucket[i].lock != lock) continue;
    copy = bucket[i];
    if (copy.lock != lock) continue;
    // Writers store field by field, so a copy may mix two entries: the
    // evaluation-only marker must never pass for a searched score.
    if (copy.score >= EVAL_ONLY_SCORE) copy.bound = BOUND_EVAL;
    return &bucket[i];
  }
  return nullptr;
}

namespace {

// The entry a store for this key overwrites: the position's own entry, an
// empty one, or else the least valuable one. Entries of older searches go
// before those of this search, shallow ones before deep ones, and exact
// results of this search are kept.
TTEntry* replacementVictim(uint64_t key, uint8_t generation) {
  TTEntry* bucket = ttBucket(key);
  const uint32_t lock = ttLock(key);
  for (int i = 0; i < 4; i++)
    if (bucket[i].lock == lock) return &bucket[i];
  for (int i = 0; i < 4; i++)
    if (bucket[i].lock == 0) return &bucket[i];
  TTEntry* victim = bucket;
  for (int i = 0; i < 4; i++) {
    const TTEntry& e = bucket[i];
    int worth = (e.depth < victim->depth ? 1 : 0) + (victim->age == generation ? 2 : 0) -
                (e.age == generation || e.bound == BOUND_EXACT ? 2 : 0);
    if (worth > 0) victim = &bucket[i];
  }
  return victim;
}

// The age is passed in, so that this function touches nothing but entries:
// the thread-sanitizer suppressions accept races in it as the table's own.
void writeEntry(uint64_t key, int tableScore, int depth, int bound, Move move, int eval, uint8_t generation) {
  TTEntry* e = replacementVictim(key, generation);
  const uint32_t lock = ttLock(key);
  if (move || e->lock != lock) e->move = move;
  e->lock = lock;
  e->bound = uint8_t(bound);
  e->age = generation;
  e->score = int16_t(tableScore);
  e->depth = int16_t(depth);
  e->eval = int16_t(eval);
}

}  // namespace

void ttStore(int score, int ply, int depth, uint64_t key, int bound, Move move, int eval) {
  assert(score >= -MATE_SCORE && score <= MATE_SCORE);
  writeEntry(key, scoreToTable(score, ply), depth, bound, move, eval, ttGeneration);
}

void ttStoreEval(uint64_t key, int ply, int eval) {
  writeEntry(key, EVAL_ONLY_SCORE + ply, EVAL_ONLY_DEPTH, BOUND_EVAL, MOVE_NONE, eval, ttGeneration);
}

void placementProbe(PlyState& st) {
  const uint64_t key = placementKey(st);
  const PlacementEntry& e = placementTable[key & (PLACEMENT_ENTRIES - 1)];
  const bool hit = e.key == key;
  st.placement1 = hit ? e.first : MOVE_NONE;
  st.placement2 = hit ? e.second : MOVE_NONE;
}

void placementUpdate(const PlyState& st, Move best) {
  const uint64_t key = placementKey(st);
  PlacementEntry& e = placementTable[key & (PLACEMENT_ENTRIES - 1)];
  if (e.key == key) {
    if (e.first == best) return;  // unchanged: the line stays clean
    e.second = e.first;
  } else {
    e.key = key;
    e.second = MOVE_NONE;
  }
  e.first = best;
}
