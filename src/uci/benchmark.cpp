// "quillon bench [depth]": a fixed workload of searches whose total node
// count identifies the search. A change that should not alter the search
// must leave the count as it is.
#include <cstdio>

#include "uci.h"
#include "../eval/eval.h"
#include "../platform/platform.h"

namespace {

constexpr int DEFAULT_BENCH_DEPTH = 11;

// Openings, middle games with tactics, endings and a few special cases
// (promotions, a mate in one, a single reply).
const char* const benchPositions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9",
    "r1bq1rk1/bpp2ppp/p1n2n2/3pp3/4P3/1BPPBN2/PP3PPP/RN1Q1RK1 w - - 0 9",
    "1rbq1rk1/1p1pppbp/p1n2np1/2p5/2P5/2NP1NP1/PP2PPBP/1RBQ1RK1 w - - 2 9",
    "r2q1rk1/pbpp1pp1/1pn1pn1p/8/1bPP3B/2N1PN2/PPQ2PPP/R3KB1R w KQ - 1 9",
    "rnb1qrk1/ppp3pp/3p1n2/4pp2/2P5/2Q2NP1/PP1PPPBP/R1B2RK1 w - - 4 9",
    "r1bqk2r/pp3pb1/2np2pn/2p1p2p/2P5/P1N1P1PP/1P1P1PB1/1RBQK1NR w Kkq - 0 9",
    "r1bqk2r/pp1nb1pp/2pp1n2/5p2/2PPp3/6PN/PP2PPBP/RNBQ1RK1 w kq - 2 9",
    "rn2k1nr/pp3ppp/1q2p3/2bpP3/1P6/2Pb1N2/P4PPP/RNBQK2R w KQkq - 0 9",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - 0 1",
    "3r1k2/4npp1/1ppr3p/p6P/P2PPPP1/1NR5/5K2/2R5 w - - 0 1",
    "2q1rr1k/3bbnnp/p2p1pp1/2pPp3/PpP1P1P1/1P2BNNP/2BQ1PRK/7R b - - 0 1",
    "rnbqkb1r/p3pppp/1p6/2ppP3/3N4/2P5/PPP1QPPP/R1B1KB1R w KQkq - 0 1",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1",
    "2r3k1/pppR1pp1/4p3/4P1P1/5P2/1P4K1/P1P5/8 w - - 0 1",
    "1nk1r1r1/pp2n1pp/4p3/q2pPp1N/b1pP1P2/B1P2R2/2P1B1PP/R2Q2K1 w - - 0 1",
    "2kr1bnr/pbpq4/2n1pp2/3p3p/3P1P1B/2N2N1Q/PPP3PP/2KR1B1R w - - 0 1",
    "3rr1k1/pp3pp1/1qn2np1/8/3p4/PP1R1P2/2P1NQPP/R1B3K1 b - - 0 1",
    "2r1nrk1/p2q1ppp/bp1p4/n1pPp3/P1P1P3/2PBB1N1/4QPPP/R4RK1 w - - 0 1",
    "r3r1k1/ppqb1ppp/8/4p1NQ/8/2P5/PP3PPP/R3R1K1 b - - 0 1",
    "4b3/p3kp2/6p1/3pP2p/2pP1P2/4K1P1/P3N2P/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "8/8/1p1r1k2/p1pPN1p1/P3KnP1/1P6/8/3R4 b - - 0 1",
    "6k1/6p1/6Pp/ppp5/3pn2P/1P3K2/1PP2P2/3N4 b - - 0 1",
    "3b4/5kp1/1p1p1p1p/pP1PpP1P/P1P1P3/3KN3/8/8 w - - 0 1",
    "2K5/p7/7P/5pR1/8/5k2/r7/8 w - - 0 1",
    "8/6pk/1p6/8/PP3p1p/5P2/4KP1q/3Q4 w - - 0 1",
    "7k/3p2pp/4q3/8/4Q3/5Kp1/P6b/8 w - - 0 1",
    "8/2p5/8/2kPKp1p/2p4P/2P5/3P4/8 w - - 0 1",
    "8/1p3pp1/7p/5P1P/2k3P1/8/2K2P2/8 w - - 0 1",
    "8/pp2r1k1/2p1p3/3pP2p/1P1P1P1P/P5KR/8/8 w - - 0 1",
    "8/3p4/p1bk3p/Pp6/1Kp1PpPp/2P2P1P/2P5/5B2 b - - 0 1",
    "5k2/7R/4P2p/5K2/p1r2P1p/8/8/8 b - - 0 1",
    "6k1/6p1/P6p/r1N5/5p2/7P/1b3PP1/4R1K1 w - - 0 1",
    "1r3k2/4q3/2Pp3b/3Bp3/2Q2p2/1p1P2P1/1P2KP2/3N4 w - - 0 1",
    "6k1/4pp1p/3p2p1/P1pPb3/R7/1r2P1PP/3B1P2/6K1 w - - 0 1",
    "8/3p3B/5p2/5P2/p7/PP5b/k7/6K1 w - - 0 1",
    "8/8/8/8/5kp1/P7/8/1K1N4 w - - 0 1",
    "8/8/8/5N2/8/p7/8/2NK3k w - - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "6k1/5ppp/8/8/8/8/5PPP/3r2K1 w - - 0 1",
    "7k/8/8/8/8/8/6PB/r6K w - - 0 1",
};

}  // namespace

int runSearchBench(int depth) {
  if (depth < 1) depth = DEFAULT_BENCH_DEPTH;
  silentSearch = true;
  threadCount = 1;
  allocateHashTable(uint64_t(16) << 20);
  Position& pos = mainPosition;
  uint64_t totalNodes = 0, searchVisits = 0, quiescenceVisits = 0, probes = 0, hits = 0;
  const int64_t start = readClockTicks();
  int number = 0;
  for (const char* fen : benchPositions) {
    number++;
    // Every position starts from the same empty memories, so the count
    // depends on nothing but the position and the depth.
    clearHashTables();
    clearFollowUpTables();
    clearKillers(pos);
    lastScore = 0;
    pos.searchVisits = pos.quiescenceVisits = pos.tableProbes = pos.tableHits = 0;
    if (!parseFen(pos, fen) || !isLegalPosition(pos)) {
      printf("position %d refused: %s\n", number, fen);
      return 1;
    }
    clearHistory(pos);
    char goLine[32];
    snprintf(goLine, sizeof goLine, "go depth %d", depth);
    parseGo(goLine);
    think();
    searchState = SEARCH_IDLE;
    char best[8] = "(none)";
    if (pos.rootBestMoves[0]) moveToText(pos, pos.rootBestMoves[0], best, chess960Option);
    printf("%2d %-6s %12llu  %s\n", number, best, (unsigned long long)pos.nodes.load(), fen);
    totalNodes += pos.nodes;
    searchVisits += pos.searchVisits;
    quiescenceVisits += pos.quiescenceVisits;
    probes += pos.tableProbes;
    hits += pos.tableHits;
  }
  int64_t ms = elapsedMs(start);
  if (ms < 1) ms = 1;
  printf("quiescence visits %.1f%% of all visits, table hits %.1f%% of probes\n",
         100.0 * double(quiescenceVisits) / double(searchVisits + quiescenceVisits > 0 ? searchVisits + quiescenceVisits : 1),
         100.0 * double(hits) / double(probes > 0 ? probes : 1));
  printf("%llu nodes %llu nps\n", (unsigned long long)totalNodes, (unsigned long long)(totalNodes * 1000 / uint64_t(ms)));
  return 0;
}
