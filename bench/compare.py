#!/usr/bin/env python3
"""Measures the programs of a build and /bin/echo side by side and prints a
Markdown table, every figure also as a ratio to /bin/echo in the same run.

Usage: bench/compare.py [--check] [--distribution DIR] [BUILD_DIR]
       (BUILD_DIR defaults to build/release)

The workloads are a small call and three large ones (0.6, 2.1 and 6.3 MB
of operands). With --distribution DIR it also measures that plain,
dynamically linked build on the small call, beside the floor of any dynamic
C++ program, which it compiles itself.

With --check it measures only what the machine's load leaves alone, the
instructions and the peak memory of every workload, and fails unless each
program stays within LIMITS of /bin/echo's, its peak memory on the large
workloads within its arguments plus one copy of the text plus OVERHEAD_KIB,
and the distribution's build within FLOOR_LIMITS of the floor's: CI's guard
against a slower start or a costlier text.

- instructions: valgrind's callgrind, which counts the same on a busy machine
  as on an idle one;
- peak memory: the least of 5 runs of the program's own peak resident memory
  (VmHWM, read as it exits), the program first evicted from the page cache;
- wall time: the median of many runs. The programs take turns, round by
  round and in a rotating order, so that the machine's drift falls on all
  alike. hyperfine times the small workload where it is installed; the large
  ones' command lines are too long for hyperfine, so a loop of our own times
  them (and the small one where hyperfine is missing).

Every program runs with an empty environment, so that all set up one locale;
the tools that run them are found once, on the caller's PATH.
"""

import argparse
import ctypes
import json
import os
import re
import resource
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
# Large input at three sizes: 60,000 operands of 9 bytes (600,000 bytes
# joined), then 16 and 48 operands of 131,000 bytes (2.1 and 6.3 MB), near
# the largest the kernel takes. The argument list may then take more than
# the quarter of the stack limit that the kernel allows it, so the stack limit
# is raised for every run (see main).
LARGE = {"0.6 MB": [f"{i:09d}" for i in range(60000)],
         "2.1 MB": [f"{i:0131000d}" for i in range(16)],
         "6.3 MB": [f"{i:0131000d}" for i in range(48)]}
WORKLOADS = {"small": SMALL, **{f"large {size}": operands
                                for size, operands in LARGE.items()}}


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


# The most a release build's call may cost, as a share of /bin/echo's: the
# small one's start-up, and the instructions for many short operands. For a
# few long ones /bin/echo hands each operand to the kernel as it is, where
# the programs copy every byte into the joined text, a cost of holding it
# that no ratio bounds.
LIMITS = {"small": {"instructions": 0.55, "peak memory": 0.95},
          "large 0.6 MB": {"instructions": 0.90}}
# On large input the programs hold the joined text in memory beside the
# arguments, where /bin/echo writes each operand as it goes: their peak
# memory may come to the arguments' (strings and pointers, on the stack),
# plus the text's, plus this: what a run needs besides them (the start-up's
# pages, the stream's buffer, the heap's own), which --check prints. Measured
# on Debian 12: about 880 KiB at 0.6 MB and 1,000 at the larger sizes; on
# Debian 13, 1,100 and 1,150.
OVERHEAD_KIB = 1408
# The most a distribution's build (dynamic) may cost, as a share of the
# floor of any dynamically linked C++ program: one that writes a line with
# std::cout, which compare.py builds itself.
FLOOR_LIMITS = {"instructions": 1.05, "peak memory": 1.10}
FLOOR_SOURCE = "#include <iostream>\nint main() { std::cout << \"Hello, world\\n\"; }\n"


def text_floor_kib(operands):
    """The arguments (their strings and the pointer array) and one copy of
    the joined text, in KiB."""
    pointer = ctypes.sizeof(ctypes.c_void_p)
    arguments = sum(len(o) + 1 + pointer for o in operands) + 2 * pointer
    text = sum(len(o) for o in operands) + len(operands) - 1
    return (arguments + text) // 1024


def figures_of(paths, operands):
    return {name: (instructions([path] + operands),
                   peak_kib([path] + operands))
            for name, path in paths.items()}


def print_figures(workload, figures, base):
    for name, values in figures.items():
        ratios = [value / reference for value, reference in zip(values, base)]
        print(f"{name}, {workload}: {values[0]:,} instructions "
              f"({ratios[0]:.2f}), {values[1]:,} KiB ({ratios[1]:.2f})")


