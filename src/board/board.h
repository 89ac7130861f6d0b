// The board subsystem: position records, geometry tables, move generation,
// making and unmaking moves, the position tests and the KPK table.
#pragma once

#include <atomic>

#include "types.h"

constexpr int PLY_RECORDS = 127;     // depth of the ply stack
constexpr int MOVE_LIST_SIZE = 280;  // generated moves stay within the first 240
// Positions reached since the FEN: game moves plus search plies. The game
// moves of a "position" command may use all but the last SEARCH_KEY_RESERVE.
constexpr int KEY_HISTORY_SIZE = 8192;
constexpr int SEARCH_KEY_RESERVE = PLY_RECORDS + 1;
// Attack-set slots per slider type and colour: two original pieces plus eight
// promotions, so even a tenth rook of one colour has a slot of its own.
constexpr int SLIDER_SLOTS = 10;

constexpr int16_t EVAL_NONE = -20000;  // staticEval not yet computed
// The generated list stays within the first 240 entries; the last 40 hold the
// moves a node puts aside to try last.
constexpr int DEFERRED_START = 240;
constexpr int PV_ROWS = 128;
constexpr int MAX_PV_LINES = 100;

struct MoveEntry {
  uint64_t move;  // the Move in the low 16 bits, the rest zero
  int64_t score;  // ordering key
};

// One ply: the position's keys, counters and attack information, plus the
// move list of the node. makeMove fills the next record; the parent is never
// changed, so unmaking needs no undo stack.
struct PlyState {
  MoveEntry moves[MOVE_LIST_SIZE];
  uint64_t key;
  uint64_t pawnKingKey;
  Bitboard attacks[2];
  Bitboard bishopAttacks[2][SLIDER_SLOTS];
  Bitboard rookAttacks[2][SLIDER_SLOTS];
  Bitboard queenAttacks[2][SLIDER_SLOTS];
  Bitboard pawnAttacks[2];
  Bitboard knightAttacksAll[2];
  Bitboard bishopAttacksAll[2];
  Bitboard rookAttacksAll[2];
  Bitboard queenAttacksAll[2];
  Bitboard pinned;       // side to move's pieces pinned to its king
  Bitboard discoverers;  // side to move's pieces that would uncover a check
  Bitboard pinnedEnemy;  // opponent's pieces pinned to its king
  Bitboard evasionMask;  // checker plus interposition squares; 0 on double check
  Bitboard kingForbidden;
  Bitboard threatened;  // -1 until the search computes it
  Bitboard pawnStepAttacks;
  int32_t material[2];     // packed piece values per colour
  int32_t materialSig[2];  // piece-count signature per colour
  uint16_t fifty;
  uint16_t pliesSinceNull;
  int16_t plyIndex;
  int16_t depthLeft;
  int16_t staticEval;
  Move lastMove;
  Move hashMove;
  Move parentThreat;  // the reply that refuted the parent's null move
  // Stored move candidates of the node, tried before the full quiet list.
  Move followUp2, followUp4, followUp6;
  Move counter1, counter2;
  Move placement1, placement2;
  Move killer1, killer2;
  int32_t castling;
  int32_t side;
  int32_t epSquare;  // 0 when there is none
  int32_t captured;
  int32_t inCheck;
  int32_t pickStage;
  int32_t savedCameFrom;
  // Of the latest quiet move from this node that got a reduction, searched
  // or pruned; 0 once its reduced search is over.
  int32_t reduction;
  // Move picker cursors, as indices into moves[]: the entry returned last
  // (-1 before a stage that walks the list), the end of the deferred list and
  // the end of the generated list.
  int32_t currentEntry;
  int32_t deferredEnd;
  int32_t listEnd;
};

// Everything a search thread owns that may be copied from one thread's
// record to another's: the board, the ply stack and the search memories.
struct PositionData {
  int32_t selDepth;
  Move ponderMove;
  uint8_t firstRootMove;
  int32_t lastScore, lastScore2, lastScore3;
  int32_t iterationDepth;
  uint8_t board[64];
  Bitboard pieces[16];  // [0], [1]: colour occupancy; [code]: that piece's squares
  PlyState plies[PLY_RECORDS];
  PlyState* cur;
  Move lastCutoffMove;
  Move pvTable[PV_ROWS][PV_ROWS];  // row r: the variation from ply r, ended by 0
  int16_t historyTable[16][64];
  uint8_t pinnedPawnDefender;
  uint64_t keyHistory[KEY_HISTORY_SIZE];
  int32_t keyCount;
  int32_t irreversibleIndex;
  int32_t rootKeyIndex;
  uint8_t cameFrom[64];  // 127: unknown, or the piece was just promoted
  MoveEntry* moveCursor;
  Bitboard checkZone;
  Move rootBestMoves[MAX_PV_LINES];
  int32_t rootScore;
  // Sanity figures of the search benchmark: visits of the two searches,
  // and table probes with the hits among them.
  uint64_t searchVisits, quiescenceVisits, tableProbes, tableHits;
  // How this game castles, set up from the FEN. By right (castlingIndex):
  // the rook's square, the squares that must be empty besides king and rook,
  // and the king's origin, path and target, which must not be attacked. A
  // right held means its king and rook still stand on their squares.
  Square castlingRook[4];
  Bitboard castlingEmpty[4];
  Bitboard castlingSafe[4];
  uint8_t castleMask[64];  // the rights that a move from or to the square keeps
};

