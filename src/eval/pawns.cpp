// Pawn structure (cached in the pawn table) and the passed and weak pawn
// terms, which depend on the pieces and are computed on every evaluation.
#include "eval.h"

namespace {

constexpr int pushOf(int colour) { return colour == WHITE ? 8 : -8; }

// Connected passers: bonus by the length of the run of adjacent files.
const int32_t runBonus[9] = {0, 0, makeScore(0, 30), makeScore(0, 40), makeScore(0, 50),
                             makeScore(0, 60), makeScore(0, 70), makeScore(0, 10), makeScore(0, 10)};
const int32_t queenOnPath = makeScore(10, 10);
const int32_t supportedPasser = makeScore(0, 14);
const int unsupportedAdvanced[5] = {0, 10, 15, 23, 35};

int32_t halves(int32_t v, int shift) { return makeScore(mgOf(v) >> shift, egOf(v) >> shift); }

template <int us>
int32_t structureOf(const Position& pos, PawnEntry& entry) {
  constexpr int them = us ^ 1;
  const Bitboard own = pos.pieces[pawnOf(us)], enemy = pos.pieces[pawnOf(them)];
  int32_t score = 0;
  for (Bitboard b = own; b;) {
    const Square s = popLowest(b);
    const int file = fileOf(s);
    score += pieceSquare[pawnOf(us)][s];
    if (!(passedMask[us][s] & enemy)) {
      if (forwardFile[us][s] & own) continue;  // the front pawn of the file is the one that counts
      entry.passed |= bit(s);
    } else {
      // Weak: no own pawn beside it or behind it on the adjacent files.
      const Bitboard notAhead = us == WHITE ? ~ranksAbove[rankOf(s)] : ~ranksBelow[rankOf(s)];
      if (!(adjacentFiles[file] & notAhead & own)) {
        entry.weak |= bit(s);
        if (pos.board[s + pushOf(us)] != pawnOf(them)) {
          score -= weakPawnFile[file];
          if (!(fileMask[file] & enemy)) score -= weakPawnOpenFile;
        } else {
          score -= weakStopEnemyPawn;
        }
      }
    }
    if (moreThanOne(fileMask[file] & own) && !(adjacentFiles[file] & own)) score -= doubledIsolated;
  }
  return score;
}

// Folding the ranks onto the first one leaves a bit on every file with a pawn.
uint8_t filesOf(Bitboard pawns) {
  pawns |= pawns >> 32;
  pawns |= pawns >> 16;
  pawns |= pawns >> 8;
  return uint8_t(pawns);
}

}  // namespace

void evaluatePawnStructure(const Position& pos, PawnEntry& entry) {
  entry.passed = entry.weak = 0;
  entry.files[WHITE] = filesOf(pos.pieces[W_PAWN]);
  entry.files[BLACK] = filesOf(pos.pieces[B_PAWN]);
  const Square whiteKing = kingSquare(pos, WHITE), blackKing = kingSquare(pos, BLACK);
  const int allFiles = entry.files[WHITE] | entry.files[BLACK];
  entry.score = structureOf<WHITE>(pos, entry) - structureOf<BLACK>(pos, entry) +
                pieceSquare[W_KING][whiteKing] - pieceSquare[B_KING][blackKing] -
                kingFarFromPawns[fileOf(whiteKing)][allFiles] + kingFarFromPawns[fileOf(blackKing)][allFiles];
}

namespace {

template <int Us>
int32_t evaluatePassedPawnsFor(const Position& pos, EvalContext& ctx) {
  constexpr int us = Us, them = Us ^ 1;
  const PlyState& st = *pos.cur;
  const Bitboard own = pos.pieces[pawnOf(us)];
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  const Bitboard enemyHeavy = pos.pieces[rookOf(them)] | pos.pieces[queenOf(them)];
  const Square ourKing = ctx.kingSquare[us], theirKing = ctx.kingSquare[them];
  int32_t result = 0;

  int run = 0, previousFile = -2;
  for (Bitboard b = ctx.pawns->passed & own; b;) {
    const Square s = popLowest(b);
    if (fileOf(s) != previousFile + 1) run = 0;
    run++;
    previousFile = fileOf(s);

    int32_t v = passedBase[us][s];
    const Bitboard path = forwardFile[us][s];
    const Square stop = s + pushOf(us);
    if ((path & st.attacks[us]) == path)
      v += halves(v, 3);
    else if (st.attacks[us] & bit(stop))
      v += halves(v, 4);

    if (!(path & pos.pieces[them])) {
      // A rook or queen behind the passer holds it back along the file.
      // The lookup is made only when such a piece stands on the file: the
      // rook table is large, and its line is rarely in the cache.
      const Bitboard behind = forwardFile[them][s] & enemyHeavy;
      if (behind && (behind & rookLookup(s, occupied))) v = halves(v, 1);
      if (!(path & st.attacks[them])) v += passerFreePath;
    } else {
      v = halves(v, 1);
      if (path & pos.pieces[kingOf(them)]) v -= passerKingOnPath;
      if (path & pos.pieces[queenOf(them)]) v += queenOnPath;
    }
    v += runBonus[run] - passerEnemyKing[distanceTable[theirKing][s]] + passerOwnKing[distanceTable[ourKing][s]];
    result += makeScore(maxOf(mgOf(v), 0), maxOf(egOf(v), 0));
  }

  // Weak pawns, all at once: their stop squares not held by an enemy pawn.
  const Bitboard weak = ctx.pawns->weak & own;
  if (weak) {
    const Bitboard stops = (us == WHITE ? weak << 8 : weak >> 8) & ~pos.pieces[pawnOf(them)];
    result -= popCount(stops & st.attacks[them]) * weakStopAttacked +
              popCount(stops & pos.pieces[them]) * weakStopOccupied +
              popCount(weak & st.attacks[them]) * weakPawnAttacked;
  }

  // Supported: an own pawn beside it on its rank, or one defending it.
  const Bitboard beside = ((own & ~FILE_A) >> 1) | ((own & ~FILE_H) << 1);
  const Bitboard supportedPawns = own & (beside | st.pawnAttacks[us]);

  const Bitboard enemyHalf = us == WHITE ? ~Bitboard(0xFFFFFFFF) : Bitboard(0xFFFFFFFF);
  result += popCount(own & enemyHalf & supportedPawns & ctx.pawns->passed) * supportedPasser;
  for (Bitboard b = own & enemyHalf & ~supportedPawns; b;) {
    const Square s = popLowest(b);
    int n = popCount((bit(s) | forwardFile[us][s]) & st.attacks[them]);
    if (n > 0 && (fileMask[fileOf(s)] & pos.pieces[pawnOf(them)])) n--;
    result -= unsupportedAdvanced[n];
  }
  return result;
}

}  // namespace

int32_t evaluatePassedPawns(const Position& pos, EvalContext& ctx, int us) {
  return us == WHITE ? evaluatePassedPawnsFor<WHITE>(pos, ctx) : evaluatePassedPawnsFor<BLACK>(pos, ctx);
}
