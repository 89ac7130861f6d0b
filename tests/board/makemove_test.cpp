// Making moves: rights, counters and keys. A key after a move must equal
// the key of the same position set up from its FEN. (That unmaking restores
// the board is checked after every move of the perft walk.)
#include "board_test_util.h"

namespace {

const PlyState& fenState(const char* fen) {
  static Position other;
  EXPECT_TRUE(parseFen(other, fen)) << fen;
  return *other.cur;
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

TEST(MakeMove, CastlingMovesTheRookAndResetsTheClock) {
  Position& pos = load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 10");
  const PlyState& white = play(pos, "e1g1");
  EXPECT_EQ(pos.board[F1], W_ROOK);
  EXPECT_EQ(white.fifty, 0);
  EXPECT_EQ(white.key, fenState("r3k2r/8/8/8/8/8/8/R4RK1 b kq - 0 10").key);
  EXPECT_EQ(play(pos, "e8c8").key, fenState("2kr3r/8/8/8/8/8/8/R4RK1 w - - 0 11").key);
}

TEST(MakeMove, HalfmoveClock) {
  Position& pos = load("4k3/8/8/3p4/8/8/4P3/1N2K3 w - - 7 30");
  EXPECT_EQ(play(pos, "b1c3").fifty, 8);
  EXPECT_EQ(play(pos, "e8e7").fifty, 9);
  EXPECT_EQ(play(pos, "e2e3").fifty, 0);  // pawn move
  EXPECT_EQ(play(pos, "e7e6").fifty, 1);
  EXPECT_EQ(play(pos, "c3d5").fifty, 0);  // capture
}

// The en-passant square is recorded only when an enemy pawn stands beside
// the pawn that stepped twice, so that transpositions share one key.
TEST(MakeMove, EnPassantSquareOnlyWhenUsable) {
  EXPECT_EQ(play(load(startFen), "e2e4").key,
            fenState("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1").key);
  EXPECT_EQ(play(load("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1"), "e2e4").key,
            fenState("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1").key);
  const std::pair<const char*, const char*> none[] = {
      {"4k3/8/8/8/3P4/8/4P3/4K3 w - - 0 1", "e2e4"},  // our own pawn beside
      {"4k3/8/8/p7/8/8/7P/4K3 w - - 0 1", "h2h4"},    // a5 is no neighbour of h4
      {"4k3/8/8/8/8/7p/P7/4K3 w - - 0 1", "a2a4"},
      {"4k3/p7/8/8/7P/8/8/4K3 b - - 0 1", "a7a5"},
      {"4k3/7p/P7/8/8/8/8/4K3 b - - 0 1", "h7h5"},
  };
  for (const auto& [fen, move] : none) EXPECT_EQ(play(load(fen), move).epSquare, 0) << fen;
  EXPECT_EQ(play(load("4k3/7p/8/6P1/8/8/8/4K3 b - - 0 1"), "h7h5").epSquare, H6);
}

TEST(MakeMove, CastlingRights) {
  // Taking a rook on its corner removes its owner's right on that side.
  EXPECT_EQ(play(load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), "a1a8").castling,
            CASTLE_WHITE_SHORT | CASTLE_BLACK_SHORT);
  EXPECT_EQ(play(load("r3k2r/8/8/8/8/8/1B6/R3K2R w KQkq - 0 1"), "b2h8").castling, 15 & ~CASTLE_BLACK_SHORT);
  // A king that leaves and comes back has lost both rights.
  Position& pos = load("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  play(pos, "e1e2");
  play(pos, "h8h7");
  const PlyState& back = play(pos, "e2e1");
  EXPECT_EQ(back.castling, CASTLE_BLACK_LONG);
  EXPECT_EQ(back.key, fenState("r3k3/7r/8/8/8/8/8/R3K2R b q - 3 2").key);
}

TEST(MakeMove, Promotion) {
  Position& pos = load("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  const PlyState& st = play(pos, "a7b8n");
  EXPECT_EQ(pos.board[B8], W_KNIGHT);
  EXPECT_EQ(pos.cameFrom[B8], 127);
  EXPECT_EQ(st.captured, B_ROOK);
  EXPECT_EQ(st.materialSig[WHITE], 4096 + 1024);
  EXPECT_EQ(st.pawnKingKey, baseKey ^ sideKey ^ pieceKeys[W_KING][E1] ^ pieceKeys[B_KING][E8]);
  EXPECT_EQ(st.key, fenState("1N2k3/8/8/8/8/8/8/4K3 b - - 0 1").key);
}

TEST(MakeMove, CameFromAndPawnSteps) {
  Position& pos = load(startFen);
  EXPECT_EQ(play(pos, "g1f3").pawnStepAttacks, 0u);
  EXPECT_EQ(play(pos, "e7e5").pawnStepAttacks, bit(D4) | bit(F4));
  EXPECT_EQ(pos.cameFrom[E5], E7);
}

// Game moves become the root record; irreversible ones bound the
// repetition look-up.
TEST(MakeMove, GameMoves) {
  Position& pos = load("r3k2r/p7/8/8/8/8/8/R3K2R w KQkq - 0 1");
  const std::pair<const char*, int> moves[] = {{"a1b1", 0}, {"a8b8", 0}, {"e1g1", 2}, {"a7a6", 3}, {"b1b8", 4}};
  for (const auto& [text, irreversible] : moves) {
    makeGameMove(pos, textMove(pos, text));
    EXPECT_EQ(pos.irreversibleIndex, irreversible) << text;
  }
  EXPECT_EQ(pos.rootKeyIndex, 5);
  EXPECT_EQ(pos.cur, &pos.plies[0]);
  EXPECT_EQ(pos.keyHistory[5], pos.cur->key);
  // The root record has complete attack information, like a FEN set-up.
  const PlyState& fen = fenState("1R2k2r/8/p7/8/8/8/8/5RK1 b k - 0 3");
  EXPECT_EQ(pos.cur->key, fen.key);
  EXPECT_EQ(pos.cur->attacks[WHITE], fen.attacks[WHITE]);
  EXPECT_EQ(pos.cur->evasionMask, fen.evasionMask);
  EXPECT_TRUE(inCheck(pos));
}
