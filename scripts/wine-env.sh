# Sourced by the test and demo scripts: one Wine prefix inside the build tree,
# one virtual X display and one persistent wineserver for the whole run, all
# with stdio on /dev/null so that piped Wine calls never wait on Wine's helper
# processes. Tears everything down on exit.
# shellcheck shell=bash

: "${BUILD_DIR:?}"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: creating prefix $WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1 || true
  wineserver -w
fi
# A crashing test must exit, not wait on a crash dialog. Checked on every run:
# Wine creates the prefix on its own when a test exe is run without this file.
if ! grep -q '^"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  wineserver -w
fi


XVFB_FD_FILE=$(mktemp)
Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$XVFB_FD_FILE" 2>/dev/null &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$XVFB_FD_FILE" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$XVFB_FD_FILE")"
rm -f "$XVFB_FD_FILE"

wine_env_teardown() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  kill "$XVFB_PID" 2>/dev/null || true
}
trap wine_env_teardown EXIT

wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
