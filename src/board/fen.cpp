// Zobrist keys, FEN set-up and the text form of moves.
#include <cstdlib>
#include <cstring>
#include <random>

#include "board.h"

uint64_t sideKey;
uint64_t epKeys[8];
uint64_t castleKeys[16];
uint64_t pieceKeys[16][64];
uint64_t baseKey;

const char* const startFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

void initZobrist() {
  std::mt19937 twister(82352);
  auto next = [&twister] {
    uint64_t high = twister();
    return high << 32 | uint64_t(twister());
  };
  sideKey = next();
  for (auto& key : epKeys) key = next();
  for (auto& key : castleKeys) key = next();
  next();  // drawn and discarded; keeps the later keys where they always were
  for (auto& row : pieceKeys)
    for (auto& key : row) key = next();
  baseKey = next();
}

void computeKeys(Position& pos) {
  PlyState& st = *pos.cur;
  st.key = st.pawnKingKey = baseKey;
  st.material[WHITE] = st.material[BLACK] = 0;
  if (st.side == BLACK) {
    st.key ^= sideKey;
    st.pawnKingKey ^= sideKey;
  }
  st.key ^= castleKeys[st.castling];
  if (st.epSquare) st.key ^= epKeys[fileOf(st.epSquare)];
  for (Square s = 0; s < 64; s++) {
    int code = pos.board[s];
    if (!code) continue;
    st.key ^= pieceKeys[code][s];
    if (code == W_PAWN || code == B_PAWN || code == W_KING || code == B_KING) st.pawnKingKey ^= pieceKeys[code][s];
    // Added as unsigned: a board of absurd material, which the caller then
    // refuses, must not overflow the packed total.
    st.material[colourOf(code)] = int32_t(uint32_t(st.material[colourOf(code)]) + uint32_t(materialValue[code]));
  }
}

namespace {

// Copies the next blank-separated field of text into field (at most cap - 1
// characters; the rest of an over-long field is skipped) and returns the
// position after it. The word "moves" ends the FEN: it reads as an empty
// field and is not passed, so every later field reads empty as well.
const char* nextField(const char* text, char* field, int cap) {
  while (*text == ' ') text++;
  const char* start = text;
  int n = 0;
  for (; *text && *text != ' '; text++)
    if (n < cap - 1) field[n++] = *text;
  field[n] = 0;
  if (strcmp(field, "moves") == 0) {
    field[0] = 0;
    return start;
  }
  return text;
}

int pieceCodeOfLetter(char c) {
  switch (c) {
    case 'P': return W_PAWN;
    case 'N': return W_KNIGHT;
    case 'B': return W_BISHOP;
    case 'R': return W_ROOK;
    case 'Q': return W_QUEEN;
    case 'K': return W_KING;
    case 'p': return B_PAWN;
    case 'n': return B_KNIGHT;
    case 'b': return B_BISHOP;
    case 'r': return B_ROOK;
    case 'q': return B_QUEEN;
    case 'k': return B_KING;
    default: return 0;
  }
}

// Which rook a castling letter names, or -1 when it names none: X-FEN's K
// and Q the outermost rook on that side of the king, a file letter (the
// Shredder-FEN form, and X-FEN's for an inner rook) the rook on that file.
// The side of the king the rook stands on decides the right.
Square castlingRookOfLetter(const Position& pos, int colour, char letter, Square king) {
  const Bitboard rooks = pos.pieces[rookOf(colour)] & (colour == WHITE ? RANK_1 : RANK_8);
  const Bitboard west = rooks & (bit(king) - 1), east = rooks & ~(bit(king) - 1);
  if (letter == 'K') return east ? highestSquare(east) : -1;
  if (letter == 'Q') return west ? lowestSquare(west) : -1;
  const Square s = makeSquare(letter - 'A', rankOf(king));
  return rooks & bit(s) ? s : -1;
}

// Reads the castling field into the rights and the game's castling tables.
// Refuses a letter that names no rook, a king off its back rank, and two
// rooks on one side of the king; characters such as "-" are ignored.
bool readCastling(Position& pos, const char* field) {
  Square rooks[4] = {-1, -1, -1, -1};
  for (const char* c = field; *c; c++) {
    const bool white = (*c >= 'A' && *c <= 'H') || *c == 'K' || *c == 'Q';
    const bool black = (*c >= 'a' && *c <= 'h') || *c == 'k' || *c == 'q';
    if (!white && !black) continue;
    const int colour = white ? WHITE : BLACK;
    const Bitboard king = pos.pieces[kingOf(colour)] & rankMask[colour == WHITE ? 0 : 7];
    if (popCount(king) != 1) return false;
    const Square rook = castlingRookOfLetter(pos, colour, char(white ? *c : *c - 'a' + 'A'), lowestSquare(king));
    if (rook < 0) return false;
    const int index = castlingIndex(colour, rook < lowestSquare(king));
    if (rooks[index] >= 0 && rooks[index] != rook) return false;
    rooks[index] = rook;
  }

  PlyState& st = *pos.cur;
  memset(pos.castleMask, 0xFF, sizeof pos.castleMask);
  for (int index = 0; index < 4; index++) {
    const int colour = index & 1, rank = colour == WHITE ? 0 : 7;
    const bool longSide = index >= 2;
    // Without the right the tables are never read; the standard squares
    // keep them sane.
    const Square rook = rooks[index] >= 0 ? rooks[index] : makeSquare(longSide ? 0 : 7, rank);
    const Bitboard backRankKing = pos.pieces[kingOf(colour)] & rankMask[rank];
    const Square king = backRankKing ? lowestSquare(backRankKing) : makeSquare(4, rank);
    const Square kingTo = castledKingSquare(colour, longSide), rookTo = castledRookSquare(colour, longSide);
    pos.castlingRook[index] = rook;
    pos.castlingSafe[index] = betweenTable[king][kingTo] | bit(king) | bit(kingTo);
    pos.castlingEmpty[index] =
        (betweenTable[king][kingTo] | bit(kingTo) | betweenTable[rook][rookTo] | bit(rookTo)) & ~bit(king) & ~bit(rook);
    if (rooks[index] < 0) continue;
    st.castling |= 1 << index;
    pos.castleMask[rook] &= uint8_t(~(1 << index));
    pos.castleMask[king] &= uint8_t(~(0x5 << colour));
  }
  return true;
}

// An en-passant square is kept only if the last move can have been a double
// step onto the square in front of it: otherwise an en-passant capture would
// remove whatever stands there. It is dropped too when removing the pawn in
// front would open a diagonal from an enemy bishop or queen onto our king:
// the capturing pawn lands off that diagonal, so no capture could ever be
// legal, and the legality test only looks for a king exposed along its rank.
bool plausibleEnPassant(const Position& pos, Square ep, int side) {
  const int them = side ^ 1;
  if (relativeRank(side, ep) != 5) return false;
  const Square pawnSquare = ep ^ 8;
  const Square origin = side == WHITE ? ep + 8 : ep - 8;
  if (pos.board[ep] != 0 || pos.board[origin] != 0 || pos.board[pawnSquare] != pawnOf(them)) return false;

  Bitboard occupied = 0, ourKing = 0, diagonal = 0;
  for (Square s = 0; s < 64; s++) {
    const int code = pos.board[s];
    if (!code) continue;
    occupied |= bit(s);
    if (code == kingOf(side)) ourKing |= bit(s);
    if (code == bishopOf(them) || code == queenOf(them)) diagonal |= bit(s);
  }
  if (popCount(ourKing) != 1) return true;  // the position is refused anyway
  const Square king = lowestSquare(ourKing);
  const Bitboard uncovered = bishopLookup(king, occupied & ~bit(pawnSquare)) & ~bishopLookup(king, occupied);
  return !(uncovered & diagonal);
}

}  // namespace

