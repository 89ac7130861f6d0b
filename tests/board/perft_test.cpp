// A perft walk that checks, after every unmake, that the board and the
// parent record are as they were; the test builds also assert after every
// make that the incremental state equals a fresh computation. (The shared
// perft files run through every build as ctest entries of their own.)
#include <array>
#include <cstring>
#include <tuple>

#include "board_test_util.h"

namespace {

uint64_t checkedWalk(Position& pos, int depth, int& failures) {
  const std::vector<Move> moves = legalMoves(pos);
  const auto snapshot = [&pos] {
    return std::tuple(std::to_array(pos.board), std::to_array(pos.cameFrom), std::to_array(pos.pieces), pos.keyCount,
                      pos.cur);
  };
  const auto before = snapshot();
  static PlyState parents[PLY_RECORDS];
  PlyState& parent = parents[pos.cur - pos.plies];
  memcpy(&parent, pos.cur, sizeof parent);
  uint64_t leaves = 0;
  for (Move m : moves) {
    makeMove(pos, m);
    pos.cur++;
    leaves += depth > 1 ? checkedWalk(pos, depth - 1, failures) : 1;
    unmakeMove(pos, m);
    if ((snapshot() != before || memcmp(&parent, pos.cur, sizeof parent)) && failures++ < 5)
      ADD_FAILURE() << "not restored after " << moveText(m);
  }
  return leaves;
}

}  // namespace

// Positions rich in castling, en passant and promotions, Chess960 castling,
// and up to ten promoted sliders a side, each with an attack slot of its
// own. Counts from Stockfish 15.1 ("go perft").
TEST(Perft, MakeAndUnmakeKeepTheirPromises) {
  const std::tuple<const char*, int, uint64_t> walks[] = {
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
      {"r3k2r/1P6/8/8/8/8/1p6/R3K2R b KQkq - 0 1", 3, 21222},
      {"2b4k/8/8/3Pp3/6K1/8/8/8 w - e6 0 1", 3, 372},  // d5xe6 en passant blocks the bishop's check
      {"qrkr2nb/ppppp2p/4npb1/6p1/7P/P4NP1/1PPPPP2/QRKRBN1B w DBdb - 1 5", 3, 14373},
      {"rkr1nn1q/1pbpp1pp/p1p5/5p1N/P2P1P2/8/KPb1P1PP/R1RBN1BQ b ca - 3 8", 3, 21147},
      {"nnkrbqrb/pppp1ppp/4p3/8/8/1PP5/P2PPPPP/NNRKBQRB w GC - 1 3", 3, 9092},
      {"1rn1k2b/1pppr1q1/pP2bp1p/4p1p1/2P3PP/1N3P2/1P1PP3/1RNKRQBB b E - 3 20", 3, 22234},
      {"7k/6pp/8/R1R1R1R1/8/1R1R1R1R/8/RR4K1 w - - 0 1", 4, 85888},
      {"kr6/8/8/B1B1B1B1/1B1B1B1B/8/8/B1B3K1 w - - 0 1", 3, 20816},
      {"q1q1q3/1r5r/2q1q3/8/r1r1r1r1/8/5PPP/k5K1 b - - 0 1", 3, 54611},
  };
  for (const auto& [fen, depth, leaves] : walks) {
    int failures = 0;
    EXPECT_EQ(checkedWalk(load(fen), depth, failures), leaves) << fen;
    EXPECT_EQ(failures, 0) << fen;
  }
}
