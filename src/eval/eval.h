// The evaluation subsystem: the tunable parameter table, the packed weights
// derived from it, the evaluation driver and its terms.
#pragma once

#include "../board/board.h"

// ---- Parameter registry ----

constexpr int PARAM_CAPACITY = 1000;
constexpr int PARAM_ROWS = 457;  // rows of the shipped parameter text

struct ParamEntry {
  int32_t* value;
  int32_t active;  // the tuner's step
  int32_t min;
  int32_t max;
  int32_t registered;
};

struct EvalParams {
  ParamEntry entries[PARAM_CAPACITY];
  int count;
};

extern EvalParams evalParams;
// Loaded value of each row of the parameter text, by row number (1-based).
extern int32_t paramRow[PARAM_ROWS + 1];
// The variable the unused rows feed; nothing reads it.
extern int32_t scratchParam;

void registerParam(int32_t* value, int min, int max);
// Reads parameter lines into the registered variables; returns the number
// of rows loaded (loading stops at the first malformed line).
int loadParamText(const char* text);
// Start-up defaults of the rows and the material-configuration table.
void initEvalDefaults();
// Registers the rows, loads the embedded text and derives the packed tables.
void loadEvalParams();
void deriveEvalTables();
// Pawn-file and threat tables, and the far-king values.
void initEvalTables();
// Derives every table from the rows again and empties the pawn table, whose
// entries hold pawn-structure scores computed from the old rows.
void rebuildEvalTables();
// Replaces the table in force by a parameter file (an empty path: by the
// embedded text) and rebuilds what derives from it. A file that is not a
// whole table leaves everything as it was; false, with the reason in why.
bool loadParamFile(const char* path, char* why, int whySize);
// Writes the current values of a registry's rows as a parameter file; the
// file is replaced in one step, so it is never seen half written.
bool saveParamTable(const EvalParams& table, const char* path);

// ---- Derived weights (packed (eg << 16) + mg unless noted) ----

extern int32_t tempoBonus;
extern int32_t bishopPairBonus;
extern int32_t bishopPairManyPawns;   // both halves
extern int32_t bishopPairNoMinors;    // both halves
extern int32_t badBishopPawn;
extern int32_t blockedCentre, blockedCentreHalf;
extern int32_t bishopCountWings;
extern int32_t weakPawnFile[8];       // both halves
extern int32_t weakPawnOpenFile;      // both halves
extern int32_t weakPawnAttacked;
extern int32_t weakStopAttacked;      // both halves
extern int32_t weakStopOccupied;      // both halves
extern int32_t weakStopEnemyPawn;     // both halves
extern int32_t passerFreePath;        // end game only
extern int32_t passerKingOnPath;      // end game only
extern int32_t passerEnemyKing[8];    // by distance, end game only
extern int32_t passerOwnKing[8];      // by distance, end game only
extern int32_t passedBase[2][64];
extern int32_t rookBishopCentre[9];   // both halves, by centre pawns
extern int32_t knightOutpost[8];
extern int32_t knightKingDistance[8];  // middle game only, plain
extern int32_t knightBeforeRook;      // both halves
extern int32_t developmentPenalty[11];  // both halves
extern int32_t doubledIsolated;
extern int32_t rookOrQueenSeventh;
extern int32_t fileWithEnemyPawn, fileWithoutPawn;
extern int32_t undefendedMinor;
extern int32_t pieceSquare[16][64];   // by piece code; black entries mirrored
extern int32_t mobilityKnight[9], mobilityBishop[14], mobilityRook[15], mobilityQueen[28];
extern int32_t threat[16][16];        // by attacker and victim code; black negative
extern int32_t pawnFileTable[256];
extern int32_t kingFarFromPawns[8][256];  // by king file and pawn-file set, end game
// Plain (middle-game) numbers.
extern int32_t rookTrapped, rookTrappedNoCastling, secondRookOnFile;
extern int32_t knightPawnDefended, knightBoxedDeep, knightBlocksC, knightPawnBoxed;
extern int32_t lostCastlingRight, enemyQueenOnRookFile;
extern int32_t tradeDownShift, tradeDownCap;

