#!/usr/bin/env bash
# Runs the skin gallery headless from a script in a scratch folder on a
# Pocket PC or a Smartphone: every screenshot the script names must be
# written and every script line carried out.
set -eu
program=$1
script=$2
platform=$3
if [ "$platform" = Smartphone ]; then
  script=$(dirname "$script")/skingallery_phone.script
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" DEVICE_PLATFORM_TYPE="$platform" \
  "$program" 2>"$work/errors.txt" || {
  cat "$work/errors.txt"
  exit 1
}
if grep -qE "missing data|could not|^script: |Snag" "$work/errors.txt"; then
  cat "$work/errors.txt"
  exit 1
fi
shots=$(grep -oE '[a-z]+[0-9]+\.png' "$script" | sort -u)
for shot in $shots; do
  [ -s "$shot" ] || { echo "missing screenshot $shot"; exit 1; }
done
echo "screenshots written:" $shots
