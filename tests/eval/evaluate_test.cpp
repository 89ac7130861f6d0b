// The evaluation driver and the special endings, each rule in a position
// where it settles or scales the evaluation and in a close one where it must
// stay out. Expected values are worked out by hand from the weights;
// endings are in white's view.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack

int evaluated(const std::string& fen) {
  EXPECT_TRUE(parseFen(pos, fen.c_str())) << fen;
  return evaluate(pos);
}

int32_t sigOf(int queens, int rooks, int bishops, int knights, int pawns = 0) {
  return 4096 + 16 * queens + 64 * rooks + 256 * bishops + 1024 * knights + pawns;
}

struct Ending {
  const char* fen;
  bool done;
  int value, scaleShift;
};

void expectEndings(std::initializer_list<Ending> cases) {
  for (const Ending& c : cases) {
    ASSERT_TRUE(parseFen(pos, c.fen)) << c.fen;
    EvalContext ctx;
    initEvalContext(pos, ctx);
    bool done = false;
    const int value = evaluateEndgame(pos, ctx, &done);
    EXPECT_EQ(std::tuple(value, done, ctx.scaleShift), std::tuple(c.value, c.done, c.scaleShift)) << c.fen;
  }
}

}  // namespace

// Everything but the tempo (9/3) cancels in the start position, and the
// result is the mover's view. The fifty-move scaling shifts arithmetically,
// towards minus infinity, before the mover's sign is applied.
TEST(EvalDriver, StartPositionAndFiftyMoveScaling) {
  const std::pair<const char*, int> cases[] = {
      {"w KQkq - 0", 9},  {"b KQkq - 0", 9},  {"w KQkq - 20", 9}, {"w KQkq - 21", 8},  // 9 - (9 >> 3)
      {"w KQkq - 51", 6},                                                             // (9 >> 1) + (9 >> 2)
      {"w KQkq - 86", 2},                                                             // 9 >> 2
      {"b KQkq - 21", 7}, {"b KQkq - 51", 8},  // -9 - (-9 >> 3); (-9 >> 1) + (-9 >> 2)
  };
  for (const auto& [sideAndCounter, expected] : cases)
    EXPECT_EQ(evaluated(std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ") + sideAndCounter + " 1"), expected)
        << sideAndCounter;
  // A bishop against a pawn: the side without pawns and with less than a
  // rook more cannot win, whatever the end-game half says.
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 w - - 0 1"), 0);
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 b - - 0 1"), 0);
  // Settled endings take only the mover's sign.
  EXPECT_EQ(evaluated("4k3/8/4K3/8/8/8/8/R2Q4 b - - 0 1"), -7622);
}

// Four rooks read as a bishop in the signature. With rooks cheap enough
// (a parameter file may make them so) for the drawish scaling to look,
// the bishops it would compare are not on the board.
TEST(EvalDriver, FourRooksAreNoBishop) {
  const int32_t rooks[2] = {materialValue[W_ROOK], materialValue[B_ROOK]};
  materialValue[W_ROOK] = makeScore(300, 300);
  materialValue[B_ROOK] = materialValue[W_ROOK];
  for (const char* side : {"w", "b"})  // level material: at most the tempo
    EXPECT_LE(abs(evaluated(std::string("rrrr3k/8/8/8/8/8/8/RRRR3K ") + side + " - - 0 1")), 9) << side;
  materialValue[W_ROOK] = rooks[0];
  materialValue[B_ROOK] = rooks[1];
}

// Promotions push the count of pieces past the full set, and the phase below
// 0, rounded towards 0.
TEST(EvalDriver, PhaseBeyondTheFullSet) {
  const int32_t sig[2] = {sigOf(1, 2, 2, 3), sigOf(1, 2, 2, 2, 8)};
  EXPECT_EQ(materialConfig[materialConfigIndex(sig)].phase, -12);  // (-256 + 10) / 20
}

// Kings two apart: 100. Edge bonus: a4, a5, e1, e8 70; h8 100.
TEST(EvalEndgame, WithoutPawns) {
  expectEndings({
      {"8/8/8/4k3/8/8/8/2B1K3 w - - 0 1", true, 0, 0},     // bishop alone
      {"8/8/8/4k3/8/8/8/1N2K3 w - - 0 1", true, 0, 0},     // knight alone
      {"8/8/3bk3/8/8/8/8/1NB1K3 w - - 0 1", false, 0, 4},  // two minors against one
      // Bishop and knight: 6000 + corner + 2 x 100; the corners of the
      // bishop's colour score 200, the others 130.
      {"8/8/8/8/8/2K5/8/kNB5 w - - 0 1", true, 6400, 0},   // dark bishop, a1
      {"kNB5/8/2K5/8/8/8/8/8 w - - 0 1", true, 6400, 0},   // light bishop, a8
      {"8/8/8/8/8/2K5/8/kN1B4 w - - 0 1", true, 6330, 0},  // light bishop, a1
      {"8/8/8/8/8/2k5/8/Knb5 b - - 0 1", true, -6400, 0},  // black mates
      // Rook against bishop, weak king on the a-file facing the other on
      // the c-file, bishop of the other colour, 4 from a corner the bishop
      // misses: t = 40 - 7 + 4 = 37, plus the mop-up 170 >> 3 = 21.
      {"8/8/8/4b3/k1K5/8/8/7R w - - 0 1", true, 58, 0},
      {"7r/8/8/K1k5/4B3/8/8/8 w - - 0 1", true, -59, 0},  // -170 >> 3 = -22
      {"4k3/8/4n3/8/8/8/8/R3K3 w - - 0 1", true, 57, 0},   // 20 x 2 + 70 / 4
      {"7k/5K2/8/8/8/8/r7/1Q6 w - - 0 1", true, 698, 0},   // 100 + 100 + 975 - 477
  });
}

TEST(EvalEndgame, OnePawn) {
  expectEndings({
      {"8/8/4P3/8/8/8/8/k3K3 w - - 0 1", false, 6000, 0},  // the table wins these
      {"K7/8/8/8/8/4p3/8/k7 b - - 0 1", false, -6000, 0},
      {"k7/8/P7/1K6/8/8/8/8 w - - 0 1", true, 0, 0},       // rook pawn, king in the corner
      // Rook and pawn against rook: the defending rook on the sixth draws.
      {"8/3k4/7r/8/3P4/3K4/8/R7 w - - 0 1", true, 0, 0},
      // Rook against c3 with its king on b3: 30 - 3 x 2, unless the rook's
      // king is on the move and not two from the other king.
      {"8/8/8/4K3/8/1kp5/8/7R b - - 0 1", true, 24, 0},
      {"8/8/8/4K3/8/1kp5/8/7R w - - 0 1", false, 0, 0},
      // Queen against a c-pawn on the seventh: 30 - 3 x 3; a d-pawn loses.
      {"8/8/8/4K1Q1/8/8/1kp5/8 b - - 0 1", true, 21, 0},
      {"8/8/8/4K1Q1/8/8/2kp4/8 b - - 0 1", false, 0, 0},
      // Bishop and pawn against knight: the king in front of the pawn on the
      // colour the bishop lacks.
      {"7n/8/3k4/8/3P4/8/8/K4B2 w - - 0 1", true, 0, 0},
      {"7n/8/3k4/8/3P4/4B3/8/K7 w - - 0 1", false, 0, 0},
      // Knight and a7 pawn against a king next to a8.
      {"8/Pk6/8/8/8/8/8/K5N1 w - - 0 1", true, 0, 0},
      {"8/1k6/P7/8/8/8/8/K5N1 w - - 0 1", false, 0, 0},
      // Rook and a5 pawn against a dark bishop: -100 + 12 (king below) + 12
      // (king beside) - 6 (defending king four files away).
      {"8/2b5/4k3/P7/1K6/8/8/7R w - - 0 1", false, -82, 0},
      {"8/3b4/4k3/P7/1K6/8/8/7R w - - 0 1", false, 0, 0},
  });
}

TEST(EvalEndgame, GeneralRules) {
  expectEndings({
      // A rook pawn whose corner the bishop does not cover.
      {"8/1k6/P7/8/8/8/8/2B1K3 w - - 0 1", true, 0, 0},
      {"8/1k6/P7/8/8/8/8/3BK3 w - - 0 1", false, 0, 0},    // the bishop covers a8
      {"8/1k5p/P7/8/8/8/8/2B1K3 w - - 0 1", false, 0, 4},  // the defender has a pawn
      // Queen against rook and pawn: the rook on a square the pawn guards.
      {"8/2k5/1p6/2r5/8/4K3/8/3Q4 w - - 0 1", false, 0, 3},
      {"8/2k5/1p6/8/2r5/4K3/8/3Q4 w - - 0 1", false, 0, 0},
      // Two minors against one with a pawn; a rook is no minor.
      {"8/8/3bk3/4p3/8/8/8/1NB1K3 w - - 0 1", false, 0, 4},
      {"7r/8/4k3/4p3/8/8/8/1NB1K3 w - - 0 1", false, 0, 0},
      // Bare king: 6000 + 975 + 477 + the mop-up 70 + 100.
      {"4k3/8/4K3/8/8/8/8/R2Q4 w - - 0 1", true, 7622, 0},
      {"r2q4/8/8/8/8/4k3/8/4K3 w - - 0 1", true, -7622, 0},
      // A single rook is just enough: 6000 + 477, with the king in the
      // corner 100 + 100, on a4 70 + 100.
      {"7k/8/5K2/8/8/8/8/R7 w - - 0 1", true, 6677, 0},
      {"8/8/8/8/K1k5/8/8/7r w - - 0 1", true, -6647, 0},
      // A fourth piece of a kind reads as another piece in the signature
      // (rooks as a bishop, queens as a rook, ...): only the bare-king rule
      // judges such material, 6000 + its value + the mop-up.
      {"k7/8/8/8/8/P7/P7/1RRRRK2 w - - 0 1", true, 8198, 0},
      {"8/8/8/8/8/k7/8/NNNNK3 w - - 0 1", true, 7460, 0},
      {"8/8/8/8/8/k7/p7/QQQQ2K1 b - - 0 1", false, 0, 0},
      {"8/8/8/8/8/k1p5/8/BBBBK3 w - - 0 1", false, 0, 0},
  });
}
