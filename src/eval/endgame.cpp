// Special endings, recognised by their material signatures: some are
// settled outright (often as draws), others get a correction or a scale.
#include "eval.h"

namespace {

constexpr int NO_KNOWLEDGE = -20000;

// Material signatures: king 4096, knight 1024, bishop 256, rook 64, queen
// 16, pawn 1.
constexpr int K = 4096, KN = K + 1024, KB = K + 256, KR = K + 64, KQ = K + 16;
constexpr int KBN = KB + 1024, KBB = KB + 256, KNN = KN + 1024;

constexpr int pawnsOf(int sig) { return sig & 15; }
constexpr int piecesOf(int sig) { return sig & ~15; }
constexpr int minorsOf(int sig) { return ((sig >> 8) & 3) + ((sig >> 10) & 3); }
constexpr bool noHeavyPieces(int sig) { return (sig & 0xF0) == 0; }  // no queens, no rooks
// Men a signature counts. A field holds three pieces of a kind; a fourth
// (after promotions) carries into the next field, and the count falls short.
constexpr int menOf(int sig) {
  return (sig >> 12) + ((sig >> 10) & 3) + ((sig >> 8) & 3) + ((sig >> 6) & 3) + ((sig >> 4) & 3) + (sig & 15);
}

// Drawn rank 8 first; a square's value is picture[s ^ 56].
constexpr int edgeBonusPicture[64] = {
    100, 90, 80, 70, 70, 80, 90, 100,
     90, 70, 60, 50, 50, 60, 70,  90,
     80, 60, 40, 30, 30, 40, 60,  80,
     70, 50, 30, 20, 20, 30, 50,  70,
     70, 50, 30, 20, 20, 30, 50,  70,
     80, 60, 40, 30, 30, 40, 60,  80,
     90, 70, 60, 50, 50, 60, 70,  90,
    100, 90, 80, 70, 70, 80, 90, 100,
};
// Mating with bishop and knight: the corners of the bishop's colour (here
// the dark a1 and h8) score highest.
constexpr int kbnCornerPicture[64] = {
    130, 140, 150, 160, 170, 180, 190, 200,
    140, 130, 140, 150, 160, 170, 180, 190,
    150, 140, 125, 140, 140, 155, 170, 180,
    160, 150, 140, 110, 120, 140, 160, 170,
    170, 160, 140, 120, 110, 140, 150, 160,
    180, 170, 155, 140, 140, 125, 140, 150,
    190, 180, 170, 160, 150, 140, 130, 140,
    200, 190, 180, 170, 160, 150, 140, 130,
};
constexpr int kingsCloseBonus[8] = {0, 0, 100, 80, 60, 40, 20, 10};

int edgeBonus(Square s) { return edgeBonusPicture[s ^ 56]; }
int kbnCorner(Square s) { return kbnCornerPicture[s ^ 56]; }
bool isDark(Square s) { return (DARK_SQUARES & bit(s)) != 0; }
int sideSign(int colour) { return colour == WHITE ? 1 : -1; }

// The evaluators see the board from a reference side: ranks flipped for
// black, files flipped when the reference pawn is on files e-h.
struct Frame {
  bool flipRanks, flipFiles;
  Square operator()(Square s) const { return (flipRanks ? s ^ 56 : s) ^ (flipFiles ? 7 : 0); }
};

struct Ending {
  const Position& pos;
  const PlyState& st;
  EvalContext& ctx;
  int sig[2];
  int mg[2];

  Square king(int c) const { return ctx.kingSquare[c]; }
  Square only(int code) const { return lowestSquare(pos.pieces[code]); }
  bool toMove(int c) const { return st.side == c; }
  int mopUp(int strong) const {
    const Square weakKing = king(strong ^ 1);
    return sideSign(strong) * (edgeBonus(weakKing) + kingsCloseBonus[distance(king(WHITE), king(BLACK))]);
  }

