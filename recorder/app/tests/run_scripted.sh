#!/usr/bin/env bash
# Runs the recorder headless from its script in a scratch folder with a
# 440 Hz tone on the microphone: every screenshot the script names is
# written, every script line carried out, and the recording it makes is a
# file ffmpeg reads.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=10" -ac 1 -ar 44100 "$work/mic.wav"
headless_run "$program" "$script" "missing data|could not|^script: |Snag" DEVICE_MIC="$work/mic.wav"
headless_shots "$script" '[a-z]+[0-9]+\.png'
recording=$(find "$work/device" -iname 'memo001.*' | head -1)
[ -n "$recording" ] || { echo "no recording made"; exit 1; }
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$recording")
echo "recorded $(basename "$recording"): $seconds s; screenshots written:" $shots
