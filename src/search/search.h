// The search subsystem: the recursive principal and quiescence searches,
// the staged move picker, the move-ordering memories and the shared
// transposition and placement tables.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "../board/board.h"

// ---- Scores ----

constexpr int MATE_SCORE = 10000;    // mate at ply p scores MATE_SCORE - p
constexpr int MATE_BOUND = 9872;     // |score| at or beyond this counts as a mate
constexpr int TT_MATE_SHIFT = 9699;  // scores beyond this are stored relative to the node
constexpr int SCORE_INFINITE = 9999;

inline bool isMateScore(int score) { return score >= MATE_BOUND || score <= -MATE_BOUND; }

// ---- Transposition table (tt.cpp) ----

constexpr uint8_t BOUND_UPPER = 0;
constexpr uint8_t BOUND_LOWER = 1;
constexpr uint8_t BOUND_EXACT = 2;
constexpr uint8_t BOUND_EVAL = 8;  // holds only a static evaluation
constexpr int EVAL_ONLY_DEPTH = -254;
constexpr int EVAL_ONLY_SCORE = 31999;  // plus the ply: a marker, never read as a score

struct TTEntry {
  uint32_t lock;  // upper half of the key; 0 = empty
  Move move;
  uint8_t bound;
  uint8_t age;
  int16_t score;
  int16_t depth;
  int16_t eval;
  uint16_t spare;
};
static_assert(sizeof(TTEntry) == 16, "four entries fill one cache line");

// Best moves keyed by the position without its pawns and kings.
struct PlacementEntry {
  uint64_t key;
  Move first;
  Move second;
  uint32_t spare;
};
constexpr int PLACEMENT_ENTRIES = 131072;

extern TTEntry* ttTable;
extern uint64_t ttEntryCount;
extern uint64_t ttMask;
extern uint8_t ttGeneration;
extern uint64_t hashBytes;
extern PlacementEntry placementTable[PLACEMENT_ENTRIES];

// Allocates a table of the given size (a power of two times 1 MB), and
// unless told otherwise clears it, every page written, with the placement
// table, and resets the age. Without the clear, clearHashTables must run
// before the table is used. On failure the previous table and size stay in
// use and false is returned.
bool allocateHashTable(uint64_t bytes, bool clearNow = true);
// "ucinewgame": clears both tables in place and resets the age.
void clearHashTables();

inline TTEntry* ttBucket(uint64_t key) { return ttTable + (uint32_t(key) & ttMask); }
inline uint32_t ttLock(uint64_t key) { return uint32_t(key >> 32); }
// A bucket starts anywhere, so it may span two cache lines.
inline void ttPrefetch(uint64_t key) {
  const TTEntry* bucket = ttBucket(key);
  __builtin_prefetch(bucket);
  __builtin_prefetch(bucket + 3);
}

// Table form of a score: mates are stored relative to the storing node.
inline int scoreToTable(int score, int ply) {
  return score > TT_MATE_SHIFT ? score + ply - 1 : score < -TT_MATE_SHIFT ? score - ply + 1 : score;
}
inline int scoreFromTable(int score, int ply) {
  return score > TT_MATE_SHIFT ? score - ply + 1 : score < -TT_MATE_SHIFT ? score + ply - 1 : score;
}
// Whether a table score with its bound settles a node searched in
// (alpha, beta) without searching it.
inline bool boundFits(int bound, int score, int alpha, int beta) {
  return (bound == BOUND_EXACT && score > alpha && score < beta) || (bound == BOUND_LOWER && score >= beta) ||
         (bound == BOUND_UPPER && score <= alpha);
}

// The first entry of the key's bucket whose lock matches, or none. Other
// threads rewrite entries at any time, so the entry is read once, as a
// whole, into copy, and its lock is checked again on the copy; a torn copy
// may still pass, which is why its move is checked before it is played.
TTEntry* ttProbe(uint64_t key, TTEntry& copy);
// Marks an entry as used by this search, so that it is kept longer.
// Written only when it changes: a line left clean is not taken from the
// other threads' caches, nor written back to memory.
inline void ttSetAge(TTEntry* e, uint8_t age) {
  if (e->age != age) e->age = age;
}
// Writes an entry by the replacement rule; a move of 0 keeps the move an
// entry of the same position already holds.
void ttStore(int score, int ply, int depth, uint64_t key, int bound, Move move, int eval);
// Records the static evaluation of a position that has no entry yet.
void ttStoreEval(uint64_t key, int ply, int eval);

inline uint64_t placementKey(const PlyState& st) { return st.key ^ st.pawnKingKey; }
void placementProbe(PlyState& st);
void placementUpdate(const PlyState& st, Move best);

