// Board geometry built once at start-up: leaper sets, magic slider tables,
// between and line sets, and the pawn-structure masks.
#include "board.h"

Bitboard kingTable[64];
Bitboard knightTable[64];
Bitboard bishopEmpty[64];
Bitboard rookEmpty[64];
Bitboard betweenTable[64][64];
uint8_t distanceTable[64][64];
Bitboard lineTable[64][64];
Bitboard ranksAbove[8];
Bitboard ranksBelow[8];
Bitboard adjacentFiles[8];
Bitboard forwardFile[2][64];
Bitboard attackSpan[2][64];
Bitboard passedMask[2][64];
Bitboard pawnAttackTable[2][64];

Bitboard bishopMask[64];
Bitboard rookMask[64];
int32_t bishopShift[64];
int32_t rookShift[64];
Bitboard* bishopTableStart[64];
Bitboard* rookTableStart[64];
Bitboard bishopAttackTable[5248];
Bitboard rookAttackTable[102400];
SliderLookup bishopLookups[64];
SliderLookup rookLookups[64];

int32_t sigWeight[16];
int32_t nextAttackerType[16];
char pieceLetter[16];

int32_t materialValue[16] = {
    0, 0,
    makeScore(90, 100), makeScore(90, 100),
    makeScore(330, 325), makeScore(330, 325),
    makeScore(335, 340), makeScore(335, 340),
    0, 0,
    makeScore(477, 527), makeScore(477, 527),
    makeScore(975, 990), makeScore(975, 990),
    0, 0,
};
int32_t pieceValue[32] = {
    0, 0, 90, 90, 335, 335, 335, 335, 0, 0, 477, 477, 975, 975, 0, 0,
    0, 0, 90, 90, 335, 335, 335, 335, 0, 0, 477, 477, 975, 975, 10000, 10000,
};

// Multipliers found by a seeded random search; each maps every relevant
// occupancy of its square into a block of 2^bits entries without a harmful
// collision.
const uint64_t bishopMagic[64] = {
    0x4040100100408086, 0x2220121A10410000, 0xA04812202000098, 0x904410220001281,
    0x4004042001000A61, 0x881921040200406, 0x80920802400204, 0x8000210850042048,
    0x310008E011022608, 0x980A84040220, 0x100041904210000, 0x200090411000000,
    0x4000620210008048, 0x8601C300808280A, 0x8084104008, 0x88010AA201042180,
    0x3088401031110802, 0x3002016002024200, 0x8401221001022300, 0x201000824010240,
    0x4103009820084100, 0x80202004100A000, 0x1082004A101080, 0x2A02002F008221A0,
    0x90400004088240, 0x1600010140108, 0x500008088410, 0xA00802088020020,
    0x1001001004000, 0x20A0410002010100, 0x120080A0040C0400, 0x8002020010510E84,
    0x8041000052040, 0x4002109080140502, 0x111080210810400, 0x2900200502080090,
    0x10802000C2200, 0x90C1104600210100, 0xC0C80A0040028860, 0x200840080004204,
    0x88080800C290, 0x4016440220800888, 0xC06140028000400, 0x1000D04200820800,
    0x200E0C000280, 0x30200081000224, 0x2D8810D082030080, 0x2010008208406088,
    0x4411010508008, 0x20411808030442, 0x100004044100045, 0x11340104980000,
    0xC00021042088010, 0xC6002B2020020, 0x4008026408020018, 0x80540C488C010084,
    0x420444804100201, 0x100410405110820, 0x8200222022011029, 0x20218000420200,
    0x1440220012020204, 0x4000044851011200, 0x102001C10A02, 0x8002100A12040120,
};

const uint64_t rookMagic[64] = {
    0x3080013240002A80, 0x3400020025001C0, 0x100200008104102, 0x80080080100004,
    0x600100200042008, 0x500020801000400, 0x2080420000803100, 0x200010400208042,
    0x20800080400020, 0x181004000208100, 0x810802000801000, 0x8441001001000820,
    0x800400080080, 0x141000401000208, 0x4004000104081002, 0x4085000496104900,
    0x40800840012002C0, 0xC00808020004000, 0x3880430020010310, 0x11050021081000,
    0x32020020880490, 0x410C008080020004, 0x2100040008010290, 0x4070020010841041,
    0x400580008122, 0x8042200A40005000, 0x8817600204200, 0xC10210100081001,
    0x4050040080800800, 0x804000202000810, 0x60904400180231, 0x4004E00208401,
    0x80C0008424800040, 0x1000400492802000, 0x6090100080802000, 0x220900600B001000,
    0x2408050011000800, 0x2840020080800400, 0x102000442000108, 0x2001308402000051,
    0x1110882040048000, 0x2860002050004001, 0x100020008080, 0x2050002800828031,
    0x4544040008008080, 0x8102002410060008, 0x20300168440002, 0x1801900408A0004,
    0x880022044810500, 0x400020008080, 0x802000100080, 0x1110080010048080,
    0x8008000C01088180, 0x492400D6008080, 0x8080822110280400, 0x4004040080410200,
    0x402010810402082, 0x8003044020801202, 0x21022006880C2, 0x8300210004100009,
    0x21001008000205, 0x103000804000201, 0x60100B0081C, 0x228024210144038A,
};

