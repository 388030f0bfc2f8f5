#!/usr/bin/env bash
# Held arrow keys at the table, headless on the virtual clock, as they work
# in the game: a key-down each frame tick while the key is held. Left held
# for a second turns the aim, and Up held in Move View moves the view, far
# more than one press of the key does; the screenshots show it. (The first
# press in aiming brings the camera to the aim: the presses compared come
# after it.)
#   run_held_keys.sh TABLEPLAY
set -eu
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >held.script <<'SCRIPT'
wait 6000
key left
wait 300
screenshot start.png
key left
wait 300
screenshot tapped.png
keydown left
wait 1000
keyup left
wait 300
screenshot held.png
key v
wait 300
screenshot view.png
key up
wait 300
screenshot view_tapped.png
keydown up
wait 1000
keyup up
wait 300
screenshot view_held.png
quit
SCRIPT
DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/held.script" \
  "$program" --game 9ball --p2 none 2>log.txt || {
  cat log.txt
  echo "tableplay exited with status $?"
  exit 1
}
fail() {
  echo "$1"
  cat log.txt
  exit 1
}
grep -q "missing data" log.txt && fail "data missing"
for shot in start tapped held view view_tapped view_held; do
  [ -s "$shot.png" ] || fail "missing screenshot $shot.png"
done
# How many pixels two screenshots differ in.
differ() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
pixels=$(identify -format '%[fx:w*h]' start.png)
check() {  # BEFORE ONE_PRESS HELD WHAT
  local press held
  press=$(differ "$1" "$2")
  held=$(differ "$2" "$3")
  echo "$4: one press changes $press pixels, a second held $held of $pixels"
  # Held, the key acts every tick: most of the picture moves, and many
  # times what one press moves.
  ((held * 4 > pixels)) || fail "$4: a held key did not act on every tick"
  ((held > 4 * press)) || fail "$4: a held key acted no more than one press"
}
check start.png tapped.png held.png "Left in aiming"
check view.png view_tapped.png view_held.png "Up in Move View"
