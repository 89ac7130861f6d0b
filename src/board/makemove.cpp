// Playing and taking back moves. makeMove writes the child ply record and
// updates keys, counters and material incrementally; unmakeMove restores
// only the board, because the parent record was never touched.
#include <cstring>

#include "board.h"

namespace {

// The rook's move of a castling, chosen by the king's castled square.
inline void castlingRookSquares(const Position& pos, int colour, Square kingTo, Square& rookFrom, Square& rookTo) {
  const bool longSide = fileOf(kingTo) == 2;
  rookFrom = pos.castlingRook[castlingIndex(colour, longSide)];
  rookTo = castledRookSquare(colour, longSide);
}

// Exclusive or, so that a king castling without leaving its square stays.
inline void movePiece(Position& pos, int code, Square from, Square to) {
  pos.board[from] = 0;
  pos.board[to] = uint8_t(code);
  Bitboard fromTo = bit(from) ^ bit(to);
  pos.pieces[code] ^= fromTo;
  pos.pieces[colourOf(code)] ^= fromTo;
}

// Clears the piece's bits only; the board square is the caller's.
inline void removePiece(Position& pos, int code, Square s) {
  pos.pieces[code] &= ~bit(s);
  pos.pieces[colourOf(code)] &= ~bit(s);
}

inline void putPiece(Position& pos, int code, Square s) {
  pos.board[s] = uint8_t(code);
  pos.pieces[code] |= bit(s);
  pos.pieces[colourOf(code)] |= bit(s);
}

// The fields of the child record that every move starts alike.
inline void startChild(Position& pos, const PlyState& p, PlyState& c, int victim) {
  assert(pos.cur < pos.plies + PLY_RECORDS - 1);
  assert(pos.keyCount < KEY_HISTORY_SIZE - 1);
  countNode(pos);
  c.epSquare = 0;
  c.captured = victim;
  c.side = p.side ^ 1;
  c.fifty = uint16_t(p.fifty + 1);
  c.pliesSinceNull = uint16_t(p.pliesSinceNull + 1);
  c.material[WHITE] = p.material[WHITE];
  c.material[BLACK] = p.material[BLACK];
  c.materialSig[WHITE] = p.materialSig[WHITE];
  c.materialSig[BLACK] = p.materialSig[BLACK];
  c.threatened = ~Bitboard(0);
}

// The side to move changes in the keys, and the new key joins the history.
inline void finishChild(Position& pos, PlyState& c, Move m) {
  c.key ^= sideKey;
  c.pawnKingKey ^= sideKey;
  pos.keyCount++;
  pos.keyHistory[pos.keyCount] = c.key;
  c.lastMove = m;
  c.staticEval = EVAL_NONE;
#ifndef NDEBUG
  pos.cur++;
  assert(incrementalStateMatches(pos));
  pos.cur--;
#endif
}

// Castling, kept apart from the common moves: its king may land on its own
// rook's square or stay where it is, so the rook leaves the board before the
// king moves and comes back on its castled square after it.
[[gnu::noinline]] void makeCastling(Position& pos, Move m) {
  const PlyState& p = *pos.cur;
  PlyState& c = *(pos.cur + 1);
  const Square from = moveFrom(m), to = moveTo(m);
  const int us = p.side, king = kingOf(us), rook = rookOf(us);
  Square rookFrom, rookTo;
  castlingRookSquares(pos, us, to, rookFrom, rookTo);

  startChild(pos, p, c, 0);
  pos.board[rookFrom] = 0;
  removePiece(pos, rook, rookFrom);
  movePiece(pos, king, from, to);
  putPiece(pos, rook, rookTo);

  c.castling = p.castling & pos.castleMask[to] & pos.castleMask[from];
  c.savedCameFrom = pos.cameFrom[to];
  pos.cameFrom[to] = uint8_t(from);
  c.fifty = 0;
  c.pawnStepAttacks = 0;
  const uint64_t kingMove = pieceKeys[king][from] ^ pieceKeys[king][to];
  c.pawnKingKey = p.pawnKingKey ^ kingMove;
  c.key = p.key ^ castleKeys[p.castling] ^ castleKeys[c.castling] ^ kingMove ^ pieceKeys[rook][rookFrom] ^
          pieceKeys[rook][rookTo];
  if (p.epSquare) c.key ^= epKeys[fileOf(p.epSquare)];
  finishChild(pos, c, m);
}

[[gnu::noinline]] void unmakeCastling(Position& pos, Move m) {
  const PlyState& c = *pos.cur;
  const int colour = c.side ^ 1;
  const Square from = moveFrom(m), to = moveTo(m);
  Square rookFrom, rookTo;
  castlingRookSquares(pos, colour, to, rookFrom, rookTo);
  pos.cameFrom[to] = uint8_t(c.savedCameFrom);
  pos.board[rookTo] = 0;
  removePiece(pos, rookOf(colour), rookTo);
  movePiece(pos, kingOf(colour), to, from);
  putPiece(pos, rookOf(colour), rookFrom);
  pos.keyCount--;
  pos.cur--;
}

}  // namespace

