#!/usr/bin/env bash
# Configures and builds every build of the tree under build/:
#   build/native  portable library, unit tests and tools (ASan + UBSan)
#   build/win32   the product: i686 Tunelet.dll, simulated host and players,
#                 Wine tests (cross-compiled, so built on every machine)
#   build/win64   the same sources for x86_64, run under 64-bit Wine
#   build/fuzz    libFuzzer targets (clang)
# Usage: scripts/build.sh [native|win32|win64|fuzz ...]   (default: all four)
# TARGETS="a b" builds only those targets of each tree (the demo's few);
# BUILD_PROGRESS=1 prints a short progress line every few seconds instead of
# every compiler step (errors and warnings still show in full).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
JOBS="${JOBS:-$(nproc)}"
builds=("$@"); [ ${#builds[@]} -eq 0 ] && builds=(native win32 win64 fuzz)
. "$ROOT/scripts/progress.sh"

# Debian's compiler cache, when installed, with its cache outside the clone
# (ccache's default under $HOME), so a second clone on this machine reuses it.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Absolute paths differ between clones; hash them relative to the tree.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
fi
run_cmake_quietly() {  # dir, extra args...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$BUILD_DIR/$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
}
configure() {  # dir, extra args...
  [ -f "$BUILD_DIR/$1/CMakeCache.txt" ] && return
  echo "build: configuring $1"
  with_heartbeat "build: still configuring $1" run_cmake_quietly "$@"
}
# Ninja's "[N/M] step" lines become one "build: TREE: N of M steps" line at
# most every 5 seconds, also while a long step runs, and one at the end;
# every other line (errors) passes. A shell loop, not awk: Debian's awk reads
# a pipe in large blocks, which held the lines back for minutes.
show_progress() {  # tree
  local line pending="" n=0 m=0 shown=$SECONDS got re='^\[([0-9]+)/([0-9]+)\]'
  while :; do
    got=0
    IFS= read -r -t 1 line || got=$?
    if (( got )); then
      pending+=$line  # a time-out keeps what came of a line
      (( got > 128 )) || break  # end of input
    else
      line=$pending$line pending=""
      if [[ $line =~ $re ]]; then
        n=${BASH_REMATCH[1]} m=${BASH_REMATCH[2]}
      else
        printf '%s\n' "$line"
        continue
      fi
    fi
    if (( SECONDS - shown >= 5 && (m == 0 || n < m) )); then
      if (( m )); then echo "build: $1: $n of $m steps"; else echo "build: $1: working"; fi
      shown=$SECONDS
    fi
  done
  [ -z "$pending" ] || printf '%s\n' "$pending"
  (( m == 0 )) || echo "build: $1: $n of $m steps, $( (( n == m )) && echo done || echo stopped)"
}
for b in "${builds[@]}"; do
  case $b in
    native) configure native ;;
    win32)  configure win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw32.cmake" -DCMAKE_BUILD_TYPE=Release ;;
    win64)  configure win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw64.cmake" -DCMAKE_BUILD_TYPE=Release ;;
    fuzz)   configure fuzz -DTUNELET_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ;;
    *) echo "unknown build $b" >&2; exit 2 ;;
  esac
  target_args=()
  for t in ${TARGETS:-}; do target_args+=(--target "$t"); done
  echo "build: $b${TARGETS:+ ($TARGETS)}"
  if [ "${BUILD_PROGRESS:-}" = 1 ]; then
    cmake --build "$BUILD_DIR/$b" -j "$JOBS" "${target_args[@]}" | show_progress "$b"
  else
    cmake --build "$BUILD_DIR/$b" -j "$JOBS" "${target_args[@]}"
  fi
done
