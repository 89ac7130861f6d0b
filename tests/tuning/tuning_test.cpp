// Evaluation tuning: the statistics, the descent's step rules, the reading
// of the position files, and the commands run on small files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "uci/tuning.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

const std::string SHIPPED_FOLDER = QUILLON_SOURCE_DIR "/resources/tuning";
// White to move, white a knight up; black to move, black a rook up.
const std::string WHITE_AHEAD = "4k3/pppp4/8/8/8/8/PPPP4/4KN2 w - - 0 1", BLACK_AHEAD = "r3k3/pppp4/8/8/8/8/PPPP4/4K3 b - - 0 1";
const std::string OPTIMAL = "                 ja era optim 0";

int evaluated(const std::string& fen) {
  static Position pos;
  EXPECT_TRUE(parseFen(pos, fen.c_str())) << fen;
  return evaluate(pos);
}

template <class Action>
Lines printedBy(Action action) {
  testing::internal::CaptureStdout();
  action();
  std::istringstream in(testing::internal::GetCapturedStdout());
  Lines lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A folder of its own for each test's files; the registry and the table
// are put back afterwards.
class TuningFiles : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder);
    tunedTablePath = tablePath.c_str();
  }
  void TearDown() override {
    tuningFolder = savedFolder;
    tunedTablePath = savedTablePath;
    char why[128];
    EXPECT_TRUE(loadParamFile("", why, sizeof why));
    fs::remove_all(folder);
  }
  std::string file(const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
  }
  const fs::path folder = fs::temp_directory_path() / ("quillon-tuning-" + std::to_string(getpid()));
  const std::string tablePath = (folder / "tuned.txt").string();
  const char* const savedFolder = tuningFolder;
  const char* const savedTablePath = tunedTablePath;
};

// The descent on a measure of its own: the distance of three values to
// their targets, plus a half.
int32_t values[3];
int measureCalls;
bool distanceToTargets(double* error) {
  measureCalls++;
  *error = 0.5 + std::abs(values[0]) + std::abs(values[1] - 1) + std::abs(values[2] - 9);
  return true;
}

}  // namespace

// Large offsets and small spreads, where a sum of squares loses digits.
TEST(TuningStats, WelfordAgreesWithTwoPasses) {
  RunningStats stats;
  resetStats(stats);
  addSample(stats, 42.0);
  EXPECT_EQ(standardDeviation(stats), 0.0);  // a single sample has no spread
  std::vector<double> xs;
  double sum = 0, squares = 0;
  for (int i = 0; i < 1000; i++) sum += xs.emplace_back(1e7 + std::sin(i * 0.7) * 3.0 + (i % 7) * 0.25);
  const double mean = sum / 1000;
  resetStats(stats);
  for (double x : xs) {
    addSample(stats, x);
    squares += (x - mean) * (x - mean);
  }
  EXPECT_NEAR(stats.mean, mean, 1e-7);
  EXPECT_NEAR(standardDeviation(stats), std::sqrt(squares / 999.0), 1e-9);
}

// "miav": a first step out of the range marks the entry optimal without a
// measurement, and a marked entry sits out exactly one sweep before it is
// tried upwards again; a worse first step is reversed (five blanks in its
// line, six for a first step). "miavkd" tries the other direction after a
// first step out of the range.
TEST(TuningSweep, StepRules) {
  const EvalParams saved = evalParams;
  double error = 13.5;
  auto start = [&error] {
    evalParams.count = 0;
    for (int i = 0; i < 3; i++) registerParam(&values[i], 0, i == 0 ? 5 : 9);
    values[0] = 5;  // at its maximum, its target below
    values[1] = values[2] = 3;
    measureCalls = 0;
    error = 13.5;
  };
  auto miav = [&error] { EXPECT_TRUE(miavSweep(&error, distanceToTargets)); };
  start();
  EXPECT_EQ(printedBy(miav), (Lines{"  *0*", OPTIMAL, "  *1*", "dif: 12.500000 = 2     0", "  *2*",
                                    "dif: 11.500000 = 4      0"}));
  EXPECT_EQ(printedBy(miav), (Lines{"  *0*", "  *1*", "dif: 10.500000 = 1      0", "  *2*", "dif: 9.500000 = 5      0"}));
  EXPECT_EQ(measureCalls, 5);
  // Entry 1 now sits at its target, and both of its directions fail.
  EXPECT_EQ(printedBy(miav), (Lines{"  *0*", OPTIMAL, "  *1*", OPTIMAL, "  *2*", "dif: 8.500000 = 6      0"}));
  EXPECT_EQ(std::vector<int>(values, values + 3), (std::vector<int>{5, 1, 6}));
  EXPECT_EQ(evalParams.entries[1].active, 2);

  start();
  EXPECT_EQ(printedBy([&error] { EXPECT_TRUE(miavkdSweep(&error, distanceToTargets)); }),
            (Lines{"  *0*", "sd: 12.500000 (sdant=13.500000)  4     0", "  *1*",
                   "sd: 11.500000 (sdant=12.500000)  2     0", "  *2*", "sd: 10.500000 (sdant=11.500000)  4     0"}));
  EXPECT_EQ(evalParams.entries[0].active, -1);
  evalParams = saved;
}

