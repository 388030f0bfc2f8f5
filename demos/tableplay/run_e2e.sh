#!/usr/bin/env bash
# Plays a rack of 8-Ball against the easy computer headless from a script of
# taps, drags and keys on the virtual clock, and checks what the harness
# reports as it goes: the break by a pen stroke on the grip, the computer's
# turns ("Thinking"), fouls with ball in hand and the cue ball placed, a
# replay, and the end of the game with its verdict shown.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" \
  "$program" --game 8ball --p2 easy --seed 2 2>"$work/log.txt"
log="$work/log.txt"
fail() {
  echo "$1"
  cat "$log"
  exit 1
}
grep -q "missing data" "$log" && fail "data missing"
# The pen stroke on the grip starts the break: a shot (state 33) before any
# computer's turn.
first=$(grep -m1 -E "^tableplay: state (32|33)$" "$log")
[ "$first" = "tableplay: state 33" ] || fail "the break was not struck by the pen"
grep -q "^tableplay: shown: Thinking | .* | Computer$" "$log" || fail "no computer's turn"
grep -q "^tableplay: state 18$" "$log" || fail "no replay"
grep -qE "\| (Scratch|Ball not hit|Rail not hit|Own ball not hit first|8-ball not hit first|Illegal Break) \|" "$log" ||
  fail "no foul shown"
# Ball in hand for the person, then the cue ball placed (state 10).
grep -A1 "^tableplay: shown: Aim/Ball in Hand | .* | Player 1$" "$log" | grep -q "^tableplay: state 10$" ||
  fail "ball in hand was not placed"
verdict=$(sed -n 's/^tableplay: the game is over: //p' "$log")
case "$verdict" in
  "Player 1 Wins" | "Player 1 Loses" | "Computer Wins" | "Computer Loses") ;;
  *) fail "the rack did not reach its end" ;;
esac
grep -q "^tableplay: shown:  | $verdict | " "$log" || fail "the verdict was not shown"
for shot in e2e_aim e2e_break e2e_replay; do
  [ -s "$shot.png" ] || fail "missing screenshot $shot.png"
done
cmp -s e2e_aim.png e2e_break.png && fail "the break did not change the screen"
echo "rack played to its end: $verdict"
