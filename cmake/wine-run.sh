#!/bin/sh
# Runs a Windows program of one build tree under the Wine of its bitness:
#   wine-run.sh win32|win64 PREFIX PROGRAM [ARGS...]
# Each tree has a prefix of its own (PREFIX, made by scripts/wine-env.sh).
# scripts/wine-env.sh also sets DISPLAY and starts the servers for the run.
# On a machine that cannot execute 32-bit programs no Wine runs 32-bit
# Windows code: a win32 program is then not run, and exit code 77 marks the
# test skipped.
arch=$1 prefix=$2
shift 2
case $arch in
  win32)
    if [ -z "${TUNELET_RUNS_32BIT:-}" ]; then
      TUNELET_RUNS_32BIT=0
      "$(dirname "$0")/../scripts/can-run-32bit.sh" && TUNELET_RUNS_32BIT=1
    fi
    if [ "$TUNELET_RUNS_32BIT" != 1 ]; then
      echo "SKIPPED: this machine cannot run 32-bit programs"
      exit 77
    fi
    loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32 ;;
  win64)
    loader=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64 ;;
  *) echo "wine-run.sh: unknown build $arch" >&2; exit 2 ;;
esac
export WINEPREFIX="$prefix" WINEARCH="$arch" WINESERVER="$server"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Wine's own tools (wineboot, reg, cmd) are run as they are.
[ -f "$1" ] || exec "$loader" "$@"

# A Wine process whose wineserver goes away ends at once, silently and with
# status 0 (seen once in CI: a test "ran" for 0.02 s and printed nothing).
# Every program of ours prints something, so a run that printed nothing at
# all is Wine failing to start it: say so and run it once more (a new
# wineserver starts on its own). A run that printed anything stands.
# The output goes through a file, not a pipe: Wine's helper processes
# started with a new server inherit it and would hold a pipe open for good.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run_once() {
  : >"$log"
  "$loader" "$@" >"$log" 2>&1 &
  pid=$!
  tail -s 0.1 -n +1 -f --pid=$pid "$log" &
  wait $pid
  status=$?
  wait
}
run_once "$@"
if [ ! -s "$log" ]; then
  echo "wine-run.sh: $1 ended with status $status before printing anything; running it once more"
  run_once "$@"
fi
exit $status
