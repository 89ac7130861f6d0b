// The three builds announce their own version text and count alike. The
// 32-bit build runs under an emulator where the kernel cannot run it.
#include <algorithm>
#include <tuple>

#include "uci_test_util.h"

namespace {

struct Build {
  const char* name;
  const char* version;
};
class Builds : public testing::TestWithParam<Build> {};

// Published perft counts: castling, en passant (also along a pinned rank),
// promotions and nine queens.
const std::tuple<const char*, int, const char*> COUNTS[] = {
    {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, "97862"},
    {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, "674624"},
    {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, "9467"},
    {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, "62379"},
    {"8/8/8/K1pP3r/8/8/8/7k w - c6 0 2", 5, "44473"},
    {"r3k2r/1P6/8/8/8/8/1p6/R3K2R b KQkq - 0 1", 3, "21222"},
    {"R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1", 3, "19073"},
};

}  // namespace

TEST_P(Builds, VersionAndCounts) {
  const Build& build = GetParam();
  if (!engineExists(build.name)) GTEST_SKIP() << build.name << " is not made by this build";
  EngineProcess engine(build.name);
  EXPECT_EQ(engine.readLine(30000), std::string("Quillon ") + build.version + " by Velloran");
  Lines reply = engine.ask({"uci"}, 30000);
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply[0], std::string("id name Quillon ") + build.version);
  for (const auto& [fen, depth, leaves] : COUNTS)
    EXPECT_EQ(engine.ask({std::string("pf ") + fen, "perft " + std::to_string(depth)}, 60000).at(0), leaves)
        << build.name << ": " << fen;
  engine.send("quit");
  EXPECT_EQ(engine.waitExit(), 0);
  EXPECT_EQ(engine.errorOutput(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, Builds,
                         testing::Values(Build{"quillon", "0.74024"}, Build{"quillon-n", "0.74024n"},
                                         Build{"quillon-32", "0.7402432n"}),
                         [](const testing::TestParamInfo<Build>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });
