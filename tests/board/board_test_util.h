// Helpers shared by the board tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"

// The record the board tests work on; far too large for the stack.
inline Position& testPosition() {
  static Position pos;
  return pos;
}

inline Position& load(const char* fen) {
  if (!parseFen(testPosition(), fen)) ADD_FAILURE() << "parseFen refused " << fen;
  return testPosition();
}

inline Move textMove(const Position& pos, const char* text) {
  int length;
  return moveFromText(pos, text, &length);
}

inline std::string moveText(Move m) {
  char text[8];
  moveToText(m, text);
  return text;
}

// The list one generator appends in the current position.
inline std::vector<Move> generated(Position& pos, void (*generator)(Position&)) {
  pos.moveCursor = pos.cur->moves;
  generator(pos);
  std::vector<Move> moves;
  for (MoveEntry* e = pos.cur->moves; e < pos.moveCursor; e++) moves.push_back(Move(e->move));
  return moves;
}

// The legal moves as perft sees them: attack information and pins first,
// then evasions when in check, else all moves, each accepted by isLegal.
inline std::vector<Move> legalMoves(Position& pos) {
  computeAttacks(pos);
  pos.cur->pinned = findBlockers(pos, 1, pos.cur->side);
  std::vector<Move> legal;
  for (Move m : generated(pos, inCheck(pos) ? generateEvasions : generateAll))
    if (!isLegal(pos, m)) legal.push_back(m);
  return legal;
}

inline uint64_t perft(Position& pos, int depth) {
  std::vector<Move> moves = legalMoves(pos);
  if (depth <= 1) return moves.size();
  uint64_t leaves = 0;
  for (Move m : moves) {
    makeMove(pos, m);
    pos.cur++;
    leaves += perft(pos, depth - 1);
    unmakeMove(pos, m);
  }
  return leaves;
}
