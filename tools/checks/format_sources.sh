#!/usr/bin/env bash
# Lists the C and C++ sources of the tree that clang-format keeps in the house
# style (.clang-format at the top), one a line, relative to the top: the files
# git tracks, or, outside a git checkout, the files found under the source
# folders. Sourced by format.sh and format_tree.sh, which also pick the
# clang-format they run: version 14, the one the style was fixed with (other
# versions break lines differently).
#   . format_sources.sh TOP
format_sources() {
  local top=$1
  # Only when TOP is the top of a checkout: a copy of the tree inside another
  # checkout has no tracked files of its own.
  if [ "$(git -C "$top" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$top" && pwd -P)" ]; then
    git -C "$top" ls-files -- '*.cpp' '*.h' '*.hpp' '*.c' '*.cc'
  else
    (cd "$top" && find formats game platform recorder suite testing tools -type f \
       \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cc' \) | sort)
  fi
}

# Sets FORMAT to clang-format 14, or returns 1 when there is none.
find_clang_format() {
  local candidate
  for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null 2>&1 &&
       "$candidate" --version | grep -qE 'version 14\.'; then
      FORMAT=$candidate
      return 0
    fi
  done
  return 1
}
