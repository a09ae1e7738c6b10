#!/usr/bin/env bash
# Builds Tunelet.dll and shows it at work: the simulated host loads the real
# plug-in, a simulated player plays a few generated files one after another,
# then a simulated Winamp plays an internet radio station,
# and every X-status the host shows is printed as a user would read it.
# Extra arguments go to the demo (see tools/talkeo-sim/README.md).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
"$ROOT/scripts/setup.sh"
"$ROOT/scripts/build.sh" win32
. "$ROOT/scripts/wine-env.sh"
"$ROOT/tools/demo/run-demo.sh" "$BUILD_DIR/win32" "$@"
