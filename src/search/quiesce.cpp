// The quiescence search: captures, promotions and (at its first ply) quiet
// checks below the horizon, so that the evaluation is only trusted in
// quiet positions.
#include "search.h"
#include "../eval/eval.h"

namespace {

inline int absValue(int v) { return v < 0 ? -v : v; }

// Promotions worth a look: queens, and knights that give check at once.
// Returns false for the others, which the caller deletes.
bool scorePromotion(const Position& pos, MoveEntry& e, Move m, int us) {
  const int promoted = promotedCode(m, us);
  if (typeOf(promoted) == QUEEN) {
    e.score = pieceValue[promoted] - 90;
    return true;
  }
  if (typeOf(promoted) == KNIGHT && (knightTable[moveTo(m)] & pos.pieces[kingOf(us ^ 1)])) {
    e.score = pieceValue[promoted] - 90;
    return true;
  }
  return false;
}

}  // namespace

int prepareQuiescenceCaptures(Position& pos, int qdepth) {
  PlyState& st = *pos.cur;
  pos.moveCursor = st.moves;
  generateCaptures(pos);
  pos.moveCursor->move = 0;
  const int end = st.listEnd = int(pos.moveCursor - st.moves);
  const int us = st.side;
  const Square recaptureSquare = st.lastMove ? moveTo(st.lastMove) : -1;
  for (int i = 0; i < end; i++) {
    MoveEntry& e = st.moves[i];
    const Move m = Move(e.move);
    if (isPromotion(m)) {
      if (!scorePromotion(pos, e, m, us)) e.move = MOVE_DELETED;
    } else if (qdepth > -5 || moveTo(m) == recaptureSquare) {
      // Deep in the quiescence search only recaptures are still looked at.
      e.score = pieceValue[pos.board[moveTo(m)]] - pieceValue[pos.board[moveFrom(m)]];
    } else {
      e.move = MOVE_DELETED;
    }
  }
  return end;
}

int prepareQuiescenceEvasions(Position& pos) {
  PlyState& st = *pos.cur;
  pos.moveCursor = st.moves;
  generateEvasions(pos);
  const int end = st.listEnd = int(pos.moveCursor - st.moves);
  for (int i = 0; i < end; i++) {
    MoveEntry& e = st.moves[i];
    const Move m = Move(e.move);
    if (isPromotion(m)) {
      if (!scorePromotion(pos, e, m, st.side)) e.move = MOVE_DELETED;
    } else {
      e.score = pieceValue[pos.board[moveTo(m)]] - pieceValue[pos.board[moveFrom(m)]];
    }
  }
  return end;
}

