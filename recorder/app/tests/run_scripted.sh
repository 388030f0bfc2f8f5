#!/usr/bin/env bash
# Runs the recorder headless from its script in a scratch folder with a
# 440 Hz tone on the microphone: every screenshot the script names is
# written, every script line carried out, and the recording it makes is a
# file ffmpeg reads.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=10" -ac 1 -ar 44100 "$work/mic.wav"
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" DEVICE_MIC="$work/mic.wav" \
  "$program" 2>"$work/errors.txt" || {
  cat "$work/errors.txt"
  exit 1
}
if grep -qE "missing data|could not|^script: |Snag" "$work/errors.txt"; then
  cat "$work/errors.txt"
  exit 1
fi
shots=$(grep -oE '[a-z]+[0-9]+\.png' "$script" | sort -u)
for shot in $shots; do
  [ -s "$shot" ] || { echo "missing screenshot $shot"; exit 1; }
done
recording=$(find "$work/device" -iname 'memo001.*' | head -1)
[ -n "$recording" ] || { echo "no recording made"; exit 1; }
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$recording")
echo "recorded $(basename "$recording"): $seconds s; screenshots written:" $shots
