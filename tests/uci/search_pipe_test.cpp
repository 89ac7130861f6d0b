// Searches through the real pipe: every go ends with exactly one legal
// bestmove, and stop, ponderhit, isready and quit act while it runs.
#include <atomic>
#include <cstring>

#include "uci_test_util.h"

namespace {

int deepestInfo(const Lines& lines) {
  int depth = 0;
  std::smatch m;
  for (const std::string& line : lines)
    if (std::regex_search(line, m, std::regex("^info depth (\\d+) seldepth"))) depth = std::max(depth, std::stoi(m[1]));
  return depth;
}

class SearchPipe : public EngineTest {};

}  // namespace

TEST_F(SearchPipe, EveryLimitEndsWithOneLegalBestmove) {
  for (const char* go : {"go depth 4", "go nodes 3000", "go movetime 100", "go wtime 1000 btime 1000",
                         "go wtime 500 btime 500 winc 50 binc 50", "go wtime 2000 btime 2000 movestogo 3",
                         // Absurd numbers still give a move.
                         "go wtime -5 btime -5", "go movestogo -2 wtime 300 btime 300", "go depth 0", "go nodes 0",
                         "go movetime -1", "go depth x", "go wtime 1 btime 99999999999999999999"})
    search(START_FEN, go);
  // The shortcuts search to their depth: "6" to depth 6, "100" to depth 10.
  engine->send("6\n");
  EXPECT_EQ(deepestInfo(untilBestmove()), 6);
  engine->send("100\n");
  EXPECT_EQ(deepestInfo(untilBestmove()), 10);
  // Budgets of half a second or less read no input while they run: the
  // stop is read after the whole budget and adds no second bestmove.
  const auto start = std::chrono::steady_clock::now();
  engine->send("go movetime 600\nstop\n");
  legalMove(START_FEN, untilBestmove());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
  // Pondering never ends by itself; a ponderhit or a stop ends it.
  const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
  ask({"position fen " + afterE4});
  for (const char* end : {"ponderhit", "stop"}) {
    startSearch("go ponder wtime 60000 btime 60000");
    engine->send(std::string(end) + "\n");
    legalMove(afterE4, untilBestmove(10000));
  }
}

// Lines that change what a search works on wait for its bestmove, and then
// run at once and in order, however the interface's writes fall and with no
// further input: a deferred go ends with its own bestmove. Every case runs
// on fresh engines, the stop after each of three gaps.
TEST(DeferredLines, RunRightAfterTheBestmove) {
  // From these positions White's moves leave ranks 1-2 for ranks 3-4, and
  // Black's leave ranks 7-8 for any rank: a bishop or queen may go to b4 or h4.
  const std::regex whiteMove("bestmove [a-h][12][a-h][34].*"), blackMove("bestmove [a-h][78][a-h][1-8].*");
  const char* const ponder = "position startpos moves e2e4 e7e5 g1f3\ngo ponder wtime 2000 btime 2000\n";
  const struct Case {
    const char *start, *during;  // the stop follows after the gap unless it is in during
    const std::regex& second;
    const char* seen;  // in the second search's output
    Lines after;       // what the deferred lines print after its bestmove
  } cases[] = {
      {"go infinite\n", "position startpos moves e2e4\ngo depth 4\ntaulell\n", blackMove, "", E4_BOARD},
      // A ponder miss: the new position and go a moment before the stop,
      // or all three in one write, the stop first as interfaces send it.
      {ponder, "position startpos moves e2e4 e7e5 b1c3\ngo wtime 2000 btime 2000\n", blackMove, "", {}},
      {ponder, "stop\nposition startpos moves e2e4 e7e5 b1c3\ngo wtime 2000 btime 2000\n", blackMove, "", {}},
      {"go infinite\n", "setoption name MultiPV value 2\ngo depth 3\n", whiteMove, " multipv 2 ", {}},
      {"go infinite\n", "ucinewgame\nposition startpos moves d2d4\ngo depth 3\n", blackMove, "", {}},
  };
  std::vector<std::pair<const Case*, int>> runs;
  for (const Case& c : cases)
    for (const int gap : {0, 300, 600})
      for (int k = 0; k < 7; k++)
        if (gap == 0 || !strstr(c.during, "stop")) runs.emplace_back(&c, gap);
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next++) < runs.size();) {
      const auto& [c, gap] = runs[i];
      const std::string what = std::string(c->during) + " after " + c->start + "gap " + std::to_string(gap);
      EngineProcess engine("quillon");
      engine.send(c->start);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const bool stopped = strstr(c->during, "stop");
      engine.send(c->during + std::string(gap == 0 && !stopped ? "stop\n" : ""));
      std::this_thread::sleep_for(std::chrono::milliseconds(gap));
      if (gap > 0 && !stopped) engine.send("stop\n");
      // Nothing more is sent until both bestmoves are in.
      int bestmoves = 0;
      bool seen = !*c->seen;
      std::string second;
      for (std::optional<std::string> line; bestmoves < 2 && (line = engine.readLine(20000));) {
        seen |= bestmoves == 1 && line->find(c->seen) != std::string::npos;
        if (startsWith(*line, "bestmove") && ++bestmoves == 2) second = *line;
      }
      EXPECT_TRUE(std::regex_match(second, c->second)) << what << ": " << second;
      EXPECT_TRUE(seen) << what;
      EXPECT_EQ(engine.ask({}), c->after) << what;
      engine.closeInput();
      EXPECT_EQ(engine.waitExit(), 0) << what;
    }
  };
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; t++) workers.emplace_back(worker);
  for (std::thread& t : workers) t.join();
}

