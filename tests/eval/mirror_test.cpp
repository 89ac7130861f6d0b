// Colour symmetry of the evaluation: a position and its colour-flipped
// mirror (board turned top to bottom, colours, side to move, castling rights
// and en-passant square exchanged) must get the same terms with the colours
// exchanged. The few rules that are deliberately not symmetric are named
// where a term is excused.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "../board/board_test_util.h"
#include "../support/test_data.h"

namespace {

// The terms computed for each colour, in the evaluation's order.
const char* const COLOUR_TERMS[] = {"passed pawns", "knights", "bishops", "rooks", "queens", "king danger"};
constexpr int PASSED = 0, ROOKS = 3;

struct Terms {
  int32_t pawns, threats, development, byColour[6][2];
  Bitboard passedSet, weakSet;
};

// The terms as the evaluation calls them, black before white.
Terms termsOf(const Position& pos) {
  EvalContext ctx;
  initEvalContext(pos, ctx);
  PawnEntry entry{};
  evaluatePawnStructure(pos, entry);
  ctx.pawns = &entry;
  // The king's half-board zone, against an opponent with 1500 in pieces.
  for (int c = WHITE; c <= BLACK; c++) {
    const int them = c ^ 1, file = fileOf(ctx.kingSquare[c]);
    if (mgOf(pos.cur->material[them]) - 90 * popCount(pos.pieces[pawnOf(them)]) >= 1500)
      ctx.kingHalf[c] = (c == WHITE ? 0xFFFFFFFFULL : ~0xFFFFFFFFULL) &
                        (FILE_A * (file <= 2 ? 0x0F : file <= 4 ? 0x3C : 0xF0));
  }
  Terms t{entry.score, 0, 0, {}, entry.passed, entry.weak};
  int32_t (*const pieceTerms[])(const Position&, EvalContext&, int) = {
      evaluatePassedPawns, evaluateKnights, evaluateBishops, evaluateRooks, evaluateQueens};
  for (int i = 0; i < 5; i++)
    for (int c : {BLACK, WHITE}) t.byColour[i][c] = pieceTerms[i](pos, ctx, c);
  for (int c : {WHITE, BLACK}) t.byColour[5][c] = kingDanger(pos, ctx, c);
  t.threats = evaluateThreats(pos);
  t.development = ctx.development;
  return t;
}

// The board turned top to bottom with the colours, the side to move and the
// castling rights exchanged, and the en-passant square on the other side.
std::string mirrorFen(const std::string& fen) {
  std::istringstream fields(fen);
  std::string board, side, castling, ep, rest, rank, mirrored;
  fields >> board >> side >> castling >> ep;
  std::getline(fields, rest);
  for (std::istringstream ranks(board); std::getline(ranks, rank, '/');) mirrored = rank + "/" + mirrored;
  mirrored.pop_back();
  for (std::string* text : {&mirrored, &castling})
    for (char& ch : *text) ch = char(std::isupper(ch) ? std::tolower(ch) : std::toupper(ch));
  if (ep != "-") ep[1] = char('1' + '8' - ep[1]);
  return mirrored + (side == "w" ? " b " : " w ") + castling + " " + ep + rest;
}

// The shared positions. The tactics and opening files carry no move
// counters; spread them so that the fifty-move scaling is exercised too.
std::vector<std::string> basePositions() {
  std::vector<std::string> bases;
  for (const char* file : {"standard.epd", "extra.epd", "frc-random.epd"})
    for (const std::string& fen : perftFens(file)) bases.push_back(fen);
  for (const char* file : {"/tactics/bk.epd", "/openings/8moves_v3_500.epd"}) {
    std::ifstream in(sharedDataDir() + file);
    for (std::string line, board, side, castling, ep; std::getline(in, line);) {
      if (std::istringstream(line) >> board >> side >> castling >> ep)
        bases.push_back(board + " " + side + " " + castling + " " + ep + " " +
                        std::to_string(bases.size() * 37 % 100) + " 1");
    }
  }
  return bases;
}

}  // namespace

