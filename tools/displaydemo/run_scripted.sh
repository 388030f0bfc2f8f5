#!/usr/bin/env bash
# Runs the demo headless from its script in a scratch folder and checks that
# each screenshot was written, that the showcase found its fonts and model,
# and that the pictures changed as the pen moved.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "$program" 2>"$work/errors.txt"
if grep -q "missing data" "$work/errors.txt"; then
  cat "$work/errors.txt"
  exit 1
fi
for shot in start tap drag; do
  [ -s "$shot.png" ] || { echo "missing screenshot $shot.png"; exit 1; }
done
if cmp -s start.png tap.png || cmp -s tap.png drag.png; then
  echo "the screen did not change between screenshots"
  exit 1
fi
echo "screenshots written: start tap drag"
