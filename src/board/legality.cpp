// Pins, discovered-check candidates, the legality test of a pseudo-legal
// move and the cheap gives-check test.
#include "board.h"

namespace {

// The pieces of either colour standing alone between a slider of colour
// sliders and the other side's king.
Bitboard loneBlockers(const Position& pos, int sliders) {
  const Square king = kingSquare(pos, sliders ^ 1);
  const Bitboard queens = pos.pieces[queenOf(sliders)];
  Bitboard candidates = (bishopEmpty[king] & (pos.pieces[bishopOf(sliders)] | queens)) |
                        (rookEmpty[king] & (pos.pieces[rookOf(sliders)] | queens));
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  Bitboard result = 0;
  while (candidates) {
    const Bitboard between = betweenTable[king][popLowest(candidates)] & occupied;
    if (between && !moreThanOne(between)) result |= between;
  }
  return result;
}

}  // namespace

Bitboard findBlockers(const Position& pos, int mode, int colour) {
  return loneBlockers(pos, colour ^ mode) & pos.pieces[colour];
}

void findEnemyKingBlockers(const Position& pos, Bitboard* discoverers, Bitboard* pinnedEnemy) {
  const int us = pos.cur->side;
  const Bitboard blockers = loneBlockers(pos, us);
  *discoverers = blockers & pos.pieces[us];
  *pinnedEnemy = blockers & pos.pieces[us ^ 1];
}

void computeAttacksAndPins(Position& pos) {
  PlyState& st = *pos.cur;
  computeAttacks(pos);
  st.pinned = findBlockers(pos, 1, st.side);
  findEnemyKingBlockers(pos, &st.discoverers, &st.pinnedEnemy);
}

int pinOrEnPassantIllegal(const Position& pos, Move m) {
  if (m == MOVE_DELETED) return 1;
  const PlyState& st = *pos.cur;
  const Square from = moveFrom(m), to = moveTo(m);
  const Square king = kingSquare(pos, st.side);
  // A pinned piece may only move along the line through its king.
  if ((st.pinned & bit(from)) && !(lineTable[king][from] & bit(to))) return 1;
  if (!isEnPassant(m)) return 0;

  // En passant removes two pawns from one rank at once, which no pin test sees.
  const int them = st.side ^ 1;
  const Bitboard rankSliders = (pos.pieces[rookOf(them)] | pos.pieces[queenOf(them)]) & rankMask[rankOf(from)];
  if (rankOf(king) == rankOf(from) && rankSliders) {
    Square victim = st.side == WHITE ? st.epSquare - 8 : st.epSquare + 8;
    Bitboard occupied = (pos.pieces[WHITE] | pos.pieces[BLACK]) & ~bit(from) & ~bit(victim);
    if (rookLookup(king, occupied) & rankSliders) return 1;
  }
  return 0;
}

int givesCheck(const Position& pos, Move m) {
  const PlyState& st = *pos.cur;
  const Square from = moveFrom(m), to = moveTo(m);
  const Square enemyKing = kingSquare(pos, st.side ^ 1);
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  if ((st.discoverers & bit(from)) && !(lineTable[enemyKing][from] & bit(to))) return 1;

  switch (typeOf(pos.board[from])) {
    case PAWN:
      if (pawnAttackTable[st.side][to] & bit(enemyKing)) return 1;
      // A promotion on the king's own back rank checks along the rank; the
      // promoted piece's other lines are not looked at.
      if (relativeRank(st.side, to) == 7 && rankOf(enemyKing) == rankOf(to) &&
          !(betweenTable[to][enemyKing] & occupied))
        return 1;
      return 0;
    case KNIGHT:
      return (knightTable[to] & bit(enemyKing)) != 0;
    case BISHOP:
      return (bishopEmpty[to] & bit(enemyKing)) && !(betweenTable[enemyKing][to] & occupied);
    case ROOK:
      return (rookEmpty[to] & bit(enemyKing)) && !(betweenTable[enemyKing][to] & occupied);
    case QUEEN:
      return ((bishopEmpty[to] | rookEmpty[to]) & bit(enemyKing)) && !(betweenTable[enemyKing][to] & occupied);
    default:
      return 0;
  }
}

bool isLegalMove(Position& pos, Move m) {
  if (m == MOVE_NONE || m == MOVE_DELETED) return false;
  MoveEntry list[MOVE_LIST_SIZE];
  MoveEntry* saved = pos.moveCursor;
  pos.moveCursor = list;
  generateMoves(pos);
  pos.moveCursor = saved;
  for (const MoveEntry* e = list; e->move; e++)
    if (Move(e->move) == m) return isLegal(pos, m) == 0;
  return false;
}