def check(paths, distribution):
    """Prints each workload's exact figures and returns whether they stay
    within the limits above."""
    within = True

    def over(where, what, limit):
        nonlocal within
        print(f"{where}: {what}, above {limit}")
        within = False

    def hold(where, values, base, limits, against):
        for (what, limit), value, reference in zip(limits.items(), values,
                                                   base):
            if value / reference > limit:
                over(where, f"{what} {value / reference:.2f} of {against}",
                     limit)

    programs = [name for name in paths if name != "/bin/echo"]
    for workload, operands in WORKLOADS.items():
        figures = figures_of(paths, operands)
        base = figures["/bin/echo"]
        print_figures(workload, figures, base)
        for name in programs:
            hold(f"{name}, {workload}", figures[name], base,
                 LIMITS.get(workload, {}), "/bin/echo's")
            if workload != "small":
                rest = figures[name][1] - text_floor_kib(operands)
                print(f"{name}, {workload}: {rest:,} KiB besides the "
                      f"arguments and the text")
                if rest > OVERHEAD_KIB:
                    over(f"{name}, {workload}", f"peak memory {rest:,} KiB "
                         "besides the arguments and the text",
                         f"{OVERHEAD_KIB:,} KiB")
    if distribution:
        figures = figures_of(distribution, SMALL)
        base = figures["C++ floor"]
        print_figures("small, distribution build", figures, base)
        for name in distribution:
            hold(f"{name}, distribution build", figures[name], base,
                 FLOOR_LIMITS, "the C++ floor's")
    return within


def programs_of(build, prefix=""):
    """The programs that a build names in its programs.txt, by name."""
    try:
        with open(os.path.join(build, "programs.txt")) as names:
            programs = names.read().split()
    except OSError:
        sys.exit(f"{build}/programs.txt: not found; build it first")
    paths = {prefix + name: os.path.abspath(os.path.join(build, name))
             for name in programs}
    for path in paths.values():
        if not os.access(path, os.X_OK):
            sys.exit(f"{path}: not found; build it first")
    return paths


def floor_program(scratch):
    """Builds the dynamic C++ floor, as a distribution would build it."""
    source = os.path.join(scratch, "floor.cpp")
    with open(source, "w") as out:
        out.write(FLOOR_SOURCE)
    binary = os.path.join(scratch, "floor")
    subprocess.run([os.environ.get("CXX", "c++"), "-O2", source, "-o", binary],
                   check=True)
    return binary


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--distribution", metavar="DIR",
                        help="a distribution's plain build, measured on the "
                        "small call beside a dynamic C++ program's floor")
    parser.add_argument("build", nargs="?", default="build/release")
    args = parser.parse_args()
    # Room on the stack for the largest argument list (see LARGE).
    _, hard = resource.getrlimit(resource.RLIMIT_STACK)
    soft = 64 << 20
    if hard != resource.RLIM_INFINITY:
        soft = min(soft, hard)
    resource.setrlimit(resource.RLIMIT_STACK, (soft, hard))
    paths = {"/bin/echo": "/bin/echo", **programs_of(args.build)}
    with tempfile.TemporaryDirectory() as scratch:
        distribution = None
        if args.distribution:
            distribution = {"C++ floor": floor_program(scratch),
                            **programs_of(args.distribution, "distribution ")}
        if args.check:
            sys.exit(0 if check(paths, distribution) else 1)
        table(paths, distribution)


def table(paths, distribution):
    print("| program | workload | instructions | ratio | peak RSS (KiB) | ratio "
          "| median wall (µs) | ratio |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    rows = [(workload, operands, paths) for workload, operands
            in WORKLOADS.items()]
    if distribution:
        rows.append(("small", SMALL, {"/bin/echo": "/bin/echo",
                                      **distribution}))
    for workload, operands, measured in rows:
        cmds = {name: [path] + operands for name, path in measured.items()}
        timer = seconds_by_hyperfine if HYPERFINE and workload == "small" \
            else seconds_by_loop
        wall = median_wall_us(cmds, timer)
        figures = {name: (instructions(cmd), peak_kib(cmd), wall[name])
                   for name, cmd in cmds.items()}
        base = figures["/bin/echo"]
        for name, (ins, kib, us) in figures.items():
            if name == "/bin/echo" and measured is not paths:
                continue
            print(f"| {name} | {workload} | {ins:,} | {ins / base[0]:.2f} "
                  f"| {kib:,} | {kib / base[1]:.2f} "
                  f"| {us:,.0f} | {us / base[2]:.2f} |")
    timers = "hyperfine (small) and our own loop (large)" if HYPERFINE \
        else "our own loop"
    print(f"\nWall time: median of {ROUNDS * RUNS_PER_ROUND} runs each, "
          f"timed by {timers}.")


if __name__ == "__main__":
    main()
