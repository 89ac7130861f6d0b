// The search driver: iterative deepening with aspiration windows and
// several principal variations, the root search, the info lines and the
// bestmove line.
#include <cassert>
#include <cstdio>
#include <cstring>

#include "uci.h"
#include "../platform/platform.h"

std::atomic<int> rootAlpha{-SCORE_INFINITE}, rootBeta{SCORE_INFINITE};
std::atomic<int> pvLineCount{1}, currentPvLine{0}, rootMoveCount{0};
std::atomic<int> lastScore{0}, lastScore2{-20000}, lastScore3{-20000};
int bestMoveChanges;
uint64_t helperNodes;
bool silentSearch;

namespace {

// Root entries whose key is PV_KEY + 100 - i hold the best move of line i.
constexpr int64_t PV_KEY = int64_t(1) << 60;

bool helpersTakePart;
// The table result of the root, shown in place of a score that is no mate.
int rootTableScore = NO_TABLE_SCORE;
char heldInfo[INFO_LINE_SIZE];  // the latest info line not printed yet

int countRootMoves(const PlyState& root) {
  int n = 0;
  while (root.moves[n].move) n++;
  return n;
}

// The root move list: the legal moves in generation order, with keys that
// keep that order.
void generateRootMoves(Position& pos) {
  PlyState& root = *pos.cur;
  pos.moveCursor = root.moves;
  if (root.inCheck)
    generateEvasions(pos);
  else
    generateAll(pos);
  int n = 0;
  for (const MoveEntry* e = root.moves; e->move; e++)
    if (!isLegal(pos, Move(e->move))) root.moves[n++].move = e->move;
  for (int i = 0; i < n; i++) root.moves[i].score = n - i;
  root.moves[n].move = 0;
}

bool inRootList(const PlyState& root, Move m) {
  for (const MoveEntry* e = root.moves; e->move; e++)
    if (Move(e->move) == m) return true;
  return false;
}

// The depth at which the i-th root move is searched: late moves get less
// when the iteration is going well above the last score.
int lateMoveDepth(const Position& pos, int i, int best) {
  const int D = pos.iterationDepth;
  if (D <= 4) return D;
  const int last = pos.lastScore;
  const int g10 = best - 10 > last, g30 = best - 30 > last, g80 = best - 80 > last, g100 = best - 100 > last;
  int d = D;
  if (i > 20)
    d = D - 4 * g10 - 3 * g30 - g80 - g100;
  else if (i > 15)
    d = D - 3 * g10 - 2 * g30 - g80;
  else if (i > 10)
    d = D - 2 * g10 - g30;
  else if (i > 5)
    d = D - g10;
  const int n = rootMoveCount;
  if (i >= n - n / 8) d--;
  return maxOf(d, 2);
}

int64_t elapsedAtLeastOne() {
  const int64_t t = elapsedMs(searchStart);
  return t > 0 ? t : 1;
}

}  // namespace