// A search thread's record. The flags and the counters are read by
// other threads while this one searches, so they are atomic and are never
// copied along with the rest. The records of the threads lie side by side:
// each starts a cache line and keeps these fields on lines of their own, so
// that the node count one thread writes at every node is never on a line
// another thread's search reads.
struct alignas(64) Position : PositionData {
  alignas(64) std::atomic<uint8_t> stopFlag{0};
  std::atomic<uint8_t> idleFlag{1};
  std::atomic<uint64_t> nodes{0};
  std::atomic<uint64_t> tbHits{0};  // successful endgame table probes
  int32_t threadIndex = 0;
};

// Copies the board, ply stack and search memories; the thread's own flags,
// counter and index stay as they are. The ply pointer is rebased.
inline void copyPositionData(Position& to, const Position& from) {
  static_cast<PositionData&>(to) = from;
  to.cur = to.plies + (from.cur - from.plies);
}

// The node counter is written by its own thread only, so a plain load and
// store suffice; other threads merely read it.
inline void countNode(Position& pos) { pos.nodes.store(pos.nodes.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed); }

// ---- Zobrist keys and FEN (fen.cpp) ----

extern uint64_t sideKey;
extern uint64_t epKeys[8];
extern uint64_t castleKeys[16];
extern uint64_t pieceKeys[16][64];
extern uint64_t baseKey;

extern const char* const startFen;

void initZobrist();
void computeKeys(Position& pos);
bool parseFen(Position& pos, const char* fen);
// Reads one move in long algebraic form at text (4 or 5 characters) and
// returns it with the flags the current position implies, or MOVE_NONE when
// the text is not a move. *length receives the characters consumed.
// Castling reads as the king's move from e1 or e8 to the g- or c-file, or
// in Chess960 notation as the king taking its own castling rook.
Move moveFromText(const Position& pos, const char* text, int* length, bool chess960);
// Writes the move as text (at most 5 characters plus terminator); in
// Chess960 notation castling as the king taking its rook, which pos's game
// names.
void moveToText(const Position& pos, Move m, char* text, bool chess960);
bool isLegalPosition(const Position& pos);

// ---- Geometry tables (tables.cpp) ----

// Constants, so that masks built from them fold when compiling.
inline constexpr Bitboard fileMask[8] = {FILE_A,      FILE_A << 1, FILE_A << 2, FILE_A << 3,
                                         FILE_A << 4, FILE_A << 5, FILE_A << 6, FILE_A << 7};
inline constexpr Bitboard rankMask[8] = {RANK_1,       RANK_1 << 8,  RANK_1 << 16, RANK_1 << 24,
                                         RANK_1 << 32, RANK_1 << 40, RANK_1 << 48, RANK_1 << 56};
extern Bitboard kingTable[64];
extern Bitboard knightTable[64];
extern Bitboard bishopEmpty[64];
extern Bitboard rookEmpty[64];
extern Bitboard betweenTable[64][64];
// distance() read from a table, for the evaluation's inner loops.
extern uint8_t distanceTable[64][64];
extern Bitboard lineTable[64][64];
extern Bitboard ranksAbove[8];
extern Bitboard ranksBelow[8];
extern Bitboard adjacentFiles[8];
extern Bitboard forwardFile[2][64];
extern Bitboard attackSpan[2][64];
extern Bitboard passedMask[2][64];
extern Bitboard pawnAttackTable[2][64];

extern Bitboard bishopMask[64];
extern Bitboard rookMask[64];
extern const uint64_t bishopMagic[64];
extern const uint64_t rookMagic[64];
extern int32_t bishopShift[64];
extern int32_t rookShift[64];
extern Bitboard* bishopTableStart[64];
extern Bitboard* rookTableStart[64];
extern Bitboard bishopAttackTable[5248];
extern Bitboard rookAttackTable[102400];
// The four figures of one square's lookup side by side, so that a lookup
// reads one cache line instead of four; copied from the arrays above.
struct alignas(32) SliderLookup {
  Bitboard* table;
  Bitboard mask;
  uint64_t magic;
  int32_t shift;
};
extern SliderLookup bishopLookups[64];
extern SliderLookup rookLookups[64];

