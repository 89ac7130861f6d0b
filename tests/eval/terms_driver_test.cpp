// The evaluation driver: tempo, scalings and the material configurations. Expected values are worked out by hand from the weights.
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

// Everything but the tempo (9/3) cancels in the start position: 9 with
// white to move, -9 from white's view with black to move, and the result is
// the mover's view. The fifty-move scaling shifts arithmetically, towards
// minus infinity, before the mover's sign is applied.
TEST(EvalDriver, StartPositionAndFiftyMoveScaling) {
  const struct {
    const char* sideAndCounter;
    int expected;
  } cases[] = {
      {"w KQkq - 0", 9},  {"b KQkq - 0", 9},
      {"w KQkq - 20", 9}, {"w KQkq - 21", 8},  // 9 - (9 >> 3)
      {"w KQkq - 50", 8}, {"w KQkq - 51", 6},  // (9 >> 1) + (9 >> 2)
      {"w KQkq - 85", 6}, {"w KQkq - 86", 2},  // 9 >> 2
      {"b KQkq - 21", 7},                      // -9 - (-9 >> 3) = -7
      {"b KQkq - 51", 8},                      // (-9 >> 1) + (-9 >> 2) = -5 - 3
      {"b KQkq - 90", 3},                      // -9 >> 2 = -3
  };
  for (const auto& c : cases) {
    const std::string fen = std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR ") + c.sideAndCounter + " 1";
    EXPECT_EQ(evaluated(fen.c_str()), c.expected) << fen;
  }
}

// Rook and bishop against rook: kings on the d-file without castling rights
// and no piece near either king, so king safety and development cancel.
// Material 335/340, trade-down +13, tempo 9/3, rooks-and-bishops 8/8 and the
// bishop on a1 (-6 square, 7 moves: 14) give 373/372; the rook terms cancel.
// Phase (19 * 256 + 10) / 20 = 243: (13 * 373 + 243 * 372) / 256 = 372.
// An eighth is 46; without pawns that becomes 46/2 + 46/4 = 34.
TEST(EvalDriver, DrawishMaterialIsScaledDown) {
  EXPECT_EQ(evaluated("3k4/8/8/7r/R7/8/8/B2K4 w - - 0 1"), 34);
  // A bishop against a pawn: the side without pawns and with less than a
  // rook more cannot win, whatever the end-game half says.
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 w - - 0 1"), 0);
  EXPECT_EQ(evaluated("k7/p7/8/8/4B3/8/8/4K3 b - - 0 1"), 0);
}

// A bishop pair is worth less against more than five enemy pawns. Raising
// that loss by 100 shows who pays it; nothing else in the evaluation moves.
TEST(EvalDriver, BishopPairAgainstManyPawns) {
  const std::pair<const char*, int> cases[] = {
      {"4k3/pppppp2/8/8/8/8/PP6/2B1KB2 w - - 0 1", -100},    // white's pair faces six pawns
      {"4k3/ppppp3/8/8/8/8/PP6/2B1KB2 w - - 0 1", 0},        // five are not more than five
      {"2b1kb2/pp6/8/8/8/8/PPPPPP2/2B1KB2 w - - 0 1", 100},  // black's does, white's faces two
  };
  const int32_t shipped = bishopPairManyPawns;
  for (const auto& [fen, change] : cases) {
    const int before = evaluated(fen);
    bishopPairManyPawns = shipped + makeScore(100, 100);
    const int after = evaluated(fen);
    bishopPairManyPawns = shipped;
    EXPECT_EQ(after - before, change) << fen;
  }
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
    EXPECT_EQ(c.table == IMBALANCE_NONE ? 0 : int(config.sign), c.sign) << c.white << " " << c.black;
  }
}
