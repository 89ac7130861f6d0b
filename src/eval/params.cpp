// The tunable parameter table: registration, loading of the embedded text
// and the derivation of the packed weights the evaluation reads.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <initializer_list>

#include "eval.h"
#include "../platform/platform.h"

EvalParams evalParams;
int32_t paramRow[PARAM_ROWS + 1];
int32_t scratchParam;

int32_t tempoBonus, bishopPairBonus, bishopPairManyPawns, bishopPairNoMinors;
int32_t badBishopPawn, blockedCentre, blockedCentreHalf, bishopCountWings;
int32_t weakPawnFile[8], weakPawnOpenFile, weakPawnAttacked;
int32_t weakStopAttacked, weakStopOccupied, weakStopEnemyPawn;
int32_t passerFreePath, passerKingOnPath, passerEnemyKing[8], passerOwnKing[8];
int32_t passedBase[2][64];
int32_t rookBishopCentre[9];
int32_t knightOutpost[8], knightKingDistance[8], knightBeforeRook;
int32_t developmentPenalty[11];
int32_t doubledIsolated, rookOrQueenSeventh, fileWithEnemyPawn, fileWithoutPawn, undefendedMinor;
int32_t pieceSquare[16][64];
int32_t mobilityKnight[9], mobilityBishop[14], mobilityRook[15], mobilityQueen[28];
int32_t threat[16][16];
int32_t pawnFileTable[256];
int32_t kingFarFromPawns[8][256];
int32_t rookTrapped, rookTrappedNoCastling, secondRookOnFile;
int32_t knightPawnDefended, knightBoxedDeep, knightBlocksC, knightPawnBoxed;
int32_t lostCastlingRight, enemyQueenOnRookFile, tradeDownShift, tradeDownCap;
int32_t imbalance[IMBALANCE_TABLES][6];
MaterialConfig materialConfig[1 << 16];

