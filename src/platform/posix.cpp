#include <fcntl.h>
#include <poll.h>
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
