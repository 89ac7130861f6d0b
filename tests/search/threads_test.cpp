// Helper threads in-process: a search with a helper counts its nodes,
// short budgets leave it out, and each Threads setting leaves exactly its
// own helpers running.
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
  searchWith(startFen, "go movetime 300");
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

TEST_F(HelperThreads, EachSettingLeavesOneGenerationOfHelpers) {
  for (int n : {4, 1, 3, 3, 2, 1, 1, 4, 2, 1}) {
    useThreads(n);
    EXPECT_EQ(runningHelperCount(), n - 1) << "Threads " << n;
  }
}