void formatInfoLine(const Position& pos, int score, int alpha0, int beta, char* out) {
  char multipv[24] = "";
  if (pvLineCount > 1) snprintf(multipv, sizeof multipv, " multipv %i", currentPvLine + 1);
  const char* bound = score <= alpha0 ? " upperbound" : score >= beta ? " lowerbound" : "";
  helperNodes = sumHelperNodes();
  const long long nodes = (long long)(pos.nodes + helperNodes);
  char tbhits[32] = "";
  if (tablePieces.load(std::memory_order_relaxed))
    snprintf(tbhits, sizeof tbhits, " tbhits %llu", (unsigned long long)sumTableHits());
  if (rootTableScore != NO_TABLE_SCORE && !isMateScore(score)) {
    score = rootTableScore;
    bound = "";
  }
  const long long time = elapsedAtLeastOne();
  const long long nps = nodes * 1000 / time;
  char scoreText[32];
  if (score >= MATE_BOUND)
    snprintf(scoreText, sizeof scoreText, "mate %i", (MATE_SCORE + 1 - score) / 2);
  else if (score <= -MATE_BOUND)
    snprintf(scoreText, sizeof scoreText, "mate -%i",
             ((score + SCORE_INFINITE < 0 ? -(score + SCORE_INFINITE) : score + SCORE_INFINITE) + 1) / 2);
  else
    snprintf(scoreText, sizeof scoreText, "cp %i%s", score, bound);
  int length = snprintf(out, INFO_LINE_SIZE, "info depth %d seldepth %d%s score %s nodes %lli nps %lli%s time %lli pv ",
                        pos.iterationDepth, pos.selDepth, multipv, scoreText, nodes, nps, tbhits, time);
  for (int i = 0; i < PV_ROWS && pos.pvTable[0][i]; i++) {
    char text[8];
    moveToText(pos, pos.pvTable[0][i], text, chess960Option);
    length += snprintf(out + length, INFO_LINE_SIZE - length, "%s ", text);
  }
  snprintf(out + length, INFO_LINE_SIZE - length, "\n");
}

namespace {

// Prints an info line now or holds it: short budgets get one line per
// iteration, and bound lines only long budgets.
void reportBest(const Position& pos, int score, int alpha0, int beta) {
  assert(score >= -MATE_SCORE && score <= MATE_SCORE);
  if (silentSearch) return;
  char line[INFO_LINE_SIZE];
  formatInfoLine(pos, score, alpha0, beta, line);
  const bool bounded = score < MATE_BOUND && score > -MATE_BOUND && (score <= alpha0 || score >= beta);
  const bool now = pos.iterationDepth > 1 &&
                   (bounded ? targetTime > 10000 : targetTime == 0 || targetTime > 1000);
  if (now) {
    printf("%s", line);
    heldInfo[0] = 0;
  } else {
    memcpy(heldInfo, line, sizeof line);
  }
}

}  // namespace

void sortRootMoves(MoveEntry* list, int n) {
  int beg[300], end[300];
  int level = 0;
  beg[0] = 0;
  end[0] = n;
  while (level >= 0) {
    int L = beg[level], R = end[level] - 1;
    if (L >= R) {
      level--;
      continue;
    }
    const MoveEntry pivot = list[L];
    while (L < R) {
      while (list[R].score <= pivot.score && L < R) R--;
      if (L < R) list[L++] = list[R];
      while (list[L].score >= pivot.score && L < R) L++;
      if (L < R) list[R--] = list[L];
    }
    list[L] = pivot;
    beg[level + 1] = L + 1;
    end[level + 1] = end[level];
    end[level] = L;
    level++;
    if (end[level] - beg[level] > end[level - 1] - beg[level - 1]) {
      int t = beg[level];
      beg[level] = beg[level - 1];
      beg[level - 1] = t;
      t = end[level];
      end[level] = end[level - 1];
      end[level - 1] = t;
    }
  }
}

void printBestMove(Move best, Move ponder) {
  // The ponder move answers the best move only.
  const Move played = chooseMove(best);
  if (played != best) {
    best = played;
    ponder = MOVE_NONE;
  }
  char line[48] = "bestmove ";
  if (best)
    moveToText(mainPosition, best, line + strlen(line), chess960Option);
  else
    strcat(line, "(none)");
  if (ponder) {
    strcat(line, " ponder ");
    moveToText(mainPosition, ponder, line + strlen(line), chess960Option);
  }
  printf("%s\n", line);
}

