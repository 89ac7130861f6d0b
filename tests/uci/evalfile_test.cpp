// The EvalFile option through a real pipe: a saved table goes into play.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "uci_test_util.h"

namespace fs = std::filesystem;

// The shipped table with the middle-game tempo (row 11) set to 29, in a
// file whose name holds blanks.
TEST_F(EngineTest, EvalFileOption) {
  const fs::path path = fs::temp_directory_path() / ("quillon eval " + std::to_string(getpid()) + ".txt");
  {
    std::ifstream in(QUILLON_SOURCE_DIR "/resources/evalparams.txt", std::ios::binary);
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (int row = 1; std::getline(in, line); row++) out << (row == 11 ? "29;1;0;50\r" : line) << "\n";
  }
  const std::string missing = (fs::temp_directory_path() / "quillon-no-such-table.txt").string();
  EXPECT_EQ(ask({"eval"}), Lines{"9"});  // the tempo is all in the start position
  EXPECT_EQ(ask({"setoption name EvalFile value " + missing}),
            Lines{"info string EvalFile " + missing + " not loaded, table unchanged: it cannot be opened"});
  EXPECT_EQ(ask({"eval"}), Lines{"9"});
  EXPECT_EQ(ask({"setoption name evalfile value " + path.string() + "  "}),
            Lines{"info string EvalFile " + path.string() + " loaded"});
  EXPECT_EQ(ask({"eval"}), Lines{"29"});
  EXPECT_EQ(ask({"setoption name EvalFile value <empty>", "eval"}),
            (Lines{"info string EvalFile empty, embedded table loaded", "9"}));
  fs::remove(path);
}
