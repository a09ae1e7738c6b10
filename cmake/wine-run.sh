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
exec "$loader" "$@"
