// What both harnesses share: the engine started once in this process, a
// session that feeds it text through its standard input as an interface
// would, and the check that the game position's kept state is sound.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "uci/uci.h"

namespace fuzz {

inline int inputWriter = -1;

// The input pipe holds a whole session, so it is written before the loop
// reads it; sessions longer than this are not run.
constexpr size_t SESSION_BYTES = 1 << 20;
// More stops than searches a session can leave running or waiting: one
// running, plus at most 256 lines put aside during it. Each stop either
// ends a search or is ignored by an idle engine.
constexpr int CLOSING_STOPS = 300;

[[noreturn]] inline void fail(const char* what) {
  fprintf(stderr, "fuzz: %s\n", what);
  abort();
}

// Runs the command loop over text until the "quit" that follows it. When
// the text may start searches, they are stopped first.
inline void runSession(const std::string& text, bool mayStartSearches = false) {
  std::string all = text + "\n";
  for (int i = 0; mayStartSearches && i < CLOSING_STOPS; i++) all += "stop\n";
  all += "quit\n";
  if (all.size() > SESSION_BYTES) return;
  for (size_t done = 0; done < all.size();) {
    const ssize_t n = write(inputWriter, all.data() + done, all.size() - done);
    if (n <= 0) fail("cannot write the session");
    done += size_t(n);
  }
  quitRequested = false;
  commandLoop();
  if (searchState != SEARCH_IDLE) fail("a search is still marked running after quit");
}

// Standard input becomes a pipe this process writes, and the engine's
// output goes nowhere. Then the engine starts with a small table, so that
// clearing it costs little.
inline void startEngine() {
  int fds[2];
  if (pipe(fds) != 0 || dup2(fds[0], STDIN_FILENO) < 0) fail("no input pipe");
  close(fds[0]);
  inputWriter = fds[1];
  if (fcntl(inputWriter, F_SETPIPE_SZ, int(SESSION_BYTES)) < int(SESSION_BYTES)) fail("input pipe too small");
  const int null = open("/dev/null", O_WRONLY);
  if (null < 0 || dup2(null, STDOUT_FILENO) < 0) fail("no /dev/null");
  close(null);
  setvbuf(stdout, nullptr, _IONBF, 0);
  inputIsPipe = true;
  initEngine();
  runSession("setoption name Hash value 1");
}

// The game position's incremental state against a fresh computation from
// its board: keys, material, piece sets, the root's attack and pin sets,
// and castling rights and an en-passant square that the pieces back.
inline void checkGamePosition() {
  Position& pos = mainPosition;
  if (pos.cur != &pos.plies[0]) fail("the game position is not at the root record");
  if (pos.keyCount < 0 || pos.keyCount > KEY_HISTORY_SIZE - SEARCH_KEY_RESERVE || pos.rootKeyIndex != pos.keyCount ||
      pos.irreversibleIndex < 0 || pos.irreversibleIndex > pos.keyCount)
    fail("key history counters out of order");
  if (!incrementalStateMatches(pos)) fail("keys, material or piece sets differ from the board");

  static PlyState kept;
  PlyState& root = pos.plies[0];
  kept = root;
  computeAttacksAndPins(pos);
  const size_t from = offsetof(PlyState, attacks), to = offsetof(PlyState, threatened);
  const bool same = memcmp(reinterpret_cast<char*>(&kept) + from, reinterpret_cast<char*>(&root) + from, to - from) == 0;
  root = kept;
  if (!same) fail("attack or pin sets differ from a fresh computation");

  const uint8_t* b = pos.board;
  const int rights = root.castling;
  for (int index = 0; index < 4; index++) {
    const int colour = index & 1;
    if ((rights & (1 << index)) && (b[pos.castlingRook[index]] != rookOf(colour) ||
                                    relativeRank(colour, kingSquare(pos, colour)) != 0))
      fail("a castling right without its king and rook at home");
  }
  if (const Square ep = root.epSquare) {
    const int them = root.side ^ 1;
    if (relativeRank(root.side, ep) != 5 || b[ep] || b[ep ^ 8] != pawnOf(them))
      fail("an en-passant square without the pawn that passed it");
  }
}

}  // namespace fuzz
