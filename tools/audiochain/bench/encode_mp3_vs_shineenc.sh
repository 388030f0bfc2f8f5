#!/usr/bin/env bash
# Times `audiochain encode-mp3` against the external encoder `shineenc` as
# whole processes on the same 60 s of 44.1 kHz mono speech-like sound at
# 64 kbit/s: ROUNDS rounds (21 by default), the two alternating (each round
# starts with the other one than the round before), and prints the median
# wall times, their ratio, and the peak memory of each on 60 s and on 600 s
# of sound (flat when the input is streamed).
#   encode_mp3_vs_shineenc.sh [ROUNDS]
# Needs sox (in packages.txt), shineenc (the Debian package shineenc) and
# GNU time (/usr/bin/time, the Debian package time) for the peak memory.
set -eu
export LC_ALL=C
audiochain=${AUDIOCHAIN:-"$(dirname "$(realpath "$0")")/../bin/audiochain"}
rounds=${1:-21}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [ROUNDS]" >&2; exit 2; }
for tool in sox shineenc; do
  command -v $tool >/dev/null || { echo "$0: needs $tool" >&2; exit 2; }
done
[ -x "$audiochain" ] || { echo "$0: no $audiochain" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Noise through a 500 Hz resonance under a 2 Hz syllable-like swell.
make_input() {  # SECONDS FILE
  sox -n -r 44100 -c 1 -b 16 "$2" synth "$1" whitenoise band 500 200 tremolo 2 75 gain -n -14
}
make_input 60 "$work/60.wav"
make_input 600 "$work/600.wav"

ours=("$audiochain" encode-mp3 --bitrate 64)
theirs=(shineenc -q -b 64)

# Wall time of one whole process in microseconds.
wall() {
  local start=${EPOCHREALTIME/./}
  "$@" >/dev/null 2>&1 || { echo "$0: failed: $*" >&2; exit 1; }
  echo $((${EPOCHREALTIME/./} - start))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/ours.txt"
: >"$work/theirs.txt"
for ((i = 0; i < rounds; i++)); do
  if ((i % 2 == 0)); then
    wall "${ours[@]}" "$work/60.wav" "$work/ours.mp3" >>"$work/ours.txt"
    wall "${theirs[@]}" "$work/60.wav" "$work/theirs.mp3" >>"$work/theirs.txt"
  else
    wall "${theirs[@]}" "$work/60.wav" "$work/theirs.mp3" >>"$work/theirs.txt"
    wall "${ours[@]}" "$work/60.wav" "$work/ours.mp3" >>"$work/ours.txt"
  fi
done
ours_median=$(median <"$work/ours.txt")
theirs_median=$(median <"$work/theirs.txt")

# Peak resident memory in KiB, from GNU time.
peak() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$work/peak.txt" "$@" >/dev/null 2>&1 && cat "$work/peak.txt"
  else
    echo "?"
  fi
}

echo "60 s of 44.1 kHz mono at 64 kbit/s, $rounds rounds alternating, whole processes (load: $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%-22s %10s %16s %17s\n' "" "median" "peak, 60 s in" "peak, 600 s in"
printf '%-22s %8.3f s %12s KiB %13s KiB\n' "audiochain encode-mp3" "$(awk "BEGIN { print $ours_median / 1e6 }")" \
  "$(peak "${ours[@]}" "$work/60.wav" "$work/ours.mp3")" "$(peak "${ours[@]}" "$work/600.wav" "$work/ours.mp3")"
printf '%-22s %8.3f s %12s KiB %13s KiB\n' "shineenc" "$(awk "BEGIN { print $theirs_median / 1e6 }")" \
  "$(peak "${theirs[@]}" "$work/60.wav" "$work/theirs.mp3")" "$(peak "${theirs[@]}" "$work/600.wav" "$work/theirs.mp3")"
awk "BEGIN { printf \"ratio (audiochain / shineenc): %.2f\n\", $ours_median / $theirs_median }"
