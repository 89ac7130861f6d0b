// Evaluation tuning by coordinate descent: every tuned value is moved one
// unit up or down, the whole position file is evaluated again, and the move
// stays only if the error measure improves. "miav" fits the evaluation to
// scores in pawns by mean absolute error; "miavkd" minimises the spread of
// the differences between scores in centipawns and the evaluation.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tuning.h"
#include "uci.h"

const char* tuningFolder = QUILLON_TUNING_DIR;
const char* tunedTablePath = "evalparams-tuned.txt";
FileTally lastTally;

namespace {

struct TunedRow {
  int row;
  int min;
  int max;
};

// The tuning set. Every row is read by the evaluation as it is (none is
// replaced by a fixed value), its shipped value lies inside the range, and
// its meaning has the range's sign. None of them feeds the pawn table, whose
// cached structure scores the tuner leaves alone between trials.
constexpr TunedRow TUNING_SET[TUNING_SET_SIZE] = {
    // Knight square table, from white's side (black's mirrored): the home
    // rank b1 c1 d1, b2, and the rim a2 to a6. A knight there is worse off
    // than on a neutral square, by up to half a pawn (shipped -5 to -30).
    {211, -50, 0}, {212, -50, 0}, {213, -50, 0}, {207, -50, 0}, {206, -50, 0},
    {202, -50, 0}, {198, -50, 0}, {194, -50, 0}, {190, -50, 0},
    // A rook attacking a knight or bishop, middle game / end game (10, 29):
    // a threat worth a fraction of a pawn, larger in the end game.
    {432, 1, 20}, {433, 1, 40},
    // A rook attacking a queen, middle game / end game (13, 8).
    {430, 1, 20}, {431, 1, 20},
    // A passed pawn whose own king is five squares away: an end-game
    // penalty (-17) between those for four and six squares.
    {234, -40, -1},
    // A knight and a bishop attacking each other, middle game / end game
    // (8, 23).
    {426, 1, 20}, {427, 1, 40},
    // Tempo for the side to move, middle game (9).
    {11, 1, 20},
    // A rook on an open or half-open file shared by the enemy queen gains
    // less from the file (-2).
    {438, -20, -1},
};

constexpr int LINE_SIZE = 1024;  // position-file lines, line end included
constexpr int PATH_SIZE = 4096;
constexpr double MIAV_SPREAD = 1.787918;  // the spread, in pawns, the evaluation is rescaled to
constexpr double FILE_A_LIMIT = 5.0;      // pawns
constexpr double FILE_B_LIMIT = 800.0;    // centipawns

// File A holds scores in pawns, file B twice the centipawns.
enum { KIND_A, KIND_B };

struct PositionFile {
  FILE* f;
  int kind;
  FileTally tally;
};

Position tuningPosition;
char fileAPath[PATH_SIZE], fileBPath[PATH_SIZE];
double evalSpread;
// The registry as it was before the tuning set replaced it: the whole table,
// which is what the tuners save and what they leave behind.
EvalParams tableRegistry;

// Reads one line without its line end; false at the end of the file. An
// over-long line is consumed whole and comes back empty, so that it reads
// as malformed instead of as two lines.
bool readLine(FILE* f, char* line) {
  if (!fgets(line, LINE_SIZE, f)) return false;
  size_t n = strlen(line);
  if (n > 0 && line[n - 1] == '\n') {
    line[--n] = 0;
  } else if (!feof(f)) {
    for (int c = fgetc(f); c != '\n' && c != EOF; c = fgetc(f)) {
    }
    line[0] = 0;
    n = 0;
  }
  if (n > 0 && line[n - 1] == '\r') line[--n] = 0;
  return true;
}

// The pair's score: pawns in file A; in file B the number before the first
// blank (the search depth follows it), which holds twice the centipawns.
bool readScore(const char* line, int kind, double* score) {
  char* end;
  const double v = strtod(line, &end);
  if (end == line || !std::isfinite(v)) return false;
  *score = kind == KIND_B ? v * 0.5 : v;
  return true;
}

bool keepScore(int kind, double score) {
  if (kind == KIND_A) return score <= FILE_A_LIMIT && score >= -FILE_A_LIMIT;
  return score != 0 && score <= FILE_B_LIMIT && score >= -FILE_B_LIMIT;
}

bool openPositionFile(PositionFile& file, const char* path, int kind) {
  file = PositionFile{fopen(path, "r"), kind, {0, 0}};
  return file.f != nullptr;
}

// Sets the tuning position to the next kept pair and gives its score; false
// at the end of the file (or of file B's quota). A FEN the engine cannot
// play from is never evaluated: the pair is skipped and counted.
bool nextPosition(PositionFile& file, double* score) {
  static char fen[LINE_SIZE], second[LINE_SIZE];
  while (file.kind != KIND_B || file.tally.used < FILE_B_MAX_PAIRS) {
    if (!readLine(file.f, fen)) return false;
    if (!readLine(file.f, second)) {
      if (fen[0]) file.tally.malformed++;  // a FEN without its score
      return false;
    }
    if (!readScore(second, file.kind, score)) {
      file.tally.malformed++;
      continue;
    }
    if (!keepScore(file.kind, *score)) continue;
    if (!parseFen(tuningPosition, fen) || !isLegalPosition(tuningPosition)) {
      file.tally.malformed++;
      continue;
    }
    file.tally.used++;
    return true;
  }
  return false;
}

void closePositionFile(PositionFile& file) {
  fclose(file.f);
  lastTally = file.tally;
}

bool inRange(const ParamEntry& e, int value) { return value >= e.min && value <= e.max; }

void markOptimal(ParamEntry& e) {
  e.active = 2;
  printf("                 ja era optim %i\n", 0);
}

bool measureFileA(double* error) { return errorPass(fileAPath, evalSpread, error); }
bool measureFileB(double* deviation) { return deviationPass(fileBPath, deviation); }

// The path of a position file in the tuning folder; says so and gives
// false when the file cannot be opened.
bool findPositionFile(const char* name, char* path) {
  const bool fits = snprintf(path, PATH_SIZE, "%s/%s", tuningFolder, name) < PATH_SIZE;
  FILE* f = fits ? fopen(path, "r") : nullptr;
  if (!f) {
    printf("info string cannot open the position file %s/%s\n", tuningFolder, name);
    return false;
  }
  fclose(f);
  return true;
}

void beginTuning() {
  tableRegistry = evalParams;
  registerTuningSet();
}

void endTuning() { evalParams = tableRegistry; }

void announceTuning(const char* path) {
  printf("info string tuning on %s, the parameter table is saved to %s after each pass\n", path, tunedTablePath);
}

// A file that went missing after the start ends the run.
void reportUnreadable(const char* path) {
  printf("info string cannot read the position file %s, tuning stopped\n", path);
}

void reportMalformed(const char* path) {
  if (lastTally.malformed > 0) printf("info string %s: %i malformed positions skipped\n", path, lastTally.malformed);
}

void saveTable() {
  if (!saveParamTable(tableRegistry, tunedTablePath))
    printf("info string cannot save the parameter table to %s\n", tunedTablePath);
}

void printTunedValues() {
  for (int i = 0; i < evalParams.count; i++) printf("  *%i*\n", *evalParams.entries[i].value);
  printf("=========\n");
}

}  // namespace

