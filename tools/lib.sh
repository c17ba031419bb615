# shellcheck shell=bash disable=SC2034 # the variables are for the scripts that source it
# What the scripts in tools/ share; sourced, never run:
#   source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# It moves to the top of the source tree and sets src to it.

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
src=$PWD
jobs=${JOBS:-$(nproc)}

# as_root COMMAND...: runs COMMAND as root, through sudo unless we are root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

step() { printf '\n---- %s ----\n' "$*"; }

# The pass/fail record of a checking script: check DESCRIPTION COMMAND... runs
# COMMAND and counts it; summary NAME prints the counts and exits, with status 1
# when anything failed.
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
summary() {
  echo
  echo "$1: $passed passed, $failed failed (${SECONDS}s)"
  [ "$failed" -eq 0 ]
  exit
}

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails when it has not within SECONDS.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The folders of the mingw-w64 runtime DLLs (libstdc++, libgcc_s, winpthread)
# that every cross-built program needs beside it or on WINEPATH.
mingw_runtime_dirs=(
  "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name 2>/dev/null || echo /usr/lib/gcc/x86_64-w64-mingw32/12-posix/x)")"
  /usr/x86_64-w64-mingw32/lib
)

# The warnings-as-errors setting for the CMake builds: on in the full test run
# (tools/test-all, which CI runs), off for anyone else unless asked for.
werror=-DSOVIKAN_WARNINGS_AS_ERRORS=${SOVIKAN_WARNINGS_AS_ERRORS:-OFF}

# square_wave_svk: the bytes of a measurement file on standard output: range 5
# (decade 1.0), 1 lux per unit, 0.5 ms per sample, time multiplier 1, then 400
# samples alternating 100 and 300 lux, no comment (818 bytes; mean 200 lux).
square_wave_svk() {
  printf '\x00\x00\x00\x00\x00\x00\xf0\x3f'   # RangeDecade 1.0
  printf '\x00\x00\x80\x3f'                   # LuxFactor 1.0
  printf '\x00\x00\x00\x3f'                   # SampleInterval 0.5
  printf '\x05\x01'                           # RangeIndex 5, TimeMultiplier 1
  for _ in $(seq 1 200); do printf '\x64\x00\x2c\x01'; done
}
