#include "test_data.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string sharedDataDir() {
  struct stat info;
  if (stat(QUILLON_SHARED_DATA, &info) == 0 && S_ISDIR(info.st_mode)) return QUILLON_SHARED_DATA;
  return "";
}

std::optional<std::vector<PerftCase>> readPerftFile(const std::string& name) {
  std::string dir = sharedDataDir();
  if (dir.empty()) return std::nullopt;
  std::ifstream in(dir + "/perft/" + name);
  if (!in) return std::nullopt;
  std::vector<PerftCase> cases;
  std::string line;
  for (int number = 1; std::getline(in, line); number++) {
    size_t cut = line.find(';');
    if (cut == std::string::npos) continue;
    PerftCase c;
    c.fen = line.substr(0, cut);
    while (!c.fen.empty() && c.fen.back() == ' ') c.fen.pop_back();
    c.origin = name + ":" + std::to_string(number);
    // The rest reads ";D1 n ;D2 n ...", depths in order from 1.
    std::istringstream fields(line.substr(cut));
    std::string depth;
    uint64_t count;
    while (fields >> depth >> count) c.counts.push_back(count);
    cases.push_back(c);
  }
  return cases;
}

uint64_t leafBudget() {
  const char* text = std::getenv("QUILLON_LEAF_BUDGET");
  if (text && *text) return std::strtoull(text, nullptr, 10);
  return 1000000;
}