namespace {

constexpr bool isScratchRow(int row) { return row == 17 || (row >= 121 && row <= 168) || row >= 439; }

int32_t both(int value) { return value * 65537; }
int32_t pair(int mgRow, int egRow) { return makeScore(paramRow[mgRow], paramRow[egRow]); }
int32_t endGameOnly(int row) { return makeScore(0, paramRow[row]); }

// Square tables drawn as boards: rank 8 first, files a to h.
constexpr int pawnMg[64] = {
     0,  0,  0,  0,  0,  0,  0,  0,
    -7, -2,  1,  6,  6,  1, -2, -7,
    -7, -2,  3, 14, 14,  3, -2, -7,
    -7, -2,  7, 21, 21,  7, -2, -7,
    -7, -2,  7, 14, 14,  7, -2, -7,
    -7, -2,  3,  4,  4,  3, -2, -7,
    -7, -2,  3,  4,  4,  1, -2, -7,
     0,  0,  0,  0,  0,  0,  0,  0,
};
constexpr int bishopBoth[64] = {
    -16, -16, -12, -10, -10, -12, -16, -16,
     -6,   0,  -1,   0,   0,  -1,   0,  -6,
     -5,  -1,   4,   2,   2,   4,  -1,  -5,
     -2,   0,   3,   8,   8,   3,   0,  -2,
     -2,   0,   3,   8,   8,   3,   0,  -2,
     -5,  -1,   4,   2,   2,   4,  -1,  -5,
     -6,   0,  -1,   0,   0,  -1,   0,  -6,
     -6,  -6,  -4,  -3,  -3,  -4,  -6,  -6,
};
constexpr int rookMg[64] = {
    -4, -1,  0,  2,  2,  0, -1, -4,
    -1,  2,  3,  5,  5,  3,  2, -1,
    -2,  1,  2,  4,  4,  2,  1, -2,
    -5, -2, -1,  1,  1, -1, -2, -5,
    -5, -2, -1,  1,  1, -1, -2, -5,
    -5, -2, -1,  1,  1, -1, -2, -5,
    -5, -2, -1,  1,  1, -1, -2, -5,
    -5, -2, -1,  1,  1, -1, -2, -5,
};
constexpr int queenMg[64] = {
    -10, -5, 0, 0, 0, 0, -5, -10,
     -3,  2, 2, 2, 2, 2,  2,  -3,
      0,  0, 5, 5, 5, 5,  0,   0,
      0,  0, 5, 5, 5, 5,  0,   0,
      0,  0, 5, 5, 5, 5,  0,   0,
      0,  0, 5, 5, 5, 5,  0,   0,
     -5,  0, 0, 0, 0, 0,  0,  -5,
    -10, -5, 0, 0, 0, 0, -5, -10,
};
constexpr int queenEg[64] = {
    -27, -20, -12, -7, -7, -12, -20, -27,
    -16,  -6,  -3,  2,  2,  -3,  -6, -16,
    -12,  -7,  -2,  2,  2,  -2,  -7, -12,
     -7,  -2,   2,  7,  7,   2,  -2,  -7,
     -7,  -2,   2,  7,  7,   2,  -2,  -7,
    -12,  -7,  -2,  2,  2,  -2,  -7, -12,
    -20, -10,  -7, -2, -2,  -7, -10, -20,
    -27, -20, -12, -7, -7, -12, -20, -27,
};
constexpr int kingMg[64] = {
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -30, -30, -40, -40, -30, -30, -30,
    -20, -30, -30, -30, -30, -30, -30, -20,
     10,  10,  -5, -25, -25,  -5,  10,  10,
     20,  30,   5, -15, -15,   5,  30,  20,
};
// End-game king regions; each region takes one parameter row.
constexpr int kingEgRegion[64] = {
    -50, -40, -30, -20, -20, -30, -40, -50,
    -30, -20, -10,   0,   0, -10, -20, -30,
    -30, -10,  20,  30,  30,  20, -10, -30,
    -30, -10,  30,  35,  35,  30, -10, -30,
    -30, -10,  30,  35,  35,  30, -10, -30,
    -30, -10,  20,  30,  30,  20, -10, -30,
    -30, -30,   0,   0,   0,   0, -30, -30,
    -50, -30, -30, -30, -30, -30, -30, -50,
};
constexpr int kingRegions[9] = {-50, -40, -30, -20, -10, 0, 10, 20, 30};

constexpr int knightMobilityMg[9] = {-45, -24, -18, -8, -3, 4, 8, 9, 10};
constexpr int knightMobilityEg[9] = {-40, -20, -15, -8, -3, 3, 6, 7, 7};
constexpr int bishopMobility[14] = {-44, -26, -21, -13, -4, 5, 10, 14, 17, 18, 22, 22, 26, 27};
constexpr int rookMobilityMg[15] = {-31, -16, -15, -10, -9, -5, -2, 3, 6, 11, 15, 17, 18, 18, 19};
constexpr int rookMobilityEg[15] = {-52, -27, -25, -16, -15, -8, -3, 5, 11, 19, 25, 28, 29, 30, 32};
constexpr int queenMobilityMg[14] = {-40, -39, -32, -31, -20, -16, -10, -5, -1, 4, 6, 8, 9, 10};
constexpr int queenMobilityEg[14] = {-45, -44, -36, -35, -23, -18, -12, -6, -2, 4, 6, 9, 10, 11};

// Squares of a picture drawn rank 8 first map to board squares by i ^ 56.
constexpr Square pictureSquare(int i) { return i ^ 56; }

void setSquareTable(int type, int s, int32_t value) {
  pieceSquare[type * 2 + WHITE][s] = value;
  pieceSquare[type * 2 + BLACK][63 - s] = value;
}

void deriveSquareTables() {
  for (int i = 0; i < 64; i++) {
    const Square s = pictureSquare(i);
    // Knight rows hold files a-d of each rank; files e-h mirror them.
    int file = fileOf(s) < 4 ? fileOf(s) : 7 - fileOf(s);
    int knight = paramRow[182 + (7 - rankOf(s)) * 4 + file];
    int region = 35;
    for (int r = 0; r < 9; r++)
      if (kingEgRegion[i] == kingRegions[r]) region = paramRow[214 + r];
    // Rook end game: a base plus the bonus of the 6th, 7th and 8th ranks.
    int rookEg = paramRow[181] + (rankOf(s) == 5 ? 6 : rankOf(s) == 6 ? 8 : rankOf(s) == 7 ? 2 : 0);
    setSquareTable(PAWN, s, makeScore(pawnMg[i], -3));
    setSquareTable(KNIGHT, s, both(knight));
    setSquareTable(BISHOP, s, both(bishopBoth[i]));
    setSquareTable(ROOK, s, makeScore(rookMg[i], rookEg));
    setSquareTable(QUEEN, s, makeScore(queenMg[i], queenEg[i]));
    setSquareTable(KING, s, makeScore(kingMg[i], region));
  }
}

void deriveMobility() {
  for (int n = 0; n < 9; n++) mobilityKnight[n] = makeScore(knightMobilityMg[n], knightMobilityEg[n]);
  for (int n = 0; n < 14; n++) mobilityBishop[n] = both(bishopMobility[n]);
  for (int n = 0; n < 15; n++) mobilityRook[n] = makeScore(rookMobilityMg[n], rookMobilityEg[n]);
  for (int n = 0; n < 28; n++)
    mobilityQueen[n] = n < 14 ? makeScore(queenMobilityMg[n], queenMobilityEg[n]) : makeScore(11, 12);
}

void deriveImbalance() {
  const int firstRows[8] = {238, 250, 262, 274, 286, 298, 310, 322};
  const ImbalanceTable tables[8] = {KNIGHT_FOR_PAWNS,    BISHOP_FOR_PAWNS,      ROOK_FOR_KNIGHT,
                                    ROOK_FOR_BISHOP,     ROOK_FOR_TWO_MINORS,   ROOK_KNIGHT_FOR_QUEEN,
                                    ROOK_BISHOP_FOR_QUEEN, ROOK_BISHOPS_FOR_QUEEN};
  for (int t = 0; t < 8; t++)
    for (int i = 0; i < 6; i++) imbalance[tables[t]][i] = pair(firstRows[t] + i, firstRows[t] + 6 + i);
  // The middle-game group of rook against two minors is not used.
  for (int i = 0; i < 6; i++) imbalance[ROOK_FOR_TWO_MINORS][i] = makeScore(0, paramRow[292 + i] - 30);
  // Two rooks against a queen: a plain number by the minor pieces left.
  for (int i = 0; i < 5; i++) imbalance[ROOKS_FOR_QUEEN][i] = -paramRow[334 + i];
  imbalance[ROOKS_FOR_QUEEN][5] = 0;
}

// Material configuration of one index: counts of queens, rooks, bishops and
// knights of white, then black, two bits each.
MaterialConfig makeConfig(int index) {
  int count[2][4];  // [colour][queens, rooks, bishops, knights]
  for (int c = 0; c < 2; c++)
    for (int k = 0; k < 4; k++) count[c][k] = (index >> (14 - 8 * c - 2 * k)) & 3;
  int w = 0;
  for (int c = 0; c < 2; c++) w += 4 * count[c][0] + 2 * count[c][1] + count[c][2] + count[c][3];
  MaterialConfig config{IMBALANCE_NONE, 0, (minOf(24 - w, 20) * 256 + 10) / 20};

  int d[4];
  for (int k = 0; k < 4; k++) d[k] = count[WHITE][k] - count[BLACK][k];
  for (int sign = 1; sign >= -1; sign -= 2) {
    // The differences as seen by the side the table describes.
    int q = d[0] * sign, r = d[1] * sign, b = d[2] * sign, n = d[3] * sign;
    int side = sign == 1 ? WHITE : BLACK;
    int table = IMBALANCE_NONE;
    if (q == 0 && r == 0 && b == 0 && n == -1) table = KNIGHT_FOR_PAWNS;
    else if (q == 0 && r == 0 && b == -1 && n == 0) table = BISHOP_FOR_PAWNS;
    else if (q == 0 && r == 1 && b == 0 && n == -1) table = ROOK_FOR_KNIGHT;
    else if (q == 0 && r == 1 && b == -1 && n == 0) table = ROOK_FOR_BISHOP;
    else if (q == 0 && r == 1 && b == -1 && n == -1) table = ROOK_FOR_TWO_MINORS;
    else if (q == -1 && r == 1 && b == 0 && n == 1) table = ROOK_KNIGHT_FOR_QUEEN;
    else if (q == -1 && r == 1 && b == 1 && n == 0)
      table = count[side][2] == 2 ? ROOK_BISHOPS_FOR_QUEEN : ROOK_BISHOP_FOR_QUEEN;
    else if (q == -1 && r == 2 && b + n == 0) table = ROOKS_FOR_QUEEN;
    if (table != IMBALANCE_NONE) {
      config.table = int8_t(table);
      config.sign = int8_t(sign);
      break;
    }
  }
  return config;
}

// Accepts an optional sign and at least one digit filling the whole field.
bool parseWholeInteger(const char* field, int32_t* value) {
  char* end;
  if (!*field) return false;
  long v = strtol(field, &end, 10);
  if (*end || end == field || v < INT32_MIN || v > INT32_MAX) return false;
  *value = int32_t(v);
  return true;
}

// One parameter line "value;active;min;max" into the next registry entry.
bool loadLine(char* line, ParamEntry& entry) {
  char* fields[4];
  int n = 0;
  for (char* p = line; n < 4; n++) {
    fields[n] = p;
    char* semicolon = strchr(p, ';');
    if (!semicolon) {
      n++;
      break;
    }
    *semicolon = 0;
    p = semicolon + 1;
  }
  int32_t value, active, min, max;
  if (n < 4 || !parseWholeInteger(fields[0], &value) || !parseWholeInteger(fields[1], &active) ||
      !parseWholeInteger(fields[2], &min) || !parseWholeInteger(fields[3], &max))
    return false;
  *entry.value = value;
  entry.active = active;
  entry.min = min;
  entry.max = max;
  return true;
}

void registerTableRows() {
  evalParams.count = 0;
  for (int row = 1; row <= PARAM_ROWS; row++) registerParam(isScratchRow(row) ? &scratchParam : &paramRow[row], 0, 0);
}

}  // namespace

