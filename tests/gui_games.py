#!/usr/bin/env python3
"""Games between two UCI engines, driven as a pondering chess interface does.

  tests/gui_games.py [options] ENGINE1 ENGINE2

The driver keeps the clocks, ponders after each "bestmove X ponder Y" (then
"ponderhit", or "stop", the real position and "go" in one write), sends
"isready" and "stop" at random moments, "ucinewgame" before each game and
Hash, MultiPV or Threads settings between moves, all chosen by the seed. A
time loss, an illegal move or ponder move, a crash, silence, a second
bestmove or one while pondering, standard error output or a refused line is
a bad end, printed with the conversation before it. Legal moves and the board
come from a separate reference process ("divide 1", "taulell"). With --fens
the games start from those positions, ENGINE1 playing the side to move, and
--expect-mate makes every game that ENGINE1 does not win by mate a bad end
(as for endgame table conversions). The last line
  gui_games: G games, B bad ends, slowest stop S ms, slowest isready R ms
names the slowest answers to a random stop and isready; the exit status is 1
when B > 0.
"""
import argparse, collections, os, queue, random, re, subprocess, sys, threading, time

BESTMOVE = re.compile(r"bestmove (\S+)(?: ponder (\S+))?$")
DIVIDE_LINE = re.compile(r"([a-h][1-8][a-h][1-8][nbrq]?) 1$")
BOARD_ROW = re.compile(r"[PCADRTpcadrt_]{8}$")
# Info strings an engine prints when it did not take a line as meant.
REFUSAL = re.compile(r"info string .*(illegal|refused|ignored|could not)")
# Chances, per move, of the interface's habits.
OPTION_CHANGE, DEFERRED_OPTION, NO_PONDER = 0.08, 0.04, 0.1
READY_MOVER, READY_OTHER, STOP_DURING, STOP_AFTER = 0.2, 0.1, 0.06, 0.06
OPTION_VALUES = {"Hash": [1, 2, 8, 16, 32], "MultiPV": [1, 2, 3], "Threads": [1, 2]}


class Bad(Exception):
    """A game that ends by a fault of the engine at index args[0], for the reason args[1]."""


