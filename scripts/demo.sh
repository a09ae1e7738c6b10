#!/usr/bin/env bash
# Builds Tunelet.dll and shows it at work: the simulated host loads the real
# plug-in, a simulated player plays a few generated files one after another,
# then a simulated Winamp plays an internet radio station, then a song
# plays in the (simulated) system media session,
# and every X-status the host shows is printed as a user would read it.
# The product is the 32-bit DLL; where this machine cannot run 32-bit
# programs (so no 32-bit Wine), the demo shows the x86_64 build of the same
# sources under 64-bit Wine, and says so first.
# Extra arguments go to the demo (see tools/talkeo-sim/README.md).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
if "$ROOT/scripts/can-run-32bit.sh"; then
  tree=win32 why="the product, 32-bit, under 32-bit Wine"
else
  tree=win64 why="this machine cannot run 32-bit programs, so the x86_64 build of the same sources, under 64-bit Wine"
fi
echo "demo: build/$tree/bin/Tunelet.dll: $why"
echo "demo: checking the packages the build needs (the first time this installs them: a few minutes)"
"$ROOT/scripts/setup.sh"
# Only what the demo runs: the DLL, the simulated host, the simulated player
# and the simulated session manager.
echo "demo: building Tunelet.dll, the simulated host, player and session manager"
TARGETS="Tunelet talkeo-sim fake-player FakeMediaSessions" BUILD_PROGRESS=1 "$ROOT/scripts/build.sh" "$tree"
echo "demo: starting Wine and the simulated host (the first time Wine makes its prefix: about 10 s)"
"$ROOT/tools/demo/run-demo.sh" "$BUILD_DIR/$tree" "$@"  # sets up Wine for the tree itself