// ---- History, killers, counter and follow-up moves (history.cpp) ----

constexpr int HISTORY_LIMIT = 499;
constexpr int FOLLOW_UP_INDEX_BITS = 17;
constexpr int FOLLOW_UP_ENTRIES = 1 << FOLLOW_UP_INDEX_BITS;

// The key's bits above the index, then the move, in one word: the entry's
// index holds the key's other bits, so a lookup still compares whole keys,
// in half the room of a key and a move apart. An empty entry matches only
// as "no move".
struct FollowUpEntry {
  uint64_t keyAndMove;
};

extern Move counterMoveTable[16][64][2];
// The three follow-up tables lie in one block, which fills fewer huge pages
// than three apart.
extern FollowUpEntry followUpTables[3][FOLLOW_UP_ENTRIES];
inline constexpr FollowUpEntry* followUpTable2 = followUpTables[0];
inline constexpr FollowUpEntry* followUpTable4 = followUpTables[1];
inline constexpr FollowUpEntry* followUpTable6 = followUpTables[2];

void clearHistory(Position& pos);
void clearFollowUpTables();
void clearCounterMoves();
// Killers live in the ply records and are otherwise never cleared; only the
// search benchmark wipes them, so that every run starts alike.
void clearKillers(Position& pos);

uint64_t followUpKey2(const Position& pos);
uint64_t followUpKey4(const Position& pos);
uint64_t followUpKey6(const Position& pos);
// Fills the node's counter and follow-up candidates.
void lookUpCounterMoves(Position& pos);
void lookUpFollowUps(Position& pos);
// What a quiet move that cut off teaches the node: killers, follow-ups,
// history and (unless the cut-off came from the table) the counter move.
void rememberCutoff(Position& pos, Move m, bool malus, int bonus, bool fromTable);
void updateHistory(Position& pos, Move m, bool malus, int bonus);

// A move to an empty square that is neither a promotion nor en passant,
// or castling, whose king may land on its own rook's square.
inline bool isQuietMove(const Position& pos, Move m) {
  return (pos.board[moveTo(m)] == 0 || isCastling(m)) && (m & KIND_MASK) != MOVE_EN_PASSANT && !isPromotion(m);
}

// ---- Move picker (movepick.cpp) ----

// Picker stages that the search looks at.
constexpr int STAGE_CAPTURES = 1;
constexpr int STAGE_CHECK_DEFERRED = 2;
constexpr int STAGE_QUIETS = 13;
constexpr int STAGE_DEFERRED = 14;

void resetPicker(PlyState& st);
// Partial selection sort: swaps the first entry of highest score in
// [begin, end) (ties keep the earlier one) to begin, makes it the current
// entry and returns its move; deleted entries are skipped.
Move pickBest(PlyState& st, int begin, int end);
// The picker past the sorted quiet moves: the stage changes and the
// stages that select their moves.
Move nextStagedMove(Position& pos);
// The next entry of the sorted quiet moves that is not deleted; 0 at the end.
inline Move nextSortedQuiet(PlyState& st) {
  for (int i = st.currentEntry + 1; i < st.listEnd; i++)
    if (const Move m = Move(st.moves[i].move); m != MOVE_DELETED) {
      st.currentEntry = i;
      return m;
    }
  return MOVE_NONE;
}
// The next move of the node; 0 when there are no more. Generated moves may
// still be illegal through a pin or en passant; stored candidates are only
// returned after isLegal accepted them. Most calls hand out the next sorted
// quiet move, which needs none of the stage logic.
inline Move nextMove(Position& pos) {
  PlyState& st = *pos.cur;
  if (st.pickStage == STAGE_QUIETS)
    if (const Move m = nextSortedQuiet(st)) return m;
  return nextStagedMove(pos);
}
bool isPseudoLegal(const Position& pos, Move m, int side);
// Puts a move aside to be tried last; false when the deferred list is full.
bool deferMove(PlyState& st, Move m, int64_t score);
void scoreQuiets(Position& pos, int begin, int end);

// ---- Searches (search.cpp, quiesce.cpp) ----

// The deepest ply a node may have: its children need a record of their own.
constexpr int MAX_PLY = PLY_RECORDS - 1;

extern int8_t lmrTable[127][50];
extern const int lmpTable[2][16];
extern const int futilityMargin[3];

void initSearchTables();
int searchNode(Position& pos, int alpha, int beta, int ply, bool allowNull, bool isPV, int depthPly, bool cutNode,
               bool noPrune);
