// Endgame tables through the pipe, checked against the prober itself: the
// root move keeps the tables' verdict and, when winning, comes one ply
// closer to zeroing; the probes show as tbhits. Skipped without tables.
#include <filesystem>
#include <map>

#include "search/prober.h"
#include "uci_test_util.h"

namespace {

const std::string TABLES = QUILLON_SYZYGY_DIR;
const std::string FOUND =
    "info string SyzygyPath " + TABLES + ": 35 tables found (35 with distances to zeroing), up to 4 pieces";

bool tablesPresent() { return std::filesystem::exists(TABLES + "/KBNvK.rtbz"); }

struct Verdict {
  unsigned wdl, dtz;  // the prober's WDL (TB_LOSS ... TB_WIN) and distance
};

// The prober's verdicts on the root of fen (key "") and on each of its
// moves, keyed by their text; the distance of a move counts from the root.
std::map<std::string, Verdict> proberVerdicts(const std::string& fen) {
  static const bool loaded = fathom::tb_init(TABLES.c_str());
  EXPECT_TRUE(loaded);
  uint64_t colour[2] = {}, type[128] = {};
  int square = 56;
  size_t i = 0;
  for (; fen[i] != ' '; i++) {
    const char c = fen[i];
    if (c == '/') square -= 16;
    else if (isdigit(c)) square += c - '0';
    else {
      colour[islower(c) ? 1 : 0] |= uint64_t(1) << square;
      type[tolower(c)] |= uint64_t(1) << square++;
    }
  }
  unsigned results[TB_MAX_MOVES];
  const unsigned root = fathom::tb_probe_root(colour[0], colour[1], type['k'], type['q'], type['r'], type['b'],
                                              type['n'], type['p'], 0, 0, 0, fen[i + 1] == 'w', results);
  std::map<std::string, Verdict> verdicts{{"", {TB_GET_WDL(root), TB_GET_DTZ(root)}}};
  for (const unsigned* r = results; *r != TB_RESULT_FAILED; r++) {
    const unsigned from = TB_GET_FROM(*r), to = TB_GET_TO(*r);
    std::string text = {char('a' + from % 8), char('1' + from / 8), char('a' + to % 8), char('1' + to / 8)};
    if (TB_GET_PROMOTES(*r)) text += " qrbn"[TB_GET_PROMOTES(*r)];
    verdicts[text] = {TB_GET_WDL(*r), TB_GET_DTZ(*r)};
  }
  return verdicts;
}

std::string bestmoveOf(const Lines& lines) {
  std::smatch m;
  std::regex_search(lines.back(), m, std::regex("^bestmove (\\S+)"));
  return m[1];
}

class Tablebase : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (!tablesPresent()) GTEST_SKIP() << "no Syzygy tables in " << TABLES << " (../shared/tools/syzygy-gen --dir "
                                       << TABLES << " makes them); skipping";
    EXPECT_EQ(ask({"setoption name SyzygyPath value " + TABLES}), Lines{FOUND});
  }
};

}  // namespace

TEST_F(Tablebase, RootMoveKeepsTheResultAndComesCloserToZeroing) {
  const std::pair<const char*, unsigned> cases[] = {
      {"8/8/8/4k3/8/8/8/4K2Q w - - 0 1", TB_WIN},          // KQvK
      {"8/8/8/3k4/8/8/6r1/K7 b - - 0 1", TB_WIN},          // KRvK, black wins
      {"4k3/8/3K4/4P3/8/8/8/8 w - - 0 1", TB_WIN},         // KPvK: only Ke6 wins
      {"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1", TB_DRAW},        // KPvK: Kd8 and Kf8 lose
      {"8/8/8/4k3/8/8/8/2B1KN2 w - - 0 1", TB_WIN},        // KBNvK, 56 plies to mate
      {"8/3k4/2r4Q/8/8/8/5K2/8 w - - 0 1", TB_WIN},        // KQvKR: most moves draw or lose
      {"8/8/3k4/8/8/3K4/r7/4R3 b - - 0 1", TB_DRAW},       // KRvKR: five rook moves lose
  };
  for (const char* go : {"go depth 1", "go movetime 200"}) {
    for (const auto& [fen, wdl] : cases) {
      const Lines lines = search(fen, go);
      const auto verdicts = proberVerdicts(fen);
      const Verdict root = verdicts.at(""), move = verdicts.at(bestmoveOf(lines));
      ASSERT_EQ(root.wdl, wdl) << fen;
      EXPECT_EQ(move.wdl, root.wdl) << go << ": " << fen << " " << lines.back();
      if (wdl == TB_WIN) {
        EXPECT_LE(move.dtz, root.dtz) << go << ": " << fen << " " << lines.back();
      }
      EXPECT_TRUE(anyMatches(lines, " tbhits [1-9]")) << fen;
    }
  }
}

TEST_F(Tablebase, OptionsSteerTheProbes) {
  // Five pieces: not in the tables, but the captures below the root are.
  EXPECT_TRUE(anyMatches(search("4k3/8/8/8/8/2n5/8/R2QK3 w - - 0 1", "go depth 6"), " tbhits [1-9]"));
  // Distance 56 on a counter of 60 is a win only without the fifty-move rule.
  const std::string cursed = "8/8/8/4k3/8/8/8/2B1KN2 w - - 60 1";
  EXPECT_TRUE(anyMatches(search(cursed, "go depth 1"), "score cp 0 "));
  ask({"setoption name Syzygy50MoveRule value false"});
  EXPECT_TRUE(anyMatches(search(cursed, "go depth 1"), "score cp 9850 "));
  // A limit of 0 turns the tables off, and so does an empty path.
  ask({"setoption name SyzygyProbeLimit value 0"});
  EXPECT_FALSE(anyMatches(search(cursed, "go depth 1"), "tbhits"));
  EXPECT_EQ(ask({"setoption name SyzygyProbeLimit value 7", "setoption name SyzygyPath value <empty>"}),
            Lines{"info string SyzygyPath empty, no tables in use"});
  EXPECT_FALSE(anyMatches(search(cursed, "go depth 1"), "tbhits"));
}

// The other builds find the same tables and play the same move; the 32-bit
// one probes through the same code.
TEST(TablebaseBuilds, ProbeAlike) {
  if (!tablesPresent()) GTEST_SKIP() << "no Syzygy tables in " << TABLES << "; skipping";
  for (const char* name : {"quillon", "quillon-n", "quillon-32"}) {
    if (!engineExists(name)) continue;
    EngineProcess engine(name);
    engine.readLine(30000);
    EXPECT_EQ(engine.ask({"setoption name SyzygyPath value " + TABLES}, 30000), Lines{FOUND}) << name;
    engine.send("position fen 8/8/8/4k3/8/8/8/4K2Q w - - 0 1\ngo depth 1\n");
    std::optional<std::string> line;
    while ((line = engine.readLine(30000)) && !startsWith(*line, "bestmove")) {
    }
    EXPECT_EQ(line.value_or(""), "bestmove h1c6") << name;
    engine.closeInput();
    EXPECT_EQ(engine.waitExit(30000), 0) << name;
    EXPECT_EQ(engine.errorOutput(), "") << name;
  }
}
