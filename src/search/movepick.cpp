// The staged move picker: captures first, then the stored quiet candidates
// (killers, follow-ups, counter and placement moves), then the sorted quiet
// moves, and last the moves put aside as losing. Quiet moves are only
// generated once the captures failed to cut off.
#include "search.h"
#include "../eval/eval.h"

namespace {

constexpr int STAGE_THREAT = 3;
constexpr int STAGE_GENERATE_QUIETS = 4;
constexpr int STAGE_DONE = 15;

// Moves that could not be put aside for lack of room are tried in the
// stage that met them, after its scored moves.
constexpr int64_t NOT_DEFERRED_SCORE = -1000000;

inline Move entryMove(const MoveEntry& e) { return Move(e.move); }
inline void deleteEntry(MoveEntry& e) { e.move = MOVE_DELETED; }

}  // namespace

Move pickBest(PlyState& st, int begin, int end) {
  while (begin < end && entryMove(st.moves[begin]) == MOVE_DELETED) begin++;
  if (begin >= end) return MOVE_NONE;
  int best = begin;
  for (int i = begin + 1; i < end; i++)
    if (entryMove(st.moves[i]) != MOVE_DELETED && st.moves[i].score > st.moves[best].score) best = i;
  const MoveEntry chosen = st.moves[best];
  st.moves[best] = st.moves[begin];
  st.moves[begin] = chosen;
  st.currentEntry = begin;
  return entryMove(chosen);
}