  // Rook and pawn against rook; s owns the pawn.
  int rookPawnAgainstRook(int s) const {
    const int w = s ^ 1;
    const Square pawn = only(pawnOf(s));
    const Frame f{s == BLACK, fileOf(pawn) >= 4};
    const Square p = f(pawn), k = f(king(s)), r = f(only(rookOf(s))), K2 = f(king(w)), R = f(only(rookOf(w)));
    const int pr = rankOf(p), pf = fileOf(p);
    const bool kingOnFile = fileOf(K2) == pf;

    if ((pr >= 1 && pr <= 4 && kingOnFile && rankOf(K2) >= 6 && rankOf(R) == 5) ||
        (pr >= 5 && kingOnFile && rankOf(K2) > pr && rankOf(R) == 0) ||
        (pr == 5 && kingOnFile && rankOf(K2) >= 6 && rankOf(k) <= 4))
      return 0;
    if (pr >= 1 && pr <= 3 && K2 > p) {
      if (kingOnFile) {
        ctx.scaleShift = 2;
        return -1;
      }
      if (absDiff(fileOf(K2), pf) == 1 && distance(k, K2) > 2) {
        ctx.scaleShift = 1;
        return -1;
      }
    }
    if (pr == 6 && r == p + 8 && (K2 == G7 || K2 == H7)) {
      if (fileOf(R) == pf) {
        if (!(toMove(s) && distance(k, p) <= 1)) return 0;
      } else if (!toMove(s)) {
        if (distance(k, makeSquare(pf, rankOf(R))) > 1) return 0;
      }
    }
    if (pr >= 4 && rankOf(k) >= 4 && absDiff(fileOf(k), pf) <= 1 &&
        minOf(fileOf(K2), pf) < fileOf(r) && fileOf(r) < maxOf(fileOf(K2), pf))
      return 100;
    if ((pf == 1 || pf == 2) && rankOf(K2) < rankOf(r) && rankOf(r) <= pr + 1 && pr >= rankOf(K2) &&
        fileOf(K2) - pf >= 2 && distance(k, p) <= 1)
      return 100;
    int t = distance(K2, p) - 7;
    if (pf == 0) t -= 80;
    if (distance(K2, p) < distance(k, p)) t -= 40;
    if (rankOf(k) < pr) t += 3 * (rankOf(k) - pr) + 21;
    return t == 0 ? NO_KNOWLEDGE : t;
  }

  // Rook against pawn; s has the rook, the pawn moves down in the frame.
  int rookAgainstPawn(int s) const {
    const int w = s ^ 1;
    const Square pawn = only(pawnOf(w));
    const Frame f{w == WHITE, fileOf(pawn) >= 4};
    const Square p = f(pawn), k = f(king(s)), K2 = f(king(w));
    if (rankOf(K2) > 2 || distance(K2, p) > 1 || rankOf(k) < rankOf(p)) return NO_KNOWLEDGE;
    const int h = distance(k, p);
    if (h - (toMove(s) ? 1 : 0) < 2 && distance(k, K2) != 2) return NO_KNOWLEDGE;
    return 30 - 3 * h;
  }

  // Queen against a pawn one step from promotion on a rook or bishop file.
  int queenAgainstPawn(int s) const {
    const int w = s ^ 1;
    const Square pawn = only(pawnOf(w));
    const Frame f{w == WHITE, false};
    const Square p = f(pawn), k = f(king(s)), K2 = f(king(w));
    const int file = fileOf(p);
    if (rankOf(p) != 1 || !(file == 0 || file == 2 || file == 5 || file == 7)) return NO_KNOWLEDGE;
    if (distance(K2, p) > (toMove(w) ? 2 : 1)) return NO_KNOWLEDGE;
    if (distance(k, p) <= (toMove(s) ? 2 : 1)) return NO_KNOWLEDGE;
    const Square promotion = makeSquare(file, 0);
    const bool defended = distance(K2, promotion) <= 1;
    const Square queen = only(queenOf(s));
    if ((st.queenAttacks[s][0] & bit(f(promotion))) && !defended && (toMove(s) || distance(K2, promotion) > 1))
      return NO_KNOWLEDGE;
    if (f(queen) == promotion && !defended) return NO_KNOWLEDGE;
    return 30 - 3 * distance(k, p);
  }

