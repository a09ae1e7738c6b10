#!/usr/bin/env bash
# Runs every test: native unit tests (ASan + UBSan), fuzz smoke runs, the
# checks of the built DLLs, and the Wine tests of the real DLL in the
# simulated host, for the i686 and the x86_64 build. One ctest run covers all.
# The i686 Wine tests show as skipped where this machine cannot run 32-bit
# programs.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"

# One ctest over the four build trees.
cat >"$BUILD_DIR/CTestTestfile.cmake" <<CT
subdirs("native" "fuzz" "win32" "win64")
CT
. "$ROOT/scripts/wine-env.sh"
if [ "$TUNELET_RUNS_32BIT" = 1 ]; then
  echo "test: this machine runs 32-bit programs: the Wine tests of win32 and win64 run"
else
  echo "test: this machine cannot run 32-bit programs: the Wine tests of win32 are skipped, those of win64 run"
fi
cd "$BUILD_DIR"
rc=0
ctest --output-on-failure -j "$(nproc)" "$@" || rc=$?
if [ "$TUNELET_RUNS_32BIT" != 1 ]; then
  echo "test: the .win32 Wine tests were skipped: this machine cannot run 32-bit programs"
fi
exit $rc
