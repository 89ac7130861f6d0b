// Access to the shared test data (perft files) and the perft leaf budget.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PerftCase {
  std::string fen;
  std::vector<uint64_t> counts;  // counts[d - 1]: leaves at depth d
  std::string origin;            // "file:line", for failure messages
};

// The shared data folder, or an empty text when this checkout has none.
std::string sharedDataDir();
// The cases of a file in the shared perft folder; none when the folder or
// the file is absent (tests then skip).
std::vector<PerftCase> readPerftFile(const std::string& name);
// Largest perft count a test should verify, from QUILLON_LEAF_BUDGET
// (default 1,000,000).
uint64_t leafBudget();

constexpr const char* MISSING_DATA = "shared test data (../shared/data) not found; skipping";
