#!/usr/bin/env python3
"""Games between two UCI engines, driven as a pondering chess interface does.

  tests/gui_games.py [options] ENGINE1 ENGINE2

After each "bestmove X ponder Y" the mover is sent the position after X and
Y with "go ponder"; when the opponent then plays Y it gets "ponderhit",
otherwise "stop", the real position and "go" in one write, with the clocks
as they are. The driver keeps the clocks itself. Along the way it sends
"isready" at random moments, "stop" at random moments of a search (also
just as it ends), "ucinewgame" before each game and now and then a Hash,
MultiPV or Threads setting between moves; every choice comes from the seed.

A game ends badly, with the fault named and the last lines of the
conversation printed, when an engine plays an illegal move or ponder move,
loses on time, ends or closes its output, stays silent (no bestmove, or no
readyok, within the --silence grace), prints a second bestmove or one while
it ponders, writes to standard error, or says that it refused a line.

Legality is never taken from the engines under test: a separate reference
process (ENGINE1's program unless --reference names another) lists the
legal moves of every position with "divide 1" and prints the board with
"taulell". Games end by mate or stalemate, and are drawn by threefold
repetition, the fifty-move rule, bare kings or a lone minor piece, or at
--max-plies. With --fens the games start from those positions instead,
ENGINE1 playing the side to move, and --expect-mate makes every game that
ENGINE1 does not win by mate a bad end (as for endgame table conversions).
The last line reads
  gui_games: G games, B bad ends, slowest stop S ms, slowest isready R ms
(the slowest answers to a stop and to an isready sent at a random moment)
and the exit status is 1 when B > 0.
"""
import argparse
import collections
import os
import queue
import random
import re
import subprocess
import sys
import threading
import time

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
    """A game that ends by a fault of the engine at index who."""

    def __init__(self, who, reason):
        super().__init__(reason)
        self.who, self.reason = who, reason


class Engine:
    """An engine process; a thread puts each output line, with the time it
    was read, on the shared queue (None when the output ends)."""

    def __init__(self, index, command, events, gui):
        self.index, self.gui = index, gui
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.errors = []
        self.searches = []  # unanswered "go" lines: dicts with kind, start, stopped
        self.readies = []  # unanswered "isready" lines: send time, whether sent at a random moment
        self.ponder = None  # the running ponder search and its predicted move
        self.uciok = False
        threading.Thread(target=self._read, args=(events,), daemon=True).start()
        threading.Thread(target=lambda: self.errors.extend(self.proc.stderr), daemon=True).start()

    def _read(self, events):
        for raw in self.proc.stdout:
            events.put((time.monotonic(), self.index, raw.decode(errors="replace").rstrip("\r\n")))
        events.put((time.monotonic(), self.index, None))

    def send(self, text):
        """Writes text in one write and returns the time just before it."""
        for line in text.splitlines():
            self.gui.log(self.index, ">", line)
        data, now = text.encode(), time.monotonic()
        try:
            while data:
                data = data[os.write(self.proc.stdin.fileno(), data):]
        except OSError as error:
            raise Bad(self.index, f"crash: input closed ({error.strerror})")
        return now

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()


class Reference:
    """The legal moves and the board of a position, from a separate process."""

    def __init__(self, command):
        self.events = queue.Queue()
        self.engine = Engine("reference", command, self.events, self)

    def log(self, *_):
        pass

    def query(self, start, moves):
        self.engine.send(f"position {start} moves {' '.join(moves)}\ndivide 1\ntaulell\nisready\n")
        lines = []
        while True:
            try:
                _, _, line = self.events.get(timeout=30)
            except queue.Empty:
                line = None
            if line is None:
                sys.exit("gui_games: the reference engine does not answer")
            if line == "readyok":
                break
            if line.startswith("info string"):
                sys.exit(f"gui_games: the reference engine refused {' '.join(moves)}: {line}")
            lines.append(line)
        legal = [m.group(1) for m in map(DIVIDE_LINE.match, lines) if m]
        board = "".join(line for line in lines if BOARD_ROW.match(line))
        if len(board) != 64:
            sys.exit("gui_games: no board from the reference engine")
        return legal, board


