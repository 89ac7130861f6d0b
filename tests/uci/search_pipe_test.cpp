// Searches through the real pipe: every go ends with exactly one legal
// bestmove, and stop, ponderhit, isready and quit act while it runs.
#include <algorithm>
#include <regex>

#include "uci_test_util.h"

namespace {

const Lines START_MOVES = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
                           "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};

bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

class SearchTest : public EngineTest {
 protected:
  // The lines up to and including the next bestmove.
  Lines untilBestmove(int timeoutMs = 60000) {
    Lines lines;
    while (auto line = engine->readLine(timeoutMs)) {
      lines.push_back(*line);
      if (startsWith(*line, "bestmove")) return lines;
    }
    ADD_FAILURE() << "no bestmove within " << timeoutMs << " ms";
    return lines;
  }
  std::string bestmoveOf(const std::string& go, int timeoutMs = 60000) {
    engine->send(go + "\n");
    const Lines lines = untilBestmove(timeoutMs);
    return lines.empty() ? "" : lines.back();
  }
  // Nothing more is printed after the bestmove line: no second bestmove.
  void expectQuiet() { EXPECT_EQ(ask({}), Lines{}); }
};

std::string moveOf(const std::string& bestmove) { return bestmove.substr(9, bestmove.find(' ', 9) - 9); }

int deepestInfo(const Lines& lines) {
  int depth = 0;
  std::smatch m;
  for (const std::string& line : lines)
    if (std::regex_search(line, m, std::regex("^info depth (\\d+) seldepth"))) depth = std::max(depth, std::stoi(m[1]));
  return depth;
}

}  // namespace

TEST_F(SearchTest, EveryLimitEndsWithOneLegalBestmove) {
  const char* const goLines[] = {
      "go depth 4", "go nodes 3000", "go movetime 100", "go wtime 1000 btime 1000",
      "go wtime 500 btime 500 winc 50 binc 50", "go wtime 2000 btime 2000 movestogo 3",
      // Absurd numbers still give a move.
      "go wtime -5 btime -5", "go movestogo -2 wtime 300 btime 300", "go depth 0", "go nodes 0", "go movetime -1",
      "go depth x", "go wtime 1 btime 99999999999999999999"};
  for (const char* go : goLines) {
    ask({"position startpos"});
    const std::string best = bestmoveOf(go);
    EXPECT_TRUE(std::count(START_MOVES.begin(), START_MOVES.end(), moveOf(best))) << go << ": " << best;
    expectQuiet();
  }
  // The shortcuts search to their depth: "6" to depth 6, "100" to depth 10.
  engine->send("6\n");
  EXPECT_EQ(deepestInfo(untilBestmove()), 6);
  engine->send("100\n");
  EXPECT_EQ(deepestInfo(untilBestmove()), 10);
  expectQuiet();
}

TEST_F(SearchTest, StopPonderhitIsreadyWhileSearching) {
  // Without limit the search waits for "stop", answering "isready" meanwhile.
  engine->send("go infinite\n");
  EXPECT_EQ(engine->readLine(300).value_or("").rfind("bestmove", 0), std::string::npos);
  Lines reply = ask({});
  EXPECT_TRUE(std::none_of(reply.begin(), reply.end(), [](auto& l) { return startsWith(l, "bestmove"); }));
  engine->send("stop\n");
  EXPECT_TRUE(std::count(START_MOVES.begin(), START_MOVES.end(), moveOf(untilBestmove().back())));
  expectQuiet();

  // Pondering under clock times: the move comes at once after ponderhit.
  engine->send("position startpos moves e2e4\ngo ponder wtime 60000 btime 60000\n");
  EXPECT_EQ(engine->readLine(300).value_or("").rfind("bestmove", 0), std::string::npos);
  engine->send("ponderhit\n");
  EXPECT_TRUE(startsWith(untilBestmove(3000).back(), "bestmove "));
  engine->send("go ponder wtime 60000 btime 60000\n");
  ask({});
  engine->send("stop\n");
  untilBestmove(3000);
  expectQuiet();
}

