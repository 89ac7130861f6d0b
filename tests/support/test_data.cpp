#include "test_data.h"

#include <filesystem>
#include <fstream>

std::string sharedDataDir() {
  return std::filesystem::is_directory(QUILLON_SHARED_DATA) ? QUILLON_SHARED_DATA : "";
}

std::vector<std::string> perftFens(const std::string& name) {
  std::vector<std::string> fens;
  std::ifstream in(sharedDataDir() + "/perft/" + name);
  for (std::string line; !sharedDataDir().empty() && std::getline(in, line);)
    if (const size_t cut = line.find(';'); cut != std::string::npos)
      fens.push_back(line.substr(0, line.find_last_not_of(' ', cut - 1) + 1));
  return fens;
}
