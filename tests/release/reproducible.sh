#!/usr/bin/env bash
# The release is reproducible: scripts/release.sh builds the DLL afresh in a
# build folder of its own (another absolute path, the compiler cache off,
# so every object is compiled again and linked again) and packs it; the
# result must equal, byte for byte, the DLL of this tree and the zip made
# from it.
#   reproducible.sh SOURCE_ROOT TUNELET_DLL WORK_DIR
set -euo pipefail
ROOT=$1 DLL=$2 WORK=$3
rm -rf "$WORK"
mkdir -p "$WORK"

python3 "$ROOT/tools/release/make_release.py" --dll "$DLL" --lng "$ROOT/addons/English.lng" \
  --guide "$ROOT/docs/user-guide.txt" --out "$WORK/tree-dist" >/dev/null
CCACHE_DISABLE=1 BUILD_DIR="$WORK/fresh-build" DIST_DIR="$WORK/fresh-dist" "$ROOT/scripts/release.sh"

fail=0
same() {  # what, file a, file b
  if cmp -s "$2" "$3"; then echo "same: $1"; else echo "FAILED: $1 differs: $2 $3"; cmp "$2" "$3" | head -1; fail=1; fi
}
same Tunelet.dll "$DLL" "$WORK/fresh-build/win32/bin/Tunelet.dll"
for f in "$WORK"/tree-dist/*; do
  same "$(basename "$f")" "$f" "$WORK/fresh-dist/$(basename "$f")"
done
[ "$fail" = 0 ] && rm -rf "$WORK/fresh-build"  # kept to look into when they differ
exit "$fail"
