#!/usr/bin/env bash
# One script for every set-up step: installs the Debian packages listed in
# packages.txt when any is missing, configures and builds, then runs the
# programs or the tests.
#
#   ./setup.sh run         build, then run the programs (or list what there is)
#   ./setup.sh test        build, then run every test
#   ./setup.sh test-asan   build with address and undefined-behaviour sanitizers, run every test
#   ./setup.sh build       build only
#   ./setup.sh install DIR build, then install the programs, tools and their
#                          data into DIR (DIR/bin, DIR/data)
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

configure_and_build() {
  local dir=$1; shift
  cmake -S "$top" -B "$top/$dir" -G Ninja "$@"
  cmake --build "$top/$dir" -j "$jobs"
}

run_tests() {
  local dir=$1
  ctest --test-dir "$top/$dir" --output-on-failure -j "$jobs" --timeout 600
}

run_programs() {
  local found=0 prog script out
  local headless=0
  if [ "${DEVICE_BACKEND:-}" = headless ] || { [ -z "${DEVICE_BACKEND:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; }; then
    headless=1
  fi
  if [ -f build/programs.txt ]; then
    while read -r prog; do
      [ -n "$prog" ] || continue
      found=1
      script="$top/resources/$prog/demo.script"
      if [ $headless = 1 ]; then
        # No desktop: run the program unattended from its script; its
        # screenshots land in build/run/<program>.
        if [ ! -f "$script" ]; then
          echo "$prog needs a desktop (no DISPLAY) and has no script to run headless"
          continue
        fi
        out="$top/build/run/$prog"
        mkdir -p "$out"
        echo "Running $prog headless from $script"
        (cd "$out" && DEVICE_BACKEND=headless DEVICE_SCRIPT="$script" "$top/build/bin/$prog") ||
          echo "$prog exited with status $?"
        echo "Screenshots in $out:"
        ls "$out" | sed 's/^/  /'
      else
        echo "Starting $prog"
        "build/bin/$prog" || echo "$prog exited with status $?"
      fi
    done < build/programs.txt
  fi
  if [ $found = 0 ]; then
    echo "No program has been built yet. Tools to run by hand in build/bin:"
    ls build/bin 2>/dev/null | sed 's/^/  /' || true
  fi
}

cmd=${1:-}
case "$cmd" in
  run)
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_programs ;;
  test)
    install_packages
    configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
    run_tests build ;;
  test-asan)
    install_packages
    configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DKS_SANITIZE=ON
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
  *)
    echo "usage: $0 run|test|test-asan|build|install DIR" >&2
    exit 2 ;;
esac
