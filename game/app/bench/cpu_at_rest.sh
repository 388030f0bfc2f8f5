#!/usr/bin/env bash
# Kestrune's processor use with a match at rest, on the real clock, as a
# share of one core: a practice match from Quick Play, the player aiming
# and nothing moving. It is measured twice: in a window (the desktop back
# end, on the desktop given by DISPLAY, else on an X server of its own,
# Xvfb, whose own use is shown beside it), and headless. Each is measured
# once the match has started (the message log says "Ready to Play") and
# the program has stayed under the limit for two seconds, or after half a
# minute of trying. Run by hand: build/bench/kestrune_cpu_use.sh.
# usage: cpu_at_rest.sh KESTRUNE [LIMIT_%]   (the goal: 2 % in a window)
set -eu
program=$(realpath "$1")
limit=${2:-2}
work=$(mktemp -d)
pid=
xpid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; [ -n "$xpid" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"' EXIT

ticks=$(getconf CLK_TCK)
now() { date +%s.%N; }
# User plus system time of process $1, in seconds.
cpu_of() { awk -v t="$ticks" '{ print ($14 + $15) / t }' "/proc/$1/stat"; }
# Percent of one core that the program (and the X server, when it is ours)
# used over the next $1 seconds: "program server".
use_over() {
  local c0 x0=0 t0 c1 x1=0 t1
  c0=$(cpu_of "$pid") || return 1
  [ -n "$xpid" ] && x0=$(cpu_of "$xpid")
  t0=$(now)
  sleep "$1"
  c1=$(cpu_of "$pid") || return 1
  [ -n "$xpid" ] && x1=$(cpu_of "$xpid")
  t1=$(now)
  echo "$(echo "($c1 - $c0) * 100 / ($t1 - $t0)" | bc -l) $(echo "($x1 - $x0) * 100 / ($t1 - $t0)" | bc -l)"
}
below() { (($(echo "$1 < $2" | bc -l))); }

# The splash and the copyright screen, the two welcome pages of a first
# start, the main menu's Quick Play, and its default match: practice alone.
cat >"$work/rest.script" <<'SCRIPT'
wait 7600
key 3
wait 300
key 3
wait 300
key down
wait 200
key enter
wait 500
key 3
wait 600000
SCRIPT

log() { iconv -f UTF-16LE -t UTF-8 "$1/My Documents/message.log" 2>/dev/null | tr -d '\r'; }

# measure BACKEND: sets result to "program server" once the match is at rest.
result=
measure() {
  local root="$work/$1" sample
  result=
  mkdir -p "$root"
  (
    export DEVICE_BACKEND="$1" DEVICE_CLOCK=real DEVICE_ROOT="$root" DEVICE_MESSAGE_LOG=on \
      DEVICE_SCRIPT="$work/rest.script"
    exec "$program"
  ) 2>"$work/$1.errors" &
  pid=$!
  for _ in $(seq 1 300); do
    log "$root" | grep -q "^Ready to Play$" && break
    kill -0 "$pid" 2>/dev/null || { cat "$work/$1.errors"; echo "Kestrune ($1) ended early" >&2; exit 1; }
    sleep 0.1
  done
  log "$root" | grep -q "^Ready to Play$" || { cat "$work/$1.errors"; echo "no match started ($1)" >&2; exit 1; }
  for _ in $(seq 1 15); do
    sample=$(use_over 2)
    if below "${sample%% *}" "$limit"; then
      result=$(use_over 4)
      break
    fi
  done
  [ -n "$result" ] || result=$(use_over 4)
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
}

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.errors" &
  xpid=$!
  for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
  done
  [ -s "$work/display" ] || { cat "$work/xvfb.errors"; echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -1 "$work/display")"
fi
measure sdl
read -r window server <<<"$result"
had_server=$xpid
if [ -n "$xpid" ]; then
  kill "$xpid"
  wait "$xpid" 2>/dev/null || true
  xpid=
fi
measure headless
read -r headless _ <<<"$result"

if [ -n "$had_server" ]; then
  printf 'a match at rest in a window: %.2f %% of a core (the X server %.2f %%); headless: %.2f %%\n' \
    "$window" "$server" "$headless"
else
  printf 'a match at rest in a window: %.2f %% of a core; headless: %.2f %%\n' "$window" "$headless"
fi
if ! below "$window" "$limit"; then
  echo "over the goal: a match at rest in a window under $limit % of a core"
  exit 1
fi
