#!/usr/bin/env bash
# Remakes docs/screenshots/popup-track.png, popup-state.png,
# popup-long-text.png, control-window.png, language-dialog.png, quickinfo-cover.png and
# quickinfo-nocover.png: builds
# ui-preview in build/win64, runs each of its scenes under 64-bit Wine on a
# virtual X display and cuts each window, with a margin of backdrop, out of a
# picture of the whole screen. Needs imagemagick (import, convert).
# Then options-<n>-<name>.png, one for each tab of the options dialog, and
# options-8-privacy-en.png with the English language file: the
# real Tunelet.dll in the simulated host, which opens the dialog, picks each
# tab and takes its picture itself. "make-screenshots.sh options" makes only
# those.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
export BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
OUT="$ROOT/docs/screenshots"
MARGIN=4  # less than the 5 pixels between popups
CONVERT=/usr/bin/convert
[ -x "$CONVERT" ] || CONVERT=convert

[ -f "$BUILD_DIR/win64/build.ninja" ] || "$ROOT/scripts/build.sh" win64 >/dev/null
ninja -C "$BUILD_DIR/win64" ui-preview Tunelet talkeo-sim >/dev/null
WINE_TREES=win64 . "$ROOT/scripts/wine-env.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"; wine_env_teardown' EXIT
mkdir -p "$OUT"

# shoot SCENE NAME...: one picture per window the scene shows, in its order.
shoot() {
  local scene=$1; shift
  local names=("$@")
  : >"$work/rects"
  tunelet_wine win64 "$BUILD_DIR/win64/bin/ui-preview.exe" 6 "$scene" >"$work/rects" &
  local preview=$!
  for _ in $(seq 1 100); do [ "$(wc -l <"$work/rects")" -ge ${#names[@]} ] && break; sleep 0.1; done
  sleep 1.5  # painted
  import -window root "$work/screen.png"
  wait "$preview"
  local i=0 left top width height geometry
  while read -r left top width height; do
    geometry="$((width + 2 * MARGIN))x$((height + 2 * MARGIN))+$((left - MARGIN))+$((top - MARGIN))"
    "$CONVERT" "$work/screen.png" -crop "$geometry" +repage "$OUT/${names[$i]}.png"
    echo "$OUT/${names[$i]}.png"
    i=$((i + 1))
  done < <(tr -d "\r" <"$work/rects")
}

if [ "${1:-}" != options ]; then
  shoot windows popup-track popup-state control-window language-dialog
  shoot popup-long popup-long-text
  shoot quickinfo-cover quickinfo-cover
  shoot quickinfo-nocover quickinfo-nocover
fi

# The options dialog's tabs, from a fresh folder with a quiet INI (no
# language dialog, no update check); the mouse out of the way of the hints.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
quoted() { local p=${1//\\/\\\\}; printf '"%s"' "$p"; }  # a text of the sim's script
mkdir -p "$work/options"
cp "$BUILD_DIR/win64/bin/Tunelet.dll" "$work/options/"
# write_ini [LANGFILE]: a quiet INI, with the privacy tab's choices made
# (foobar2000 off, two applications seen, a browser among them off as it
# starts, three patterns, both numbers).
write_ini() {
  printf '[Main]\r\nUpdateonstartup=0\r\n[Others]\r\nFirstrun=0\r\ntemp=1\r\n'
  [ -z "${1:-}" ] || printf 'Langfile=%s\r\n' "$1"
  printf '[Privacy]\r\nPlayer9=0\r\nApps=2\r\nApp1=Spotify.exe\r\nAppshared1=1\r\nApp2=firefox.exe\r\nAppshared2=0\r\n'
  printf 'Exclusions=3\r\nExclusion1=artist:*podcast*\r\nExclusion2=%s\r\nExclusion3=title:Intro\r\n' 'path:D:\Private\*'
  printf 'Pauselimit=30\r\nCalminterval=60\r\n'
}
write_ini >"$work/options/Tunelet.ini"
tabs=(players main xstatus hotkeys popups others control about privacy)
steps="hostkept Initialised 1; hostkept PluginOn 1; hostkept PopupsOn 1; start; options; mouse screen 0 0"
for i in "${!tabs[@]}"; do
  shot="$OUT/options-$i-${tabs[$i]}.png"
  steps+="; tab $i; wait 1000; screenshot $(quoted "$(winpath "$shot")") options"
done
tunelet_wine win64 "$BUILD_DIR/win64/bin/talkeo-sim.exe" --no-store --timeout 60 \
  "$(winpath "$work/options/Tunelet.dll")" -e "$steps; shutdown; release" | grep -o 'screenshot .*' || true

# The privacy tab once more with the shipped English language file.
mkdir -p "$work/options/addons"
cp "$ROOT/addons/English.lng" "$work/options/addons/"
write_ini English.lng >"$work/options/Tunelet.ini"
shot="$OUT/options-8-privacy-en.png"
steps="hostkept Initialised 1; hostkept PluginOn 1; hostkept UseLanguageFile 1; start; options; mouse screen 0 0"
steps+="; tab 8; wait 1000; screenshot $(quoted "$(winpath "$shot")") options"
tunelet_wine win64 "$BUILD_DIR/win64/bin/talkeo-sim.exe" --no-store --timeout 60 \
  "$(winpath "$work/options/Tunelet.dll")" -e "$steps; shutdown; release" | grep -o 'screenshot .*' || true
