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

// Lines that arrive while a search runs and would change what it works on
// wait here, in order, until its bestmove is out.
constexpr int DEFERRED_BYTES = 1 << 20;
constexpr int DEFERRED_LINES = 256;
char deferredText[DEFERRED_BYTES];
int deferredStart[DEFERRED_LINES];
int deferredHead, deferredCount, deferredUsed;
char deferredLine[INPUT_LINE_SIZE];

bool isWhole(const char* line, const char* keyword) { return strcmp(line, keyword) == 0; }
bool hasPrefix(const char* line, const char* keyword) { return strncmp(line, keyword, strlen(keyword)) == 0; }
// The text from the given offset on, or an empty text when the line is shorter.
const char* fromOffset(const char* line, size_t offset) { return strlen(line) >= offset ? line + offset : ""; }

// Only these act on a running search; everything else waits for its end.
bool actsDuringSearch(const char* line) {
  return isWhole(line, "uci") || isWhole(line, "isready") || isWhole(line, "ponderhit") || isWhole(line, "stop") ||
         isWhole(line, "quit");
}

void deferLine(const char* line) {
  const int length = int(strlen(line)) + 1;
  if (deferredCount == DEFERRED_LINES || deferredUsed + length > DEFERRED_BYTES) {
    printf("info string too many commands during the search, ignored: %.60s\n", line);
    return;
  }
  deferredStart[(deferredHead + deferredCount) % DEFERRED_LINES] = deferredUsed;
  memcpy(deferredText + deferredUsed, line, size_t(length));
  deferredUsed += length;
  deferredCount++;
}

bool takeDeferredLine() {
  if (!deferredCount) return false;
  strcpy(deferredLine, deferredText + deferredStart[deferredHead]);
  deferredHead = (deferredHead + 1) % DEFERRED_LINES;
  if (--deferredCount == 0) deferredHead = deferredUsed = 0;
  return true;
}

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
  printf("option name UCI_Chess960 type check default false\n");
  printf("option name SyzygyPath type string default <empty>\n");
  printf("option name SyzygyProbeDepth type spin default 1 min 1 max 100\n");
  printf("option name Syzygy50MoveRule type check default true\n");
  printf("option name SyzygyProbeLimit type spin default 7 min 0 max 7\n");
  printf("option name UCI_LimitStrength type check default false\n");
  printf("option name UCI_Elo type spin default %i min %i max %i\n", DEFAULT_ELO, MIN_ELO, MAX_ELO);
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
  clearHistory(mainPosition);
}

void newGame() {
  clearHashTables();
  clearFollowUpTables();
  clearHistory(mainPosition);
}

void stopSearch() {
  if (searchState != SEARCH_IDLE) printBestMove(mainPosition.rootBestMoves[0], mainPosition.ponderMove);
  searchState = SEARCH_IDLE;
  mainPosition.stopFlag = 1;
}

// The depth shortcuts: "6" and "8" as whole lines, the others by their
// first two characters.
void depthShortcut(const char* line) {
  static const char* const twoDigits[] = {"10", "15", "20", "21", "22", "23", "24", "25", "30"};
  char go[16];
  if (isWhole(line, "6")) parseGo("go depth 6");
  if (isWhole(line, "8")) parseGo("go depth 8");
  for (const char* d : twoDigits) {
    if (strncmp(line, d, 2) == 0) {
      snprintf(go, sizeof go, "go depth %s", d);
      parseGo(go);
    }
  }
}

void executeLine(const char* line) {
  if (isWhole(line, "uci")) {
    printUciReply();
    return;
  }
  waitForStartUp();
  if (isWhole(line, "isready")) printf("readyok\n");
  if (hasPrefix(line, "pf")) {
    searchState = SEARCH_IDLE;
    setPosition(line, fromOffset(line, 3));
  } else if (hasPrefix(line, "position")) {
    searchState = SEARCH_IDLE;
    setPosition(line, hasPrefix(line, "position fen") ? fromOffset(line, 13) : startFen);
  }
  if (hasPrefix(line, "perft")) perftCommand(line);
  if (hasPrefix(line, "divide")) divideCommand(line);
  if (hasPrefix(line, "bench")) benchCommand();
  if (isWhole(line, "ucinewgame")) newGame();
  if (hasPrefix(line, "setoption")) setOption(line);
  if (hasPrefix(line, "go")) parseGo(line);
  depthShortcut(line);
  if (isWhole(line, "ponderhit")) onPonderhit();
  if (isWhole(line, "stop")) stopSearch();
  if (isWhole(line, "quit")) {
    mainPosition.stopFlag = 1;
    searchState = SEARCH_IDLE;
    quitRequested = true;
  }
  if (isWhole(line, "eval")) evalCommand();
  if (isWhole(line, "taulell")) printBoard();
  if (isWhole(line, "miav")) miavCommand();
  if (isWhole(line, "miavkd")) miavkdCommand();
  if (isWhole(line, "histt"))
    histtCommand();
  else if (hasPrefix(line, "hist"))
    histCommand(line);
}

// The input has ended: nothing more can be asked of the engine.
[[noreturn]] void endOfInput() {
  helpersQuit = true;
  for (Position& record : threadRecords) record.stopFlag = 1;
  exit(0);
}

}  // namespace

void commandLoop() {
  const int entryState = searchState;
  if (quitRequested) return;
  for (;;) {
    const char* line;
    if (entryState == SEARCH_IDLE && takeDeferredLine()) {
      line = deferredLine;
    } else {
      if (!readInputLine(inputLine, sizeof inputLine)) endOfInput();
      line = inputLine;
    }
    if (entryState != SEARCH_IDLE && !actsDuringSearch(line))
      deferLine(line);
    else
      executeLine(line);

    if (searchState != SEARCH_IDLE) {
      if (entryState != SEARCH_IDLE) return;
      think();
      searchState = SEARCH_IDLE;
    } else {
      if (entryState != SEARCH_IDLE) return;
      // A pause between idle lines, but none while more input waits: a
      // burst of lines (a long game's positions, a fast interface) runs
      // at the speed it is read.
      if (!deferredCount && !quitRequested && !inputAvailable()) sleepMilliseconds(1);
    }
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
    Move m = moveFromText(pos, text, &length, chess960Option);
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
