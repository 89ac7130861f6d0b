// Helper threads in-process: a search with a helper counts its nodes, short
// budgets leave it out, the info lines count every thread's nodes, and each
// Threads setting leaves exactly its own helpers running.
#include "search_test_util.h"

namespace {

// As the Threads option does, but without its clamp to this machine's
// maximum: the hand-over works alike on a single processor.
void useThreads(int n) {
  threadCount = n;
  startHelperThreads();
}

}  // namespace

TEST(HelperThreads, NodesCountUnlessTheBudgetIsShort) {
  useThreads(2);
  // A helper that is not running when an attempt starts misses it; the
  // last attempts of this depth last long enough for any scheduler to run
  // it. The info lines add the helper's count as of the last attempt, and
  // the helper may have searched on a little until it saw its stop.
  searchWith(startFen, "go depth 12");
  EXPECT_GT(helperNodes, 0u);
  EXPECT_LE(helperNodes, threadRecords[1].nodes.load());
  // A budget under 50 ms is searched by the main thread alone.
  EXPECT_GT(searchWith(startFen, "go movetime 30").nodes, 0u);
  EXPECT_EQ(threadRecords[1].nodes.load() + helperNodes, 0u);
  for (int n : {4, 1, 3, 3, 2, 1, 1, 4, 2, 1}) {
    useThreads(n);
    EXPECT_EQ(runningHelperCount(), n - 1) << "Threads " << n;
  }
  // The counters are enough for the info lines; the threads need not run.
  threadCount = 3;
  mainPosition.nodes = 1;
  threadRecords[1].nodes = 20;
  threadRecords[2].nodes = 300;
  char line[INFO_LINE_SIZE];
  formatInfoLine(mainPosition, 0, -SCORE_INFINITE, SCORE_INFINITE, line);
  EXPECT_NE(strstr(line, " nodes 321 "), nullptr) << line;
  threadCount = 1;
}
