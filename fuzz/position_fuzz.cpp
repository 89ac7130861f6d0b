// A FEN and then move strings through the path of "position ... moves":
// the first line of an input is the FEN, the rest gives the moves. A byte
// of 128 or more there picks a legal move of the position reached (its
// value modulo their number); the other bytes form blank- or line-separated move
// texts, mostly malformed or illegal. The moves are played one at a time,
// each accepted position checked against a fresh computation, and then
// all in one "position" line, which must reach the same position.
#include "session.h"

namespace {

constexpr size_t INPUT_LIMIT = 4096;

// The legal moves of the game position, as perft finds them.
int legalMoves(Position& pos, Move* out) {
  PlyState& st = *pos.cur;
  computeAttacks(pos);
  st.pinned = findBlockers(pos, 1, st.side);
  pos.moveCursor = st.moves;
  generateMoves(pos);
  int n = 0;
  for (const MoveEntry* e = st.moves; e < pos.moveCursor; e++)
    if (!isLegal(pos, Move(e->move))) out[n++] = Move(e->move);
  return n;
}

// What the engine reads of a line: up to the first NUL.
std::string asRead(const char* bytes, size_t size) { return std::string(bytes, strnlen(bytes, size)); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::startEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INPUT_LIMIT) return 0;
  const char* bytes = reinterpret_cast<const char*>(data);
  const char* newline = static_cast<const char*>(memchr(bytes, '\n', size));
  const size_t fenSize = newline ? size_t(newline - bytes) : size;
  std::string fen = asRead(bytes, fenSize);
  // The position line's first "moves" starts its move list: the FEN ends
  // before it.
  fen = fen.substr(0, fen.find("moves"));
  // The reader drops one carriage return at a line's end, and this FEN is
  // sent at the end of a line: none may be left for the engine to drop,
  // also none that stood before "moves".
  while (!fen.empty() && fen.back() == '\r') fen.pop_back();

  // The engine takes the FEN exactly when its own checks accept it;
  // otherwise the position stays the start position set before.
  static Position candidate;
  const bool accepted = parseFen(candidate, fen.c_str()) && isLegalPosition(candidate);
  fuzz::runSession("position startpos\nposition fen " + fen);
  if (!accepted) {
    parseFen(candidate, startFen);
    if (mainPosition.cur->key != candidate.plies[0].key) fuzz::fail("a refused FEN changed the position");
  }
  fuzz::checkGamePosition();

  // One move at a time, up to the first one the engine refuses.
  std::string moves;
  for (size_t i = fenSize + 1; i < size;) {
    std::string text;
    if (data[i] >= 128) {
      Move legal[MOVE_LIST_SIZE];
      const int n = legalMoves(mainPosition, legal);
      if (n) {
        char move[8];
        moveToText(mainPosition, legal[data[i] % n], move, chess960Option);
        text = move;
      }
      i++;
    } else {
      // Blanks and line ends separate move texts, as they do in a line.
      const auto separates = [](uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
      const size_t start = i;
      while (i < size && data[i] < 128 && !separates(data[i])) i++;
      text = asRead(bytes + start, i - start);
      while (i < size && separates(data[i])) i++;
    }
    if (text.empty()) continue;
    moves += " " + text;
    const int before = mainPosition.keyCount;
    applyMoveList(text.c_str());
    if (mainPosition.keyCount == before) break;
    fuzz::checkGamePosition();
  }

  // The same moves in one line.
  static Position reached;
  copyPositionData(reached, mainPosition);
  fuzz::runSession(std::string("position startpos\n") + (accepted ? "position fen " + fen : "position startpos") +
                   " moves" + moves);
  const PlyState &a = *reached.cur, &b = *mainPosition.cur;
  if (a.key != b.key || memcmp(reached.board, mainPosition.board, 64) || reached.keyCount != mainPosition.keyCount ||
      a.castling != b.castling || a.epSquare != b.epSquare || a.fifty != b.fifty)
    fuzz::fail("one position line reached another position than its moves one at a time");
  fuzz::checkGamePosition();
  return 0;
}