void registerParam(int32_t* value, int min, int max) {
  if (evalParams.count >= PARAM_CAPACITY) return;
  if (min == 0 && max == 0) {
    min = -9999;
    max = 9999;
  }
  evalParams.entries[evalParams.count++] = ParamEntry{value, 1, min, max, 1};
}

int loadParamText(const char* text) {
  char line[128];
  int length = 0, loaded = 0;
  for (const char* p = text; *p && loaded < evalParams.count; p++) {
    if (*p != '\r' && *p != '\n') {
      if (length == int(sizeof line) - 1) break;  // no parameter line is this long
      line[length++] = *p;
      continue;
    }
    if (length == 0) continue;
    line[length] = 0;
    length = 0;
    if (!loadLine(line, evalParams.entries[loaded])) break;
    loaded++;
  }
  return loaded;
}

void initEvalDefaults() {
  // The embedded text supplies every row; the defaults only matter if it
  // did not. Material keeps its shipped values so the engine stays sane.
  const int material[10] = {90, 330, 335, 477, 975, 100, 325, 340, 527, 990};
  for (int row = 1; row <= PARAM_ROWS; row++) paramRow[row] = row <= 10 ? material[row - 1] : 0;
  for (int index = 0; index < (1 << 16); index++) materialConfig[index] = makeConfig(index);
}

