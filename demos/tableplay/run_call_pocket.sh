#!/usr/bin/env bash
# Plays the scripted 8-Ball rack between two people headless on the virtual
# clock: player 1 clears his group by his own taps, drags and keys, is
# asked for the 8's pocket, names it and pots the 8 there.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" \
  "$program" --game 8ball --p2 human --seed 1 2>"$work/log.txt"
log="$work/log.txt"
fail() {
  echo "$1"
  tail -30 "$log"
  exit 1
}
grep -q "missing data" "$log" && fail "data missing"
grep -q "^tableplay: shown: .* | Player 1 | Select pocket for 8-Ball$" "$log" || fail "player 1 was not asked for the 8's pocket"
grep -q "^tableplay: the game is over: Player 1 Wins$" "$log" || fail "the 8 did not go into the called pocket"
for shot in call_pocket won; do
  [ -s "$shot.png" ] || fail "missing screenshot $shot.png"
done
echo "the 8's pocket was called and the rack won"
