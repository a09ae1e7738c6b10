#!/bin/sh
# Runs a Windows test executable under Wine. scripts/wine-env.sh sets WINEPREFIX
# and DISPLAY for the whole test run; the fallbacks keep a lone call working.
export WINEPREFIX="${WINEPREFIX:-$(dirname "$0")/../build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
