#!/usr/bin/env python3
"""What the endgame tables bring, with and without them.

  bench/tablebases.py [--games N] [--tc TC] [--nodes N] [engine]

1. The 20 won positions of tests/tablebase_wins.fen, played out by the
   engine at --nodes a move (default 2000) against itself with tables:
   how many it mates within the fifty-move rule with tables and without.
2. The node rate of middlegame searches to a fixed depth with the tables
   loaded and not (three rounds each, alternating); the node counts must
   match, so only the speed can differ.
3. --games games (default 100) against Debian's toga2 at --tc (default
   5+0.05) through ../shared/tools/match.sh, with tables and without.
The tables are read from $SYZYGY (default ~/.cache/quillon-tools/syzygy/345;
../shared/tools/syzygy-gen --dir DIR makes them). Run it on a quiet machine:
under load even the peers lose games on time. Games and logs go to $OUTDIR
(default matches/tablebases-DATE).
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIDDLEGAMES = [
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp1pppbp/2n3p1/2n5/2B4B/2N1P3/PPP1NPPP/R2QK2R w KQ - 4 9",
    "2q1rr1k/3bbnnp/p2p1pp1/2pPp3/PpP1P1P1/1P2BNNP/2BQ1PRK/7R b - - 0 1",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 1",
]


def conversions(engine, tables, nodes, with_tables):
    """Games of the 20 positions that the engine wins by mate."""
    command = [sys.executable, os.path.join(ROOT, "tests/gui_games.py"), "--fens",
               os.path.join(ROOT, "tests/tablebase_wins.fen"), "--games", "20", "--nodes", str(nodes),
               "--tc", "600+1", "--max-plies", "400", "--opening-plies", "0", "--no-ponder", "--expect-mate",
               "--option2", f"SyzygyPath={tables}", engine, engine]
    if with_tables:
        command[2:2] = ["--option1", f"SyzygyPath={tables}"]
    out = subprocess.run(command, capture_output=True, text=True).stdout
    summary = re.search(r"gui_games: (\d+) games, (\d+) bad ends", out)
    if not summary:
        sys.exit("no summary from gui_games:\n" + out[-2000:])
    return int(summary.group(1)) - int(summary.group(2))


def search_figures(engine, option, depth):
    """Nodes of the middlegame searches (as their last info lines count
    them) and the seconds from each go to its bestmove."""
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    proc.stdin.write(f"{option}\nsetoption name Hash value 16\n")
    nodes, seconds = 0, 0.0
    for fen in MIDDLEGAMES:
        proc.stdin.write(f"ucinewgame\nposition fen {fen}\nisready\n")
        proc.stdin.flush()
        while proc.stdout.readline().strip() != "readyok":
            pass
        start = time.monotonic()
        proc.stdin.write(f"go depth {depth}\n")
        proc.stdin.flush()
        last = ""
        for line in proc.stdout:
            if line.startswith("bestmove"):
                break
            last = line if " nodes " in line else last
        seconds += time.monotonic() - start
        nodes += int(re.search(r" nodes (\d+)", last).group(1))
    proc.stdin.close()
    proc.wait()
    return nodes, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("engine", nargs="?", default=os.path.join(ROOT, "build/quillon"))
    parser.add_argument("--games", type=int, default=100)
    parser.add_argument("--tc", default="5+0.05")
    parser.add_argument("--nodes", type=int, default=2000)
    parser.add_argument("--depth", type=int, default=13, help="depth of the node-rate searches")
    args = parser.parse_args()
    engine = os.path.abspath(args.engine)
    tables = os.environ.get("SYZYGY", os.path.expanduser("~/.cache/quillon-tools/syzygy/345"))
    if not os.path.exists(os.path.join(tables, "KBNvK.rtbz")):
        sys.exit(f"no tables in {tables}: ../shared/tools/syzygy-gen --dir {tables} makes them")

    print(f"== 20 won positions at {args.nodes} nodes a move, against the engine with tables", flush=True)
    for with_tables in (False, True):
        won = conversions(engine, tables, args.nodes, with_tables)
        print(f"{'with' if with_tables else 'without'} tables: {won}/20 mated", flush=True)

    print(f"== node rate of {len(MIDDLEGAMES)} middlegame searches to depth {args.depth}", flush=True)
    rates = {False: [], True: []}
    counts = set()
    for _ in range(3):
        for loaded in (False, True):
            option = f"setoption name SyzygyPath value {tables}" if loaded else ""
            nodes, seconds = search_figures(engine, option, args.depth)
            counts.add(nodes)
            rates[loaded].append(int(nodes / seconds))
    for loaded in (False, True):
        print(f"tables {'loaded' if loaded else 'absent'}: nps {rates[loaded]}, median {statistics.median(rates[loaded])}")
    print(f"node counts {'equal' if len(counts) == 1 else 'DIFFER'}: {sorted(counts)}", flush=True)

    match = os.path.join(ROOT, "../shared/tools/match.sh")
    if not os.access("/usr/games/toga2", os.X_OK):
        sys.exit("/usr/games/toga2 missing: apt-get install toga2")
    out = os.environ.get("OUTDIR", f"matches/tablebases-{time.strftime('%Y%m%d-%H%M%S')}")
    for with_tables in (True, False):
        name = "quillon-tables" if with_tables else "quillon"
        print(f"== {args.games} games at {args.tc} against toga2, {name}", flush=True)
        env = dict(os.environ, NAME1=name, OUTDIR=os.path.join(out, name),
                   OPTS1=f"SyzygyPath={tables}" if with_tables else "")
        subprocess.run([match, engine, "/usr/games/toga2", args.tc, str(args.games)], env=env)


if __name__ == "__main__":
    main()
