# The steps every headless scripted run of a program shares, for the test
# scripts to source (bash):
#   headless_scratch                  a scratch folder, $work, removed on exit,
#                                     made the current folder
#   headless_run PROGRAM SCRIPT PATTERN [VARIABLE=VALUE...] [-- ARGUMENT...]
#                                     runs PROGRAM (with the ARGUMENTs) headless
#                                     from SCRIPT on a device of its own
#                                     ($work/device), with the settings given;
#                                     what it writes goes to $work/errors.txt;
#                                     fails, showing it, when the program fails
#                                     or writes a line that matches PATTERN
#                                     (extended regex)
#   headless_shots SCRIPT PATTERN     every screenshot SCRIPT names (matches
#                                     of PATTERN) was written and is not
#                                     empty; sets $shots
#   headless_shots_named NAME...      each NAME.png was written and is not empty
# Each fails the sourcing script (exit 1) with a message.

headless_scratch() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work"
}

headless_run() {
  local program=$1 script=$2 pattern=$3
  shift 3
  local settings=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    settings+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  if ! env DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" DEVICE_SCRIPT="$script" "${settings[@]}" "$program" "$@" \
    2>"$work/errors.txt"; then
    cat "$work/errors.txt"
    exit 1
  fi
  if grep -qE "$pattern" "$work/errors.txt"; then
    cat "$work/errors.txt"
    exit 1
  fi
}

headless_shots() {
  local script=$1 pattern=$2 shot
  shots=$(grep -oE "$pattern" "$script" | sort -u)
  for shot in $shots; do
    [ -s "$shot" ] || {
      echo "missing screenshot $shot"
      exit 1
    }
  done
}

headless_shots_named() {
  local shot
  for shot in "$@"; do
    [ -s "$shot.png" ] || {
      echo "missing screenshot $shot.png"
      exit 1
    }
  done
}