int quiesce(Position& pos, int alpha, int beta, int ply, bool checksAllowed, int qdepth);
// The quiescence search's lists, scored, with the moves it never searches
// deleted: under-promotions other than checking knights and, from qdepth -5
// on, captures that are no recapture. Both return the list's end.
int prepareQuiescenceCaptures(Position& pos, int qdepth);
int prepareQuiescenceEvasions(Position& pos);
void makeNullMove(Position& pos);
// Starts fetching the table entries the node just entered will read while
// it computes its attacks; the ordering tables only for nodes with moves
// to order.
void prefetchNode(const Position& pos, bool orderingTables);
bool fewThreats(const Position& pos);
bool connectedMoves(const Position& pos, Move prev, Move threat);
bool isRepetition(const Position& pos);

extern uint8_t nullMoveEnabled;

// ---- Endgame tables (tablebase.cpp) ----

// A table win at ply p scores TB_WIN_SCORE - p: below every mate, above
// every evaluation, and in the band the table stores relative to the node.
constexpr int TB_WIN_SCORE = 9850;
constexpr int TB_WIN_BOUND = TB_WIN_SCORE - MAX_PLY;
static_assert(TB_WIN_SCORE < MATE_BOUND && TB_WIN_BOUND > TT_MATE_SHIFT);
constexpr int NO_TABLE_SCORE = 32000;

// Largest piece count probed: the smaller of the tables' largest and the
// probe limit; 0 when nothing is probed.
extern std::atomic<int> tablePieces;
extern int tableProbeDepth;
extern int tableProbeLimit;
// Whether a win that the fifty-move rule spoils counts as a draw.
extern bool tableFiftyMoveRule;

// Loads the tables of the ':'-separated folders, none for an empty path;
// false when the prober ran out of memory.
bool loadTables(const char* path);
int tablesFound(bool dtz);
int largestTablePieces();
void updateTablePieces();
// The table verdict of a position without castling rights, as seen by
// the side to move: -2 loss, -1 loss spoilt by the fifty-move rule, 0 draw,
// 1 spoilt win, 2 win (the spoilt ones count in full without the rule);
// false when the position is not in the tables.
bool probeWdl(const Position& pos, int* wdl);
// When the root is in the tables, keeps only the root moves of the best
// result, the winning ones of the shortest distance to zeroing, and
// returns the result's score; NO_TABLE_SCORE otherwise.
int rankRootMoves(Position& pos);

// ---- Thread records (records.cpp) ----

constexpr int MAX_THREADS = 32;

extern Position threadRecords[MAX_THREADS];
extern Position templateRecord;  // what each thread copies at a root search
extern Position& mainPosition;   // record 0: the current game position

// ---- Limits and the stop tests (limits.cpp) ----

// 0 idle, 1 thinking, 2 pondering.
constexpr int SEARCH_IDLE = 0, SEARCH_THINKING = 1, SEARCH_PONDERING = 2;
extern std::atomic<int> searchState;

constexpr uint8_t LIMIT_CLOCK = 0x01;
constexpr uint8_t LIMIT_INCREMENT = 0x02;
constexpr uint8_t LIMIT_MOVESTOGO = 0x04;
constexpr uint8_t LIMIT_DEPTH = 0x08;
constexpr uint8_t LIMIT_NODES = 0x10;
constexpr uint8_t LIMIT_MATE = 0x20;
constexpr uint8_t LIMIT_MOVETIME = 0x40;
constexpr uint8_t LIMIT_NONE = 0x80;

struct SearchLimits {
  uint8_t limitFlags;
  int time[2];  // remaining clock of white and black, ms
  int inc[2];
  int movesToGo;
  int depth;
  int nodes;
  int mate;
  int64_t movetime;
  int defaultMovesToGo;
};
extern SearchLimits limits;
// A node cap beside the go line's limits, for play at a chosen strength:
// it decides before infinite, ponder and depth (0: none).
extern int64_t strengthNodeLimit;

extern int64_t clockFrequency;  // clock ticks per second
extern int64_t searchStart;     // clock ticks
extern int64_t lastClockRead;   // clock ticks
extern int64_t targetTime;      // soft budget of the move, ms; 0 = none
extern int64_t hardTime;
extern int pollPeriodMs;

// Milliseconds since a clock reading, truncated.
int64_t elapsedMs(int64_t since);
bool iterationStopTest();
bool searchStopTest();
// Whether the node limit is the one the stop tests read: infinite, ponder
// and depth come before it.
bool nodeLimitDecides();

// The node hook's countdown to the next look at the clock and the input
// (main thread only): every pollNodes nodes, or sooner near a node limit.
extern int64_t pollNodes;
extern int64_t pollCountdown;
void resetPollCountdown();
// Applies the stop test, then hands over to the front end, which prints and
// reads input between nodes (nothing is handed over while none is set).
void periodicCheck();
extern void (*frontEndPoll)(bool stop);
