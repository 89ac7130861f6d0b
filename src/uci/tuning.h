// Evaluation tuning against files of scored positions: the passes over the
// files, the coordinate descent over the tuning set, and the two commands.
#pragma once

#include <cstdint>

#include "../eval/eval.h"

// Count, mean and sum of squared deviations, updated one sample at a time.
struct RunningStats {
  int64_t count;
  double mean;
  double m2;
};
void resetStats(RunningStats& stats);
void addSample(RunningStats& stats, double x);
// Sample standard deviation; 0 below two samples.
double standardDeviation(const RunningStats& stats);

constexpr int TUNING_SET_SIZE = 18;
constexpr int FILE_B_MAX_PAIRS = 20000;
// Empties the registry and registers the tuning set with its ranges.
void registerTuningSet();
// A trial step: sets a registered value and derives the evaluation's tables
// from the rows again.
void setTunedValue(ParamEntry& e, int value);

// Folder of "punt5.txt" and "punt5k.txt", fixed when the engine is built,
// and the file the tuners save the whole parameter table to.
extern const char* tuningFolder;
extern const char* tunedTablePath;

// Pairs the last pass over a position file used, and the pairs it skipped
// because the FEN or the score could not be read.
struct FileTally {
  int used;
  int malformed;
};
extern FileTally lastTally;

// Passes over a position file; each returns false when the file cannot be
// opened. File A: the spread of the evaluations in pawns, and the "miav"
// error against evaluations rescaled by that spread. File B: the spread of
// the file scores minus the evaluations, in centipawns.
bool spreadPass(const char* path, double* spread);
bool errorPass(const char* path, double spread, double* error);
bool deviationPass(const char* path, double* deviation);

// An error measure over the current parameter values; false when its
// position file cannot be read.
using TuningMeasure = bool (*)(double* value);
// One sweep of coordinate descent over the registered entries, improving
// *value in place. On a failed measure the entry in hand is put back and
// the sweep stops with false.
bool miavSweep(double* error, TuningMeasure measure);
bool miavkdSweep(double* deviation, TuningMeasure measure);

// The two commands with a limit on their passes (0: no limit, as the
// commands run). They return early, saying why in one line, when a
// position file cannot be used; the registry is then the whole table again.
void runMiav(int passLimit);
void runMiavkd(int passLimit);