bool parseFen(Position& pos, const char* fen) {
  pos.cur = &pos.plies[0];
  PlyState& st = *pos.cur;
  memset(pos.board, 0, sizeof pos.board);
  memset(pos.pieces, 0, sizeof pos.pieces);
  memset(&st, 0, sizeof st);
  memset(pos.cameFrom, 127, sizeof pos.cameFrom);

  char field[128];
  const char* text = nextField(fen, field, sizeof field);
  int n = 0;
  for (const char* c = field; n < 64; c++) {
    if (*c >= '1' && *c <= '8') {
      n += *c - '0';
    } else if (int code = pieceCodeOfLetter(*c)) {
      pos.board[makeSquare(n % 8, 7 - n / 8)] = uint8_t(code);
      n++;
    } else if (*c != '/') {
      return false;  // unknown character, or the field ended early
    }
  }

  for (Square s = 0; s < 64; s++) {
    if (int code = pos.board[s]) {
      st.materialSig[colourOf(code)] += sigWeight[code];
      pos.pieces[code] |= bit(s);
      pos.pieces[colourOf(code)] |= bit(s);
    }
  }

  text = nextField(text, field, sizeof field);
  if (strcmp(field, "w") == 0)
    st.side = WHITE;
  else if (strcmp(field, "b") == 0)
    st.side = BLACK;
  else
    return false;

  // A FEN cut short after the side to move, or followed by "moves" there,
  // reads as "-" for the missing castling and en-passant fields.
  text = nextField(text, field, sizeof field);
  if (!readCastling(pos, field)) return false;

  text = nextField(text, field, sizeof field);
  if (strlen(field) >= 2) {
    if (field[0] < 'a' || field[0] > 'h' || (field[1] != '3' && field[1] != '6')) return false;
    Square ep = makeSquare(field[0] - 'a', field[1] - '1');
    st.epSquare = plausibleEnPassant(pos, ep, st.side) ? ep : 0;
  }

  nextField(text, field, sizeof field);
  long halfmoves = strtol(field, nullptr, 10);
  st.fifty = uint16_t(halfmoves < 0 ? 0 : halfmoves > 1000 ? 1000 : halfmoves);
  st.pliesSinceNull = 0;

  computeKeys(pos);

  pos.keyCount = pos.irreversibleIndex = pos.rootKeyIndex = 0;
  pos.keyHistory[0] = st.key;

  // The attack code needs exactly one king per side and an attack slot for
  // each slider; without them only the board is set up, and the caller must
  // refuse the position (no game has that many sliders of a kind).
  bool slotsSuffice = true;
  for (int code : {W_BISHOP, B_BISHOP, W_ROOK, B_ROOK, W_QUEEN, B_QUEEN})
    slotsSuffice = slotsSuffice && popCount(pos.pieces[code]) <= SLIDER_SLOTS;
  if (popCount(pos.pieces[W_KING]) == 1 && popCount(pos.pieces[B_KING]) == 1 && slotsSuffice) {
    computeAttacksAndPins(pos);
  }
  st.staticEval = EVAL_NONE;
  st.threatened = ~Bitboard(0);
  st.lastMove = st.hashMove = st.parentThreat = 0;
  return true;
}

