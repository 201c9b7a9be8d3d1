# shellcheck shell=bash
# Sourced by .ci/run and .ci/lib.sh: the rows of cmake/architectures.txt,
# and what each architecture needs from Debian.

# arch_row DEBIAN: the row of cmake/architectures.txt for that Debian
# architecture, as "gnu multiarch processor rpm qemu releases".
arch_row() {
  awk -v d="$1" '$1 == d { print $2, $3, $4, $5, $6, $7 }' cmake/architectures.txt
}

# arch_packages DEBIAN: what the part of that architecture needs from
# Debian: its cross compiler, its C++ library from multiarch, and
# GoogleTest built for it, each where this release's archive names it
# (riscv64 on Debian 12 has no multiarch packages; its tests use the cross
# toolchain's libraries and build GoogleTest from its sources).
arch_packages() {
  local gnu p
  read -r gnu _ < <(arch_row "$1")
  for p in "g++-$gnu" "libstdc++6:$1" "libgtest-dev:$1"; do
    if apt-cache show "$p" >/dev/null 2>&1; then echo "$p"; fi
  done
}