void loadEvalParams() {
  registerTableRows();
  loadParamText(embeddedParameterText());
  deriveEvalTables();
}

void deriveEvalTables() {
  const int* row = paramRow;
  for (int type = 0; type < 5; type++) {
    const int codes[5] = {W_PAWN, W_KNIGHT, W_BISHOP, W_ROOK, W_QUEEN};
    int32_t packed = makeScore(row[1 + type], row[6 + type]);
    materialValue[codes[type]] = materialValue[codes[type] + 1] = packed;
    // Exchanges count a knight as a bishop.
    int plain = codes[type] == W_KNIGHT ? row[3] : row[1 + type];
    pieceValue[codes[type]] = pieceValue[codes[type] + 1] = plain;
    pieceValue[16 + codes[type]] = pieceValue[16 + codes[type] + 1] = plain;
  }
  pieceValue[30] = pieceValue[31] = 10000;

  tempoBonus = pair(11, 12);
  bishopPairBonus = pair(23, 24);
  badBishopPawn = pair(29, 30);
  blockedCentre = pair(32, 33);
  blockedCentreHalf = makeScore(row[32] >> 1, row[33] >> 1);
  bishopCountWings = pair(34, 35);
  weakPawnAttacked = pair(46, 47);
  doubledIsolated = pair(101, 102);
  undefendedMinor = pair(416, 417);

  passerFreePath = endGameOnly(51);
  passerKingOnPath = endGameOnly(237);
  passerEnemyKing[0] = passerOwnKing[0] = 0;
  for (int d = 1; d < 8; d++) {
    passerEnemyKing[d] = endGameOnly(222 + d);
    passerOwnKing[d] = endGameOnly(229 + d);
  }

  rookTrapped = row[13];
  rookTrappedNoCastling = row[14];
  secondRookOnFile = row[18];
  knightPawnDefended = row[61];
  knightBoxedDeep = row[85];
  knightBlocksC = row[86];
  knightPawnBoxed = 2;  // fixed value; the row is not used
  lostCastlingRight = row[88];
  // A loaded table may hold any number here; a shift must stay inside the word.
  tradeDownShift = maxOf(0, minOf(row[414], 31));
  tradeDownCap = row[415];
  enemyQueenOnRookFile = row[438];

  bishopPairManyPawns = both(row[25]);
  bishopPairNoMinors = both(row[26]);
  weakPawnOpenFile = both(row[45]);
  weakStopAttacked = both(row[48]);
  weakStopOccupied = both(row[49]);
  weakStopEnemyPawn = both(row[50]);
  for (int i = 0; i < 9; i++) rookBishopCentre[i] = both(i == 6 ? 0 : row[52 + i]);
  knightBeforeRook = both(row[89]);
  for (int i = 0; i < 11; i++) developmentPenalty[i] = both(row[90 + i]);
  // Fixed weak-pawn values by file, and fixed rook and queen file values.
  const int weakByFile[8] = {1, 4, 5, 3, 7, 3, 6, 6};
  for (int f = 0; f < 8; f++) weakPawnFile[f] = both(weakByFile[f]);
  fileWithEnemyPawn = makeScore(5, 2);
  fileWithoutPawn = makeScore(10, 5);
  rookOrQueenSeventh = makeScore(4, 8);

  for (int f = 0; f < 8; f++) knightOutpost[f] = pair(62 + f, 70 + f);
  for (int d = 0; d < 8; d++) knightKingDistance[d] = d < 7 ? row[78 + d] : 0;

  for (int c = WHITE; c <= BLACK; c++)
    for (Square s = 0; s < 64; s++) {
      int r = relativeRank(c, s) + 1;
      passedBase[c][s] = r >= 2 && r <= 7 ? makeScore(row[169 + r - 2], row[175 + r - 2]) : 0;
    }

  deriveSquareTables();
  deriveMobility();
  deriveImbalance();
}

