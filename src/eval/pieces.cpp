// Knight, bishop, rook and queen terms: square tables, mobility, piece
// features, and the attack counters the king-safety term reads.
// Each term is written for a colour known when compiling, which turns its
// masks and piece codes into constants; the public functions pick the copy.
#include "eval.h"

namespace {

int32_t halves(int32_t v, int shift) { return makeScore(mgOf(v) >> shift, egOf(v) >> shift); }

int mobilityCount(const EvalContext& ctx, int us, Square s, Bitboard attacks) {
  int n = popCount(attacks & ~ctx.mobilityExcluded[us]);
  // A pinned piece keeps at most the moves along its pin.
  if (n > 0 && (ctx.pinned[us] & bit(s))) n--;
  return n;
}

// Records an attack on the enemy king's surroundings; returns whether the
// piece reached the zone.
bool kingAttack(EvalContext& ctx, int them, Bitboard attacks, Bitboard zone, int weight) {
  const Bitboard u = attacks & zone, r = attacks & ctx.kingRing[them];
  if (u) {
    ctx.attackWeight[them] += weight * popCount(u);
    ctx.ringHitsUndefended[them] += popCount(u & ~ctx.pieceDefence[them]);
  }
  if (r) ctx.adjacentHits[them] += weight * popCount(r);
  if (u || r) ctx.attackerCount[them]++;
  return u != 0;
}

// A line from s to the enemy king with at most one pawn in between.
bool alignedThroughPawns(const Position& pos, Square s, Square king, Bitboard lines) {
  return (lines & bit(s)) && popCount(betweenTable[s][king] & (pos.pieces[W_PAWN] | pos.pieces[B_PAWN])) <= 1;
}

// The value of a rook or queen on a file without an own pawn ahead, and the
// counters for files and ranks near the enemy king.
int32_t fileValue(const Position& pos, EvalContext& ctx, int us, Square s) {
  const int them = us ^ 1;
  const Square king = ctx.kingSquare[them];
  if (absDiff(fileOf(s), fileOf(king)) < 2)
    ctx.fileNearKing[them]++;
  else if (absDiff(rankOf(s), rankOf(king)) < 2 &&
           popCount(betweenTable[s][king] & (pos.pieces[W_PAWN] | pos.pieces[B_PAWN])) <= 1)
    ctx.rankNearKing[them]++;
  return (fileMask[fileOf(s)] & pos.pieces[pawnOf(them)]) ? fileWithEnemyPawn : fileWithoutPawn;
}

template <int Us>
int32_t evaluateKnightsFor(const Position& pos, EvalContext& ctx) {
  constexpr int us = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Square king = ctx.kingSquare[them];
  const Bitboard zone = (ctx.kingRing[them] | knightTable[king]) & ~st.pawnAttacks[them] & ~pos.pieces[pawnOf(us)];
  const Bitboard deepRanks = us == WHITE ? ranksAbove[4] : ranksBelow[3];
  int32_t result = 0;
  for (Bitboard b = pos.pieces[knightOf(us)]; b;) {
    const Square s = popLowest(b);
    const int32_t t = pieceSquare[knightOf(us)][s];
    if (!(attackSpan[us][s] & pos.pieces[pawnOf(them)]))
      result += t + knightOutpost[fileOf(s)];
    else
      result += t < 0 ? t : t - halves(t, 2);

    const int d = distanceTable[s][king];
    result += knightKingDistance[d];
    const Bitboard attacks = knightTable[s];
    result += mobilityKnight[mobilityCount(ctx, us, s, attacks)];
    if (st.pawnAttacks[us] & bit(s)) result += knightPawnDefended;
    if (d < 5) kingAttack(ctx, them, attacks, zone, 2);

    const Bitboard moves = attacks & ~pos.pieces[us];
    if ((deepRanks & bit(s)) && (moves & ~st.attacks[them]) == 0) result -= knightBoxedDeep;
    if ((moves & ~st.pawnAttacks[them]) == 0) result -= knightPawnBoxed;
    if (us == WHITE ? s == C3 && pos.board[C2] == W_PAWN : s == C6 && pos.board[C7] == B_PAWN)
      result -= knightBlocksC;
  }
  return result;
}

template <int Us>
int32_t evaluateBishopsFor(const Position& pos, EvalContext& ctx) {
  constexpr int us = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Square king = ctx.kingSquare[them];
  const Bitboard ownPawns = pos.pieces[pawnOf(us)];
  const uint8_t* board = pos.board;
  int32_t result = 0;
  int slot = 0;
  for (Bitboard b = pos.pieces[bishopOf(us)]; b; slot++) {
    const Square s = popLowest(b);
    const Bitboard attacks = st.bishopAttacks[us][slot];

    const bool dark = DARK_SQUARES & bit(s);
    result -= badBishopPawn * popCount(ownPawns & (dark ? DARK_SQUARES : LIGHT_SQUARES));

    // Own centre pawns fixed on the bishop's colour by an enemy piece.
    auto blocked = [&](Square pawn, Square blocker) {
      return board[pawn] == pawnOf(us) && board[blocker] && colourOf(board[blocker]) == them;
    };
    if (us == WHITE) {
      if (!dark && blocked(E4, E5)) result -= blockedCentre;
      if (!dark && blocked(C4, C5)) result -= blockedCentreHalf;
      if (dark && blocked(D4, D5)) result -= blockedCentre;
      if (dark && blocked(F4, F5)) result -= blockedCentreHalf;
    } else {
      if (!dark && blocked(D5, D4)) result -= blockedCentre;
      if (!dark && blocked(F5, F4)) result -= blockedCentreHalf;
      if (dark && blocked(E5, E4)) result -= blockedCentre;
      if (dark && blocked(C5, C4)) result -= blockedCentreHalf;
    }

    result += pieceSquare[bishopOf(us)][s];

    // The pin of a knight in front of the queen, with the king on that wing.
    if (us == WHITE) {
      if ((s == G5 || s == H4) && board[F6] == B_KNIGHT &&
          ((board[D8] == B_QUEEN && !board[E7]) || board[E7] == B_QUEEN) && fileOf(king) >= 4)
        result += 3;
    } else {
      if ((s == G4 || s == H5) && board[F3] == W_KNIGHT &&
          ((board[D1] == W_QUEEN && !board[E2]) || board[E2] == W_QUEEN) && fileOf(king) >= 4)
        result += 3;
    }

    result += mobilityBishop[mobilityCount(ctx, us, s, attacks)];
    if (!kingAttack(ctx, them, attacks, ctx.kingRingSafe[them], 2) && alignedThroughPawns(pos, s, king, bishopEmpty[king]))
      ctx.ringHitsUndefended[them]++;
  }
  return result;
}

template <int Us>
int32_t evaluateRooksFor(const Position& pos, EvalContext& ctx) {
  constexpr int us = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Square ownKing = ctx.kingSquare[us], king = ctx.kingSquare[them];
  const Bitboard rooks = pos.pieces[rookOf(us)];
  int32_t result = 0;

  // A rook shut in by its own uncastled king; worse once that wing cannot castle.
  const int toward = us == WHITE ? -1 : 1;
  const Bitboard backRank = us == WHITE ? RANK_1 : RANK_8;
  const Bitboard kingShort = backRank & (fileMask[4] | fileMask[5] | fileMask[6]);
  const Bitboard rookShort = backRank & (fileMask[6] | fileMask[7]);
  const Bitboard kingLong = backRank & (fileMask[1] | fileMask[2] | fileMask[3]);
  const Bitboard rookLong = backRank & (fileMask[0] | fileMask[1]);
  const int shortRight = us == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT;
  const int longRight = us == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG;
  if ((kingShort & bit(ownKing)) && (rooks & rookShort)) {
    ctx.development += toward;
    result -= rookTrapped;
    // Black pays the extra only when it has lost both rights.
    bool stuck = us == WHITE ? !(st.castling & shortRight) : !(st.castling & (shortRight | longRight));
    if (stuck) {
      ctx.development += toward;
      result -= rookTrappedNoCastling;
    }
  } else if ((kingLong & bit(ownKing)) && (rooks & rookLong)) {
    ctx.development += toward;
    result -= rookTrapped;
    if (!(st.castling & longRight)) {
      ctx.development += toward;
      result -= rookTrappedNoCastling;
    }
  }

  const Bitboard seventh = us == WHITE ? rankMask[6] : rankMask[1];
  const Bitboard eighth = us == WHITE ? rankMask[7] : rankMask[0];
  const Bitboard enemyMinors = pos.pieces[knightOf(them)] | pos.pieces[bishopOf(them)];
  int slot = 0, previousFile = -1;
  for (Bitboard b = rooks; b; slot++) {
    const Square s = popLowest(b);
    const Bitboard attacks = st.rookAttacks[us][slot];
    result += pieceSquare[rookOf(us)][s];
    result += mobilityRook[mobilityCount(ctx, us, s, attacks)];
    if ((seventh & bit(s)) && (eighth & bit(king))) result += rookOrQueenSeventh;

    const Bitboard file = fileMask[fileOf(s)];
    if (!(forwardFile[us][s] & pos.pieces[pawnOf(us)])) {
      int32_t v = fileValue(pos, ctx, us, s);
      if (previousFile == fileOf(s)) v += secondRookOnFile;
      if (file & enemyMinors) v = halves(v, 1);
      if (file & pos.pieces[queenOf(them)]) v += enemyQueenOnRookFile;
      result += v;
    }
    previousFile = fileOf(s);

    if (!kingAttack(ctx, them, attacks, ctx.kingRingSafe[them], 3) && alignedThroughPawns(pos, s, king, rookEmpty[king]))
      ctx.ringHitsUndefended[them]++;
  }
  return result;
}

template <int Us>
int32_t evaluateQueensFor(const Position& pos, EvalContext& ctx) {
  constexpr int us = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Square king = ctx.kingSquare[them];
  const Bitboard seventh = us == WHITE ? rankMask[6] : rankMask[1];
  const Bitboard eighth = us == WHITE ? rankMask[7] : rankMask[0];
  const Bitboard enemyPieces = pos.pieces[knightOf(them)] | pos.pieces[bishopOf(them)] | pos.pieces[rookOf(them)];
  int32_t result = 0;
  int slot = 0;
  for (Bitboard b = pos.pieces[queenOf(us)]; b; slot++) {
    const Square s = popLowest(b);
    const Bitboard attacks = st.queenAttacks[us][slot];
    if ((seventh & bit(s)) && (eighth & bit(king))) result += rookOrQueenSeventh;
    result += pieceSquare[queenOf(us)][s];
    result += mobilityQueen[mobilityCount(ctx, us, s, attacks)];
    if (!(forwardFile[us][s] & pos.pieces[pawnOf(us)])) {
      int32_t v = fileValue(pos, ctx, us, s);
      if (fileMask[fileOf(s)] & enemyPieces) v = halves(v, 1);
      result += v;
    }
    if (!kingAttack(ctx, them, attacks, ctx.kingRingSafe[them], 5) &&
        alignedThroughPawns(pos, s, king, bishopEmpty[king] | rookEmpty[king]))
      ctx.ringHitsUndefended[them]++;
  }
  return result;
}

}  // namespace

