// The transposition table's sizes, mate distances, full buckets and
// evaluation-only entries; follow-up keys near the root; the reduction table
// beyond the depths the benchmark reaches.
#include <tuple>

#include "search_test_util.h"

namespace {

constexpr uint64_t KEY = 0x123456789ABCDEF0ULL;
// Keys that share KEY's bucket but not its lock.
uint64_t sameBucket(int i) { return (KEY & 0xFFFFFFFFULL) | (uint64_t(0x1000 + i) << 32); }

}  // namespace

TEST(TranspositionTable, SizesAndMateDistances) {
  ASSERT_TRUE(allocateHashTable(uint64_t(1) << 20));
  EXPECT_EQ(ttEntryCount, 65536u);
  ASSERT_TRUE(allocateHashTable(uint64_t(128) << 20));
  EXPECT_EQ(ttEntryCount, 8388608u);
  EXPECT_EQ(uintptr_t(ttTable) % 64, 0u);

  // Mate 3 plies below a node at ply 5, read back at ply 9: still 3 plies
  // below the reading node. The same for being mated.
  for (int sign : {1, -1}) {
    clearHashTables();
    ttStore(sign * (MATE_SCORE - 8), 5, 4, KEY, BOUND_EXACT, 0, 0);
    TTEntry e;
    ASSERT_NE(ttProbe(KEY, e), nullptr);
    EXPECT_EQ(scoreFromTable(e.score, 9), sign * (MATE_SCORE - 12));
    EXPECT_EQ(scoreFromTable(e.score, 5), sign * (MATE_SCORE - 8));
  }
  // Ordinary scores pass unchanged.
  EXPECT_EQ(scoreFromTable(scoreToTable(9699, 7), 30), 9699);
}

// A full bucket: of this search's exact entries the first shallowest goes;
// entries of older searches go first, the shallower of them.
TEST(TranspositionTable, FullBucketReplacement) {
  const struct {
    int ages[4], depths[4], bound, victim;
  } buckets[] = {{{3, 3, 3, 3}, {5, 3, 3, 7}, BOUND_EXACT, 1}, {{3, 2, 3, 2}, {1, 9, 2, 4}, BOUND_UPPER, 3}};
  for (const auto& b : buckets) {
    clearHashTables();
    for (int i = 0; i < 4; i++) {
      ttGeneration = uint8_t(b.ages[i]);
      ttStore(0, 1, b.depths[i], sameBucket(i), b.bound, 0, 0);
    }
    ttGeneration = 3;
    ttStore(0, 1, 1, KEY, b.bound, 0, 0);
    EXPECT_EQ(ttBucket(KEY)[b.victim].lock, ttLock(KEY)) << b.victim;
  }
}

// An evaluation-only entry carries a marker score, never a bound a search
// can use.
TEST(TranspositionTable, EvalOnlyEntriesAreNeverBounds) {
  clearHashTables();
  TTEntry e;
  ttStoreEval(KEY, 4, -123);
  ASSERT_NE(ttProbe(KEY, e), nullptr);
  EXPECT_EQ(std::tuple(e.bound, e.depth, e.score, e.eval), std::tuple(BOUND_EVAL, EVAL_ONLY_DEPTH, EVAL_ONLY_SCORE + 4, -123));
  // Another thread's store caught half done: the marker beside a deep lower
  // bound would cut every node of the position with a score beyond mate.
  ttBucket(KEY)->bound = BOUND_LOWER;
  ttBucket(KEY)->depth = 40;
  ASSERT_NE(ttProbe(KEY, e), nullptr);
  EXPECT_EQ(e.bound, BOUND_EVAL);
}

// The longer follow-up keys name four real moves: none near the root, none
// across a null move.
TEST(History, FollowUpKeysNeedFourRealMoves) {
  Position& pos = load(startFen);
  for (const char* m : {"e2e4", "e7e5", "g1f3", "b8c6"}) {
    EXPECT_EQ(followUpKey4(pos), 0u) << m;
    makeMove(pos, textMove(pos, m));
    pos.cur++;
  }
  EXPECT_NE(followUpKey4(pos), 0u);
  pos.cur[-2].lastMove = MOVE_NONE;
  EXPECT_EQ(followUpKey4(pos), 0u);
}

TEST(SearchTables, LateMoveReductions) {
  // 2 from move f, 3 from 4f, 4 from 9f, with f = 8 / depth + 2.
  const struct {
    int depth, two, three, four;
  } rows[] = {{1, 10, 40, 0}, {4, 4, 16, 36}, {32, 3, 9, 21}, {126, 3, 9, 19}};
  for (const auto& r : rows) {
    for (int n = 0; n < 50; n++) {
      const int expected = 1 + (n >= r.two) + (n >= r.three) + (r.four && n >= r.four);
      EXPECT_EQ(lmrTable[r.depth][n], expected) << "depth " << r.depth << " move " << n;
    }
  }
  for (int n = 0; n < 50; n++) EXPECT_EQ(lmrTable[0][n], 0);
}