  // Bishop, pawn against knight: the defending king blockades in front of
  // the pawn on a square the bishop cannot attack.
  int blockade(int s, Square pawn) const {
    const Square defender = king(s ^ 1);
    if ((forwardFile[s][pawn] & bit(defender)) && isDark(only(bishopOf(s))) != isDark(defender)) return 0;
    return NO_KNOWLEDGE;
  }

  int knightPawnAgainstKing(int s) const {
    const Square pawn = only(pawnOf(s));
    const Frame f{s == BLACK, fileOf(pawn) >= 4};
    return f(pawn) == A7 && distance(f(king(s ^ 1)), A8) <= 1 ? 0 : NO_KNOWLEDGE;
  }

  // Rook and rook pawn against a bishop that cannot control the corner.
  int rookPawnAgainstBishop(int s) const {
    const int w = s ^ 1;
    const Square pawn = only(pawnOf(s));
    const Frame f{s == BLACK, fileOf(pawn) >= 4};
    const Square p = f(pawn), k = f(king(s)), K2 = f(king(w)), bishop = f(only(bishopOf(w)));
    if (fileOf(p) != 0 || !isDark(bishop) || rankOf(p) < 4) return NO_KNOWLEDGE;
    int v = -100;
    if (rankOf(k) < rankOf(p)) v += 2 * (rankOf(k) - rankOf(p)) + 14;
    if (fileOf(k) > fileOf(p)) v += 2 * (fileOf(p) - fileOf(k)) + 14;
    if (rankOf(K2) <= rankOf(p)) v += 2 * (rankOf(p) - rankOf(K2)) - 14;
    if (fileOf(K2) > fileOf(p)) v += 2 * (fileOf(K2) - fileOf(p)) - 14;
    if (bishopEmpty[bishop] & bit(A7)) v -= 200;
    return v;
  }

  // Bishop and rook pawns whose promotion square the bishop does not cover.
  bool wrongBishop(int s) const {
    const int w = s ^ 1;
    const Bitboard pawns = pos.pieces[pawnOf(s)];
    const Square pawn = toMove(WHITE) ? highestSquare(pawns) : lowestSquare(pawns);
    const Square promotion = makeSquare(fileOf(pawn), s == WHITE ? 7 : 0);
    if ((fileOf(pawn) != 0 && fileOf(pawn) != 7) || isDark(only(bishopOf(s))) == isDark(promotion)) return false;
    const int u = distance(king(w), promotion);
    const int strongDistance = distance(king(s), promotion) - (toMove(s) ? 1 : 0);
    if (u >= strongDistance && u != 1) return false;
    return absDiff(rankOf(pawn), rankOf(promotion)) >= u - (toMove(w) ? 1 : 0);
  }

  // Queen against rook and pawn: the rook on a square its pawn defends, next
  // to its king, holds a fortress.
  void fortress(int s) {
    const int w = s ^ 1;
    const Square wPawn = only(pawnOf(w));
    const Frame f{s == BLACK, fileOf(wPawn) >= 4};
    const Square p = f(wPawn), K2 = f(king(w)), R = f(only(rookOf(w))), k = f(king(s));
    if (distance(K2, p) > 1 || rankOf(k) >= rankOf(p) || rankOf(R) != rankOf(p) - 1 || absDiff(fileOf(R), fileOf(p)) != 1)
      return;
    if (pos.pieces[pawnOf(s)]) {
      const Square q = f(only(pawnOf(s)));
      if (absDiff(fileOf(q), fileOf(p)) != 1 || rankOf(q) > rankOf(p) - 2) return;
      if ((fileOf(q) == 2 && fileOf(p) == 1) || (fileOf(q) == 1 && fileOf(p) == 0)) return;
      if (fileOf(K2) != fileOf(q)) return;
    }
    ctx.scaleShift = 3;
  }

