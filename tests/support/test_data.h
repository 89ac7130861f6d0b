// The positions of the shared test data, which the tests walk and evaluate.
#pragma once

#include <string>
#include <vector>

// The shared data folder, or an empty text when this checkout has none.
std::string sharedDataDir();
// The FENs of a file in the shared perft folder ("FEN ;D1 n ;D2 n ..."); none
// when the folder or the file is absent (tests then skip).
std::vector<std::string> perftFens(const std::string& name);

constexpr const char* MISSING_DATA = "shared test data (../shared/data) not found; skipping";
