// FEN set-up, the refusal of positions the engine cannot play from, and the
// text form of moves.
#include <array>
#include <tuple>

#include "board_test_util.h"
#include "../support/test_data.h"

TEST(Fen, RefusedTextAndPositions) {
  const char* refused[] = {
      "", "4k3/8/8/8/8/8/8/4K3", "4k3/8/8/8/8/8/8/4K3 white - - 0 1", "4k3/8/8/8/8/8/8/4K3 b - i3 0 1",
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",      // 63 squares
      "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",     // unknown letter
      "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e4 0 1",  // en passant on the wrong rank
      "8/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/3KK3 w - - 0 1",
      "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",  // the side not to move in check
      "8/8/8/8/8/8/3k4/4K3 b - - 0 1",    // kings side by side
      "P3k3/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/p3K3 b - - 0 1",
      // More pieces than promotions explain; forty queens overflow a packed
      // material total and the attack slots.
      "4k3/8/8/8/8/P7/PPPPPPPP/4K3 w - - 0 1", "4k3/8/8/8/8/Q7/PPPPPPPP/3QK3 w - - 0 1",
      "4k3/8/8/8/8/N7/PPPPPPPP/1N2K1N1 w - - 0 1", "6RK/6PP/8/8/8/qq6/qqqq4/qqqq3k b - - 0 1",
      "k7/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/8/7K w - - 0 1",
  };
  for (const char* fen : refused)
    EXPECT_FALSE(parseFen(testPosition(), fen) && isLegalPosition(testPosition())) << fen;
  // The side to move may be in check; seven pawns leave room for a queen.
  EXPECT_TRUE(isLegalPosition(load("4k3/8/8/8/8/8/4r3/4K3 w - - 0 1")));
  EXPECT_TRUE(isLegalPosition(load("4k3/8/8/8/8/Q7/PPPPPPP1/3QK3 w - - 0 1")));
  // A FEN cut short after the side reads as no rights, no en-passant square
  // and clock 0; clocks out of range are clamped.
  const PlyState& cut = *load("r3k2r/8/8/8/8/8/8/R3K2R b").cur;
  EXPECT_EQ(std::tuple(cut.side, cut.castling, cut.epSquare, cut.fifty), std::tuple(BLACK, 0, 0, 0));
  for (const auto& [clock, fifty] : {std::pair(" 5000 1", 1000), {" 99999999999999999999 1", 1000}, {" -3 1", 0}})
    EXPECT_EQ(load((std::string("4k3/8/8/8/8/8/8/4K3 w - -") + clock).c_str()).cur->fifty, fifty) << clock;
}

// Shredder-FEN names the files of the castling rooks; X-FEN's K and Q the
// outermost rook on that side of the king, a file letter an inner one.
TEST(Fen, CastlingFields) {
  const std::tuple<const char*, int, std::array<Square, 4>> accepted[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w HAha - 0 1", 15, {H1, H8, A1, A8}},
      {"rk2r3/8/8/8/8/8/8/RK2R3 w KQkq - 0 1", 15, {E1, E8, A1, A8}},
      {"r3k1r1/8/8/8/8/8/8/R3KR1R w FQq - 0 1", 1 | 4 | 8, {F1, 0, A1, A8}},
      {"r3k1r1/8/8/8/8/8/8/R3KR1R w Hkq - 0 1", 1 | 2 | 8, {H1, G8, 0, A8}},
  };
  for (const auto& [fen, rights, rooks] : accepted) {
    const Position& pos = load(fen);
    EXPECT_EQ(pos.cur->castling, rights) << fen;
    for (int index = 0; index < 4; index++)
      EXPECT_EQ(rights & (1 << index) ? pos.castlingRook[index] : 0, rooks[index]) << fen << " right " << index;
  }
  for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w K - 0 1",       // no rook beside the king
                          "r3k3/8/8/8/8/8/8/4K2R w A - 0 1",     // no white rook on a1
                          "4k3/8/8/8/8/8/8/R3K3 w E - 0 1",      // the king's own file
                          "4k3/8/8/8/8/8/4K3/R6R w KQ - 0 1",    // the king off its back rank
                          "4k3/8/8/8/8/8/8/4KR1R w FH - 0 1"})   // two rooks on one side
    EXPECT_FALSE(parseFen(testPosition(), fen)) << fen;
}

