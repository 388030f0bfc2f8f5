#!/usr/bin/env bash
# A recording whose process is killed (SIGKILL) mid-way is mended by the
# next start: for each format given (the "Format" setting), the recorder
# runs headless on the real clock with a tone on the microphone, starts
# recording, and is killed once its file holds two seconds of sound; the
# next start must leave a file that ffmpeg (and for WAV sox) reads whole,
# holding everything the file held when it was killed (but a torn last MP3
# frame) and nothing more, with sizes that agree with the file. What is
# checked is what reached the file, so a machine too busy to keep the
# recorder on time changes nothing.
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

  # Record, and kill the recorder once its file holds two seconds of sound
  # (44.1 kHz mono: 16-bit WAV after its 44-byte header, MP3 at 64 kbit/s).
  (run record.script) 2>"$work/errors-record.txt" &
  pid=$!
  recording=
  for _ in $(seq 1 1200); do
    recording=$(find "$device" -iname 'memo001.*' | head -1)
    [ -n "$recording" ] && break
    sleep 0.05
  done
  [ -n "$recording" ] || fail "no recording started"
  if [ -n "$early" ]; then
    sleep 0.1
  else
    if [[ $recording == *.mp3 ]]; then least=16000; else least=$((44 + 2 * 88200)); fi
    for _ in $(seq 1 1200); do
      [ "$(stat -c %s "$recording")" -ge $least ] && break
      sleep 0.05
    done
    written=$(stat -c %s "$recording")
    [ "$written" -ge $least ] || fail "the recording stopped at $written bytes"
  fi
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
  left=$(stat -c %s "$recording")
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
  # What may go at the mend: an odd byte of a WAV file; for MP3 the last
  # frame, here also cut short (37 bytes), as a write stopped half-way
  # would (two frames of 64 kbit/s at 44.1 kHz are 418 bytes).
  torn=1
  if [[ $recording == *.mp3 ]]; then
    truncate -s -37 "$recording"
    left=$((left - 37))
    torn=$((37 + 418))
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
  size=$(stat -c %s "$recording")
  echo "format $format: $(basename "$recording") held $written bytes when killed, $left after it; $size bytes (${seconds} s) kept"
  [ "$size" -ge $((written - torn)) ] && [ "$size" -le "$left" ] ||
    fail "kept $size bytes; the file held $written when killed, $left after it"
  (($(echo "$seconds >= 1.9" | bc -l))) || fail "kept only ${seconds} s"
  if [[ $recording == *.wav ]]; then
    riff=$(od -An -tu4 -j4 -N4 "$recording" | tr -d ' ')
    data=$(od -An -tu4 -j40 -N4 "$recording" | tr -d ' ')
    [ "$riff" -eq $((size - 8)) ] && [ "$data" -eq $((size - 44)) ] ||
      fail "sizes riff $riff data $data in a file of $size bytes"
  fi
done