void searchRoot(int t) {
  Position& pos = threadRecords[t];
  if (t != 0) copyPositionData(pos, templateRecord);
  pos.threadIndex = t;
  pos.stopFlag = 0;
  pos.cur = pos.plies;
  // Odd helpers look one ply further, so that the threads do not all
  // search the same tree.
  if (t & 1) pos.iterationDepth++;
  // The driver sets the window and the line for the next attempt only
  // after it has ended this one, so a helper that reads them all before it
  // finds the attempt still on has read this attempt's values.
  const int alpha0 = rootAlpha, beta = rootBeta;
  const int line = currentPvLine;
  pos.lastScore = lastScore;
  pos.lastScore2 = lastScore2;
  pos.lastScore3 = lastScore3;
  pos.selDepth = 0;
  // The ponder move is the expected reply to the best move, so only the
  // first line's variation gives it; a later line's reply may be illegal
  // after the best move.
  if (line == 0) pos.ponderMove = MOVE_NONE;
  if (t != 0 && mainAlone) {
    pos.idleFlag = 1;
    return;
  }
  if (t == 0) heldInfo[0] = 0;

  PlyState& root = *pos.cur;
  const int D = pos.iterationDepth;
  if (D == 1) {
    root.inCheck = inCheck(pos);
    generateRootMoves(pos);
    if (t == 0) rootTableScore = tablePieces.load(std::memory_order_relaxed) ? rankRootMoves(pos) : NO_TABLE_SCORE;
    const int n = countRootMoves(root);
    if (t == 0) {
      rootMoveCount = n;
      pvLineCount = minOf(maxOf(multiPvOption, strengthLines), n - 1);
    }
    // A stored move is only trusted when it is one of the legal moves.
    TTEntry e;
    if (line == 0 && ttProbe(root.key, e) && e.move && inRootList(root, e.move)) pos.rootBestMoves[0] = e.move;
  }
  const int n = countRootMoves(root);
  if (D > 1 || pos.rootBestMoves[line]) {
    const int lines = pvLineCount;
    for (int k = 0; k < n; k++) {
      for (int i = 0; i < lines; i++) {
        if (root.moves[k].move == pos.rootBestMoves[i]) {
          root.moves[k].score = PV_KEY + 100 - i;
          break;
        }
      }
    }
    sortRootMoves(root.moves, n);
  }

  pos.firstRootMove = 1;
  int best = alpha0;
  bool searchedAny = false;
  uint64_t nodesBefore = 0;
  for (int i = 1; i <= n; i++) {
    MoveEntry& e = root.moves[i - 1];
    if (e.score > PV_KEY + 100 - line) continue;  // the best move of an earlier line
    searchedAny = true;
    const Move m = Move(e.move);
    if (!pos.rootBestMoves[line]) pos.rootBestMoves[line] = m;
    if (t == 0 && !silentSearch && (targetTime == 0 || targetTime > 5000)) {
      char text[8];
      moveToText(pos, m, text, chess960Option);
      snprintf(pendingCurrmove, sizeof pendingCurrmove, "info depth %d currmove %s currmovenumber %d\n", D, text, i);
    }
    makeMove(pos, m);
    pos.cur++;
    pos.cur->parentThreat = MOVE_NONE;
    const int d = lateMoveDepth(pos, i, best);
    int score;
    if (i == 1) {
      score = -searchNode(pos, -beta, -best, 1, true, true, d, false, false);
    } else {
      score = -searchNode(pos, -best - 1, -best, 1, true, false, d, true, false);
      // Once best has reached beta this window is empty; the move is then
      // only adopted when its search still scores above beta.
      if (!pos.stopFlag && score > best) score = -searchNode(pos, -beta, -best, 1, true, true, d, false, false);
    }
    pos.firstRootMove = 0;
    unmakeMove(pos, m);
    if (pos.stopFlag) {
      pos.rootScore = 0;
      pos.idleFlag = 1;
      return;
    }
    const uint64_t nodesNow = pos.nodes;
    e.score = int64_t(nodesNow - nodesBefore);
    nodesBefore = nodesNow;

    if (score > best) {
      if (t == 0 && i != 1 && D >= 5) bestMoveChanges++;
      pos.rootBestMoves[line] = m;
      pos.selDepth = maxOf(pos.selDepth, D);
      pos.pvTable[0][0] = m;
      memcpy(pos.pvTable[0] + 1, pos.pvTable[1], (PV_ROWS - 2) * sizeof(Move));
      pos.pvTable[0][PV_ROWS - 1] = MOVE_NONE;
      if (line == 0) pos.ponderMove = pos.pvTable[0][1];
      if (t == 0) reportBest(pos, score, alpha0, beta);
      pos.selDepth = 0;
      // Fail high: the window must widen before anything is stored. A score
      // equal to beta is as far as the window reaches; the list goes on.
      if (score > beta) {
        if (t == 0) heldInfo[0] = 0;
        pos.rootScore = score;
        pos.idleFlag = 1;
        return;
      }
      if (line == 0) ttStore(score, 0, D, root.key, BOUND_UPPER, pos.rootBestMoves[0], root.staticEval);
      best = score;
    }
  }
  if (!searchedAny) best = root.inCheck ? -SCORE_INFINITE : 0;
  assert(best >= -MATE_SCORE && best <= MATE_SCORE);
  if (line == 0) ttStore(best, 0, D, root.key, BOUND_EXACT, pos.rootBestMoves[0], root.staticEval);
  if (t == 0 && heldInfo[0] && (D == 1 || (targetTime >= 1 && targetTime <= 1000))) printf("%s", heldInfo);
  if (t == 0) heldInfo[0] = 0;
  pos.rootScore = best;
  pos.idleFlag = 1;
}

