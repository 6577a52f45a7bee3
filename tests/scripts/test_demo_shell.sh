#!/usr/bin/env bash
# The demo session's shell decisions: win_run (tools/demo/wine-tools) fed a stand-in loader
# that answers in code page 932 on both streams, as Wine's own programs do under the Japanese
# locale, and names_installation (tools/demo/install64), which decides whether a user's Run
# value is this installation's.
set -u
top="$(cd "$(dirname "$0")/../.." && pwd)"
. "$top/tools/demo/wine-tools"
. "$top/tools/demo/install64"

passed=0 failed=0
check() {  # name expected actual
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: expected '$2', got '$3'"; fi
}

dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
# The stand-in: "(既定)" and a line end on stdout, "エラー", a byte that is no code page 932
# (0xA0) and a line end on stderr, then the exit code it is given.
WINE64="$dir/wine64"
cat > "$WINE64" <<'LOADER'
#!/bin/sh
printf '\050\212\371\222\350\051\r\n'
printf '\203\107\203\211\201\133\240!\r\n' >&2
exit "$1"
LOADER
chmod +x "$WINE64"

win_run 0 > "$dir/out" 2> "$dir/err"
check "exit code 0 passed on"                 0        "$?"
check "stdout in UTF-8, Unix line end"        "(既定)"  "$(cat "$dir/out")"
check "stderr in UTF-8, a bad byte dropped"   "エラー!" "$(cat "$dir/err")"
check "no carriage return kept"               0        "$(cat "$dir/out" "$dir/err" | tr -cd '\r' | wc -c)"
win_run 3 > /dev/null 2>&1
check "exit code 3 passed on"                 3        "$?"
set -o pipefail
win_run 5 > /dev/null 2>&1
check "exit code 5 passed on under pipefail"  5        "$?"
set +o pipefail
check "the output's own exit code in a capture" 7      "$(out=$(win_run 7 2>/dev/null); echo $?)"

yes_no() { if "$@"; then echo yes; else echo no; fi; }
folder='C:\Program Files\Vorna\Pelorin'
check "quoted path of this installation"      yes "$(yes_no names_installation '"C:\Program Files\Vorna\Pelorin\x64\pelorin.exe"' "$folder")"
check "unquoted path, another case"           yes "$(yes_no names_installation 'c:\program files\vorna\pelorin\x64\pelorin.exe' "$folder")"
check "a copy elsewhere keeps its value"      no  "$(yes_no names_installation '"D:\Tools\Pelorin\pelorin.exe"' "$folder")"
check "a folder that only starts alike"       no  "$(yes_no names_installation '"C:\Program Files\Vorna\Pelorin2\pelorin.exe"' "$folder")"
check "an empty value"                        no  "$(yes_no names_installation '' "$folder")"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
