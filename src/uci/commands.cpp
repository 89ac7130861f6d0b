// The command loop: reads one line at a time and executes every command
// keyword it matches.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "uci.h"
#include "../platform/platform.h"
#include "../search/search.h"

namespace {

char inputLine[INPUT_LINE_SIZE];
// Scratch record in which a FEN is checked before it replaces the game.
Position candidate;

bool isWhole(const char* line, const char* keyword) { return strcmp(line, keyword) == 0; }
bool hasPrefix(const char* line, const char* keyword) { return strncmp(line, keyword, strlen(keyword)) == 0; }
// The text from the given offset on, or an empty text when the line is shorter.
const char* fromOffset(const char* line, size_t offset) { return strlen(line) >= offset ? line + offset : ""; }

void printUciReply() {
  printf("id name Quillon %s\n", ENGINE_VERSION);
  printf("id author Velloran\n");
  printf("option name Ponder type check default false\n");
  printf("option name Hash type spin default 128 min 1 max 16384\n");
  printf("option name Clear Hash type button\n");
  printf("option name NullMove type check default true\n");
  printf("option name MultiPV type spin default 1 min 1 max 100\n");
  printf("option name Threads type spin default 1 min 1 max %i\n", maxThreads);
  printf("option name EvalFile type string default <empty>\n");
  printf("uciok\n");
}

// Sets the game position from a FEN and the moves after "moves". A FEN the
// engine cannot play from leaves the game position as it was.
void setPosition(const char* line, const char* fen) {
  if (!parseFen(candidate, fen) || !isLegalPosition(candidate)) {
    printf("info string refused FEN, position unchanged: %.100s\n", fen);
    return;
  }
  parseFen(mainPosition, fen);
  if (const char* moves = strstr(line, "moves")) applyMoveList(fromOffset(moves, 6));
  memset(mainPosition.historyTable, 0, sizeof mainPosition.historyTable);
}

void newGame() {
  clearHashTables();
  memset(mainPosition.historyTable, 0, sizeof mainPosition.historyTable);
}

void executeLine(const char* line) {
  if (isWhole(line, "uci")) printUciReply();
  if (isWhole(line, "isready")) printf("readyok\n");
  if (hasPrefix(line, "pf")) {
    searchState = 0;
    setPosition(line, fromOffset(line, 3));
  } else if (hasPrefix(line, "position")) {
    searchState = 0;
    setPosition(line, hasPrefix(line, "position fen") ? fromOffset(line, 13) : startFen);
  }
  if (hasPrefix(line, "perft")) perftCommand(line);
  if (hasPrefix(line, "divide")) divideCommand(line);
  if (hasPrefix(line, "bench")) benchCommand();
  if (isWhole(line, "ucinewgame")) newGame();
  if (hasPrefix(line, "setoption")) setOption(line);
  if (isWhole(line, "quit")) {
    searchState = 0;
    quitRequested = true;
  }
  if (isWhole(line, "eval")) evalCommand();
  if (isWhole(line, "taulell")) printBoard();
  if (isWhole(line, "miav")) miavCommand();
  if (isWhole(line, "miavkd")) miavkdCommand();
}

}  // namespace

void commandLoop() {
  const int entryState = searchState;
  if (quitRequested) return;
  for (;;) {
    if (!readInputLine(inputLine, sizeof inputLine)) exit(0);
    executeLine(inputLine);
    if (entryState != 0) return;
    sleepMilliseconds(1);
    if (quitRequested) return;
  }
}

void applyMoveList(const char* text) {
  Position& pos = mainPosition;
  for (;;) {
    while (*text == ' ' || *text == '\t') text++;
    if (!*text) return;
    const int tokenLength = minOf(int(strcspn(text, " \t")), 16);
    int length;
    Move m = moveFromText(pos, text, &length);
    if (m == MOVE_NONE || (text[length] && text[length] != ' ' && text[length] != '\t') || !isLegalMove(pos, m)) {
      printf("info string illegal move %.*s, it and the moves after it are ignored\n", tokenLength, text);
      return;
    }
    if (pos.keyCount >= KEY_HISTORY_SIZE - SEARCH_KEY_RESERVE) {
      printf("info string game too long, moves from %.*s on are ignored\n", tokenLength, text);
      return;
    }
    makeGameMove(pos, m);
    text += length;
  }
}
