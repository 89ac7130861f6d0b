// Syzygy endgame tables: loading them.
#include "prober.h"
#include "search.h"

using namespace fathom;

std::atomic<int> tablePieces{0};
int tableProbeDepth = 1;
int tableProbeLimit = 7;
bool tableFiftyMoveRule = true;

namespace {

// Largest piece count of the loaded tables.
int largestTable;

}  // namespace

bool loadTables(const char* path) {
  const bool ok = tb_init(path);
  largestTable = ok ? int(TB_LARGEST) : 0;
  updateTablePieces();
  return ok;
}

int tablesFound(bool dtz) { return largestTable ? int(dtz ? TB_NUM_DTZ : TB_NUM_WDL) : 0; }
int largestTablePieces() { return largestTable; }

void updateTablePieces() { tablePieces = minOf(largestTable, tableProbeLimit); }
