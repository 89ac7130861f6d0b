// The evaluation driver: caches, material, the terms summed as packed
// middle-game/end-game scores, phase interpolation and the drawish and
// fifty-move scalings.
#include <utility>

#include <initializer_list>

#include "eval.h"

PawnEntry pawnTable[PAWN_TABLE_ENTRIES];

namespace {

constexpr int K = 4096, KB = K + 256, KN = K + 1024, KR = K + 64, KQ = K + 16;
// Evaluations stay clear of the mate scores and of the 16-bit cache.
constexpr int EVAL_LIMIT = 9600;

Bitboard kingHalfZone(Square king, int c) {
  const Bitboard half = c == WHITE ? 0xFFFFFFFFULL : ~0xFFFFFFFFULL;
  const int f = fileOf(king);
  const Bitboard files = FILE_A * (f <= 2 ? 0x0F : f <= 4 ? 0x3C : 0xF0);
  return half & files;
}

}  // namespace

void initEvalContext(const Position& pos, EvalContext& ctx) {
  // Every field is set here rather than by clearing the whole record: the
  // clear cost more than the fields it spared.
  const PlyState& st = *pos.cur;
  ctx.development = 0;
  ctx.scaleShift = 0;
  ctx.xraysAdded = false;
  ctx.pawns = nullptr;
  const Bitboard occupied = pos.pieces[WHITE] | pos.pieces[BLACK];
  ctx.pinned[st.side] = st.pinned;
  ctx.pinned[st.side ^ 1] = st.pinnedEnemy;
  for (int c = WHITE; c <= BLACK; c++) {
    const int them = c ^ 1;
    ctx.kingHalf[c] = 0;
    ctx.attackWeight[c] = ctx.ringHitsUndefended[c] = ctx.adjacentHits[c] = ctx.attackerCount[c] = 0;
    ctx.fileNearKing[c] = ctx.rankNearKing[c] = 0;
    ctx.kingSquare[c] = kingSquare(pos, c);
    ctx.kingRing[c] = kingTable[ctx.kingSquare[c]];
    ctx.kingRingExcluded[c] = st.pawnAttacks[c] | pos.pieces[pawnOf(them)];
    ctx.kingRingSafe[c] = ctx.kingRing[c] & ~ctx.kingRingExcluded[c];
    ctx.pieceDefence[c] = st.knightAttacksAll[c] | st.bishopAttacksAll[c] | st.rookAttacksAll[c];
    ctx.allAttacks[c] = st.pawnAttacks[c] | ctx.pieceDefence[c] | st.queenAttacksAll[c];
    ctx.kingRingUndefended[c] = ctx.kingRing[c] & ~ctx.allAttacks[c] & ~pos.pieces[them];
    ctx.mobilityExcluded[c] = pos.pieces[pawnOf(c)] | pos.pieces[kingOf(c)] |
                              (st.pawnAttacks[them] & (~occupied | pos.pieces[pawnOf(them)]));
  }
}

namespace {

// Drawish material: the interpolated score v shrinks towards zero.
int scaleDrawish(const Position& pos, const EvalContext& ctx, const int sig[2], int v) {
  const int pieces[2] = {sig[WHITE] & ~15, sig[BLACK] & ~15};
  const bool whiteRookMinor = sig[WHITE] == KR + 256 || sig[WHITE] == KR + 1024;
  const bool blackRookMinor = sig[BLACK] == KR + 256 || sig[BLACK] == KR + 1024;
  const bool whiteQueenMinor = sig[WHITE] == KQ + 256 || sig[WHITE] == KQ + 1024;
  const bool blackQueenMinor = sig[BLACK] == KQ + 256 || sig[BLACK] == KQ + 1024;
  if ((v > 100 && ((whiteRookMinor && pieces[BLACK] == KR) || (whiteQueenMinor && sig[BLACK] == KQ))) ||
      (v < -100 && ((blackRookMinor && pieces[WHITE] == KR) || (blackQueenMinor && sig[WHITE] == KQ))))
    v >>= 3;

  auto twoMinors = [](int s) { return s == KB + 256 || s == KB + 1024 || s == KN + 1024; };
  if (((sig[BLACK] == KR && v > 100) || (sig[WHITE] == KR && v < -100)) && (twoMinors(sig[WHITE]) || twoMinors(sig[BLACK])))
    v >>= 2;

  // Four rooks also read as a bishop.
  if (pieces[WHITE] == KB && pieces[BLACK] == KB && pos.pieces[W_BISHOP] && pos.pieces[B_BISHOP]) {
    const Square whiteBishop = lowestSquare(pos.pieces[W_BISHOP]), blackBishop = lowestSquare(pos.pieces[B_BISHOP]);
    const bool sameColour = ((DARK_SQUARES & bit(whiteBishop)) != 0) == ((DARK_SQUARES & bit(blackBishop)) != 0);
    if (!sameColour) v = (v >> 1) + (v >> 2);
    const Bitboard allPawns = pos.pieces[W_PAWN] | pos.pieces[B_PAWN];
    const int pawnCount = popCount(allPawns);
    if (pawnCount == 1) {
      const int owner = pos.pieces[W_PAWN] ? WHITE : BLACK, defender = owner ^ 1;
      const Square pawn = lowestSquare(allPawns);
      const Bitboard ahead = forwardFile[owner][pawn];
      const bool advanced = relativeRank(owner, pawn) >= 5 || sameColour;
      const bool kingNotAhead = !(ahead & bit(ctx.kingSquare[defender]));
      const bool bishopOffPath = sameColour || !(pos.cur->bishopAttacks[defender][0] & ahead);
      if (!(advanced && kingNotAhead && bishopOffPath)) v >>= 3;
    } else if (pawnCount == 2) {
      const int owner = pos.pieces[W_PAWN] ? WHITE : BLACK, defender = owner ^ 1;
      const Bitboard pawns = pos.pieces[pawnOf(owner)];
      if ((pawns & fileMask[fileOf(lowestSquare(pawns))]) == pawns) {
        const Square front = owner == WHITE ? highestSquare(pawns) : lowestSquare(pawns);
        const Bitboard ahead = forwardFile[owner][front];
        const Square defendingKing = ctx.kingSquare[defender];
        if ((ahead & bit(defendingKing)) || (ahead & pos.cur->bishopAttacks[defender][0] & kingTable[defendingKing]))
          v >>= 3;
      }
    }
  }

  if ((v > 0 && !pos.pieces[W_PAWN]) || (v < 0 && !pos.pieces[B_PAWN])) v = (v >> 1) + (v >> 2);
  return v;
}

int scaleForFiftyMoves(int v, int fifty) {
  if (fifty <= 20) return v;
  if (fifty <= 50) return v - (v >> 3);
  if (fifty <= 85) return (v >> 1) + (v >> 2);
  return v >> 2;
}

}  // namespace

