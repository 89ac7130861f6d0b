// The protocol front end: start-up, the command loop, options, the go
// parameters and time management, the search driver, input polling during a
// search, helper threads and the development commands.
#pragma once

#include <atomic>
#include <cstdint>

#include "../board/board.h"
#include "../search/search.h"

constexpr int INPUT_LINE_SIZE = 65536;
constexpr int TOKEN_SIZE = 256;

extern const char* const ENGINE_VERSION;

extern std::atomic<bool> quitRequested;
extern bool inputIsPipe;

extern int multiPvOption;
// UCI_Chess960: castling is written and read as the king taking its rook.
extern bool chess960Option;
extern int threadCount;
extern int maxThreads;
// UCI_LimitStrength and UCI_Elo.
constexpr int MIN_ELO = 1350, MAX_ELO = 2200, DEFAULT_ELO = 1350;
extern bool limitStrengthOption;
extern int eloOption;

// ---- Start-up and the command loop (engine.cpp, commands.cpp) ----

// Returns with the rest of start-up still running on a thread of its own;
// waitForStartUp returns once it has finished. Only "uci" may be answered
// before that.
void initEngine();
void waitForStartUp();
// Executes lines until "quit". Entered again from a running search, it
// executes at most one line and returns; lines that would change what the
// search works on are kept and run once its bestmove is out.
void commandLoop();
// Applies the long-algebraic moves of text to the game position; stops at
// the first move that is malformed or illegal and says so.
void applyMoveList(const char* text);
void setOption(const char* line);

// ---- Go parameters and time (go.cpp) ----

void parseGo(const char* line);
void allocateTime();

// ---- The search driver (driver.cpp) ----

extern std::atomic<int> rootAlpha, rootBeta;
extern std::atomic<int> pvLineCount, currentPvLine, rootMoveCount;
extern std::atomic<int> lastScore, lastScore2, lastScore3;
extern int bestMoveChanges;
extern uint64_t helperNodes;
// Bench mode: no input is read and nothing is printed while searching.
extern bool silentSearch;

void think();
// The driver's two exceptions to the clock, asked between iterations with
// the milliseconds spent so far: one more iteration for a best move that
// keeps changing, and no more for a capture that clearly wins material.
bool earnsExtraIteration(const Position& pos, int64_t elapsed);
bool playsEasyMove(Position& pos, int64_t elapsed);
void searchRoot(int t);
constexpr int INFO_LINE_SIZE = 2048;
// The info line of a new best root move, its nodes those of all threads.
void formatInfoLine(const Position& pos, int score, int alpha0, int beta, char* out);
void sortRootMoves(MoveEntry* list, int n);
void printBestMove(Move best, Move ponder);

// ---- Playing at a chosen strength (strength.cpp) ----

// The root lines the choice of a weaker move looks at; 0 at full strength.
extern int strengthLines;
// Sets the next search's node cap and lines from the options.
void setStrengthLimits();
// Keeps the lines of the last complete iteration for the choice.
void recordStrengthLines(const Move* moves, const int* scores, int n);
// The move to play instead of the search's best, which it is at full
// strength or when fewer than two lines were recorded.
Move chooseMove(Move best);

// ---- Input polling during a search (polling.cpp) ----

extern char pendingCurrmove[128];

bool inputAvailable();
// What the front end does at each periodic check of the search: print the
// pending currmove line and run a waiting command line.
void pollInput(bool stop);
void onPonderhit();

// ---- Helper threads (threads.cpp) ----

extern int threadIds[MAX_THREADS];
extern std::atomic<bool> helpersEnabled, helpersSearching, mainAlone, helpersQuit;

void detectMaxThreads();
void startHelperThreads();
void helperThreadMain(void* idEntry);
// Sets every helper's stop flag and waits until each has finished its root
// search, so that the template can be rewritten safely.
void stopHelpers();
uint64_t sumHelperNodes();
// Table hits of all threads, the main one included.
uint64_t sumTableHits();
// Helper threads that have started and not yet ended, of any setting.
int runningHelperCount();

// ---- Development commands (debug.cpp, benchmark.cpp) ----

void perftCommand(const char* line);
void divideCommand(const char* line);
void printBoard();
void evalCommand();
void benchCommand();
void histCommand(const char* line);
void histtCommand();
// "quillon bench [depth]" on the command line: a fixed search workload whose
// node count identifies the search.
int runSearchBench(int depth);
// Evaluation tuning; they run until the process ends, and return only when
// their position file cannot be used.
void miavCommand();
void miavkdCommand();

// Base-10 conversion that saturates at the int range; text that is not a
// number gives 0.
int parseInteger(const char* text);