namespace {

// Scores captures and promotions by victim and attacker; moves that land on
// an empty square without promoting (en passant, quiet evasions) are put
// aside for later. When nothing scored is left, the stage simply runs dry.
void scoreCaptures(Position& pos) {
  PlyState& st = *pos.cur;
  for (int i = 0; i < st.listEnd; i++) {
    MoveEntry& e = st.moves[i];
    const Move m = entryMove(e);
    if (m == MOVE_DELETED) continue;
    if (m == st.hashMove) {
      deleteEntry(e);
      continue;
    }
    const Square to = moveTo(m);
    const int victim = pos.board[to];
    if (!victim && !isPromotion(m)) {
      if (deferMove(st, m, 0)) {
        deleteEntry(e);
        continue;
      }
      e.score = NOT_DEFERRED_SCORE;
    } else if (!victim) {
      e.score = pieceValue[promotedCode(m, st.side)] - 90;
    } else {
      e.score = pieceValue[victim] - pieceValue[pos.board[moveFrom(m)]];
      if (st.lastMove && moveTo(st.lastMove) == to) e.score += 50;
    }
  }
}

// Finds a stored candidate among the generated quiet moves and takes it out
// of the list, so that no later stage returns it again. Returns it only
// when it is legal here.
Move takeCandidate(Position& pos, Move m) {
  if (!m) return MOVE_NONE;
  PlyState& st = *pos.cur;
  // Every generated move starts on one of our pieces: a stored move that
  // does not is looked for no further.
  const int piece = pos.board[moveFrom(m)];
  if (!piece || colourOf(piece) != st.side) return MOVE_NONE;
  for (int i = 0; i < st.listEnd; i++) {
    if (entryMove(st.moves[i]) != m) continue;
    deleteEntry(st.moves[i]);
    return isLegal(pos, m) ? MOVE_NONE : m;
  }
  return MOVE_NONE;
}

void deleteFromList(PlyState& st, Move a, Move b) {
  int wanted = (a != 0) + (b != 0);
  for (int i = 0; i < st.listEnd && wanted > 0; i++) {
    const Move m = entryMove(st.moves[i]);
    if (m != MOVE_DELETED && (m == a || m == b)) {
      deleteEntry(st.moves[i]);
      wanted--;
    }
  }
}

// A stable insertion sort, highest score first. The first highest entry is
// moved to the front beforehand (the others keep their order), so that the
// inner loop needs no test for the start of the list.
void sortByScore(MoveEntry* list, int count) {
  if (count < 2) return;
  int best = 0;
  for (int i = 1; i < count; i++)
    if (list[i].score > list[best].score) best = i;
  const MoveEntry top = list[best];
  for (int i = best; i > 0; i--) list[i] = list[i - 1];
  list[0] = top;
  for (int i = 2; i < count; i++) {
    const MoveEntry e = list[i];
    int j = i - 1;
    while (list[j].score < e.score) {
      list[j + 1] = list[j];
      j--;
    }
    list[j + 1] = e;
  }
}

// The reply to the parent's null move, when it lands on an empty square
// here. An en-passant capture qualifies as well; the capture stage has put
// it aside, and it comes again among the moves put aside.
Move parentThreatMove(Position& pos) {
  PlyState& st = *pos.cur;
  const Move m = st.parentThreat;
  // A castling move's target holds its own rook: no capture.
  if (!m || m == st.hashMove || (pos.board[moveTo(m)] && !isCastling(m)) || isPromotion(m) ||
      !isPseudoLegal(pos, m, st.side))
    return MOVE_NONE;
  if (!isLegal(pos, m)) return m;
  st.parentThreat = MOVE_NONE;
  return MOVE_NONE;
}

inline bool differsFromKillers(const PlyState& st, Move m) { return m != st.killer1 && m != st.killer2; }

// Runs the stage just entered; returns a move when the stage hands one out
// at once (candidate stages) and MOVE_NONE otherwise.
Move enterStage(Position& pos) {
  PlyState& st = *pos.cur;
  st.currentEntry = -1;
  if (st.inCheck) {
    switch (st.pickStage) {
      case STAGE_CAPTURES:
        pos.moveCursor = st.moves;
        generateEvasions(pos);
        st.listEnd = int(pos.moveCursor - st.moves);
        scoreCaptures(pos);
        return MOVE_NONE;
      case STAGE_CHECK_DEFERRED:
        scoreQuiets(pos, DEFERRED_START, st.deferredEnd);
        return MOVE_NONE;
      default:
        st.pickStage = STAGE_DONE;
        return MOVE_NONE;
    }
  }
  switch (st.pickStage) {
    case STAGE_CAPTURES:
      pos.moveCursor = st.moves;
      generateCaptures(pos);
      pos.moveCursor->move = 0;
      st.listEnd = int(pos.moveCursor - st.moves);
      scoreCaptures(pos);
      return MOVE_NONE;
    case STAGE_THREAT:
      return parentThreatMove(pos);
    case STAGE_GENERATE_QUIETS:
      pos.moveCursor = st.moves;
      generateQuiets(pos);
      pos.moveCursor->move = 0;
      st.listEnd = int(pos.moveCursor - st.moves);
      deleteFromList(st, st.hashMove, st.parentThreat);
      return takeCandidate(pos, st.killer1);
    case 5: return takeCandidate(pos, st.followUp2);
    case 6: return takeCandidate(pos, st.killer2);
    case 7: return takeCandidate(pos, st.followUp4);
    case 8: return takeCandidate(pos, st.followUp6);
    case 9: return differsFromKillers(st, st.counter1) ? takeCandidate(pos, st.counter1) : MOVE_NONE;
    case 10: return differsFromKillers(st, st.counter2) ? takeCandidate(pos, st.counter2) : MOVE_NONE;
    case 11: return differsFromKillers(st, st.placement1) ? takeCandidate(pos, st.placement1) : MOVE_NONE;
    case 12: return differsFromKillers(st, st.placement2) ? takeCandidate(pos, st.placement2) : MOVE_NONE;
    case STAGE_QUIETS:
      scoreQuiets(pos, 0, st.listEnd);
      sortByScore(st.moves, st.listEnd);
      return MOVE_NONE;
    default:
      if (st.pickStage > STAGE_DONE) st.pickStage = STAGE_DONE;
      return MOVE_NONE;
  }
}

// Continues the current stage; MOVE_NONE when it has nothing left.
Move continueStage(PlyState& st) {
  switch (st.pickStage) {
    case STAGE_CAPTURES:
      return pickBest(st, st.currentEntry + 1, st.listEnd);
    case STAGE_CHECK_DEFERRED:
      return st.inCheck ? pickBest(st, st.currentEntry + 1 < DEFERRED_START ? DEFERRED_START : st.currentEntry + 1,
                                     st.deferredEnd)
                        : MOVE_NONE;
    case STAGE_QUIETS:
      return nextSortedQuiet(st);
    case STAGE_DEFERRED:
      return pickBest(st, st.currentEntry + 1 < DEFERRED_START ? DEFERRED_START : st.currentEntry + 1,
                        st.deferredEnd);
    default:
      return MOVE_NONE;
  }
}

}  // namespace

void resetPicker(PlyState& st) {
  st.pickStage = 0;
  st.currentEntry = -1;
  st.deferredEnd = DEFERRED_START;
  st.listEnd = 0;
}

bool deferMove(PlyState& st, Move m, int64_t score) {
  if (st.deferredEnd >= MOVE_LIST_SIZE) return false;
  st.moves[st.deferredEnd++] = MoveEntry{m, score};
  return true;
}

Move nextStagedMove(Position& pos) {
  PlyState& st = *pos.cur;
  for (;;) {
    if (st.pickStage == STAGE_DONE) return MOVE_NONE;
    if (st.pickStage > 0)
      if (const Move m = continueStage(st)) return m;
    st.pickStage++;
    if (const Move m = enterStage(pos)) return m;
  }
}

