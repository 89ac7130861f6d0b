// The principal search: fail-hard alpha-beta with principal-variation
// windows, table cut-offs, forward pruning, late-move reductions and
// extensions.
#include <cstring>

#include "search.h"
#include "../platform/platform.h"
#include "../eval/eval.h"

uint8_t nullMoveEnabled = 1;
int8_t lmrTable[127][50];

// Late-move pruning: the number of moves after which quiet moves are no
// longer tried, by whether the position improves and by remaining depth.
const int lmpTable[2][16] = {
    {2, 3, 5, 7, 11, 16, 21, 28, 35, 42, 51, 60, 70, 80, 91, 103},
    {3, 5, 8, 12, 18, 25, 33, 42, 52, 62, 74, 87, 101, 115, 131, 147},
};
const int futilityMargin[3] = {0, 120, 370};

void initSearchTables() {
  // The move-ordering tables are probed at random on every node.
  adviseHugePages(placementTable, sizeof placementTable);
  // The follow-up block ends inside its last huge page, which is advised whole.
  adviseHugePages(followUpTables, (sizeof followUpTables + HUGE_PAGE_BYTES - 1) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES);
  memset(lmrTable, 0, sizeof lmrTable);
  for (int d = 1; d < 127; d++) {
    // Single precision, rounded at every step (volatile keeps the x87 of the
    // 32-bit build from carrying extra bits), so all builds agree.
    volatile float f = 8.0f / float(d);
    f = f + 2.0f;
    volatile float f4 = 4.0f * f, f9 = 9.0f * f;
    for (int n = 0; n < 50; n++) {
      const float moves = float(n);
      lmrTable[d][n] = int8_t(1 + (moves >= f) + (moves >= f4) + (moves >= f9));
    }
  }
}

bool isRepetition(const Position& pos) {
  const PlyState& st = *pos.cur;
  // Only positions since the last irreversible move or null move can repeat.
  int n = minOf(st.fifty, st.pliesSinceNull) - 4;
  for (int i = pos.keyCount - 4; n >= 0 && i >= pos.irreversibleIndex && i >= 0; i -= 2, n -= 2)
    if (pos.keyHistory[i] == st.key) return true;
  return false;
}

void makeNullMove(Position& pos) {
  const PlyState& p = *pos.cur;
  PlyState& c = *(pos.cur + 1);
  countNode(pos);
  c.key = p.key ^ sideKey ^ (p.epSquare ? epKeys[fileOf(p.epSquare)] : 0);
  c.pawnKingKey = p.pawnKingKey ^ sideKey;
  c.side = p.side ^ 1;
  // Passing moves no piece, so the attack information stays true.
  memcpy(c.attacks, p.attacks, sizeof p.attacks);
  memcpy(c.bishopAttacks, p.bishopAttacks, sizeof p.bishopAttacks);
  memcpy(c.rookAttacks, p.rookAttacks, sizeof p.rookAttacks);
  memcpy(c.queenAttacks, p.queenAttacks, sizeof p.queenAttacks);
  memcpy(c.pawnAttacks, p.pawnAttacks, sizeof p.pawnAttacks);
  memcpy(c.knightAttacksAll, p.knightAttacksAll, sizeof p.knightAttacksAll);
  memcpy(c.bishopAttacksAll, p.bishopAttacksAll, sizeof p.bishopAttacksAll);
  memcpy(c.rookAttacksAll, p.rookAttacksAll, sizeof p.rookAttacksAll);
  memcpy(c.queenAttacksAll, p.queenAttacksAll, sizeof p.queenAttacksAll);
  c.pinned = p.pinned;
  c.discoverers = p.discoverers;
  c.evasionMask = 0;  // nobody passes in check, so the other side is not in check either
  c.kingForbidden = 0;
  c.threatened = ~Bitboard(0);
  c.castling = p.castling;
  c.fifty = 0;
  c.pliesSinceNull = 0;
  c.staticEval = int16_t(-p.staticEval);
  c.material[WHITE] = p.material[WHITE];
  c.material[BLACK] = p.material[BLACK];
  c.materialSig[WHITE] = p.materialSig[WHITE];
  c.materialSig[BLACK] = p.materialSig[BLACK];
  c.lastMove = MOVE_NONE;
  c.epSquare = 0;
  c.captured = 0;
  c.pawnStepAttacks = 0;
  pos.keyCount++;
  pos.keyHistory[pos.keyCount] = c.key;
}

