#!/usr/bin/env bash
# The recorder's processor use, headless on the real clock, as a share of
# one core: the idle main form, and a recording at 44.1 kHz mono MP3 (the
# default format) with the form showing. The process's user and system time
# (from /proc) is sampled over a stretch of wall time in each state, and
# each state is waited for, not timed: idle is measured once the started
# program has had two seconds under the idle limit (a program that keeps
# working never gets there), the recording once its file grows. Run by
# hand (build/bench/vocamo_cpu_use.sh) it holds the recorder to its goals,
# 1 % and 3 %; the tests give it bounds a busy machine meets, which still
# catch a program that spins.
# usage: cpu_use.sh PROGRAM [IDLE_LIMIT_% RECORD_LIMIT_%]
set -eu
program=$(realpath "$1")
idle_limit=${2:-1}
record_limit=${3:-3}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=60" -ac 1 -ar 44100 "$work/mic.wav"

ticks=$(getconf CLK_TCK)
now() { date +%s.%N; }
# User plus system time of the process, in seconds; the program ending
# before it is measured is a failure.
cpu() {
  awk -v t="$ticks" '{ print ($14 + $15) / t }' "/proc/$pid/stat" 2>/dev/null ||
    { cat "$work/errors.txt"; echo "the recorder ended early" >&2; kill -TERM $$; }
}
# Percent of one core used over the next `seconds`.
use_over() {
  local c0 t0
  c0=$(cpu)
  t0=$(now)
  sleep "$1"
  echo "($(cpu) - $c0) * 100 / ($(now) - $t0)" | bc -l
}
start() {  # SCRIPT DEVICE
  (
    export DEVICE_BACKEND=headless DEVICE_CLOCK=real DEVICE_ROOT="$2" DEVICE_SCRIPT="$1" DEVICE_MIC="$work/mic.wav"
    exec "$program"
  ) 2>"$work/errors.txt" &
  pid=$!
}
below() { (($(echo "$1 < $2" | bc -l))); }

# The idle main form: once started up, two seconds under the limit, then
# the four measured.
printf 'wait 600000\n' >idle.script
start "$work/idle.script" "$work/idle"
idle=
for _ in $(seq 1 30); do
  if below "$(use_over 2)" "$idle_limit"; then
    idle=$(use_over 4)
    break
  fi
done
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
pid=
[ -n "$idle" ] || { echo "the idle main form never stayed under $idle_limit % of a core for two seconds"; exit 1; }

# A recording: started with the left soft key (taken whenever the form is
# ready), measured once its file has a second of sound, stopped by the
# script after twelve seconds.
printf 'wait 500\nsoftkey left\nwait 12000\nsoftkey left\nwait 500\n' >record.script
start "$work/record.script" "$work/record"
file=
for _ in $(seq 1 600); do
  file=$(find "$work/record" -iname 'memo001.mp3' -size +8k | head -1)
  [ -n "$file" ] && break
  sleep 0.05
done
[ -n "$file" ] || { cat "$work/errors.txt"; echo "no recording started"; exit 1; }
before=$(stat -c %s "$file")
recording=$(use_over 4)
[ "$(stat -c %s "$file")" -gt "$before" ] || { echo "the recording stopped while it was measured"; exit 1; }
wait "$pid" || { cat "$work/errors.txt"; exit 1; }
pid=
printf 'idle main form: %.2f %% of a core; recording 44.1 kHz mono MP3: %.2f %% of a core\n' "$idle" "$recording"
if ! below "$idle" "$idle_limit" || ! below "$recording" "$record_limit"; then
  echo "over the limits: idle under $idle_limit %, recording under $record_limit %"
  exit 1
fi
