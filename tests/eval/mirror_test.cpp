// Colour symmetry of the evaluation: a position and its colour-flipped
// mirror (board turned top to bottom, colours, side to move, castling rights
// and en-passant square exchanged) must get the same terms with the colours
// exchanged. The few rules that are deliberately not symmetric are named
// where a term is excused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "../support/test_data.h"

namespace {

struct Terms {
  int32_t pawns, threats;
  int32_t passed[2], knights[2], bishops[2], rooks[2], queens[2];
  int danger[2], development;
  Bitboard passedSet, weakSet;
};

// The terms in the order the evaluation calls them, black before white.
Terms termsOf(const Position& pos) {
  const PlyState& st = *pos.cur;
  EvalContext ctx;
  initEvalContext(pos, ctx);
  PawnEntry entry{};
  evaluatePawnStructure(pos, entry);
  ctx.pawns = &entry;
  // The king's half-board zone, against an opponent with 1500 in pieces.
  for (int c = WHITE; c <= BLACK; c++) {
    const int them = c ^ 1, file = fileOf(ctx.kingSquare[c]);
    if (mgOf(st.material[them]) - 90 * popCount(pos.pieces[pawnOf(them)]) >= 1500)
      ctx.kingHalf[c] = (c == WHITE ? 0xFFFFFFFFULL : ~0xFFFFFFFFULL) &
                        (FILE_A * (file <= 2 ? 0x0F : file <= 4 ? 0x3C : 0xF0));
  }
  Terms t;
  t.pawns = entry.score;
  t.passedSet = entry.passed;
  t.weakSet = entry.weak;
  for (int c : {BLACK, WHITE}) t.passed[c] = evaluatePassedPawns(pos, ctx, c);
  for (int c : {BLACK, WHITE}) t.knights[c] = evaluateKnights(pos, ctx, c);
  for (int c : {BLACK, WHITE}) t.bishops[c] = evaluateBishops(pos, ctx, c);
  for (int c : {BLACK, WHITE}) t.rooks[c] = evaluateRooks(pos, ctx, c);
  for (int c : {BLACK, WHITE}) t.queens[c] = evaluateQueens(pos, ctx, c);
  for (int c : {WHITE, BLACK}) ctx.pieceDefence[c] |= ctx.rookXray[c] | ctx.bishopXray[c];
  for (int c : {WHITE, BLACK}) t.danger[c] = kingDanger(pos, ctx, c);
  t.threats = evaluateThreats(pos);
  t.development = ctx.development;
  return t;
}

std::string squareName(Square s) { return {char('a' + fileOf(s)), char('1' + rankOf(s))}; }

// The position as FEN text, or its colour-flipped mirror.
std::string fenOf(const Position& pos, bool mirror) {
  const PlyState& st = *pos.cur;
  std::string fen;
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      const Square s = makeSquare(file, rank);
      int code = pos.board[mirror ? flipRank(s) : s];
      if (!code) {
        empty++;
        continue;
      }
      if (empty) fen += char('0' + empty);
      empty = 0;
      fen += "  PpNnBb  RrQqKk"[code ^ int(mirror)];
    }
    if (empty) fen += char('0' + empty);
    if (rank) fen += '/';
  }
  fen += (st.side ^ int(mirror)) == WHITE ? " w " : " b ";
  const int bits[4] = {CASTLE_WHITE_SHORT, CASTLE_WHITE_LONG, CASTLE_BLACK_SHORT, CASTLE_BLACK_LONG};
  std::string castling;
  for (int i = 0; i < 4; i++)
    if (st.castling & bits[i ^ (mirror ? 2 : 0)]) castling += "KQkq"[i];
  fen += castling.empty() ? "-" : castling;
  fen += " " + (st.epSquare ? squareName(mirror ? flipRank(st.epSquare) : st.epSquare) : "-");
  return fen + " " + std::to_string(st.fifty) + " 1";
}

// Shared positions, and positions a few pseudo-random legal moves beyond them.
std::vector<std::string> mirrorPositions() {
  std::vector<std::string> bases;
  for (const char* file : {"standard.epd", "extra.epd"})
    for (const PerftCase& c : readPerftFile(file).value_or(std::vector<PerftCase>{})) bases.push_back(c.fen);
  // These files carry no move counters; spread them so that the fifty-move
  // scaling is exercised too.
  int number = 0;
  for (const char* file : {"/tactics/bk.epd", "/openings/8moves_v3_500.epd"}) {
    std::ifstream in(sharedDataDir() + file);
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line);
      std::string board, side, castling, ep;
      if (fields >> board >> side >> castling >> ep)
        bases.push_back(board + " " + side + " " + castling + " " + ep + " " + std::to_string(number++ * 37 % 100) +
                        " 1");
    }
  }
  static Position walker;
  std::mt19937 rng(2024);
  std::vector<std::string> fens;
  for (const std::string& base : bases) {
    fens.push_back(base);
    if (!parseFen(walker, base.c_str())) continue;
    for (int ply = 1; ply <= 8; ply++) {
      walker.moveCursor = walker.cur->moves;
      (inCheck(walker) ? generateEvasions : generateAll)(walker);
      std::vector<Move> legal;
      for (MoveEntry* e = walker.cur->moves; e < walker.moveCursor; e++)
        if (!isLegal(walker, Move(e->move))) legal.push_back(Move(e->move));
      if (legal.empty()) break;
      makeMove(walker, legal[rng() % legal.size()]);
      walker.cur++;
      computeAttacks(walker);
      walker.cur->pinned = findBlockers(walker, 1, walker.cur->side);
      if (ply == 3 || ply == 8) fens.push_back(fenOf(walker, false));
    }
  }
  return fens;
}

