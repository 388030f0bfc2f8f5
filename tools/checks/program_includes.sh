#!/usr/bin/env bash
# The programs stand below nothing in tools/: no file under game/, recorder/
# or suite/ names the top-level tools folder (as an include folder, a header's
# path or a script to source), and no program code includes a header that
# only tools/ holds. What they share with the build's tools lies in runtime/
# (and the tests' runner in testing/). Their tests, benchmarks and fuzz
# drivers may make their fixtures with the tools' writers (tests/, bench/,
# fuzz/ folders), so that writer and reader check one another.
set -u
top=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
status=0
report() {
  echo "$1 reaches into tools/:"
  echo "$2"
  status=1
}
dirs=("$top/game" "$top/recorder" "$top/suite")
files=(--include='*.cpp' --include='*.h' --include='*.hpp' --include='*.sh' --include='CMakeLists.txt' --include='*.cmake')

# Include folders and paths spelled from the top of the tree.
hits=$(grep -rnE "${files[@]}" '(PROJECT|CMAKE)_SOURCE_DIR\}/tools([/ )"]|$)' "${dirs[@]}" 2>/dev/null || true)
[ -z "$hits" ] || report "A path from the top of the tree" "$hits"

# Headers named by their path below the top of the tree.
hits=$(grep -rnE "${files[@]}" '#[[:space:]]*include[[:space:]]*["<]tools/' "${dirs[@]}" 2>/dev/null || true)
[ -z "$hits" ] || report "An include" "$hits"

# Relative paths that climb out of the file's folder into tools/.
while IFS=: read -r file line text; do
  [ -n "$file" ] || continue
  for path in $(grep -oE '(\.\./)+tools(/[A-Za-z0-9_.-]*)*' <<<"$text"); do
    resolved=$(realpath -m "$(dirname "$file")/$path")
    case "$resolved" in
      "$top/tools" | "$top/tools/"*) report "A relative path" "$file:$line:$text" ;;
    esac
  done
done < <(grep -rnE "${files[@]}" '(\.\./)+tools' "${dirs[@]}" 2>/dev/null || true)

# Headers only tools/ holds, included by name (through a tool's include
# folder) from program code.
declare -A elsewhere=()
while read -r name; do elsewhere[$name]=1; done < <(find "$top/game" "$top/recorder" "$top/suite" "$top/platform" \
  "$top/runtime" "$top/testing" -name '*.h' -printf '%f\n' 2>/dev/null | sort -u)
while read -r name; do
  [ -n "${elsewhere[$name]:-}" ] && continue
  hits=$(grep -rnE --include='*.cpp' --include='*.h' --include='*.hpp' \
    "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]([^\">]*/)?${name//./\\.}[\">]" "${dirs[@]}" 2>/dev/null |
    grep -vE '/(tests|bench|fuzz)/' || true)
  [ -z "$hits" ] || report "A header of tools/ ($name)" "$hits"
done < <(find "$top/tools" -name '*.h' -not -path '*/tests/*' -printf '%f\n' | sort -u)

[ $status = 0 ] && echo "nothing under game/, recorder/ or suite/ reaches into tools/"
exit $status
