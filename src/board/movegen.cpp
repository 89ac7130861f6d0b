// Attack information of a position and the pseudo-legal move generators.
// The generators never compute slider attacks: they read the sets that
// computeAttacks stored in the ply record.
#include "board.h"

namespace {

// Shifts a set one step "forward" by delta squares for the given colour.
template <int Us>
constexpr Bitboard forward(Bitboard b, int delta) {
  return Us == WHITE ? b << delta : b >> delta;
}

struct PawnGeometry {
  int push;                 // +8 or -8
  int towardsH, towardsA;   // capture steps: white +9/+7, black -7/-9
  Bitboard rank7, rank3;    // relative 7th rank; rank reached by a first push
};

template <int Us>
constexpr PawnGeometry pawnGeometry() {
  return Us == WHITE ? PawnGeometry{8, 9, 7, RANK_1 << 48, RANK_1 << 16}
                     : PawnGeometry{-8, -7, -9, RANK_1 << 8, RANK_1 << 40};
}

inline void emit(MoveEntry*& out, Square from, Square to, int kind = 0) {
  out->move = makeMoveWord(from, to, kind);
  out++;
}

inline void emitPromotions(MoveEntry*& out, Square from, Square to) {
  emit(out, from, to, PROMOTE_QUEEN);
  emit(out, from, to, PROMOTE_KNIGHT);
  emit(out, from, to, PROMOTE_ROOK);
  emit(out, from, to, PROMOTE_BISHOP);
}

// Pawn captures in one direction whose targets lie in targets: the
// capture-promotions first, then the rest, each in ascending order.
template <int Us>
void emitPawnCaptures(MoveEntry*& out, Bitboard pawns, Bitboard targets, int step, Bitboard excludedFile,
                      Square ep) {
  Bitboard to = forward<Us>(pawns & ~excludedFile, Us == WHITE ? step : -step) & targets;
  Bitboard lastRank = Us == WHITE ? RANK_8 : RANK_1;
  for (Bitboard b = to & lastRank; b;) {
    Square t = popLowest(b);
    emitPromotions(out, t - step, t);
  }
  for (Bitboard b = to & ~lastRank; b;) {
    Square t = popLowest(b);
    emit(out, t - step, t, t == ep ? MOVE_EN_PASSANT : 0);
  }
}

inline void emitTargets(MoveEntry*& out, Square from, Bitboard targets) {
  while (targets) emit(out, from, popLowest(targets));
}

// Knight, bishop, rook and queen moves onto targets, each piece in
// ascending square order (the order of its stored attack slot).
inline void emitPieceMoves(MoveEntry*& out, const Position& pos, const PlyState& st, int us, Bitboard targets) {
  for (Bitboard b = pos.pieces[knightOf(us)]; b;) {
    Square s = popLowest(b);
    emitTargets(out, s, knightTable[s] & targets);
  }
  int slot = 0;
  for (Bitboard b = pos.pieces[bishopOf(us)]; b; slot++) emitTargets(out, popLowest(b), st.bishopAttacks[us][slot] & targets);
  slot = 0;
  for (Bitboard b = pos.pieces[rookOf(us)]; b; slot++) emitTargets(out, popLowest(b), st.rookAttacks[us][slot] & targets);
  slot = 0;
  for (Bitboard b = pos.pieces[queenOf(us)]; b; slot++) emitTargets(out, popLowest(b), st.queenAttacks[us][slot] & targets);
}

// Stores the attack set of each slider of one code in its slot (ascending
// square order) and returns their union. A slider that checks our king adds
// itself and the squares between to the evasion mask, and its whole line
// to the squares the king may not step onto.
inline Bitboard sliderAttacks(const Position& pos, PlyState& st, int code, Bitboard occupied, bool checkers,
                              Square ourKing, Bitboard* slots, Bitboard& unionOut, int& checkCount) {
  const int type = typeOf(code);
  Bitboard all = 0;
  for (Bitboard b = pos.pieces[code]; b; slots++) {
    const Square s = popLowest(b);
    const Bitboard a = type == BISHOP ? bishopLookup(s, occupied)
                     : type == ROOK   ? rookLookup(s, occupied)
                                      : queenLookup(s, occupied);
    *slots = a;
    all |= a;
    if (checkers && (a & bit(ourKing))) {
      st.evasionMask |= bit(s) | betweenTable[s][ourKing];
      const bool straight = type == ROOK || (type == QUEEN && (rookEmpty[s] & bit(ourKing)));
      st.kingForbidden |= straight ? rookEmpty[s] : bishopEmpty[s];
      checkCount++;
    }
  }
  unionOut = all;
  return all;
}

// Attacks of colour c; when c is the side not to move, also finds the pieces
// that give check to our king.
template <int Us, int c>
void attacksOf(Position& pos, PlyState& st, Bitboard occupied, Square ourKing) {
  constexpr bool checkers = c != Us;  // the side not to move is tested against our king
  const Bitboard kingBit = bit(ourKing);
  int checkCount = 0;

  Bitboard pawns = pos.pieces[pawnOf(c)];
  Bitboard pawnAttacks = c == WHITE ? ((pawns & ~FILE_H) << 9) | ((pawns & ~FILE_A) << 7)
                                    : ((pawns & ~FILE_H) >> 7) | ((pawns & ~FILE_A) >> 9);
  st.pawnAttacks[c] = pawnAttacks;
  Bitboard all = pawnAttacks | kingTable[lowestSquare(pos.pieces[kingOf(c)])];
  if (checkers && (pawnAttacks & kingBit)) {
    Square checker;
    if (Us == WHITE)
      checker = fileOf(ourKing) != 0 && pos.board[ourKing + 7] == B_PAWN ? ourKing + 7 : ourKing + 9;
    else
      checker = fileOf(ourKing) != 0 && pos.board[ourKing - 9] == W_PAWN ? ourKing - 9 : ourKing - 7;
    st.evasionMask = bit(checker);
    checkCount = 1;
  }

  Bitboard knights = 0;
  for (Bitboard b = pos.pieces[knightOf(c)]; b;) {
    Square s = popLowest(b);
    knights |= knightTable[s];
    if (checkers && (knightTable[s] & kingBit)) {
      st.evasionMask = bit(s);
      checkCount++;
    }
  }
  st.knightAttacksAll[c] = knights;
  all |= knights;

  all |= sliderAttacks(pos, st, bishopOf(c), occupied, checkers, ourKing, st.bishopAttacks[c], st.bishopAttacksAll[c], checkCount);
  all |= sliderAttacks(pos, st, rookOf(c), occupied, checkers, ourKing, st.rookAttacks[c], st.rookAttacksAll[c], checkCount);
  all |= sliderAttacks(pos, st, queenOf(c), occupied, checkers, ourKing, st.queenAttacks[c], st.queenAttacksAll[c], checkCount);
  st.attacks[c] = all;

  if (checkCount > 1) st.evasionMask = 0;  // double check: only the king can move
}

template <int Us>
void computeAttacksFor(Position& pos) {
  PlyState& st = *pos.cur;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  const Square ourKing = lowestSquare(pos.pieces[kingOf(Us)]);
  st.evasionMask = st.kingForbidden = 0;
  attacksOf<Us, Us>(pos, st, occupied, ourKing);
  attacksOf<Us, Us ^ 1>(pos, st, occupied, ourKing);
}

template <int Us>
void captures(Position& pos) {
  constexpr PawnGeometry g = pawnGeometry<Us>();
  const PlyState& st = *pos.cur;
  const Bitboard theirs = pos.pieces[Us ^ 1];
  const Bitboard empty = ~(pos.pieces[WHITE] | pos.pieces[BLACK]);
  const Bitboard pawns = pos.pieces[pawnOf(Us)];
  MoveEntry* out = pos.moveCursor;

  Bitboard targets = theirs | (st.epSquare ? bit(st.epSquare) : 0);
  emitPawnCaptures<Us>(out, pawns, targets, g.towardsH, FILE_H, st.epSquare);
  emitPawnCaptures<Us>(out, pawns, targets, g.towardsA, FILE_A, st.epSquare);

  for (Bitboard b = forward<Us>(pawns & g.rank7, 8) & empty; b;) {
    Square to = popLowest(b);
    emitPromotions(out, to - g.push, to);
  }

  Square king = lowestSquare(pos.pieces[kingOf(Us)]);
  emitTargets(out, king, kingTable[king] & theirs & ~st.attacks[Us ^ 1]);
  emitPieceMoves(out, pos, st, Us, theirs);
  pos.moveCursor = out;
}

template <int Us>
void quiets(Position& pos) {
  constexpr PawnGeometry g = pawnGeometry<Us>();
  const PlyState& st = *pos.cur;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  const Bitboard empty = ~occupied;
  const Bitboard enemyAttacks = st.attacks[Us ^ 1];
  MoveEntry* out = pos.moveCursor;

  // Castling, king side first: a right held means king and rook at home.
  const Square king = lowestSquare(pos.pieces[kingOf(Us)]);
  for (bool longSide : {false, true}) {
    const int index = castlingIndex(Us, longSide);
    if ((st.castling & (1 << index)) && castlingIsOpen(pos, st, index))
      emit(out, king, castledKingSquare(Us, longSide), MOVE_CASTLE);
  }

  const Bitboard pawns = pos.pieces[pawnOf(Us)];
  Bitboard single = forward<Us>(pawns & ~g.rank7, 8) & empty;
  Bitboard twice = forward<Us>(single & g.rank3, 8) & empty;
  for (Bitboard b = single; b;) {
    Square to = popLowest(b);
    emit(out, to - g.push, to);
  }
  for (Bitboard b = twice; b;) {
    Square to = popLowest(b);
    emit(out, to - 2 * g.push, to);
  }

  emitPieceMoves(out, pos, st, Us, empty);
  emitTargets(out, king, kingTable[king] & empty & ~enemyAttacks);
  pos.moveCursor = out;
}

template <int Us>
void evasions(Position& pos) {
  constexpr PawnGeometry g = pawnGeometry<Us>();
  const PlyState& st = *pos.cur;
  const Bitboard empty = ~(pos.pieces[WHITE] | pos.pieces[BLACK]);
  MoveEntry* out = pos.moveCursor;

  Square king = lowestSquare(pos.pieces[kingOf(Us)]);
  emitTargets(out, king, kingTable[king] & ~pos.pieces[Us] & ~st.attacks[Us ^ 1] & ~st.kingForbidden);

  const Bitboard mask = st.evasionMask;
  if (mask) {
    const Bitboard pawns = pos.pieces[pawnOf(Us)];
    const Bitboard lastRank = Us == WHITE ? RANK_8 : RANK_1;
    Bitboard captureTargets = pos.pieces[Us ^ 1] & mask;
    emitPawnCaptures<Us>(out, pawns, captureTargets, g.towardsH, FILE_H, 0);
    emitPawnCaptures<Us>(out, pawns, captureTargets, g.towardsA, FILE_A, 0);

    Bitboard single = forward<Us>(pawns, 8) & empty;
    for (Bitboard b = single & mask & lastRank; b;) {
      Square to = popLowest(b);
      emitPromotions(out, to - g.push, to);
    }
    for (Bitboard b = single & mask & ~lastRank; b;) {
      Square to = popLowest(b);
      emit(out, to - g.push, to);
    }
    for (Bitboard b = forward<Us>(single & g.rank3, 8) & empty & mask; b;) {
      Square to = popLowest(b);
      emit(out, to - 2 * g.push, to);
    }

    // En passant helps when the pawn that just stepped twice is the checker,
    // or, in a position set up from a FEN, when the capture lands between a
    // sliding checker and the king.
    Square ep = st.epSquare;
    if (ep && (mask & (bit(ep) | bit(ep ^ 8)))) {
      Square victim = ep ^ 8;
      if (fileOf(ep) != 0 && pos.board[victim - 1] == pawnOf(Us)) emit(out, victim - 1, ep, MOVE_EN_PASSANT);
      if (fileOf(ep) != 7 && pos.board[victim + 1] == pawnOf(Us)) emit(out, victim + 1, ep, MOVE_EN_PASSANT);
    }

    emitPieceMoves(out, pos, st, Us, mask);
  }
  out->move = 0;
  pos.moveCursor = out;
}

// Emits the quiet moves of one piece: all of them when it starts inside the
// zone (it may uncover a check), otherwise only those ending inside it.
inline void emitZoneMoves(MoveEntry*& out, Square from, Bitboard targets, Bitboard zone) {
  emitTargets(out, from, (zone & bit(from)) ? targets : targets & zone);
}

template <int Us>
void checkCandidates(Position& pos) {
  constexpr PawnGeometry g = pawnGeometry<Us>();
  const PlyState& st = *pos.cur;
  const Bitboard theirs = pos.pieces[Us ^ 1];
  const Bitboard empty = ~(pos.pieces[WHITE] | pos.pieces[BLACK]);
  Square enemyKing = lowestSquare(pos.pieces[kingOf(Us ^ 1)]);
  const Bitboard zone =
      ~theirs & (bishopLookup(enemyKing, theirs) | rookLookup(enemyKing, theirs) | knightTable[enemyKing]);
  pos.checkZone = zone;
  MoveEntry* out = pos.moveCursor;

  const Bitboard pawns = pos.pieces[pawnOf(Us)];
  Bitboard single = forward<Us>(pawns & ~g.rank7, 8) & empty;
  Bitboard twice = forward<Us>(single & g.rank3, 8) & empty;
  for (Bitboard b = single; b;) {
    Square to = popLowest(b);
    if (zone & (bit(to) | bit(to - g.push))) emit(out, to - g.push, to);
  }
  for (Bitboard b = twice; b;) {
    Square to = popLowest(b);
    if (zone & (bit(to) | bit(to - 2 * g.push))) emit(out, to - 2 * g.push, to);
  }

  for (Bitboard b = pos.pieces[knightOf(Us)]; b;) {
    Square s = popLowest(b);
    emitZoneMoves(out, s, knightTable[s] & empty, zone);
  }
  int slot = 0;
  for (Bitboard b = pos.pieces[bishopOf(Us)]; b; slot++) {
    Square s = popLowest(b);
    emitZoneMoves(out, s, st.bishopAttacks[Us][slot] & empty, zone);
  }
  slot = 0;
  for (Bitboard b = pos.pieces[rookOf(Us)]; b; slot++) {
    Square s = popLowest(b);
    emitZoneMoves(out, s, st.rookAttacks[Us][slot] & empty, zone);
  }
  slot = 0;
  for (Bitboard b = pos.pieces[queenOf(Us)]; b; slot++) {
    Square s = popLowest(b);
    emitZoneMoves(out, s, st.queenAttacks[Us][slot] & empty, zone);
  }
  Square king = lowestSquare(pos.pieces[kingOf(Us)]);
  emitZoneMoves(out, king, kingTable[king] & empty & ~st.attacks[Us ^ 1], zone);
  pos.moveCursor = out;
}

}  // namespace

void computeAttacks(Position& pos) {
  if (pos.cur->side == WHITE)
    computeAttacksFor<WHITE>(pos);
  else
    computeAttacksFor<BLACK>(pos);
}

void generateCaptures(Position& pos) {
  if (pos.cur->side == WHITE)
    captures<WHITE>(pos);
  else
    captures<BLACK>(pos);
}

void generateQuiets(Position& pos) {
  if (pos.cur->side == WHITE)
    quiets<WHITE>(pos);
  else
    quiets<BLACK>(pos);
}

void generateAll(Position& pos) {
  generateCaptures(pos);
  generateQuiets(pos);
  pos.moveCursor->move = 0;
}

void generateEvasions(Position& pos) {
  if (pos.cur->side == WHITE)
    evasions<WHITE>(pos);
  else
    evasions<BLACK>(pos);
}

void generateCheckCandidates(Position& pos) {
  if (pos.cur->side == WHITE)
    checkCandidates<WHITE>(pos);
  else
    checkCandidates<BLACK>(pos);
}

void generateMoves(Position& pos) {
  if (inCheck(pos))
    generateEvasions(pos);
  else
    generateAll(pos);
}