void initEvalTables() {
  const int* row = paramRow;
  // Pawn files: each file without a pawn scores the run of pawn files just
  // before it, and the last run scores too.
  for (int files = 0; files < 256; files++) {
    int32_t score = 0;
    int run = 0;
    for (int f = 0; f < 8; f++) {
      if (files & (1 << f)) {
        run++;
      } else {
        score += makeScore(row[103 + run], row[112 + run]);
        run = 0;
      }
    }
    pawnFileTable[files] = score + makeScore(row[103 + run], row[112 + run]);
  }

  // Threats by attacker and victim type; black attackers score negatively.
  // Pawn-attack values and the minor-attacks-pawn value are fixed.
  int32_t byType[8][8] = {};
  const int32_t pawnOnMinor = makeScore(35, 40), pawnOnRook = makeScore(58, 62), pawnOnQueen = makeScore(46, 60);
  byType[PAWN][KNIGHT] = byType[PAWN][BISHOP] = pawnOnMinor;
  byType[PAWN][ROOK] = pawnOnRook;
  byType[PAWN][QUEEN] = pawnOnQueen;
  for (int minor : {KNIGHT, BISHOP}) {
    byType[minor][PAWN] = makeScore(5, row[429]);
    byType[minor][ROOK] = byType[minor][QUEEN] = pair(424, 425);
  }
  byType[KNIGHT][BISHOP] = byType[BISHOP][KNIGHT] = pair(426, 427);
  byType[ROOK][PAWN] = pair(434, 435);
  byType[ROOK][KNIGHT] = byType[ROOK][BISHOP] = pair(432, 433);
  byType[ROOK][QUEEN] = pair(430, 431);
  for (int victim : {PAWN, KNIGHT, BISHOP, ROOK}) byType[QUEEN][victim] = pair(436, 437);
  for (int attacker = 0; attacker < 16; attacker++)
    for (int victim = 0; victim < 16; victim++) {
      int32_t value = byType[typeOf(attacker)][typeOf(victim)];
      threat[attacker][victim] = attacker < 2 || victim < 2 ? 0 : colourOf(attacker) == WHITE ? value : -value;
    }

  // A king on a file with all pawns off to one side of it, distance in files.
  const int farPenalty[8] = {0, 0, 20, 50, 60, 70, 80, 90};
  for (int file = 0; file < 8; file++)
    for (int files = 0; files < 256; files++) {
      int below = files & ((1 << file) - 1), above = files >> (file + 1);
      int distance = 0;
      if (files && !(files & (1 << file)) && !(below && above))
        distance = below ? file - highestSquare(Bitboard(below)) : lowestSquare(Bitboard(above)) + 1;
      kingFarFromPawns[file][files] = makeScore(0, farPenalty[distance]);
    }
}

