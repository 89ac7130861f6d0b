// A fixture that starts the engine for each test, and the boards the tests
// compare with.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/engine_process.h"

using Lines = std::vector<std::string>;

inline const Lines START_BOARD = {"tcadract", "pppppppp", "________", "________",
                                  "________", "________", "PPPPPPPP", "TCADRACT"};
// After 1.e4 e5.
inline const Lines OPEN_GAME_BOARD = {"tcadract", "pppp_ppp", "________", "____p___",
                                      "____P___", "________", "PPPP_PPP", "TCADRACT"};
inline const char* const OPEN_GAME_FEN = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2";

class EngineTest : public testing::Test {
 protected:
  void SetUp() override { EXPECT_EQ(engine->readLine(), "Quillon 0.74024 by Velloran"); }
  // Every session ends cleanly at the end of its input, without a word on
  // standard error (sanitizer reports at exit included).
  void TearDown() override {
    engine->closeInput();
    EXPECT_EQ(engine->waitExit(), 0);
    EXPECT_EQ(engine->errorOutput(), "");
  }
  Lines ask(const Lines& lines) { return engine->ask(lines); }
  Lines board() { return engine->ask({"taulell"}); }

  std::unique_ptr<EngineProcess> engine = std::make_unique<EngineProcess>("quillon");
};
