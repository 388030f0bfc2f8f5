#!/usr/bin/env bash
# Runs the gallery headless from its script in a scratch folder, as a
# Smartphone device (so its last page shows the native edit there): a
# screenshot of every page must be written, no two pages alike, with
# nothing the pages need missing.
set -eu
program=$1
script=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_PLATFORM_TYPE=SmartPhone DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "$program" 2>"$work/errors.txt" || {
  cat "$work/errors.txt"
  exit 1
}
# Every picture decoded, the menu bar made, every script line carried out.
if grep -qE "missing data|did not decode|could not|^script: " "$work/errors.txt"; then
  cat "$work/errors.txt"
  exit 1
fi
shots=$(grep -o 'page[0-9]*\.png' "$script" | sort -u)
for shot in $shots; do
  [ -s "$shot" ] || { echo "missing screenshot $shot"; exit 1; }
done
# Each page looks different from the one before.
for pair in "page1 page2" "page2 page3" "page3 page4"; do
  set -- $pair
  if [ -s "$1.png" ] && [ -s "$2.png" ] && cmp -s "$1.png" "$2.png"; then
    echo "$1.png and $2.png are the same picture"
    exit 1
  fi
done
echo "screenshots written:" $shots