void resetStats(RunningStats& stats) { stats = RunningStats{0, 0.0, 0.0}; }

// Welford's update: no sum of squares of large numbers to lose precision in.
void addSample(RunningStats& stats, double x) {
  stats.count++;
  if (stats.count == 1) {
    stats.mean = x;
    stats.m2 = 0;
    return;
  }
  const double oldMean = stats.mean;
  stats.mean = oldMean + (x - oldMean) / double(stats.count);
  stats.m2 += (x - stats.mean) * (x - oldMean);
}

double standardDeviation(const RunningStats& stats) {
  return stats.count < 2 ? 0.0 : std::sqrt(stats.m2 / double(stats.count - 1));
}

// The evaluation reads packed tables derived from the rows, so every change
// of a tuned row is followed by the derivation.
void setTunedValue(ParamEntry& e, int value) {
  *e.value = value;
  deriveEvalTables();
  initEvalTables();
}

void registerTuningSet() {
  evalParams.count = 0;
  for (const TunedRow& t : TUNING_SET) registerParam(&paramRow[t.row], t.min, t.max);
}

bool spreadPass(const char* path, double* spread) {
  PositionFile file;
  if (!openPositionFile(file, path, KIND_A)) return false;
  RunningStats stats;
  resetStats(stats);
  double score;
  while (nextPosition(file, &score)) addSample(stats, float(evaluate(tuningPosition)) / 100.0f);
  closePositionFile(file);
  *spread = standardDeviation(stats);
  return true;
}

bool errorPass(const char* path, double spread, double* error) {
  PositionFile file;
  if (!openPositionFile(file, path, KIND_A)) return false;
  const double scale = MIAV_SPREAD / spread;
  double sum = 0, score;
  while (nextPosition(file, &score)) sum += std::fabs(score - float(evaluate(tuningPosition)) / 100.0f * scale);
  closePositionFile(file);
  *error = sum;
  return true;
}

