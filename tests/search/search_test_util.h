// Helpers shared by the search tests: empty memories, nodes placed at a
// given ply and fixed-depth searches through the driver.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../board/board_test_util.h"
#include "search/search.h"
#include "uci/uci.h"

// Forgets everything earlier searches learnt, so that a search depends on
// nothing but its position.
inline void forgetSearches(Position& pos) {
  clearHashTables();
  clearFollowUpTables();
  clearCounterMoves();
  clearKillers(pos);
  clearHistory(pos);
  lastScore = 0;
}

// Moves the root record of pos to ply p, as if p moves (none of them a pawn
// move or capture) had led there, with keys that repeat nothing.
inline void placeAtPly(Position& pos, int p) {
  if (p == 0) return;
  memcpy(&pos.plies[p], &pos.plies[0], sizeof(PlyState));
  for (int i = 1; i <= p; i++) pos.keyHistory[pos.keyCount + i] = 0x9E3779B97F4A7C15ULL * uint64_t(i);
  pos.keyCount += p;
  pos.keyHistory[pos.keyCount] = pos.plies[p].key;
  pos.cur = pos.plies + p;
  for (int i = 1; i <= p; i++) pos.plies[i].reduction = 0;
  pos.iterationDepth = 64;
  pos.firstRootMove = 0;
  pos.lastScore = pos.lastScore2 = pos.lastScore3 = 1;
}

// A node of the principal search: the position of fen at ply p.
inline Position& nodeAt(const char* fen, int p = 1) {
  Position& pos = load(fen);
  forgetSearches(pos);
  placeAtPly(pos, p);
  return pos;
}

struct RootResult {
  Move best;
  int score;
  uint64_t nodes;
};

// A search of the game position from empty tables, as the go line runs it.
inline RootResult searchWith(const char* fen, const std::string& go) {
  Position& pos = mainPosition;
  forgetSearches(pos);
  if (!parseFen(pos, fen)) ADD_FAILURE() << "parseFen refused " << fen;
  parseGo(go.c_str());
  think();
  searchState = SEARCH_IDLE;
  return {pos.rootBestMoves[0], pos.rootScore, pos.nodes};
}

inline RootResult searchToDepth(const char* fen, int depth) {
  return searchWith(fen, "go depth " + std::to_string(depth));
}
