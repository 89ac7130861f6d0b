// Setting the game position through "position" and "pf", what is refused,
// and the move-generation commands that report on it.

#include <tuple>

#include "uci_test_util.h"

namespace {

const std::string REFUSED = "info string refused FEN, position unchanged: ";
std::string illegal(const std::string& move) {
  return "info string illegal move " + move + ", it and the moves after it are ignored";
}

Lines withBoard(const std::string& first, const Lines& board) {
  Lines lines{first};
  lines.insert(lines.end(), board.begin(), board.end());
  return lines;
}

}  // namespace

TEST_F(EngineTest, ThreeWaysToTheSamePosition) {
  EXPECT_EQ(board(), START_BOARD);
  const std::string ways[] = {"position startpos moves e2e4 e7e5", std::string("position fen ") + OPEN_GAME_FEN,
                              std::string("pf ") + OPEN_GAME_FEN,
                              "pf rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 moves e2e4 e7e5",
                              // Without castling rights, which three plies cannot use.
                              "pf rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w moves e2e4 e7e5"};
  for (const std::string& way : ways) {
    EXPECT_EQ(ask({way, "taulell"}), OPEN_GAME_BOARD) << way;
    // Rights and side to move agree too (Stockfish's count after 1.e4 e5).
    EXPECT_EQ(ask({"perft 3"}).at(0), "24825") << way;
  }
  EXPECT_EQ(ask({"position startpos", "taulell"}), START_BOARD);
}

// (Which positions are refused is tested in-process.)
TEST_F(EngineTest, RefusedFenLeavesThePosition) {
  const std::string twoKings = "4k3/8/8/8/8/8/8/3KK3 w - - 0 1";
  ask({"position startpos moves e2e4 e7e5"});
  EXPECT_EQ(ask({"position fen " + twoKings + " moves d2d4", "taulell"}),
            withBoard(REFUSED + twoKings + " moves d2d4", OPEN_GAME_BOARD));
  EXPECT_EQ(ask({"pf hello world", "taulell"}), withBoard(REFUSED + "hello world", OPEN_GAME_BOARD));
  const std::string noRook = "4k3/8/8/8/8/8/8/4K3 w K - 0 1";
  EXPECT_EQ(ask({"pf " + noRook, "taulell"}), withBoard(REFUSED + noRook, OPEN_GAME_BOARD));
  // No FEN at all, and a long one quoted in part on one line.
  EXPECT_EQ(ask({"position fen", "taulell"}), withBoard(REFUSED, OPEN_GAME_BOARD));
  Lines reply = ask({"pf " + std::string(500, 'k'), "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_EQ(reply[0].rfind(REFUSED + "kkk", 0), 0u) << reply[0];
}

// The moves before the first bad one are played.
TEST_F(EngineTest, IllegalMovesStopTheMoveList) {
  for (const char* move : {"g1g5", "e7e9", "e1g1", "e5e4", "e7e8q"})
    EXPECT_EQ(ask({std::string("position startpos moves e2e4 e7e5 ") + move + " b1c3", "taulell"}),
              withBoard(illegal(move), OPEN_GAME_BOARD));
  // A promotion must name its piece.
  EXPECT_EQ(ask({"pf 8/P3k3/8/8/8/8/8/4K3 w - - 0 1 moves a7a8", "taulell"}).at(0), illegal("a7a8"));
  EXPECT_EQ(ask({"pf 8/P3k3/8/8/8/8/8/4K3 w - - 0 1 moves a7a8n", "taulell"}).at(0), "C_______");
  // An endless token is quoted in part.
  Lines reply = ask({"position startpos moves e2e4 " + std::string(300, 'a'), "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_LT(reply[0].size(), 100u);
}

// Game moves fill the key history; the last entries stay free for the search.
TEST_F(EngineTest, OverlongGameIsCut) {
  std::string moves;
  for (int i = 0; i < 2016; i++) moves += " g1f3 g8f6 f3g1 f6g8";  // 8064 moves, back at the start
  Lines reply = ask({"position startpos moves" + moves + " g1f3 g8f6", "taulell"});
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_EQ(reply[0].rfind("info string game too long", 0), 0u) << reply[0];
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
  const std::tuple<const char*, const char*, const char*> modes[] = {{"true", "e1h1", "e1g1"}, {"false", "e1g1", "e1h1"}};
  for (const auto& [option, castle, other] : modes) {
    ask({std::string("setoption name UCI_Chess960 value ") + option});
    const std::string fen = "pf r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves ";
    EXPECT_EQ(ask({fen + castle, "taulell"}), castled) << option;
    EXPECT_EQ(ask({fen + other, "taulell"}), withBoard(illegal(other), corners)) << option;
    const Lines moves = ask({"divide 1"});
    EXPECT_EQ(std::count(moves.begin(), moves.end(), std::string(castle) + " 1"), 1) << option;
  }
}

TEST_F(EngineTest, PerftAndDivideOutput) {
  const std::regex timing("ms: \\d+  n/s: \\d+");
  Lines reply = ask({"divide 1"});
  ASSERT_EQ(reply.size(), 22u);
  std::sort(reply.begin(), reply.begin() + 20);
  EXPECT_EQ(Lines(reply.begin(), reply.begin() + 4), (Lines{"a2a3 1", "a2a4 1", "b1a3 1", "b1c3 1"}));
  EXPECT_EQ(reply[19], "h2h4 1");
  EXPECT_EQ(reply[20], "20");
  EXPECT_TRUE(std::regex_match(reply[21], timing)) << reply[21];
  // Depths below 1 count as 1.
  const std::pair<const char*, const char*> counts[] = {
      {"perft 0", "20"}, {"perft", "20"}, {"perft -3", "20"}, {"perft 2", "400"}};
  for (const auto& [command, count] : counts) {
    reply = ask({command});
    ASSERT_EQ(reply.size(), 2u) << command;
    EXPECT_EQ(reply[0], count) << command;
    EXPECT_TRUE(std::regex_match(reply[1], timing)) << reply[1];
  }
  // A mated side has nothing to count, and counting leaves the position alone.
  EXPECT_EQ(ask({"pf 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "perft 3"}).at(0), "0");
  EXPECT_EQ(ask({"position startpos moves e2e4 e7e5", "divide 2", "taulell"}).size(), 29u + 2u + 8u);
  EXPECT_EQ(board(), OPEN_GAME_BOARD);
}
