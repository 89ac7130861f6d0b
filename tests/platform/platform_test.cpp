// The system services the engine relies on.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

TEST(Platform, EmbeddedParameterTextIsTheResourceFile) {
  std::ifstream in(QUILLON_SOURCE_DIR "/resources/evalparams.txt", std::ios::binary);
  std::ostringstream file;
  file << in.rdbuf();
  ASSERT_FALSE(file.str().empty()) << "resources/evalparams.txt missing";
  EXPECT_EQ(std::string(embeddedParameterText()), file.str());
}

TEST(Platform, ClockAndThreads) {
  ASSERT_GT(clockTicksPerSecond(), 0);
  int64_t previous = readClockTicks();
  for (int i = 0; i < 100000; i++) {
    const int64_t now = readClockTicks();
    ASSERT_GE(now, previous);
    previous = now;
  }
  sleepMilliseconds(20);
  EXPECT_GE((readClockTicks() - previous) * 1000 / clockTicksPerSecond(), 20);
  static std::atomic<int> flag{0};
  ASSERT_TRUE(startThread([](void* arg) { static_cast<std::atomic<int>*>(arg)->store(42); }, &flag));
  for (int waited = 0; flag.load() == 0 && waited < 5000; waited++) sleepMilliseconds(1);
  EXPECT_EQ(flag.load(), 42);
  EXPECT_GE(logicalProcessorCount(), 1);
}
