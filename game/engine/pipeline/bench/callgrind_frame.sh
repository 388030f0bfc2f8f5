#!/usr/bin/env bash
# Prints the instructions one benchmark frame (200 textured primitives) takes
# at 240x320 and 480x640, counted by callgrind: repeatable on any machine,
# unlike times. Usage: callgrind_frame.sh PATH/TO/ks_frame_count
set -eu
counter=$1
frames=10
budget=1000000  # instructions for a 240x320 frame
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed: no instruction counts (apt-get install valgrind)"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in "240 320" "480 640"; do
  set -- $size
  out="$work/callgrind.$1x$2"
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*DrawFrames*' \
    "$counter" "$1" "$2" "$frames" >/dev/null 2>&1
  total=$(awk '/^totals:/ {print $2}' "$out")
  [ -n "$total" ] || total=$(awk '/^summary:/ {print $2}' "$out")
  per=$((total / frames))
  note=""
  if [ "$1x$2" = 240x320 ]; then
    if [ "$per" -le "$budget" ]; then note=" (within the budget of $budget)"; else note=" (OVER the budget of $budget)"; fi
  fi
  echo "frame of 200 textured primitives at $1x$2: $per instructions$note"
done
