#!/usr/bin/env python3
"""Measures the programs of a build and /bin/echo side by side and prints a
Markdown table, every figure also as a ratio to /bin/echo in the same run.

Usage: bench/compare.py [--check] [BUILD_DIR]   (default: build/release)

With --check it measures only what the machine's load leaves alone, the
instructions and the peak memory of both workloads, and fails unless each program stays within
LIMITS of /bin/echo's: CI's guard against a slower start or a costlier text.

- instructions: valgrind's callgrind, which counts the same on a busy machine
  as on an idle one;
- peak memory: the least of 5 runs of the program's own peak resident memory
  (VmHWM, read as it exits), the program first evicted from the page cache;
- wall time: the median of many runs. The programs take turns, round by
  round and in a rotating order, so that the machine's drift falls on all
  alike. hyperfine times the small workload where it is installed; the large
  one's single command line is too long for hyperfine, so a loop of our own
  times it (and the small one where hyperfine is missing).

Every program runs with an empty environment, so that all set up one locale;
the tools that run them are found once, on the caller's PATH.
"""

import argparse
import ctypes
import json
import os
import re
import shutil
import signal
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
HYPERFINE = shutil.which("hyperfine")

LIBC = ctypes.CDLL(None, use_errno=True)
PTRACE_TRACEME, PTRACE_CONT, PTRACE_SETOPTIONS = 0, 7, 0x4200
PTRACE_O_TRACEEXIT, PTRACE_EVENT_EXIT = 0x40, 6


def instructions(cmd):
    err = subprocess.run(
        [VALGRIND, "--tool=callgrind", "--callgrind-out-file=/dev/null"] + cmd,
        env={}, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
        check=True).stderr
    return int(re.search(r"refs:\s+([\d,]+)", err).group(1).replace(",", ""))


def evict(path):
    """Drops a program from the page cache. A file the linker has just
    written sits there in other pieces than one read back from disk, and a run
    may map in more of it; evicted, every program is read back alike."""
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fdatasync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)


def peak_kib(cmd):
    """The least of 5 runs of the program's own peak resident memory, read
    from /proc as it exits, under ptrace: the program's own figure, where
    the resource usage that wait4 and /usr/bin/time report is another."""
    evict(cmd[0])
    kib = []
    for _ in range(5):
        pid = os.fork()
        if pid == 0:  # the child: traced from its exec on
            try:
                devnull = os.open(os.devnull, os.O_WRONLY)
                os.dup2(devnull, 1)
                LIBC.ptrace(PTRACE_TRACEME, 0, None, None)
                os.execve(cmd[0], cmd, {})
            finally:
                os._exit(127)
        stop(pid, signal.SIGTRAP)  # at the exec
        LIBC.ptrace(PTRACE_SETOPTIONS, pid, None,
                    ctypes.c_void_p(PTRACE_O_TRACEEXIT))
        LIBC.ptrace(PTRACE_CONT, pid, None, None)
        stop(pid, signal.SIGTRAP | PTRACE_EVENT_EXIT << 8)  # about to exit
        with open(f"/proc/{pid}/status") as status:
            kib.append(int(re.search(r"VmHWM:\s+(\d+) kB",
                                     status.read()).group(1)))
        LIBC.ptrace(PTRACE_CONT, pid, None, None)
        _, status = os.waitpid(pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{cmd[0]} failed")
    return min(kib)


def stop(pid, expected):
    """Waits for the traced child to stop with the expected signal and
    event."""
    _, status = os.waitpid(pid, 0)
    if not os.WIFSTOPPED(status) or status >> 8 != expected:
        sys.exit(f"{pid}: unexpected wait status {status:#x}")


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


# The most a call of ours may cost, as a share of /bin/echo's: the small
# one's start-up, and the large one's work on a text built in memory.
LIMITS = {"small": {"instructions": 0.55, "peak memory": 0.60},
          "large": {"instructions": 0.90, "peak memory": 1.05}}


def check(paths):
    """Prints each workload's exact figures and returns whether they stay
    within LIMITS."""
    within = True
    for workload, operands in (("small", SMALL), ("large", LARGE)):
        figures = {name: (instructions([path] + operands),
                          peak_kib([path] + operands))
                   for name, path in paths.items()}
        base = figures["/bin/echo"]
        for name, values in figures.items():
            ratios = [value / reference
                      for value, reference in zip(values, base)]
            print(f"{name}, {workload}: {values[0]:,} instructions "
                  f"({ratios[0]:.2f}), {values[1]:,} KiB ({ratios[1]:.2f})")
            for (what, limit), ratio in zip(LIMITS[workload].items(), ratios):
                if name != "/bin/echo" and ratio > limit:
                    print(f"{name}, {workload}: {what} {ratio:.2f} of "
                          f"/bin/echo's, above {limit}")
                    within = False
    return within


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true")
    parser.add_argument("build", nargs="?", default="build/release")
    args = parser.parse_args()
    build = args.build
    # The build names its programs in programs.txt.
    try:
        with open(os.path.join(build, "programs.txt")) as names:
            programs = names.read().split()
    except OSError:
        sys.exit(f"{build}/programs.txt: not found; build the release preset "
                 "first")
    paths = {"/bin/echo": "/bin/echo"}
    paths.update({name: os.path.abspath(os.path.join(build, name))
                  for name in programs})
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
    timers = "hyperfine (small) and our own loop (large)" if HYPERFINE \
        else "our own loop"
    print(f"\nWall time: median of {ROUNDS * RUNS_PER_ROUND} runs each, "
          f"timed by {timers}.")


if __name__ == "__main__":
    main()
