// The parameter table: rows no term reads, saving and loading back, and the
// files a load refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "platform/platform.h"
#include "../support/test_data.h"

namespace {

// Reloads the parameter text with some rows changed; the shipped state is
// restored afterwards, and the pawn table, which keeps pawn-structure scores
// across parameter changes, is cleared on both sides of the change.
class ParamsReload : public testing::Test {
 protected:
  void TearDown() override {
    loadEvalParams();
    initEvalTables();
    memset(pawnTable, 0, sizeof pawnTable);
  }

  static std::vector<int> evaluations() {
    // Rook files, a knight boxed in by pawns, weak pawns on every file, pawn
    // threats, rook against two minors: what the unread rows would touch.
    std::vector<std::string> fens = {
        "4k2n/8/4P3/7P/8/8/8/3RK3 w - - 0 1",
        "4k3/p1p1p1p1/8/8/8/8/1P1P1P1P/4K3 w - - 0 1",
        "4k3/8/8/2n1qr2/1P1PP3/8/8/4K3 b - - 0 1",
        "4k3/pp6/3bn3/8/8/8/PP6/R3K3 w - - 0 1",
    };
    for (const char* file : {"standard.epd", "extra.epd"})
      for (const PerftCase& c : readPerftFile(file)) fens.push_back(c.fen);
    memset(pawnTable, 0, sizeof pawnTable);
    static Position pos;
    std::vector<int> scores;
    for (const std::string& fen : fens) {
      EXPECT_TRUE(parseFen(pos, fen.c_str())) << fen;
      scores.push_back(evaluate(pos));
    }
    return scores;
  }

  // The shipped text with the value of each picked row changed.
  static std::vector<int> evaluationsWith(bool (*pick)(int row), int (*change)(int)) {
    std::istringstream in(embeddedParameterText());
    std::string text, line;
    for (int row = 1; std::getline(in, line, '\n'); row++)
      text += (pick(row) ? std::to_string(change(std::stoi(line))) + line.substr(line.find(';')) : line) + "\n";
    EXPECT_EQ(loadParamText(text.c_str()), 457);
    deriveEvalTables();
    initEvalTables();
    return evaluations();
  }
};

int changed(int v) { return v * 3 + 17; }

}  // namespace

// Scratch rows, rows whose values the derivation replaces, and rows no
// term reads; tempo and the pawn-file table are the control.
TEST_F(ParamsReload, UnusedRowsChangeNothing) {
  const std::vector<int> before = evaluations();
  auto scratch = [](int r) { return r == 17 || (r >= 121 && r <= 168) || r >= 439; };
  EXPECT_EQ(evaluationsWith(scratch, [](int) { return 1234; }), before);
  EXPECT_EQ(scratchParam, 1234);
  auto unread = [](int r) {
    return (r >= 15 && r <= 22 && r != 17 && r != 18) || r == 27 || r == 28 || r == 31 || (r >= 36 && r <= 44) ||
           r == 58 || r == 87 || (r >= 286 && r <= 291) || (r >= 339 && r <= 413) || (r >= 418 && r <= 423) || r == 428;
  };
  EXPECT_EQ(evaluationsWith(unread, changed), before);
  EXPECT_EQ(paramRow[16], changed(10));
  EXPECT_NE(evaluationsWith([](int r) { return r == 11 || r == 103; }, changed), before);
}

// A saved table loads back to the same evaluations, pawn-structure rows
// included, whatever its line ends; a file that is not a whole table leaves
// the one in force.
TEST_F(ParamsReload, SavedTablesLoadBackAndBadFilesAreRefused) {
  const std::string saved = testing::TempDir() + "quillon-saved.txt", bad = testing::TempDir() + "quillon-bad.txt";
  paramRow[11] += 20;  // tempo
  paramRow[45] += 30;  // weak pawn on an open file, kept in the pawn table
  rebuildEvalTables();
  // A pawn on a2 that is weak on an open file, scored through the pawn
  // table, which a load must empty.
  auto weakPawn = [] {
    static Position pos;
    parseFen(pos, "r3k3/1pp5/8/8/8/8/P7/R3K3 w - - 0 1");
    return evaluate(pos);
  };
  const std::vector<int> tuned = evaluations();  // empties the pawn table first
  const int tunedWeakPawn = weakPawn();
  ASSERT_TRUE(saveParamTable(evalParams, saved.c_str()));
  char why[128];
  ASSERT_TRUE(loadParamFile("", why, sizeof why));
  EXPECT_NE(weakPawn(), tunedWeakPawn);
  EXPECT_NE(evaluations(), tuned);
  weakPawn();
  ASSERT_TRUE(loadParamFile(saved.c_str(), why, sizeof why)) << why;
  EXPECT_EQ(weakPawn(), tunedWeakPawn);
  EXPECT_EQ(evaluations(), tuned);

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
  EXPECT_EQ(evaluations(), tuned);

  // Broken copies whose rows before the fault hold another tempo, so that a
  // partial load would show. (A missing file is tried through the pipe.)
  rows[11] = "0;1;0;50\r\n";
  // The first count rows, one of them replaced.
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
  int32_t inForce[PARAM_ROWS + 1];
  memcpy(inForce, paramRow, sizeof paramRow);
  for (const auto& [text, reason] : cases) {
    std::ofstream(bad, std::ios::binary) << text;
    EXPECT_FALSE(loadParamFile(bad.c_str(), why, sizeof why));
    EXPECT_EQ(why, reason);
    EXPECT_EQ(memcmp(inForce, paramRow, sizeof paramRow), 0) << reason;
  }
  EXPECT_EQ(evaluations(), tuned);
  std::filesystem::remove(bad);
  std::filesystem::remove(saved);
}
