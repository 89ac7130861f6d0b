#!/usr/bin/env python3
"""Start-up and first-search figures of an engine, from fresh processes.

  bench/startup.py [engine] [starts]

Prints the median and slowest time from starting the engine to its "uciok",
and, for fresh engines that answered "isready", the slowest answer to
"go movetime 300" with the depth it reached: a first search that pays for
tables the engine set up lazily runs late or shallow.
"""
import statistics
import subprocess
import sys
import time


def start(engine):
    return subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)


def until(process, prefix):
    """Reads lines up to the one that starts with prefix; returns them all."""
    lines = []
    for line in process.stdout:
        lines.append(line)
        if line.startswith(prefix):
            return lines
    raise SystemExit(f"the engine ended before '{prefix}'")


def finish(process):
    process.stdin.write("quit\n")
    process.stdin.flush()
    process.wait(timeout=10)


def main():
    engine = sys.argv[1] if len(sys.argv) > 1 else "build/quillon"
    starts = int(sys.argv[2]) if len(sys.argv) > 2 else 20

    times = []
    for _ in range(starts):
        begin = time.perf_counter()
        process = start(engine)
        process.stdin.write("uci\n")
        process.stdin.flush()
        until(process, "uciok")
        times.append((time.perf_counter() - begin) * 1000)
        finish(process)
    print(f"start to uciok: median {statistics.median(times):.1f} ms, slowest {max(times):.1f} ms ({starts} starts)")

    answers, depths = [], []
    for _ in range(max(starts // 2, 1)):
        process = start(engine)
        process.stdin.write("uci\nisready\n")
        process.stdin.flush()
        until(process, "readyok")
        begin = time.perf_counter()
        process.stdin.write("position startpos\ngo movetime 300\n")
        process.stdin.flush()
        lines = until(process, "bestmove")
        answers.append((time.perf_counter() - begin) * 1000)
        depths.append(max([int(l.split()[2]) for l in lines if l.startswith("info depth") and " pv " in l] or [0]))
        finish(process)
    print(f"first go movetime 300: slowest bestmove {max(answers):.0f} ms, median {statistics.median(answers):.0f} ms, "
          f"depth {min(depths)} to {max(depths)} ({len(answers)} starts)")


if __name__ == "__main__":
    main()
