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
    st.material[colourOf(code)] += materialValue[code];
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

// A right is kept only while its king and rook stand at home: castling with
// a missing piece would move a phantom rook and corrupt the board.
int castlingBackedByPieces(const Position& pos, int rights) {
  const uint8_t* b = pos.board;
  if (b[E1] != W_KING || b[H1] != W_ROOK) rights &= ~CASTLE_WHITE_SHORT;
  if (b[E1] != W_KING || b[A1] != W_ROOK) rights &= ~CASTLE_WHITE_LONG;
  if (b[E8] != B_KING || b[H8] != B_ROOK) rights &= ~CASTLE_BLACK_SHORT;
  if (b[E8] != B_KING || b[A8] != B_ROOK) rights &= ~CASTLE_BLACK_LONG;
  return rights;
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
  int rights = 0;
  if (strchr(field, 'K')) rights |= CASTLE_WHITE_SHORT;
  if (strchr(field, 'Q')) rights |= CASTLE_WHITE_LONG;
  if (strchr(field, 'k')) rights |= CASTLE_BLACK_SHORT;
  if (strchr(field, 'q')) rights |= CASTLE_BLACK_LONG;
  st.castling = castlingBackedByPieces(pos, rights);

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

  for (Square s = 0; s < 64; s++) {
    if (int code = pos.board[s]) {
      st.materialSig[colourOf(code)] += sigWeight[code];
      pos.pieces[code] |= bit(s);
      pos.pieces[colourOf(code)] |= bit(s);
    }
  }
  computeKeys(pos);

  pos.keyCount = pos.irreversibleIndex = pos.rootKeyIndex = 0;
  pos.keyHistory[0] = st.key;

  // The attack code needs exactly one king per side; without it only the
  // board is set up, and the caller must refuse the position.
  if (popCount(pos.pieces[W_KING]) == 1 && popCount(pos.pieces[B_KING]) == 1) {
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

Move moveFromText(const Position& pos, const char* text, int* length) {
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
  if ((piece == W_KING || piece == B_KING) &&
      ((from == E1 && (to == G1 || to == C1)) || (from == E8 && (to == G8 || to == C8))))
    kind = MOVE_CASTLE;
  return makeMoveWord(from, to, kind);
}

void moveToText(Move m, char* text) {
  text[0] = char('a' + (m & 7));
  text[1] = char('1' + ((m >> 3) & 7));
  text[2] = char('a' + ((m >> 6) & 7));
  text[3] = char('1' + ((m >> 9) & 7));
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
