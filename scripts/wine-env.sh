# Sourced by the test and demo scripts. For each Windows build tree named in
# WINE_TREES (default: "win32 win64"): a Wine prefix of the tree's bitness
# inside the tree (build/<tree>/wineprefix) and one persistent wineserver;
# for all of them one virtual X display. Everything is started with stdio on
# /dev/null so that piped Wine calls never wait on Wine's helper processes,
# and torn down on exit.
#
# The win32 tree is left out where the machine cannot execute 32-bit
# programs (scripts/can-run-32bit.sh); TUNELET_RUNS_32BIT tells the rest of
# the run (cmake/wine-run.sh) so that it is found out once.
# Run a program of a tree with: tunelet_wine <tree> PROGRAM [ARGS...]
# shellcheck shell=bash

: "${BUILD_DIR:?}"
TUNELET_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export TUNELET_RUNS_32BIT=0
"$TUNELET_ROOT/scripts/can-run-32bit.sh" && TUNELET_RUNS_32BIT=1

tunelet_wine() {  # tree, program, args...
  local tree=$1; shift
  "$TUNELET_ROOT/cmake/wine-run.sh" "$tree" "$BUILD_DIR/$tree/wineprefix" "$@"
}
tunelet_wineserver() {  # tree, wineserver args...
  local tree=$1; shift
  WINEPREFIX="$BUILD_DIR/$tree/wineprefix" "/usr/lib/wine/wineserver${tree#win}" "$@" </dev/null >/dev/null 2>&1
}

. "$TUNELET_ROOT/scripts/progress.sh"
tunelet_make_prefix() {  # tree
  tunelet_wine "$1" wineboot -i </dev/null >/dev/null 2>&1 || true
  tunelet_wineserver "$1" -w
}

WINE_TREES_UP=()
for tree in ${WINE_TREES:-win32 win64}; do
  [ "$tree" = win32 ] && [ "$TUNELET_RUNS_32BIT" != 1 ] && continue
  [ -d "$BUILD_DIR/$tree" ] || continue
  if [ ! -f "$BUILD_DIR/$tree/wineprefix/system.reg" ]; then
    echo "wine: creating the $tree prefix $BUILD_DIR/$tree/wineprefix"
    with_heartbeat "wine: still creating the $tree prefix" tunelet_make_prefix "$tree"
  fi
  # A crashing test must exit, not wait on a crash dialog. Checked on every
  # run: Wine makes a prefix on its own when a test exe is run without one.
  if ! grep -q '^"ShowCrashDialog"=dword:00000000' "$BUILD_DIR/$tree/wineprefix/user.reg" 2>/dev/null; then
    echo "wine: turning off the crash dialog in the $tree prefix"
    tunelet_wine "$tree" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      </dev/null >/dev/null 2>&1
    tunelet_wineserver "$tree" -w
  fi
  WINE_TREES_UP+=("$tree")
done

XVFB_FD_FILE=$(mktemp)
Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$XVFB_FD_FILE" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$XVFB_FD_FILE" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$XVFB_FD_FILE")"
rm -f "$XVFB_FD_FILE"

wine_env_teardown() {
  local tree
  for tree in "${WINE_TREES_UP[@]}"; do tunelet_wineserver "$tree" -k || true; done
  kill "$XVFB_PID" 2>/dev/null || true
}
trap wine_env_teardown EXIT

[ ${#WINE_TREES_UP[@]} -eq 0 ] || echo "wine: starting the wineserver of ${WINE_TREES_UP[*]}"
for tree in "${WINE_TREES_UP[@]}"; do
  tunelet_wineserver "$tree" -p || true  # fails when one already runs: that one serves
  tunelet_wine "$tree" cmd /c exit </dev/null >/dev/null 2>&1 || true
done
