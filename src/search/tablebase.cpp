// Syzygy endgame tables: loading them and the WDL probe of the search.
#include "prober.h"
#include "search.h"

using namespace fathom;

std::atomic<int> tablePieces{0};
int tableProbeDepth = 1;
int tableProbeLimit = 7;
bool tableFiftyMoveRule = true;

namespace {

// Largest piece count of the loaded tables.
int largestTable;
// The position as the prober takes it.
struct ProbePosition {
  Bitboard white, black, kings, queens, rooks, bishops, knights, pawns;
  unsigned ep;
  bool whiteToMove;
};

ProbePosition probePosition(const Position& pos) {
  const Bitboard* p = pos.pieces;
  return {p[WHITE], p[BLACK], p[W_KING] | p[B_KING], p[W_QUEEN] | p[B_QUEEN], p[W_ROOK] | p[B_ROOK],
          p[W_BISHOP] | p[B_BISHOP], p[W_KNIGHT] | p[B_KNIGHT], p[W_PAWN] | p[B_PAWN], unsigned(pos.cur->epSquare),
          pos.cur->side == WHITE};
}

bool probeable(const Position& pos) {
  const PlyState& st = *pos.cur;
  const int pieces = popCount(pos.pieces[WHITE] | pos.pieces[BLACK]);
  return st.castling == 0 && pieces <= tablePieces.load(std::memory_order_relaxed);
}

// Without the fifty-move rule a cursed win is a win and a blessed loss a loss.
int verdict(int wdl) {
  const int v = wdl - TB_DRAW;
  return tableFiftyMoveRule || v == 0 ? v : v > 0 ? 2 : -2;
}

}  // namespace

bool loadTables(const char* path) {
  const bool ok = tb_init(path);
  largestTable = ok ? int(TB_LARGEST) : 0;
  updateTablePieces();
  return ok;
}

int tablesFound(bool dtz) { return largestTable ? int(dtz ? TB_NUM_DTZ : TB_NUM_WDL) : 0; }
int largestTablePieces() { return largestTable; }

void updateTablePieces() { tablePieces = minOf(largestTable, tableProbeLimit); }

bool probeWdl(const Position& pos, int* wdl) {
  if (!probeable(pos)) return false;
  const ProbePosition b = probePosition(pos);
  const unsigned r = tb_probe_wdl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns, 0, 0,
                                  b.ep, b.whiteToMove);
  if (r == TB_RESULT_FAILED) return false;
  *wdl = verdict(int(r));
  return true;
}