// Each shared position and its mirror are compared, and again after three
// and after eight pseudo-random legal moves played on both boards.
TEST(Mirror, EvaluationIsColourSymmetric) {
  if (sharedDataDir().empty()) GTEST_SKIP() << MISSING_DATA;
  static Position a, b;
  memset(pawnTable, 0, sizeof pawnTable);
  std::mt19937 rng(2024);
  int compared = 0, finals = 0, failures = 0;
  for (const std::string& base : basePositions()) {
    ASSERT_TRUE(parseFen(a, base.c_str()) && parseFen(b, mirrorFen(base).c_str())) << base;
    std::string where = base;
    for (int ply = 0; ply <= 8; ply++) {
      if (ply == 0 || ply == 3 || ply == 8) {
        compared++;
        const Terms ta = termsOf(a), tb = termsOf(b);
        auto check = [&](bool same, const char* term) {
          if (!same && ++failures <= 20) ADD_FAILURE() << term << " differs for " << where << " and its mirror";
        };
        // The pawn table's second rank gives c2 3 and f2 1, and black reads
        // square 63 - s, so these pawns shift the middle game by 2 each.
        const int rank2 =
            2 * ((a.board[C2] == W_PAWN) + (a.board[C7] == B_PAWN) - (a.board[F2] == W_PAWN) - (a.board[F7] == B_PAWN));
        check(ta.pawns + tb.pawns == makeScore(rank2, 0), "pawn structure");
        check(ta.passedSet == __builtin_bswap64(tb.passedSet), "passed pawns found");
        check(ta.weakSet == __builtin_bswap64(tb.weakSet), "weak pawns found");
        check(ta.threats == -tb.threats, "threats");
        bool runAny = false, rooksAny = false, shutAny = false;
        for (int c = WHITE; c <= BLACK; c++) {
          // Passers form a run only when each is on the file after the one
          // visited before it, in ascending square order: white d4 and c5
          // are no run, their mirror c4 and d5 is one. The second rook on a
          // file is the one visited later.
          uint8_t files = 0;
          bool rooks = false;
          for (int f = 0; f < 8; f++) {
            files |= uint8_t(bool(ta.passedSet & a.pieces[pawnOf(c)] & fileMask[f]) << f);
            rooks |= moreThanOne(a.pieces[rookOf(c)] & fileMask[f]);
          }
          const bool run = files & (files >> 1);
          // A rook shut in on the king's wing: white pays the extra once it
          // has lost that wing's right, black only once it has lost both, so
          // the two disagree while only the queen's-wing right is left.
          const Bitboard back = c == WHITE ? RANK_1 : RANK_8;
          const bool shut = (a.pieces[kingOf(c)] & back & (fileMask[4] | fileMask[5] | fileMask[6])) &&
                            (a.pieces[rookOf(c)] & back & (fileMask[6] | fileMask[7])) &&
                            (a.cur->castling & (CASTLE_WHITE_SHORT | CASTLE_WHITE_LONG) << c) == CASTLE_WHITE_LONG << c;
          runAny |= run;
          rooksAny |= rooks;
          shutAny |= shut;
          for (int i = 0; i < 6; i++)
            if (!(i == PASSED && run) && !(i == ROOKS && (rooks || shut)))
              check(ta.byColour[i][c] == tb.byColour[i][c ^ 1], COLOUR_TERMS[i]);
        }
        if (!shutAny) check(ta.development == -tb.development, "development");
        if (!runAny && !rooksAny && !shutAny) {
          // Both side-to-move scores; the final scalings shift towards minus
          // infinity, and the pawn table's second rank reaches the middle game.
          finals++;
          check(std::abs(evaluate(a) - evaluate(b)) <= 3 + std::abs(rank2), "final score");
        }
      }
      const std::vector<Move> moves = legalMoves(a);
      if (moves.empty()) break;
      const Move m = moves[rng() % moves.size()];
      where += (ply ? " " : " moves ") + moveText(m);
      makeGameMove(a, m);
      makeGameMove(b, makeMoveWord(flipRank(moveFrom(m)), flipRank(moveTo(m)), m & KIND_MASK));
    }
  }
  std::printf("[ MIRROR   ] %d positions compared, %d final scores\n", compared, finals);
  EXPECT_GE(finals, 1000);
}
