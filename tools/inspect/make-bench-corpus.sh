#!/usr/bin/env bash
# Writes a benchmark corpus for `tunelet-inspect --bench`: N tagged files of
# each kind (MP3 with ID3v2+ID3v1 and a cover, Ogg Vorbis, FLAC with a cover,
# WavPack with an APE tag, M4A, WMA, WAV), each a 30 s stereo tone, with a
# different title, artist, album and track number per file.
# Needs Debian's ffmpeg (apt-get install ffmpeg).
# Usage: tools/inspect/make-bench-corpus.sh DIR [N=200]
set -euo pipefail
dir=${1:?usage: make-bench-corpus.sh DIR [N]}
n=${2:-200}
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (apt-get install ffmpeg)" >&2; exit 1; }
mkdir -p "$dir"
base=$(mktemp -d)
trap 'rm -rf "$base"' EXIT
ff() { ffmpeg -nostdin -v error -y "$@"; }

# One encoded base per kind; the copies only get new tags.
ff -f lavfi -i "sine=frequency=440:duration=30:sample_rate=44100" -ac 2 "$base/tone.wav"
ff -f lavfi -i "color=c=blue:s=64x64" -frames:v 1 "$base/cover.png"
ff -i "$base/tone.wav" -c:a libmp3lame -b:a 128k "$base/base.mp3"
ff -i "$base/tone.wav" -c:a libvorbis -q:a 3 "$base/base.ogg"
ff -i "$base/tone.wav" -c:a flac "$base/base.flac"
ff -i "$base/tone.wav" -c:a wavpack "$base/base.wv"
ff -i "$base/tone.wav" -c:a aac -b:a 128k "$base/base.m4a"
ff -i "$base/tone.wav" -c:a wmav2 -b:a 128k "$base/base.wma"

for i in $(seq 1 "$n"); do
  tags=(-metadata "title=Bench title $i" -metadata "artist=Bench artist $((i % 17))"
        -metadata "album=Bench album $((i % 23))" -metadata "track=$((i % 30 + 1))/30"
        -metadata "date=$((1970 + i % 50))" -metadata "genre=Bench")
  f=$(printf '%s/%04d' "$dir" "$i")
  ff -i "$base/base.mp3" -i "$base/cover.png" -map 0:a -map 1:v -c copy -disposition:v attached_pic \
     -id3v2_version 3 -write_id3v1 1 "${tags[@]}" "$f.mp3"
  ff -i "$base/base.ogg" -c copy "${tags[@]}" "$f.ogg"
  ff -i "$base/base.flac" -i "$base/cover.png" -map 0:a -map 1:v -c copy -disposition:v attached_pic \
     "${tags[@]}" "$f.flac"
  ff -i "$base/base.wv" -c copy "${tags[@]}" "$f.wv"
  ff -i "$base/base.m4a" -c copy "${tags[@]}" "$f.m4a"
  ff -i "$base/base.wma" -c copy "${tags[@]}" "$f.wma"
  ff -i "$base/tone.wav" -c copy "${tags[@]}" "$f.wav"
done
echo "$(find "$dir" -type f | wc -l) files in $dir"