int32_t evaluateKnights(const Position& pos, EvalContext& ctx, int us) {
  return us == WHITE ? evaluateKnightsFor<WHITE>(pos, ctx) : evaluateKnightsFor<BLACK>(pos, ctx);
}

int32_t evaluateBishops(const Position& pos, EvalContext& ctx, int us) {
  return us == WHITE ? evaluateBishopsFor<WHITE>(pos, ctx) : evaluateBishopsFor<BLACK>(pos, ctx);
}

int32_t evaluateRooks(const Position& pos, EvalContext& ctx, int us) {
  return us == WHITE ? evaluateRooksFor<WHITE>(pos, ctx) : evaluateRooksFor<BLACK>(pos, ctx);
}

int32_t evaluateQueens(const Position& pos, EvalContext& ctx, int us) {
  return us == WHITE ? evaluateQueensFor<WHITE>(pos, ctx) : evaluateQueensFor<BLACK>(pos, ctx);
}

void addSliderXrays(const Position& pos, EvalContext& ctx) {
  if (ctx.xraysAdded) return;
  ctx.xraysAdded = true;
  const PlyState& st = *pos.cur;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  // A slider that reaches none of the pieces it may see through defends no
  // more than its plain attack set, which pieceDefence already holds.
  for (int c = WHITE; c <= BLACK; c++) {
    const Bitboard queens = pos.pieces[queenOf(c)], rooks = pos.pieces[rookOf(c)];
    int slot = 0;
    for (Bitboard b = pos.pieces[bishopOf(c)]; b; slot++) {
      const Square s = popLowest(b);
      if (st.bishopAttacks[c][slot] & queens) ctx.pieceDefence[c] |= bishopLookup(s, occupied & ~queens);
    }
    slot = 0;
    for (Bitboard b = rooks; b; slot++) {
      const Square s = popLowest(b);
      if (st.rookAttacks[c][slot] & (rooks | queens)) ctx.pieceDefence[c] |= rookLookup(s, occupied & ~rooks & ~queens);
    }
  }
}
