#!/usr/bin/env bash
# Every program and tool answers --help with its usage on standard output and
# exit status 0, and a bad argument with its usage on standard error and exit
# status 2, writing nothing to the other stream either way.
#   usage.sh TOOL...
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
fail() {
  echo "$1: $2"
  status=1
}
for tool in "$@"; do
  name=$(basename "$tool")
  DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" "$tool" --help >out.txt 2>err.txt
  code=$?
  [ $code = 0 ] || fail "$name --help" "exit status $code, not 0"
  grep -qi usage out.txt || fail "$name --help" "no usage on standard output"
  [ ! -s err.txt ] || fail "$name --help" "wrote to standard error: $(head -c 200 err.txt)"

  DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" "$tool" --no-such-option >out.txt 2>err.txt
  code=$?
  [ $code = 2 ] || fail "$name --no-such-option" "exit status $code, not 2"
  grep -qi usage err.txt || fail "$name --no-such-option" "no usage on standard error"
  [ ! -s out.txt ] || fail "$name --no-such-option" "wrote to standard output: $(head -c 200 out.txt)"
done
[ $status = 0 ] && echo "usage checked: $*"
exit $status
