#!/usr/bin/env bash
# Program code reaches the host only through the platform layer. This check
# lists host calls under game/, recorder/ and suite/ (tools and tests of the
# tools are free to use the host) and names the platform call to use instead.
set -u
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
status=0
check() {
  local pattern=$1 instead=$2
  local hits
  hits=$(grep -rnE --include='*.cpp' --include='*.h' --include='*.hpp' "$pattern" \
           "$top/game" "$top/recorder" "$top/suite" 2>/dev/null | grep -v '/tools/' |
           grep -vE '^[^:]+:[0-9]+:[[:space:]]*(//|\*)' || true)
  if [ -n "$hits" ]; then
    echo "Host call found; use $instead instead:"
    echo "$hits"
    status=1
  fi
}
check '\bfopen\s*\(' 'CreateFileW'
check '(^|[^_[:alnum:]:.>])time\s*\(' 'GetTickCount or GetLocalTime'
check '\bgetenv\s*\(' 'the device configuration'
check 'std::filesystem' 'the platform file calls'
check '(^|[^_[:alnum:]:.>])s?rand\s*\(' 'ce::rand / ce::srand'
check '\bSDL_' 'the platform layer (SDL belongs to its sdl back end)'
[ $status = 0 ] && echo "no host calls in program code"
exit $status
