#!/usr/bin/env bash
# Kestrune on screens wider than high: the picture is turned a quarter and
# must show, turned back, what the same screen shows held upright. The
# splash, the main menu, Career Select, the nickname screen, Quick Play and
# Settings are shot at 240x320 and 320x240, and at 480x640 and 640x480;
# first as the device is held ("Right Hand"), then, after Settings chose
# "Left Hand", turned the other way. Each turned shot, turned back, must be
# the upright one pixel for pixel.
#   kestrune_turned_screens.sh KESTRUNE
set -eu
program=$(realpath "$1")
. "$(dirname "${BASH_SOURCE[0]}")/../../../testing/run_headless.sh"
headless_scratch

shots="splash main_menu career_select nickname quick_play settings"

# The direction keys turn with the picture: the key that moves the focus
# down (and the one that steps a choice right) on a screen turned r times.
down_key=(down right up left)
right_key=(right up left down)

# script ROTATION FIRST_START: the screens in turn, with the two welcome
# pages of a first start; Settings ends with "Left Hand" chosen and focused.
script() {
  local d=${down_key[$1]} r=${right_key[$1]}
  echo "wait 1000"
  echo "screenshot splash.png"
  echo "wait 6500"
  if [ "$2" = 1 ]; then
    printf 'key 3\nwait 300\nkey 3\nwait 300\n'
  fi
  cat <<SCRIPT
screenshot main_menu.png
key enter
wait 300
screenshot career_select.png
key enter
wait 300
key 9
wait 300
screenshot nickname.png
key 9
wait 300
key 9
wait 300
key $d
wait 200
key enter
wait 500
screenshot quick_play.png
key 9
wait 300
key $d
wait 200
key enter
wait 300
key $d
key $d
key $d
key $d
wait 100
SCRIPT
  if [ "$2" = 1 ]; then
    printf 'key %s\nwait 100\nscreenshot settings.png\nkey 3\nwait 300\nkey 3\nwait 300\n' "$r"
  else
    printf 'wait 100\nscreenshot settings.png\nkey 9\nwait 300\n'
  fi
  echo "quit"
}

# shoot W H ROTATION FIRST_START: a run on a device of that screen size
# (its own, kept between the runs of one size); the shots go to
# W-H-ROTATION/.
shoot() {
  local w=$1 h=$2 rot=$3 dir="$work/$1-$2-$3"
  mkdir -p "$dir"
  script "$rot" "$4" >"$dir/run.script"
  (cd "$dir" && DEVICE_BACKEND=headless DEVICE_CLOCK=virtual DEVICE_ROOT="$work/device-$w-$h" \
    DEVICE_SCREEN_WIDTH=$w DEVICE_SCREEN_HEIGHT=$h DEVICE_SCRIPT="$dir/run.script" timeout 300 "$program" \
    2>"$dir/errors.txt") || {
    cat "$dir/errors.txt"
    echo "Kestrune failed at ${w}x$h"
    exit 1
  }
  for shot in $shots; do
    [ -s "$dir/$shot.png" ] || {
      echo "missing screenshot ${w}x$h turned $rot: $shot.png"
      exit 1
    }
  done
}

# differing UPRIGHT TURNED FILTER: how many pixels of the turned picture,
# turned back by the filter, are off the upright one's by more than the few
# steps that scaling a picture turned or not may differ in ("none" when the
# two do not even have the same size).
differing() {
  ffmpeg -loglevel error -i "$1" -i "$2" -filter_complex "[1]$3[t];[0][t]blend=all_mode=difference" \
    -f rawvideo -pix_fmt rgb24 - 2>/dev/null | od -An -v -tu1 |
    awk '{ for (i = 1; i <= NF; ++i) { if ($i > 16) off = 1; if (++v % 3 == 0) { n += off; off = 0 } } }
      END { print (NR == 0 ? "none" : n + 0) }'
}

# same UPRIGHT_DIR TURNED_DIR FILTER W H: each shot of the turned run,
# turned back by the filter, shows the upright run's. The small filled
# arrows may lie a pixel column apart where their slanted edges fall
# (a pixel in a thousand); a text of another size, cut or moved, or a
# picture not turned changes far more.
same() {
  local allowed=$(($4 * $5 / 1000))
  for shot in $shots; do
    local n
    n=$(differing "$1/$shot.png" "$2/$shot.png" "$3")
    if [ "$n" = none ] || [ "$n" -gt "$allowed" ]; then
      echo "$shot at $(basename "$2") differs from $(basename "$1") once turned back ($n pixels)"
      exit 1
    fi
  done
}

for size in "240 320" "480 640"; do
  read -r w h <<<"$size"
  shoot "$w" "$h" 0 1
  shoot "$h" "$w" 1 1
  # Turned back: a quarter clockwise undoes rotation 1.
  same "$work/$w-$h-0" "$work/$h-$w-1" transpose=1 "$w" "$h"
  # The shots of one screen differ from each other (the runs got there).
  for a in $shots; do
    for b in $shots; do
      [ "$a" \< "$b" ] || continue
      if cmp -s "$work/$w-$h-0/$a.png" "$work/$w-$h-0/$b.png"; then
        echo "$a and $b are the same picture at ${w}x$h"
        exit 1
      fi
    done
  done
  # "Left Hand": upright turned half round, the wide screen a quarter the
  # other way.
  shoot "$w" "$h" 2 0
  shoot "$h" "$w" 3 0
  same "$work/$w-$h-0" "$work/$w-$h-2" "hflip,vflip" "$w" "$h"
  same "$work/$w-$h-0" "$work/$h-$w-3" transpose=2 "$w" "$h"
done
echo "the turned screens show the upright pictures, turned: $shots"