bool deviationPass(const char* path, double* deviation) {
  PositionFile file;
  if (!openPositionFile(file, path, KIND_B)) return false;
  RunningStats stats;
  resetStats(stats);
  double score;
  while (nextPosition(file, &score)) addSample(stats, score - evaluate(tuningPosition));
  closePositionFile(file);
  *deviation = standardDeviation(stats);
  return true;
}

bool miavSweep(double* error, TuningMeasure measure) {
  for (int i = 0; i < evalParams.count; i++) {
    ParamEntry& e = evalParams.entries[i];
    printf("  *%i*\n", i);
    if (e.active > 1) {
      e.active--;
      continue;
    }
    const int start = *e.value;
    // A first step out of the range marks the entry at once.
    if (!inRange(e, start + e.active)) {
      markOptimal(e);
      continue;
    }
    double trial;
    setTunedValue(e, start + e.active);
    if (!measure(&trial)) {
      setTunedValue(e, start);
      return false;
    }
    if (trial < *error) {
      printf("dif: %f = %i      %i\n", trial, *e.value, 0);
      *error = trial;
      continue;
    }
    e.active = -e.active;
    if (inRange(e, start + e.active)) {
      setTunedValue(e, start + e.active);
      if (!measure(&trial)) {
        setTunedValue(e, start);
        return false;
      }
      if (trial < *error) {
        printf("dif: %f = %i     %i\n", trial, *e.value, 0);
        *error = trial;
        continue;
      }
    }
    setTunedValue(e, start);
    markOptimal(e);
  }
  return true;
}

bool miavkdSweep(double* deviation, TuningMeasure measure) {
  for (int i = 0; i < evalParams.count; i++) {
    ParamEntry& e = evalParams.entries[i];
    printf("  *%i*\n", i);
    if (e.active > 1) {
      e.active--;
      continue;
    }
    const int start = *e.value;
    // Unlike "miav", a first step out of the range still tries the other
    // direction.
    bool improved = false;
    for (int attempt = 0; attempt < 2 && !improved; attempt++) {
      if (attempt == 1) e.active = -e.active;
      if (!inRange(e, start + e.active)) continue;
      double trial;
      setTunedValue(e, start + e.active);
      if (!measure(&trial)) {
        setTunedValue(e, start);
        return false;
      }
      if (trial < *deviation) {
        printf("sd: %f (sdant=%f)  %i     %i\n", trial, *deviation, *e.value, 0);
        *deviation = trial;
        improved = true;
      }
    }
    if (!improved) {
      setTunedValue(e, start);
      markOptimal(e);
    }
  }
  return true;
}

void runMiav(int passLimit) {
  if (!findPositionFile("punt5.txt", fileAPath)) return;
  beginTuning();
  if (!spreadPass(fileAPath, &evalSpread)) {
    reportUnreadable(fileAPath);
  } else if (lastTally.used < 2 || evalSpread == 0) {
    printf("info string %s: fewer than two usable positions with different evaluations\n", fileAPath);
  } else {
    announceTuning(fileAPath);
    for (int pass = 1; passLimit == 0 || pass <= passLimit; pass++) {
      double error;
      if (!errorPass(fileAPath, evalSpread, &error)) {
        reportUnreadable(fileAPath);
        break;
      }
      printf("dif: %f  %i\n", error, pass);
      reportMalformed(fileAPath);
      if (!miavSweep(&error, measureFileA)) {
        reportUnreadable(fileAPath);
        break;
      }
      printTunedValues();
      saveTable();
    }
  }
  endTuning();
}

void runMiavkd(int passLimit) {
  if (!findPositionFile("punt5k.txt", fileBPath)) return;
  beginTuning();
  double deviation;
  if (!deviationPass(fileBPath, &deviation)) {
    reportUnreadable(fileBPath);
  } else if (lastTally.used < 2) {
    printf("info string %s: fewer than two usable positions\n", fileBPath);
  } else {
    announceTuning(fileBPath);
    for (int pass = 1; passLimit == 0 || pass <= passLimit; pass++) {
      printf("sd: %f  %i\n", deviation, pass);
      reportMalformed(fileBPath);
      if (!miavkdSweep(&deviation, measureFileB)) {
        reportUnreadable(fileBPath);
        break;
      }
      printf("\n");
      printTunedValues();
      saveTable();
    }
  }
  endTuning();
}

void miavCommand() { runMiav(0); }
void miavkdCommand() { runMiavkd(0); }
