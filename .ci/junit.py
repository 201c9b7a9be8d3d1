#!/usr/bin/env python3
"""Reads the JUnit report of a ctest run (ctest --output-junit FILE) and
fails unless some test ran, none failed, and every skipped test is one that
the caller allows to skip; a test disabled on purpose (DISABLED_ in
GoogleTest: it runs only on request) is counted apart:

    junit.py REPORT.xml [--may-skip TEST]... [--must-skip TEST]...

--may-skip names a test that may skip where the machine lacks what it needs
(a terminal, strace); --must-skip one that has to skip here. Prints one line
of counts, then each skipped test with the reason it printed.
"""

import argparse
import sys
import xml.etree.ElementTree as ET

parser = argparse.ArgumentParser()
parser.add_argument("report")
parser.add_argument("--may-skip", action="append", default=[])
parser.add_argument("--must-skip", action="append", default=[])
args = parser.parse_args()

try:
    cases = ET.parse(args.report).getroot().iter("testcase")
except FileNotFoundError:
    sys.exit(f"no {args.report}: the tests did not run")
ran, failed, skipped, disabled = [], [], {}, []
for case in cases:
    name = case.get("name")
    if case.get("status") == "disabled":
        disabled.append(name)
    elif case.find("skipped") is not None or case.get("status") == "notrun":
        out = (case.findtext("system-out") or "").strip().splitlines()
        # GoogleTest prints its reason on the line after "FILE:LINE: Skipped";
        # a script that exits 77 prints it last.
        after = [out[i + 1] for i in range(len(out) - 1)
                 if out[i].endswith(": Skipped")]
        skipped[name] = (after or out[-1:] or ["(no reason printed)"])[0]
    elif case.find("failure") is not None or case.get("status") == "fail":
        failed.append(name)
    else:
        ran.append(name)

print(f"{len(ran) + len(failed)} ran, {len(ran)} passed, {len(failed)} failed, "
      f"{len(skipped)} skipped, {len(disabled)} disabled")
for name, reason in skipped.items():
    print(f"  skipped {name}: {reason}")
problems = [f"failed: {name}" for name in failed]
allowed = set(args.may_skip) | set(args.must_skip)
problems += [f"skipped, which it may not be here: {name}"
             for name in skipped if name not in allowed]
problems += [f"ran, though it must skip here: {name}"
             for name in args.must_skip if name not in skipped]
if not ran and not failed:
    problems.append("no test ran")
for problem in problems:
    print(problem, file=sys.stderr)
sys.exit(1 if problems else 0)