void prefetchNode(const Position& pos, bool orderingTables) {
  const PlyState& st = *pos.cur;
  ttPrefetch(st.key);
  __builtin_prefetch(&pawnEntryOf(st.pawnKingKey));
  if (!orderingTables) return;
  __builtin_prefetch(&placementTable[placementKey(st) & (PLACEMENT_ENTRIES - 1)]);
  __builtin_prefetch(&followUpTable2[followUpKey2(pos) & (FOLLOW_UP_ENTRIES - 1)]);
  if (const uint64_t key4 = followUpKey4(pos)) __builtin_prefetch(&followUpTable4[key4 & (FOLLOW_UP_ENTRIES - 1)]);
  if (const uint64_t key6 = followUpKey6(pos)) __builtin_prefetch(&followUpTable6[key6 & (FOLLOW_UP_ENTRIES - 1)]);
}

bool fewThreats(const Position& pos) {
  const PlyState& st = *pos.cur;
  const int us = st.side, them = us ^ 1;
  const Bitboard pieces = pos.pieces[knightOf(us)] | pos.pieces[bishopOf(us)] | pos.pieces[rookOf(us)] |
                          pos.pieces[queenOf(us)];
  const Bitboard enemySeventh = us == WHITE ? rankMask[1] : rankMask[6];
  return !moreThanOne((pieces & st.pawnAttacks[them]) | (pos.pieces[pawnOf(them)] & enemySeventh));
}

namespace {

Bitboard pieceAttacks(int code, Square s, Bitboard occupied) {
  switch (typeOf(code)) {
    case PAWN: return pawnAttackTable[colourOf(code)][s];
    case KNIGHT: return knightTable[s];
    case BISHOP: return bishopLookup(s, occupied);
    case ROOK: return rookLookup(s, occupied);
    case QUEEN: return queenLookup(s, occupied);
    case KING: return kingTable[s];
    default: return 0;
  }
}

inline int absValue(int v) { return v < 0 ? -v : v; }

constexpr int NOT_COMPUTED = -1000000;

}  // namespace

bool connectedMoves(const Position& pos, Move prev, Move threat) {
  const Square prevFrom = moveFrom(prev), prevTo = moveTo(prev);
  const Square threatFrom = moveFrom(threat), threatTo = moveTo(threat);
  // The threatened piece is the one that just moved away from there.
  if (threatTo == prevFrom) return true;
  // The piece that just moved makes the threat, unless along its own path.
  if (prevTo == threatFrom && !(lineTable[prevFrom][threatFrom] & bit(threatTo))) return true;
  // The move opened the threat's line.
  if (betweenTable[threatFrom][threatTo] & bit(prevFrom)) return true;
  // The moved piece guards the threatened square or attacks our king through it.
  const Bitboard occupied = (pos.pieces[WHITE] | pos.pieces[BLACK]) & ~bit(threatFrom);
  const Bitboard reach = pieceAttacks(pos.board[prevTo], prevTo, occupied);
  return (reach & (bit(threatTo) | pos.pieces[kingOf(pos.cur->side)])) != 0;
}

