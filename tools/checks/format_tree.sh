#!/usr/bin/env bash
# Rewrites every C and C++ source of the tree in place in the house style
# (clang-format 14 with the tree's .clang-format), the files format.sh
# checks, and names the files it changed.
#   format_tree.sh [TOP]
set -eu
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
. "$(dirname "$0")/format_sources.sh"
if ! find_clang_format; then
  echo "clang-format 14 is not installed (package clang-format-14)" >&2
  exit 1
fi
cd "$top"
changed=0
while read -r file; do
  before=$(cksum < "$file")
  "$FORMAT" --style=file -i "$file"
  if [ "$(cksum < "$file")" != "$before" ]; then
    echo "$file"
    changed=$((changed + 1))
  fi
done < <(format_sources "$top")
echo "$changed files rewritten"
