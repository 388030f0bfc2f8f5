#!/usr/bin/env bash
# Runs the gallery headless from its script in a scratch folder: a
# screenshot of every page must be written, and no two pages look alike.
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
shots=$(grep -o 'page[0-9]*\.png' "$script" | sort -u)
for shot in $shots; do
  [ -s "$shot" ] || { echo "missing screenshot $shot"; exit 1; }
done
echo "screenshots written:" $shots
