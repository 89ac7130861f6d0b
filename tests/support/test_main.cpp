// Unit tests run against the engine's real start-up state.
#include <gtest/gtest.h>

#include "uci/uci.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  initEngine();
  waitForStartUp();
  // Searches run in-process print nothing and never read the test's input.
  silentSearch = true;
  return RUN_ALL_TESTS();
}
