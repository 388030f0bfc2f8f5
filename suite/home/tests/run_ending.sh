#!/usr/bin/env bash
# Scripted runs of the home screen end with their script, whatever is open:
# a quit or the end of the script while an icon's details pop-up (a modal
# loop) is up ends it cleanly with status 0; a script that cannot be read
# or whose command fails ends it with a non-zero status and the reason, the
# commands after the failed one left undone. A run that does not end is
# stopped after a minute and fails the test.
set -u
program=$1
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch
failed=0

# run NAME STATUS MESSAGE SCRIPT-LINES...: STATUS is 0 or "fail"; MESSAGE a
# pattern the errors must show ("" for none).
run() {
  local name=$1 want=$2 message=$3
  shift 3
  printf '%s\n' "$@" >"$work/$name.script"
  rm -rf "$work/device"
  local started=$SECONDS status
  timeout 60 env DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/$name.script" "$program" \
    >"$work/$name.out" 2>&1
  status=$?
  local problem=""
  if [ "$status" = 124 ]; then
    problem="still running after 60 s"
  elif [ "$want" = 0 ] && [ "$status" != 0 ]; then
    problem="status $status, wanted 0"
  elif [ "$want" = fail ] && [ "$status" = 0 ]; then
    problem="status 0, wanted a failure"
  elif [ -n "$message" ] && ! grep -qE "$message" "$work/$name.out"; then
    problem="no message matching \"$message\""
  elif grep -qE "Sanitizer|runtime error" "$work/$name.out"; then
    problem="the sanitizer reported"
  elif [ -e "$work/after.png" ]; then
    problem="a command after the failed one ran"
  fi
  if [ -n "$problem" ]; then
    echo "$name: $problem ($((SECONDS - started)) s)"
    cat "$work/$name.out"
    failed=1
  else
    echo "$name: ended with status $status in $((SECONDS - started)) s"
  fi
}

run quit-after-tap-outside 0 "" "wait 300" "hold 45 60" "wait 300" "tap 120 280" "wait 300" "quit"
run quit-while-pop-up-open 0 "" "wait 300" "hold 45 60" "wait 300" "quit"
run script-ends-while-pop-up-open 0 "" "wait 300" "hold 45 60" "wait 300"
run unknown-word fail "unknown command \"frobnicate\"" "wait 300" "frobnicate"
run missing-menu-entry fail "no entry \"Nowhere\"" "wait 300" "menu Nowhere" "screenshot after.png"
run missing-control-in-pop-up fail "no control 4242" "wait 300" "hold 45 60" "click 4242" "screenshot after.png"
exit $failed