// The budget decides which info lines come: the move being searched only
// without a budget or above 5 s, bound lines only above 10 s. Each search
// is stopped at depth 8, a few milliseconds in. The ponder move is the
// second move of the last variation.
TEST_F(SearchPipe, InfoLinesFollowTheBudget) {
  const std::tuple<const char*, bool, bool> cases[] = {{"go movetime 10101", true, true},
                                                       {"go movetime 10100", true, false},
                                                       {"go movetime 5100", false, false},
                                                       {"go infinite", true, false}};
  for (const auto& [go, currmove, bounds] : cases) {
    engine->send(std::string("position startpos\n") + go + "\n");
    Lines lines;
    while (auto line = engine->readLine(60000)) {
      lines.push_back(*line);
      if (startsWith(*line, "info depth 8 seldepth")) break;
    }
    engine->send("stop\n");
    for (const std::string& line : untilBestmove()) lines.push_back(line);
    EXPECT_EQ(std::pair(anyMatches(lines, " currmove "), anyMatches(lines, "bound ")), std::pair(currmove, bounds)) << go;
  }
  ask({"ucinewgame"});
  const Lines lines = search(START_FEN, "go depth 8");
  const auto last = std::find_if(lines.rbegin(), lines.rend(), [](auto& l) { return l.find(" pv ") != l.npos; });
  std::smatch pv;
  ASSERT_TRUE(last != lines.rend() && std::regex_search(*last, pv, std::regex(" pv (\\S+) (\\S+)")));
  EXPECT_EQ(lines.back(), "bestmove " + pv[1].str() + " ponder " + pv[2].str()) << *last;
}

// "quit" ends at once, also during a search, and so does the end of input:
// no bestmove is owed. A last line without its newline is never read, as at
// a console.
TEST_F(SearchPipe, QuitAndEndOfInput) {
  startSearch("go infinite");
  engine->send("quit\nisready\n");
  while (auto line = engine->readLine(5000))
    EXPECT_FALSE(startsWith(*line, "bestmove") || *line == "readyok") << *line;
  EXPECT_EQ(engine->waitExit(), 0);
  for (const char* input : {"isready\nisready", "go infinite\nisready\n"}) {
    EngineProcess other("quillon");
    other.send(input);
    other.closeInput();
    Lines lines;
    while (auto line = other.readLine(5000)) lines.push_back(*line);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "readyok"), 1) << input;
    EXPECT_FALSE(anyMatches(lines, "^bestmove")) << input;
    EXPECT_EQ(other.waitExit(), 0) << input;
    EXPECT_EQ(other.errorOutput(), "") << input;
  }
}

