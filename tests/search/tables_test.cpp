// The transposition table's mate distances, full buckets and
// evaluation-only entries, which the benchmark's searches seldom reach.
#include <tuple>

#include "search_test_util.h"

namespace {

constexpr uint64_t KEY = 0x123456789ABCDEF0ULL;

}  // namespace

// Mate 3 plies below a node at ply 5, read back at ply 9: still 3 plies
// below the reading node. The same for being mated.
TEST(TranspositionTable, MateDistances) {
  for (int sign : {1, -1}) {
    clearHashTables();
    ttStore(sign * (MATE_SCORE - 8), 5, 4, KEY, BOUND_EXACT, 0, 0);
    TTEntry e;
    ASSERT_NE(ttProbe(KEY, e), nullptr);
    EXPECT_EQ(scoreFromTable(e.score, 9), sign * (MATE_SCORE - 12));
  }
  EXPECT_EQ(scoreFromTable(scoreToTable(9699, 7), 30), 9699);  // ordinary scores pass unchanged
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
      ttStore(0, 1, b.depths[i], (KEY & 0xFFFFFFFFULL) | (uint64_t(0x1000 + i) << 32), b.bound, 0, 0);
    }
    ttGeneration = 3;
    ttStore(0, 1, 1, KEY, b.bound, 0, 0);
    EXPECT_EQ(ttBucket(KEY)[b.victim].lock, ttLock(KEY)) << b.victim;
  }
}

// An evaluation-only entry carries a marker score, never a bound a search
// can use, even beside a deep lower bound that another thread's store left
// half done: that would cut every node of the position beyond mate.
TEST(TranspositionTable, EvalOnlyEntriesAreNeverBounds) {
  clearHashTables();
  TTEntry e;
  ttStoreEval(KEY, 4, -123);
  ASSERT_NE(ttProbe(KEY, e), nullptr);
  EXPECT_EQ(std::tuple(e.bound, e.depth, e.score, e.eval), std::tuple(BOUND_EVAL, EVAL_ONLY_DEPTH, EVAL_ONLY_SCORE + 4, -123));
  ttBucket(KEY)->bound = BOUND_LOWER;
  ttBucket(KEY)->depth = 40;
  ASSERT_NE(ttProbe(KEY, e), nullptr);
  EXPECT_EQ(e.bound, BOUND_EVAL);
}