// Scores beyond the limits are skipped; FENs the engine cannot play from and
// scores that are not numbers are skipped and counted. File A is in pawns
// and the error rescales the evaluations to a spread of 1.787918 pawns.
// File B holds twice the centipawns before a blank, and the residual is
// that score minus the evaluation, both from the side to move's view; no
// more than 20000 pairs of it are read.
TEST_F(TuningFiles, PositionFiles) {
  const std::string a = file("a.txt", WHITE_AHEAD + "\r\n1.5\r\n" + BLACK_AHEAD + "\n-5\n" + WHITE_AHEAD + "\n5.01\n" +
                                          "rnbqkbnr/pppppppp/8/8 w - - 0 1\n0.3\n" +
                                          "4r1k1/8/8/8/8/8/8/4K3 b - - 0 1\n0.3\n" +  // the mover gives check
                                          WHITE_AHEAD + "\nabc\n" + BLACK_AHEAD + "\n");
  double spread, error, deviation;
  ASSERT_TRUE(spreadPass(a.c_str(), &spread));
  EXPECT_EQ(std::pair(lastTally.used, lastTally.malformed), std::pair(2, 4));
  const int v1 = evaluated(WHITE_AHEAD), v2 = evaluated(BLACK_AHEAD);
  EXPECT_NEAR(spread, std::abs(v1 - v2) / 100.0 / std::sqrt(2.0), 1e-6);
  ASSERT_TRUE(errorPass(a.c_str(), spread, &error));
  EXPECT_NEAR(error, std::abs(1.5 - v1 / 100.0 * 1.787918 / spread) + std::abs(-5 - v2 / 100.0 * 1.787918 / spread), 1e-5);

  ASSERT_GT(v2, 100);
  const std::string b = WHITE_AHEAD + "\n" + std::to_string(2 * (v1 + 10)) + " 8\n" + BLACK_AHEAD + "\n" +
                        std::to_string(2 * (v2 - 10)) + " 12\n" + WHITE_AHEAD + "\n0 8\n" + WHITE_AHEAD + "\n1602 8\n" +
                        BLACK_AHEAD + "\n-1602 8\n8/8/8/8/8/8/8/8 w - - 0 1\n300 8\n";
  ASSERT_TRUE(deviationPass(file("b.txt", b).c_str(), &deviation));
  EXPECT_EQ(std::pair(lastTally.used, lastTally.malformed), std::pair(2, 1));
  EXPECT_NEAR(deviation, std::sqrt(200.0), 1e-9);
  std::string many;
  for (int i = 0; i < FILE_B_MAX_PAIRS; i++) many += WHITE_AHEAD + "\n" + std::to_string(2 * (v1 + 10)) + "\n";
  ASSERT_TRUE(deviationPass(file("b.txt", many + WHITE_AHEAD + "\n1500 8\n").c_str(), &deviation));
  EXPECT_EQ(deviation, 0.0);
}

// A missing file, or one without two usable positions, is said in one line
// and the command returns with the whole table registered.
TEST_F(TuningFiles, UnusableFilesReturnToTheCommandLoop) {
  const std::string missing = (folder / "none").string();
  tuningFolder = missing.c_str();
  EXPECT_EQ(printedBy([] { runMiav(0); }), Lines{"info string cannot open the position file " + missing + "/punt5.txt"});
  tuningFolder = folder.c_str();
  file("punt5.txt", "junk\n0.1\n" + WHITE_AHEAD + "\n0.2\n");
  file("punt5k.txt", WHITE_AHEAD + "\n0 8\n");
  for (auto run : {runMiav, runMiavkd}) {
    const Lines lines = printedBy([run] { run(0); });
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("fewer than two usable positions"), std::string::npos) << lines[0];
    EXPECT_EQ(evalParams.count, PARAM_ROWS);
  }
  EXPECT_FALSE(fs::exists(tablePath));
}

// The set's shipped values lie inside their ranges, and one trial step of
// any entry changes the error over the shipped positions, and taking it back
// restores the error exactly. One pass of each command then saves the whole
// table, which loads back to the same values.
TEST_F(TuningFiles, TrialStepsReachTheEvaluationAndPassesSaveTheTable) {
  registerTuningSet();
  const std::string path = SHIPPED_FOLDER + "/punt5.txt";
  double spread, before, after, back;
  ASSERT_TRUE(spreadPass(path.c_str(), &spread) && errorPass(path.c_str(), spread, &before));
  for (int i = 0; i < TUNING_SET_SIZE; i++) {
    ParamEntry& e = evalParams.entries[i];
    const int start = *e.value;
    EXPECT_TRUE(start >= e.min && start < e.max && e.value != &scratchParam) << "entry " << i;
    setTunedValue(e, start + 1);
    ASSERT_TRUE(errorPass(path.c_str(), spread, &after));
    setTunedValue(e, start);
    ASSERT_TRUE(errorPass(path.c_str(), spread, &back));
    EXPECT_TRUE(after != before && back == before) << "entry " << i;
  }
  loadEvalParams();

  tuningFolder = SHIPPED_FOLDER.c_str();
  for (auto run : {runMiav, runMiavkd}) {
    const Lines lines = printedBy([run] { run(1); });
    ASSERT_GE(lines.size(), 2u + 2 * TUNING_SET_SIZE);
    EXPECT_EQ(lines[0].rfind("info string tuning on " + SHIPPED_FOLDER, 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(run == runMiav ? "dif: " : "sd: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 3), "  1") << lines[1];
    EXPECT_EQ(lines.back(), "=========");
    EXPECT_EQ(evalParams.count, PARAM_ROWS);
    const std::vector<int32_t> tuned(paramRow, paramRow + PARAM_ROWS + 1);
    char why[128];
    ASSERT_TRUE(loadParamFile("", why, sizeof why) && loadParamFile(tablePath.c_str(), why, sizeof why)) << why;
    EXPECT_EQ(std::vector<int32_t>(paramRow, paramRow + PARAM_ROWS + 1), tuned);
  }
}
