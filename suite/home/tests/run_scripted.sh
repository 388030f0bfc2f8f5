#!/usr/bin/env bash
# Runs the home screen headless from its script in a scratch device: every
# screenshot the script names must be written, with nothing reported missing.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../../tools/harness/run_headless.sh"
headless_scratch
headless_run "$program" "$script" "^script: |no layout shown|could not write"
headless_shots "$script" '[a-z0-9_]*\.png'
echo "screenshots written:" $shots