void scoreQuiets(Position& pos, int begin, int end) {
  PlyState& st = *pos.cur;
  const int us = st.side, them = us ^ 1;
  if (st.plyIndex == 1) {
    // At the root's children a one-ply look is affordable: order by the
    // evaluation after the move.
    for (int i = begin; i < end; i++) {
      MoveEntry& e = st.moves[i];
      const Move m = entryMove(e);
      if (isLegal(pos, m)) continue;
      if (m == st.hashMove) {
        deleteEntry(e);
        continue;
      }
      makeMove(pos, m);
      pos.cur++;
      computeAttacksAndPins(pos);
      e.score = -evaluate(pos);
      unmakeMove(pos, m);
    }
    return;
  }
  const Bitboard minorAttacks = st.pawnAttacks[them] | st.knightAttacksAll[them] | st.bishopAttacksAll[them];
  const Square ownKing = kingSquare(pos, us);
  for (int i = begin; i < end; i++) {
    MoveEntry& e = st.moves[i];
    const Move m = entryMove(e);
    if (m == MOVE_DELETED) continue;
    if (m == st.hashMove) {
      deleteEntry(e);
      continue;
    }
    const Square from = moveFrom(m), to = moveTo(m);
    const int piece = pos.board[from];
    int score = pos.historyTable[piece][to];
    // A piece going back where it came from, or further along the line it
    // just travelled, is rarely the plan.
    const int came = pos.cameFrom[from];
    if (came == to) {
      if (!(st.pawnAttacks[them] & bit(from))) score -= 10;
    } else if (came != 127 && (lineTable[from][to] & bit(came))) {
      if (to < from && came < from) score -= 5;
      if (from < to && from < came) score -= 5;
    }
    if (score == 0) {
      const int type = typeOf(piece);
      if (type == PAWN) {
        // Ranks 6 and 7 only: a pawn reaches the last rank by promoting, and
        // promotions come here only among the evasions put aside as losing.
        const int rank = relativeRank(us, to);
        if ((rank == 5 || rank == 6) && !(forwardFile[us][to] & pos.pieces[pawnOf(them)])) score = 5;
        if (fileOf(from) == 3 || fileOf(from) == 4) {
          if (relativeRank(us, from) == 1) score += 1;
        } else if (mgOf(st.material[them]) > 800 && distance(from, ownKing) == 1) {
          score -= 5;
        }
      } else {
        if (type == ROOK || type == QUEEN) {
          if (relativeRank(us, to) >= 6) score = 10;
          if ((minorAttacks & bit(from)) && !(minorAttacks & bit(to))) score += 5;
        }
        if (st.depthLeft < 3 && (st.pawnStepAttacks & bit(from))) score += 1;
      }
    }
    e.score = score;
  }
}

bool isPseudoLegal(const Position& pos, Move m, int side) {
  const PlyState& st = *pos.cur;
  const Square from = moveFrom(m), to = moveTo(m);
  const int piece = pos.board[from];
  if (!piece || colourOf(piece) != side) return false;
  // Castling before the target test: the king may go to its own rook's square.
  // Only the word the generator writes counts, or a rook that is not there
  // would move.
  if (isCastling(m)) {
    if (typeOf(piece) != KING || (to != castledKingSquare(side, false) && to != castledKingSquare(side, true)))
      return false;
    const int index = castlingIndex(side, fileOf(to) == 2);
    return (st.castling & (1 << index)) && castlingIsOpen(pos, st, index);
  }
  const int victim = pos.board[to];
  if (victim && (colourOf(victim) == side || typeOf(victim) == KING)) return false;
  const int kind = m & KIND_MASK;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];

  switch (typeOf(piece)) {
    case PAWN: {
      if (kind == MOVE_EN_PASSANT)
        return to == st.epSquare && st.epSquare && (pawnAttackTable[side][from] & bit(to));
      // A move word from a shared table may carry any kind: only the four
      // promotions, which must reach the last rank, and a pawn reaching it
      // must promote. Other kinds would make a king or an unknown piece.
      const bool promotion = kind == PROMOTE_KNIGHT || kind == PROMOTE_BISHOP || kind == PROMOTE_ROOK ||
                             kind == PROMOTE_QUEEN;
      if (kind != 0 && !promotion) return false;
      if ((relativeRank(side, to) == 7) != promotion) return false;
      const int push = side == WHITE ? 8 : -8;
      if (to == from + push) return !victim;
      if (to == from + 2 * push)
        return !victim && !pos.board[from + push] && relativeRank(side, to) == 3;
      return victim && (pawnAttackTable[side][from] & bit(to));
    }
    case KNIGHT:
      return kind == 0 && (knightTable[from] & bit(to));
    case KING:
      return kind == 0 && (kingTable[from] & bit(to)) && !(st.attacks[side ^ 1] & bit(to)) &&
             !(st.kingForbidden & bit(to));
    default: {
      // Sliders: nothing in between, and the target on the piece's lines.
      if (kind != 0 || (betweenTable[from][to] & occupied)) return false;
      const int type = typeOf(piece);
      const Bitboard lines = type == BISHOP ? bishopEmpty[from] : type == ROOK ? rookEmpty[from]
                                                                                 : bishopEmpty[from] | rookEmpty[from];
      return (lines & bit(to)) != 0;
    }
  }
}
