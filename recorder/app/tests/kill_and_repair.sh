#!/usr/bin/env bash
# A recording whose process is killed (SIGKILL) mid-way is mended by the
# next start: for each format given (the "Format" setting), the recorder
# runs headless on the real clock with a tone on the microphone, starts
# recording, and is killed a few seconds later; the next start must leave a
# file that ffmpeg (and for WAV sox) reads whole, holding all but about the last second
# of what was recorded, with sizes that agree with the file.
# With --early the kill comes 0.1 s after the recording's file appears,
# before anything whole can be in it: the next start must remove the file
# (or, should a block have made it, leave one that reads whole).
# usage: kill_and_repair.sh [--early] PROGRAM FORMAT...   (e.g. 5 for WAV, 1 for MP3)
set -eu
early=
if [ "${1:-}" = --early ]; then
  early=1
  shift
fi
program=$1
shift
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
cd "$work"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=60" -ac 1 -ar 44100 "$work/mic.wav"
printf 'wait 400\nsoftkey left\nwait 600000\n' >record.script
printf 'wait 400\nscreenshot after1.png\n' >after.script

now() { date +%s.%N; }
fail() {
  echo "format $format: $*"
  cat "$work"/errors*.txt 2>/dev/null || true
  exit 1
}

for format in "$@"; do
  device="$work/device$format"
  app="$device/Program Files/Vocamo"
  mkdir -p "$app"
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<Settings Format="%s"/>\n' "$format" >"$app/Settings.xml"
  # Called in a subshell, which becomes the program: $! is its process.
  run() {
    export DEVICE_BACKEND=headless DEVICE_CLOCK=real DEVICE_ROOT="$device" DEVICE_SCRIPT="$work/$1" \
      DEVICE_MIC="$work/mic.wav"
    exec "$program"
  }

  # Record, and kill the recorder about four seconds into the recording.
  (run record.script) 2>"$work/errors-record.txt" &
  pid=$!
  recording=
  for _ in $(seq 1 300); do
    recording=$(find "$device" -iname 'memo001.*' | head -1)
    [ -n "$recording" ] && break
    sleep 0.05
  done
  [ -n "$recording" ] || fail "no recording started"
  started=$(now)
  if [ -n "$early" ]; then sleep 0.1; else sleep 4; fi
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  recorded=$(echo "$(now) - $started" | bc -l)
  [ -s "$app/Recording.txt" ] || fail "no marker names the recording"
  if [ -n "$early" ]; then
    (run after.script) 2>"$work/errors-after.txt" || fail "the next start failed"
    [ ! -e "$app/Recording.txt" ] || fail "the marker is still there"
    if [ -e "$recording" ]; then
      # A block made it before the kill: then the file must play.
      [ -s "$recording" ] || fail "an empty recording is kept"
      errors=$(ffmpeg -v error -i "$recording" -f null - 2>&1 || echo "ffmpeg failed")
      [ -z "$errors" ] || fail "ffmpeg: $errors"
      echo "format $format: $(basename "$recording") killed after 0.1 s, kept $(stat -c %s "$recording") bytes"
    else
      echo "format $format: $(basename "$recording") killed after 0.1 s, removed"
    fi
    rm -rf "$device"
    continue
  fi
  if [[ $recording == *.mp3 ]]; then
    # Cut the last frame short too, as a write stopped half-way would.
    truncate -s -37 "$recording"
  fi

  # The next start mends it before it lists it.
  (run after.script) 2>"$work/errors-after.txt" || fail "the next start failed"
  [ ! -e "$app/Recording.txt" ] || fail "the marker is still there"
  errors=$(ffmpeg -v error -i "$recording" -f null - 2>&1 || echo "ffmpeg failed")
  [ -z "$errors" ] || fail "ffmpeg: $errors"
  # sox reads the WAV files (this machine's sox has no MP3 support).
  if [[ $recording == *.wav ]]; then
    sox "$recording" -n 2>/dev/null || fail "sox cannot read it"
  fi
  seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$recording")
  echo "format $format: $(basename "$recording") killed after ${recorded} s, ${seconds} s kept"
  # All but about the last second (and the cue and start-up around it).
  if (($(echo "$seconds < $recorded - 2.0 || $seconds > $recorded + 0.3" | bc -l))); then
    fail "kept ${seconds} s of ${recorded} s"
  fi
  size=$(stat -c %s "$recording")
  if [[ $recording == *.wav ]]; then
    riff=$(od -An -tu4 -j4 -N4 "$recording" | tr -d ' ')
    data=$(od -An -tu4 -j40 -N4 "$recording" | tr -d ' ')
    [ "$riff" -eq $((size - 8)) ] && [ "$data" -eq $((size - 44)) ] ||
      fail "sizes riff $riff data $data in a file of $size bytes"
  fi
done
