// The three builds announce their own version text and count alike. The
// 32-bit build runs under an emulator where the kernel cannot run it.
#include "uci_test_util.h"

namespace {

struct Build {
  const char* name;
  const char* version;
  const char* label;  // the test's name
};
class Builds : public testing::TestWithParam<Build> {};

}  // namespace

TEST_P(Builds, VersionAndCounts) {
  const Build& build = GetParam();
  if (!engineExists(build.name)) GTEST_SKIP() << build.name << " is not made by this build";
  EngineProcess engine(build.name);
  EXPECT_EQ(engine.readLine(30000), std::string("Quillon ") + build.version + " by Velloran");
  EXPECT_EQ(engine.ask({"uci"}, 30000).at(0), std::string("id name Quillon ") + build.version);
  // The full perft files run through each build as ctest entries of their
  // own; this count (castling, en passant, promotions) needs no shared data.
  const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
  EXPECT_EQ(engine.ask({std::string("pf ") + fen, "perft 3"}, 60000).at(0), "97862") << build.name;
  engine.send("quit\n");
  EXPECT_EQ(engine.waitExit(), 0);
  EXPECT_EQ(engine.errorOutput(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, Builds,
                         testing::Values(Build{"quillon", "0.74024", "popcnt"},
                                         Build{"quillon-n", "0.74024n", "soft_popcount"},
                                         Build{"quillon-32", "0.7402432n", "x86_32"}),
                         [](const auto& info) { return std::string(info.param.label); });

// The evaluation uses bit counts and shifts everywhere; the builds must agree
// on it as they do on move counts.
TEST(Builds, EvaluateAlike) {
  const Lines commands = {"eval", "pf r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", "eval",
                          "pf 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 1", "eval",
                          "pf 2k5/8/8/8/8/8/3P4/4K3 w - - 0 1", "eval"};
  Lines reference;
  for (const char* name : {"quillon", "quillon-n", "quillon-32"}) {
    if (!engineExists(name)) continue;
    EngineProcess engine(name);
    engine.readLine(30000);
    Lines values;
    for (const std::string& command : commands) {
      if (command == "eval")
        values.push_back(engine.ask({command}, 30000).at(0));
      else
        engine.send(command + "\n");
    }
    if (reference.empty()) reference = values;
    EXPECT_EQ(values, reference) << name;
    engine.send("quit\n");
    EXPECT_EQ(engine.waitExit(), 0);
  }
  EXPECT_EQ(reference.at(0), "9");  // the start position: only the tempo is left
}

// The search benchmark's node count identifies the search: all builds give
// the same one.
TEST(Builds, SearchAlike) {
  std::string reference;
  for (const char* name : {"quillon", "quillon-n", "quillon-32"}) {
    if (!engineExists(name)) continue;
    FILE* out = popen((std::string(QUILLON_SOURCE_DIR "/tools/run-engine.sh ") + QUILLON_ENGINE_DIR "/" + name +
                       " bench 6 </dev/null").c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[256];
    std::string last;
    while (fgets(line, sizeof line, out)) last = line;
    EXPECT_EQ(pclose(out), 0) << name;
    const std::string nodes = last.substr(0, last.find(' '));
    EXPECT_TRUE(last.find(" nodes ") != std::string::npos && last.find(" nps") != std::string::npos) << last;
    if (reference.empty()) reference = nodes;
    EXPECT_EQ(nodes, reference) << name;
  }
}
