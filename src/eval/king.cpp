// King safety: the attack counters of the piece terms, the pawn shield, the
// enemy's safe checks and lost castling rights become one danger number.
#include "eval.h"

namespace {

// Files a-c against files f-h.
int wing(Square s) { return fileOf(s) <= 2 ? 0 : fileOf(s) >= 5 ? 1 : -1; }

template <int Us>
int kingDangerFor(const Position& pos, EvalContext& ctx) {
  constexpr int c = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Square k = ctx.kingSquare[c];
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  int danger = 0;

  if (fileOf(k) >= 2 && fileOf(k) <= 5) {
    const int rights[2] = {c == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT,
                           c == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG};
    for (int right : rights)
      if (!(st.castling & right)) {
        danger += lostCastlingRight;
        ctx.development += c == WHITE ? -1 : 1;
      }
  }

  const int advanced = relativeRank(c, k) >= 2;
  const int zoneHits = popCount(ctx.kingHalf[c] & st.attacks[them]);
  int missing = 0;
  if (fileOf(k) != 3 && fileOf(k) != 4) {
    const int nextRank = rankOf(k) + (c == WHITE ? 1 : -1);
    const Bitboard shield = nextRank >= 0 && nextRank <= 7 ? kingTable[k] & rankMask[nextRank] : 0;
    missing = 3 - popCount(shield & pos.pieces[pawnOf(c)]);
  }

  if (ctx.attackerCount[c] < 1 && zoneHits < 4 && missing < 2 && !advanced)
    return danger + 2 * (zoneHits + 6 * missing) - 93;

  addSliderXrays(pos, ctx);
  const int weight = minOf((ctx.ringHitsUndefended[c] * ctx.attackWeight[c]) >> 1, 79);

  // Checks from a defended square next to the king.
  const Bitboard ring = ctx.kingRingUndefended[c];
  const int contactUnit = st.side == them ? 2 : 1;
  const Bitboard otherAttackers = kingTable[ctx.kingSquare[them]] | st.queenAttacksAll[them] |
                                  st.bishopAttacksAll[them] | st.knightAttacksAll[them] | st.pawnAttacks[them];
  const Bitboard rookContact = rookEmpty[k] & ring & st.rookAttacksAll[them] & otherAttackers;
  const Bitboard queenContact = st.queenAttacksAll[them] & ring & (st.pawnAttacks[them] | ctx.pieceDefence[them]);
  const int contact = minOf(contactUnit * (5 * popCount(rookContact) + 10 * popCount(queenContact)), 39);

  // Safe checks from a distance.
  const Bitboard safe = ~pos.pieces[them] & ~st.attacks[c];
  const Bitboard rookLines = rookLookup(k, occupied), bishopLines = bishopLookup(k, occupied);
  const int checks = minOf(3 * popCount((rookLines | bishopLines) & st.queenAttacksAll[them] & safe) +
                               2 * popCount(rookLines & st.rookAttacksAll[them] & safe) +
                               2 * popCount(bishopLines & st.bishopAttacksAll[them] & safe) +
                               popCount(knightTable[k] & st.knightAttacksAll[them] & safe),
                           19);

  ctx.adjacentHits[c] += popCount(ctx.kingRing[c] & st.pawnAttacks[them]);
  const int adjacent = minOf(ctx.adjacentHits[c], 49);
  const int attackers = minOf(ctx.attackerCount[c], 7);
  const int defenders = minOf(popCount(ctx.kingRing[c] & ctx.pieceDefence[c]), 7);
  const int ownWing = wing(k), enemyWing = wing(ctx.kingSquare[them]);
  if (ownWing >= 0 && enemyWing >= 0 && ownWing != enemyWing) missing *= 2;

  danger += 3 * (weight - 31 + attackers + 4 * missing + 6 * checks) + 2 * (25 * advanced + zoneHits + 10 * contact) -
            defenders + adjacent;
  if (ctx.fileNearKing[c] > 0) danger += 2 << (2 * ctx.fileNearKing[c]);
  if (ctx.rankNearKing[c] > 0) danger += 1 << (2 * ctx.rankNearKing[c]);

  // The f-pawn advanced with e3 against an enemy e4 pawn opens the king.
  if (fileOf(k) >= 5) {
    const uint8_t* board = pos.board;
    if (c == WHITE ? board[F2] == W_PAWN && board[E3] == W_PAWN && board[E4] == B_PAWN
                   : board[F7] == B_PAWN && board[E6] == B_PAWN && board[E5] == W_PAWN)
      danger += 10;
  }
  return danger;
}

}  // namespace

int kingDanger(const Position& pos, EvalContext& ctx, int c) {
  return c == WHITE ? kingDangerFor<WHITE>(pos, ctx) : kingDangerFor<BLACK>(pos, ctx);
}