bool twoOnOneFile(Bitboard pieces) {
  for (int f = 0; f < 8; f++)
    if (moreThanOne(pieces & fileMask[f])) return true;
  return false;
}

}  // namespace

TEST(Mirror, EvaluationIsColourSymmetric) {
  if (sharedDataDir().empty()) GTEST_SKIP() << "shared test data (../shared/data) not found; skipping";
  static Position a, b;
  memset(pawnTable, 0, sizeof pawnTable);
  int compared = 0, finals = 0, pawnRank2 = 0, passerRun = 0, rookFile = 0, shutIn = 0, failures = 0;
  for (const std::string& fen : mirrorPositions()) {
    ASSERT_TRUE(parseFen(a, fen.c_str())) << fen;
    const std::string mirrored = fenOf(a, true);
    ASSERT_TRUE(parseFen(b, mirrored.c_str())) << mirrored;
    ASSERT_TRUE(isLegalPosition(a)) << fen;
    ASSERT_TRUE(isLegalPosition(b)) << mirrored;
    compared++;
    const Terms ta = termsOf(a), tb = termsOf(b);
    auto check = [&](bool same, const char* term) {
      if (!same && ++failures <= 20) ADD_FAILURE() << term << " differs for " << fen << " and " << mirrored;
    };

    // The pawn table's second rank gives c2 3 and f2 1, and black reads
    // square 63 - s, so these pawns shift the middle game by 2 each.
    const uint8_t* board = a.board;
    const int rank2 =
        2 * ((board[C2] == W_PAWN) + (board[C7] == B_PAWN) - (board[F2] == W_PAWN) - (board[F7] == B_PAWN));
    pawnRank2 += rank2 != 0;
    check(ta.pawns + tb.pawns == makeScore(rank2, 0), "pawn structure");
    check(ta.passedSet == __builtin_bswap64(tb.passedSet), "passed pawns found");
    check(ta.weakSet == __builtin_bswap64(tb.weakSet), "weak pawns found");
    check(ta.threats == -tb.threats, "threats");
    check(ta.knights[WHITE] == tb.knights[BLACK] && ta.knights[BLACK] == tb.knights[WHITE], "knights");
    check(ta.bishops[WHITE] == tb.bishops[BLACK] && ta.bishops[BLACK] == tb.bishops[WHITE], "bishops");
    check(ta.queens[WHITE] == tb.queens[BLACK] && ta.queens[BLACK] == tb.queens[WHITE], "queens");
    check(ta.danger[WHITE] == tb.danger[BLACK] && ta.danger[BLACK] == tb.danger[WHITE], "king danger");

    bool runAny = false, rooksAny = false, shutAny = false;
    for (int c = WHITE; c <= BLACK; c++) {
      // Passers form a run only when each is on the file after the one
      // visited before it, in ascending square order: white d4 and c5 are
      // no run, their mirror c4 and d5 is one.
      const Bitboard passers = ta.passedSet & a.pieces[pawnOf(c)];
      uint8_t files = 0;
      for (int f = 0; f < 8; f++) files |= uint8_t(bool(passers & fileMask[f]) << f);
      const bool run = files & (files >> 1);
      // The second rook on a file is the one visited later.
      const bool rooks = twoOnOneFile(a.pieces[rookOf(c)]);
      // A rook shut in on the king's wing: white pays the extra once it has
      // lost that wing's right, black only once it has lost both, so the two
      // disagree while only the queen's-wing right is left.
      const Bitboard back = c == WHITE ? RANK_1 : RANK_8;
      const int shortRight = c == WHITE ? CASTLE_WHITE_SHORT : CASTLE_BLACK_SHORT;
      const int longRight = c == WHITE ? CASTLE_WHITE_LONG : CASTLE_BLACK_LONG;
      const bool shut = (a.pieces[kingOf(c)] & back & (fileMask[4] | fileMask[5] | fileMask[6])) &&
                        (a.pieces[rookOf(c)] & back & (fileMask[6] | fileMask[7])) &&
                        !(a.cur->castling & shortRight) && (a.cur->castling & longRight);
      runAny |= run;
      rooksAny |= rooks;
      shutAny |= shut;
      if (!run) check(ta.passed[c] == tb.passed[c ^ 1], "passed pawns");
      if (!rooks && !shut) check(ta.rooks[c] == tb.rooks[c ^ 1], "rooks");
    }
    if (!shutAny) check(ta.development == -tb.development, "development");
    passerRun += runAny;
    rookFile += rooksAny;
    shutIn += shutAny;
    if (!runAny && !rooksAny && !shutAny) {
      // Both side-to-move scores; the final scalings shift towards minus
      // infinity, and the pawn table's second rank reaches the middle game.
      finals++;
      const int va = evaluate(a), vb = evaluate(b);
      check(std::abs(va - vb) <= 3 + std::abs(rank2), "final score");
    }
  }
  std::printf("[ MIRROR   ] %d positions compared, %d final scores; pawn second rank %d, passer runs %d, "
              "rooks on one file %d, shut-in rook %d\n",
              compared, finals, pawnRank2, passerRun, rookFile, shutIn);
  EXPECT_GE(compared, 1000);
}