namespace {

// One aspiration attempt of the current line, with the helpers if they
// take part.
void searchAttempt(Position& pos) {
  if (helpersTakePart) {
    stopHelpers();
    copyPositionData(templateRecord, pos);
  }
  mainAlone = false;
  if (helpersTakePart) {
    helpersSearching = true;
    for (int t = 1; t < threadCount; t++) threadRecords[t].idleFlag = 0;
  }
  searchRoot(0);
  mainAlone = true;
  if (helpersTakePart) {
    for (int t = 1; t < threadCount; t++) threadRecords[t].stopFlag = 1;
    helperNodes = sumHelperNodes();
  }
}

}  // namespace

bool earnsExtraIteration(const Position& pos, int64_t elapsed) {
  // An unstable best move earns one more iteration, within reason.
  return targetTime != 0 && !(limits.limitFlags & LIMIT_MOVETIME) && double(elapsed) <= 0.6 * double(hardTime) &&
         bestMoveChanges > pos.iterationDepth / 2;
}

bool playsEasyMove(Position& pos, int64_t elapsed) {
  // A stable capture that clearly wins material is played without spending
  // the whole budget.
  pos.pinnedPawnDefender = 0;
  return pvLineCount == 1 && targetTime != 0 && !(limits.limitFlags & LIMIT_MOVETIME) && bestMoveChanges == 0 &&
         pos.iterationDepth >= 5 && pos.rootScore > -MATE_BOUND && pos.rootScore < MATE_BOUND &&
         elapsed > targetTime * 20 / 100 && seeGain(pos, pos.rootBestMoves[0], 0, pos.cur->side) > 200 &&
         !pos.pinnedPawnDefender;
}

