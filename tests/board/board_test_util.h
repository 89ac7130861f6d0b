// Helpers shared by the board and search tests.
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

inline Move textMove(const Position& pos, const char* text, bool chess960 = false) {
  int length;
  return moveFromText(pos, text, &length, chess960);
}

// The text of a move of the game last loaded.
inline std::string moveText(Move m, bool chess960 = false) {
  char text[8];
  moveToText(testPosition(), m, text, chess960);
  return text;
}

// The legal moves as perft sees them: attack information and pins first,
// then evasions when in check, else all moves, each accepted by isLegal.
inline std::vector<Move> legalMoves(Position& pos) {
  computeAttacks(pos);
  pos.cur->pinned = findBlockers(pos, 1, pos.cur->side);
  pos.moveCursor = pos.cur->moves;
  (inCheck(pos) ? generateEvasions : generateAll)(pos);
  std::vector<Move> legal;
  for (MoveEntry* e = pos.cur->moves; e < pos.moveCursor; e++)
    if (!isLegal(pos, Move(e->move))) legal.push_back(Move(e->move));
  return legal;
}