int materialConfigIndex(const int32_t materialSig[2]) {
  int index = 0;
  for (int c = WHITE; c <= BLACK; c++) {
    int sig = materialSig[c];
    int counts = ((sig >> 4) & 3) << 6 | ((sig >> 6) & 3) << 4 | ((sig >> 8) & 3) << 2 | ((sig >> 10) & 3);
    index = index << 8 | counts;
  }
  return index;
}

// ---- Parameter files ----

namespace {

constexpr int PARAM_FILE_MAX = 1 << 16;  // the shipped table takes under 10 KB
constexpr int PARAM_VALUE_LIMIT = 9999;  // the widest range any row is registered with
char fileText[PARAM_FILE_MAX + 1];

// The n-th non-empty line of a parameter text (1-based), as the loader
// counts rows; null when the text has fewer. *ended tells whether a line end
// follows it, without which the loader does not take the row.
const char* nthRow(const char* text, int n, int* length, bool* ended) {
  for (const char* p = text; *p;) {
    while (*p == '\r' || *p == '\n') p++;
    if (!*p) break;
    const char* start = p;
    while (*p && *p != '\r' && *p != '\n') p++;
    if (--n == 0) {
      *length = int(p - start);
      *ended = *p != 0;
      return start;
    }
  }
  return nullptr;
}

// Why a text read from a file is not a whole parameter table, or an empty
// message when it is. The rows are already loaded when this runs.
void checkLoadedTable(const char* text, int loaded, char* why, int whySize) {
  int length;
  bool ended;
  why[0] = 0;
  if (loaded < PARAM_ROWS) {
    const char* row = nthRow(text, loaded + 1, &length, &ended);
    if (!row)
      snprintf(why, size_t(whySize), "it ends after row %d of %d", loaded, PARAM_ROWS);
    else if (!ended)
      snprintf(why, size_t(whySize), "row %d \"%.40s\" has no line end", loaded + 1, row);
    else
      snprintf(why, size_t(whySize), "row %d \"%.*s\" is malformed", loaded + 1, minOf(length, 40), row);
    return;
  }
  if (nthRow(text, PARAM_ROWS + 1, &length, &ended)) {
    snprintf(why, size_t(whySize), "it has more than %d rows", PARAM_ROWS);
    return;
  }
  // Values far beyond any row's range would overflow the packed sums.
  for (int row = 1; row <= PARAM_ROWS; row++)
    if (!isScratchRow(row) && (paramRow[row] < -PARAM_VALUE_LIMIT || paramRow[row] > PARAM_VALUE_LIMIT)) {
      snprintf(why, size_t(whySize), "row %d value %d is outside -%d..%d", row, paramRow[row], PARAM_VALUE_LIMIT,
               PARAM_VALUE_LIMIT);
      return;
    }
}

}  // namespace

