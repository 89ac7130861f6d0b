// The few system services the engine needs, on POSIX.
#pragma once

#include <cstdint>

// Monotonic clock read as ticks; milliseconds are ticks * 1000 / frequency.
int64_t readClockTicks();
int64_t clockTicksPerSecond();
void sleepMilliseconds(int ms);
void sleepMicroseconds(int us);
// Lets another runnable thread have this processor; returns at once when
// there is none.
void yieldProcessor();

// Standard input, read through our own buffer so that the waiting test can
// see what has been read from the pipe but not yet consumed.
// Reads at most cap - 1 characters up to and including a newline; the
// newline (and a carriage return before it) is dropped. Returns false when
// the end of input was reached during the read: the caller must then stop
// without executing the partial line, as a console program would.
bool readInputLine(char* line, int cap);
// True when a line, the end of input or an input error is waiting.
bool inputWaiting();
bool inputIsConsole();

// A zero-filled block for a large table, 2 MB aligned and backed by huge
// pages where the system offers them (fewer address-translation misses
// when probing at random). Returns nullptr on failure, also when the
// system has less memory available than asked for.
void* allocateLargeBlock(uint64_t bytes);
void freeLargeBlock(void* block, uint64_t bytes);
// Asks for huge pages behind the whole huge pages of a table in static
// storage, before its first write; a table probed at random then misses
// the address translation far less often.
constexpr uint64_t HUGE_PAGE_BYTES = uint64_t(2) << 20;
void adviseHugePages(void* start, uint64_t bytes);

// Starts a detached thread running fn(arg); false if it could not start.
bool startThread(void (*fn)(void*), void* arg);
int logicalProcessorCount();
// Whether each physical core runs two hardware threads (SMT).
bool coresRunTwoThreads();

// Puts file from in the place of file to in one step, after forcing it to
// disk: to is afterwards either the old file or the whole new one.
bool replaceFile(const char* from, const char* to);

// The evaluation parameter text compiled into the executable, NUL-terminated.
const char* embeddedParameterText();