void makeMove(Position& pos, Move m) {
  if (isCastling(m)) {
    makeCastling(pos, m);
    return;
  }
  PlyState& p = *pos.cur;
  PlyState& c = *(pos.cur + 1);
  const Square from = moveFrom(m), to = moveTo(m);
  const int piece = pos.board[from], victim = pos.board[to];
  const int us = p.side, them = us ^ 1;
#ifndef NDEBUG
  const uint64_t expectedKey = keyAfterMove(pos, m);
#endif
  startChild(pos, p, c, victim);

  // The victim's bit is cleared first so that the mover's colour set and the
  // victim's sets stay separate.
  if (victim) removePiece(pos, victim, to);
  movePiece(pos, piece, from, to);

  c.castling = p.castling & pos.castleMask[to] & pos.castleMask[from];
  c.savedCameFrom = pos.cameFrom[to];
  pos.cameFrom[to] = uint8_t(from);
  c.pawnKingKey = p.pawnKingKey;
  c.key = p.key ^ castleKeys[p.castling] ^ castleKeys[c.castling] ^ pieceKeys[piece][from] ^ pieceKeys[piece][to];

  if (victim) {
    c.fifty = 0;
    c.key ^= pieceKeys[victim][to];
    if (typeOf(victim) == PAWN) c.pawnKingKey ^= pieceKeys[victim][to];
    c.materialSig[them] -= sigWeight[victim];
    c.material[them] -= materialValue[victim];
  }
  const int type = typeOf(piece);
  if (type == PAWN || type == KING) c.pawnKingKey ^= pieceKeys[piece][from] ^ pieceKeys[piece][to];
  if (p.epSquare) c.key ^= epKeys[fileOf(p.epSquare)];

  if (type == PAWN) {
    c.fifty = 0;
    if (!isPromotion(m)) {
      c.pawnStepAttacks = pawnAttackTable[us][to];
      if (isEnPassant(m)) {
        const Square victimSquare = to ^ 8;
        const int pawn = pawnOf(them);
        pos.board[victimSquare] = 0;
        removePiece(pos, pawn, victimSquare);
        c.key ^= pieceKeys[pawn][victimSquare];
        c.pawnKingKey ^= pieceKeys[pawn][victimSquare];
        c.materialSig[them] -= sigWeight[pawn];
        c.material[them] -= materialValue[pawn];
      } else if ((from ^ to) == 16) {
        // Record the en-passant square only when an enemy pawn could use it.
        const Bitboard beside = ((fileOf(to) != 0 ? bit(to - 1) : 0) | (fileOf(to) != 7 ? bit(to + 1) : 0));
        if (beside & pos.pieces[pawnOf(them)]) {
          c.epSquare = (from + to) / 2;
          c.key ^= epKeys[fileOf(c.epSquare)];
        }
      }
    } else {
      const int promoted = promotedCode(m, us);
      pos.pieces[piece] &= ~bit(to);
      c.materialSig[us] += sigWeight[promoted] - sigWeight[piece];
      c.material[us] += materialValue[promoted] - materialValue[piece];
      pos.pieces[promoted] |= bit(to);
      pos.board[to] = uint8_t(promoted);
      c.key ^= pieceKeys[piece][to] ^ pieceKeys[promoted][to];
      c.pawnKingKey ^= pieceKeys[piece][to];
      pos.cameFrom[to] = 127;
      c.pawnStepAttacks = 0;
    }
  } else {
    c.pawnStepAttacks = 0;
  }
  finishChild(pos, c, m);
  assert(c.key == expectedKey);
}

