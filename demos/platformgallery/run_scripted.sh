#!/usr/bin/env bash
# Runs the gallery headless from its script in a scratch folder, as a
# Smartphone device (so its last page shows the native edit there): a
# screenshot of every page must be written, no two pages alike, with
# nothing the pages need missing.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
# Every picture decoded, the menu bar made, every script line carried out.
headless_run "$program" "$script" "missing data|did not decode|could not|^script: " DEVICE_PLATFORM_TYPE=SmartPhone
headless_shots "$script" 'page[0-9]*\.png'
# Each page looks different from the one before.
for pair in "page1 page2" "page2 page3" "page3 page4"; do
  set -- $pair
  if [ -s "$1.png" ] && [ -s "$2.png" ] && cmp -s "$1.png" "$2.png"; then
    echo "$1.png and $2.png are the same picture"
    exit 1
  fi
done
echo "screenshots written:" $shots
