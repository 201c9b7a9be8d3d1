#!/usr/bin/env python3
"""Measures echo_args, echo_count and /bin/echo side by side and prints a
Markdown table, every figure also as a ratio to /bin/echo in the same run.

Usage: bench/compare.py [--check] [BUILD_DIR]   (default: build/release)

With --check it measures only what repeats exactly, the instructions and the
peak memory of the small workload, and fails unless each program stays within
0.52 and 0.60 of /bin/echo's: CI's guard against a slower start.

- instructions: valgrind's callgrind, which counts the same on a busy machine
  as on an idle one;
- peak memory: the least of 5 runs of /usr/bin/time -f %M, the program first
  evicted from the page cache;
- wall time: the median of many runs. The programs take turns, round by
  round and in a rotating order, so that the machine's drift falls on all
  alike. hyperfine times the small workload where it is installed; the large
  one's single command line is too long for hyperfine, so a loop of our own
  times it (and the small one where hyperfine is missing).

Every program runs with an empty environment, so that all set up one locale;
the tools that run them are found once, on the caller's PATH.
"""

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROUNDS = 20
RUNS_PER_ROUND = 50
SMALL = ["Hello,", "world"]
# 60,000 operands of 9 bytes: 600,000 bytes with the separators.
LARGE = [f"{i:09d}" for i in range(60000)]


def tool(name):
    path = shutil.which(name)
    if path is None:
        sys.exit(f"{name}: not found on PATH")
    return path


# The full paths, since the programs measured run with an empty environment
# and so without a PATH of their own.
VALGRIND = tool("valgrind")
TIME = tool("time")
HYPERFINE = shutil.which("hyperfine")


def instructions(cmd):
    err = subprocess.run(
        [VALGRIND, "--tool=callgrind", "--callgrind-out-file=/dev/null"] + cmd,
        env={}, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
        check=True).stderr
    return int(re.search(r"refs:\s+([\d,]+)", err).group(1).replace(",", ""))


def evict(path):
    """Drops a program from the page cache. A file the linker has just
    written sits there in other pieces than one read back from disk, and a run
    maps in more of it (here 644 against 564 KiB); evicted, every program is
    read back alike."""
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fdatasync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)


def peak_kib(cmd):
    evict(cmd[0])
    kib = []
    for _ in range(5):
        with tempfile.NamedTemporaryFile("r") as report:
            subprocess.run([TIME, "-o", report.name, "-f", "%M"] + cmd,
                           env={}, stdout=subprocess.DEVNULL, check=True)
            kib.append(int(report.read().split()[-1]))
    return min(kib)


def seconds_by_hyperfine(cmd):
    with tempfile.NamedTemporaryFile("r", suffix=".json") as report:
        subprocess.run([HYPERFINE, "-N", "--warmup", "5",
                        "--runs", str(RUNS_PER_ROUND),
                        "--export-json", report.name, " ".join(cmd)],
                       env={}, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        return json.load(report)["results"][0]["times"]


def seconds_by_loop(cmd):
    devnull = os.open(os.devnull, os.O_WRONLY)
    times = []
    try:
        for _ in range(RUNS_PER_ROUND):
            start = time.perf_counter()
            pid = os.posix_spawn(cmd[0], cmd, {},
                                 file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
            os.waitpid(pid, 0)
            times.append(time.perf_counter() - start)
    finally:
        os.close(devnull)
    return times


def median_wall_us(cmds, timer):
    times = {name: [] for name in cmds}
    names = list(cmds)
    for round_no in range(ROUNDS):
        # Each round starts with another program, so none is always first.
        shift = round_no % len(names)
        for name in names[shift:] + names[:shift]:
            times[name] += timer(cmds[name])
    return {name: statistics.median(t) * 1e6 for name, t in times.items()}


# The most a small call of ours may cost, as a share of /bin/echo's.
LIMITS = {"instructions": 0.52, "peak memory": 0.60}


def check(paths):
    """Prints the small workload's exact figures and returns whether they
    stay within LIMITS."""
    within = True
    figures = {name: (instructions([path] + SMALL), peak_kib([path] + SMALL))
               for name, path in paths.items()}
    base = figures["/bin/echo"]
    for name, values in figures.items():
        ratios = [value / reference for value, reference in zip(values, base)]
        print(f"{name}: {values[0]:,} instructions ({ratios[0]:.2f}), "
              f"{values[1]:,} KiB ({ratios[1]:.2f})")
        for (what, limit), ratio in zip(LIMITS.items(), ratios):
            if name != "/bin/echo" and ratio > limit:
                print(f"{name}: {what} {ratio:.2f} of /bin/echo's, "
                      f"above {limit}")
                within = False
    return within


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true")
    parser.add_argument("build", nargs="?", default="build/release")
    args = parser.parse_args()
    build = args.build
    paths = {
        "/bin/echo": "/bin/echo",
        "echo_args": os.path.abspath(os.path.join(build, "echo_args")),
        "echo_count": os.path.abspath(os.path.join(build, "echo_count")),
    }
    for path in paths.values():
        if not os.access(path, os.X_OK):
            sys.exit(f"{path}: not found; build the release preset first")
    if args.check:
        sys.exit(0 if check(paths) else 1)

    print("| program | workload | instructions | ratio | peak RSS (KiB) | ratio "
          "| median wall (µs) | ratio |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for workload, operands in (("small", SMALL), ("large", LARGE)):
        cmds = {name: [path] + operands for name, path in paths.items()}
        timer = seconds_by_hyperfine if HYPERFINE and workload == "small" \
            else seconds_by_loop
        wall = median_wall_us(cmds, timer)
        figures = {name: (instructions(cmd), peak_kib(cmd), wall[name])
                   for name, cmd in cmds.items()}
        base = figures["/bin/echo"]
        for name, (ins, kib, us) in figures.items():
            print(f"| {name} | {workload} | {ins:,} | {ins / base[0]:.2f} "
                  f"| {kib:,} | {kib / base[1]:.2f} "
                  f"| {us:,.0f} | {us / base[2]:.2f} |")
    small_timer = "hyperfine" if HYPERFINE else "our own loop"
    print(f"\nWall time: median of {ROUNDS * RUNS_PER_ROUND} runs each, "
          f"timed by {small_timer} (small) and our own loop (large).")


if __name__ == "__main__":
    main()
