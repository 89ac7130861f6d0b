// Helper threads through the pipe: the Threads maximum, and a scripted
// conversation with two threads that the thread-sanitizer build replays
// (any report ends the engine with an error and fails the test).
#include <sched.h>

#include "uci_test_util.h"

namespace {

const char* const KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
const char* const ROOK_ENDING = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";

class ThreadsTest : public EngineTest {
 protected:
  int announcedMaximum() {
    std::smatch m;
    for (const std::string& line : ask({"uci"}))
      if (std::regex_match(line, m, std::regex("option name Threads type spin default 1 min 1 max (\\d+)")))
        return std::stoi(m[1]);
    ADD_FAILURE() << "no Threads option";
    return 1;
  }
};

}  // namespace

// The processors this process may run on (a child inherits them), at most
// 32, halved where cores run two hardware threads. Settings are clamped to
// the maximum and reported.
TEST_F(ThreadsTest, MaximumFollowsTheProcessors) {
  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  const int n = CPU_COUNT(&allowed), maximum = announcedMaximum();
  EXPECT_TRUE(maximum == std::min(n, 32) || maximum == std::max(1, std::min(n / 2, 32))) << n << " processors";
  EXPECT_EQ(ask({"setoption name Threads value 999", "setoption name threads value 0"}),
            (Lines{"info string Threads = " + std::to_string(maximum), "info string Threads = 1"}));
}

TEST_F(ThreadsTest, ConversationWithTwoThreads) {
  if (announcedMaximum() < 2) GTEST_SKIP() << "one thread at most on this machine";
  EXPECT_EQ(ask({"setoption name Threads value 2"}), Lines{"info string Threads = 2"});
  // By depth, by time, by clock, too short a time for helpers, and several
  // lines.
  EXPECT_TRUE(anyMatches(search(START_FEN, "go depth 7"), "^info depth 7 "));
  search(KIWIPETE, "go movetime 300");
  search(ROOK_ENDING, "go wtime 1000 btime 1000 winc 10 binc 10");
  search(KIWIPETE, "go movetime 30");
  ask({"setoption name MultiPV value 3"});
  search(KIWIPETE, "go depth 5");
  ask({"setoption name MultiPV value 1"});

  // "stop" during a timed search (a budget of some 25 s, which no pause of a
  // loaded machine exhausts), and Threads settings during a search wait for
  // its bestmove.
  startSearch("go wtime 600000 btime 600000", 300);
  engine->send("stop\n");
  legalMove(KIWIPETE, untilBestmove());
  startSearch("go infinite");
  engine->send("setoption name Threads value 1\nsetoption name Threads value 2\nstop\n");
  untilBestmove(60000, false);
  const Lines settings = {"info string Threads = 1", "info string Threads = 2"};
  EXPECT_EQ(ask({}), settings);

  // A new game and settings between searches, then pondering.
  EXPECT_EQ(ask({"ucinewgame", "setoption name Threads value 1", "setoption name Threads value 2"}), settings);
  ask({"position fen " + std::string(ROOK_ENDING)});
  for (const char* end : {"ponderhit", "stop"}) {
    startSearch("go ponder wtime 60000 btime 60000");
    engine->send(std::string(end) + "\n");
    legalMove(ROOK_ENDING, untilBestmove());
  }

  // The input ends while both threads search: the engine still ends cleanly.
  startSearch("go infinite");
}