namespace {

constexpr int bishopDirections[4] = {9, -7, -9, 7};
constexpr int rookDirections[4] = {8, 1, -8, -1};

// Reference slider attacks by stepping; a step that changes the king
// distance by more than one has wrapped around the board edge.
Bitboard slideAttacks(Square s, Bitboard occupied, const int (&directions)[4]) {
  Bitboard result = 0;
  for (int d : directions) {
    for (Square from = s, to = s + d; to >= 0 && to < 64 && distance(from, to) == 1; from = to, to += d) {
      result |= bit(to);
      if (occupied & bit(to)) break;
    }
  }
  return result;
}

// Relevant occupancy: the empty-board rays without the board edges, unless
// the square itself stands on that edge (its own rank or file then counts).
Bitboard relevantMask(Square s, const int (&directions)[4]) {
  const Bitboard edges = ((RANK_1 | RANK_8) & ~(RANK_1 << (8 * rankOf(s)))) | ((FILE_A | FILE_H) & ~(FILE_A << fileOf(s)));
  return slideAttacks(s, 0, directions) & ~edges;
}

void initSliders(Bitboard* table, Bitboard* mask, const uint64_t* magic, int32_t* shift, Bitboard** start,
                 SliderLookup* lookups, const int (&directions)[4]) {
  Bitboard* block = table;
  for (Square s = 0; s < 64; s++) {
    mask[s] = relevantMask(s, directions);
    shift[s] = 64 - popCount(mask[s]);
    start[s] = block;
    Bitboard sub = 0;
    do {
      block[(sub * magic[s]) >> shift[s]] = slideAttacks(s, sub, directions);
      sub = (sub - mask[s]) & mask[s];
    } while (sub);
    block += Bitboard(1) << popCount(mask[s]);
    lookups[s] = SliderLookup{start[s], mask[s], magic[s], shift[s]};
  }
}

}  // namespace

void initPieceCodeTables() {
  for (int code = 0; code < 16; code++) {
    sigWeight[code] = 0;
    nextAttackerType[code] = 0;
  }
  for (int c = WHITE; c <= BLACK; c++) {
    sigWeight[pawnOf(c)] = 1;
    sigWeight[knightOf(c)] = 1024;
    sigWeight[bishopOf(c)] = 256;
    sigWeight[rookOf(c)] = 64;
    sigWeight[queenOf(c)] = 16;
    sigWeight[kingOf(c)] = 4096;
    // Least valuable attacker order: pawn, knight, bishop, rook, queen, king.
    nextAttackerType[pawnOf(c)] = 4;
    nextAttackerType[knightOf(c)] = 6;
    nextAttackerType[bishopOf(c)] = 10;
    nextAttackerType[rookOf(c)] = 12;
    nextAttackerType[queenOf(c)] = 14;
  }
}

void initBoardTables() {
  const char* letters = "_\0PpCcAa\0\0TtDdRr";
  for (int code = 0; code < 16; code++) pieceLetter[code] = letters[code];

  for (Square s = 0; s < 64; s++) {
    kingTable[s] = knightTable[s] = 0;
    for (Square t = 0; t < 64; t++) {
      int df = absDiff(fileOf(s), fileOf(t)), dr = absDiff(rankOf(s), rankOf(t));
      if (maxOf(df, dr) == 1) kingTable[s] |= bit(t);
      if (t != s && maxOf(df, dr) < 3 && df + dr == 3) knightTable[s] |= bit(t);
    }
    rookEmpty[s] = (fileMask[fileOf(s)] | rankMask[rankOf(s)]) & ~bit(s);
  }

  initSliders(bishopAttackTable, bishopMask, bishopMagic, bishopShift, bishopTableStart, bishopLookups, bishopDirections);
  initSliders(rookAttackTable, rookMask, rookMagic, rookShift, rookTableStart, rookLookups, rookDirections);
  assert(bishopTableStart[63] + (Bitboard(1) << (64 - bishopShift[63])) == bishopAttackTable + 5248);
  assert(rookTableStart[63] + (Bitboard(1) << (64 - rookShift[63])) == rookAttackTable + 102400);

  for (Square s = 0; s < 64; s++) bishopEmpty[s] = bishopTableStart[s][0];

  for (Square a = 0; a < 64; a++)
    for (Square b = 0; b < 64; b++) distanceTable[a][b] = uint8_t(distance(a, b));

  for (Square a = 0; a < 64; a++) {
    for (Square b = 0; b < 64; b++) {
      lineTable[a][b] = betweenTable[a][b] = 0;
      if (bishopEmpty[a] & bit(b)) lineTable[a][b] = bishopEmpty[a] & bishopEmpty[b];
      if (rookEmpty[a] & bit(b)) lineTable[a][b] = rookEmpty[a] & rookEmpty[b];
      if ((bishopEmpty[a] | rookEmpty[a]) & bit(b)) {
        int step = (b - a) / distance(a, b);
        for (Square t = a + step; t != b; t += step) betweenTable[a][b] |= bit(t);
      }
    }
  }

  ranksBelow[0] = ranksAbove[7] = 0;
  Bitboard below = 0;
  for (int r = 0; r < 7; r++) {
    below |= rankMask[r];
    ranksBelow[r + 1] = below;
    ranksAbove[r] = ~below;
  }
  for (int f = 0; f < 8; f++)
    adjacentFiles[f] = (f > 0 ? fileMask[f - 1] : 0) | (f < 7 ? fileMask[f + 1] : 0);

  for (int c = WHITE; c <= BLACK; c++) {
    for (Square s = 0; s < 64; s++) {
      int file = fileOf(s), rank = rankOf(s);
      Bitboard front = c == WHITE ? ranksAbove[rank] : ranksBelow[rank];
      forwardFile[c][s] = front & fileMask[file];
      attackSpan[c][s] = front & adjacentFiles[file];
      passedMask[c][s] = front & (adjacentFiles[file] | fileMask[file]);
      Bitboard nextRanks = (rank < 7 ? rankMask[rank + 1] : 0) | (rank > 0 ? rankMask[rank - 1] : 0);
      pawnAttackTable[c][s] = attackSpan[c][s] & nextRanks;
    }
  }
}
