// Making moves: en-passant squares, game moves and castling from any files.
// (The test builds assert after every move that keys, material and
// signatures agree with a fresh computation; the perft walk checks what
// unmaking restores.)
#include <algorithm>
#include <array>
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
  const Move m = textMove(pos, text);
  EXPECT_TRUE(isLegalMove(pos, m)) << text;
  makeMove(pos, m);
  pos.cur++;
  return *pos.cur;
}

}  // namespace

// The en-passant square is recorded only when an enemy pawn stands beside
// the pawn that stepped twice, so that transpositions share one key.
TEST(MakeMove, EnPassantSquareOnlyWhenUsable) {
  EXPECT_EQ(play(load(startFen), "e2e4").key, fenKey("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"));
  EXPECT_EQ(play(load("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1"), "e2e4").key, fenKey("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1"));
  EXPECT_EQ(play(load("4k3/8/8/p7/8/8/7P/4K3 w - - 0 1"), "h2h4").epSquare, 0);  // a5 is no neighbour of h4
  EXPECT_EQ(play(load("4k3/7p/8/6P1/8/8/8/4K3 b - - 0 1"), "h7h5").epSquare, H6);
}

// Game moves become the root record; pawn moves, captures and castling
// reset the clock and bound the repetition look-up.
TEST(MakeMove, GameMoves) {
  Position& pos = load("r3k2r/p7/8/8/8/8/8/R3K2R w KQkq - 7 30");
  const std::tuple<const char*, int, int> moves[] = {
      {"a1b1", 0, 8}, {"a8b8", 0, 9}, {"e1g1", 2, 0}, {"a7a6", 3, 0}, {"b1b8", 4, 0}};
  for (const auto& [text, irreversible, fifty] : moves) {
    makeGameMove(pos, textMove(pos, text));
    EXPECT_EQ(std::pair(pos.irreversibleIndex, int(pos.cur->fifty)), std::pair(irreversible, fifty)) << text;
  }
  EXPECT_EQ(std::tuple(pos.rootKeyIndex, pos.cur, pos.keyHistory[5]), std::tuple(5, &pos.plies[0], pos.cur->key));
  EXPECT_EQ(pos.cur->key, fenKey("1R2k2r/8/p7/8/8/8/8/5RK1 b k - 0 3"));
  EXPECT_TRUE(inCheck(pos));
}

// Castling with king and rook where only Chess960 puts them, worked out by
// hand: the position after it, or "" where it may not be played.
TEST(MakeMove, CastlingFromAnyFiles) {
  const std::tuple<const char*, Square, Square, const char*> cases[] = {
      {"4k3/8/8/8/8/8/8/RK6 w A - 0 1", B1, C1, "4k3/8/8/8/8/8/8/2KR4 b - - 0 1"},  // the king steps right
      {"4k3/8/8/8/8/8/8/5KR1 w G - 0 1", F1, G1, "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},  // king and rook swap
      {"4k3/8/8/8/8/8/8/6KR w H - 0 1", G1, G1, "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},   // the king stays
      {"4k3/8/8/8/8/8/8/3RK3 w D - 0 1", E1, C1, "4k3/8/8/8/8/8/8/2KR4 b - - 0 1"},  // the rook stays
      {"4k3/8/8/8/8/8/8/1K3R2 w F - 0 1", B1, G1, "4k3/8/8/8/8/8/8/5RK1 b - - 0 1"},  // it blocks only itself
      {"4k3/8/8/8/8/8/8/1K1N1R2 w F - 0 1", B1, G1, ""},                              // a knight in the way
      {"4k3/8/8/8/8/8/8/1R1K4 w B - 0 1", D1, C1, "4k3/8/8/8/8/8/8/2KR4 b - - 0 1"},
      {"4k3/8/8/8/8/8/8/rR1K4 w B - 0 1", D1, C1, ""},  // the rook hides a1's attack on c1
  };
  for (const auto& [fen, king, to, after] : cases) {
    Position& pos = load(fen);
    const auto before = std::pair(std::to_array(pos.board), std::to_array(pos.pieces));
    const Move m = makeMoveWord(king, to, MOVE_CASTLE);
    const std::vector<Move> legal = legalMoves(pos);
    EXPECT_EQ(std::count(legal.begin(), legal.end(), m), *after ? 1 : 0) << fen;
    if (!*after) continue;
    makeMove(pos, m);
    pos.cur++;
    EXPECT_EQ(std::tuple(pos.cur->key, pos.cur->captured, int(pos.cur->fifty)), std::tuple(fenKey(after), 0, 0)) << fen;
    unmakeMove(pos, m);
    EXPECT_EQ(std::pair(std::to_array(pos.board), std::to_array(pos.pieces)), before) << fen;
  }
}

// A right goes with its king or its rook, wherever the rook stands.
TEST(MakeMove, CastlingRightsLost) {
  const std::pair<const char*, int> cases[] = {
      {"e4b1", CASTLE_BLACK_SHORT | CASTLE_BLACK_LONG},  // the b1 rook is taken
      {"b8b1", CASTLE_BLACK_SHORT},
      {"g8g2", CASTLE_WHITE_LONG | CASTLE_BLACK_LONG},
      {"e8d8", CASTLE_WHITE_LONG},
  };
  for (const auto& [move, rights] : cases)
    EXPECT_EQ(play(load("1r2k1r1/8/8/8/4b3/8/8/1R2K3 b Bbg - 0 1"), move).castling, rights) << move;
}
