#!/usr/bin/env bash
# The C and C++ sources are in the house style: clang-format 14 with the
# tree's .clang-format would change nothing. Lists each file that differs
# with clang-format's own report of the lines; format_tree.sh rewrites them.
# Exits 77 (CTest's "skipped") when clang-format 14 is not installed.
#   format.sh [TOP]
set -u
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
. "$(dirname "$0")/format_sources.sh"
if ! find_clang_format; then
  echo "clang-format 14 is not installed (package clang-format-14): formatting not checked"
  exit 77
fi
cd "$top"
mapfile -t files < <(format_sources "$top")
status=0
# In batches, so one run does not pass the command-line limit.
for ((i = 0; i < ${#files[@]}; i += 200)); do
  "$FORMAT" --style=file --dry-run -Werror "${files[@]:i:200}" || status=1
done
if [ $status = 0 ]; then
  echo "${#files[@]} sources in the house style"
else
  echo "Sources out of the house style: run tools/checks/format_tree.sh"
fi
exit $status
