#!/usr/bin/env bash
# Runs every test: native unit tests (ASan + UBSan), fuzz smoke runs, and the
# Wine tests of the real DLL in the simulated host. One ctest run covers all.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh"

# One ctest over the three build trees.
cat >"$BUILD_DIR/CTestTestfile.cmake" <<CT
subdirs("native" "fuzz" "win32")
CT
. "$ROOT/scripts/wine-env.sh"
cd "$BUILD_DIR"
ctest --output-on-failure -j "$(nproc)" "$@"
