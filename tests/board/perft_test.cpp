// Move-generation counts against the shared perft files and against counts
// computed by another engine, and a walk that checks what make and unmake
// promise after every single move. The counts also check the slider
// look-ups: a magic multiplier with a harmful collision fails them.
#include <array>
#include <cstring>
#include <tuple>

#include "board_test_util.h"
#include "../support/test_data.h"

namespace {

// Checks every depth of every case whose count is within the leaf budget.
void checkCounts(const std::vector<PerftCase>& cases) {
  int checked = 0;
  for (const PerftCase& c : cases) {
    Position& pos = load(c.fen.c_str());
    for (size_t depth = 1; depth <= c.counts.size() && c.counts[depth - 1] <= leafBudget(); depth++, checked++)
      EXPECT_EQ(perft(pos, int(depth)), c.counts[depth - 1]) << c.origin << " depth " << depth << ": " << c.fen;
  }
  EXPECT_GT(checked, 0);
  std::printf("[ perft    ] %d counts checked (leaf budget %llu)\n", checked, (unsigned long long)leafBudget());
}

// What unmaking a move must restore besides the parent record.
auto snapshot(const Position& pos) {
  return std::tuple(std::to_array(pos.board), std::to_array(pos.cameFrom), std::to_array(pos.pieces), pos.keyCount,
                    pos.cur);
}

// Perft that makes every leaf move too and checks, after each make, that
// the incremental keys and counters equal a fresh computation, and after
// each unmake, that the board and the parent record are as they were.
uint64_t checkedWalk(Position& pos, int depth, int& failures) {
  std::vector<Move> moves = legalMoves(pos);
  const auto before = snapshot(pos);
  static PlyState parents[PLY_RECORDS];
  PlyState& parent = parents[pos.cur - pos.plies];
  memcpy(&parent, pos.cur, sizeof parent);
  uint64_t leaves = 0;
  for (Move m : moves) {
    makeMove(pos, m);
    pos.cur++;
    if ((!incrementalStateMatches(pos) || pos.cur->lastMove != m) && failures++ < 5)
      ADD_FAILURE() << "state after " << moveText(m);
    leaves += depth > 1 ? checkedWalk(pos, depth - 1, failures) : 1;
    unmakeMove(pos, m);
    if ((snapshot(pos) != before || memcmp(&parent, pos.cur, sizeof parent)) && failures++ < 5)
      ADD_FAILURE() << "not restored after " << moveText(m);
  }
  return leaves;
}

}  // namespace

TEST(Perft, SharedFiles) {
  for (const char* name : {"standard.epd", "extra.epd"}) {
    const std::vector<PerftCase> cases = readPerftFile(name);
    if (cases.empty()) GTEST_SKIP() << MISSING_DATA;
    checkCounts(cases);
  }
}

// Published counts of positions rich in castling, en passant and promotions.
TEST(Perft, MakeAndUnmakeKeepTheirPromises) {
  const std::tuple<const char*, int, uint64_t> walks[] = {
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 3, 97862},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
      {"r3k2r/1P6/8/8/8/8/1p6/R3K2R b KQkq - 0 1", 3, 21222},
      // d5xe6 en passant blocks the bishop's check (Stockfish 15.1).
      {"2b4k/8/8/3Pp3/6K1/8/8/8 w - e6 0 1", 3, 372},
      // Chess960 castling (frc-random.epd), kings and rooks on the b- to g-files.
      {"qrkr2nb/ppppp2p/4npb1/6p1/7P/P4NP1/1PPPPP2/QRKRBN1B w DBdb - 1 5", 3, 14373},
      {"rkr1nn1q/1pbpp1pp/p1p5/5p1N/P2P1P2/8/KPb1P1PP/R1RBN1BQ b ca - 3 8", 3, 21147},
      {"nnkrbqrb/pppp1ppp/4p3/8/8/1PP5/P2PPPPP/NNRKBQRB w GC - 1 3", 3, 9092},
      {"1rn1k2b/1pppr1q1/pP2bp1p/4p1p1/2P3PP/1N3P2/1P1PP3/1RNKRQBB b E - 3 20", 3, 22234},
  };
  for (const auto& [fen, depth, leaves] : walks) {
    Position& pos = load(fen);
    int failures = 0;
    EXPECT_EQ(checkedWalk(pos, depth, failures), leaves) << fen;
    EXPECT_EQ(failures, 0) << fen;
  }
}

// Promotions can give one side up to ten bishops, rooks or queens; each
// needs its own attack slot, from which its moves are generated. Counts from
// Stockfish 15.1 ("go perft").
TEST(Perft, ManyPromotedSliders) {
  const std::vector<PerftCase> cases = {
      {"7k/6pp/8/R1R1R1R1/8/1R1R1R1R/8/RR4K1 w - - 0 1", {78, 287, 22866, 85888}, "ten white rooks"},
      {"kr6/8/8/B1B1B1B1/1B1B1B1B/8/8/B1B3K1 w - - 0 1", {44, 472, 20816, 218390}, "ten white bishops"},
      {"q1q1q3/1r5r/2q1q3/8/r1r1r1r1/8/5PPP/k5K1 b - - 0 1", {89, 592, 54611, 357505}, "five queens, six rooks"},
      {"R6R/3Q4/1Q4Q1/4Q3/2Q4Q/Q4Q2/pp1Q4/kBNN1KB1 w - - 0 1", {218, 99, 19073, 85043}, "nine queens"},
  };
  for (const PerftCase& c : cases) EXPECT_TRUE(isLegalPosition(load(c.fen.c_str()))) << c.origin;
  checkCounts(cases);
}