class Engine:
    """An engine process; a thread puts each output line, with the time it
    was read, on the shared queue (None when the output ends)."""

    def __init__(self, index, command, events, log):
        self.index, self.events, self.log = index, events, log
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.errors = []
        self.searches = []  # unanswered "go" lines: dicts with kind, start, stopped, answer
        self.readies = []  # unanswered "isready" lines: send time, whether sent at a random moment
        self.ponder = None  # the running ponder search and its predicted move
        self.uciok = False
        threading.Thread(target=self._read, daemon=True).start()
        threading.Thread(target=lambda: self.errors.extend(self.proc.stderr), daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self.events.put((time.monotonic(), self.index, raw.decode(errors="replace").rstrip("\r\n")))
        self.events.put((time.monotonic(), self.index, None))

    def send(self, text):
        """Writes text in one write and returns the time just before it."""
        for line in text.splitlines():
            self.log(self.index, ">", line)
        data, now = text.encode(), time.monotonic()
        try:
            while data:
                data = data[os.write(self.proc.stdin.fileno(), data):]
        except OSError as error:
            raise Bad(self.index, f"crash: input closed ({error.strerror})")
        return now

    def error_text(self):
        return "standard error: " + b"".join(self.errors)[:200].decode(errors="replace")

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()


def attacked(board, square, by_white):
    """Whether a piece of the given colour attacks square (0 = a8, 63 = h1)."""
    row, col = divmod(square, 8)
    theirs = str.upper if by_white else str.lower

    def at(r, c):
        return board[r * 8 + c] if 0 <= r < 8 and 0 <= c < 8 else ""

    pawn_row = row + 1 if by_white else row - 1
    if theirs("P") in (at(pawn_row, col - 1), at(pawn_row, col + 1)):
        return True
    for dr in range(-2, 3):
        for dc in range(-2, 3):
            if abs(dr * dc) == 2 and at(row + dr, col + dc) == theirs("C"):
                return True
            if max(abs(dr), abs(dc)) != 1:
                continue
            r, c = row + dr, col + dc
            if at(r, c) == theirs("R"):
                return True
            while at(r, c) == "_":
                r, c = r + dr, c + dc
            if at(r, c) in (theirs("T" if dr * dc == 0 else "A"), theirs("D")):
                return True
    return False


class Gui:
    def __init__(self, args):
        self.args = args
        self.base, self.inc = (round(float(x) * 1000) for x in args.tc.split("+"))
        self.events, self.timers = queue.Queue(), []
        self.recent = collections.deque(maxlen=40)
        self.logfile = open(args.log, "w") if args.log else None
        self.t0 = time.monotonic()
        self.slowest_stop = self.slowest_ready = 0.0
        self.reference = Engine("reference", args.reference or args.engine1, queue.Queue(), lambda *_: None)
        self.start = "startpos"
        self.fens = [line.strip() for line in open(args.fens) if line.strip()] if args.fens else []
        self.engines = [None, None]
        self.names = [os.path.basename(args.engine1), os.path.basename(args.engine2)]
        if self.names[0] == self.names[1]:
            self.names = [n + str(i + 1) for i, n in enumerate(self.names)]

    def log(self, who, direction, line):
        text = f"{time.monotonic() - self.t0:10.3f} {self.names[who]} {direction} {line}"
        if not line.startswith("info") or line.startswith("info string"):
            self.recent.append(text)
        if self.logfile:
            self.logfile.write(text + "\n")

    def query(self, moves):
        """The legal moves and the board after moves, from the reference."""
        self.reference.send(f"position {self.start} moves {' '.join(moves)}\ndivide 1\ntaulell\nisready\n")
        lines = []
        while True:
            try:
                line = self.reference.events.get(timeout=30)[2]
            except queue.Empty:
                line = None
            if line is None or line.startswith("info string"):
                sys.exit(f"gui_games: the reference engine fails after {' '.join(moves)}: {line or 'no answer'}")
            if line == "readyok":
                break
            lines.append(line)
        board = "".join(line for line in lines if BOARD_ROW.match(line))
        if len(board) != 64:
            sys.exit("gui_games: no board from the reference engine")
        return [m.group(1) for m in map(DIVIDE_LINE.match, lines) if m], board

    def start_engines(self):
        self.engines = [Engine(i, command, self.events, self.log)
                        for i, command in enumerate((self.args.engine1, self.args.engine2))]
        for e in self.engines:
            e.send("uci\n")
        for e in self.engines:
            self.pump(lambda: e.uciok, self.args.silence, e.index, "no uciok")
            e.send("setoption name Ponder value true\n" if self.args.ponder else "")
            for name, value in (option.split("=", 1) for option in (self.args.option1, self.args.option2)[e.index]):
                e.send(f"setoption name {name} value {value}\n")

    def stop_engines(self):
        """Sends quit; an engine that does not end at once, or not with
        status 0, or wrote to standard error, is a fault."""
        for e in self.engines:
            try:
                e.send("quit\n")
            except Bad:
                pass
        faults = []
        for e in self.engines:
            try:
                status = e.proc.wait(timeout=self.args.silence)
            except subprocess.TimeoutExpired:
                status = "none: it did not end after quit"
            e.kill()
            faults += [(e.index, f"exit status {status}")] if status != 0 else []
            faults += [(e.index, e.error_text())] if e.errors else []
        return faults

    def handle(self, t, who, line):
        e = self.engines[who]
        self.log(who, "<", line if line is not None else "(end of output)")
        if line is None:
            raise Bad(who, f"crash: the output ended, exit status {e.proc.wait()}")
        if line.startswith("bestmove"):
            if not e.searches:
                raise Bad(who, "a bestmove for no search (a second bestmove)")
            search = e.searches.pop(0)
            if "stopped" in search:
                self.slowest_stop = max(self.slowest_stop, t - search["stopped"])
            elif search["kind"] == "ponder":
                raise Bad(who, "a bestmove while pondering, before ponderhit or stop")
            if not BESTMOVE.match(line):
                raise Bad(who, f"a malformed bestmove line: {line}")
            search["answer"] = (t, line)
        elif line == "readyok":
            if not e.readies:
                raise Bad(who, "a readyok for no isready")
            sent, random_moment = e.readies.pop(0)
            if random_moment:
                self.slowest_ready = max(self.slowest_ready, t - sent)
        elif line == "uciok":
            e.uciok = True
        elif REFUSAL.match(line):
            raise Bad(who, f"it refused a line: {line}")
        if e.errors:
            raise Bad(who, e.error_text())

    def pump(self, done, seconds, who, what):
        """Handles output and timers until done(); after the given seconds
        without that, the engine at index who is silent."""
        deadline = time.monotonic() + seconds
        while not done():
            now = time.monotonic()
            while self.timers and self.timers[0][0] <= now:
                self.timers.pop(0)[1]()
            if now >= deadline:
                raise Bad(who, f"silence: {what} within {seconds:.1f} s")
            wake = min(deadline, self.timers[0][0]) if self.timers else deadline
            try:
                self.handle(*self.events.get(timeout=max(wake - now, 0.0005)))
            except queue.Empty:
                pass

    def at(self, delay, action):
        self.timers.append((time.monotonic() + delay, action))
        self.timers.sort(key=lambda timer: timer[0])

    def isready(self, e, random_moment=True):
        e.readies.append((e.send("isready\n"), random_moment))

    def stop(self, e, search):
        """Sends stop during the search, or just after its end while the
        engine is idle, never into a later search."""
        if "answer" in search and (e.searches or e.ponder):
            return
        t = e.send("stop\n")
        if "answer" not in search:
            search.setdefault("stopped", t)

    def wait_ready(self, e):
        """As an interface waits after settings; the answer may take as long
        as the engine's work on them, so it is left out of the slowest."""
        self.isready(e, False)
        self.pump(lambda: not e.readies, self.args.silence, e.index, "no readyok")

    def go_line(self, clocks, ponder=False):
        nodes = f" nodes {self.args.nodes}" if self.args.nodes else ""
        return (f"go{' ponder' if ponder else ''} wtime {max(int(clocks[0]), 1)} btime {max(int(clocks[1]), 1)}"
                f" winc {self.inc} binc {self.inc}{nodes}\n")

    def start_search(self, e, moves, clocks, rng):
        """Sends the mover its position and go, or ponderhit, and returns the
        search whose bestmove is the move."""
        position = f"position {self.start} moves {' '.join(moves)}\n"
        if e.ponder:
            (search, predicted), e.ponder = e.ponder, None
            if predicted == moves[-1]:
                search.update(kind="move", via="ponderhit", start=e.send("ponderhit\n"))
                return search
            search["stopped"] = e.send("stop\n" + position + self.go_line(clocks))
            search = {"kind": "move", "via": "a ponder miss", "start": search["stopped"]}
        else:
            if rng.random() < OPTION_CHANGE:
                e.send(set_option(rng))
                self.wait_ready(e)
            search = {"kind": "move", "via": "go", "start": e.send(position + self.go_line(clocks))}
        e.searches.append(search)
        return search

    def start_ponder(self, e, moves, predicted, clocks, rng):
        text = f"position {self.start} moves {' '.join(moves + [predicted])}\n" + self.go_line(clocks, True)
        search = {"kind": "ponder", "start": e.send(text + (set_option(rng) if rng.random() < DEFERRED_OPTION else ""))}
        e.searches.append(search)
        e.ponder = (search, predicted)

    def play(self, game, white, fen):
        """Plays one game with engine index white as white, from fen if
        given; returns the result text and how the game ended."""
        rng = random.Random(f"{self.args.seed}-{game}")
        self.start = f"fen {fen}" if fen else "startpos"
        first = 1 if fen and fen.split()[1] == "b" else 0
        moves = []
        for _ in range(self.args.opening_plies):
            legal, _ = self.query(moves)
            if not legal:
                break
            moves.append(rng.choice(sorted(legal)))
        for e in self.engines:
            e.send(f"ucinewgame\nsetoption name Hash value 16\nsetoption name MultiPV value 1\n"
                   f"setoption name Threads value {self.args.threads}\n")
            self.wait_ready(e)
        clocks = [float(self.base), float(self.base)]
        seen = collections.Counter()
        quiet_plies, pondered = int(fen.split()[4]) if fen else 0, None
        while True:
            side = (len(moves) + first) % 2
            mover, other = self.engines[white ^ side], self.engines[white ^ side ^ 1]
            legal, board = self.query(moves)
            if pondered is not None:
                if pondered not in legal:
                    raise Bad(other.index, f"an illegal ponder move {pondered} after {moves[-1]}")
                self.start_ponder(other, moves, pondered, clocks, rng)
                pondered = None
            seen[(board, side, tuple(sorted(legal)))] += 1
            if not legal:
                if attacked(board, board.index("R" if side == 0 else "r"), side == 1):
                    return ("0-1" if side == 0 else "1-0"), "mate"
                return "1/2-1/2", "stalemate"
            pieces = [c for c in board if c != "_"]
            if len(pieces) <= 3 and all(c in "RrCcAa" for c in pieces):
                return "1/2-1/2", "insufficient material"
            if max(seen.values()) >= 3:
                return "1/2-1/2", "threefold repetition"
            if quiet_plies >= 100:
                return "1/2-1/2", "fifty-move rule"
            if len(moves) >= self.args.max_plies:
                return "1/2-1/2", "move cap"

            search = self.start_search(mover, moves, clocks, rng)
            if rng.random() < READY_MOVER:
                self.at(rng.uniform(0, 0.05), lambda: self.isready(mover))
            if rng.random() < READY_OTHER:
                self.at(rng.uniform(0, 0.05), lambda: self.isready(other))
            if rng.random() < STOP_DURING:
                self.at(rng.uniform(0, 0.03), lambda s=search: self.stop(mover, s))
            self.pump(lambda: "answer" in search, max(clocks[side] + self.args.margin, 0) / 1000 + self.args.silence,
                      mover.index, f"no bestmove ({clocks[side]:.0f} ms on its clock)")
            t, line = search["answer"]
            if rng.random() < STOP_AFTER:
                mover.send("stop\n")
            used = (t - search["start"]) * 1000
            clocks[side] -= used
            if clocks[side] < -self.args.margin:
                raise Bad(mover.index, f"loses on time: {used:.0f} ms after {search['via']} with "
                                       f"{clocks[side] + used:.0f} ms on its clock")
            clocks[side] += self.inc
            move, ponder = BESTMOVE.match(line).groups()
            if move not in legal:
                raise Bad(mover.index, f"an illegal move {move}")
            quiet_plies = 0 if board[square(move[:2])] in "Pp" or board[square(move[2:4])] != "_" else quiet_plies + 1
            moves.append(move)
            if self.args.ponder and ponder and rng.random() >= NO_PONDER:
                pondered = ponder

    def run(self):
        bad, tally = 0, collections.Counter()
        for game in range(1, self.args.games + 1):
            fen = self.fens[(game - 1) % len(self.fens)] if self.fens else None
            white = (1 if fen.split()[1] == "b" else 0) if fen else (game - 1) % 2
            label = f"game {game}: {self.names[white]} - {self.names[white ^ 1]}"
            try:
                if not self.engines[0]:
                    self.start_engines()
                result, how = self.play(game, white, fen)
                # Stops the ponder searches and waits for every bestmove owed.
                for e in self.engines:
                    if e.ponder:
                        self.stop(e, e.ponder[0])
                        e.ponder = None
                self.timers.clear()
                for e in self.engines:
                    self.pump(lambda: not e.searches and not e.readies, self.args.silence, e.index,
                              "no bestmove after stop")
                if self.args.expect_mate and (how != "mate" or (result == "1-0") != (white == 0)):
                    raise Bad(0, f"no mate from {fen}: {result} ({how})")
                tally[how] += 1
                print(f"{label} {result} ({how})", flush=True)
            except Bad as fault:
                bad += 1
                print(f"{label}: BAD END, {self.names[fault.args[0]]}: {fault.args[1]}")
                print("  " + "\n  ".join(self.recent), flush=True)
                for e in filter(None, self.engines):
                    e.kill()
                self.engines, self.events = [None, None], queue.Queue()
                self.timers.clear()
        for who, reason in self.stop_engines() if self.engines[0] else []:
            bad += 1
            print(f"at the end, BAD END, {self.names[who]}: {reason}")
        self.reference.kill()
        ends = ", ".join(f"{n} {how}" for how, n in sorted(tally.items()))
        print(f"ends: {ends or 'none'}")
        print(f"gui_games: {self.args.games} games, {bad} bad ends, slowest stop {self.slowest_stop * 1000:.0f} ms, "
              f"slowest isready {self.slowest_ready * 1000:.0f} ms", flush=True)
        return bad


def square(name):
    return (8 - int(name[1])) * 8 + ord(name[0]) - ord("a")


def set_option(rng):
    name = rng.choice(sorted(OPTION_VALUES))
    return f"setoption name {name} value {rng.choice(OPTION_VALUES[name])}\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("engine1")
    parser.add_argument("engine2")
    parser.add_argument("--games", type=int, default=10)
    parser.add_argument("--tc", default="10+0.1", help="seconds+increment, e.g. 1+0.01 (default 10+0.1)")
    parser.add_argument("--nodes", type=int, default=0, help="a node limit on every go, besides the clocks")
    parser.add_argument("--threads", type=int, default=1, help="Threads at the start of each game")
    parser.add_argument("--no-ponder", dest="ponder", action="store_false")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--opening-plies", type=int, default=4, help="random legal plies before the engines play")
    parser.add_argument("--max-plies", type=int, default=200, help="a draw when the game reaches this length")
    parser.add_argument("--margin", type=float, default=0, help="ms an engine may overstep its clock")
    parser.add_argument("--silence", type=float, default=10, help="s of grace for an answer beyond the clock")
    parser.add_argument("--reference", help="the engine that lists legal moves (default ENGINE1)")
    parser.add_argument("--log", help="write the whole conversation to this file")
    parser.add_argument("--fens", help="a file of start positions, one FEN a line, taken in turn")
    parser.add_argument("--option1", action="append", default=[], help="NAME=VALUE, set in ENGINE1 (repeatable)")
    parser.add_argument("--option2", action="append", default=[], help="NAME=VALUE, set in ENGINE2 (repeatable)")
    parser.add_argument("--expect-mate", action="store_true", help="a bad end unless ENGINE1 mates")
    parser.add_argument("--skip-unless", help="exit with status 77 (skipped) when this path does not exist")
    args = parser.parse_args()
    if args.skip_unless and not os.path.exists(args.skip_unless):
        print(f"gui_games: {args.skip_unless} not found; skipping")
        return 77
    return 1 if Gui(args).run() else 0


if __name__ == "__main__":
    sys.exit(main())
