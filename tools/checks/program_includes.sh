#!/usr/bin/env bash
# The programs stand below tools/, and their shipping code below formats/.
# No file under game/, recorder/ or suite/, their tests, benchmarks and fuzz
# drivers included, names the top-level tools folder (as an include folder, a
# header's path or a script to source) or includes a header that only tools/
# holds, and no CMakeLists.txt there names a target of tools/; a build step
# (add_custom_command, add_custom_target) may still run a tool's program to
# make data, such as the recorder's skins or a program's icon. What the
# programs share with the build's tools lies in runtime/ (and the tests'
# runner in testing/). The format writers of formats/ are for the tests,
# benchmarks and fuzz drivers, so that writer and reader check one another:
# program code includes no header only formats/ holds, and only test,
# benchmark and fuzz targets link a library of formats/.
set -u
top=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
status=0
report() {
  echo "$1:"
  echo "$2"
  status=1
}
dirs=("$top/game" "$top/recorder" "$top/suite")
files=(--include='*.cpp' --include='*.h' --include='*.hpp' --include='*.sh' --include='CMakeLists.txt' --include='*.cmake')
sources=(--include='*.cpp' --include='*.h' --include='*.hpp')

# Include folders and paths spelled from the top of the tree.
hits=$(grep -rnE "${files[@]}" '(PROJECT|CMAKE)_SOURCE_DIR\}/tools([/ )"]|$)' "${dirs[@]}" 2>/dev/null || true)
[ -z "$hits" ] || report "A path from the top of the tree reaches into tools/" "$hits"

# Headers named by their path below the top of the tree.
hits=$(grep -rnE "${files[@]}" '#[[:space:]]*include[[:space:]]*["<]tools/' "${dirs[@]}" 2>/dev/null || true)
[ -z "$hits" ] || report "An include reaches into tools/" "$hits"

# Relative paths that climb out of the file's folder into tools/.
while IFS=: read -r file line text; do
  [ -n "$file" ] || continue
  for path in $(grep -oE '(\.\./)+tools(/[A-Za-z0-9_.-]*)*' <<<"$text"); do
    resolved=$(realpath -m "$(dirname "$file")/$path")
    case "$resolved" in
      "$top/tools" | "$top/tools/"*) report "A relative path reaches into tools/" "$file:$line:$text" ;;
    esac
  done
done < <(grep -rnE "${files[@]}" '(\.\./)+tools' "${dirs[@]}" 2>/dev/null || true)

# Headers included by name (through a library's include folder): those only
# tools/ holds from no file, those only formats/ holds from no program code.
# (A header of a tool's or a format's tests is no library's.)
header_names() { find "$@" -name '*.h' -printf '%f\n' 2>/dev/null | sort -u; }
library_header_names() { find "$@" -name '*.h' -not -path '*/tests/*' -printf '%f\n' 2>/dev/null | sort -u; }
including() {
  grep -rnE "${sources[@]}" "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]([^\">]*/)?${1//./\\.}[\">]" "${dirs[@]}" \
    2>/dev/null || true
}
declare -A below=()
while read -r name; do below[$name]=1; done < <(header_names "${dirs[@]}" "$top/platform" "$top/runtime" "$top/testing")
declare -A formats=()
while read -r name; do formats[$name]=1; done < <(library_header_names "$top/formats")
while read -r name; do
  [ -n "${below[$name]:-}" ] || [ -n "${formats[$name]:-}" ] && continue
  hits=$(including "$name")
  [ -z "$hits" ] || report "A header of tools/ ($name)" "$hits"
done < <(library_header_names "$top/tools")
for name in "${!formats[@]}"; do
  [ -n "${below[$name]:-}" ] && continue
  hits=$(including "$name" | grep -vE '/(tests|bench|fuzz)/' || true)
  [ -z "$hits" ] || report "Program code includes a header of formats/ ($name)" "$hits"
done

# The commands of a CMake file, one a line: "LINE<TAB>name<TAB>arguments",
# comments dropped.
commands() {
  awk '{
    n = length($0)
    for (i = 1; i <= n; i++) {
      c = substr($0, i, 1)
      if (quoted) {
        if (c == "\\") { args = args c substr($0, i + 1, 1); i++; continue }
        if (c == "\"") quoted = 0
        args = args c; continue
      }
      if (c == "#") break
      if (depth == 0) {
        if (c == "(") { depth = 1; name = word; start = NR; args = ""; word = ""; continue }
        if (c ~ /[A-Za-z0-9_]/) word = word c; else word = ""
        continue
      }
      if (c == "\"") quoted = 1
      if (c == "(") depth++
      if (c == ")" && --depth == 0) {
        gsub(/[ \t]+/, " ", args); sub(/^ /, "", args); sub(/ $/, "", args)
        printf "%d\t%s\t%s\n", start, tolower(name), args; word = ""; continue
      }
      args = args c
    }
    if (depth > 0) args = args " "
  }' "$1"
}
# The targets the CMake files under a folder make: "library NAME" or
# "program NAME".
targets_of() {
  find "$1" -name CMakeLists.txt -o -name '*.cmake' | while read -r file; do
    commands "$file" | while IFS=$'\t' read -r _ command args; do
      case "$command" in
        add_library) echo "library ${args%% *}" ;;
        add_executable | ks_add_test | ks_add_bench | ks_add_fuzz | ks_add_program) echo "program ${args%% *}" ;;
      esac
    done
  done
}
declare -A tool_targets=() format_libraries=()
while read -r kind name; do tool_targets[$name]=$kind; done < <(targets_of "$top/tools")
while read -r kind name; do [ "$kind" = library ] && format_libraries[$name]=1; done < <(targets_of "$top/formats")

while read -r file; do
  table=$(commands "$file")
  # The file's test, benchmark and fuzz targets: made by ks_add_test,
  # ks_add_bench or ks_add_fuzz, or from sources in such a folder (as
  # ks_sort_executables tells them).
  declare -A testing=()
  while IFS=$'\t' read -r _ command args; do
    case "$command" in
      ks_add_test | ks_add_bench | ks_add_fuzz) testing[${args%% *}]=1 ;;
      add_executable | add_library)
        [[ " ${args#* }" =~ [\ /](tests|bench|fuzz)/ ]] && testing[${args%% *}]=1 ;;
    esac
  done <<<"$table"
  while IFS=$'\t' read -r line command args; do
    [ -n "$line" ] || continue
    for word in ${args//[^A-Za-z0-9_]/ }; do
      kind=${tool_targets[$word]:-}
      if [ "$kind" = library ]; then
        report "A library of tools/ ($word)" "$file:$line: $command($args)"
      elif [ "$kind" = program ] && [ "$command" != add_custom_command ] && [ "$command" != add_custom_target ]; then
        report "A target of tools/ ($word) outside a build step" "$file:$line: $command($args)"
      elif [ -n "${format_libraries[$word]:-}" ]; then
        case "$command" in
          ks_add_test | ks_add_bench | ks_add_fuzz) ;;
          *) [ -n "${testing[${args%% *}]:-}" ] ||
            report "Program code links a library of formats/ ($word)" "$file:$line: $command($args)" ;;
        esac
      fi
    done
  done <<<"$table"
  unset testing
done < <(find "${dirs[@]}" -name CMakeLists.txt -o -name '*.cmake')

[ $status = 0 ] && echo "nothing under game/, recorder/ or suite/ reaches into tools/, nor program code into formats/"
exit $status
