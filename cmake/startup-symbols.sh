#!/usr/bin/env bash
# Writes cmake/startup-symbols.txt: the functions that the static programs run
# on an ordinary call, in the order callgrind first meets them. Linked in that
# order they share a few pages, so a run faults in and maps far less of the
# executable. Run after changing the start-up path or the toolchain:
#   cmake --preset release && cmake --build --preset release &&
#   cmake/startup-symbols.sh build/release
set -euo pipefail
build=${1:-build/release}
out="$(dirname "$0")/startup-symbols.txt"
profile=$(mktemp)
trap 'rm -f "$profile"' EXIT
{
  for program in echo_args echo_count; do
    env -i valgrind --tool=callgrind --demangle=no \
      --callgrind-out-file="$profile" "$build/$program" Hello, world >/dev/null 2>&1
    # "fn=(12) name" names a function; "(below main)" and bare addresses are
    # not symbols, and "'2" marks a recursive call of one already named.
    sed -n -E 's/^c?fn=\([0-9]+\) //p' "$profile" | sed -E "s/'[0-9]+$//" |
      grep -v -E '^\(|^0x'
  done
} | awk '!seen[$0]++' >"$out"
echo "$(wc -l <"$out") symbols written to $out"
