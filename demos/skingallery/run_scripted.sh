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
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
headless_run "$program" "$script" "missing data|could not|^script: |Snag" DEVICE_PLATFORM_TYPE="$platform"
headless_shots "$script" '[a-z]+[0-9]+\.png'
echo "screenshots written:" $shots
