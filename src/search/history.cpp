// The move-ordering memories: which quiet moves refuted what. All of them
// learn only from cut-offs by quiet moves.
#include <cstring>

#include "search.h"
#include "../platform/platform.h"

Move counterMoveTable[16][64][2];
alignas(HUGE_PAGE_BYTES) FollowUpEntry followUpTables[3][FOLLOW_UP_ENTRIES];

void clearHistory(Position& pos) { memset(pos.historyTable, 0, sizeof pos.historyTable); }

void clearFollowUpTables() {
  memset(followUpTables, 0, sizeof followUpTables);
}

void clearCounterMoves() { memset(counterMoveTable, 0, sizeof counterMoveTable); }

void clearKillers(Position& pos) {
  for (PlyState& st : pos.plies) st.killer1 = st.killer2 = MOVE_NONE;
}

namespace {

// The XOR of two position keys cancels every piece that stood still, so it
// names the moves played in between, captures included. Only a run of real
// moves counts: a null move in it gives 0, which stands for no entry. Every
// record above the root comes from a move or a null move, so the run is
// long enough exactly when the count of plies since the last null move is.
uint64_t keyOverPlies(const Position& pos, int plies) {
  if (pos.cur < pos.plies + plies || pos.cur->pliesSinceNull < plies) return 0;
  return pos.cur->key ^ pos.cur[-plies].key;
}

inline FollowUpEntry& followUpEntry(FollowUpEntry* table, uint64_t key) {
  return table[key & (FOLLOW_UP_ENTRIES - 1)];
}

inline FollowUpEntry packFollowUp(uint64_t key, Move m) {
  return FollowUpEntry{(key >> FOLLOW_UP_INDEX_BITS) << 16 | m};
}

inline Move followUpMove(FollowUpEntry* table, uint64_t key) {
  const uint64_t e = followUpEntry(table, key).keyAndMove;
  return e >> 16 == key >> FOLLOW_UP_INDEX_BITS ? Move(e & 0xFFFF) : MOVE_NONE;
}

// The piece that made the node's last move and the square it went to.
inline Move* counterSlot(const Position& pos) {
  const Square t = moveTo(pos.cur->lastMove);
  return counterMoveTable[pos.board[t]][t];
}

}  // namespace

uint64_t followUpKey2(const Position& pos) {
  const PlyState& earlier = pos.cur >= pos.plies + 2 ? pos.cur[-2] : pos.plies[0];
  return pos.cur->key ^ earlier.key;
}
uint64_t followUpKey4(const Position& pos) { return keyOverPlies(pos, 4); }
uint64_t followUpKey6(const Position& pos) { return keyOverPlies(pos, 6); }

void lookUpFollowUps(Position& pos) {
  PlyState& st = *pos.cur;
  st.followUp2 = followUpMove(followUpTable2, followUpKey2(pos));
  const uint64_t key4 = followUpKey4(pos), key6 = followUpKey6(pos);
  st.followUp4 = key4 ? followUpMove(followUpTable4, key4) : MOVE_NONE;
  st.followUp6 = key6 ? followUpMove(followUpTable6, key6) : MOVE_NONE;
}

void lookUpCounterMoves(Position& pos) {
  const Move* slot = counterSlot(pos);
  pos.cur->counter1 = slot[0];
  pos.cur->counter2 = slot[1];
}

void updateHistory(Position& pos, Move m, bool malus, int bonus) {
  PlyState& st = *pos.cur;
  const int us = st.side, them = us ^ 1;
  if (st.threatened == ~Bitboard(0)) {
    const Bitboard own = pos.pieces[us];
    st.threatened = (own & st.attacks[them] & ~st.attacks[us]) | (own & ~pos.pieces[pawnOf(us)] & st.pawnAttacks[them]);
  }
  // With several pieces hanging, the cut-off says less about the move.
  if (moreThanOne(st.threatened)) bonus /= 2;

  int16_t& h = pos.historyTable[pos.board[moveFrom(m)]][moveTo(m)];
  if (h + bonus <= HISTORY_LIMIT) h = int16_t(h + bonus);
  if (!malus) return;
  // Every quiet move tried before the one that cut off was a waste of time.
  for (const MoveEntry* e = st.moves; e->move; e++) {
    const Move f = Move(e->move);
    if (f == MOVE_DELETED) continue;
    if (f == m) break;
    if (!isQuietMove(pos, f)) continue;
    int16_t& g = pos.historyTable[pos.board[moveFrom(f)]][moveTo(f)];
    if (g - bonus >= -HISTORY_LIMIT) g = int16_t(g - bonus);
  }
}

void rememberCutoff(Position& pos, Move m, bool malus, int bonus, bool fromTable) {
  PlyState& st = *pos.cur;
  if (m != st.killer1) {
    st.killer2 = st.killer1;
    st.killer1 = m;
  }
  // An entry that already holds the move is left unwritten, and its cache
  // line clean for the other threads.
  auto store = [m](FollowUpEntry* table, uint64_t key) {
    FollowUpEntry& e = followUpEntry(table, key);
    const FollowUpEntry packed = packFollowUp(key, m);
    if (e.keyAndMove != packed.keyAndMove) e = packed;
  };
  const uint64_t key2 = followUpKey2(pos), key4 = followUpKey4(pos), key6 = followUpKey6(pos);
  store(followUpTable2, key2);
  if (key4) store(followUpTable4, key4);
  if (key6) store(followUpTable6, key6);
  updateHistory(pos, m, malus, bonus);
  if (fromTable || !st.lastMove) return;
  Move* slot = counterSlot(pos);
  if (m != slot[0]) {
    slot[1] = slot[0];
    slot[0] = m;
  }
}
