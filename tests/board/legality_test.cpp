// Pins, the legality test, the gives-check test and the full legality test
// used for moves read from input.
#include <tuple>

#include "board_test_util.h"

namespace {

Move mv(Square from, Square to, int kind = 0) { return makeMoveWord(from, to, kind); }

}  // namespace

TEST(Legality, PinnedRookMovesOnlyAlongThePin) {
  Position& pos = load("k3r3/8/8/8/4R3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(pos.cur->pinned, bit(E4));
  for (Move m : generated(pos, generateAll)) {
    if (moveFrom(m) != E4) continue;
    bool onFile = fileOf(moveTo(m)) == 4;
    EXPECT_EQ(isLegal(pos, m), onFile ? 0 : 1) << moveText(m);
  }
  EXPECT_EQ(isLegal(pos, mv(E4, E8)), 0);  // taking the pinner
  EXPECT_EQ(perft(pos, 1), 6u + 5u);        // e2 e3 e5 e6 e7 e8, and d1 d2 e2 f1 f2
}

TEST(Legality, EnPassantAlongTheKingsRank) {
  // Taking c5 en passant would empty the rank between king and rook.
  Position& pos = load("4k3/8/8/KPp4r/8/8/8/8 w - c6 0 2");
  Move ep = mv(B5, C6, MOVE_EN_PASSANT);
  ASSERT_TRUE(contains(generated(pos, generateCaptures), ep));
  EXPECT_EQ(isLegal(pos, ep), 1);
  // With the rook one rank up the capture is fine.
  EXPECT_EQ(isLegal(load("4k3/8/7r/KPp5/8/8/8/8 w - c6 0 2"), ep), 0);
  // A piece between them keeps the rank closed.
  EXPECT_EQ(isLegal(load("4k3/8/8/KPp2n1r/8/8/8/8 w - c6 0 2"), ep), 0);
  // The same for black, with a queen.
  EXPECT_EQ(isLegal(load("8/8/8/8/Q2Pp2k/8/8/4K3 b - d3 0 2"), mv(E4, D3, MOVE_EN_PASSANT)), 1);
}

// The legality test for input: generated, and not leaving the king in check.
TEST(Legality, MovesFromInput) {
  const std::pair<const char*, std::vector<std::pair<const char*, bool>>> cases[] = {
      {"r3k2r/8/8/8/8/8/4P3/R3K2R w Kk - 0 1",
       {{"e2e4", true}, {"e2e5", false}, {"e7e5", false}, {"a8a7", false}, {"e1g1", true}, {"e1c1", false}}},
      {"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", {{"b7b8n", true}, {"b7b8", false}}},  // must name the piece
      {"4k3/4r3/8/8/8/8/4B3/4K3 w - - 0 1", {{"e2d3", false}, {"e1d1", true}, {"e1e2", false}}},
  };
  for (const auto& [fen, moves] : cases) {
    Position& pos = load(fen);
    for (const auto& [text, legal] : moves)
      EXPECT_EQ(isLegalMove(pos, textMove(pos, text)), legal) << fen << " " << text;
  }
  Position& pos = load("r3k2r/8/8/8/8/8/4P3/R3K2R w Kk - 0 1");
  EXPECT_FALSE(isLegalMove(pos, makeMoveWord(E1, G1)));  // a two-square king step is only castling
  EXPECT_EQ(isLegal(pos, MOVE_DELETED), 1);
  EXPECT_FALSE(isLegalMove(pos, MOVE_DELETED));
  EXPECT_FALSE(isLegalMove(pos, MOVE_NONE));
}

TEST(Legality, BlockersAndPins) {
  Position& pos = load("4k3/3n4/8/1B6/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(pos.cur->pinnedEnemy, bit(D7));
  EXPECT_EQ(pos.cur->discoverers, 0u);  // an enemy piece between is no discoverer
  EXPECT_EQ(load("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1").cur->discoverers, bit(E4));
  EXPECT_EQ(load("4k3/4p3/8/8/4N3/8/8/4R1K1 w - - 0 1").cur->discoverers, 0u);  // two between
  EXPECT_EQ(load("4k3/3n4/8/1B6/8/8/8/4K3 b - - 0 1").cur->pinned, bit(D7));
  EXPECT_EQ(load("4k3/3n4/2n5/1B6/8/8/8/4K3 b - - 0 1").cur->pinned, 0u);
}

// Only the moved piece's own line and discovered lines are looked at.
TEST(Legality, GivesCheck) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"7k/P7/8/8/8/8/8/K7 w - - 0 1", "a7a8q", 1},  // promotion on the king's rank
      {"7k/P7/8/8/8/8/8/K7 w - - 0 1", "a7a8r", 1},
      {"3n3k/P7/8/8/8/8/8/K7 w - - 0 1", "a7a8q", 0},     // ... with a piece between
      {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", "e4c3", 1},   // uncovers the rook
      {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", "e4d6", 1},
      {"4k3/8/8/8/8/8/8/R5K1 w - - 0 1", "a1e1", 1},
      {"4k3/8/8/8/8/8/8/Q5K1 w - - 0 1", "a1a4", 1},      // along the diagonal a4-e8
      {"4k3/8/8/8/8/8/8/Q5K1 w - - 0 1", "a1a3", 0},
      {"4k3/8/3P4/8/8/8/8/4K3 w - - 0 1", "d6d7", 1},
  };
  for (const auto& [fen, move, check] : cases) {
    Position& pos = load(fen);
    EXPECT_EQ(givesCheck(pos, textMove(pos, move)), check) << fen << " " << move;
  }
}
