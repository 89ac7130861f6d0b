// Attacks on pieces, for both colours at once, from white's point of view.
#include <initializer_list>

#include "eval.h"

namespace {

// Attacks of each attacker type on the victim set, scored once per victim type.
template <int attackerColour>
int32_t piecesUnderAttack(const Position& pos, Bitboard victims) {
  const PlyState& st = *pos.cur;
  constexpr int victimColour = attackerColour ^ 1;
  const Bitboard byType[4] = {st.knightAttacksAll[attackerColour], st.bishopAttacksAll[attackerColour],
                              st.rookAttacksAll[attackerColour], st.queenAttacksAll[attackerColour]};
  constexpr int attackerCodes[4] = {knightOf(attackerColour), bishopOf(attackerColour), rookOf(attackerColour),
                                    queenOf(attackerColour)};
  constexpr int victimCodes[5] = {pawnOf(victimColour), knightOf(victimColour), bishopOf(victimColour),
                                  rookOf(victimColour), queenOf(victimColour)};
  int32_t s = 0;
  for (int a = 0; a < 4; a++) {
    const Bitboard hit = victims & byType[a];
    if (!hit) continue;
    for (int victim : victimCodes)
      if (hit & pos.pieces[victim]) s += threat[attackerCodes[a]][victim];
  }
  return s;
}

template <int pawnColour>
int32_t pawnAttacksOn(const Position& pos) {
  const Bitboard attacked = pos.cur->pawnAttacks[pawnColour];
  constexpr int them = pawnColour ^ 1;
  int32_t s = 0;
  for (int victim : {knightOf(them), bishopOf(them), rookOf(them), queenOf(them)})
    s += popCount(pos.pieces[victim] & attacked) * threat[pawnOf(pawnColour)][victim];
  return s;
}

}  // namespace

int32_t evaluateThreats(const Position& pos) {
  const PlyState& st = *pos.cur;
  int32_t s = 0;
  const Bitboard blackMinors = pos.pieces[B_KNIGHT] | pos.pieces[B_BISHOP];
  const Bitboard whiteMinors = pos.pieces[W_KNIGHT] | pos.pieces[W_BISHOP];
  if (blackMinors & ~st.attacks[BLACK]) s += undefendedMinor;
  if (whiteMinors & ~st.attacks[WHITE]) s -= undefendedMinor;

  s += piecesUnderAttack<WHITE>(pos, pos.pieces[BLACK] & st.attacks[WHITE] & ~st.pawnAttacks[BLACK]);
  s += piecesUnderAttack<BLACK>(pos, pos.pieces[WHITE] & st.attacks[BLACK] & ~st.pawnAttacks[WHITE]);
  s += pawnAttacksOn<WHITE>(pos) + pawnAttacksOn<BLACK>(pos);
  return s;
}