bool isLegalPosition(const Position& pos) {
  const PlyState& st = *pos.cur;
  if (popCount(pos.pieces[W_KING]) != 1 || popCount(pos.pieces[B_KING]) != 1) return false;
  if ((pos.pieces[W_PAWN] | pos.pieces[B_PAWN]) & (RANK_1 | RANK_8)) return false;
  // The side that just moved cannot have left its king in check.
  if (st.attacks[st.side] & pos.pieces[kingOf(st.side ^ 1)]) return false;
  // Material no game can reach: more than eight pawns and promoted pieces.
  // Move lists and per-piece attack slots are sized for reachable material.
  for (int c = WHITE; c <= BLACK; c++) {
    int extra = popCount(pos.pieces[pawnOf(c)]) + maxOf(0, popCount(pos.pieces[queenOf(c)]) - 1) +
                maxOf(0, popCount(pos.pieces[rookOf(c)]) - 2) + maxOf(0, popCount(pos.pieces[bishopOf(c)]) - 2) +
                maxOf(0, popCount(pos.pieces[knightOf(c)]) - 2);
    if (extra > 8) return false;
  }
  return true;
}

Move moveFromText(const Position& pos, const char* text, int* length, bool chess960) {
  *length = 0;
  if (text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8' || text[2] < 'a' || text[2] > 'h' ||
      text[3] < '1' || text[3] > '8')
    return MOVE_NONE;
  Square from = makeSquare(text[0] - 'a', text[1] - '1');
  Square to = makeSquare(text[2] - 'a', text[3] - '1');
  int kind = 0;
  *length = 4;
  switch (text[4]) {
    case 'n': kind = PROMOTE_KNIGHT; break;
    case 'b': kind = PROMOTE_BISHOP; break;
    case 'r': kind = PROMOTE_ROOK; break;
    case 'q': kind = PROMOTE_QUEEN; break;
    default: break;
  }
  if (kind) *length = 5;
  int piece = pos.board[from];
  int ep = pos.cur->epSquare;
  if ((piece == W_PAWN || piece == B_PAWN) && ep && to == ep) kind = MOVE_EN_PASSANT;
  if (chess960) {
    // Only the rook of a right held: any other rook stays a plain (illegal) target.
    const int colour = colourOf(piece);
    const bool longSide = to < from;
    const int index = castlingIndex(colour, longSide);
    if (typeOf(piece) == KING && pos.board[to] == rookOf(colour) && (pos.cur->castling & (1 << index)) &&
        pos.castlingRook[index] == to)
      return makeMoveWord(from, castledKingSquare(colour, longSide), MOVE_CASTLE);
  } else if ((piece == W_KING || piece == B_KING) &&
             ((from == E1 && (to == G1 || to == C1)) || (from == E8 && (to == G8 || to == C8)))) {
    kind = MOVE_CASTLE;
  }
  return makeMoveWord(from, to, kind);
}

void moveToText(const Position& pos, Move m, char* text, bool chess960) {
  Square to = moveTo(m);
  if (chess960 && isCastling(m)) {
    const int colour = rankOf(moveFrom(m)) == 0 ? WHITE : BLACK;
    to = pos.castlingRook[castlingIndex(colour, fileOf(to) == 2)];
  }
  text[0] = char('a' + (m & 7));
  text[1] = char('1' + ((m >> 3) & 7));
  text[2] = char('a' + fileOf(to));
  text[3] = char('1' + rankOf(to));
  text[4] = 0;
  if (m > 0x3FFF) {
    switch ((m >> 12) & 14) {
      case 4: text[4] = 'n'; break;
      case 6: text[4] = 'b'; break;
      case 10: text[4] = 'r'; break;
      case 12: text[4] = 'q'; break;
      default: text[4] = '?'; break;
    }
    text[5] = 0;
  }
}
