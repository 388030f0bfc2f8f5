#!/usr/bin/env bash
# The recorder's processor use, headless on the real clock: the idle main
# form, then a recording at 44.1 kHz mono MP3 (the default format) with the
# form showing. The process's user and system time (from /proc) is sampled
# inside each phase and compared with the wall time between the samples.
# usage: cpu_use.sh PROGRAM [IDLE_LIMIT_% RECORD_LIMIT_%]
set -eu
program=$1
idle_limit=${2:-1}
record_limit=${3:-3}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=30" -ac 1 -ar 44100 "$work/mic.wav"
# Idle from the start to 6 s, recording from 6 s to 13 s.
printf 'wait 6000\nsoftkey left\nwait 7000\nsoftkey left\nwait 500\n' >cpu.script

ticks=$(getconf CLK_TCK)
now() { date +%s.%N; }
# User plus system time of the process, in seconds.
cpu() { awk -v t="$ticks" '{ print ($14 + $15) / t }' "/proc/$pid/stat"; }

(
  export DEVICE_BACKEND=headless DEVICE_CLOCK=real DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$work/cpu.script" \
    DEVICE_MIC="$work/mic.wav"
  exec "$program"
) 2>"$work/errors.txt" &
pid=$!
started=$(now)
# Sleeps until `seconds` after the start.
until_time() { sleep "$(echo "$started + $1 - $(now)" | bc -l | sed 's/^-.*/0/')"; }
# Percent of one core used between two samples.
phase() {
  until_time "$1"
  local c0 t0 c1 t1
  c0=$(cpu)
  t0=$(now)
  until_time "$2"
  c1=$(cpu)
  t1=$(now)
  echo "($c1 - $c0) * 100 / ($t1 - $t0)" | bc -l
}
idle=$(phase 1.5 5.5)
recording=$(phase 7.5 12.5)
wait "$pid" || { cat "$work/errors.txt"; exit 1; }
pid=
[ -n "$(find "$work/device" -iname 'memo001.mp3' -size +10k)" ] || { echo "nothing was recorded"; exit 1; }
printf 'idle main form: %.2f %% of a core; recording 44.1 kHz mono MP3: %.2f %% of a core\n' "$idle" "$recording"
if (($(echo "$idle >= $idle_limit || $recording >= $record_limit" | bc -l))); then
  echo "over the limits: idle under $idle_limit %, recording under $record_limit %"
  exit 1
fi
