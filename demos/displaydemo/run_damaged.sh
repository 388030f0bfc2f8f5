#!/usr/bin/env bash
# Runs the demo headless from a copy of its build tree whose model is
# damaged: the demo must say what is missing and end with a failure status,
# not report success.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
build=$(cd "$(dirname "$program")/.." && pwd)
# The program finds its libraries and data beside its own folder.
mkdir bin data
cp "$program" bin/
ln -s "$build/lib" lib
for entry in "$build"/data/*; do
  [ "$(basename "$entry")" = displaydemo ] || ln -s "$entry" data/
done
mkdir data/displaydemo
printf 'not a model at all' >data/displaydemo/showcase.kso
status=0
env DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" \
  timeout 60 bin/"$(basename "$program")" 2>errors.txt || status=$?
if [ "$status" -eq 0 ]; then
  echo "the demo ended with status 0 on damaged data:"
  cat errors.txt
  exit 1
fi
if [ "$status" -eq 124 ]; then
  echo "the demo did not end on damaged data"
  exit 1
fi
grep -q "missing data: the model did not load" errors.txt || {
  echo "the demo did not say the model is missing:"
  cat errors.txt
  exit 1
}
echo "damaged data: status $status, $(grep -c 'missing data' errors.txt) line(s) naming it"
