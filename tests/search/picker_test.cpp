// The staged move picker hands out every move a node should search exactly
// once (an en-passant threat twice), whatever its stored candidates hold:
// the shared tables may hand over a move of another position or a torn word.
#include <algorithm>
#include <random>

#include "search_test_util.h"
#include "../support/test_data.h"

namespace {

std::mt19937 randomBits(2024);

// Nothing, a legal move, a move of some other position, or any word at all.
Move someCandidate(const std::vector<Move>& legal, const std::vector<Move>& elsewhere) {
  const int kind = int(randomBits() % 4);
  const std::vector<Move>& from = kind == 1 ? legal : elsewhere;
  if (kind == 3) return Move(randomBits());
  return kind == 0 || from.empty() ? MOVE_NONE : from[randomBits() % from.size()];
}

// Runs the node's picker the way the search does (hash move first when it
// may go first, losing moves put aside now and then) and compares what
// comes out with the legal moves.
void checkPicker(Position& pos, const std::vector<Move>& elsewhere) {
  const int savedCount = pos.keyCount, ply = 1 + int(randomBits() % 3);
  placeAtPly(pos, ply);
  PlyState& st = *pos.cur;
  const std::vector<Move> legal = legalMoves(pos);
  // A castling word from the tables passes exactly when it was generated:
  // never out of, through or into an attacked square.
  for (Move c : {makeMoveWord(E1, G1, MOVE_CASTLE), makeMoveWord(E1, C1, MOVE_CASTLE),
                 makeMoveWord(E8, G8, MOVE_CASTLE), makeMoveWord(E8, C8, MOVE_CASTLE)})
    EXPECT_EQ(isPseudoLegal(pos, c, st.side), std::count(legal.begin(), legal.end(), c) == 1) << moveText(c);
  st.discoverers = findBlockers(pos, 0, st.side);
  st.pinnedEnemy = findBlockers(pos, 1, st.side ^ 1);
  st.inCheck = inCheck(pos);
  st.plyIndex = int16_t(ply);
  st.depthLeft = int16_t(1 + randomBits() % 8);
  st.staticEval = EVAL_NONE;
  st.threatened = ~Bitboard(0);
  for (Move* c : {&st.hashMove, &st.killer1, &st.killer2, &st.followUp2, &st.followUp4, &st.followUp6, &st.counter1,
                  &st.counter2, &st.placement1, &st.placement2, &st.parentThreat})
    *c = someCandidate(legal, elsewhere);
  const Move threat = st.parentThreat, h = st.hashMove;

  std::vector<Move> searched;
  const bool evades = !st.inCheck || typeOf(pos.board[moveFrom(h)]) == KING || (st.evasionMask & bit(moveTo(h)));
  if (h && evades && isPseudoLegal(pos, h, st.side) && !isLegal(pos, h)) searched.push_back(h);
  else if (st.inCheck && !evades && isEnPassant(h)) st.hashMove = MOVE_NONE;
  resetPicker(st);
  int deferred = 0, returned = 0;
  for (Move m; (m = nextMove(pos)) && returned < 1000; returned++) {
    if (m == MOVE_DELETED) continue;
    if (isLegal(pos, m)) {
      EXPECT_FALSE(st.pickStage >= 3 && st.pickStage <= 12) << "stored candidate " << moveText(m) << " is illegal";
    } else if ((st.pickStage == STAGE_CAPTURES || st.pickStage == STAGE_QUIETS) && randomBits() % 3 == 0 &&
               deferMove(st, m, -int(randomBits() % 500))) {
      deferred++;
    } else {
      searched.push_back(m);
    }
  }
  // An en-passant threat comes as the threat and again among the captures
  // put aside: the search tries it twice.
  if (!st.inCheck && isEnPassant(threat) && threat != h && std::count(legal.begin(), legal.end(), threat)) {
    EXPECT_EQ(std::count(searched.begin(), searched.end(), threat), 2) << moveText(threat);
    if (const auto again = std::find(searched.begin(), searched.end(), threat); again != searched.end())
      searched.erase(again);
  }
  std::vector<Move> expected = legal;
  std::sort(expected.begin(), expected.end());
  std::sort(searched.begin(), searched.end());
  EXPECT_EQ(searched, expected) << "in check " << st.inCheck << ", " << deferred << " put aside";
  pos.cur = pos.plies;
  pos.keyCount = savedCount;
}

}  // namespace

TEST(MovePicker, EveryMoveOnceWhateverTheCandidates) {
  std::vector<std::string> fens = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                                   "8/5P1k/8/6K1/8/8/3p4/8 b - - 0 1", "4k3/8/8/8/1q6/8/3P4/4K3 w - - 0 1"};
  for (const char* file : {"standard.epd", "extra.epd", "frc-random.epd"})
    for (const std::string& fen : perftFens(file)) fens.push_back(fen);
  std::vector<Move> elsewhere;
  for (const std::string& fen : fens) {
    Position& pos = load(fen.c_str());
    checkPicker(pos, elsewhere);
    for (Move m : legalMoves(pos)) elsewhere.push_back(m);
  }
  // Positions of random games, every other one from a Chess960 start.
  const std::vector<std::string> starts = perftFens("frc.epd");
  for (int game = 0; game < 40; game++) {
    Position& pos = load(game % 2 && !starts.empty() ? starts[game * 37 % starts.size()].c_str() : startFen);
    for (int move = 0; move < 150; move++) {
      checkPicker(pos, elsewhere);
      const std::vector<Move> legal = legalMoves(pos);
      if (legal.empty() || pos.cur->fifty >= 100) break;
      makeGameMove(pos, legal[randomBits() % legal.size()]);
    }
  }
}

// Stored pawn moves of kinds no generator writes: promoting to a king or to
// no piece at all would corrupt the board, and a plain step under another
// kind would be searched twice.
TEST(MovePicker, StoredPawnWordsOfOtherKinds) {
  Position& pos = load("4k3/1P6/8/8/8/8/3P4/4K3 w - - 0 1");
  for (int kind : {0x5000, 0x8000, 0xE000}) EXPECT_FALSE(isPseudoLegal(pos, makeMoveWord(B7, B8, kind), WHITE)) << kind;
  EXPECT_FALSE(isPseudoLegal(pos, makeMoveWord(D2, D4, 0x3000), WHITE));
  EXPECT_TRUE(isPseudoLegal(pos, makeMoveWord(B7, B8, PROMOTE_ROOK), WHITE));
}
