#!/usr/bin/env bash
# The recorder on the device's own input and devices, headless:
# 1. a recording renamed by typing "xcvbnm" on the input panel's keys;
# 2. with no microphone configured, Record says there is none and nothing
#    is recorded.
set -eu
program=$1
rename_script=$2
record_script=$3
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch

headless_run "$program" "$rename_script" "^script: |missing data|Snag" DEVICE_MIC=tone
headless_shots "$rename_script" '[a-z_]+\.png'
renamed=$(find "$work/device" -name 'xcvbnm.mp3' -size +0 | head -1)
[ -n "$renamed" ] || { echo "no recording named xcvbnm.mp3:"; find "$work/device" -iname '*.mp3'; exit 1; }

rm -rf "$work/device"
headless_run "$program" "$record_script" "^script: |missing data|Snag" DEVICE_MIC=
grep -q "No microphone was found" "$work/errors.txt" || { echo "no word of the missing microphone"; exit 1; }
recorded=$(find "$work/device" -iname 'memo*' -size +0 | head -1)
[ -z "$recorded" ] || { echo "recorded without a microphone: $recorded"; exit 1; }
echo "renamed on the input panel: $(basename "$renamed"); without a microphone: told so, nothing recorded"
