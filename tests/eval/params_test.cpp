// Saving and loading the parameter table, and the files a load refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eval/eval.h"

namespace {

// The rows in force, and an evaluation that reads a pawn-structure row
// through the pawn table, which every load must empty.
std::pair<std::vector<int32_t>, int> inForce() {
  static Position pos;
  EXPECT_TRUE(parseFen(pos, "r3k3/1pp5/8/8/8/8/P7/R3K3 w - - 0 1"));  // a2 weak on an open file
  return {std::vector<int32_t>(paramRow, paramRow + PARAM_ROWS + 1), evaluate(pos)};
}

}  // namespace

// A saved table loads back whatever its line ends; a file that is not a
// whole table leaves the one in force.
TEST(ParamFiles, SavedTablesLoadBackAndBadFilesAreRefused) {
  const std::string saved = testing::TempDir() + "quillon-saved.txt", bad = testing::TempDir() + "quillon-bad.txt";
  char why[128];
  paramRow[11] += 20;  // tempo
  paramRow[45] += 30;  // weak pawn on an open file, kept in the pawn table
  rebuildEvalTables();
  const auto tuned = inForce();
  ASSERT_TRUE(saveParamTable(evalParams, saved.c_str()));
  ASSERT_TRUE(loadParamFile("", why, sizeof why));
  EXPECT_NE(inForce().second, tuned.second);
  ASSERT_TRUE(loadParamFile(saved.c_str(), why, sizeof why)) << why;
  EXPECT_EQ(inForce(), tuned);

  // Bare LF, bare CR and blank lines separate rows as CR LF does.
  std::string rows[PARAM_ROWS + 1], anyEnds;
  std::ifstream in(saved, std::ios::binary);
  const char* const ends[] = {"\n", "\r", "\r\n\n"};
  for (int row = 1; row <= PARAM_ROWS && std::getline(in, rows[row]); row++) {
    anyEnds += rows[row].substr(0, rows[row].find('\r')) + ends[row % 3];
    rows[row] += "\n";
  }
  std::ofstream(bad, std::ios::binary) << anyEnds;
  ASSERT_TRUE(loadParamFile("", why, sizeof why));
  ASSERT_TRUE(loadParamFile(bad.c_str(), why, sizeof why)) << why;
  EXPECT_EQ(inForce(), tuned);

  // Broken copies whose rows before the fault hold another tempo, so that a
  // partial load would show. (A missing file is tried through the pipe.)
  rows[11] = "0;1;0;50\r\n";
  auto table = [&rows](int changed, const std::string& text, int count = PARAM_ROWS) {
    std::string all;
    for (int row = 1; row <= count; row++) all += row == changed ? text : rows[row];
    return all;
  };
  const std::pair<std::string, std::string> cases[] = {
      {table(0, "", 100), "it ends after row 100 of 457"},
      {table(457, "4782656;1;-9999;9999"), "row 457 \"4782656;1;-9999;9999\" has no line end"},
      {table(0, "") + "1;1;0;0\r\n", "it has more than 457 rows"},
      {table(100, "12x;1;0;5\r\n"), "row 100 \"12x;1;0;5\" is malformed"},
      {table(100, "7;1;0\r\n"), "row 100 \"7;1;0\" is malformed"},
      {table(100, "100000;1;-9999;9999\r\n"), "row 100 value 100000 is outside -9999..9999"},
  };
  for (const auto& [text, reason] : cases) {
    std::ofstream(bad, std::ios::binary) << text;
    EXPECT_FALSE(loadParamFile(bad.c_str(), why, sizeof why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(inForce(), tuned) << reason;
  }
  EXPECT_TRUE(loadParamFile("", why, sizeof why));
  std::filesystem::remove(bad);
  std::filesystem::remove(saved);
}
