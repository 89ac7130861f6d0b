// The three builds announce their own version text, and count, evaluate
// and search alike: bit counts and shifts are everywhere. The 32-bit build
// runs under an emulator where the kernel cannot run it.
#include <cstdio>

#include "uci_test_util.h"

namespace {

// The node count of the search benchmark at depth 9 identifies the search:
// pruning margins, reductions, move ordering and the table's replacement
// all show in it. A change that alters it updates this number, and its
// commit quotes the count of the full benchmark.
constexpr const char* BENCH_DEPTH_9_NODES = "1494559";

// The count on the last line of "bench 9" on the command line: "N nodes M nps".
std::string benchmarkNodes(const std::string& name) {
  FILE* out = popen((QUILLON_SOURCE_DIR "/tools/run-engine.sh " QUILLON_ENGINE_DIR "/" + name + " bench 9 </dev/null").c_str(), "r");
  if (!out) return "";
  char line[256];
  std::string last;
  while (fgets(line, sizeof line, out)) last = line;
  EXPECT_EQ(pclose(out), 0) << name;
  EXPECT_TRUE(std::regex_match(last, std::regex("\\d+ nodes \\d+ nps\n"))) << name << ": " << last;
  return last.substr(0, last.find(' '));
}

}  // namespace

TEST(Builds, VersionsAndResultsAlike) {
  const std::pair<std::string, std::string> builds[] = {
      {"quillon", "0.74024"}, {"quillon-n", "0.74024n"}, {"quillon-32", "0.7402432n"}};
  // Castling, en passant and promotions need no shared data here; the full
  // perft files run through each build as ctest entries of their own.
  const Lines commands = {"eval",
                          "pf rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1",
                          "eval",
                          "pf r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                          "perft 3",
                          "eval",
                          "pf 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 1",
                          "eval",
                          "pf 2k5/8/8/8/8/8/3P4/4K3 w - - 0 1",
                          "eval"};
  Lines reference;
  for (const auto& [name, version] : builds) {
    if (!engineExists(name)) continue;
    EngineProcess engine(name);
    EXPECT_EQ(engine.readLine(30000), "Quillon " + version + " by Velloran");
    EXPECT_EQ(engine.ask({"uci"}, 30000).at(0), "id name Quillon " + version);
    Lines results = engine.ask(commands, 60000);
    std::erase_if(results, [](const std::string& l) { return startsWith(l, "ms: "); });
    EXPECT_EQ(benchmarkNodes(name), BENCH_DEPTH_9_NODES) << name;
    if (reference.empty()) reference = results;
    EXPECT_EQ(results, reference) << name;
    engine.send("quit\n");
    EXPECT_EQ(engine.waitExit(), 0);
    EXPECT_EQ(engine.errorOutput(), "");
  }
  ASSERT_EQ(reference.size(), 6u);
  // The start position: only the tempo is left, the mover's, and eval
  // speaks for white.
  EXPECT_EQ(reference[0], "9");
  EXPECT_EQ(reference[1], "-9");
  EXPECT_EQ(reference[2], "97862");
}