extern int32_t sigWeight[16];
extern int32_t nextAttackerType[16];
extern char pieceLetter[16];

// Packed (eg << 16) + mg piece values by code, summed in PlyState::material,
// and the plain values: [0..15] middle game by code (knights at the bishop's
// value), [16..31] the exchange values with kings at 10000. The evaluation's
// parameter loader rewrites both; the initial contents are the shipped values.
extern int32_t materialValue[16];
extern int32_t pieceValue[32];
inline const int32_t* const seeValue = pieceValue + 16;

void initPieceCodeTables();
void initBoardTables();

inline Bitboard bishopLookup(Square s, Bitboard occupied) {
  const SliderLookup& l = bishopLookups[s];
  return l.table[((occupied & l.mask) * l.magic) >> l.shift];
}
inline Bitboard rookLookup(Square s, Bitboard occupied) {
  const SliderLookup& l = rookLookups[s];
  return l.table[((occupied & l.mask) * l.magic) >> l.shift];
}
inline Bitboard queenLookup(Square s, Bitboard occupied) {
  return bishopLookup(s, occupied) | rookLookup(s, occupied);
}

inline Square kingSquare(const Position& pos, int colour) { return lowestSquare(pos.pieces[kingOf(colour)]); }
inline bool inCheck(const Position& pos) {
  const PlyState& st = *pos.cur;
  return (st.attacks[st.side ^ 1] & pos.pieces[kingOf(st.side)]) != 0;
}

// Whether the side to move, holding the castling right of the given index,
// may castle now. Only a rook off the corner can hide an enemy rook or queen
// that attacks the king's target once the rook has left.
inline bool castlingIsOpen(const Position& pos, const PlyState& st, int index) {
  const int them = (index & 1) ^ 1;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  if ((occupied & pos.castlingEmpty[index]) || (st.attacks[them] & pos.castlingSafe[index])) return false;
  const Square rook = pos.castlingRook[index];
  if (fileOf(rook) == 0 || fileOf(rook) == 7) return true;
  const Bitboard sliders = pos.pieces[rookOf(them)] | pos.pieces[queenOf(them)];
  return !(rookLookup(castledKingSquare(them ^ 1, index >= 2), occupied ^ bit(rook)) & sliders);
}

// ---- Move generation (movegen.cpp) ----

void computeAttacks(Position& pos);
void generateCaptures(Position& pos);
void generateQuiets(Position& pos);
void generateAll(Position& pos);
void generateEvasions(Position& pos);
// The evasions when the side to move is in check, otherwise every move.
void generateMoves(Position& pos);
void generateCheckCandidates(Position& pos);

// ---- Making moves (makemove.cpp) ----

void makeMove(Position& pos, Move m);
void unmakeMove(Position& pos, Move m);
// The key makeMove will give the child, for fetching its table entries
// before the move is made. Castling gives only an estimate.
uint64_t keyAfterMove(const Position& pos, Move m);
// Plays a game move at the root: the result becomes plies[0].
void makeGameMove(Position& pos, Move m);
// Recomputes keys, material and signature from the board and compares them
// with the incremental values of the current record.
bool incrementalStateMatches(const Position& pos);

// ---- King and pawn against king (kpk.cpp) ----

// [stm][strong king][pawn][weak king], the strong side white with its pawn
// moving up: 1 win, 0 no win found; other values mark impossible placements.
extern int8_t kpkTable[2][64][64][64];
void initKpk();
void kpkPass(int stm, int threshold, int tentative, int verdict);

// ---- Position tests (legality.cpp, see.cpp) ----

Bitboard findBlockers(const Position& pos, int mode, int colour);
// The pieces alone between the side to move's sliders and the enemy king,
// in one pass: its own (discovered-check candidates) and the enemy's (pinned).
void findEnemyKingBlockers(const Position& pos, Bitboard* discoverers, Bitboard* pinnedEnemy);
// Attack information and the three pin sets of the current record.
void computeAttacksAndPins(Position& pos);
// Nonzero when a pseudo-legal move would leave its own king attacked, and
// for a deleted entry. Kings are generated onto safe squares, so only a
// pinned piece or en passant needs the full test; the rest is settled here.
int pinOrEnPassantIllegal(const Position& pos, Move m);
inline int isLegal(const Position& pos, Move m) {
  if (m != MOVE_DELETED && !(pos.cur->pinned & bit(moveFrom(m))) && !isEnPassant(m)) return 0;
  return pinOrEnPassantIllegal(pos, m);
}
int givesCheck(const Position& pos, Move m);
int seeGain(Position& pos, Move m, int margin, int us);
// The full legality of an arbitrary move word in the current position
// (generated, pseudo-legal and accepted by isLegal); used for input.
bool isLegalMove(Position& pos, Move m);
