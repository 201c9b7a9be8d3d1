#!/bin/sh
# The checks of the release packages that cpack made in the build folder.
#
#   packages.sh make BUILD CPACK PACKAGE... -- INPUT...
#                                           cpack, where a PACKAGE is missing
#                                           or older than an INPUT
#   packages.sh sums BUILD FILE...          SHA256SUMS names exactly FILEs
#   packages.sh deb|rpm|tgz BUILD PACKAGE VERSION ARCH STRIP [EMULATOR...]
#                                           version, architecture, contents,
#                                           and programs as built
#   packages.sh lintian|rpmlint BUILD PACKAGE
#   packages.sh fields BUILD DEB SOURCE [BUILT-USING-EXPECTED]
#   packages.sh modes BUILD DEB             ar headers, and deb-modes.txt
#
# Exit 77 (skipped) with the reason as the last line where a tool is missing.
set -eu
kind=$1 build=$2
shift 2

fail() { echo "$*" >&2; exit 1; }
skip() { echo "$*"; exit 77; }
need() {
  for tool; do
    command -v "$tool" >/dev/null || skip "not found: $tool"
  done
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Every program that the build lists, sorted as ls sorts.
LC_ALL=C sort "$build/programs.txt" >"$tmp/programs"

# programs DIR STRIP EMULATOR...: DIR holds exactly the build's programs,
# each the build's own stripped as cpack strips, writing what the build's
# writes for awkward operands with no environment, and reporting a full
# device.
programs() {
  dir=$1 strip=$2
  shift 2
  (cd "$dir" && LC_ALL=C ls) | cmp -s - "$tmp/programs" ||
    fail "$dir: not the programs that the build lists"
  every_byte=$(printf '%b' "$(printf '\\0%03o' $(seq 1 255))")
  while read -r program; do
    cp "$build/$program" "$tmp/stripped"
    "$strip" "$tmp/stripped"
    cmp "$tmp/stripped" "$dir/$program" || fail "$dir/$program: not as built"
    got=0 want=0
    env -i "$@" "$dir/$program" -n -e --help -- 'a\tb' '' "$every_byte" '' \
      >"$tmp/got" || got=$?
    env -i "$@" "$build/$program" -n -e --help -- 'a\tb' '' "$every_byte" '' \
      >"$tmp/want" || want=$?
    [ $got -eq $want ] || fail "$dir/$program: exit status $got, not $want"
    cmp "$tmp/want" "$tmp/got" || fail "$dir/$program: wrong output"
    status=0
    env -i "$@" "$dir/$program" x >/dev/full 2>"$tmp/err" || status=$?
    [ $status -eq 1 ] || fail "$dir/$program: exit status $status on /dev/full"
    echo "$program: write error: No space left on device" | cmp - "$tmp/err" ||
      fail "$dir/$program: wrong report on /dev/full"
  done <"$tmp/programs"
}

# The compressed manual page of each program, in DIR.
pages_of() {
  sed "s|.*|$1/&.1.gz|" "$tmp/programs"
}

case $kind in
  make)
    cpack=$1
    shift
    names=""
    while [ "$1" != -- ]; do
      names="$names $1"
      shift
    done
    shift
    stale=""
    for name in $names; do
      if [ ! -f "$build/$name" ]; then
        stale="$name is missing"
        break
      fi
      for input; do
        if [ -n "$(find "$input" -newer "$build/$name")" ]; then
          stale="$name is older than $input"
          break 2
        fi
      done
    done
    if [ -z "$stale" ]; then
      echo "the packages are newer than what they pack: not made again"
      exit 0
    fi
    echo "making the packages: $stale"
    cd "$build" && "$cpack" --config CPackConfig.cmake
    ;;
  sums)
    printf '%s\n' "$@" | LC_ALL=C sort >"$tmp/want"
    [ -f "$build/SHA256SUMS" ] || fail "$build/SHA256SUMS: missing"
    cut -c67- "$build/SHA256SUMS" | cmp - "$tmp/want" ||
      fail "$build/SHA256SUMS does not name exactly: $*"
    (cd "$build" && sha256sum --quiet --strict -c SHA256SUMS)
    ;;
  deb)
    package=$1 version=$2 arch=$3 strip=$4
    shift 4
    need dpkg-deb
    [ "$(dpkg-deb -f "$package" Version Architecture)" = "Version: $version
Architecture: $arch" ] || fail "$package: not version $version for $arch"
    dpkg-deb -x "$package" "$tmp/deb"
    for f in $(pages_of usr/share/man/man1) usr/share/doc/echo-tools/copyright \
      usr/share/doc/echo-tools/changelog.gz; do
      [ -f "$tmp/deb/$f" ] || fail "$package: no $f"
    done
    programs "$tmp/deb/usr/bin" "$strip" "$@"
    ;;
  rpm)
    package=$1 version=$2 arch=$3 strip=$4
    shift 4
    # Without rpmbuild cpack made no .rpm (cmake/package.cmake).
    need rpmbuild rpm rpm2cpio cpio
    [ "$(rpm -qp --qf '%{LICENSE} %{VERSION} %{ARCH}' "$package")" = \
      "MIT $version $arch" ] || fail "$package: not MIT, version $version, $arch"
    # It owns the programs, their pages and its licence, and nothing of the
    # system's.
    { sed 's|^|/usr/bin/|' "$tmp/programs"
      pages_of /usr/share/man/man1
      printf '%s\n' /usr/share/licenses/echo-tools /usr/share/licenses/echo-tools/LICENSE
    } | LC_ALL=C sort >"$tmp/want"
    rpm -qpl "$package" | cmp - "$tmp/want" || fail "$package: other files"
    mkdir "$tmp/rpm"
    rpm2cpio "$package" >"$tmp/cpio"
    (cd "$tmp/rpm" && cpio -idm --quiet) <"$tmp/cpio"
    programs "$tmp/rpm/usr/bin" "$strip" "$@"
    ;;
  tgz)
    package=$1 version=$2 arch=$3 strip=$4
    shift 4
    top=$(basename "$package" .tar.gz)
    [ "$top" = "echo-tools-$version-linux-$arch" ] ||
      fail "$package: not version $version for $arch"
    mkdir "$tmp/tgz"
    tar -xzf "$package" -C "$tmp/tgz"
    [ "$(ls "$tmp/tgz")" = "$top" ] || fail "$package: not all in $top/"
    # The programs, their pages, LICENSE and README.md, and nothing else.
    { sed 's|^|bin/|' "$tmp/programs"
      pages_of share/man/man1
      printf '%s\n' LICENSE README.md
    } | LC_ALL=C sort >"$tmp/want"
    (cd "$tmp/tgz/$top" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) |
      cmp - "$tmp/want" || fail "$package: other files"
    programs "$tmp/tgz/$top/bin" "$strip" "$@"
    ;;
  lintian)
    need lintian
    lintian --allow-root --fail-on error,warning "$1"
    ;;
  rpmlint)
    need rpmbuild rpmlint
    # rpmlint says what it found only in its summary line.
    rpmlint -r "$build/rpmlintrc" "$1" >"$tmp/log" || true
    cat "$tmp/log"
    grep -q ' 0 errors, 0 warnings,' "$tmp/log" || fail "rpmlint: see above"
    ;;
  fields)
    need dpkg-deb
    deb=$1 source=$2 expected=${3:-}
    [ "$(dpkg-deb -f "$deb" Source)" = "$source" ] ||
      fail "$deb: Source is not $source"
    built_using=$(dpkg-deb -f "$deb" Built-Using)
    if [ -z "$expected" ]; then
      [ -z "$built_using" ] || fail "$deb: Built-Using, where none is due"
      exit 0
    fi
    [ -n "$built_using" ] || fail "$deb: no Built-Using"
    # Each source package once, with its version, separated by ", ".
    echo "$built_using" | sed 's/, /\n/g' >"$tmp/sources"
    grep -qvxE '[a-z0-9][a-z0-9.+-]+ \(= [0-9A-Za-z.+~:-]+\)' "$tmp/sources" &&
      fail "$deb: malformed Built-Using: $built_using"
    sed 's/ .*//' "$tmp/sources" | sort | uniq -d | grep . &&
      fail "$deb: a source named twice in Built-Using: $built_using"
    exit 0
    ;;
  modes)
    deb=$1
    # Each ar member's 60-byte header: name at 0, mode at 40 (8 bytes), size
    # at 48 (10); members start on even offsets after "!<arch>\n".
    size=$(wc -c <"$deb")
    at=8
    while [ "$at" -lt "$size" ]; do
      header=$(dd if="$deb" bs=1 skip="$at" count=60 status=none)
      name=$(printf '%s\n' "$header" | cut -c1-16)
      mode=$(printf '%s\n' "$header" | cut -c41-48)
      length=$(printf '%s\n' "$header" | cut -c49-58)
      [ "$mode" = "100644  " ] || fail "$deb: ${name%% *} has mode $mode"
      at=$((at + 60 + length + length % 2))
    done
    # cmake/deb-modes.cmake writes down the umask that cpack ran under and
    # the members whose modes it set: under a umask that lets the group
    # write, CPack got them wrong, or the script is no longer needed.
    record=$build/deb-modes.txt
    [ -f "$record" ] || fail "$record: missing"
    umask=$(sed -n 's/^umask //p' "$record")
    if [ $((0$umask & 020)) -eq 0 ] && ! grep -q '^set ' "$record"; then
      fail "CPack wrote the .deb's modes right under umask $umask:" \
        "cmake/deb-modes.cmake is no longer needed"
    fi
    ;;
  *) fail "usage: $0 make|sums|deb|rpm|tgz|lintian|rpmlint|fields|modes BUILD ..." ;;
esac
