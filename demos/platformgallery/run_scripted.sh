#!/usr/bin/env bash
# Runs the gallery headless from its script in a scratch folder, as a
# Smartphone device (so its last page shows the native edit there): a
# screenshot of every page must be written, no two pages alike, with
# nothing the pages need missing. Then, on the Smartphone page with the
# focus in its edit box, Left must go back a page and Esc end the program.
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

# The gallery's own keys on the last page, whose edit box has the focus:
# Left shows the page before as it was, Esc ends the program at once (the
# screenshot after it is never taken).
mkdir keys
cd keys
cat >keys.script <<'SCRIPT'
wait 100
key right
softkey right
menu Next page
key right
screenshot before.png
key right
screenshot last.png
key left
screenshot back.png
key right
key escape
wait 500
screenshot after_escape.png
SCRIPT
if ! env DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/keys/keys.script" \
  DEVICE_PLATFORM_TYPE=SmartPhone timeout 60 "$program" 2>errors.txt; then
  echo "the gallery did not end well on Esc:"
  cat errors.txt
  exit 1
fi
headless_shots_named before last back
cmp -s before.png last.png && { echo "Right did not reach the last page"; exit 1; }
cmp -s before.png back.png || { echo "Left on the last page did not go back a page"; exit 1; }
[ -e after_escape.png ] && { echo "Esc on the last page did not end the program"; exit 1; }
echo "on the last page Left went back and Esc ended the program"
