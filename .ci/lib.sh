# shellcheck shell=bash
# What the parts of .ci/checks share; each part sources it first. A part
# runs from the root of a fresh clone of its own, as root.
set -euo pipefail
# A failure inside $(...) fails the command that uses it, as anywhere else.
shopt -s inherit_errexit

# The linker's warnings fail the build: every preset takes LDFLAGS.
export LDFLAGS=-Wl,--fatal-warnings

step() { printf '\n=== %s\n' "$*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
# Ends the part as skipped; .ci/checks shows the last line in its table.
skip() { echo "$*"; exit 77; }

. .ci/warnless.sh

# tested REPORT [--may-skip TEST]... [--must-skip TEST]...: the JUnit report
# of a ctest run: some test ran, none failed, only those named skipped.
tested() { python3 .ci/junit.py "$@"; }

# ctest_in DIR [ctest options...]: runs DIR's tests, with the JUnit report
# written to DIR/junit.xml.
ctest_in() {
  local dir=$1
  shift
  ctest --test-dir "$dir" --no-tests=error --output-on-failure -j 2 \
    --output-junit "$PWD/$dir/junit.xml" "$@"
}

# The version of this tree, as configure reads it: the parts that source
# this file read it, which shellcheck does not see here.
# shellcheck disable=SC2034
version=$(sed -n 's/^set(echo_tools_version \(.*\))$/\1/p' CMakeLists.txt)

. .ci/architectures.sh
