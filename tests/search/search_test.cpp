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

// What the node stored in the table: bound, score and depth.
std::tuple<int, int, int> stored(const Position& pos) {
  TTEntry e{};
  if (!ttProbe(pos.cur->key, e)) return {-1, 0, 0};
  return {e.bound, e.score, e.depth};
}

// Plays moves of four characters each, separated by blanks, as search moves.
void play(Position& pos, const char* moves) {
  for (const char* m = moves; strlen(m) >= 4; m += strlen(m) > 4 ? 5 : 4) {
    makeMove(pos, textMove(pos, m));
    pos.cur++;
  }
}

}  // namespace

TEST(PrincipalSearch, MatesAndStalemate) {
  Position& stalemate = nodeAt("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(search(stalemate, -10, 10, 2), 0);
  EXPECT_EQ(stored(stalemate), std::tuple(BOUND_EXACT, 0, 2));

  Position& mated = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", 3);
  EXPECT_EQ(search(mated, -SCORE_INFINITE, SCORE_INFINITE, 2), 3 - MATE_SCORE);
  // The fifty-move rule comes first, even for a mated side.
  Position& fifty = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 100 80", 3);
  EXPECT_EQ(search(fifty, -SCORE_INFINITE, SCORE_INFINITE, 2), 0);
}

TEST(PrincipalSearch, RepetitionsAreDraws) {
  // White without its queen: any repetition scores 0 all the same.
  const char* fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNB1KBNR w KQkq - 0 1";
  Position& pos = nodeAt(fen, 0);
  play(pos, "g1f3 g8f6 f3g1 f6g8");
  EXPECT_TRUE(isRepetition(pos));
  EXPECT_EQ(search(pos, -100, 100, 3), 0);
  // Nothing is looked up past a null move or an irreversible move.
  pos.cur->pliesSinceNull = 3;
  EXPECT_FALSE(isRepetition(pos));
  pos.cur->pliesSinceNull = 4;
  pos.cur->fifty = 3;
  EXPECT_FALSE(isRepetition(pos));

  // Against the game's history: the game went there and back, the search
  // returns to the start.
  Position& game = nodeAt(fen, 0);
  for (const char* m : {"g1f3", "g8f6", "f3g1"}) makeGameMove(game, textMove(game, m));
  play(game, "f6g8");
  EXPECT_EQ(search(game, -100, 100, 3), 0);
}

TEST(QuiescenceSearch, MatesAndLimits) {
  // In check with every evasion failing low against a mate-range alpha,
  // the node keeps alpha: it has no evaluation to fall back on.
  Position& pos = nodeAt("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", 2);
  EXPECT_EQ(quiesce(pos, 9950, 9951, 2, true, -1), 9950);
  EXPECT_LE(std::get<1>(stored(pos)), MATE_SCORE);
  // Mated inside the quiescence search.
  Position& mated = nodeAt("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", 4);
  EXPECT_EQ(quiesce(mated, -SCORE_INFINITE, SCORE_INFINITE, 4, true, -1), 4 - MATE_SCORE);
  // A stand pat at beta leaves the evaluation in the table, and no bound.
  Position& quiet = nodeAt("4k3/8/8/8/8/8/8/R3K3 b - - 0 1", 2);
  quiesce(quiet, -SCORE_INFINITE, -SCORE_INFINITE + 1, 2, true, -1);
  EXPECT_EQ(std::get<0>(stored(quiet)), BOUND_EVAL);
  // At the end of the ply stack the node answers 0 and stores nothing.
  Position& deepest = nodeAt("4k3/8/8/8/8/8/8/R3K3 b - - 0 1", MAX_PLY);
  EXPECT_EQ(quiesce(deepest, 50, 100, MAX_PLY, true, -1), 0);
  EXPECT_EQ(std::get<0>(stored(deepest)), -1);
}

TEST(PrincipalSearch, DeferredListAndPlyStackStayInBounds) {
  Position& pos = nodeAt("7k/pppppppp/8/8/8/QQQQQQQQ/8/7K w - - 0 1");
  PlyState& st = *pos.cur;
  const uint64_t key = st.key;
  resetPicker(st);
  int kept = 0;
  for (int i = 0; i < 50; i++) kept += deferMove(st, textMove(pos, "a3a4"), -i);
  EXPECT_EQ(kept, MOVE_LIST_SIZE - DEFERRED_START);
  EXPECT_EQ(st.key, key);
  // Eight queens with dozens of losing quiet moves: more than the list
  // holds, searched deep enough to put them aside.
  EXPECT_NE(searchToDepth("7k/pppppppp/8/8/8/QQQQQQQQ/8/7K w - - 0 1", 6).best, MOVE_NONE);

  // Nodes next to the end of the ply stack, far above their horizon.
  Position& deep = nodeAt("6k1/5ppp/8/8/8/8/q4PPP/1Q4K1 w - - 0 1", MAX_PLY - 2);
  search(deep, -50, 50, 200, false);
  search(deep, -50, 50, 200, true);
  quiesce(deep, -50, 50, MAX_PLY - 2, true, -1);
  // The deepest iteration: bare kings search all 127 of them, the lines
  // reaching the end of the ply stack.
  const RootResult kings = searchToDepth("8/8/8/4k3/8/8/2K5/8 w - - 0 1", 127);
  EXPECT_EQ(mainPosition.iterationDepth, 128);
  EXPECT_EQ(kings.score, 0);
  // Whole searches that go deep: a lone rook, and a queen hunting a king.
  for (const char* fen : {"8/8/8/4k3/8/8/8/R3K3 w Q - 0 1", "6k1/5p1p/6p1/8/8/8/q4PPP/3Q2K1 w - - 0 1"}) {
    searchWith(fen, "go nodes 150000");
    EXPECT_GT(mainPosition.iterationDepth, 12) << fen;
  }
}

TEST(RootSearch, FindsForcedMates) {
  const struct {
    const char* fen;
    int moves;
    const char* best;
  } mates[] = {
      {"6nb/5Ppk/6pp/8/8/8/8/K7 w - - 0 1", 1, "f7f8n"},
      {"k7/8/8/8/8/6PP/5pPK/6NB b - - 0 1", 1, "f2f1n"},
      {"N1b2bnr/1p1kp2p/1B1p1pp1/2n5/4P3/2PB3P/PP3PP1/RN1Q1RK1 w - - 3 8", 2, "d3b5"},
      {"r1bk3r/pppp2p1/7p/4P2B/3nPQ2/2PP4/P1P1N1PP/R4RK1 w - - 3 9", 3, "f4f8"},
      {"2Q2b1r/p3kp2/1p2p1p1/4P2p/3P4/2N1B3/PP3PPP/R4RK1 w - - 3 11", 4, "d4d5"},
  };
  for (const auto& m : mates) {
    const RootResult r = searchToDepth(m.fen, 2 * m.moves - 1);
    EXPECT_EQ(r.score, MATE_SCORE - (2 * m.moves - 1)) << m.fen;
    EXPECT_EQ(moveText(r.best), m.best) << m.fen;
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
    const char* fen;
    const char* go;
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
    EXPECT_EQ(targetTime, c.target) << c.go;
    EXPECT_EQ(hardTime, c.hard) << c.go;
    EXPECT_EQ(pollPeriodMs, c.poll) << c.go;
  }
  // Numbers beyond 32 bits saturate; words where numbers belong keep the
  // previous value.
  parseGo("go movetime 99999999999 depth 12");
  EXPECT_EQ(limits.movetime, 2147483647);
  parseGo("go depth many");
  EXPECT_EQ(limits.depth, 12);
  EXPECT_TRUE(limits.limitFlags & LIMIT_DEPTH);
  // A move time budgets 100 ms less but both tests compare with the time itself.
  parseGo("go movetime 1000");
  targetTime = 0;
  allocateTime();
  EXPECT_EQ(targetTime, 900);
  // Just past the budget; a pause of this test beyond the move time would
  // leave the window, and then only the later checks apply.
  searchStart = readClockTicks() - clockFrequency * 901 / 1000;
  const bool stop = searchStopTest(), iterationStop = iterationStopTest();
  if (elapsedMs(searchStart) <= 1000) {
    EXPECT_FALSE(stop);
    EXPECT_FALSE(iterationStop);
  }
  searchStart = readClockTicks() - clockFrequency * 1010 / 1000;
  EXPECT_TRUE(searchStopTest());
  searchState = SEARCH_IDLE;
}

// Between iterations the clock stops the search at half the budget or the
// hard limit; within one, past the budget, unless a long budget with moves
// to spare may finish the iteration up to twice the budget. Where the test
// must say go on, the elapsed time is at least a second short of the limit.
TEST(TimeManagement, ClockStopRules) {
  const struct {
    const char* movesToGo;
    int64_t target, hard, elapsed;
    bool betweenIterations, within;
  } cases[] = {
      {"", 20000, 30000, 9000, false, false},
      {"", 20000, 30000, 10500, true, false},
      {"", 20000, 5000, 6000, true, true},
      {"", 6000, 30000, 7000, true, false},
      {"", 6000, 30000, 12500, true, true},
      {"", 5000, 30000, 5500, true, true},
      {" movestogo 6", 6000, 30000, 7000, true, false},
      {" movestogo 5", 6000, 30000, 7000, true, true},
      {" movestogo 5", 6000, 30000, 5000, true, false},
  };
  for (const auto& c : cases) {
    parseGo((std::string("go wtime 600000 btime 600000") + c.movesToGo).c_str());
    targetTime = c.target;
    hardTime = c.hard;
    searchStart = readClockTicks() - clockFrequency * c.elapsed / 1000;
    SCOPED_TRACE(testing::Message() << c.target << "/" << c.hard << " ms after " << c.elapsed << c.movesToGo);
    EXPECT_EQ(iterationStopTest(), c.betweenIterations);
    EXPECT_EQ(searchStopTest(), c.within);
  }
  searchState = SEARCH_IDLE;
}

// The king takes a queen nobody defends: after a fifth of the budget the
// move is played, unless the best move has changed. A pawn is too little. A
// best move that changed more often than half the depth earns another
// iteration while no more than 60% of the hard limit is gone. A fixed move
// time knows neither exception.
TEST(TimeManagement, EasyMoveAndUnstableBestMove) {
  const struct {
    const char *go, *best;
    int changes, depth;
    int64_t elapsed;
    bool easy, extra;
  } cases[] = {
      {"go wtime 600000 btime 600000", "e1d2", 0, 5, 2001, true, false},
      {"go wtime 600000 btime 600000", "e1d2", 0, 5, 2000, false, false},
      {"go wtime 600000 btime 600000", "e1f2", 0, 5, 2001, false, false},
      {"go wtime 600000 btime 600000", "e1d2", 1, 5, 2001, false, false},
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
  for (const auto& c : cases) {
    parseGo(c.go);
    targetTime = 10000;
    hardTime = 20000;
    bestMoveChanges = c.changes;
    pos.iterationDepth = c.depth;
    pos.rootBestMoves[0] = textMove(pos, c.best);
    SCOPED_TRACE(testing::Message() << c.go << " " << c.best << " changes " << c.changes << " depth " << c.depth
                                    << " after " << c.elapsed);
    EXPECT_EQ(playsEasyMove(pos, c.elapsed), c.easy);
    EXPECT_EQ(earnsExtraIteration(pos, c.elapsed), c.extra);
  }
  bestMoveChanges = 0;
  searchState = SEARCH_IDLE;
}

TEST(TimeManagement, NodeLimitEndsTheSearchAtOnce) {
  // The poll period follows the measured speed, but the node limit must not:
  // a loaded machine would search other trees.
  for (const int limit : {3000, 20000, 70000}) {
    const RootResult r = searchWith("r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9",
                                    "go nodes " + std::to_string(limit));
    EXPECT_GT(r.nodes, uint64_t(limit));
    EXPECT_LE(r.nodes, uint64_t(limit) + 10);
    EXPECT_NE(r.best, MOVE_NONE);
  }
  // A node limit that another limit overrides changes neither the tree nor
  // how often the search looks at its clock and input once it is passed.
  const char* fen = "r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9";
  EXPECT_EQ(searchWith(fen, "go depth 7 nodes 1000").nodes, searchWith(fen, "go depth 7").nodes);
  for (const char* go : {"go depth 7 nodes 1000", "go infinite nodes 1000", "go ponder nodes 1000"}) {
    parseGo(go);
    mainPosition.nodes = 5000;
    resetPollCountdown();
    EXPECT_EQ(pollCountdown, pollNodes) << go;
  }
  searchState = SEARCH_IDLE;
}

TEST(TimeManagement, PonderhitPlaysAtOnceUnderClockTimes) {
  ASSERT_TRUE(parseFen(mainPosition, startFen));
  parseGo("go ponder wtime 60000 btime 60000");
  EXPECT_EQ(searchState, SEARCH_PONDERING);
  targetTime = 0;
  allocateTime();
  EXPECT_EQ(targetTime, 0);
  // The ponderhit or stop is read within milliseconds, as the clock runs.
  EXPECT_EQ(pollPeriodMs, 5);
  searchStart = readClockTicks() - clockFrequency * 5;
  EXPECT_FALSE(searchStopTest());  // pondering never runs out of time
  onPonderhit();
  EXPECT_EQ(searchState, SEARCH_THINKING);
  EXPECT_FALSE(limits.limitFlags & LIMIT_NONE);
  searchStart = readClockTicks() - clockFrequency * 2 / 1000;
  EXPECT_TRUE(searchStopTest());
  EXPECT_TRUE(iterationStopTest());
  // With a depth given, the depth decides after the ponderhit.
  parseGo("go ponder depth 9");
  onPonderhit();
  mainPosition.iterationDepth = 9;
  EXPECT_FALSE(searchStopTest());
  mainPosition.iterationDepth = 10;
  EXPECT_TRUE(searchStopTest());
  searchState = SEARCH_IDLE;
}
