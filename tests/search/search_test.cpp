// The principal and quiescence searches at single nodes, and whole
// fixed-depth searches: mates, draws, the ply stack's limits and the clock.
#include <tuple>

#include "search_test_util.h"
#include "platform/platform.h"

namespace {

int search(Position& pos, int alpha, int beta, int depth, bool isPV = true) {
  const int ply = int(pos.cur - pos.plies);
  return searchNode(pos, alpha, beta, ply, true, isPV, ply + depth, false, false);
}

// What the node stored in the table: bound and score.
std::pair<int, int> stored(const Position& pos) {
  TTEntry e{};
  return ttProbe(pos.cur->key, e) ? std::pair(int(e.bound), int(e.score)) : std::pair(-1, 0);
}

// Sets the search clock as if the search had begun ms milliseconds ago.
void startedAgo(int64_t ms) { searchStart = readClockTicks() - clockFrequency * ms / 1000; }

}  // namespace

TEST(PrincipalSearch, MatesStalemateAndRepetitions) {
  Position& stalemate = nodeAt("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(search(stalemate, -10, 10, 2), 0);
  EXPECT_EQ(stored(stalemate), std::pair(int(BOUND_EXACT), 0));
  Position& mated = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", 3);
  EXPECT_EQ(search(mated, -SCORE_INFINITE, SCORE_INFINITE, 2), 3 - MATE_SCORE);
  // The fifty-move rule comes first, even for a mated side.
  Position& fifty = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80", 3);
  EXPECT_EQ(search(fifty, -SCORE_INFINITE, SCORE_INFINITE, 2), 0);
  // White without its queen: a repetition scores 0 all the same, here one
  // where the game went there and back and the search returns to the start.
  Position& pos = nodeAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB1KBNR w KQkq - 0 1", 0);
  for (const char* m : {"g1f3", "g8f6", "f3g1"}) makeGameMove(pos, textMove(pos, m));
  makeMove(pos, textMove(pos, "f6g8"));
  pos.cur++;
  EXPECT_EQ(search(pos, -100, 100, 3), 0);
}

TEST(QuiescenceSearch, MatesAndLimits) {
  // In check with every evasion failing low against a mate-range alpha,
  // the node keeps alpha: it has no evaluation to fall back on.
  Position& pos = nodeAt("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", 2);
  EXPECT_EQ(quiesce(pos, 9950, 9951, 2, true, -1), 9950);
  EXPECT_LE(stored(pos).second, MATE_SCORE);
  Position& mated = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", 4);
  EXPECT_EQ(quiesce(mated, -SCORE_INFINITE, SCORE_INFINITE, 4, true, -1), 4 - MATE_SCORE);
  // A stand pat at beta leaves the evaluation in the table, and no bound.
  Position& quiet = nodeAt("4k3/8/8/8/8/8/8/R3K3 b - - 0 1", 2);
  quiesce(quiet, -SCORE_INFINITE, -SCORE_INFINITE + 1, 2, true, -1);
  EXPECT_EQ(stored(quiet).first, BOUND_EVAL);
  // At the end of the ply stack the node answers 0 and stores nothing.
  Position& deepest = nodeAt("4k3/8/8/8/8/8/8/R3K3 b - - 0 1", MAX_PLY);
  EXPECT_EQ(quiesce(deepest, 50, 100, MAX_PLY, true, -1), 0);
  EXPECT_EQ(stored(deepest).first, -1);
}

TEST(PrincipalSearch, DeferredListAndPlyStackStayInBounds) {
  const char* queens = "7k/pppppppp/8/8/8/QQQQQQQQ/8/7K w - - 0 1";
  Position& pos = nodeAt(queens);
  PlyState& st = *pos.cur;
  const uint64_t key = st.key;
  resetPicker(st);
  int kept = 0;
  for (int i = 0; i < 50; i++) kept += deferMove(st, textMove(pos, "a3a4"), -i);
  EXPECT_EQ(kept, MOVE_LIST_SIZE - DEFERRED_START);
  EXPECT_EQ(st.key, key);
  // Dozens of losing quiet moves: more than the list holds, searched deep
  // enough to put them aside.
  EXPECT_NE(searchToDepth(queens, 6).best, MOVE_NONE);
  // Nodes next to the end of the ply stack, far above their horizon.
  Position& deep = nodeAt("6k1/5ppp/8/8/8/8/q4PPP/1Q4K1 w - - 0 1", MAX_PLY - 2);
  search(deep, -50, 50, 200, false);
  search(deep, -50, 50, 200, true);
  quiesce(deep, -50, 50, MAX_PLY - 2, true, -1);
  // The deepest iteration: bare kings search all 127 of them, the lines
  // reaching the end of the ply stack.
  EXPECT_EQ(searchToDepth("8/8/8/4k3/8/8/2K5/8 w - - 0 1", 127).score, 0);
  EXPECT_EQ(mainPosition.iterationDepth, 128);
}

// Underpromotions that mate for either side, and a mate in three.
TEST(RootSearch, FindsForcedMates) {
  const std::tuple<const char*, int, const char*> mates[] = {
      {"6nb/5Ppk/6pp/8/8/8/8/K7 w - - 0 1", 1, "f7f8n"},
      {"k7/8/8/8/8/6PP/5pPK/6NB b - - 0 1", 1, "f2f1n"},
      {"r1bk3r/pppp2p1/7p/4P2B/3nPQ2/2PP4/P1P1N1PP/R4RK1 w - - 3 9", 3, "f4f8"},
  };
  for (const auto& [fen, moves, best] : mates) {
    const RootResult r = searchToDepth(fen, 2 * moves - 1);
    EXPECT_EQ(std::pair(r.score, moveText(r.best)), std::pair(MATE_SCORE - (2 * moves - 1), std::string(best))) << fen;
  }
}

TEST(RootSearch, MatedInInfoLines) {
  char line[INFO_LINE_SIZE];
  for (const auto& [score, text] : {std::pair(2 - MATE_SCORE, " score mate -1 "), {4 - MATE_SCORE, " score mate -2 "}}) {
    formatInfoLine(mainPosition, score, -SCORE_INFINITE, SCORE_INFINITE, line);
    EXPECT_NE(strstr(line, text), nullptr) << line;
  }
  // A currmove line an earlier search left unprinted is not this search's.
  strcpy(pendingCurrmove, "info depth 9 currmove e2e4 currmovenumber 1\n");
  searchToDepth(startFen, 1);
  EXPECT_EQ(pendingCurrmove[0], 0);
}

TEST(TimeManagement, BudgetsOfTheMove) {
  const struct {
    const char *fen, *go;
    int64_t target, hard;
    int poll;
  } cases[] = {
      {startFen, "go wtime 60000 btime 60000", 2395, 5980, 50},
      {startFen, "go wtime 10000 btime 5000 winc 1000 binc 1000", 1937, 2605, 50},
      {startFen, "go wtime 3000 btime 3000 movestogo 1", 866, 956, 57},
      // Moves to go -1 leaves one move to divide by, and so does anything
      // lower instead of dividing by 0 or less.
      {startFen, "go wtime 1000 btime 1000 movestogo -1", 800, 890, 53},
      {startFen, "go wtime 1000 btime 1000 movestogo -2", 800, 890, 53},
      // A bullet clock near its reserve spends less than the increment, so
      // the clock grows back instead of running down to a late answer.
      {startFen, "go wtime 120 btime 1000 winc 10 binc 10", 5, 5, 5},
      // Black with less than three increments left: half the budget.
      {"4k3/8/8/8/8/8/8/4K3 b - - 0 1", "go wtime 5 btime 500 binc 300", 188, 190, 12},
      // Absurd clocks neither overflow nor leave the engine without a budget.
      {startFen, "go wtime -5 btime -2147483648", 1, 1, 5},
      {startFen, "go wtime 99999999999999 btime 1", 89478481 + 268435455 - 100, 214748354 + 268435455 - 10, 100},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(parseFen(mainPosition, c.fen));
    hardTime = targetTime = 0;
    parseGo(c.go);
    allocateTime();
    EXPECT_EQ(std::tuple(targetTime, hardTime, pollPeriodMs), std::tuple(c.target, c.hard, c.poll)) << c.go;
  }
  // Numbers beyond 32 bits saturate; words where numbers belong keep the
  // previous value.
  parseGo("go movetime 99999999999 depth 12");
  EXPECT_EQ(limits.movetime, 2147483647);
  parseGo("go depth many");
  EXPECT_EQ(limits.depth, 12);
  EXPECT_TRUE(limits.limitFlags & LIMIT_DEPTH);
  searchState = SEARCH_IDLE;
}

// Between iterations the clock stops the search at half the budget or the
// hard limit; within one, past the budget, unless a long budget with moves
// to spare may finish the iteration up to twice the budget. Where the test
// must say go on, the elapsed time is at least a second short of the limit.
TEST(TimeManagement, ClockStopRules) {
  // Moves to go, budget, hard limit, elapsed ms: stop between iterations, within one.
  const std::tuple<const char*, int64_t, int64_t, int64_t, bool, bool> cases[] = {
      {"", 20000, 30000, 9000, false, false}, {"", 20000, 30000, 10500, true, false},
      {"", 20000, 5000, 6000, true, true},    {"", 6000, 30000, 7000, true, false},
      {"", 6000, 30000, 12500, true, true},   {" movestogo 6", 6000, 30000, 7000, true, false},
      {" movestogo 5", 6000, 30000, 7000, true, true},
  };
  for (const auto& [movesToGo, target, hard, elapsed, betweenIterations, within] : cases) {
    parseGo((std::string("go wtime 600000 btime 600000") + movesToGo).c_str());
    targetTime = target;
    hardTime = hard;
    startedAgo(elapsed);
    EXPECT_EQ(std::pair(iterationStopTest(), searchStopTest()), std::pair(betweenIterations, within))
        << target << "/" << hard << " ms after " << elapsed << movesToGo;
  }
  // A move time budgets 100 ms less, but both tests compare with the time
  // itself. A pause of this test beyond the move time would leave the
  // window, and then only the later check applies.
  parseGo("go movetime 1000");
  targetTime = 0;
  allocateTime();
  EXPECT_EQ(targetTime, 900);
  startedAgo(901);
  const bool stop = searchStopTest() || iterationStopTest();
  EXPECT_TRUE(!stop || elapsedMs(searchStart) > 1000);
  startedAgo(1010);
  EXPECT_TRUE(searchStopTest());
  searchState = SEARCH_IDLE;
}

// The king takes a queen nobody defends: after a fifth of the budget the
// move is played, unless the best move has changed. A pawn is too little. A
// best move that changed more often than half the depth earns another
// iteration while no more than 60% of the hard limit is gone. A fixed move
// time knows neither exception.
TEST(TimeManagement, EasyMoveAndUnstableBestMove) {
  // Go, best move, best-move changes, depth, elapsed ms: easy move, extra iteration.
  const std::tuple<const char*, const char*, int, int, int64_t, bool, bool> cases[] = {
      {"go wtime 600000 btime 600000", "e1d2", 0, 5, 2001, true, false},
      {"go wtime 600000 btime 600000", "e1d2", 0, 5, 2000, false, false},
      {"go wtime 600000 btime 600000", "e1f2", 0, 5, 2001, false, false},
      {"go wtime 600000 btime 600000", "e1d2", 3, 5, 11999, false, true},
      {"go wtime 600000 btime 600000", "e1d2", 3, 5, 12001, false, false},
      {"go wtime 600000 btime 600000", "e1d2", 3, 6, 11999, false, false},
      {"go movetime 600000", "e1d2", 3, 5, 11999, false, false},
      {"go movetime 600000", "e1d2", 0, 5, 2001, false, false},
  };
  Position& pos = mainPosition;
  ASSERT_TRUE(parseFen(pos, "4k3/8/8/8/8/8/3q1p2/4K3 w - - 0 1"));
  pvLineCount = 1;
  pos.rootScore = 800;
  for (const auto& [go, best, changes, depth, elapsed, easy, extra] : cases) {
    parseGo(go);
    targetTime = 10000;
    hardTime = 20000;
    bestMoveChanges = changes;
    pos.iterationDepth = depth;
    pos.rootBestMoves[0] = textMove(pos, best);
    EXPECT_EQ(std::pair(playsEasyMove(pos, elapsed), earnsExtraIteration(pos, elapsed)), std::pair(easy, extra))
        << go << " " << best << " changes " << changes << " depth " << depth << " after " << elapsed;
  }
  bestMoveChanges = 0;
  searchState = SEARCH_IDLE;
}

// The poll period follows the measured speed, but the node limit must not:
// a loaded machine would search other trees. A node limit that another
// limit overrides changes neither the tree nor how often the search looks
// at its clock and input once it is passed.
TEST(TimeManagement, NodeLimitEndsTheSearchAtOnce) {
  const char* fen = "r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9";
  for (const uint64_t limit : {3000, 70000}) {
    const RootResult r = searchWith(fen, "go nodes " + std::to_string(limit));
    EXPECT_TRUE(r.nodes > limit && r.nodes <= limit + 10 && r.best != MOVE_NONE) << r.nodes;
  }
  EXPECT_EQ(searchWith(fen, "go depth 7 nodes 1000").nodes, searchWith(fen, "go depth 7").nodes);
  for (const char* go : {"go depth 7 nodes 1000", "go infinite nodes 1000", "go ponder nodes 1000"}) {
    parseGo(go);
    mainPosition.nodes = 5000;
    resetPollCountdown();
    EXPECT_EQ(pollCountdown, pollNodes) << go;
  }
  searchState = SEARCH_IDLE;
}

// The ponderhit or stop is read within milliseconds, as the clock runs;
// pondering never runs out of time, and after a ponderhit under clock
// times the move comes at once, with a depth given when the depth is done.
TEST(TimeManagement, PonderhitPlaysAtOnce) {
  ASSERT_TRUE(parseFen(mainPosition, startFen));
  parseGo("go ponder wtime 60000 btime 60000");
  EXPECT_EQ(searchState, SEARCH_PONDERING);
  targetTime = 0;
  allocateTime();
  EXPECT_EQ(std::pair(targetTime, pollPeriodMs), std::pair(int64_t(0), 5));
  startedAgo(5000);
  EXPECT_FALSE(searchStopTest());
  onPonderhit();
  EXPECT_EQ(searchState, SEARCH_THINKING);
  startedAgo(2);
  EXPECT_TRUE(searchStopTest() && iterationStopTest());
  parseGo("go ponder depth 9");
  onPonderhit();
  mainPosition.iterationDepth = 9;
  EXPECT_FALSE(searchStopTest());
  mainPosition.iterationDepth = 10;
  EXPECT_TRUE(searchStopTest());
  searchState = SEARCH_IDLE;
}
