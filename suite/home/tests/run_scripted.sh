#!/usr/bin/env bash
# Runs the home screen headless from its script in a scratch device: every
# screenshot the script names must be written, with nothing reported missing.
# With SCRIPT_SCALE set (2), the script's points (tap, hold, down, move, up)
# are multiplied by it first, so one script written at 96 DPI also runs on
# the denser screen.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch
if [ -n "${SCRIPT_SCALE:-}" ]; then
  awk -v s="$SCRIPT_SCALE" '$1 ~ /^(tap|hold|down|move|up)$/ && NF == 3 { print $1, $2 * s, $3 * s; next } { print }' \
    "$script" >"$work/scaled.script"
  script="$work/scaled.script"
fi
headless_run "$program" "$script" "^script: |no layout shown|could not write"
headless_shots "$script" '[a-z0-9_]*\.png'
echo "screenshots written:" $shots
