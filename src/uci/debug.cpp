// Development commands: move-generation counts and the board print.
#include <cstdio>
#include <cstring>

#include "uci.h"
#include "../eval/eval.h"
#include "../platform/platform.h"

namespace {

int64_t leafCount;

// Counts the leaves below the current position; "divide" also prints each
// root move's share.
void perft(Position& pos, int depth, bool divide = false) {
  PlyState& st = *pos.cur;
  computeAttacks(pos);
  st.pinned = findBlockers(pos, 1, st.side);
  pos.moveCursor = st.moves;
  generateMoves(pos);
  // Only pinned pieces and en-passant captures can be illegal, so without
  // them the leaves are simply the generated moves.
  if (depth <= 1 && !divide && !st.pinned && !st.epSquare) {
    leafCount += pos.moveCursor - st.moves;
    return;
  }
  for (const MoveEntry* e = st.moves; e->move; e++) {
    const Move m = Move(e->move);
    if (isLegal(pos, m)) continue;
    const int64_t before = leafCount;
    if (depth > 1) {
      makeMove(pos, m);
      pos.cur++;
      perft(pos, depth - 1);
      unmakeMove(pos, m);
    } else {
      leafCount++;
    }
    if (divide) {
      char text[6];
      moveToText(pos, m, text, chess960Option);
      printf("%s %lli\n", text, (long long)(leafCount - before));
    }
  }
}

// The depth after the command word; deeper than the ply stack is pointless.
int readDepth(const char* line, const char* pattern) {
  char token[TOKEN_SIZE] = "";
  sscanf(line, pattern, token);
  return minOf(parseInteger(token), PLY_RECORDS - 1);
}

void printTiming(int64_t start) {
  int64_t ms = elapsedMs(start);
  if (ms == 0) ms = 1;
  printf("ms: %lli  n/s: %lli\n", (long long)ms, (long long)(leafCount * 1000 / ms));
}

}  // namespace

void perftCommand(const char* line) {
  int64_t start = readClockTicks();
  int depth = readDepth(line, "perft %255s");
  leafCount = 0;
  perft(mainPosition, depth);
  printf("%lli\n", (long long)leafCount);
  printTiming(start);
}

void divideCommand(const char* line) {
  int64_t start = readClockTicks();
  int depth = readDepth(line, "divide %255s");
  leafCount = 0;
  perft(mainPosition, depth, true);
  printf("%lli\n", (long long)leafCount);
  printTiming(start);
}

void evalCommand() {
  int v = evaluate(mainPosition);
  printf("%i\n", mainPosition.cur->side == WHITE ? v : -v);
}

// Times the evaluation; after the first call every call answers from the
// cache in the ply record.
void benchCommand() {
  int64_t start = readClockTicks();
  for (int i = 0; i < 10000000; i++) evaluate(mainPosition);
  printf("ms: %lli\n", (long long)elapsedMs(start));
}

void printBoard() {
  for (int rank = 7; rank >= 0; rank--) {
    char row[10];
    for (int file = 0; file < 8; file++) row[file] = pieceLetter[mainPosition.board[makeSquare(file, rank)]];
    row[8] = '\n';
    row[9] = 0;
    printf("%s", row);
  }
}

namespace {

// Eight lines of history values, rank 8 first; code(s) names the row of
// the table that square s reads.
template <typename CodeOf>
void printHistory(CodeOf code) {
  for (int rank = 7; rank >= 0; rank--) {
    char row[8 * 8 + 2];
    int length = 0;
    for (int file = 0; file < 8; file++) {
      const Square s = makeSquare(file, rank);
      length += snprintf(row + length, sizeof row - length, "%05d ", mainPosition.historyTable[code(s)][s]);
    }
    snprintf(row + length, sizeof row - length, "\n");
    printf("%s", row);
  }
}

}  // namespace

void histCommand(const char* line) {
  char token[TOKEN_SIZE] = "";
  sscanf(line, "hist %255s", token);
  // The number is read as a byte: 258 names piece code 2, -1 is 255. Only
  // 0 to 15 are rows of the table.
  const int code = parseInteger(token) & 255;
  if (code > 15) {
    printf("info string hist: no history for piece code %d, the codes are 0 to 15\n", code);
    return;
  }
  printHistory([code](Square) { return code; });
}

void histtCommand() {
  printHistory([](Square s) { return int(mainPosition.board[s]); });
}
