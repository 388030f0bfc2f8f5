#!/usr/bin/env bash
# Every program and tool in a folder (the build's bin/) answers --help with
# its usage on standard output and exit status 0, and a bad argument with its
# usage on standard error and exit status 2, writing nothing to the other
# stream either way and no file into the folder it runs in. The executables
# are found by listing the folder; shared libraries (the plug-ins) are left
# out.
#   usage.sh FOLDER
set -u
folder=$(realpath "${1:?usage: usage.sh FOLDER}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/run"
cd "$work/run"
status=0
fail() {
  echo "$1: $2"
  status=1
}
# A program has an interpreter; a shared library has none.
is_program() {
  case $(head -c 4 "$1" | od -An -c | tr -d ' ') in
    '177ELF') readelf -l "$1" 2>/dev/null | grep -q 'program interpreter' ;;
    *) return 0 ;;
  esac
}
checked=()
for tool in "$folder"/*; do
  [ -f "$tool" ] && [ -x "$tool" ] && is_program "$tool" || continue
  name=$(basename "$tool")
  checked+=("$name")
  DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" "$tool" --help >../out.txt 2>../err.txt
  code=$?
  [ $code = 0 ] || fail "$name --help" "exit status $code, not 0"
  grep -qi usage ../out.txt || fail "$name --help" "no usage on standard output"
  [ ! -s ../err.txt ] || fail "$name --help" "wrote to standard error: $(head -c 200 ../err.txt)"

  DEVICE_BACKEND=headless DEVICE_ROOT="$work/device" "$tool" --no-such-option >../out.txt 2>../err.txt
  code=$?
  [ $code = 2 ] || fail "$name --no-such-option" "exit status $code, not 2"
  grep -qi usage ../err.txt || fail "$name --no-such-option" "no usage on standard error"
  [ ! -s ../out.txt ] || fail "$name --no-such-option" "wrote to standard output: $(head -c 200 ../out.txt)"

  left=$(ls -A)
  [ -z "$left" ] || fail "$name" "left files where it ran: $left"
  rm -rf ./* ./.[!.]* 2>/dev/null
done
[ ${#checked[@]} -gt 0 ] || fail "$folder" "no programs found"
[ $status = 0 ] && echo "usage checked: ${checked[*]}"
exit $status