int searchNode(Position& pos, int alpha, int beta, int ply, bool allowNull, bool isPV, int depthPly, bool cutNode,
               bool noPrune) {
  // The window is empty only below the root's re-search of a move whose
  // probe beat a best score already equal to beta.
  assert(alpha <= beta);
  PlyState& st = *pos.cur;
  if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;
  if (ply >= MAX_PLY) {
    pos.pvTable[ply][0] = MOVE_NONE;
    return 0;
  }
  if (st.lastMove) computeAttacks(pos);
  const int us = st.side, them = us ^ 1;
  const bool inCheck = (st.attacks[them] & pos.pieces[kingOf(us)]) != 0;
  st.inCheck = inCheck;

  // Captures along the principal variation are resolved a ply deeper.
  int extensions = 0;
  if (st.captured && isPV && depthPly <= pos.iterationDepth + (pos.firstRootMove ? 5 : 0)) {
    depthPly++;
    extensions++;
  }
  // Horizon: quiet positions go to the quiescence search, checks one ply on.
  if (ply >= depthPly) {
    if (!inCheck) return quiesce(pos, alpha, beta, ply, true, -1);
    depthPly = ply + 1;
    extensions++;
  }
  if (pos.threadIndex == 0 && --pollCountdown <= 0) {
    periodicCheck();
    if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;
  }
  if (isPV) pos.pvTable[ply][0] = MOVE_NONE;
  if (ply > pos.selDepth) pos.selDepth = ply;

  // Draws by the fifty-move rule and by repetition.
  if (st.fifty >= 100 || isRepetition(pos)) return 0;

  // Transposition table: a deep enough entry whose bound fits ends the node.
  const int rem = depthPly - ply;
  st.reduction = 0;
  st.hashMove = MOVE_NONE;
  st.moves[0].move = 0;
  st.staticEval = EVAL_NONE;
  TTEntry tte;
  TTEntry* const slot = ttProbe(st.key, tte);
  pos.searchVisits++;
  pos.tableProbes++;
  pos.tableHits += slot != nullptr;
  if (slot) {
    const int ttScore = scoreFromTable(tte.score, ply);
    if (tte.depth >= rem && boundFits(tte.bound, ttScore, alpha, beta)) {
      ttSetAge(slot, ttGeneration);
      const Move m = tte.move;
      if (ttScore > alpha && m && isQuietMove(pos, m)) rememberCutoff(pos, m, false, rem * rem, true);
      return ttScore;
    }
    if (tte.move) st.hashMove = tte.move;
    if (tte.eval != EVAL_NONE) st.staticEval = tte.eval;
    // A shallower search already failed low here: a null move would too.
    if (tte.bound == BOUND_UPPER && tte.depth >= rem - 3 && ttScore < beta) allowNull = false;
  }
  // Endgame tables, after a capture or pawn move: the verdict is a bound
  // that ends the node when it falls outside the window. Inside it, a
  // principal-variation node still searches for a mate or a conversion,
  // within the bound.
  int tableCap = MATE_SCORE;
  if (tablePieces.load(std::memory_order_relaxed) && st.fifty == 0 && st.lastMove && rem >= tableProbeDepth) {
    int wdl;
    if (probeWdl(pos, &wdl)) {
      pos.tbHits.store(pos.tbHits.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
      const int v = wdl == 2 ? TB_WIN_SCORE - ply : wdl == -2 ? ply - TB_WIN_SCORE : 0;
      const int b = wdl == 2 ? BOUND_LOWER : wdl == -2 ? BOUND_UPPER : BOUND_EXACT;
      if (b == BOUND_EXACT || (b == BOUND_LOWER ? v >= beta : v <= alpha)) {
        ttStore(v, ply, minOf(rem + 6, MAX_PLY), st.key, b, MOVE_NONE, st.staticEval);
        return v;
      }
      if (isPV && b == BOUND_LOWER) alpha = maxOf(alpha, v);
      if (isPV && b == BOUND_UPPER) tableCap = v;
    }
  }
  placementProbe(st);
  st.pinned = findBlockers(pos, 1, us);
  findEnemyKingBlockers(pos, &st.discoverers, &st.pinnedEnemy);
  st.plyIndex = int16_t(ply);
  st.depthLeft = int16_t(rem);

  // The material is packed like the evaluation terms. The limits it meets
  // here and in the quiescence search and the move ordering (800, 1500,
  // 2000) are middle-game piece values, so the middle-game half is the one
  // to read: the packed word is no amount of material at all.
  const int ownMaterial = mgOf(st.material[us]);
  bool futile = false;
  Move threat = MOVE_NONE;
  if (!inCheck) {
    if (st.staticEval == EVAL_NONE) {
      evaluate(pos);
      if (!slot) ttStoreEval(st.key, ply, st.staticEval);
    }
  }

  // The razoring quiescence search and the internal search below run on
  // this node's own record and leave their evaluation and remaining depth in
  // it (the evaluation EVAL_NONE after a table cut-off). What follows them
  // reads the record as they left it.
  if (!inCheck && !noPrune) {
    // Static null move: far enough above beta with little hanging, a
    // shallow search would not bring the score back down.
    if (rem < 4 && absValue(beta) < MATE_BOUND && st.staticEval - 90 * rem >= beta && fewThreats(pos))
      return st.staticEval - 90 * rem;

    if (!isPV) {
      const Bitboard ownPieces = pos.pieces[knightOf(us)] | pos.pieces[bishopOf(us)] | pos.pieces[rookOf(us)] |
                                 pos.pieces[queenOf(us)];
      if (allowNull && rem < 4 && st.staticEval - 250 * rem >= beta && absValue(beta) < MATE_BOUND &&
          absValue(st.staticEval) < 5000 && ownPieces)
        return st.staticEval - 250 * rem;

      // Razoring: far below beta near the horizon, only captures can help.
      const Bitboard enemySeventh = us == WHITE ? rankMask[1] : rankMask[6];
      if (rem < 5 && pos.iterationDepth > 1 && !st.hashMove && !st.captured && absValue(beta) < MATE_BOUND &&
          !(pos.pieces[pawnOf(them)] & enemySeventh)) {
        int v = st.staticEval + 105;
        if (v < beta) {
          if (rem == 1) return maxOf(v, quiesce(pos, alpha, beta, ply, true, -1));
          v = st.staticEval + 350;
          if (v < beta && rem < 4) {
            const int q = quiesce(pos, alpha, beta, ply, true, -1);
            if (q < beta) return maxOf(v, q);
          }
        }
      }
    }

    // Null move: if passing still holds beta, the position is good enough.
    if (nullMoveEnabled && rem >= 2 && beta - alpha < 2 && allowNull && absValue(beta) < MATE_BOUND &&
        beta < st.staticEval && ownMaterial > 800) {
      const int R = (5 * rem + 823) / 256 + (st.staticEval - 90 >= beta ? 1 : 0);
      pos.lastCutoffMove = MOVE_NONE;
      makeNullMove(pos);
      pos.cur++;
      prefetchNode(pos, rem - R - 1 >= 2);
      int v;
      if (rem - R - 1 < 2) {
        v = -quiesce(pos, -beta, -alpha, ply + 1, true, -1);
      } else {
        pos.cur->parentThreat = MOVE_NONE;
        v = -searchNode(pos, -beta, -alpha, ply + 1, false, false, depthPly - R - 1, !cutNode, true);
      }
      pos.keyCount--;
      pos.cur--;
      if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;
      // A mate or table win found after passing proves nothing.
      if (v >= beta) return v >= TB_WIN_BOUND ? beta : v;
      // The refutation of the pass is a threat. When it is tied to the move
      // that led here and this node was reduced, the reduction was a mistake:
      // fail low so that the parent searches the move at full depth.
      threat = pos.lastCutoffMove;
      if (rem < 10 && pos.cur[-1].reduction != 0 && threat && connectedMoves(pos, st.lastMove, threat)) return alpha;
    }

    // Futility: near the horizon and far below alpha, quiet moves are hopeless.
    if (!isPV && rem < 3 && depthPly > 3 && absValue(alpha) < 9000 && st.staticEval + futilityMargin[rem] <= alpha)
      futile = true;

    // Internal iterative deepening: without a hash move, a shallower search
    // of this very node finds one.
    if (!st.hashMove && rem >= (isPV ? 5 : 8) && (isPV || st.staticEval + 95 >= beta)) {
      const int r = isPV ? 0 : rem / 4;
      searchNode(pos, alpha, beta, ply, false, isPV, depthPly - r - 2, true, true);
      if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;
      TTEntry e;
      if (ttProbe(st.key, e) && e.move) st.hashMove = e.move;
    }
  }

  lookUpCounterMoves(pos);
  const bool improving = ply >= 2 && st.staticEval >= pos.cur[-2].staticEval;

  // The hash move goes first, before anything is generated; in check only
  // when it can be an evasion.
  Move hashFirst = MOVE_NONE;
  if (st.hashMove) {
    const Move h = st.hashMove;
    const bool evades = !inCheck || typeOf(pos.board[moveFrom(h)]) == KING || (st.evasionMask & bit(moveTo(h)));
    if (evades && isPseudoLegal(pos, h, us) && !isLegal(pos, h))
      hashFirst = h;
    else if (inCheck && !evades && isEnPassant(h))
      st.hashMove = MOVE_NONE;  // an en-passant evasion lies outside the mask; leave it to the picker
  }
  resetPicker(st);
  lookUpFollowUps(pos);

  int counted = 0, fromPicker = 0;
  Move best = MOVE_NONE;
  int bound = BOUND_UPPER;
  bool hashPending = hashFirst != MOVE_NONE;

  for (;;) {
    Move m;
    const bool isHashFirst = hashPending;
    if (hashPending) {
      m = hashFirst;
      hashPending = false;
    } else {
      m = nextMove(pos);
      if (!m) break;
      if (m == MOVE_DELETED || isLegal(pos, m)) continue;
    }
    // The child's table entry is fetched while the move is weighed.
    ttPrefetch(keyAfterMove(pos, m));
    // Frontier cap: one ply from the horizon a few moves are enough.
    if (!isPV && rem <= 1 && counted > 4) return alpha;

    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = pos.board[from];

    // Moves that lose material are put aside and tried last.
    int exchange = NOT_COMPUTED;
    if (st.pickStage == STAGE_CAPTURES || (rem > 3 && st.pickStage == STAGE_QUIETS)) {
      pos.pinnedPawnDefender = 0;
      exchange = seeGain(pos, m, -50, us);
      st.moves[st.currentEntry].score = exchange;
      if (exchange < 0 && !pos.pinnedPawnDefender && deferMove(st, m, exchange)) continue;
    }

    counted++;
    const bool checks = givesCheck(pos, m);
    int checkExtension = 0;
    if (checks && extensions == 0) {
      if (exchange == NOT_COMPUTED) exchange = seeGain(pos, m, 0, us);
      checkExtension = exchange >= 0;
    }
    if (!isHashFirst) fromPicker++;

    int R = 0;
    bool passedPush = false;
    const bool toLastRanks = relativeRank(us, to) >= 6;
    if (!isHashFirst && !pos.board[to] && (m & KIND_MASK) == 0) {
      passedPush = typeOf(piece) == PAWN && !(passedMask[us][to] & pos.pieces[pawnOf(them)]);
      if (rem > 1 && (ply != 1 || counted > 4) && (!isPV || counted > 1) && m != st.killer1 && m != st.killer2 &&
          m != st.parentThreat && m != st.followUp2 && m != st.followUp4 && m != st.followUp6) {
        R = lmrTable[minOf(rem, 126)][minOf(fromPicker, 49)];
        // Late-move pruning.
        if (!inCheck) {
          const bool lateQuiet = !checks && !passedPush && rem <= 6 && counted > 1 && pos.iterationDepth > 5 &&
                                 !toLastRanks && absValue(alpha) < 9000 && (!isPV || ownMaterial >= 1500) &&
                                 fromPicker >= (2 * rem - 1) * rem / 2 + 3;
          if (lateQuiet || (!passedPush && rem < 16 && counted >= lmpTable[improving][rem])) continue;
        }
        if ((cutNode && !isPV) || pos.historyTable[piece][to] < 0) R++;
        if (m == st.counter1 || m == st.counter2) R--;
        if (ownMaterial < 800 && R > 2) R--;
        if (counted > 5 && ownMaterial < 2000) R++;
        // A game that stays level so far is searched more carefully.
        if (ply < 7 && pos.lastScore == 0 && pos.lastScore2 == 0) R--;
        if (ply < 5 && pos.lastScore == 0 && pos.lastScore2 == 0 && pos.lastScore3 == 0) R--;
        if (checks) R--;
        if (R == 0) R = 1;
        R -= checkExtension;
        if (R > 0 && depthPly - R < ply + 1) R = depthPly - ply - 1;
        // Stored before the prunings below: a move they skip leaves its
        // reduction in the record.
        st.reduction = R;
      }
      // Futility pruning of quiet moves.
      if (futile && counted > 1 && !checks && !toLastRanks && !passedPush) continue;
      // Reduced quiet moves that lose material are not worth a search.
      if (!isPV && R > 0 && rem - R < 5 && absValue(alpha) < 9000 && !inCheck && !checks && !toLastRanks &&
          !passedPush) {
        if (exchange == NOT_COMPUTED) exchange = seeGain(pos, m, -50, us);
        if (exchange < 0) continue;
      }
      // Futility at the reduced depth.
      if (R != 0 && depthPly - R - ply - 1 <= 3 && !inCheck && !checks && !passedPush &&
          absValue(beta) < MATE_BOUND && st.staticEval + 90 * (depthPly - R - ply) - 40 <= alpha &&
          fewThreats(pos))
        continue;
    }

    // A pawn stepping onto its seventh rank is searched a ply deeper.
    const bool fromList = st.pickStage == STAGE_CAPTURES || st.pickStage == STAGE_CHECK_DEFERRED ||
                          st.pickStage == STAGE_QUIETS || st.pickStage == STAGE_DEFERRED;
    const int64_t entryScore = !isHashFirst && fromList ? st.moves[st.currentEntry].score : 0;
    makeMove(pos, m);
    int pawnExtension = 0;
    const int moved = pos.board[to];
    if (!checkExtension && !extensions && entryScore > -2000 && depthPly - pos.iterationDepth < 10 &&
        ((moved == W_PAWN && rankOf(to) == 6) || (moved == B_PAWN && rankOf(to) == 1)))
      pawnExtension = 1;
    pos.cur++;
    prefetchNode(pos, depthPly + pawnExtension + checkExtension > ply + 1);
    pos.cur->parentThreat = threat;

    int v = alpha;
    bool fullDepth = true;
    if (R > 0 && !pawnExtension) {
      v = -searchNode(pos, -alpha - 1, -alpha, ply + 1, true, false, depthPly - R, true, false);
      fullDepth = v > alpha;
    }
    st.reduction = 0;
    if (fullDepth) {
      const int shorten = rem >= 2 && counted > 1 && st.pickStage == STAGE_DEFERRED ? 1 : 0;
      const int childDepth = depthPly + pawnExtension + checkExtension - shorten;
      const bool first = counted == 1;
      if (!(isPV && first))
        v = -searchNode(pos, -alpha - 1, -alpha, ply + 1, true, false, childDepth, !cutNode, false);
      if (isPV && (first || (v > alpha && v < beta)))
        v = -searchNode(pos, -beta, -alpha, ply + 1, true, true, childDepth, false, false);
    }
    unmakeMove(pos, m);
    if (pos.stopFlag.load(std::memory_order_relaxed)) return 0;

    if (v > alpha) {
      best = m;
      if (v >= beta) {
        pos.lastCutoffMove = m;
        if (isQuietMove(pos, m)) rememberCutoff(pos, m, !isHashFirst, rem * rem, false);
        bound = BOUND_LOWER;
        alpha = beta;
        break;
      }
      bound = BOUND_EXACT;
      alpha = v;
      if (isPV) {
        Move* row = pos.pvTable[ply];
        row[0] = m;
        memcpy(row + 1, pos.pvTable[ply + 1], (PV_ROWS - 1) * sizeof(Move));
        row[PV_ROWS - 1] = MOVE_NONE;
      }
    }
    if (isHashFirst) {
      resetPicker(st);
      lookUpFollowUps(pos);
      fromPicker = 0;
    }
  }

  if (counted == 0) {
    if (inCheck) return ply - MATE_SCORE;
    bound = BOUND_EXACT;
    alpha = 0;
  }
  alpha = minOf(alpha, tableCap);
  ttStore(alpha, ply, rem, st.key, bound, best, st.staticEval);
  if (best) placementUpdate(st, best);
  return alpha;
}
