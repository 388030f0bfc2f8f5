#!/usr/bin/env bash
# Prints the instructions a full frame (room, table, 16 balls, stick), a
# frame with nothing changed, one where only the stick moves and an
# incremental frame during a break take at 240x320 and 480x640, counted by
# callgrind: repeatable on any machine, unlike times. A full frame is
# counted twice: with the camera standing still (the room and the table are
# copied back from the kept picture) and right after the camera moved
# (everything drawn).
# Usage: callgrind_frames.sh PATH/TO/ks_play_frame_count
set -eu
counter=$1
frames=20
if ! command -v valgrind >/dev/null 2>&1; then
  echo "valgrind is not installed: no instruction counts (apt-get install valgrind)"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count() {  # size, function
  local out="$work/callgrind.$1.$2"
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect="*$2*" \
    "$counter" ${1%x*} ${1#*x} "$frames" >/dev/null 2>&1
  local total
  total=$(awk '/^totals:/ {print $2}' "$out")
  [ -n "$total" ] || total=$(awk '/^summary:/ {print $2}' "$out")
  echo $((total / frames))
}
for size in 240x320 480x640; do
  budget=1000000
  [ "$size" = 480x640 ] && budget=3000000
  full=$(count "$size" DrawFullFrames)
  note="within"; [ "$full" -le "$budget" ] || note="OVER"
  echo "full frame at $size, camera still: $full instructions ($note the budget of $budget)"
  moved=$(count "$size" DrawCameraMovedFrames)
  note="within"; [ "$moved" -le "$budget" ] || note="OVER"
  echo "full frame at $size, camera moved: $moved instructions ($note the budget of $budget)"
  still=$(count "$size" DrawStillFrames)
  echo "incremental frame at $size, nothing changed (the computer thinking): $still instructions"
  stick=$(count "$size" DrawStickFrames)
  echo "frame at $size where only the stick moves (a stroke): $stick instructions"
  inc=$(count "$size" DrawBreakFrames)
  echo "incremental frame at $size, first $frames frames of a break (every ball moving): $inc instructions"
  out="$work/callgrind.$size.whole"
  valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*DrawWholeBreak*' \
    "$counter" ${size%x*} ${size#*x} "$frames" >"$work/whole.txt" 2>&1
  total=$(awk '/^totals:/ {print $2}' "$out")
  [ -n "$total" ] || total=$(awk '/^summary:/ {print $2}' "$out")
  n=$(sed -n 's/.*: \([0-9]*\) break frames recorded/\1/p' "$work/whole.txt")
  avg=$((total / n))
  note="within"; [ "$avg" -le 250000 ] || note="OVER"
  echo "incremental frame at $size, average over the whole break ($n frames): $avg instructions ($note the budget of 250000)"
done