void rebuildEvalTables() {
  deriveEvalTables();
  initEvalTables();
  memset(pawnTable, 0, sizeof pawnTable);
}

bool loadParamFile(const char* path, char* why, int whySize) {
  if (!*path) {
    loadEvalParams();
    rebuildEvalTables();
    return true;
  }
  FILE* f = fopen(path, "rb");
  if (!f) {
    snprintf(why, size_t(whySize), "it cannot be opened");
    return false;
  }
  const size_t size = fread(fileText, 1, sizeof fileText, f);
  const bool failed = ferror(f) != 0;
  fclose(f);
  if (failed || size > size_t(PARAM_FILE_MAX)) {
    snprintf(why, size_t(whySize), failed ? "it cannot be read" : "it is larger than a parameter table");
    return false;
  }
  fileText[size] = 0;

  // Load into the live rows, and put everything back if the file is not a
  // whole, sane table: the table in force stays exactly as it was.
  static int32_t savedRows[PARAM_ROWS + 1];
  static EvalParams savedRegistry;
  memcpy(savedRows, paramRow, sizeof paramRow);
  const int32_t savedScratch = scratchParam;
  savedRegistry = evalParams;
  registerTableRows();
  checkLoadedTable(fileText, loadParamText(fileText), why, whySize);
  if (why[0]) {
    memcpy(paramRow, savedRows, sizeof paramRow);
    scratchParam = savedScratch;
    evalParams = savedRegistry;
    return false;
  }
  rebuildEvalTables();
  return true;
}

bool saveParamTable(const EvalParams& table, const char* path) {
  char temporary[4096];
  if (snprintf(temporary, sizeof temporary, "%s.tmp", path) >= int(sizeof temporary)) return false;
  FILE* f = fopen(temporary, "wb");
  if (!f) return false;
  for (int i = 0; i < table.count; i++) {
    const ParamEntry& e = table.entries[i];
    fprintf(f, "%d;%d;%d;%d\r\n", *e.value, e.active, e.min, e.max);
  }
  const bool written = !ferror(f);
  if (fclose(f) != 0 || !written || !replaceFile(temporary, path)) {
    remove(temporary);
    return false;
  }
  return true;
}