int quiesce(Position& pos, int alpha, int beta, int ply, bool checksAllowed, int qdepth) {
  if (pos.threadIndex == 0 && --pollCountdown <= 0) periodicCheck();
  if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;
  if (ply >= MAX_PLY) {
    pos.pvTable[ply][0] = MOVE_NONE;
    return 0;
  }
  PlyState& st = *pos.cur;
  if (beta != alpha + 1) pos.pvTable[ply][0] = MOVE_NONE;
  if (st.fifty >= 100 || isRepetition(pos)) return 0;
  if (ply > pos.selDepth) pos.selDepth = ply;

  st.hashMove = MOVE_NONE;
  st.staticEval = EVAL_NONE;
  // The attacks come before the probe: the table entry, fetched since the
  // move was made, arrives meanwhile, and the attacks cost little when the
  // entry ends the node.
  if (qdepth != -1) computeAttacks(pos);
  const int us = st.side, them = us ^ 1;
  st.pinned = findBlockers(pos, 1, us);
  findEnemyKingBlockers(pos, &st.discoverers, &st.pinnedEnemy);
  TTEntry tte;
  TTEntry* const slot = ttProbe(st.key, tte);
  pos.quiescenceVisits++;
  pos.tableProbes++;
  pos.tableHits += slot != nullptr;
  if (slot) {
    if (tte.depth >= qdepth) {
      const int s = scoreFromTable(tte.score, ply);
      if (boundFits(tte.bound, s, alpha, beta)) {
        ttSetAge(slot, ttGeneration);
        return s;
      }
    }
    if (tte.move) st.hashMove = tte.move;
    if (tte.eval != EVAL_NONE) st.staticEval = tte.eval;
  }
  const bool inCheck = (st.attacks[them] & pos.pieces[kingOf(us)]) != 0;
  st.inCheck = inCheck;

  if (!inCheck) {
    if (st.staticEval == EVAL_NONE) {
      evaluate(pos);
      if (!slot) ttStoreEval(st.key, ply, st.staticEval);
    }
    // Stand pat: the side to move need not capture.
    if (st.staticEval >= beta) return st.staticEval;
    if (st.staticEval > alpha) alpha = st.staticEval;
  } else {
    st.pinnedEnemy = 0;
  }

  int counted = 0, searched = 0;
  Move bestMove = MOVE_NONE;
  int bound = BOUND_UPPER;
  // Searches one move; true when it ends the node (cut-off or stop), with
  // the node's result in *result.
  auto search = [&](Move m, int* result) {
    searched++;
    makeMove(pos, m);
    pos.cur++;
    prefetchNode(pos, false);
    const int v = -quiesce(pos, -beta, -alpha, ply + 1, false, qdepth - 1);
    unmakeMove(pos, m);
    if (pos.stopFlag.load(std::memory_order_relaxed)) {
      *result = 0;
      return true;
    }
    if (v <= alpha) return false;
    if (v >= beta) {
      pos.lastCutoffMove = m;
      ttStore(v, ply, qdepth, st.key, BOUND_LOWER, m, st.staticEval);
      *result = v;
      return true;
    }
    alpha = v;
    bestMove = m;
    bound = BOUND_EXACT;
    return false;
  };
  int result;

  if (const Move h = st.hashMove) {
    const bool evades = !inCheck || typeOf(pos.board[moveFrom(h)]) == KING || (st.evasionMask & bit(moveTo(h)));
    if (evades && isPseudoLegal(pos, h, us) && !isLegal(pos, h)) {
      counted++;
      if (search(h, &result)) return result;
    } else if (inCheck && !evades && isEnPassant(h)) {
      st.hashMove = MOVE_NONE;
    }
  }
  st.plyIndex = int16_t(ply);
  st.depthLeft = int16_t(qdepth);

  if (!inCheck) {
    prepareQuiescenceCaptures(pos, qdepth);
    const int opponentMaterial = mgOf(st.material[them]);
    st.currentEntry = -1;
    while (const Move m = pickBest(st, st.currentEntry + 1, st.listEnd)) {
      if (m == st.hashMove || isLegal(pos, m)) continue;
      counted++;
      // Delta pruning: a capture that cannot lift the score near alpha, while
      // the opponent keeps enough material to defend, is not searched.
      const int victimValue = pieceValue[pos.board[moveTo(m)]];
      const bool hopeless = victimValue && alpha - victimValue - st.staticEval > 140 &&
                            opponentMaterial - victimValue > 800;
      if (hopeless) continue;
      // The child's table entry is fetched while the exchange is weighed.
      ttPrefetch(keyAfterMove(pos, m));
      if (seeGain(pos, m, -50, us) >= 0 && search(m, &result)) return result;
    }
    if (checksAllowed) {
      const int begin = st.listEnd;
      pos.moveCursor = st.moves + begin;
      generateCheckCandidates(pos);
      pos.moveCursor->move = 0;
      const int end = int(pos.moveCursor - st.moves);
      for (int i = begin; i < end; i++) {
        const Move m = Move(st.moves[i].move);
        if (m == st.hashMove || m == MOVE_DELETED || isLegal(pos, m)) continue;
        counted++;
        if (givesCheck(pos, m) && seeGain(pos, m, -50, us) >= 0 && search(m, &result)) return result;
      }
    }
  } else {
    prepareQuiescenceEvasions(pos);
    st.currentEntry = -1;
    while (const Move m = pickBest(st, st.currentEntry + 1, st.listEnd)) {
      if (m == st.hashMove || isLegal(pos, m)) continue;
      counted++;
      const bool quiet = !pos.board[moveTo(m)] && !isPromotion(m) && !isEnPassant(m);
      if (searched > 0 && quiet && absValue(beta) < MATE_BOUND && seeGain(pos, m, -50, us) < 0) continue;
      if (search(m, &result)) return result;
    }
  }

  if (!counted && inCheck) return ply - MATE_SCORE;
  // In check the position has no evaluation of its own: a node whose every
  // evasion failed low keeps alpha rather than an unknown score.
  if (!searched && !inCheck) alpha = st.staticEval;
  if (absValue(alpha) > MATE_BOUND - 1 && bound != BOUND_EXACT && st.staticEval != EVAL_NONE) alpha = st.staticEval;
  ttStore(alpha, ply, qdepth, st.key, bound, bestMove, st.staticEval);
  return alpha;
}
