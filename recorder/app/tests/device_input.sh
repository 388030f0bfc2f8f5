#!/usr/bin/env bash
# The recorder on the device's own input and devices, headless:
# 1. a recording renamed by typing "xcvbnm" on the input panel's keys;
# 2. with no microphone configured, Record says there is none, nothing is
#    recorded and no file is left.
set -eu
program=$1
rename_script=$2
no_microphone_script=$3
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch

headless_run "$program" "$rename_script" "^script: |missing data|Snag" DEVICE_MIC=tone
headless_shots "$rename_script" '[a-z_]+\.png'
renamed=$(find "$work/device" -name 'xcvbnm.mp3' -size +0 | head -1)
[ -n "$renamed" ] || { echo "no recording named xcvbnm.mp3:"; find "$work/device" -iname '*.mp3'; exit 1; }

rm -rf "$work/device"
headless_run "$program" "$no_microphone_script" "^script: |missing data|Snag" DEVICE_MIC=
headless_shots "$no_microphone_script" '[a-z_0-9]+\.png'
grep -q "No microphone was found" "$work/errors.txt" || { echo "no word of the missing microphone"; exit 1; }
# Not even an empty file is left of the recording that could not start.
recorded=$(find "$work/device" -iname 'memo*' | head -1)
[ -z "$recorded" ] || { echo "a file left without a microphone: $recorded"; exit 1; }
echo "renamed on the input panel: $(basename "$renamed"); without a microphone: told so, nothing recorded"