  // Rules for positions without pawns; sets *handled when one applies.
  int pawnless(bool* done, bool* handled) {
    const int rookValue = mgOf(materialValue[W_ROOK]);
    *handled = true;
    if ((mg[WHITE] < rookValue && mg[BLACK] < rookValue) || (sig[WHITE] == KR && sig[BLACK] == KR)) return 0;
    const int minors = minorsOf(sig[WHITE]) + minorsOf(sig[BLACK]);
    if (minors == 3 && absDiff(minorsOf(sig[WHITE]), minorsOf(sig[BLACK])) == 1) {
      ctx.scaleShift = 4;
      *done = false;
      return 0;
    }
    for (int s = WHITE; s <= BLACK; s++) {
      const int w = s ^ 1, sign = sideSign(s);
      const Square weakKing = king(w);
      if (sig[s] == KBN && sig[w] == K) {
        // The corner table favours the dark corners; a light bishop mirrors it.
        const Square corner = isDark(only(bishopOf(s))) ? weakKing : weakKing ^ 7;
        return sign * (6000 + kbnCorner(corner) + 2 * kingsCloseBonus[distance(king(s), weakKing)]);
      }
      if (sig[s] == KR && sig[w] == KB) {
        const bool bishopDark = isDark(only(bishopOf(w)));
        const Square corners[2][2] = {{A1, H8}, {A8, H1}};  // dark, light
        const Square* c = corners[bishopDark ? 1 : 0];
        const int d = minOf(distance(weakKing, c[0]), distance(weakKing, c[1]));
        const Square strongKing = king(s);
        int t = 0;
        if (fileOf(weakKing) == fileOf(strongKing) &&
            ((rankOf(weakKing) == 0 && rankOf(strongKing) == 2) || (rankOf(weakKing) == 7 && rankOf(strongKing) == 5)))
          t += 20;
        if (rankOf(weakKing) == rankOf(strongKing) &&
            ((fileOf(weakKing) == 0 && fileOf(strongKing) == 2) || (fileOf(weakKing) == 7 && fileOf(strongKing) == 5)))
          t += 20;
        if (t > 0) {
          if (bishopDark != isDark(weakKing)) t += 20;
          t = t - 7 + d;
        }
        return (mopUp(s) >> 3) + sign * t;
      }
      if (sig[s] == KR && sig[w] == KN)
        return sign * (20 * distance(only(knightOf(w)), weakKing) + edgeBonus(weakKing) / 4);
      if (sig[s] == KQ && sig[w] == KR)
        return sign * (edgeBonus(weakKing) + kingsCloseBonus[distance(king(s), weakKing)] + 975 - 477);
    }
    *handled = false;
    return 0;
  }

  // Rules for exactly one pawn on the board.
  int onePawn(bool* done, bool* handled) {
    *handled = true;
    for (int s = WHITE; s <= BLACK; s++) {
      const int w = s ^ 1, sign = sideSign(s);
      // Evaluator results: no knowledge gives 0 to add, a draw is final,
      // anything else is a correction.
      auto correction = [&](int v) {
        if (v == NO_KNOWLEDGE) {
          *done = false;
          return 0;
        }
        if (v == 0) return 0;
        *done = false;
        return sign * v;
      };
      auto finalOrNothing = [&](int v) {
        if (v == NO_KNOWLEDGE) {
          *done = false;
          return 0;
        }
        return sign * v;
      };
      if (sig[s] == KR + 1 && sig[w] == KR) return correction(rookPawnAgainstRook(s));
      if (sig[s] == KR && sig[w] == K + 1) return finalOrNothing(rookAgainstPawn(s));
      if (sig[s] == KQ && sig[w] == K + 1) return finalOrNothing(queenAgainstPawn(s));
      if (sig[s] == KB + 1 && sig[w] == KN) {
        if (blockade(s, only(pawnOf(s))) == 0) return 0;
        *done = false;
        return 0;
      }
      if (sig[s] == K + 1 && sig[w] == K) {
        const Square wk = king(WHITE), bk = king(BLACK);
        const int entry = s == WHITE ? kpkTable[st.side][wk][only(W_PAWN)][bk]
                                     : kpkTable[st.side ^ 1][bk ^ 56][only(B_PAWN) ^ 56][wk ^ 56];
        if (entry == 0) return 0;
        *done = false;
        return sign * 6000;
      }
      if (sig[s] == KR + 1 && sig[w] == KB) return correction(rookPawnAgainstBishop(s));
      if (sig[s] == KN + 1 && sig[w] == K) return correction(knightPawnAgainstKing(s));
    }
    *handled = false;
    return 0;
  }

