// Evaluation speed: nanoseconds per evaluation over a fixed set of distinct
// positions, with the per-position result cache bypassed.
//   eval-bench [shared-data-dir]
//   eval-bench --list [shared-data-dir]
// --list prints the evaluation of every position instead: the timed set and
// every position of the shared Chess960 and tuning files, one number per line, so that
// two builds can be checked to evaluate alike with a diff.
// Positions: the shared opening, perft and tactics files (when present) and
// the positions reached from them, or from the start position, by a fixed
// sequence of pseudo-random legal moves.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "uci/uci.h"

namespace {

Position pos;

std::string toFen(const Position& p) {
  static const char letters[] = " \0PpNnBb\0\0RrQqKk";
  std::string fen;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      int code = p.board[makeSquare(file, rank)];
      if (!code) {
        empty++;
        continue;
      }
      if (empty) fen += char('0' + empty);
      empty = 0;
      fen += letters[code];
    }
    if (empty) fen += char('0' + empty);
    if (rank) fen += '/';
  }
  const PlyState& st = *p.cur;
  fen += st.side == WHITE ? " w " : " b ";
  std::string rights;
  if (st.castling & CASTLE_WHITE_SHORT) rights += 'K';
  if (st.castling & CASTLE_WHITE_LONG) rights += 'Q';
  if (st.castling & CASTLE_BLACK_SHORT) rights += 'k';
  if (st.castling & CASTLE_BLACK_LONG) rights += 'q';
  fen += rights.empty() ? "-" : rights;
  char ep[8] = "-";
  if (st.epSquare) snprintf(ep, sizeof ep, "%c%c", 'a' + fileOf(st.epSquare), '1' + rankOf(st.epSquare));
  fen += std::string(" ") + ep + " " + std::to_string(st.fifty) + " 1";
  return fen;
}

std::vector<Move> legalMoves(Position& p) {
  std::vector<Move> moves;
  MoveEntry list[MOVE_LIST_SIZE];
  p.moveCursor = list;
  if (inCheck(p))
    generateEvasions(p);
  else
    generateAll(p);
  for (MoveEntry* e = list; e->move; e++)
    if (!isLegal(p, Move(e->move))) moves.push_back(Move(e->move));
  return moves;
}

void readFens(const std::string& path, std::vector<std::string>& out) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find(';'));
    if (!line.empty()) out.push_back(line);
  }
}

// The tuning files alternate a FEN line and a score line.
void readTuningFens(const std::string& path, std::vector<std::string>& out) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line))
    if (line.find('/') != std::string::npos) out.push_back(line);
}

int listEvaluations(std::vector<std::string> fens, const std::string& data) {
  readFens(data + "/perft/frc.epd", fens);
  readFens(data + "/perft/frc-random.epd", fens);
  readTuningFens(data + "/tuning/punt5.txt", fens);
  readTuningFens(data + "/tuning/punt5k.txt", fens);
  for (const std::string& fen : fens) {
    if (!parseFen(pos, fen.c_str()) || !isLegalPosition(pos)) continue;
    printf("%d\n", evaluate(pos));
  }
  return 0;
}

// Positions are set up in batches outside the timed region; each batch is
// then evaluated once with the result cache of its ply record cleared.
constexpr int BATCH = 64;
Position batch[BATCH];

double secondsFor(const std::vector<std::string>& fens) {
  double seconds = 0;
  int64_t sum = 0;
  for (size_t first = 0; first < fens.size(); first += BATCH) {
    const int n = int(std::min<size_t>(BATCH, fens.size() - first));
    for (int i = 0; i < n; i++) parseFen(batch[i], fens[first + i].c_str());
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; i++) sum += evaluate(batch[i]);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (sum == 42) printf(" ");  // keeps the evaluations from being optimised away
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  initEngine();
  waitForStartUp();
  const bool list = argc > 1 && !strcmp(argv[1], "--list");
  const std::string data = argc > 1 + list ? argv[1 + list] : "../shared/data";
  std::vector<std::string> bases;
  readFens(data + "/openings/8moves_v3_500.epd", bases);
  readFens(data + "/perft/standard.epd", bases);
  readFens(data + "/perft/extra.epd", bases);
  readFens(data + "/tactics/bk.epd", bases);
  if (bases.empty()) bases.push_back(startFen);

  std::mt19937 random(12345);
  std::set<uint64_t> seen;
  std::vector<std::string> fens;
  for (int round = 0; fens.size() < 12000 && round < 1000; round++) {
    for (const std::string& base : bases) {
      if (!parseFen(pos, base.c_str()) || !isLegalPosition(pos)) continue;
      for (int ply = 0; ply < 12; ply++) {
        if (seen.insert(pos.cur->key).second) fens.push_back(toFen(pos));
        std::vector<Move> moves = legalMoves(pos);
        if (moves.empty() || pos.keyCount > 1000) break;
        makeGameMove(pos, moves[random() % moves.size()]);
      }
    }
  }

  if (list) return listEvaluations(fens, data);

  std::vector<double> perEval;
  for (int run = 0; run < 7; run++) {
    memset(pawnTable, 0, sizeof(PawnEntry) * PAWN_TABLE_ENTRIES);
    double cold = secondsFor(fens);
    double warm = secondsFor(fens);
    perEval.push_back(warm * 1e9 / double(fens.size()));
    if (run == 0) printf("first pass, empty pawn table: %.0f ns per evaluation\n", cold * 1e9 / double(fens.size()));
  }
  std::sort(perEval.begin(), perEval.end());
  printf("%zu distinct positions, median of %zu runs: %.0f ns per evaluation (%s build)\n", fens.size(),
         perEval.size(), perEval[perEval.size() / 2], ENGINE_VERSION);
  return 0;
}