// Mated and stalemated: no move. One legal move, or a mate in one: played
// after depth 1.
TEST_F(SearchPipe, SpecialRoots) {
  for (const char* fen : {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
    ask({std::string("pf ") + fen});
    engine->send("go depth 5\n");
    EXPECT_EQ(untilBestmove().back(), "bestmove (none)") << fen;
  }
  for (const auto& [fen, move] : {std::pair("7k/8/8/8/8/8/6PB/r6K w - - 0 1", "h2g1"),
                                  {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", "a1a8"}}) {
    const Lines lines = search(fen, "go wtime 60000 btime 60000");
    EXPECT_EQ(deepestInfo(lines), 1) << fen;
    EXPECT_EQ(lines.back().substr(0, 13), std::string("bestmove ") + move) << fen;
  }
}

// Castling that mates, in the notation of the setting in force when the
// search began: a change waits for the bestmove.
TEST_F(SearchPipe, CastlingInEitherNotation) {
  const std::string standard = "8/8/8/8/2ppp3/2pkp3/8/R3K1N1 w Q - 0 1", frc = "8/8/8/8/2ppp3/2pkp3/8/RK4N1 w A - 0 1";
  EXPECT_EQ(search(standard, "go depth 3").back(), "bestmove e1c1");
  ask({"position fen " + standard});
  startSearch("go infinite", 100);
  engine->send("setoption name UCI_Chess960 value true\nstop\n");
  EXPECT_EQ(untilBestmove().back(), "bestmove e1c1");
  EXPECT_EQ(search(standard, "go depth 3").back(), "bestmove e1a1");
  const Lines lines = search(frc, "go depth 3");
  EXPECT_EQ(lines.back(), "bestmove b1a1");
  EXPECT_TRUE(anyMatches(lines, " score mate 1 .* pv b1a1"));
}

TEST_F(SearchPipe, SeveralPrincipalVariations) {
  const std::string kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  ask({"setoption name MultiPV value 3"});
  const Lines lines = search(kiwipete, "go depth 3");
  for (const char* n : {"1", "2", "3"}) EXPECT_TRUE(anyMatches(lines, std::string("^info depth 3 .* multipv ") + n + " ")) << n;
  // The ponder move answers the best move, not the move of the line searched
  // last (here e7e6 once followed e2a6).
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines.back(), m, std::regex("bestmove (\\S+) ponder (\\S+)"))) << lines.back();
  EXPECT_EQ(ask({"position fen " + kiwipete + " moves " + m[1].str() + " " + m[2].str()}), Lines{}) << lines.back();
  // Two legal moves leave a single line to search: no numbering.
  EXPECT_FALSE(anyMatches(search("k7/8/8/8/8/8/8/K6r w - - 0 1", "go depth 4"), "multipv"));
}

// Play at a chosen strength. A value of UCI_LimitStrength other than true
// or false leaves the search as it was, node for node; UCI_Elo is clamped
// to its range. The lowest level stops at its small node cap under any
// clock, keeps a queen a rook attacks, and an engine of the same
// conversation plays the same moves.
TEST_F(SearchPipe, ChosenStrength) {
  const auto run = [](EngineProcess& e, const std::string& position, const std::string& go) {
    e.send("position fen " + position + "\n" + go + "\n");
    Lines lines;
    while (auto line = e.readLine(60000)) {
      lines.push_back(*line);
      if (startsWith(*line, "bestmove")) return lines;
    }
    ADD_FAILURE() << position << ": no bestmove";
    return lines;
  };
  // The most nodes an info line reports, and the bestmove line.
  const auto summary = [](const Lines& lines) {
    long most = 0;
    std::smatch m;
    for (const std::string& l : lines)
      if (std::regex_search(l, m, std::regex(" nodes (\\d+) "))) most = std::max(most, std::stol(m[1]));
    return std::pair{most, lines.empty() ? "" : lines.back()};
  };
  const std::string middle = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";
  const std::string queenAttacked = "r7/1k6/8/Q7/8/8/8/4K3 w - - 0 1";
  EngineProcess twin("quillon");
  twin.readLine();
  ask({"setoption name UCI_LimitStrength value yes"});
  EXPECT_EQ(summary(run(*engine, middle, "go depth 7")), summary(run(twin, middle, "go depth 7")));
  std::vector<std::pair<long, std::string>> results[2];
  EngineProcess* engines[] = {engine.get(), &twin};
  for (int i = 0; i < 2; i++) {
    engines[i]->ask({"setoption name UCI_LimitStrength value true", "setoption name UCI_Elo value -5"});
    for (const std::string& position : {queenAttacked, middle})
      results[i].push_back(summary(run(*engines[i], position, "go wtime 60000 btime 60000")));
  }
  EXPECT_EQ(results[0], results[1]);
  for (const auto& [nodes, bestmove] : results[0]) EXPECT_LE(nodes, 5000) << bestmove;
  // After the move a full search still finds black lost (after an illegal
  // one it would search for white, and score for white).
  const std::string move = results[0][0].second.substr(9, 4);
  ask({"setoption name UCI_LimitStrength value false"});
  const Lines lines = run(*engine, queenAttacked + " moves " + move, "go depth 8");
  std::string kind, value;
  std::smatch score;
  for (const std::string& l : lines)
    if (std::regex_search(l, score, std::regex(" score (cp|mate) (-?\\d+) "))) kind = score[1], value = score[2];
  ASSERT_NE(value, "") << move;
  EXPECT_LT(std::stoi(value), kind == "mate" ? 0 : -200) << move << ": " << kind << " " << value;
  twin.closeInput();
  EXPECT_EQ(twin.waitExit(), 0);
}

// The history tables as rows of eight values; the piece code is taken
// modulo 256, as a byte.
TEST_F(SearchPipe, HistoryTables) {
  search(START_FEN, "go depth 6");
  const Lines rows = ask({"hist 258"});
  EXPECT_EQ(rows, ask({"hist 2"}));
  ASSERT_EQ(rows.size(), 8u);
  for (const std::string& r : rows) EXPECT_TRUE(std::regex_match(r, std::regex("((-\\d{4}|\\d{5}) ){8}"))) << r;
  EXPECT_EQ(ask({"histt"}).size(), 8u);
  EXPECT_EQ(ask({"hist -1"}), Lines{"info string hist: no history for piece code 255, the codes are 0 to 15"});
}