  int general(bool* done) {
    *done = false;
    const int pawnsTotal = pawnsOf(sig[WHITE]) + pawnsOf(sig[BLACK]);
    for (int s = WHITE; s <= BLACK; s++) {
      const int w = s ^ 1;
      const Bitboard pawns = pos.pieces[pawnOf(s)];
      // Bishop and rook pawns against a king that reaches the corner.
      if (piecesOf(sig[s]) == KB && pawns && piecesOf(sig[w]) == K && sideSign(s) * (st.material[WHITE] - st.material[BLACK]) > 0 &&
          ((pawns & ~FILE_A) == 0 || (pawns & ~FILE_H) == 0)) {
        if (wrongBishop(s)) {
          if (!pos.pieces[pawnOf(w)]) {
            *done = true;
            return 0;
          }
          ctx.scaleShift = 4;
        }
        return 0;
      }
    }
    for (int s = WHITE; s <= BLACK; s++) {
      const int w = s ^ 1;
      if (sig[s] == KB + 2 && sig[w] == KN) {
        const Bitboard pawns = pos.pieces[pawnOf(s)];
        if ((pawns & fileMask[fileOf(lowestSquare(pawns))]) == pawns) {
          const Square front = s == WHITE ? highestSquare(pawns) : lowestSquare(pawns);
          if (blockade(s, front) == 0) *done = true;
        }
        return 0;
      }
    }
    for (int s = WHITE; s <= BLACK; s++)
      if ((sig[s] == KQ || sig[s] == KQ + 1) && sig[s ^ 1] == KR + 1) {
        fortress(s);
        return 0;
      }
    if (pawnsTotal < 3) {
      for (int s = WHITE; s <= BLACK; s++) {
        const int w = s ^ 1;
        if (pawnsOf(sig[s]) == 0 && noHeavyPieces(sig[s]) && minorsOf(sig[s]) == 2 && noHeavyPieces(sig[w]) &&
            minorsOf(sig[w]) == 1) {
          ctx.scaleShift = 4;
          return 0;
        }
      }
    }
    return bareKing(done);
  }

  // Enough pieces against none win, by more the more there are.
  int bareKing(bool* done) const {
    for (int s = WHITE; s <= BLACK; s++) {
      const int w = s ^ 1;
      if (mg[w] == 0 && mg[s] >= mgOf(materialValue[W_ROOK])) {
        *done = true;
        return sideSign(s) * (6000 + minOf(mg[s], 3000)) + mopUp(s);
      }
    }
    return 0;
  }
};

}  // namespace

int evaluateEndgame(const Position& pos, EvalContext& ctx, bool* done) {
  const PlyState& st = *pos.cur;
  Ending e{pos, st, ctx, {st.materialSig[WHITE], st.materialSig[BLACK]}, {mgOf(st.material[WHITE]), mgOf(st.material[BLACK])}};
  // With four pieces of a kind the signature names other pieces, and the
  // rules that trust it would look for pieces that are not on the board.
  if (menOf(e.sig[WHITE]) != popCount(pos.pieces[WHITE]) || menOf(e.sig[BLACK]) != popCount(pos.pieces[BLACK])) {
    *done = false;
    return e.bareKing(done);
  }
  *done = true;
  const int pawnsTotal = pawnsOf(e.sig[WHITE]) + pawnsOf(e.sig[BLACK]);
  bool handled = false;
  int v = 0;
  if (pawnsTotal == 0)
    v = e.pawnless(done, &handled);
  else if (pawnsTotal == 1)
    v = e.onePawn(done, &handled);
  if (handled) return v;
  return e.general(done);
}
