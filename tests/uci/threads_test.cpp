// Helper threads through the pipe: the Threads maximum, the threads the
// process really runs, and a scripted conversation with two threads that
// the thread-sanitizer build replays (any report ends the engine with an
// error and fails the test).
#include <dirent.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "uci_test_util.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The processors this process may run on, from its allowed-CPU list
// ("0-3,8,10-11"), which a child inherits.
int allowedProcessors() {
  std::smatch m;
  const std::string status = readFile("/proc/self/status");
  if (!std::regex_search(status, m, std::regex("Cpus_allowed_list:\\s*(\\S+)"))) return 1;
  int n = 0;
  std::stringstream list(m[1].str());
  for (std::string range; std::getline(list, range, ',');) {
    const size_t dash = range.find('-');
    n += dash == std::string::npos ? 1 : std::stoi(range.substr(dash + 1)) - std::stoi(range.substr(0, dash)) + 1;
  }
  return n;
}

// Whether cores run two hardware threads: the kernel's SMT switch, or
// else more logical siblings than cores in the processor description.
bool simultaneousMultithreading() {
  const std::string active = readFile("/sys/devices/system/cpu/smt/active");
  if (!active.empty()) return active[0] == '1';
  std::smatch siblings, cores;
  const std::string cpuinfo = readFile("/proc/cpuinfo");
  return std::regex_search(cpuinfo, siblings, std::regex("siblings\\s*:\\s*(\\d+)")) &&
         std::regex_search(cpuinfo, cores, std::regex("cpu cores\\s*:\\s*(\\d+)")) &&
         std::stoi(siblings[1]) > std::stoi(cores[1]);
}

int threadsOf(int pid) {
  int n = 0;
  if (DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/task").c_str())) {
    while (const dirent* entry = readdir(dir)) n += entry->d_name[0] != '.';
    closedir(dir);
  }
  return n;
}

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
  // Waits until the process runs the given number of threads; a thread
  // that has left the engine may take a moment to leave the system.
  void expectThreads(int wanted) {
    int n = threadsOf(engine->pid());
    for (int i = 0; i < 1000 && n != wanted; i++) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      n = threadsOf(engine->pid());
    }
    EXPECT_EQ(n, wanted);
  }
};

}  // namespace

TEST_F(ThreadsTest, MaximumFollowsTheProcessors) {
  const int n = allowedProcessors();
  int expected = std::min(n, 32);
  if (simultaneousMultithreading()) expected = std::max(1, std::min(expected, n / 2));
  const int maximum = announcedMaximum();
  EXPECT_EQ(maximum, expected) << n << " processors";
  // Settings are clamped to it and reported.
  EXPECT_EQ(ask({"setoption name Threads value 999", "setoption name threads value 0"}),
            (Lines{"info string Threads = " + std::to_string(maximum), "info string Threads = 1"}));
}

TEST_F(ThreadsTest, SettingsStartAndEndHelpers) {
  if (announcedMaximum() < 2) GTEST_SKIP() << "one thread at most on this machine";
  // A sanitizer runtime may start a thread of its own with the first
  // helper; the count without helpers is the one that settles after it.
  ask({"setoption name Threads value 2", "setoption name Threads value 1"});
  int alone = threadsOf(engine->pid());
  for (int i = 0, n = 0; i < 40 && n != alone; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    n = std::exchange(alone, threadsOf(engine->pid()));
  }
  ask({"setoption name Threads value 2"});
  expectThreads(alone + 1);
  ask({"setoption name Threads value 1"});
  expectThreads(alone);
  // Many settings in a row leave the helpers of the last one only.
  Lines settings;
  for (int i = 0; i < 12; i++) settings.push_back("setoption name Threads value " + std::to_string(1 + i % 2));
  settings.push_back("setoption name Threads value 2");
  ask(settings);
  expectThreads(alone + 1);
}

TEST_F(ThreadsTest, ConversationWithTwoThreads) {
  if (announcedMaximum() < 2) GTEST_SKIP() << "one thread at most on this machine";
  EXPECT_EQ(ask({"setoption name Threads value 2"}), Lines{"info string Threads = 2"});
  // By depth, by time, by clock, too short a time for helpers, and several
  // lines.
  EXPECT_TRUE(anyStartsWith(search(START_FEN, "go depth 7"), "info depth 7 "));
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
  EXPECT_EQ(ask({}), (Lines{"info string Threads = 1", "info string Threads = 2"}));

  // A new game and settings between searches, then pondering.
  EXPECT_EQ(ask({"ucinewgame", "setoption name Threads value 1", "setoption name Threads value 2",
                 "setoption name Threads value 1", "setoption name Threads value 2"}),
            (Lines{"info string Threads = 1", "info string Threads = 2", "info string Threads = 1",
                   "info string Threads = 2"}));
  ask({"position fen " + std::string(ROOK_ENDING)});
  for (const char* end : {"ponderhit", "stop"}) {
    startSearch("go ponder wtime 60000 btime 60000");
    engine->send(std::string(end) + "\n");
    legalMove(ROOK_ENDING, untilBestmove());
  }

  // The input ends while both threads search: the engine still ends cleanly.
  startSearch("go infinite");
}
