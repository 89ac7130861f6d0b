// A fixture that starts the engine for each test, the searches the tests
// run through it, and the boards they compare with.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../support/engine_process.h"

using Lines = std::vector<std::string>;

inline const Lines START_BOARD = {"tcadract", "pppppppp", "________", "________",
                                  "________", "________", "PPPPPPPP", "TCADRACT"};
// After 1.e4 and after 1.e4 e5.
inline const Lines E4_BOARD = {"tcadract", "pppppppp", "________", "________",
                               "____P___", "________", "PPPP_PPP", "TCADRACT"};
inline const Lines OPEN_GAME_BOARD = {"tcadract", "pppp_ppp", "________", "____p___",
                                      "____P___", "________", "PPPP_PPP", "TCADRACT"};
inline const char* const OPEN_GAME_FEN = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2";
inline const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

inline bool startsWith(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }
// Whether some line has a match of the pattern ("^..." for a prefix).
inline bool anyMatches(const Lines& lines, const std::string& pattern) {
  const std::regex re(pattern);
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return std::regex_search(l, re); });
}

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

  // The lines up to the bestmove (an empty line when none comes). Unless
  // more lines wait for the search, it must be the only one: nothing but
  // the readyok follows it.
  Lines untilBestmove(int timeoutMs = 60000, bool last = true) {
    Lines lines;
    while (auto line = engine->readLine(timeoutMs)) {
      lines.push_back(*line);
      if (startsWith(*line, "bestmove")) {
        if (last) {
          EXPECT_EQ(ask({}), Lines{}) << "after " << *line;
        }
        return lines;
      }
    }
    ADD_FAILURE() << "no bestmove within " << timeoutMs << " ms";
    lines.push_back("");  // for the tests that read the last line
    return lines;
  }
  // The move of the last line, a bestmove that the engine itself accepts as
  // legal in fen; the engine is left at fen.
  std::string legalMove(const std::string& fen, const Lines& lines) {
    std::smatch m;
    if (!std::regex_match(lines.back(), m, std::regex("bestmove (\\S+)( ponder \\S+)?"))) {
      ADD_FAILURE() << fen << ": " << lines.back();
      return "";
    }
    EXPECT_EQ(ask({"position fen " + fen + " moves " + m[1].str(), "position fen " + fen}), Lines{})
        << fen << ": " << lines.back();
    return m[1];
  }
  // The lines of a search of fen, ending with its one legal bestmove.
  Lines search(const std::string& fen, const std::string& go) {
    ask({"position fen " + fen});
    engine->send(go + "\n");
    const Lines lines = untilBestmove();
    legalMove(fen, lines);
    return lines;
  }
  // Starts a search that only "stop" or "ponderhit" ends, and checks that it
  // answers "isready" while it runs, still running after waitMs.
  void startSearch(const std::string& go, int waitMs = 0) {
    engine->send(go + "\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    EXPECT_FALSE(anyMatches(ask({}), "^bestmove")) << go;
  }

  std::unique_ptr<EngineProcess> engine = std::make_unique<EngineProcess>("quillon");
};
