// Playing and taking back moves. makeMove writes the child ply record and
// updates keys, counters and material incrementally; unmakeMove restores
// only the board, because the parent record was never touched.
#include <cstring>

#include "board.h"

namespace {

// The rook's move of a castling, chosen by the king's destination.
inline void castlingRookSquares(Square kingTo, Square& rookFrom, Square& rookTo) {
  switch (kingTo) {
    case G1: rookFrom = H1; rookTo = F1; break;
    case C1: rookFrom = A1; rookTo = D1; break;
    case G8: rookFrom = H8; rookTo = F8; break;
    default: rookFrom = A8; rookTo = D8; break;
  }
}

inline void movePiece(Position& pos, int code, Square from, Square to) {
  pos.board[from] = 0;
  pos.board[to] = uint8_t(code);
  Bitboard fromTo = bit(from) | bit(to);
  pos.pieces[code] ^= fromTo;
  pos.pieces[colourOf(code)] ^= fromTo;
}

inline void removePiece(Position& pos, int code, Square s) {
  pos.pieces[code] &= ~bit(s);
  pos.pieces[colourOf(code)] &= ~bit(s);
}

inline void putPiece(Position& pos, int code, Square s) {
  pos.board[s] = uint8_t(code);
  pos.pieces[code] |= bit(s);
  pos.pieces[colourOf(code)] |= bit(s);
}

}  // namespace

void makeMove(Position& pos, Move m) {
  PlyState& p = *pos.cur;
  PlyState& c = *(pos.cur + 1);
  assert(pos.cur < pos.plies + PLY_RECORDS - 1);
  assert(pos.keyCount < KEY_HISTORY_SIZE - 1);
  const Square from = moveFrom(m), to = moveTo(m);
  const int piece = pos.board[from], victim = pos.board[to];
  const int us = p.side, them = us ^ 1;

  countNode(pos);
  c.epSquare = 0;
  c.captured = victim;
  c.side = them;
  c.fifty = uint16_t(p.fifty + 1);
  c.pliesSinceNull = uint16_t(p.pliesSinceNull + 1);
  c.material[WHITE] = p.material[WHITE];
  c.material[BLACK] = p.material[BLACK];
  c.materialSig[WHITE] = p.materialSig[WHITE];
  c.materialSig[BLACK] = p.materialSig[BLACK];
  c.threatened = ~Bitboard(0);

  // The victim's bit is cleared first so that the mover's colour set and the
  // victim's sets stay separate.
  if (victim) removePiece(pos, victim, to);
  movePiece(pos, piece, from, to);

  c.castling = p.castling & castleMask[to] & castleMask[from];
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
    if (isCastling(m)) {
      c.fifty = 0;
      Square rookFrom, rookTo;
      castlingRookSquares(to, rookFrom, rookTo);
      const int rook = rookOf(us);
      movePiece(pos, rook, rookFrom, rookTo);
      c.key ^= pieceKeys[rook][rookFrom] ^ pieceKeys[rook][rookTo];
    }
  }

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

void unmakeMove(Position& pos, Move m) {
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
  } else if (isCastling(m)) {
    Square rookFrom, rookTo;
    castlingRookSquares(to, rookFrom, rookTo);
    movePiece(pos, rookOf(mover), rookTo, rookFrom);
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
