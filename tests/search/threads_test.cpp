// Helper threads in-process: a search with a helper counts its nodes,
// short budgets leave it out, odd helpers search one ply deeper, the info
// lines count every thread's nodes, and each Threads setting leaves
// exactly its own helpers running.
#include "search_test_util.h"

namespace {

class HelperThreads : public testing::Test {
 protected:
  // As the Threads option does, but without its clamp to this machine's
  // maximum: the hand-over works alike on a single processor.
  static void useThreads(int n) {
    threadCount = n;
    startHelperThreads();
  }
  void TearDown() override { useThreads(1); }
};

}  // namespace

TEST_F(HelperThreads, HelperNodesCountUnlessTheBudgetIsShort) {
  useThreads(2);
  // A helper that is not running when an attempt starts misses it. The last
  // attempts of this depth last long enough for any scheduler to run it;
  // those of a short fixed time may all be missed on a loaded machine.
  searchWith(startFen, "go depth 12");
  const uint64_t helper = threadRecords[1].nodes;
  EXPECT_GT(helper, 0u);
  // The sum the info lines add to the main thread's count, as of the last
  // attempt; the helper may have searched on a little until it saw its stop.
  EXPECT_GT(helperNodes, 0u);
  EXPECT_LE(helperNodes, helper);

  // A budget under 50 ms is searched by the main thread alone.
  EXPECT_GT(searchWith(startFen, "go movetime 30").nodes, 0u);
  EXPECT_EQ(threadRecords[1].nodes.load(), 0u);
  EXPECT_EQ(helperNodes, 0u);
}

TEST_F(HelperThreads, OddHelpersSearchOnePlyDeeper) {
  searchWith(startFen, "go depth 2");
  copyPositionData(templateRecord, mainPosition);
  templateRecord.iterationDepth = 3;
  mainAlone = false;
  for (int t : {1, 2}) searchRoot(t);
  mainAlone = true;
  EXPECT_EQ(threadRecords[1].iterationDepth, 4);
  EXPECT_EQ(threadRecords[2].iterationDepth, 3);
}

TEST_F(HelperThreads, InfoLinesCountEveryThreadsNodes) {
  threadCount = 3;  // the counters are enough, the threads need not run
  mainPosition.nodes = 1;
  threadRecords[1].nodes = 20;
  threadRecords[2].nodes = 300;
  char line[INFO_LINE_SIZE];
  formatInfoLine(mainPosition, 0, -SCORE_INFINITE, SCORE_INFINITE, line);
  EXPECT_NE(strstr(line, " nodes 321 "), nullptr) << line;
}

TEST_F(HelperThreads, EachSettingLeavesOneGenerationOfHelpers) {
  for (int n : {4, 1, 3, 3, 2, 1, 1, 4, 2, 1}) {
    useThreads(n);
    EXPECT_EQ(runningHelperCount(), n - 1) << "Threads " << n;
  }
}