int evaluate(Position& pos) {
  PlyState& st = *pos.cur;
  if (st.staticEval != EVAL_NONE) return st.staticEval;

  // The pawn-table entry is read only after the piece terms: when it is not
  // in the cache, it arrives while they run instead of holding them up.
  PawnEntry& shared = pawnEntryOf(st.pawnKingKey);
  __builtin_prefetch(&shared);

  EvalContext ctx;
  initEvalContext(pos, ctx);

  const int sig[2] = {st.materialSig[WHITE], st.materialSig[BLACK]};
  const int mg[2] = {mgOf(st.material[WHITE]), mgOf(st.material[BLACK])};
  int v;

  int endgameValue = 0;
  bool endgameDone = false;
  if (mg[WHITE] == 0 || mg[BLACK] == 0 || (mg[WHITE] < 1201 && mg[BLACK] < 1201))
    endgameValue = evaluateEndgame(pos, ctx, &endgameDone);

  if (endgameDone) {
    v = endgameValue;
  } else {
    // Material, with a bonus for the side ahead that is larger with less
    // material left.
    int32_t s = endgameValue * 65537 + st.material[WHITE] - st.material[BLACK];
    const int tradeDown = tradeDownCap - minOf((mg[WHITE] + mg[BLACK]) >> tradeDownShift, tradeDownCap);
    if (mgOf(s) > 89) s += tradeDown * 65537;
    if (mgOf(s) < -89) s -= tradeDown * 65537;
    s += st.side == WHITE ? tempoBonus : -tempoBonus;

    const int pawnMg = mgOf(materialValue[W_PAWN]);
    for (int c = WHITE; c <= BLACK; c++) {
      const int them = c ^ 1;
      if (mg[them] - popCount(pos.pieces[pawnOf(them)]) * pawnMg >= 1500)
        ctx.kingHalf[c] = kingHalfZone(ctx.kingSquare[c], c);
    }

    s -= evaluateKnights(pos, ctx, BLACK);
    s += evaluateKnights(pos, ctx, WHITE);
    s -= evaluateBishops(pos, ctx, BLACK);
    s += evaluateBishops(pos, ctx, WHITE);
    s -= evaluateRooks(pos, ctx, BLACK);
    s += evaluateRooks(pos, ctx, WHITE);
    s -= evaluateQueens(pos, ctx, BLACK);
    s += evaluateQueens(pos, ctx, WHITE);
    s -= kingDanger(pos, ctx, WHITE);
    s += kingDanger(pos, ctx, BLACK);
    s += evaluateThreats(pos);

    // Pawn structure and king placement come from the shared pawn table. The
    // entry is copied, since other threads may overwrite it meanwhile.
    PawnEntry pawns = shared;
    if (pawns.key != st.pawnKingKey) {
      pawns.key = st.pawnKingKey;
      evaluatePawnStructure(pos, pawns);
      shared = pawns;
    }
    ctx.pawns = &pawns;
    s += pawns.score;
    s -= evaluatePassedPawns(pos, ctx, BLACK);
    s += evaluatePassedPawns(pos, ctx, WHITE);
    s += pawnFileTable[pawns.files[WHITE]] - pawnFileTable[pawns.files[BLACK]];

    const int pawnCount[2] = {sig[WHITE] & 15, sig[BLACK] & 15};
    const int bishops[2] = {popCount(pos.pieces[W_BISHOP]), popCount(pos.pieces[B_BISHOP])};
    const int knights[2] = {popCount(pos.pieces[W_KNIGHT]), popCount(pos.pieces[B_KNIGHT])};

    const MaterialConfig& config = materialConfig[materialConfigIndex(sig)];
    if (absDiff(mg[WHITE], mg[BLACK]) < 335 && config.table != IMBALANCE_NONE) {
      const int index = config.table == ROOKS_FOR_QUEEN
                            ? minOf(bishops[WHITE] + bishops[BLACK] + knights[WHITE] + knights[BLACK], 4)
                            : minOf(absDiff(pawnCount[WHITE], pawnCount[BLACK]), 5);
      s += imbalance[config.table][index] * config.sign;
    }

    // Rooks and bishops gain when the centre files are open.
    const int rooksBishops[2] = {popCount(pos.pieces[W_ROOK]) + bishops[WHITE],
                                 popCount(pos.pieces[B_ROOK]) + bishops[BLACK]};
    if (rooksBishops[WHITE] != rooksBishops[BLACK]) {
      const Bitboard centre = (pos.pieces[W_PAWN] | pos.pieces[B_PAWN]) & (fileMask[3] | fileMask[4]);
      const int32_t bonus = rookBishopCentre[minOf(popCount(centre), 8)];
      s += rooksBishops[WHITE] > rooksBishops[BLACK] ? bonus : -bonus;
    }

    const Bitboard allPawns = pos.pieces[W_PAWN] | pos.pieces[B_PAWN];
    const Bitboard queenWing = fileMask[0] | fileMask[1] | fileMask[2];
    const Bitboard kingWing = fileMask[5] | fileMask[6] | fileMask[7];
    if (bishops[WHITE] != bishops[BLACK] && (allPawns & queenWing) && (allPawns & kingWing))
      s += (bishops[WHITE] - bishops[BLACK]) * bishopCountWings;
    for (int c = WHITE; c <= BLACK; c++) {
      const int them = c ^ 1;
      if (bishops[c] < 2) continue;
      int32_t pair = bishopPairBonus;
      if (pawnCount[them] > 5) pair -= bishopPairManyPawns;
      if (bishops[them] == 0 && knights[them] == 0) pair += bishopPairNoMinors;
      s += c == WHITE ? pair : -pair;
    }

    // Development: undeveloped minor pieces on the back rank.
    const uint8_t* board = pos.board;
    ctx.development -= popCount(pos.pieces[W_BISHOP] & (bit(C1) | bit(D1) | bit(E1) | bit(F1)));
    ctx.development += popCount(pos.pieces[B_BISHOP] & (bit(C8) | bit(D8) | bit(E8) | bit(F8)));
    for (const auto& [knight, rook] : {std::pair{B1, A1}, std::pair{G1, H1}})
      if (board[knight] == W_KNIGHT && board[rook] == W_ROOK) {
        s -= knightBeforeRook;
        ctx.development--;
      }
    for (const auto& [knight, rook] : {std::pair{B8, A8}, std::pair{G8, H8}})
      if (board[knight] == B_KNIGHT && board[rook] == B_ROOK) {
        s += knightBeforeRook;
        ctx.development++;
      }
    if (ctx.development < 0) s -= developmentPenalty[minOf(-ctx.development, 10)];
    if (ctx.development > 0) s += developmentPenalty[minOf(ctx.development, 10)];

    // A side without pawns and with less than a rook cannot win.
    if (!pos.pieces[W_PAWN] && mg[WHITE] < 400 && egOf(s) > 0) s = pos.pieces[B_PAWN] ? makeScore(-1, 0) : 0;
    if (!pos.pieces[B_PAWN] && mg[BLACK] < 400 && egOf(s) < 0) s = pos.pieces[W_PAWN] ? makeScore(1, 0) : 0;

    if (absDiff(mg[WHITE], mg[BLACK]) < 40 && pawns.files[WHITE] == pawns.files[BLACK] &&
        pawnCount[WHITE] == pawnCount[BLACK]) {
      const int eg = egOf(s);
      s = makeScore(mgOf(s), eg - (eg >> 3));
    }

    const int phase = config.phase, mgPart = mgOf(s), egPart = egOf(s);
    v = mgPart == egPart ? mgPart : ((256 - phase) * mgPart + phase * egPart) / 256;

    if (mg[WHITE] <= 1500 && mg[BLACK] <= 1500) v = scaleDrawish(pos, ctx, sig, v);
  }

  if (ctx.scaleShift) v >>= ctx.scaleShift;
  v = scaleForFiftyMoves(v, st.fifty);
  if (st.side == BLACK) v = -v;
  v = maxOf(-EVAL_LIMIT, minOf(v, EVAL_LIMIT));
  st.staticEval = int16_t(v);
  return v;
}
