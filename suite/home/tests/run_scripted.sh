#!/usr/bin/env bash
# Runs the home screen headless from its script in a scratch device: every
# screenshot the script names must be written, with nothing reported missing.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "$program" 2>"$work/errors.txt" || {
  cat "$work/errors.txt"
  exit 1
}
if grep -qE "^script: |no layout shown|could not write" "$work/errors.txt"; then
  cat "$work/errors.txt"
  exit 1
fi
shots=$(grep -o '[a-z0-9_]*\.png' "$script" | sort -u)
for shot in $shots; do
  [ -s "$shot" ] || { echo "missing screenshot $shot"; exit 1; }
done
echo "screenshots written:" $shots