TEST_F(SearchTest, LinesDuringASearchWaitForItsEnd) {
  engine->send("go infinite\n");
  ask({});
  engine->send("position startpos moves e2e4\ngo depth 3\ntaulell\nstop\n");
  const std::string first = untilBestmove().back();
  EXPECT_TRUE(std::count(START_MOVES.begin(), START_MOVES.end(), moveOf(first))) << first;  // still white's move
  // Then, in order: the position, its search (black to move) and the board.
  const std::string second = untilBestmove().back();
  EXPECT_TRUE(std::regex_match(second, std::regex("bestmove [a-h][78][a-h][56].*"))) << second;
  EXPECT_EQ(ask({}), (Lines{"tcadract", "pppppppp", "________", "________", "____P___", "________", "PPPP_PPP",
                            "TCADRACT"}));
}

TEST_F(SearchTest, QuitAndEndOfInputDuringASearch) {
  engine->send("go infinite\n");
  ask({});
  engine->send("quit\n");
  // Info lines may still be on their way, but no bestmove.
  while (auto line = engine->readLine(5000)) EXPECT_FALSE(startsWith(*line, "bestmove")) << *line;
  EXPECT_EQ(engine->waitExit(), 0);

  EngineProcess other("quillon");
  other.readLine();
  other.send("go infinite\n");
  other.ask({});
  other.closeInput();
  while (auto line = other.readLine(5000)) EXPECT_FALSE(startsWith(*line, "bestmove")) << *line;
  EXPECT_EQ(other.waitExit(), 0);
  EXPECT_EQ(other.errorOutput(), "");
}

TEST_F(SearchTest, SpecialRoots) {
  // Mated and stalemated: no move. One legal move: played after depth 1.
  ask({"pf R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"});
  EXPECT_EQ(bestmoveOf("go depth 5"), "bestmove (none)");
  ask({"pf 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"});
  EXPECT_EQ(bestmoveOf("go depth 5"), "bestmove (none)");
  ask({"pf 7k/8/8/8/8/8/6PB/r6K w - - 0 1"});
  engine->send("go wtime 60000 btime 60000\n");
  Lines lines = untilBestmove();
  EXPECT_EQ(deepestInfo(lines), 1);
  EXPECT_EQ(moveOf(lines.back()), "h2g1");
  // Mate in one: the search ends after depth 1 with a mate line.
  ask({"pf 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1"});
  engine->send("go wtime 60000 btime 60000\n");
  lines = untilBestmove();
  EXPECT_EQ(deepestInfo(lines), 1);
  EXPECT_TRUE(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.find(" score mate 1 ") != std::string::npos; }));
  EXPECT_EQ(moveOf(lines.back()), "a1a8");
}

TEST_F(SearchTest, SeveralPrincipalVariations) {
  ask({"setoption name MultiPV value 3", "position startpos"});
  engine->send("go depth 4\n");
  const Lines lines = untilBestmove();
  for (int line = 1; line <= 3; line++) {
    const std::string tag = " multipv " + std::to_string(line) + " ";
    EXPECT_TRUE(std::count_if(lines.begin(), lines.end(),
                              [&](auto& l) { return startsWith(l, "info depth 4 ") && l.find(tag) != std::string::npos; }))
        << tag;
  }
  // Two legal moves leave a single line to search: no numbering.
  ask({"pf k7/8/8/8/8/8/8/K6r w - - 0 1"});
  engine->send("go depth 4\n");
  for (const std::string& l : untilBestmove()) EXPECT_EQ(l.find("multipv"), std::string::npos) << l;
}

TEST_F(SearchTest, HistoryTables) {
  ask({"position startpos"});
  bestmoveOf("go depth 6");
  const std::regex row("((-\\d{4}|\\d{5}) ){8}");
  for (const char* command : {"hist 2", "histt", "hist 15"}) {
    const Lines rows = ask({command});
    ASSERT_EQ(rows.size(), 8u) << command;
    for (const std::string& r : rows) EXPECT_TRUE(std::regex_match(r, row)) << command << ": " << r;
  }
  for (const char* command : {"hist 16", "hist -1", "hist 256"})
    EXPECT_EQ(ask({command}), Lines{std::string("info string hist: no history for piece code ") + (command + 5) +
                                    ", the codes are 0 to 15"});
}
