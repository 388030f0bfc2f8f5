#!/usr/bin/env bash
# Runs the demo headless from its script in a scratch folder and checks that
# each screenshot was written, that the showcase found its fonts, model and
# movies, that the intro movie was on the screen and its sound track on the
# speaker,
# that the pictures changed as the pen moved and the scene turned, and that
# the scene stands upright until turned (its floor along the bottom of the
# portrait screen). Then runs it with no display and no script: it must run
# its own script from its data folder and end.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
headless_run "$program" "$script" "missing data" DEVICE_SPEAKER="$work/speaker.wav"
headless_shots_named intro start tap drag turned turned2
if cmp -s intro.png start.png || cmp -s start.png tap.png || cmp -s tap.png drag.png || cmp -s drag.png turned.png || cmp -s turned.png turned2.png; then
  echo "the screen did not change between screenshots"
  exit 1
fi

# The colour at a pixel of a screenshot: "R G B".
pixel() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
# The floor is the one green place of the scene.
floor_at() {
  read -r r g b <<<"$(pixel "$1" "$2" "$3")"
  [ "$g" -gt $((r + 20)) ] && [ "$g" -gt $((b + 20)) ]
}
floor_at start.png 4 314 || { echo "start.png: the scene is not upright (no floor at the bottom)"; exit 1; }
# The intro shows the table's cloth (green) in the middle of the screen.
floor_at intro.png 120 160 || { echo "intro.png: the intro movie is not on the screen"; exit 1; }
# Its sound track reached the speaker: some samples well above silence.
if command -v sox >/dev/null; then
  peak=$(sox "$work/speaker.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
  awk -v p="${peak:-0}" 'BEGIN { exit !(p > 0.05) }' || { echo "the intro's sound track was not heard (peak $peak)"; exit 1; }
fi
floor_at start.png 235 4 && { echo "start.png: the scene is turned (floor on the right)"; exit 1; }
floor_at turned.png 235 4 || { echo "turned.png: Enter did not turn the scene a quarter round"; exit 1; }
echo "screenshots written: intro start tap drag turned turned2"

mkdir own
cd own
if ! env -u DISPLAY -u WAYLAND_DISPLAY -u DEVICE_SCRIPT -u DEVICE_BACKEND DEVICE_ROOT="$work/device" \
  timeout 60 "$program" 2>"$work/own.txt"; then
  echo "with no display and no script the demo did not end well:"
  cat "$work/own.txt"
  exit 1
fi
[ -s turned.png ] || { echo "with no display and no script the demo did not run its own script"; exit 1; }
grep -q "running the script" "$work/own.txt" || { echo "the demo did not say it runs its own script"; exit 1; }
echo "with no display it ran its own script"
