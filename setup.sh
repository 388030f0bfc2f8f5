#!/usr/bin/env bash
# One script for every set-up step: installs the Debian packages listed in
# packages.txt when any is missing, configures and builds, then runs the
# programs or the tests.
#
#   ./setup.sh run [PROGRAM]
#                          build, then run the home screen (Home), or the
#                          program named
#   ./setup.sh test        build, then run every test
#   ./setup.sh test-asan   build with address and undefined-behaviour sanitizers, run every test
#                          program whole with its tests shuffled
#   ./setup.sh build       build only
#   ./setup.sh install DIR build, then install the programs, tools and their
#                          data into DIR (DIR/bin, DIR/data)
#   ./setup.sh fuzz [SECONDS [TARGET...]]
#                          build with clang-16, libFuzzer's coverage and the
#                          sanitizers in build-fuzz, then run every fuzz target
#                          (or those named) for SECONDS (default 600), at most
#                          FUZZ_JOBS (4) at once
set -euo pipefail
caller=$(pwd)
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
  local missing=()
  local pkg
  while read -r pkg; do
    pkg=${pkg%%#*}; pkg=${pkg//[[:space:]]/}
    [ -n "$pkg" ] || continue
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done < packages.txt
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

# Configures the build folder $1 with the cache settings given (-DNAME=VALUE)
# when it is new or set otherwise, then builds it. A configured folder is not
# configured again: the build itself reruns CMake when a CMake file changed.
configure_and_build() {
  local dir=$1; shift
  local setting configure=0
  [ -f "$top/$dir/CMakeCache.txt" ] && [ -f "$top/$dir/build.ninja" ] || configure=1
  for setting in "$@"; do
    [ $configure = 1 ] && break
    setting=${setting#-D}
    grep -qxE "${setting%%=*}(:[A-Z]+)?=${setting#*=}" "$top/$dir/CMakeCache.txt" || configure=1
  done
  if [ $configure = 1 ]; then
    cmake -S "$top" -B "$top/$dir" -G Ninja "$@"
  fi
  cmake --build "$top/$dir" -j "$jobs"
}

run_tests() {
  local dir=$1
  ctest --test-dir "$top/$dir" --output-on-failure -j "$jobs" --timeout 600
}

# The fuzz build's compiler and libFuzzer runtime; only this command needs
# them, so the normal set-up does not install them.
install_fuzz_packages() {
  local missing=() pkg
  for pkg in clang-16 libclang-rt-16-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -q
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

# Runs one fuzz target for $2 seconds. Its corpus grows in
# build-fuzz/corpus/<target> (started from the target's own seeds), what it
# finds lands in build-fuzz/findings/<target>, its output in
# build-fuzz/logs/<target>.log; a line of figures goes to
# build-fuzz/logs/<target>.result.
fuzz_one() {
  local exe=$1 seconds=$2
  local name dir corpus findings log dict marker status
  name=$(basename "$exe")
  dir=$top/build-fuzz
  corpus=$dir/corpus/$name; findings=$dir/findings/$name
  log=$dir/logs/$name.log; dict=$dir/logs/$name.dict
  mkdir -p "$corpus" "$findings" "$dir/logs"
  marker=$dir/logs/$name.start
  touch "$marker"
  "$exe" -ks_seeds="$corpus" -ks_dict="$dict" >"$log" 2>&1 || echo "writing the seeds failed" >>"$log"
  local options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 -artifact_prefix="$findings/"
    -print_final_stats=1)
  [ -s "$dict" ] && options+=(-dict="$dict")
  status=0
  "$exe" "${options[@]}" "$corpus" >>"$log" 2>&1 || status=$?
  local execs edges found
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # A run cut short by a finding may not print its final figures: the last
  # status line then gives them.
  [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -1)
  edges=$( (grep -o 'cov: [0-9]*' "$log" || true) | tail -1 | cut -d' ' -f2)
  found=$(find "$findings" -type f -newer "$marker" | wc -l)
  if [ "$status" != 0 ] && [ "$found" = 0 ]; then found=1; fi
  echo "$name ${execs:-0} ${edges:-0} $found $status" >"$dir/logs/$name.result"
  rm -f "$marker"
}

run_fuzz() {
  local seconds=${1:-600} parallel=${FUZZ_JOBS:-4}
  shift || true
  local wanted=("$@")
  [[ $seconds =~ ^[0-9]+$ ]] || { echo "fuzz: SECONDS must be a number" >&2; exit 2; }
  CC=clang-16 CXX=clang++-16 cmake -S "$top" -B "$top/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKS_FUZZ=ON -DKS_BENCHMARKS=OFF
  cmake --build "$top/build-fuzz" -j "$jobs" --target fuzz
  # Leaks inside system libraries are not findings of ours.
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/testing/fuzz/lsan_suppressions.txt}
  # Stack traces of the findings name functions and lines.
  if [ -z "${ASAN_SYMBOLIZER_PATH:-}" ] && command -v llvm-symbolizer >/dev/null; then
    export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
  fi
  local exes=() path
  for path in "$top"/build-fuzz/fuzz_targets/*.path; do
    if [ ${#wanted[@]} -eq 0 ] || [[ " ${wanted[*]} " == *" $(basename "$path" .path) "* ]]; then
      exes+=("$(cat "$path")")
    fi
  done
  [ ${#exes[@]} -gt 0 ] || { echo "fuzz: no such target: ${wanted[*]}" >&2; exit 2; }
  rm -f "$top"/build-fuzz/logs/*.result
  echo "Fuzzing ${#exes[@]} targets for ${seconds} s each, ${parallel} at a time"
  local exe running=0
  for exe in "${exes[@]}"; do
    if [ $running -ge "$parallel" ]; then wait -n || true; running=$((running - 1)); fi
    fuzz_one "$exe" "$seconds" &
    running=$((running + 1))
  done
  wait
  local total=0 name execs edges found status
  printf '%-30s %14s %8s %9s\n' target executions edges findings
  for exe in "${exes[@]}"; do
    name=$(basename "$exe")
    if ! { [ -f "$top/build-fuzz/logs/$name.result" ] &&
      read -r name execs edges found status <"$top/build-fuzz/logs/$name.result"; }; then
      execs=- edges=- found="run failed"
    fi
    printf '%-30s %14s %8s %9s\n' "$name" "$execs" "$edges" "$found"
    [[ $found =~ ^[0-9]+$ ]] && total=$((total + found)) || total=$((total + 1))
  done
  echo "Findings are kept in $top/build-fuzz/findings/<target>, logs in $top/build-fuzz/logs"
  [ $total = 0 ] || { echo "$total finding(s)"; exit 1; }
}

# Runs one program of build/programs.txt (its name in any letter case): the
# home screen when none is named.
run_program() {
  local wanted=${1:-Home} prog script out headless=0
  if [ "${DEVICE_BACKEND:-}" = headless ] || { [ -z "${DEVICE_BACKEND:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }; then
    headless=1
  fi
  prog=$(grep -ixF "$wanted" build/programs.txt 2>/dev/null | head -n 1 || true)
  if [ -z "$prog" ] || [ ! -x "build/bin/$prog" ]; then
    echo "No program named $wanted. Programs:"
    sed 's/^/  /' build/programs.txt 2>/dev/null || true
    exit 2
  fi
  local lower
  lower=$(echo "$prog" | tr '[:upper:]' '[:lower:]')
  script="$top/resources/$prog/$prog.script"
  [ -f "$script" ] || script="$top/resources/$lower/$lower.script"
  [ -f "$script" ] || script="$top/resources/$prog/demo.script"
  if [ $headless = 1 ]; then
    # No desktop: run the program unattended from its script; its
    # screenshots land in build/run/<program>.
    if [ ! -f "$script" ]; then
      echo "$prog needs a desktop (no DISPLAY) and has no script to run headless"
      exit 1
    fi
    out="$top/build/run/$prog"
    mkdir -p "$out"
    echo "Running $prog headless from $script"
    # The device has no microphone unless given one: the scripts record a tone.
    (cd "$out" && DEVICE_BACKEND=headless DEVICE_SCRIPT="$script" DEVICE_MIC="${DEVICE_MIC:-tone}" \
      "$top/build/bin/$prog") ||
      echo "$prog exited with status $?"
    echo "Screenshots in $out:"
    ls "$out" | sed 's/^/  /'
  else
    echo "Starting $prog"
    "build/bin/$prog" || echo "$prog exited with status $?"
  fi
}

usage() {
  echo "usage: $0 run [PROGRAM]|test|test-asan|build|install DIR|fuzz [SECONDS [TARGET...]]"
}

cmd=${1:-}
case "$cmd" in
  -h|--help|help)
    usage
    sed -n '/^#   /s/^#//p' "$0"
    exit 0 ;;
  run)
    [ $# -le 2 ] || { echo "usage: $0 run [PROGRAM]" >&2; exit 2; }
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_program "${2:-}" ;;
  test)
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_tests build ;;
  test-asan)
    install_packages
    # Benchmarks are timed on the optimised build; this one builds only what
    # its tests run.
    configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DKS_SANITIZE=ON -DKS_WHOLE_TEST_PROGRAMS=ON \
      -DKS_BENCHMARKS=OFF
    run_tests build-asan ;;
  build)
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
  install)
    [ $# = 2 ] || { echo "usage: $0 install DIR" >&2; exit 2; }
    prefix=$2
    [ "${prefix#/}" != "$prefix" ] || prefix="$caller/$prefix"
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --install "$top/build" --prefix "$prefix" ;;
  fuzz)
    install_packages
    install_fuzz_packages
    shift
    run_fuzz "$@" ;;
  *)
    usage >&2
    exit 2 ;;
esac
