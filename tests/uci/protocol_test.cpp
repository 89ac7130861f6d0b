// The protocol conversation through a real pipe: replies, options and
// input handling.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "uci_test_util.h"

// (The Threads maximum and its clamp are tested with the threads.)
TEST_F(EngineTest, UciReply) {
  Lines reply = ask({"uci"});
  ASSERT_EQ(reply.size(), 17u);
  EXPECT_TRUE(std::regex_match(reply[7], std::regex("option name Threads type spin default 1 min 1 max [1-9]\\d*")))
      << reply[7];
  reply.erase(reply.begin() + 7);
  EXPECT_EQ(reply, (Lines{"id name Quillon 0.74024", "id author Velloran", "option name Ponder type check default false",
                          "option name Hash type spin default 128 min 1 max 16384", "option name Clear Hash type button",
                          "option name NullMove type check default true",
                          "option name MultiPV type spin default 1 min 1 max 100",
                          "option name EvalFile type string default <empty>",
                          "option name UCI_Chess960 type check default false",
                          "option name SyzygyPath type string default <empty>",
                          "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
                          "option name Syzygy50MoveRule type check default true",
                          "option name SyzygyProbeLimit type spin default 7 min 0 max 7",
                          "option name UCI_LimitStrength type check default false",
                          "option name UCI_Elo type spin default 1350 min 1350 max 2200", "uciok"}));
  EXPECT_EQ(ask({"uci "}), Lines{});  // keywords that must be the whole line
}

TEST_F(EngineTest, OptionMessages) {
  const std::pair<const char*, Lines> cases[] = {
      {"setoption name hash value 100", {"Not power of two"}},
      {"setoption name Hash value lots", {}},  // reads as 0, the default size
      {"setoption name NullMove value yes", {}},
      {"setoption name clear hash", {}},
      {"setoption name Unknown value 3", {}},
      {"setoption", {}},
      // Folders without tables, and absurd table settings.
      {"setoption name SyzygyPath value /nonexistent:/nonexistent too",
       {"info string SyzygyPath /nonexistent:/nonexistent too: 0 tables found"}},
      {"setoption name SyzygyPath value", {"info string SyzygyPath empty, no tables in use"}},
      {"setoption name SyzygyProbeLimit value -3", {}},
      {"setoption name SyzygyProbeDepth value 99999999999", {}},
      {"setoption name Syzygy50MoveRule value maybe", {}},
  };
  for (const auto& [line, reply] : cases) EXPECT_EQ(ask({line}), reply) << line;
  // A size that cannot be had keeps the table in use.
  EXPECT_EQ(ask({"setoption name Hash value 16", "setoption name Hash value 1073741824"}),
            Lines{"info string Hash 1073741824 MB could not be allocated, keeping 16 MB"});
  EXPECT_EQ(ask({"perft 3"}).at(0), "8902");
}

// The shipped table with the middle-game tempo (row 11) set to 29, in a
// file whose name holds blanks, goes into play; a missing file changes
// nothing.
TEST_F(EngineTest, EvalFileOption) {
  const std::string path = testing::TempDir() + "quillon eval " + std::to_string(getpid()) + ".txt",
                    missing = testing::TempDir() + "quillon-no-such-table.txt";
  std::ifstream in(QUILLON_SOURCE_DIR "/resources/evalparams.txt", std::ios::binary);
  std::ofstream out(path, std::ios::binary);
  int row = 0;
  for (std::string line; std::getline(in, line);) out << (++row == 11 ? "29;1;0;50\r" : line) << "\n";
  out.close();
  EXPECT_EQ(ask({"eval"}), Lines{"9"});  // the tempo is all in the start position
  EXPECT_EQ(ask({"setoption name EvalFile value " + missing, "eval"}),
            (Lines{"info string EvalFile " + missing + " not loaded, table unchanged: it cannot be opened", "9"}));
  EXPECT_EQ(ask({"setoption name evalfile value " + path + "  ", "eval"}),
            (Lines{"info string EvalFile " + path + " loaded", "29"}));
  EXPECT_EQ(ask({"setoption name EvalFile value <empty>", "eval"}),
            (Lines{"info string EvalFile empty, embedded table loaded", "9"}));
  std::filesystem::remove(path);
}

// The table's pages are written when it is allocated, never in the first
// search: by readyok the whole of it is resident.
TEST_F(EngineTest, HashTableIsWrittenBeforeReadyok) {
  const auto residentMb = [&] {
    std::ifstream status("/proc/" + std::to_string(engine->pid()) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (startsWith(line, "VmRSS:")) return std::stol(line.substr(6)) / 1024;
    return 0L;
  };
  ask({});
  EXPECT_GE(residentMb(), 128);
  for (const char* line : {"setoption name Hash value 256", "setoption name Clear Hash"}) {
    ask({line});
    EXPECT_GE(residentMb(), 256) << line;
  }
}

TEST_F(EngineTest, UnknownLinesAndCarriageReturns) {
  EXPECT_EQ(ask({"", "   ", "hello", "66", "taulellx", "Uci", "ucinewgame", "quitx"}), Lines{});
  EXPECT_EQ(board(), START_BOARD);
  engine->send("position startpos moves e2e4 e7e5\r\ntaulell\r\n");
  EXPECT_EQ(ask({}), OPEN_GAME_BOARD);
}

TEST_F(EngineTest, OverlongInput) {
  // Lines are read in pieces of at most 65535 characters: the rest of a
  // longer line is the next line.
  std::string line = std::string(65535, 'x') + "pf rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
  line += std::string(70000 - line.size(), ' ');
  EXPECT_EQ(ask({line, "taulell"}), E4_BOARD);
  // Tokens are cut at 255 characters.
  const std::string longText(1000, 'H');
  EXPECT_EQ(ask({"setoption name " + longText + " value 16", "setoption name Hash value " + longText,
                 "setoption name " + longText + " " + longText}),
            Lines{});
  // 255 digits of a huge number saturate: no power of two.
  EXPECT_EQ(ask({"setoption name Hash value " + std::string(1000, '1')}), Lines{"Not power of two"});
  EXPECT_EQ(ask({"perft " + std::string(1000, '0') + "2"}).at(0), "20");  // depth 0 counts as 1
  // A line of over a megabyte during a search: its pieces wait for the
  // bestmove as far as the megabyte kept for waiting lines goes, and the
  // engine says once that it dropped the rest.
  engine->send("go infinite\n");
  Lines reply = engine->ask({std::string(1100000, 'x')}, 60000);
  std::erase_if(reply, [](const std::string& l) { return startsWith(l, "info depth"); });
  EXPECT_EQ(reply, Lines{"info string too many commands during the search, ignored: " + std::string(60, 'x')});
  engine->send("stop\n");
  EXPECT_TRUE(startsWith(untilBestmove().back(), "bestmove"));
}
