# shellcheck shell=bash
# Sourced by .ci/run and .ci/lib.sh.

# Runs a command and fails if CMake or CPack printed a warning. They say so
# only in their output, which is therefore read here; every cmake and cpack
# call of the parts goes through this.
warnless() {
  local log status=0
  log=$(mktemp)
  "$@" 2>&1 | tee "$log" || status=$?
  if grep -E '^(CMake|CPack)( Deprecation)? Warning' "$log"; then
    rm -f "$log"
    echo "FAILED: $* printed a warning" >&2
    return 1
  fi
  rm -f "$log"
  return $status
}

