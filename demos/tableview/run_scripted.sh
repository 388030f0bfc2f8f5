#!/usr/bin/env bash
# Runs the table view headless from its script in a scratch folder, with a
# break shot: every screenshot must be written, the room's data found, the
# pictures must change as the camera turns and the shot runs, and the table
# seen from above must show cloth where the table lies.
set -eu
program=$1
script=$2
. "$(dirname "${BASH_SOURCE[0]}")/../../testing/run_headless.sh"
headless_scratch
headless_run "$program" "$script" "missing data" -- --game 8ball --room Garage --shot 0,350,0,0,0
headless_shots_named table_end turned overhead side shot_early shot_later rest
if cmp -s table_end.png turned.png || cmp -s turned.png overhead.png || cmp -s shot_early.png shot_later.png; then
  echo "the screen did not change between screenshots"
  exit 1
fi
pixel() {
  ffmpeg -loglevel error -i "$1" -vf "crop=1:1:$2:$3" -f rawvideo -pix_fmt rgb24 - | od -An -tu1 | xargs
}
read -r r g b <<<"$(pixel overhead.png 100 200)"
[ "$g" -gt $((r + 30)) ] && [ "$g" -gt $((b + 30)) ] || { echo "overhead.png: no cloth at (100, 200): $r $g $b"; exit 1; }
# Bad options are refused with status 2.
status=0
DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "$program" --room Nowhere 2>/dev/null ||
  status=$?
[ "$status" = 2 ] || { echo "an unknown room gave status $status, not 2"; exit 1; }
echo "screenshots written and checked"
