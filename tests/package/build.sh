#!/bin/sh
# The checks of what the build made, beside its packages.
#
#   build.sh stack-protector NM OBJECT...  each object calls the canary's check
#   build.sh man VERSION PAGE...           groff finds nothing; .TH has VERSION
#   build.sh start-files NM OBJDUMP CRTBEGINT OURS PROBE PROGRAM... [-- EMULATOR...]
#   build.sh table ARCHITECTURES BUILDING  BUILDING.md's table of them
#   build.sh length LINES FILE             FILE has at most LINES lines
#
# Exit 77 (skipped) with the reason as the last line where a tool is missing.
set -eu
kind=$1
shift

fail() { echo "$*" >&2; exit 1; }
skip() { echo "$*"; exit 77; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Lines of objdump -d that call __register_frame_info (or, as i386's
# crtbeginT.o does, __register_frame_info_bases) from outside the unwinder's
# own functions for it.
registers() {
  "$objdump" -d --no-show-raw-insn "$1" >"$tmp/code"
  awk <"$tmp/code" '
    /^[0-9a-f]+ <.*>:$/ { inside = ($2 ~ /^<__(de)?register_frame/) }
    !inside && /<__register_frame_info(_bases)?(\+0x[0-9a-f]+)?>$/ { print }'
}

case $kind in
  stack-protector)
    nm=$1
    shift
    [ -n "$nm" ] || skip "not found: nm (binutils)"
    for object; do
      symbols=$("$nm" -u "$object")
      case $symbols in
        *__stack_chk_fail*) ;;
        *) fail "$object: no stack protector" ;;
      esac
    done
    ;;
  man)
    version=$1
    shift
    command -v groff >/dev/null || skip "not found: groff"
    for page; do
      warnings=$(groff -man -ww -z "$page" 2>&1)
      [ -z "$warnings" ] || fail "$page: $warnings"
      grep -q "^\.TH .*\"echo_tools $version\"" "$page" ||
        fail "$page: .TH does not carry version $version"
    done
    ;;
  start-files)
    nm=$1 objdump=$2 crtbegint=$3 ours=$4 probe=$5
    shift 5
    if [ -z "$nm" ] || [ -z "$objdump" ]; then
      skip "not found: nm, objdump (binutils)"
    fi
    programs=""
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
      programs="$programs $1"
      shift
    done
    [ $# -eq 0 ] || shift
    # An exception is still caught with crtbegin.o in crtbeginT.o's place.
    "$@" "$probe" || fail "$probe: the exception was not caught"
    case $("$nm" -u "$ours") in
      *__register_frame_info*) fail "$ours registers the frames at start" ;;
    esac
    # Nothing calls the registration, as crtbeginT.o's frame_dummy would.
    # (Where calls go through a table, as on MIPS, objdump names no callee
    # and this finds nothing either way.)
    for program in "$probe" $programs; do
      found=$(registers "$program")
      [ -z "$found" ] || fail "$program registers its frames at start: $found"
    done
    # The toolchain's own start file still registers them; where it no
    # longer does, the swap in cmake/link.cmake can go.
    case $("$nm" -u "$crtbegint") in
      *__register_frame_info*) ;;
      *) fail "$crtbegint no longer registers the frames at start" ;;
    esac
    ;;
  table)
    architectures=$1 building=$2
    grep -v '^#' "$architectures" | awk '$1 != "amd64" {
        r = $7; gsub(",", " and ", r)
        printf "| %s | g++-%s | %s | %s |\n", $1, $2, $5, r }' >"$tmp/want"
    sed -n '/^| ECHO_TOOLS_ARCH/,/^$/p' "$building" | sed '1,2d;/^$/d' >"$tmp/got"
    diff "$tmp/want" "$tmp/got" ||
      fail "$building: its table of architectures differs from $architectures"
    ;;
  length)
    lines=$(wc -l <"$2")
    [ "$lines" -le "$1" ] || fail "$2: $lines lines, more than $1"
    ;;
  *) fail "usage: $0 stack-protector|man|start-files|table|length ..." ;;
esac
