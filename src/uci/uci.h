// The protocol front end: start-up, the command loop, options and the
// development commands.
#pragma once

#include <atomic>
#include <cstdint>

#include "../board/board.h"

constexpr int INPUT_LINE_SIZE = 65536;
constexpr int TOKEN_SIZE = 256;
constexpr int MAX_THREADS = 32;

extern const char* const ENGINE_VERSION;

// 0 idle, 1 thinking, 2 pondering.
extern std::atomic<int> searchState;
extern std::atomic<bool> quitRequested;
extern bool inputIsPipe;
extern int64_t clockFrequency;

extern Position mainPosition;  // the current game position

extern int multiPvOption;
extern int threadCount;
extern int maxThreads;
extern uint8_t nullMoveEnabled;

void initEngine();
void commandLoop();
// Applies the long-algebraic moves of text to the game position; stops at
// the first move that is malformed or illegal and says so.
void applyMoveList(const char* text);
void setOption(const char* line);
void detectMaxThreads();

// Development commands.
void perftCommand(const char* line);
void divideCommand(const char* line);
void printBoard();
void evalCommand();
void benchCommand();
// Evaluation tuning; they run until the process ends, and return only when
// their position file cannot be used.
void miavCommand();
void miavkdCommand();

// Milliseconds since a clock reading, truncated.
int64_t elapsedMs(int64_t since);
// Base-10 conversion that saturates at the int range; text that is not a
// number gives 0.
int parseInteger(const char* text);
