#include "test_data.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string sharedDataDir() {
  return std::filesystem::is_directory(QUILLON_SHARED_DATA) ? QUILLON_SHARED_DATA : "";
}

std::vector<PerftCase> readPerftFile(const std::string& name) {
  std::vector<PerftCase> cases;
  if (sharedDataDir().empty()) return cases;
  std::ifstream in(sharedDataDir() + "/perft/" + name);
  std::string line;
  for (int number = 1; std::getline(in, line); number++) {
    const size_t cut = line.find(';');
    if (cut == std::string::npos) continue;
    PerftCase c{line.substr(0, line.find_last_not_of(' ', cut - 1) + 1), {}, name + ":" + std::to_string(number)};
    // The rest reads ";D1 n ;D2 n ...", depths in order from 1.
    std::istringstream fields(line.substr(cut));
    std::string depth;
    for (uint64_t count; fields >> depth >> count;) c.counts.push_back(count);
    cases.push_back(c);
  }
  return cases;
}

uint64_t leafBudget() {
  const char* text = std::getenv("QUILLON_LEAF_BUDGET");
  return text && *text ? std::strtoull(text, nullptr, 10) : 1000000;
}
