#!/usr/bin/env bash
# The demo: the simulated host loads the real Tunelet.dll from a fresh folder
# while the user's own X-status is on. When the simulated player is built
# (bin/fake-player.exe), it plays a few generated media files one after
# another and then closes; then a second one, acting as Winamp, plays an
# internet radio station whose window title names the song, changes song
# once and stops; then Spotify plays a song in the system's media session (the
# simulated session manager, bin/FakeMediaSessions.dll, registered in the
# prefix for the demo's run) and closes. Without the simulated player the plug-in just runs a few
# idle poll cycles. The host then shuts the plug-in down. Every X-status the
# host shows is printed as a user would read it, and so is every window of
# the plug-in that appears or closes (the popups, QuickInfo, which the user
# opens with a click on the first popup, the control window): where it is
# and what it shows.
#
# usage: run-demo.sh <build/win32 or build/win64 dir> [--mode 10|11|21|31] [--title T] [--text T]
#                    [--video-title T] [--video-text T] [--lang NAME] [--cycles N] [--screenshots DIR] [--keep] [-v]
#   --mode     the X-status mode (INI key Action); default: the plug-in's own
#   --title    the X-status title template for audio files
#   --text     the X-status text template for audio files
#   --video-title, --video-text   the same for video files
#   --lang     use the language file addons/NAME.lng (e.g. English) for the windows' texts
#   --cycles   idle poll cycles of 3 s to watch when there is no player (default 3)
#   --screenshots DIR   keep a PNG picture of each window as it appears in DIR
#   --keep     keep the demo folder (its INI, store, media and script) and print its path
#   -v         also print every message between host and plug-in
# Expects scripts/wine-env.sh to have been sourced; sources it itself otherwise.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)

usage() { sed -n '14,24p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
[ $# -ge 1 ] || usage
TREE_DIR=$(cd "$1" && pwd); shift
TREE=$(basename "$TREE_DIR")  # win32 or win64: the Wine that runs it
case $TREE in win32|win64) ;; *) echo "run-demo: $TREE_DIR is not a win32 or win64 build tree" >&2; exit 2 ;; esac
MODE="" TITLE="" TEXT="" LANG_NAME="" CYCLES=3 KEEP="" VERBOSE="" HAVE_TITLE="" HAVE_TEXT="" SHOTS=""
VIDEO_TITLE="" VIDEO_TEXT="" HAVE_VIDEO_TITLE="" HAVE_VIDEO_TEXT=""
while [ $# -gt 0 ]; do
  case $1 in
    --mode)   MODE=${2:?--mode needs a value}; shift 2 ;;
    --title)  TITLE=${2?--title needs a value}; HAVE_TITLE=1; shift 2 ;;
    --text)   TEXT=${2?--text needs a value}; HAVE_TEXT=1; shift 2 ;;
    --video-title) VIDEO_TITLE=${2?--video-title needs a value}; HAVE_VIDEO_TITLE=1; shift 2 ;;
    --video-text)  VIDEO_TEXT=${2?--video-text needs a value}; HAVE_VIDEO_TEXT=1; shift 2 ;;
    --lang)   LANG_NAME=${2:?--lang needs a value}; shift 2 ;;
    --cycles) CYCLES=${2:?--cycles needs a value}; shift 2 ;;
    --screenshots) SHOTS=${2:?--screenshots needs a folder}; shift 2 ;;
    --keep)   KEEP=1; shift ;;
    -v)       VERBOSE=-v; shift ;;
    -h|--help) usage ;;
    *) echo "run-demo: unknown option $1" >&2; usage ;;
  esac
done
case $MODE in ""|10|11|21|31) ;; *) echo "run-demo: --mode takes 10, 11, 21 or 31" >&2; exit 2 ;; esac
if [ -n "$LANG_NAME" ] && [ ! -f "$ROOT/addons/$LANG_NAME.lng" ]; then
  echo "run-demo: no language file addons/$LANG_NAME.lng" >&2; exit 2
fi
case $CYCLES in [1-9]|1[0-5]) ;; *) echo "run-demo: --cycles takes 1 to 15" >&2; exit 2 ;; esac

if [ -n "$SHOTS" ]; then mkdir -p "$SHOTS"; SHOTS=$(cd "$SHOTS" && pwd); fi

BIN="$TREE_DIR/bin"
for f in Tunelet.dll talkeo-sim.exe; do
  [ -f "$BIN/$f" ] || { echo "run-demo: $BIN/$f is missing (scripts/build.sh $TREE)" >&2; exit 2; }
