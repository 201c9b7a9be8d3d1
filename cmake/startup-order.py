#!/usr/bin/env python3
"""Writes the functions that an ordinary call of a program runs, in the order
it first enters them, as lld's --symbol-ordering-file takes them. Linked side
by side they share a few pages, so a run maps in far less of the executable.

Usage: startup-order.py VALGRIND NM OBJDUMP OBJCOPY PROGRAM OUTPUT

The build runs it on each program linked without an order, then links the
program again with the list: the names are the internals of this toolchain's C
and C++ libraries, so the list belongs to the build, not to the sources.

The string functions that glibc picks per CPU at start-up (ifuncs) run in one
variant only under valgrind, whose CPU has no AVX-512; every variant that the
function's resolver can pick is listed after the other functions, so that
every CPU finds its own in the same few pages.

On one machine the same toolchain gives the same list, and so the same
executable, every time; valgrind models the machine's CPU, so another machine
may enter other branches of the C library's set-up and give another list.
"""

import bisect
import os
import re
import subprocess
import sys
import tempfile

valgrind, nm, objdump, objcopy, binary, output = sys.argv[1:]

# Valgrind's lackey lists every block of code it runs ("SB ADDRESS"); with
# call chasing off, a block never runs on into the function it calls, so every
# function entered is seen. It runs a copy without debug information, whose
# code lies at the same addresses: valgrind 3.19 stops at the DWARF 5 that
# clang 14 writes.
with tempfile.TemporaryDirectory() as scratch:
    bare, trace = os.path.join(scratch, "bare"), os.path.join(scratch, "trace")
    subprocess.run([objcopy, "--strip-debug", binary, bare], check=True)
    subprocess.run(
        [valgrind, "--tool=lackey", "--basic-counts=no",
         "--trace-superblocks=yes", "--vex-guest-chase=no",
         f"--log-file={trace}", bare, "Hello,", "world"],
        env={}, stdout=subprocess.DEVNULL, check=True)
    with open(trace) as lines:
        blocks = [int(line.split()[1], 16) for line in lines
                  if line.startswith("SB ")]

# Function symbols by address. Aliases share an address, and so a section:
# one name for each is enough, the same one every time.
names, sizes, ifuncs = {}, {}, {}
symbols = subprocess.run([nm, "--defined-only", "-S", binary],
                         capture_output=True, text=True, check=True).stdout
for line in symbols.splitlines():
    fields = line.split()
    if len(fields) != 4 or fields[2] not in "tTWi":
        continue
    address, size, kind, name = int(fields[0], 16), int(fields[1], 16), \
        fields[2], fields[3]
    if size == 0:  # a marker, such as lld's __preinit_array_end, not code
        continue
    rank = (kind == "t", name)  # global names first, then by spelling
    if address not in names or rank < names[address][0]:
        names[address] = (rank, name)
    sizes[address] = max(size, sizes.get(address, 0))
    if kind == "i":  # aliases (memcpy, __new_memcpy) share one resolver
        ifuncs[address] = size
starts = sorted(names)


def function_at(address):
    i = bisect.bisect_right(starts, address) - 1
    if i >= 0 and address < starts[i] + sizes[starts[i]]:
        return starts[i]
    return None


# Functions in the order the run first enters them.
order = []
for block in blocks:
    start = function_at(block)
    if start is not None and start not in order:
        order.append(start)

# What each resolver can pick: the functions whose addresses it loads.
target = re.compile(r"\blea\b.*# ([0-9a-f]+) <[^+>]+>$")
variants = {}
for address, size in ifuncs.items():
    code = subprocess.run(
        [objdump, "-d", "--no-show-raw-insn", f"--start-address={address}",
         f"--stop-address={address + size}", binary],
        capture_output=True, text=True, check=True).stdout
    picks = {int(m.group(1), 16) for m in map(target.search, code.splitlines())
             if m and int(m.group(1), 16) in names}
    for pick in picks:
        variants.setdefault(pick, set()).update(picks)

# The profiled variant of each such function gives way to all of its
# variants, listed after the rest by name, so that the list does not depend on
# which variant valgrind's CPU was given.
families = []
for start in order:
    family = sorted(variants.get(start, ()), key=lambda a: names[a][1])
    if family and family not in families:
        families.append(family)
order = [start for start in order if start not in variants]
order += [start for family in families for start in family]
with open(output, "w") as out:
    out.write("".join(names[start][1] + "\n" for start in order))