def attacked(board, square, by_white):
    """Whether a piece of the given colour attacks square (0 = a8, 63 = h1)."""
    row, col = divmod(square, 8)

    def at(r, c):
        return board[r * 8 + c] if 0 <= r < 8 and 0 <= c < 8 else ""

    def theirs(letter):
        return letter.upper() if by_white else letter.lower()

    pawn_row = row + 1 if by_white else row - 1
    if theirs("P") in (at(pawn_row, col - 1), at(pawn_row, col + 1)):
        return True
    for dr, dc, letter in [(1, 2, "C"), (2, 1, "C")] + [(1, 0, "R"), (1, 1, "R"), (0, 1, "R")]:
        for sr, sc in ((1, 1), (1, -1), (-1, 1), (-1, -1)):
            if at(row + sr * dr, col + sc * dc) == theirs(letter):
                return True
    for dr, dc in ((1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (1, -1), (-1, 1), (-1, -1)):
        sliders = (theirs("T") if dr == 0 or dc == 0 else theirs("A")), theirs("D")
        r, c = row + dr, col + dc
        while at(r, c) == "_":
            r, c = r + dr, c + dc
        if at(r, c) in sliders:
            return True
    return False


def square_index(name):
    return (8 - int(name[1])) * 8 + ord(name[0]) - ord("a")


class Gui:
    def __init__(self, args):
        self.args = args
        self.base, self.inc = (round(float(x) * 1000) for x in args.tc.split("+"))
        self.events = queue.Queue()
        self.timers = []
        self.recent = collections.deque(maxlen=40)
        self.logfile = open(args.log, "w") if args.log else None
        self.t0 = time.monotonic()
        self.slowest_stop = self.slowest_ready = 0.0
        self.reference = Reference(args.reference or args.engine1)
        self.engines = [None, None]
        self.start = "startpos"
        self.fens = [line.strip() for line in open(args.fens) if line.strip()] if args.fens else []
        self.names = [os.path.basename(args.engine1), os.path.basename(args.engine2)]
        if self.names[0] == self.names[1]:
            self.names = [n + str(i + 1) for i, n in enumerate(self.names)]

    def log(self, who, direction, line):
        text = f"{time.monotonic() - self.t0:10.3f} {self.names[who]} {direction} {line}"
        if not line.startswith("info") or line.startswith("info string"):
            self.recent.append(text)
        if self.logfile:
            self.logfile.write(text + "\n")

    # ---- Engines ----

    def start_engines(self):
        for i, command in enumerate((self.args.engine1, self.args.engine2)):
            self.engines[i] = Engine(i, command, self.events, self)
        for e in self.engines:
            e.send("uci\n")
        for e in self.engines:
            self.pump(lambda: e.uciok, self.args.silence, e.index, "no uciok")
            e.send("setoption name Ponder value true\n" if self.args.ponder else "")
            for option in (self.args.option1, self.args.option2)[e.index]:
                name, value = option.split("=", 1)
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
            if status != 0:
                faults.append((e.index, f"exit status {status}"))
            if e.errors:
                faults.append((e.index, "standard error: " + b"".join(e.errors)[:200].decode(errors="replace")))
        return faults

    def handle(self, t, who, line):
        e = self.engines[who]
        self.log(who, "<", line if line is not None else "(end of output)")
        if line is None:
            e.proc.wait()
            raise Bad(who, f"crash: the output ended, exit status {e.proc.returncode}")
        if line.startswith("bestmove"):
            if not e.searches:
                raise Bad(who, "a bestmove for no search (a second bestmove)")
            search = e.searches.pop(0)
            if search["kind"] == "ponder" and "stopped" not in search:
                raise Bad(who, "a bestmove while pondering, before ponderhit or stop")
            if "stopped" in search:
                self.slowest_stop = max(self.slowest_stop, t - search["stopped"])
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
            raise Bad(who, "standard error: " + b"".join(e.errors)[:200].decode(errors="replace"))

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
            wait = deadline - now
            if self.timers:
                wait = min(wait, self.timers[0][0] - now)
            try:
                self.handle(*self.events.get(timeout=max(wait, 0.0005)))
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

    def set_option(self, rng):
        name = rng.choice(sorted(OPTION_VALUES))
        return f"setoption name {name} value {rng.choice(OPTION_VALUES[name])}\n"

    # ---- One game ----

    def go_line(self, clocks, ponder=False):
        line = f"go{' ponder' if ponder else ''} wtime {max(int(clocks[0]), 1)} btime {max(int(clocks[1]), 1)}"
        line += f" winc {self.inc} binc {self.inc}"
        return line + (f" nodes {self.args.nodes}" if self.args.nodes else "") + "\n"

    def start_search(self, e, moves, clocks, rng):
        """Sends the mover its position and go, or ponderhit, and returns the
        search whose bestmove is the move."""
        position = f"position {self.start} moves {' '.join(moves)}\n"
        if e.ponder:
            search, predicted = e.ponder
            e.ponder = None
            if predicted == moves[-1]:
                search.update(kind="move", via="ponderhit", start=e.send("ponderhit\n"))
                return search
            t = e.send("stop\n" + position + self.go_line(clocks))
            search["stopped"] = t
            search = {"kind": "move", "via": "a ponder miss", "start": t}
        else:
            if rng.random() < OPTION_CHANGE:
                e.send(self.set_option(rng))
                self.wait_ready(e)
            search = {"kind": "move", "via": "go", "start": e.send(position + self.go_line(clocks))}
        e.searches.append(search)
        return search

    def start_ponder(self, e, moves, predicted, clocks, rng):
        search = {"kind": "ponder"}
        text = f"position {self.start} moves {' '.join(moves + [predicted])}\n" + self.go_line(clocks, True)
        if rng.random() < DEFERRED_OPTION:
            text += self.set_option(rng)
        search["start"] = e.send(text)
        e.searches.append(search)
        e.ponder = (search, predicted)

    def new_game(self, rng):
        for e in self.engines:
            text = "ucinewgame\n"
            for name, value in (("Hash", 16), ("MultiPV", 1), ("Threads", self.args.threads)):
                text += f"setoption name {name} value {value}\n"
            e.send(text)
            self.wait_ready(e)

    def opening(self, rng):
        moves = []
        for _ in range(self.args.opening_plies):
            legal, _ = self.reference.query(self.start, moves)
            if not legal:
                break
            moves.append(rng.choice(sorted(legal)))
        return moves

    def play(self, game, white, fen):
        """Plays one game with engine index white as white, from fen if
        given; returns the result text and how the game ended."""
        rng = random.Random(f"{self.args.seed}-{game}")
        self.start = f"fen {fen}" if fen else "startpos"
        first = 1 if fen and fen.split()[1] == "b" else 0
        moves = self.opening(rng)
        self.new_game(rng)
        clocks = [float(self.base), float(self.base)]
        seen = collections.Counter()
        quiet_plies = int(fen.split()[4]) if fen else 0
        pondered = None
        while True:
            side = (len(moves) + first) % 2
            mover, other = self.engines[white ^ side], self.engines[white ^ side ^ 1]
            legal, board = self.reference.query(self.start, moves)
            if pondered is not None:
                if pondered not in legal:
                    raise Bad(other.index, f"an illegal ponder move {pondered} after {moves[-1]}")
                self.start_ponder(other, moves, pondered, clocks, rng)
                pondered = None
            seen[(board, side, tuple(sorted(legal)))] += 1
            if not legal:
                king = board.index("R" if side == 0 else "r")
                if attacked(board, king, side == 1):
                    return ("0-1" if side == 0 else "1-0"), "mate"
                return "1/2-1/2", "stalemate"
            pieces = sorted(c for c in board if c != "_")
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
            left = clocks[side] / 1000 + self.args.margin / 1000
            self.pump(lambda: "answer" in search, max(left, 0) + self.args.silence, mover.index,
                      f"no bestmove ({clocks[side]:.0f} ms on its clock)")
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
            frm, to = square_index(move[:2]), square_index(move[2:4])
            quiet_plies = 0 if board[frm] in "Pp" or board[to] != "_" else quiet_plies + 1
            moves.append(move)
            if self.args.ponder and ponder and rng.random() >= NO_PONDER:
                pondered = ponder

    def finish_game(self):
        """Stops the ponder searches and waits for every bestmove owed."""
        for e in self.engines:
            if e.ponder:
                self.stop(e, e.ponder[0])
                e.ponder = None
        self.timers.clear()
        for e in self.engines:
            self.pump(lambda: not e.searches and not e.readies, self.args.silence, e.index, "no bestmove after stop")

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
                self.finish_game()
                if self.args.expect_mate and (how != "mate" or (result == "1-0") != (white == 0)):
                    raise Bad(0, f"no mate from {fen}: {result} ({how})")
                tally[how] += 1
                print(f"{label} {result} ({how})", flush=True)
            except Bad as fault:
                bad += 1
                print(f"{label}: BAD END, {self.names[fault.who]}: {fault.reason}")
                print("  " + "\n  ".join(self.recent), flush=True)
                for e in filter(None, self.engines):
                    e.kill()
                self.engines = [None, None]
                self.events = queue.Queue()
                self.timers.clear()
        for who, reason in self.stop_engines() if self.engines[0] else []:
            bad += 1
            print(f"at the end, BAD END, {self.names[who]}: {reason}")
        self.reference.engine.kill()
        ends = ", ".join(f"{n} {how}" for how, n in sorted(tally.items()))
        print(f"ends: {ends}" if ends else "ends: none")
        print(f"gui_games: {self.args.games} games, {bad} bad ends, slowest stop {self.slowest_stop * 1000:.0f} ms, "
              f"slowest isready {self.slowest_ready * 1000:.0f} ms", flush=True)
        return bad


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
