#!/usr/bin/env bash
# Times this project's encoder against other command-line MP3 encoders on the
# same 60 s of 44.1 kHz mono speech-like audio at 64 kbit/s, and reports the
# SNR of each decoded result (ffmpeg, when installed).
#
# usage: compare_encoders.sh BUILD_DIR ['NAME=COMMAND with {in} {out}' ...]
#   e.g. compare_encoders.sh build 'other=otherenc -b 64 {in} {out}'
# Encoders given as arguments are skipped when their program is not installed.
set -u
build=${1:?usage: $0 BUILD_DIR ['NAME=COMMAND {in} {out}' ...]}
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wav=$work/in.wav
python3 - "$wav" <<'PY'
import math, random, struct, sys, wave
random.seed(1)
rate = 44100
n = rate * 60
w = wave.open(sys.argv[1], "wb")
w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
a1 = 2 * 0.97 * math.cos(2 * math.pi * 500 / rate); a2 = -0.97 * 0.97
y1 = y2 = 0.0
out = bytearray()
for i in range(n):
    x = random.random() - 0.5
    y = x + a1 * y1 + a2 * y2
    y2, y1 = y1, y
    env = 0.25 + 0.75 * math.sin(math.pi * 4.0 * i / rate) ** 2
    out += struct.pack("<h", max(-32768, min(32767, int(env * 0.08 * y * 32767))))
w.writeframes(bytes(out)); w.close()
PY

snr() {  # decoded SNR against the input, best integer lag
  command -v ffmpeg > /dev/null || { echo "n/a"; return; }
  ffmpeg -nostdin -v error -i "$1" -f s16le -ac 1 -ar 44100 "$work/dec.raw" -y || { echo "decode error"; return; }
  python3 - "$wav" "$work/dec.raw" <<'PY'
import math, struct, sys, wave
w = wave.open(sys.argv[1]); x = struct.unpack("<%dh" % w.getnframes(), w.readframes(w.getnframes()))
d = open(sys.argv[2], "rb").read(); y = struct.unpack("<%dh" % (len(d) // 2), d)
seg = x[44100:44100 + 8192]
lag = max(range(0, 4000), key=lambda L: sum(a * b for a, b in zip(seg[::3], y[44100 + L:44100 + L + 8192:3])))
n = min(len(x), len(y) - lag) - 44100
num = sum(v * v for v in x[44100:n]); den = sum((x[i] - y[i + lag]) ** 2 for i in range(44100, n))
print("%.1f dB" % (10 * math.log10(num / max(den, 1))))
PY
}

run() {  # name, command template
  local name=$1 cmd=$2 out=$work/$1.mp3
  local prog=${cmd%% *}
  command -v "$prog" > /dev/null || [ -x "$prog" ] || { echo "$name: not installed"; return; }
  cmd=${cmd//\{in\}/$wav}
  cmd=${cmd//\{out\}/$out}
  local start end
  start=$(date +%s.%N)
  eval "$cmd" > /dev/null 2>&1 || { echo "$name: failed"; return; }
  end=$(date +%s.%N)
  python3 -c "import sys; t=$end-$start; print('%-10s %6.3f s  %6.0fx real time  %7d bytes  SNR %s' % ('$name', t, 60/t, $(stat -c %s "$out"), sys.argv[1]))" "$(snr "$out")"
}

run ours "$build/bin/audiochain encode-mp3 --bitrate 64 {in} {out}"
for entry in "$@"; do run "${entry%%=*}" "${entry#*=}"; done
