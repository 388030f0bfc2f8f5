#!/bin/sh
# The time ffmpeg's adpcm_ms encoder spends on a raw input, for a side by
# side with our encoder (bench_adpcm.cpp runs this script when ffmpeg is
# installed; it can also be run alone).
#
# usage: ffmpeg_adpcm.sh RAW CHANNELS RATE BLOCK_ALIGN [RUNS]
#   RAW: 16-bit little-endian interleaved samples; it is removed at the end.
# Prints the best of RUNS (default 5) in seconds. ffmpeg times each of its
# encode calls itself (-benchmark_all, the "real" microseconds of every
# encode_audio step); their sum leaves out process start, reading the input
# and the rest of the pipeline.
set -u
raw=$1 channels=$2 rate=$3 block=$4 runs=${5:-5}
trap 'rm -f "$raw"' EXIT
command -v ffmpeg > /dev/null || { echo "ffmpeg is not installed" >&2; exit 2; }
best=
i=0
while [ "$i" -lt "$runs" ]; do
  us=$(ffmpeg -nostdin -hide_banner -benchmark_all -f s16le -ar "$rate" -ac "$channels" -i "$raw" \
         -c:a adpcm_ms -block_size "$block" -f null - 2>&1 |
       awk '/ encode_audio / { calls++; sum += $6 } END { if (calls > 0) print sum }')
  [ -n "$us" ] || { echo "ffmpeg failed" >&2; exit 1; }
  if [ -z "$best" ] || [ "$us" -lt "$best" ]; then best=$us; fi
  i=$((i + 1))
done
awk -v us="$best" 'BEGIN { printf "%.6f\n", us / 1e6 }'
