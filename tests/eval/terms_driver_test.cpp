// The evaluation driver: the cache, tempo, scalings and the material
// configurations. Expected values are worked out by hand from the weights.
#include <gtest/gtest.h>

#include <string>

#include "eval/eval.h"

namespace {

Position pos;  // far too large for the stack

int evaluated(const char* fen) {
  EXPECT_TRUE(parseFen(pos, fen)) << fen;
  return evaluate(pos);
}

int32_t sigOf(int queens, int rooks, int bishops, int knights, int pawns = 0) {
  return 4096 + 16 * queens + 64 * rooks + 256 * bishops + 1024 * knights + pawns;
}

const MaterialConfig& configOf(int32_t white, int32_t black) {
  const int32_t sig[2] = {white, black};
  return materialConfig[materialConfigIndex(sig)];
}

}  // namespace

// Everything but the tempo (9/3) cancels; the score is the mover's view.
TEST(EvalDriver, StartPositionScoresTheTempoForTheMover) {
  EXPECT_EQ(evaluated("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"), 9);
  EXPECT_EQ(evaluated("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 9);
}

TEST(EvalDriver, SecondCallReturnsTheStoredValue) {
  ASSERT_TRUE(parseFen(pos, startFen));
  EXPECT_EQ(pos.cur->staticEval, EVAL_NONE);
  const int v = evaluate(pos);
  EXPECT_EQ(pos.cur->staticEval, v);
  pos.cur->staticEval = 777;  // a recomputation would not give this
  EXPECT_EQ(evaluate(pos), 777);
  ASSERT_TRUE(parseFen(pos, startFen));
  EXPECT_EQ(evaluate(pos), v);
}

// The start position is 9 for white and -9 for black (white's view); the
// scaling shifts arithmetically before the mover's sign is applied.
TEST(EvalDriver, FiftyMoveCounterShrinksTheScore) {
  const struct {
    const char* counterAndSide;
    int expected;
  } cases[] = {
      {"w KQkq - 20", 9}, {"w KQkq - 21", 8},  // 9 - (9 >> 3)
      {"w KQkq - 50", 8}, {"w KQkq - 51", 6},  // (9 >> 1) + (9 >> 2)
      {"w KQkq - 85", 6}, {"w KQkq - 86", 2},  // 9 >> 2
      {"b KQkq - 21", 7},                      // -9 - (-9 >> 3) = -7
      {"b KQkq - 51", 8},                      // (-9 >> 1) + (-9 >> 2) = -5 - 3
      {"b KQkq - 90", 3},                      // -9 >> 2 = -3
  };
  for (const auto& c : cases) {
    const std::string fen = std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ") + c.counterAndSide + " 1";
    EXPECT_EQ(evaluated(fen.c_str()), c.expected) << fen;
  }
}

// Rook and bishop against rook: kings on the d-file without castling rights
// and no piece near either king, so king safety and development cancel.
// Material 335/340, trade-down +13, tempo 9/3, rooks-and-bishops 8/8 and the
// bishop on a1 (-6 square, 7 moves: 14) give 373/372; the rook terms cancel.
// Phase (19 * 256 + 10) / 20 = 243: (13 * 373 + 243 * 372) / 256 = 372.
// An eighth is 46; without pawns that becomes 46/2 + 46/4 = 34.
TEST(EvalDriver, RookAndMinorAgainstRookKeepsAnEighth) {
  EXPECT_EQ(evaluated("3k4/8/8/7r/R7/8/8/B2K4 w - - 0 1"), 34);
}

// A bishop against a pawn: the bishop side cannot win, whatever the end-game
// half says.
TEST(EvalDriver, PawnlessSideWithLessThanARookCannotWin) {
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 w - - 0 1"), 0);
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 b - - 0 1"), 0);
}

// a2 and a7 are weak on the a-file (1 each) and the kings' squares mirror
// each other, so only the white king's distance from the pawns counts: seven
// files, -90 in the end game.
TEST(EvalDriver, KingFarFromAllPawns) {
  ASSERT_TRUE(parseFen(pos, "k7/p7/8/8/8/8/P7/7K w - - 0 1"));
  PawnEntry entry{};
  evaluatePawnStructure(pos, entry);
  EXPECT_EQ(entry.score, makeScore(0, -90));
  EXPECT_EQ(entry.weak, bit(A2) | bit(A7));
  EXPECT_EQ(entry.passed, 0u);
}

TEST(EvalDriver, PhaseByPiecesLeft) {
  const int32_t full = sigOf(1, 2, 2, 2, 8);
  EXPECT_EQ(configOf(full, full).phase, 0);
  EXPECT_EQ(configOf(sigOf(1, 0, 0, 0), sigOf(0, 0, 0, 0, 3)).phase, 256);  // four units
  EXPECT_EQ(configOf(sigOf(0, 1, 1, 0), sigOf(0, 1, 0, 0)).phase, 243);     // five: 4874 / 20
  // Promotions push the count past the full set: (-256 + 10) / 20 = -12.3.
  EXPECT_EQ(configOf(sigOf(1, 2, 2, 3), full).phase, -12);
  EXPECT_EQ(configOf(sigOf(1, 2, 3, 3), full).phase, -25);  // (-512 + 10) / 20
}

TEST(EvalDriver, ImbalanceTableBySideAndMaterial) {
  const int32_t full = sigOf(1, 2, 2, 2);
  const struct {
    int32_t white, black;
    int table, sign;
  } cases[] = {
      {full, full, IMBALANCE_NONE, 0},
      {sigOf(1, 2, 2, 1), full, KNIGHT_FOR_PAWNS, 1},
      {full, sigOf(1, 2, 1, 2), BISHOP_FOR_PAWNS, -1},
      {sigOf(1, 2, 1, 2), sigOf(1, 1, 2, 2), ROOK_FOR_BISHOP, 1},
      {sigOf(0, 2, 1, 1), sigOf(1, 0, 1, 1), ROOKS_FOR_QUEEN, 1},
      {sigOf(0, 2, 2, 0), sigOf(1, 0, 0, 2), ROOKS_FOR_QUEEN, 1},  // any split of equal minors
      {sigOf(0, 2, 1, 1), sigOf(1, 0, 2, 1), IMBALANCE_NONE, 0},   // minors differ
      {sigOf(0, 1, 2, 0), sigOf(1, 0, 1, 0), ROOK_BISHOPS_FOR_QUEEN, 1},
      {sigOf(0, 1, 1, 0), sigOf(1, 0, 0, 0), ROOK_BISHOP_FOR_QUEEN, 1},
      {sigOf(1, 0, 0, 0), sigOf(0, 1, 0, 1), ROOK_KNIGHT_FOR_QUEEN, -1},
      {sigOf(0, 1, 0, 0), sigOf(0, 0, 1, 1), ROOK_FOR_TWO_MINORS, 1},
  };
  for (const auto& c : cases) {
    const MaterialConfig& config = configOf(c.white, c.black);
    EXPECT_EQ(int(config.table), c.table) << c.white << " " << c.black;
    if (c.table != IMBALANCE_NONE) {
      EXPECT_EQ(int(config.sign), c.sign) << c.white << " " << c.black;
    }
  }
  // Two rooks against a queen is a plain number by the minor pieces left.
  EXPECT_EQ(imbalance[ROOKS_FOR_QUEEN][2], -46);
  EXPECT_EQ(imbalance[ROOK_FOR_TWO_MINORS][3], makeScore(0, 24 - 30));
}