uint64_t keyAfterMove(const Position& pos, Move m) {
  const PlyState& p = *pos.cur;
  const Square from = moveFrom(m), to = moveTo(m);
  const int piece = pos.board[from], victim = pos.board[to];
  uint64_t key = p.key ^ sideKey ^ pieceKeys[piece][from] ^ pieceKeys[piece][to];
  if (isCastling(m)) return key;
  key ^= castleKeys[p.castling] ^ castleKeys[p.castling & pos.castleMask[to] & pos.castleMask[from]];
  if (victim) key ^= pieceKeys[victim][to];
  if (p.epSquare) key ^= epKeys[fileOf(p.epSquare)];
  if (isPromotion(m)) {
    key ^= pieceKeys[piece][to] ^ pieceKeys[promotedCode(m, p.side)][to];
  } else if (isEnPassant(m)) {
    key ^= pieceKeys[pawnOf(p.side ^ 1)][to ^ 8];
  } else if (typeOf(piece) == PAWN && (from ^ to) == 16) {
    const Bitboard beside = (fileOf(to) != 0 ? bit(to - 1) : 0) | (fileOf(to) != 7 ? bit(to + 1) : 0);
    if (beside & pos.pieces[pawnOf(p.side ^ 1)]) key ^= epKeys[fileOf(to)];
  }
  return key;
}

void unmakeMove(Position& pos, Move m) {
  if (isCastling(m)) {
    unmakeCastling(pos, m);
    return;
  }
  const PlyState& c = *pos.cur;
  const int mover = c.side ^ 1;
  const Square from = moveFrom(m), to = moveTo(m);
  int piece = pos.board[to];

  pos.cameFrom[to] = uint8_t(c.savedCameFrom);
  if (isPromotion(m)) {
    pos.pieces[piece] &= ~bit(to);
    pos.pieces[pawnOf(mover)] |= bit(to);
    piece = pawnOf(mover);
  }
  movePiece(pos, piece, to, from);
  if (c.captured) {
    putPiece(pos, c.captured, to);
  } else if (isEnPassant(m)) {
    putPiece(pos, pawnOf(c.side), to ^ 8);
  }
  pos.keyCount--;
  pos.cur--;
}

void makeGameMove(Position& pos, Move m) {
  assert(pos.cur == &pos.plies[0]);
  if (isCastling(m) || pos.board[moveTo(m)] || typeOf(pos.board[moveFrom(m)]) == PAWN)
    pos.irreversibleIndex = pos.keyCount;
  makeMove(pos, m);
  pos.rootKeyIndex = pos.keyCount;
  memcpy(&pos.plies[0], &pos.plies[1], sizeof(PlyState));
  // The root record carries complete attack information, like a FEN set-up.
  computeAttacksAndPins(pos);
}

bool incrementalStateMatches(const Position& pos) {
  const PlyState& st = *pos.cur;
  uint64_t key = baseKey, pawnKingKey = baseKey;
  int32_t material[2] = {0, 0}, signature[2] = {0, 0};
  Bitboard pieces[16] = {};
  if (st.side == BLACK) {
    key ^= sideKey;
    pawnKingKey ^= sideKey;
  }
  key ^= castleKeys[st.castling];
  if (st.epSquare) key ^= epKeys[fileOf(st.epSquare)];
  for (Square s = 0; s < 64; s++) {
    int code = pos.board[s];
    if (!code) continue;
    key ^= pieceKeys[code][s];
    if (typeOf(code) == PAWN || typeOf(code) == KING) pawnKingKey ^= pieceKeys[code][s];
    material[colourOf(code)] += materialValue[code];
    signature[colourOf(code)] += sigWeight[code];
    pieces[code] |= bit(s);
    pieces[colourOf(code)] |= bit(s);
  }
  return key == st.key && pawnKingKey == st.pawnKingKey && material[0] == st.material[0] &&
         material[1] == st.material[1] && signature[0] == st.materialSig[0] && signature[1] == st.materialSig[1] &&
         memcmp(pieces, pos.pieces, sizeof pieces) == 0 && pos.keyHistory[pos.keyCount] == st.key;
}