void think() {
  Position& pos = mainPosition;
  int lineScores[MAX_PV_LINES] = {};
  searchStart = readClockTicks();
  clearHistory(pos);
  clearCounterMoves();
  // A currmove line of a search that ended by itself belongs to that search.
  pendingCurrmove[0] = 0;
  targetTime = 0;
  computeAttacksAndPins(pos);
  pos.nodes = 0;
  pos.stopFlag = 0;
  pos.idleFlag = 0;
  memset(pos.rootBestMoves, 0, sizeof pos.rootBestMoves);
  pos.iterationDepth = 1;
  memset(pos.cameFrom, 127, sizeof pos.cameFrom);

  allocateTime();
  setStrengthLimits();
  resetPollCountdown();
  // Very short budgets are not worth waking the helpers for, nor is weak
  // play, which must also give the same move for the same search.
  helpersTakePart = threadCount > 1 && !(targetTime > 0 && targetTime < 50) && !limitStrengthOption;
  helperNodes = 0;
  pos.tbHits = 0;
  for (int t = 1; t < threadCount; t++) {
    threadRecords[t].nodes = 0;
    threadRecords[t].tbHits = 0;
  }
  if (helpersTakePart) helpersEnabled = true;

  ttGeneration++;
  lastScore2 = -20000;
  lastScore3 = -20000;
  rootAlpha = -SCORE_INFINITE;
  rootBeta = SCORE_INFINITE;
  helpersSearching = false;
  mainAlone = true;
  currentPvLine = 0;
  if (helpersTakePart) copyPositionData(templateRecord, pos);
  searchRoot(0);

  int h = pos.rootScore;
  if (h != SCORE_INFINITE && h != 2 - MATE_SCORE) {
    resetPollCountdown();
    lineScores[0] = h;
    lastScore = h;
    bestMoveChanges = 0;
    pos.iterationDepth = 2;
    int step = 16;
    const bool singleReply = rootMoveCount <= 1;
    for (;;) {
      if (pos.stopFlag) break;
      const int D = pos.iterationDepth;
      const bool stop = iterationStopTest();
      const int64_t elapsed = elapsedMs(searchStart);
      if (stop && !earnsExtraIteration(pos, elapsed)) break;
      if (elapsed >= 6 && elapsed <= 9999)
        pollNodes = maxOf(int64_t(500), int64_t(pos.nodes * 1000 / uint64_t(elapsed)) / 1000 * pollPeriodMs);
      if (playsEasyMove(pos, elapsed)) break;

      bool leaveDepthLoop = false;
      for (int line = 0; line < pvLineCount && !pos.stopFlag; line++) {
        currentPvLine = line;
        if (D >= 5) {
          step = 16;
          rootAlpha = maxOf(-SCORE_INFINITE, lineScores[line] - 16);
          rootBeta = minOf(SCORE_INFINITE, lineScores[line] + 16);
        }
        for (;;) {
          searchAttempt(pos);
          h = pos.rootScore;
          if (pos.stopFlag || h == SCORE_INFINITE || h == -SCORE_INFINITE) break;
          // Widening stops at the score range, so that no root score or
          // window bound ever lies outside it.
          if (h <= rootAlpha) {
            rootAlpha = maxOf(rootAlpha - step, -MATE_SCORE);
            step += step / 2;
          } else if (h >= rootBeta) {
            rootBeta = minOf(rootBeta + step, MATE_SCORE);
            step += step / 2;
          } else {
            lineScores[line] = h;
            break;
          }
        }
        if (pvLineCount == 1) {
          lastScore3 = int(lastScore2);
          lastScore2 = int(lastScore);
          lastScore = h;
          if (h == 0) clearHistory(pos);
        }
        if (h == SCORE_INFINITE || h == -SCORE_INFINITE) {
          leaveDepthLoop = true;
          break;
        }
        if (singleReply && D == 4) break;
      }
      if (strengthLines && !pos.stopFlag && !leaveDepthLoop) recordStrengthLines(pos.rootBestMoves, lineScores, pvLineCount);
      if (leaveDepthLoop || h == -SCORE_INFINITE || (singleReply && D == 4)) break;
      if (++pos.iterationDepth > 127) break;
    }
  }

  helpersEnabled = false;
  if (helpersTakePart) stopHelpers();
  // Pondering and searches without limit wait for "stop" or "ponderhit".
  // A line already waiting is read at once: a "stop" that arrived during
  // the search is answered without a pause.
  while (!silentSearch && (searchState == SEARCH_PONDERING ||
                           (searchState == SEARCH_THINKING && (limits.limitFlags & LIMIT_NONE)))) {
    if (inputAvailable())
      commandLoop();
    else
      sleepMilliseconds(1);
  }
  if (searchState == SEARCH_THINKING && !silentSearch) printBestMove(pos.rootBestMoves[0], pos.ponderMove);
}
