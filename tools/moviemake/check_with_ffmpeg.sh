#!/usr/bin/env bash
# Checks movies with ffmpeg: ffprobe names the video stream vp3 and ffmpeg
# decodes every frame without an error. Makes a movie of its own (every
# frame an inter frame after the first, a high and a low quality) and checks
# the game's intro when it has been built. Exits 77 (skipped) without ffmpeg.
set -eu
moviemake=$1
intro=${2:-}
command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null || { echo "ffmpeg is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {
  local movie=$1 frames=$2
  local codec
  codec=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$movie")
  [ "$codec" = vp3 ] || { echo "$movie: ffprobe names the stream '$codec', not vp3"; exit 1; }
  ffmpeg -nostdin -v error -i "$movie" -f null - 2>"$work/errors.txt"
  if [ -s "$work/errors.txt" ]; then
    echo "$movie: ffmpeg reported errors:"
    head -20 "$work/errors.txt"
    exit 1
  fi
  local decoded
  decoded=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$movie")
  [ "$decoded" = "$frames" ] || { echo "$movie: ffmpeg decoded $decoded frames, not $frames"; exit 1; }
  echo "$movie: vp3, $decoded frames decoded without an error"
}

"$moviemake" --scene break --title "CHECK 1" --seconds 2 --quality 60 --keyint 64 "$work/high.avi" >/dev/null
check "$work/high.avi" 30
"$moviemake" --scene break --title "CHECK 2" --seconds 2 --quality 5 --keyint 1 --size 176x144 "$work/low.avi" >/dev/null
check "$work/low.avi" 30
# Frames from PNG files: three pictures ffmpeg draws.
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x112:rate=15 -frames:v 3 "$work/picture%d.png"
"$moviemake" --no-sound --png "$work/picture1.png" "$work/picture2.png" "$work/picture3.png" "$work/png.avi" >/dev/null
check "$work/png.avi" 3
if [ -n "$intro" ] && [ -f "$intro" ]; then
  check "$intro" "$(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$intro")"
fi