// Material configurations: one entry per 2-bit count of queens, rooks,
// bishops and knights of each side.
enum ImbalanceTable {
  IMBALANCE_NONE = -1,
  KNIGHT_FOR_PAWNS, BISHOP_FOR_PAWNS, ROOK_FOR_KNIGHT, ROOK_FOR_BISHOP, ROOK_FOR_TWO_MINORS,
  ROOK_KNIGHT_FOR_QUEEN, ROOK_BISHOP_FOR_QUEEN, ROOK_BISHOPS_FOR_QUEEN, ROOKS_FOR_QUEEN,
  IMBALANCE_TABLES
};
struct MaterialConfig {
  int8_t table;  // an ImbalanceTable
  int8_t sign;   // +1 when white is the side the table describes
  int32_t phase;  // 0 with all pieces, 256 with four units or fewer
};
extern int32_t imbalance[IMBALANCE_TABLES][6];
extern MaterialConfig materialConfig[1 << 16];
int materialConfigIndex(const int32_t materialSig[2]);

// ---- The evaluation ----

constexpr int PAWN_TABLE_ENTRIES = 26214;

// An entry fills half a cache line and never crosses one, so that one
// fetch brings all of it. The supported pawns are not kept: computing them
// from the pawns costs a few operations, and the table fits the cache better.
struct alignas(32) PawnEntry {
  uint64_t key;
  Bitboard passed;   // both colours
  Bitboard weak;     // both colours
  int32_t score;     // pawn structure and king placement, white's view
  uint8_t files[2];  // bit f: a pawn of that colour on file f
};
extern PawnEntry pawnTable[PAWN_TABLE_ENTRIES];
// The upper half of the key, scaled onto the table, reaches every entry.
inline PawnEntry& pawnEntryOf(uint64_t key) { return pawnTable[(uint64_t(uint32_t(key >> 32)) * PAWN_TABLE_ENTRIES) >> 32]; }

struct EvalContext {
  Bitboard pinned[2];
  Bitboard kingRingExcluded[2];
  Bitboard pieceDefence[2];
  Bitboard kingRing[2];
  Bitboard kingRingSafe[2];
  Bitboard kingRingUndefended[2];
  Bitboard allAttacks[2];
  Bitboard mobilityExcluded[2];
  Bitboard kingHalf[2];
  int attackWeight[2];
  int ringHitsUndefended[2];
  int adjacentHits[2];
  int attackerCount[2];
  int fileNearKing[2];
  int rankNearKing[2];
  int development;
  Square kingSquare[2];
  int scaleShift;
  bool xraysAdded;  // pieceDefence includes the sliders' x-rays
  PawnEntry* pawns;
};

// Static score of the current position for the side to move, cached in
// the ply record. computeAttacks and the pin sets must be current.
int evaluate(Position& pos);

// Fills the per-call scratch record from the position's attack information.
void initEvalContext(const Position& pos, EvalContext& ctx);
// Terms; each returns a packed score for colour us unless noted.
int32_t evaluatePassedPawns(const Position& pos, EvalContext& ctx, int us);
int32_t evaluateKnights(const Position& pos, EvalContext& ctx, int us);
int32_t evaluateBishops(const Position& pos, EvalContext& ctx, int us);
int32_t evaluateRooks(const Position& pos, EvalContext& ctx, int us);
int32_t evaluateQueens(const Position& pos, EvalContext& ctx, int us);
int kingDanger(const Position& pos, EvalContext& ctx, int c);      // plain, middle game
// Adds to pieceDefence the squares both sides' bishops and rooks defend
// through their own sliders; only king danger needs them, and not always.
void addSliderXrays(const Position& pos, EvalContext& ctx);
int32_t evaluateThreats(const Position& pos);                       // white's view
// Special endings: returns a value from white's view and sets *done when
// it is the whole evaluation.
int evaluateEndgame(const Position& pos, EvalContext& ctx, bool* done);
// Pawn structure of a fresh pawn-table entry.
void evaluatePawnStructure(const Position& pos, PawnEntry& entry);
