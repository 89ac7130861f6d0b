// Unit tests run against the engine's real start-up state.
#include <gtest/gtest.h>

#include "uci/uci.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  initEngine();
  return RUN_ALL_TESTS();
}