done
if ! declare -F tunelet_wine >/dev/null; then
  export BUILD_DIR; BUILD_DIR=$(cd "$TREE_DIR/.." && pwd)
  WINE_TREES=$TREE . "$ROOT/scripts/wine-env.sh"
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tunelet-demo.XXXXXX")
if [ -z "$KEEP" ]; then trap 'rm -rf "$WORK"; declare -F wine_env_teardown >/dev/null && wine_env_teardown' EXIT; fi
cp "$BIN/Tunelet.dll" "$WORK/"
# The language files go beside the plug-in, as they are shipped.
mkdir "$WORK/addons"
cp "$ROOT"/addons/*.lng "$WORK/addons/"
PLAYER=""
if [ -f "$BIN/fake-player.exe" ] && [ -f "$ROOT/tools/demo/make_media.py" ]; then
  PLAYER="$BIN/fake-player.exe"
  python3 "$ROOT/tools/demo/make_media.py" "$WORK/media"
  # Winamp is known by the image name of its process.
  mkdir "$WORK/radio"
  cp "$PLAYER" "$WORK/radio/WINAMP.EXE"
fi
# The system media session: the simulated manager stands in for the system's,
# registered as its runtime class while the demo runs; what it shows is the
# script file named in TUNELET_FAKE_SESSIONS, which the demo rewrites.
SESSIONS=""
SESSION_CLASS='HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId\Windows.Media.Control.GlobalSystemMediaTransportControlsSessionManager'
if [ -n "$PLAYER" ] && [ -f "$BIN/FakeMediaSessions.dll" ]; then
  cp "$BIN/FakeMediaSessions.dll" "$WORK/"
  SESSIONS="$WORK/sessions.txt"
  : >"$SESSIONS"
fi

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
if [ -n "$SESSIONS" ]; then
  tunelet_wine "$TREE" reg add "$SESSION_CLASS" /v DllPath /t REG_SZ /d "$(winpath "$WORK/FakeMediaSessions.dll")" /f \
    </dev/null >/dev/null 2>&1
  export TUNELET_FAKE_SESSIONS; TUNELET_FAKE_SESSIONS=$(winpath "$SESSIONS")
fi
unregister_sessions() {
  [ -n "$SESSIONS" ] && tunelet_wine "$TREE" reg delete "$SESSION_CLASS" /f </dev/null >/dev/null 2>&1
  return 0
}
quote() {  # a text of the script language
  local s=$1
  s=${s//\\/\\\\}; s=${s//\"/\\\"}; s=${s//$'\n'/\\n}; s=${s//$'\r'/\\r}; s=${s//$'\t'/\\t}
  printf '"%s"' "$s"
}

# The plug-in's INI: no language dialog and no update check in a demo, the
# shortest poll period, popups for their default 5 s, and the control window
# shown from the start. Private-profile files take CR LF.
{
  printf '[Main]\r\n'
  [ -n "$MODE" ] && printf 'Action=%s\r\n' "$MODE"
  printf 'Refreshinterval=3000\r\nUpdateonstartup=0\r\n'
  printf '[Popup]\r\nDelay=5\r\n'
  printf '[Others]\r\nFirstrun=0\r\nShow_tlc=1\r\n'
  if [ -n "$LANG_NAME" ]; then printf 'Langfile=%s.lng\r\n' "$LANG_NAME"; fi
} >"$WORK/Tunelet.ini"

{
  echo "# written by run-demo.sh"
  if [ -n "$PLAYER" ]; then echo "echo $(quote "Tunelet demo: mode ${MODE:-as configured}, a player plays $(find "$WORK/media" -type f | wc -l) files, then Winamp a radio station")"
  else echo "echo $(quote "Tunelet demo: mode ${MODE:-as configured}, no player, $CYCLES poll cycles of 3 s")"; fi
  echo "hostkept PluginOn 1"
  echo "hostkept PopupsOn 1"
  # The popups show the language's texts.
  if [ -n "$LANG_NAME" ]; then echo "hostkept UseLanguageFile 1"; fi
  # A record the plug-in never wrote makes it use its own templates and mode
  # 21, so a chosen mode or template marks the record as written before.
  if [ -n "$MODE$HAVE_TITLE$HAVE_TEXT$HAVE_VIDEO_TITLE$HAVE_VIDEO_TEXT" ]; then echo "hostkept Initialised 1"; fi
  if [ -n "$HAVE_TITLE" ]; then echo "hostkept AudioTitleTemplate $(quote "$TITLE")"; fi
  if [ -n "$HAVE_TEXT" ]; then echo "hostkept AudioTextTemplate $(quote "$TEXT")"; fi
  if [ -n "$HAVE_VIDEO_TITLE" ]; then echo "hostkept VideoTitleTemplate $(quote "$VIDEO_TITLE")"; fi
  if [ -n "$HAVE_VIDEO_TEXT" ]; then echo "hostkept VideoTextTemplate $(quote "$VIDEO_TEXT")"; fi
  echo "user-xstatus 10 $(quote 'Кофе') $(quote 'утро, первая чашка')"
  echo "start"
  if [ -n "$PLAYER" ]; then
    # The player's control window takes its commands as WM_COPYDATA text
    # (tools/fake-player/README.md); a new file held open is a new track.
    player() { echo "copydata TuneletFakePlayerControl tunelet-demo 0x46504C59 $(quote "$1")"; }
    echo "run $(quote "$(winpath "$PLAYER")") --control tunelet-demo"
    player 'window 1 MediaPlayerClassicW "Media Player Classic"'
    first=1
    while IFS= read -r f; do
      echo "echo $(quote "> the player opens ${f##*/}")"
      player "open-file 1 \"$(winpath "$f")\""
      # A poll period of 3 s, the 900 ms delay before publishing, a margin.
      if [ -n "$first" ]; then
        echo "wait 4500"
        # The user clicks the track's popup: QuickInfo opens in its place and
        # stays while the mouse rests on it, then goes when the mouse leaves.
        echo "echo $(quote "> the user clicks the popup, then moves the mouse away")"
        echo "click Tpopform 60 40"
        echo "wait 3000"
        echo "mouse screen 640 100"
        echo "wait 1500"
        first=""
      else echo "wait 3500"; fi
    done < <(find "$WORK/media" -type f | LC_ALL=C sort)
    echo "echo $(quote "> the player closes")"
    echo "kill"
    echo "wait 4000"
    # Winamp plays entry 0 of its playlist, the station's URL (answers to
    # WM_USER with 104: the state, 125: the playlist position); the song is
    # in its window title.
    radio() { echo "copydata TuneletFakePlayerControl tunelet-demo-radio 0x46504C59 $(quote "$1")"; }
    echo "echo $(quote "> Winamp plays the radio station http://radio.example.com:8000/live")"
    echo "run $(quote "$(winpath "$WORK/radio/WINAMP.EXE")") --control tunelet-demo-radio"
    radio 'window 1 "Winamp v1.x" "1. Аквариум - Город золотой - Winamp"'
    radio 'answer 1 1024 0 104 1'
    radio 'answer 1 1024 0 125 0'
    radio 'playlist 0 http://radio.example.com:8000/live'
    # Whole poll periods from here on, so that each change comes as far from
    # the poll before it as the radio's start did.
    echo "wait 3000"
    echo "echo $(quote "> the station plays the next song")"
    radio 'title 1 "2. Aurora Lane - Polar Night - Winamp"'
    echo "wait 3000"
    echo "echo $(quote "> Winamp stops")"
    radio 'answer 1 1024 0 104 0'
    echo "wait 4000"  # with a margin: the user's own X-status is back before the end
    echo "kill"
    if [ -n "$SESSIONS" ]; then
      # A song in the system's media session: no classic player runs, so the
      # plug-in asks the session manager.
      spotify=$'session Spotify.exe\ncurrent\nstatus playing\nartist "Aurora Lane"\ntitle "Northern Lights"\nalbum "Polar Night"\ntimeline 0 2150000000 0'
      echo "echo $(quote "> Spotify plays a song (the system's media session)")"
      echo "write-file $(quote "$(winpath "$SESSIONS")") $(quote "$spotify")"
      echo "wait 4500"
      echo "echo $(quote "> Spotify closes")"
      echo "write-file $(quote "$(winpath "$SESSIONS")") $(quote "${spotify/playing/closed}")"
      echo "wait 4000"
    fi
  else
    echo "wait $((CYCLES * 3000 + 500))"
  fi
  echo "shutdown"
  echo "release"
  echo "echo \"Tunelet demo: done\""
} >"$WORK/demo.script"

# One line for each window of the plug-in that appears or closes; with
# --screenshots also a picture of each.
WINDOWS=(--windows)
[ -n "$SHOTS" ] && WINDOWS=(--screenshots "$(winpath "$SHOTS")")

set +e
tunelet_wine "$TREE" "$BIN/talkeo-sim.exe" $VERBOSE "${WINDOWS[@]}" --timeout 50 --store "$(winpath "$WORK/talkeo-sim.store")" \
  -f "$(winpath "$WORK/demo.script")" "$(winpath "$WORK/Tunelet.dll")"
rc=$?
set -e
unregister_sessions
[ -n "$KEEP" ] && echo "run-demo: the demo folder is $WORK"
exit $rc
