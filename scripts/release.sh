#!/usr/bin/env bash
# Builds the product, the i686 Tunelet.dll, and packs what a user installs:
#   dist/tunelet<A.B.C>.zip  Tunelet.dll, addons/English.lng, Tunelet-readme.txt
#   dist/SHA256SUMS          the zip's checksum: cd dist && sha256sum -c SHA256SUMS
# The zip is named from the DLL's own version resource, as the update check
# reads download names. The same commit gives the same bytes on every run.
# BUILD_DIR (default build/) and DIST_DIR (default dist/) move the two.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
DIST_DIR="${DIST_DIR:-$ROOT/dist}"

if git -C "$ROOT" rev-parse --git-dir >/dev/null 2>&1 && [ -n "$(git -C "$ROOT" status --porcelain --untracked-files=no)" ]; then
  echo "release: warning: the tree has uncommitted changes; this zip is not the commit's"
fi
echo "release: checking the packages the build needs"
"$ROOT/scripts/setup.sh"
TARGETS=Tunelet BUILD_PROGRESS=1 "$ROOT/scripts/build.sh" win32
zip=$(python3 "$ROOT/tools/release/make_release.py" --dll "$BUILD_DIR/win32/bin/Tunelet.dll" \
        --lng "$ROOT/addons/English.lng" --guide "$ROOT/docs/user-guide.txt" --out "$DIST_DIR")
echo "release: wrote $zip"
(cd "$DIST_DIR" && sha256sum -c SHA256SUMS)
