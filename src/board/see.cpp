// Static exchange evaluation: the material outcome of the capture sequence a
// move starts on its destination square.
#include "board.h"

int seeGain(Position& pos, Move m, int margin, int us) {
  const PlyState& st = *pos.cur;
  const int them = us ^ 1;
  const Square from = moveFrom(m), to = moveTo(m);
  const int attacker = pos.board[from];
  const int a = seeValue[attacker], v = seeValue[pos.board[to]];
  const int d = a - v;
  const int pawnValue = seeValue[W_PAWN], bishopValue = seeValue[W_BISHOP];

  // Quick answers settle most moves without building the attacker set.
  if (d <= -margin) return 1;
  // Kings are only generated onto unattacked squares; a castling king takes
  // nothing, though it may land on its own rook's square.
  if (a == seeValue[W_KING]) return isCastling(m) ? 0 : v;
  if (st.discoverers & bit(from)) return 1;
  if (isEnPassant(m) || ((st.pinned & bit(from)) && a <= bishopValue)) return 1;

  const Bitboard all = pos.pieces[WHITE] | pos.pieces[BLACK];
  const Bitboard pawnDefenders = pawnAttackTable[us][to] & pos.pieces[pawnOf(them)];
  if (pawnDefenders && d + margin > pawnValue) {
    if (pawnDefenders & st.pinnedEnemy) pos.pinnedPawnDefender = 1;
    return -d;
  }
  if (d > bishopValue - margin &&
      (pawnDefenders || (knightTable[to] & pos.pieces[knightOf(them)]) ||
       (bishopLookup(to, all & ~bit(from)) & pos.pieces[bishopOf(them)])))
    return -d;

  const Bitboard diagonalSliders = pos.pieces[W_BISHOP] | pos.pieces[B_BISHOP] | pos.pieces[W_QUEEN] | pos.pieces[B_QUEEN];
  const Bitboard straightSliders = pos.pieces[W_ROOK] | pos.pieces[B_ROOK] | pos.pieces[W_QUEEN] | pos.pieces[B_QUEEN];
  Bitboard occupied = all & ~bit(from);
  Bitboard attackers = (bishopLookup(to, occupied) & diagonalSliders) | (rookLookup(to, occupied) & straightSliders) |
                       (kingTable[to] & (pos.pieces[W_KING] | pos.pieces[B_KING])) |
                       (knightTable[to] & (pos.pieces[W_KNIGHT] | pos.pieces[B_KNIGHT])) |
                       (pawnAttackTable[BLACK][to] & pos.pieces[W_PAWN]) |
                       (pawnAttackTable[WHITE][to] & pos.pieces[B_PAWN]);
  attackers &= occupied;

  int stm = them;
  if (!(attackers & pos.pieces[stm])) return v > 0 ? 1 : 0;

  int gain[32];
  gain[0] = v;
  int current = attacker;
  int k = 1, last;
  for (;;) {
    gain[k] = seeValue[current] - gain[k - 1];

    // Least valuable attacker of stm; removing it may uncover a slider behind.
    int code = pawnOf(stm);
    for (; code != kingOf(stm); code = nextAttackerType[code] | stm) {
      Bitboard candidates = attackers & pos.pieces[code];
      if (!candidates) continue;
      occupied &= ~bit(lowestSquare(candidates));
      int type = typeOf(code);
      if (type == PAWN || type == BISHOP || type == QUEEN) attackers |= bishopLookup(to, occupied) & diagonalSliders;
      if (type == ROOK || type == QUEEN) attackers |= rookLookup(to, occupied) & straightSliders;
      attackers &= occupied;
      break;
    }
    current = code;
    stm ^= 1;

    if (current == kingOf(stm ^ 1)) {
      // A king may only capture last: an answered king capture is ruled out.
      if (attackers & pos.pieces[stm]) {
        gain[k + 1] = 16 * seeValue[W_QUEEN];
        last = k + 1;
      } else {
        last = k;
      }
      break;
    }
    k++;
    if (!(attackers & pos.pieces[stm]) || k >= 30) {
      last = k - 1;
      break;
    }
  }
  for (int j = last - 1; j >= 0; j--) gain[j] = minOf(gain[j], -gain[j + 1]);
  return gain[0];
}
