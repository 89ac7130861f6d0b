// The search's memories: transposition table, history, killers, counter
// moves and the reduction table.
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

TEST(TranspositionTable, ReplacementRule) {
  clearHashTables();
  ttGeneration = 3;
  // The same position keeps its move when a store brings none.
  ttStore(10, 1, 5, KEY, BOUND_LOWER, 0x1234, 7);
  ttStore(20, 1, 6, KEY, BOUND_UPPER, 0, 8);
  TTEntry e;
  ASSERT_NE(ttProbe(KEY, e), nullptr);
  EXPECT_EQ(std::tuple(e.move, e.score, e.depth, e.eval), std::tuple(0x1234, 20, 6, 8));

  // A full bucket: of this search's exact entries the first shallowest
  // goes; entries of older searches go first, the shallower of them.
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

  // Evaluation-only entries: a marker score, never a bound a search can use.
  clearHashTables();
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

TEST(History, LimitsHalvingAndMalus) {
  Position& pos = nodeAt("4k3/8/8/8/8/8/8/R3K1N1 w - - 0 1");
  const Move rookMove = textMove(pos, "a1a5"), knightMove = textMove(pos, "g1f3");
  pos.historyTable[W_ROOK][A5] = 495;
  updateHistory(pos, rookMove, false, 9);  // 504 would pass the limit
  EXPECT_EQ(pos.historyTable[W_ROOK][A5], 495);
  pos.historyTable[W_ROOK][A5] = 490;
  updateHistory(pos, rookMove, false, 9);
  EXPECT_EQ(pos.historyTable[W_ROOK][A5], 499);

  // The quiet moves before the cut-off lose the bonus, down to -499.
  PlyState& st = *pos.cur;
  st.moves[0].move = knightMove;
  st.moves[1].move = MOVE_DELETED;
  st.moves[2].move = rookMove;
  st.moves[3].move = textMove(pos, "e1d1");
  st.moves[4].move = 0;
  pos.historyTable[W_KNIGHT][F3] = -495;
  pos.historyTable[W_KING][D1] = 0;
  updateHistory(pos, rookMove, true, 4);
  EXPECT_EQ(pos.historyTable[W_KNIGHT][F3], -499);
  EXPECT_EQ(pos.historyTable[W_KING][D1], 0);  // after the cut-off move
  updateHistory(pos, rookMove, true, 4);
  EXPECT_EQ(pos.historyTable[W_KNIGHT][F3], -499);

  // Two pieces hanging: depth 3 gives 4 instead of 9.
  Position& hanging = nodeAt("1r2k3/8/8/8/4n3/8/1B1N4/7K w - - 0 1");
  updateHistory(hanging, textMove(hanging, "h1g1"), false, 9);
  EXPECT_EQ(hanging.historyTable[W_KING][G1], 4);
}

TEST(History, KillersCountersAndFollowUps) {
  Position& pos = load("4k3/8/8/8/8/8/8/R3K1N1 b - - 0 1");
  forgetSearches(pos);
  const Move reply = textMove(pos, "e8d8");
  makeMove(pos, reply);
  pos.cur++;
  const Move first = textMove(pos, "a1a5"), second = textMove(pos, "g1f3");
  // The same move twice leaves the second killer alone.
  rememberCutoff(pos, first, false, 4, false);
  rememberCutoff(pos, first, false, 4, false);
  EXPECT_EQ(std::pair(pos.cur->killer1, pos.cur->killer2), std::pair(first, Move(MOVE_NONE)));
  rememberCutoff(pos, second, false, 4, false);
  EXPECT_EQ(std::pair(pos.cur->killer1, pos.cur->killer2), std::pair(second, first));

  // Counter moves answer the piece that made the last move on its square.
  EXPECT_EQ(std::pair(counterMoveTable[B_KING][D8][0], counterMoveTable[B_KING][D8][1]), std::pair(second, first));
  lookUpCounterMoves(pos);
  EXPECT_EQ(pos.cur->counter1, second);
  // A cut-off found in the table teaches no counter move.
  rememberCutoff(pos, textMove(pos, "e1e2"), false, 4, true);
  EXPECT_EQ(counterMoveTable[B_KING][D8][0], second);

  // Follow-ups: the two-ply key finds the move; the longer keys are 0
  // until four real moves lead to the node.
  lookUpFollowUps(pos);
  EXPECT_EQ(pos.cur->followUp2, textMove(pos, "e1e2"));
  EXPECT_EQ(followUpKey4(pos), 0u);
  unmakeMove(pos, reply);
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