// A square is taken as given (even if no pawn can capture), unless no
// double step can have produced it or taking the pawn would open a diagonal
// onto the king.
TEST(Fen, EnPassantField) {
  const std::string board = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR ";
  const std::pair<std::string, int> cases[] = {
      {board + "b KQkq e3 0 1", E3},
      {board + "w KQkq e3 0 1", 0},                                          // wrong side to move
      {"rnbqkbnr/pppppppp/8/8/4P3/4N3/PPPP1PPP/RNBQKB1R b KQkq e3 0 1", 0},  // square occupied
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 0},      // no pawn in front
      {"1b5k/8/8/3PpP2/8/8/7K/8 w - e6 0 1", 0},   // taking e5 opens the bishop's diagonal
      {"7k/8/8/3PpP2/8/8/7K/8 w - e6 0 1", E6},
      {"8/8/8/8/1k1Pp2R/8/8/4K3 b - d3 0 1", D3},  // along the rank the legality test sees it
      {"2b4k/8/8/3Pp3/6K1/8/8/8 w - e6 0 1", E6},  // taking on e6 blocks the check
  };
  for (const auto& [fen, ep] : cases) {
    EXPECT_EQ(load(fen.c_str()).cur->epSquare, ep) << fen;
    EXPECT_TRUE(incrementalStateMatches(testPosition())) << fen;  // the key agrees
  }
}

// The keys are one Mersenne Twister's output seeded 82352, two 32-bit draws
// per key with the high half first, drawn in the order side, en passant by
// file, castling by rights, one unused, pieces by code and square, base.
TEST(Fen, KeysFollowTheirDrawOrder) {
  EXPECT_EQ(sideKey, 0xCC00E31BF3DAE5E7ULL);
  const PlyState& st = *load("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b Kq e3 0 1").cur;
  EXPECT_EQ(std::pair(st.key, st.pawnKingKey), std::pair(uint64_t(0x0CAB6FEA839D0F96), uint64_t(0x5A161E04B42626D6)));
}

// Moves read from text carry the kind the position implies; castling is the
// king's move from e1 whoever is to move, but a rook there does not castle.
TEST(MoveText, ReadingAndWriting) {
  Position& pos = load("r3k2r/4P3/8/8/3pP3/8/8/R3K2R b KQkq e3 0 1");
  EXPECT_EQ(textMove(pos, "e4e5x"), Move(E4 | E5 << 6));  // not a promotion letter
  EXPECT_EQ(textMove(pos, "e1g1"), makeMoveWord(E1, G1, MOVE_CASTLE));
  EXPECT_EQ(textMove(pos, "d4e3"), Move(D4 | E3 << 6 | MOVE_EN_PASSANT));
  for (const char* bad : {"i2i4", "e2", "E2E4"}) EXPECT_EQ(textMove(pos, bad), MOVE_NONE) << bad;
  EXPECT_EQ(textMove(load("4k3/8/8/8/8/8/8/K3R3 w - - 0 1"), "e1g1"), Move(E1 | G1 << 6));
}

// In Chess960 notation castling is the king taking the rook of a right it
// holds, whoever is to move; the king's two-step is then no castling.
TEST(MoveText, Chess960Castling) {
  Position& pos = load("1r2k1r1/8/8/8/8/8/8/RK2R2R w AEbg - 0 1");
  const std::tuple<const char*, bool, Move> cases[] = {
      {"b1a1", true, makeMoveWord(B1, C1, MOVE_CASTLE)}, {"b1e1", true, makeMoveWord(B1, G1, MOVE_CASTLE)},
      {"e8b8", true, makeMoveWord(E8, C8, MOVE_CASTLE)}, {"b1h1", true, makeMoveWord(B1, H1)},  // no right
      {"e8c8", false, makeMoveWord(E8, C8, MOVE_CASTLE)}, {"e8c8", true, makeMoveWord(E8, C8)},
  };
  for (const auto& [text, chess960, m] : cases) {
    EXPECT_EQ(textMove(pos, text, chess960), m) << text << " " << chess960;
    EXPECT_TRUE(!isCastling(m) || moveText(m, chess960) == text) << text;
  }
  // Every legal move of the Chess960 positions reads back from its text.
  int castlings = 0;
  for (const std::string& fen : perftFens("frc-random.epd")) {
    Position& p = load(fen.c_str());
    for (Move m : legalMoves(p)) {
      EXPECT_EQ(textMove(p, moveText(m, true).c_str(), true), m) << fen << " " << moveText(m, true);
      castlings += isCastling(m);
    }
  }
  if (castlings == 0) GTEST_SKIP() << MISSING_DATA;
}
