#!/usr/bin/env bash
# Plays a rack headless from the harness's script against the computer on
# the virtual clock: the game must reach its end, every screenshot must be
# written, and bad options are refused with status 2.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
headless_run "$program" "$script" "missing data" DEVICE_CLOCK=virtual -- --game 8ball --p2 hard --seed 2
grep -qE "the game is over: (Player 1|Computer) (Wins|Loses)" "$work/errors.txt" || { echo "the rack did not reach its end"; cat "$work/errors.txt"; exit 1; }
for shot in aim stroke_08 stroke_20 break after_break turn_25; do
  [ -s "$shot.png" ] || { echo "missing screenshot $shot.png"; exit 1; }
done
if cmp -s aim.png after_break.png; then
  echo "the screen did not change over the break"
  exit 1
fi
# The stroke key held pulls the stick back, further the longer it is held.
if cmp -s aim.png stroke_08.png || cmp -s stroke_08.png stroke_20.png; then
  echo "the stick did not come back while the stroke key was held"
  exit 1
fi
# A screen held sideways: the game turns its picture a quarter, and the
# track lines of the aimed shot are drawn with it.
printf 'wait 4500\nkey t\nwait 1500\nscreenshot tracks_turned.png\nquit\n' >"$work/turned.script"
DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/turned.script" \
  DEVICE_SCREEN_WIDTH=320 DEVICE_SCREEN_HEIGHT=240 "$program" --game 9ball --p2 none 2>"$work/turned.txt"
[ -s tracks_turned.png ] || { echo "missing screenshot tracks_turned.png"; cat "$work/turned.txt"; exit 1; }
status=0
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "$program" --p2 nobody 2>/dev/null ||
  status=$?
[ "$status" = 2 ] || { echo "a bad --p2 gave status $status, not 2"; exit 1; }
echo "rack played to its end"
