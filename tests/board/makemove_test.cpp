// Making moves: counters, en-passant squares and game moves. (That keys,
// material and signatures agree with a fresh computation is asserted after
// every move in the test builds, and the perft walk checks what unmaking
// restores.)
#include <tuple>

#include "board_test_util.h"

namespace {

uint64_t fenKey(const char* fen) {
  static Position other;
  EXPECT_TRUE(parseFen(other, fen)) << fen;
  return other.cur->key;
}

// Plays a legal move and advances to the child record.
const PlyState& play(Position& pos, const char* text) {
  Move m = textMove(pos, text);
  EXPECT_TRUE(isLegalMove(pos, m)) << text;
  makeMove(pos, m);
  pos.cur++;
  computeAttacks(pos);  // what the next move's legality test reads
  pos.cur->pinned = findBlockers(pos, 1, pos.cur->side);
  return *pos.cur;
}

}  // namespace

// Pawn moves, captures and castling reset the clock. (Castling rights and
// the keys of every move are checked by the perft counts and the
// assertions that run with them.)
TEST(MakeMove, HalfmoveClock) {
  Position& pos = load("4k3/8/8/3p4/8/8/4P3/1N2K2R w K - 7 30");
  for (const auto& [move, fifty] :
       {std::pair("b1c3", 8), {"e8e7", 9}, {"e1g1", 0}, {"e7e6", 1}, {"e2e3", 0}, {"e6e7", 1}, {"c3d5", 0}})
    EXPECT_EQ(play(pos, move).fifty, fifty) << move;
}

// The en-passant square is recorded only when an enemy pawn stands beside
// the pawn that stepped twice, so that transpositions share one key.
TEST(MakeMove, EnPassantSquareOnlyWhenUsable) {
  EXPECT_EQ(play(load(startFen), "e2e4").key, fenKey("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"));
  EXPECT_EQ(play(load("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1"), "e2e4").key, fenKey("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1"));
  const std::pair<const char*, const char*> none[] = {
      {"4k3/8/8/8/3P4/8/4P3/4K3 w - - 0 1", "e2e4"},  // our own pawn beside
      {"4k3/8/8/p7/8/8/7P/4K3 w - - 0 1", "h2h4"},    // a5 is no neighbour of h4
      {"4k3/p7/8/8/7P/8/8/4K3 b - - 0 1", "a7a5"},
  };
  for (const auto& [fen, move] : none) EXPECT_EQ(play(load(fen), move).epSquare, 0) << fen;
  EXPECT_EQ(play(load("4k3/7p/8/6P1/8/8/8/4K3 b - - 0 1"), "h7h5").epSquare, H6);
}

// Where each piece came from, which the move ordering reads: 127 after a
// promotion.
TEST(MakeMove, CameFrom) {
  Position& pos = load("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  play(pos, "a7b8n");
  EXPECT_EQ(pos.cameFrom[B8], 127);
  play(load(startFen), "e2e4");
  EXPECT_EQ(pos.cameFrom[E4], E2);
}

// Game moves become the root record; irreversible ones bound the
// repetition look-up. (The pipe tests count moves from positions set up
// with game moves.)
TEST(MakeMove, GameMoves) {
  Position& pos = load("r3k2r/p7/8/8/8/8/8/R3K2R w KQkq - 0 1");
  for (const auto& [text, irreversible] : {std::pair("a1b1", 0), {"a8b8", 0}, {"e1g1", 2}, {"a7a6", 3}, {"b1b8", 4}}) {
    makeGameMove(pos, textMove(pos, text));
    EXPECT_EQ(pos.irreversibleIndex, irreversible) << text;
  }
  EXPECT_EQ(std::tuple(pos.rootKeyIndex, pos.cur, pos.keyHistory[5]), std::tuple(5, &pos.plies[0], pos.cur->key));
  EXPECT_EQ(pos.cur->key, fenKey("1R2k2r/8/p7/8/8/8/8/5RK1 b k - 0 3"));
  EXPECT_TRUE(inCheck(pos));
}
