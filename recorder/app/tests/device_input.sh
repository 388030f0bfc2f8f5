#!/usr/bin/env bash
# The recorder on the device's own input and devices, headless:
# 1. a recording renamed by typing "xcvbnm" on the input panel's keys;
# 2. with no microphone configured, Record says there is none on the
#    recorder's message form, nothing is recorded and no file is left.
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
# Each press shows the recorder's message form (its dark caption bar over
# the list), which goes once closed.
pixel() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
for shot in nomic1 nomic2 nomic3; do
  read -r r g b <<<"$(pixel "$shot.png" 20 100)"
  brightness=$((r + g + b))
  if [ "$shot" = nomic3 ]; then
    [ "$brightness" -gt 600 ] || { echo "$shot.png: a message still shows ($r $g $b)"; exit 1; }
  else
    [ "$brightness" -lt 400 ] || { echo "$shot.png: no message form told of the missing microphone ($r $g $b)"; exit 1; }
  fi
done
# Not even an empty file is left of the recording that could not start.
recorded=$(find "$work/device" -iname 'memo*' | head -1)
[ -z "$recorded" ] || { echo "a file left without a microphone: $recorded"; exit 1; }
echo "renamed on the input panel: $(basename "$renamed"); without a microphone: told so, nothing recorded"
