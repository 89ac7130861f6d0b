// The system services the engine relies on.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/platform.h"

TEST(Platform, ClockAndThreads) {
  ASSERT_GT(clockTicksPerSecond(), 0);
  const int64_t before = readClockTicks();
  sleepMilliseconds(20);
  const int64_t ms = (readClockTicks() - before) * 1000 / clockTicksPerSecond();
  EXPECT_GE(ms, 20);
  EXPECT_LT(ms, 1000);
  static std::atomic<int> flag{0};
  ASSERT_TRUE(startThread([](void* arg) { static_cast<std::atomic<int>*>(arg)->store(42); }, &flag));
  for (int waited = 0; flag.load() == 0 && waited < 5000; waited++) sleepMilliseconds(1);
  EXPECT_EQ(flag.load(), 42);
}
