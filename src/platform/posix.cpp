#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

extern const unsigned char embeddedParameterTextData[];

int64_t readClockTicks() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t clockTicksPerSecond() { return 1000000000; }

void sleepMilliseconds(int ms) {
  timespec wait{ms / 1000, long(ms % 1000) * 1000000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void sleepMicroseconds(int us) {
  timespec wait{us / 1000000, long(us % 1000000) * 1000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void yieldProcessor() { sched_yield(); }

namespace {

char inputBuffer[1 << 16];
int inputStart = 0, inputEnd = 0;
bool inputEnded = false;

// Refills the buffer; false at the end of input or on a read error.
bool fillInput() {
  if (inputEnded) return false;
  for (;;) {
    ssize_t n = read(STDIN_FILENO, inputBuffer, sizeof inputBuffer);
    if (n > 0) {
      inputStart = 0;
      inputEnd = int(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    inputEnded = true;
    return false;
  }
}

}  // namespace

bool readInputLine(char* line, int cap) {
  int n = 0;
  bool complete = false;
  while (n < cap - 1 && !complete) {
    if (inputStart == inputEnd && !fillInput()) {
      line[n] = 0;
      return false;
    }
    char c = inputBuffer[inputStart++];
    if (c == '\n')
      complete = true;
    else
      line[n++] = c;
  }
  if (complete && n > 0 && line[n - 1] == '\r') n--;
  line[n] = 0;
  return true;
}

bool inputWaiting() {
  if (inputStart < inputEnd || inputEnded) return true;
  pollfd fd{STDIN_FILENO, POLLIN, 0};
  int ready = poll(&fd, 1, 0);
  // A closed or broken pipe counts as waiting, so that the reader meets the
  // end of input and the program ends.
  return ready != 0;
}

bool inputIsConsole() { return isatty(STDIN_FILENO) != 0; }

namespace {

// Whole pages, so that the ends can be unmapped exactly.
uint64_t roundToPages(uint64_t bytes) { return (bytes + 4095) & ~uint64_t(4095); }

// Whether the system can supply this much memory now. The block is written
// whole at once, and a size the system only promises would end the engine
// there, killed for want of memory; when the figure cannot be read, the
// mapping itself decides.
bool memoryAvailable(uint64_t bytes) {
  FILE* f = fopen("/proc/meminfo", "r");
  if (!f) return true;
  char line[128];
  unsigned long long kb = 0;
  bool known = false;
  while (!known && fgets(line, sizeof line, f)) known = sscanf(line, "MemAvailable: %llu kB", &kb) == 1;
  fclose(f);
  return !known || bytes / 1024 <= kb;
}

}  // namespace

void* allocateLargeBlock(uint64_t bytes) {
  if (bytes > UINT64_MAX / 2 - HUGE_PAGE_BYTES || bytes + HUGE_PAGE_BYTES > uint64_t(SIZE_MAX)) return nullptr;
  if (!memoryAvailable(bytes)) return nullptr;
  bytes = roundToPages(bytes);
  // Map a little more, so that the block can start on a huge-page boundary,
  // and give back what lies before and after it.
  const size_t mapped = size_t(bytes + HUGE_PAGE_BYTES);
  void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  const uintptr_t start = (uintptr_t(base) + HUGE_PAGE_BYTES - 1) & ~uintptr_t(HUGE_PAGE_BYTES - 1);
  const size_t before = start - uintptr_t(base), after = mapped - before - size_t(bytes);
  if (before) munmap(base, before);
  if (after) munmap(reinterpret_cast<void*>(start + bytes), after);
  madvise(reinterpret_cast<void*>(start), size_t(bytes), MADV_HUGEPAGE);
  return reinterpret_cast<void*>(start);
}

void adviseHugePages(void* start, uint64_t bytes) {
  const uintptr_t first = (uintptr_t(start) + HUGE_PAGE_BYTES - 1) & ~uintptr_t(HUGE_PAGE_BYTES - 1);
  const uintptr_t end = (uintptr_t(start) + bytes) & ~uintptr_t(HUGE_PAGE_BYTES - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), size_t(end - first), MADV_HUGEPAGE);
}

void freeLargeBlock(void* block, uint64_t bytes) {
  if (block) munmap(block, size_t(roundToPages(bytes)));
}

namespace {

struct ThreadStart {
  void (*fn)(void*);
  void* arg;
};

void* threadEntry(void* data) {
  ThreadStart start = *static_cast<ThreadStart*>(data);
  delete static_cast<ThreadStart*>(data);
  start.fn(start.arg);
  return nullptr;
}

}  // namespace

bool startThread(void (*fn)(void*), void* arg) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  // Search threads keep their records in static storage; 8 MB is ample.
  pthread_attr_setstacksize(&attr, 8 << 20);
  pthread_t thread;
  auto* start = new ThreadStart{fn, arg};
  bool ok = pthread_create(&thread, &attr, threadEntry, start) == 0;
  if (!ok) delete start;
  pthread_attr_destroy(&attr);
  return ok;
}

int logicalProcessorCount() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? int(n) : 1;
}

bool coresRunTwoThreads() {
  FILE* f = fopen("/sys/devices/system/cpu/cpu0/topology/thread_siblings_list", "r");
  if (!f) return false;
  char text[64] = {};
  bool shared = fgets(text, sizeof text, f) && strpbrk(text, ",-") != nullptr;
  fclose(f);
  return shared;
}

bool replaceFile(const char* from, const char* to) {
  const int fd = open(from, O_RDONLY);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced && rename(from, to) == 0;
}

const char* embeddedParameterText() { return reinterpret_cast<const char*>(embeddedParameterTextData); }
