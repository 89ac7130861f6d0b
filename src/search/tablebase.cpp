// Syzygy endgame tables: loading them, the WDL probe of the search and the
// ranking of the root moves by distance to zeroing.
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
// The prober's verdicts on the root moves; only the main thread ranks them.
unsigned rootResults[TB_MAX_MOVES];
TbRootMoves rootWdlMoves;

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

// The prober's promotion code of one of our moves.
unsigned promotionCode(Move m) {
  switch (m & KIND_MASK) {
    case PROMOTE_QUEEN: return TB_PROMOTES_QUEEN;
    case PROMOTE_ROOK: return TB_PROMOTES_ROOK;
    case PROMOTE_BISHOP: return TB_PROMOTES_BISHOP;
    case PROMOTE_KNIGHT: return TB_PROMOTES_KNIGHT;
    default: return TB_PROMOTES_NONE;
  }
}

// A rank is the verdict (-2 loss ... 2 win) times RANK_STEP, plus the
// preference among moves of that verdict.
constexpr int64_t RANK_STEP = 100000;
int64_t verdictOfRank(int64_t rank) { return (rank + 2 * RANK_STEP + RANK_STEP / 2) / RANK_STEP - 2; }

bool sameMove(Move m, unsigned from, unsigned to, unsigned promotes) {
  return unsigned(moveFrom(m)) == from && unsigned(moveTo(m)) == to && promotionCode(m) == promotes;
}

// Ranks of the root moves, better results higher: the verdict first, then
// the distance to zeroing, short when winning and long when losing, so that
// a win makes progress every move. False when a move is missing.
bool rankByDistance(const PlyState& root, int64_t* ranks) {
  for (int i = 0; root.moves[i].move; i++) {
    const Move m = Move(root.moves[i].move);
    const unsigned* r = rootResults;
    while (*r != TB_RESULT_FAILED && !sameMove(m, TB_GET_FROM(*r), TB_GET_TO(*r), TB_GET_PROMOTES(*r))) r++;
    if (*r == TB_RESULT_FAILED) return false;
    const int v = verdict(int(TB_GET_WDL(*r))), dtz = int(TB_GET_DTZ(*r));
    ranks[i] = v * RANK_STEP + (v > 0 ? -dtz : v < 0 ? dtz : 0);
  }
  return true;
}

// Without the distance tables: the verdicts alone.
bool rankByVerdict(const PlyState& root, int64_t* ranks) {
  for (int i = 0; root.moves[i].move; i++) {
    const Move m = Move(root.moves[i].move);
    unsigned k = 0;
    while (k < rootWdlMoves.size) {
      const TbMove t = rootWdlMoves.moves[k].move;
      if (sameMove(m, TB_MOVE_FROM(t), TB_MOVE_TO(t), TB_MOVE_PROMOTES(t))) break;
      k++;
    }
    if (k == rootWdlMoves.size) return false;
    const int rank = rootWdlMoves.moves[k].tbRank;
    ranks[i] = RANK_STEP * (rank >= 1000 ? 2 : rank > 0 ? 1 : rank == 0 ? 0 : rank > -1000 ? -1 : -2);
  }
  return true;
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

int rankRootMoves(Position& pos) {
  PlyState& root = *pos.cur;
  if (!probeable(pos) || !root.moves[0].move) return NO_TABLE_SCORE;
  const ProbePosition b = probePosition(pos);
  // The prober keeps the counter in a byte; from 100 on every result is a draw anyway.
  const unsigned fifty = unsigned(minOf(root.fifty, 100));
  int64_t ranks[MOVE_LIST_SIZE];
  const bool ranked =
      tb_probe_root(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns, fifty, 0, b.ep,
                    b.whiteToMove, rootResults) != TB_RESULT_FAILED
          ? rankByDistance(root, ranks)
          : tb_probe_root_wdl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights, b.pawns, fifty, 0,
                              b.ep, b.whiteToMove, tableFiftyMoveRule, &rootWdlMoves) &&
                rankByVerdict(root, ranks);
  if (!ranked) return NO_TABLE_SCORE;
  int n = 0;
  while (root.moves[n].move) n++;
  pos.tbHits.store(pos.tbHits.load(std::memory_order_relaxed) + uint64_t(n), std::memory_order_relaxed);
  int64_t best = ranks[0];
  for (int i = 1; i < n; i++) best = ranks[i] > best ? ranks[i] : best;
  // Only the moves of the best rank stay, in their order.
  int kept = 0;
  for (int i = 0; i < n; i++)
    if (ranks[i] == best) root.moves[kept++].move = root.moves[i].move;
  for (int i = 0; i < kept; i++) root.moves[i].score = kept - i;
  root.moves[kept].move = 0;
  const int64_t v = verdictOfRank(best);
  return v == 2 ? TB_WIN_SCORE : v == -2 ? -TB_WIN_SCORE : 0;
}
