// Setting the game position through "position" and "pf", what is refused,
// and the move-generation commands that report on it. (Which positions are
// refused is tested in-process.)
#include <tuple>

#include "uci_test_util.h"

namespace {

const std::string REFUSED = "info string refused FEN, position unchanged: ";
std::string illegal(const std::string& move) {
  return "info string illegal move " + move + ", it and the moves after it are ignored";
}

Lines withBoard(const std::string& first, Lines board) {
  board.insert(board.begin(), first);
  return board;
}

}  // namespace

// Rights and side to move agree too: Stockfish's perft 3 after 1.e4 e5. A
// FEN cut short after the side has no castling rights, which three plies
// cannot use.
TEST_F(EngineTest, ThreeWaysToTheSamePosition) {
  const std::string ways[] = {"position startpos moves e2e4 e7e5", std::string("position fen ") + OPEN_GAME_FEN,
                              std::string("pf ") + OPEN_GAME_FEN, "pf rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w moves e2e4 e7e5"};
  for (const std::string& way : ways) {
    EXPECT_EQ(ask({way, "taulell"}), OPEN_GAME_BOARD) << way;
    EXPECT_EQ(ask({"perft 3"}).at(0), "24825") << way;
  }
  EXPECT_EQ(ask({"position startpos", "taulell"}), START_BOARD);
}

TEST_F(EngineTest, RefusedFenLeavesThePosition) {
  ask({"position startpos moves e2e4 e7e5"});
  const std::pair<std::string, std::string> cases[] = {
      {"position fen 4k3/8/8/8/8/8/8/3KK3 w - - 0 1 moves d2d4", "4k3/8/8/8/8/8/8/3KK3 w - - 0 1 moves d2d4"},
      {"pf hello world", "hello world"},
      {"pf 4k3/8/8/8/8/8/8/4K3 w K - 0 1", "4k3/8/8/8/8/8/8/4K3 w K - 0 1"},
      {"position fen", ""},
  };
  for (const auto& [line, quoted] : cases) EXPECT_EQ(ask({line, "taulell"}), withBoard(REFUSED + quoted, OPEN_GAME_BOARD));
  // A long FEN is quoted in part on one line.
  const Lines reply = ask({"pf " + std::string(500, 'k'), "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_TRUE(startsWith(reply[0], REFUSED + "kkk")) << reply[0];
}

// The moves before the first bad one are played; a promotion must name its
// piece, and an endless token is quoted in part.
TEST_F(EngineTest, IllegalMovesStopTheMoveList) {
  for (const char* move : {"g1g5", "e7e9", "e1g1", "e5e4", "e7e8q"})
    EXPECT_EQ(ask({std::string("position startpos moves e2e4 e7e5 ") + move + " b1c3", "taulell"}),
              withBoard(illegal(move), OPEN_GAME_BOARD));
  EXPECT_EQ(ask({"pf 8/P3k3/8/8/8/8/8/4K3 w - - 0 1 moves a7a8", "taulell"}).at(0), illegal("a7a8"));
  EXPECT_EQ(ask({"pf 8/P3k3/8/8/8/8/8/4K3 w - - 0 1 moves a7a8n", "taulell"}).at(0), "C_______");
  const Lines reply = ask({"position startpos moves e2e4 " + std::string(300, 'a'), "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_LT(reply[0].size(), 100u);
}

// Game moves fill the key history; the last entries stay free for the search.
TEST_F(EngineTest, OverlongGameIsCut) {
  std::string moves;
  for (int i = 0; i < 2016; i++) moves += " g1f3 g8f6 f3g1 f6g8";  // 8064 moves, back at the start
  const Lines reply = ask({"position startpos moves" + moves + " g1f3 g8f6", "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_TRUE(startsWith(reply[0], "info string game too long")) << reply[0];
  EXPECT_EQ(Lines(reply.begin() + 1, reply.end()), START_BOARD);
  EXPECT_EQ(ask({"perft 2"}).at(0), "400");
}

// With UCI_Chess960 castling is the king taking its own rook, in and out;
// without it, the king's move of the standard game.
TEST_F(EngineTest, CastlingNotation) {
  const Lines corners = {"t___r__t", "________", "________", "________",
                         "________", "________", "________", "T___R__T"};
  Lines castled = corners;
  castled[7] = "T____TR_";
  for (const auto& [option, castle, other] : {std::tuple("true", "e1h1", "e1g1"), {"false", "e1g1", "e1h1"}}) {
    ask({std::string("setoption name UCI_Chess960 value ") + option});
    const std::string fen = "pf r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves ";
    EXPECT_EQ(ask({fen + castle, "taulell"}), castled) << option;
    EXPECT_EQ(ask({fen + other, "taulell"}), withBoard(illegal(other), corners)) << option;
    const Lines moves = ask({"divide 1"});
    EXPECT_EQ(std::count(moves.begin(), moves.end(), std::string(castle) + " 1"), 1) << option;
  }
}

// Depths below 1 count as 1; a mated side has nothing to count, and counting
// leaves the position alone. (The perft files run through "perft".)
TEST_F(EngineTest, PerftAndDivideOutput) {
  Lines reply = ask({"divide 1"});
  ASSERT_EQ(reply.size(), 22u);
  std::sort(reply.begin(), reply.begin() + 20);
  EXPECT_EQ(Lines(reply.begin(), reply.begin() + 2), (Lines{"a2a3 1", "a2a4 1"}));
  EXPECT_EQ(reply[20], "20");
  EXPECT_TRUE(std::regex_match(reply[21], std::regex("ms: \\d+  n/s: \\d+"))) << reply[21];
  for (const char* command : {"perft 0", "perft", "perft -3"}) EXPECT_EQ(ask({command}).at(0), "20") << command;
  EXPECT_EQ(ask({"pf 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "perft 3"}).at(0), "0");
  EXPECT_EQ(ask({"position startpos moves e2e4 e7e5", "divide 2", "taulell"}).size(), 29u + 2u + 8u);
  EXPECT_EQ(board(), OPEN_GAME_BOARD);
}
