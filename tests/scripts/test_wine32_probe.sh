#!/usr/bin/env bash
# The 32-bit probe's decision and what scripts/test says of the tests it could not run, fed
# the answers they meet on a machine with and without 32-bit support.
set -u
# scripts/test runs this with its own answer exported; each case here sets what it needs.
unset PELORIN_32BIT PELORIN_RUNS_32BIT
. "$(dirname "$0")/../../scripts/lib/wine32-probe"
. "$(dirname "$0")/../../scripts/lib/tests-not-run"

passed=0 failed=0
check() {  # name expected actual
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAIL %s: expected\n%s\ngot\n%s\n' "$1" "$2" "$3"; fi
}

check "the loader runs"                    yes "$(wine32_decision '' 0)"
check "the kernel refuses the loader"      no  "$(wine32_decision '' 126)"
check "no loader at all"                   no  "$(wine32_decision '' 127)"
check "forced no where it runs"            no  "$(wine32_decision no 0)"
check "forced yes where it is refused"     yes "$(wine32_decision yes 126)"
check "a forced answer we do not know"     bad "$(wine32_decision 1 0)"

check "nothing said where 32-bit runs"     "" "$(wine32_message yes '' '')"
message=$(wine32_message no 'Exec format error' '')
check "one line"                           1 "$(printf '%s\n' "$message" | wc -l)"
check "names the cause"                    1 "$(grep -c "refuses Wine's 32-bit loader: Exec format error" <<<"$message")"
check "says what still runs"               1 "$(grep -c 'Everything 64-bit is built and run' <<<"$message")"
check "says nothing is to be installed"    1 "$(grep -c 'Nothing needs to be installed' <<<"$message")"
check "a forced answer says so"            1 "$(wine32_message no '' no | grep -c 'PELORIN_32BIT=no says so')"

# The whole probe against loaders that run, are refused, and are missing.
dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
printf '#!/bin/sh\necho wine-8.0\n' > "$dir/runs"
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' > "$dir/refused"
chmod 755 "$dir/runs" "$dir/refused"
probe() { (WINE32_LOADER=$1; PELORIN_32BIT=${2:-}; wine32_probe >/dev/null 2>&1; echo "$?:${PELORIN_RUNS_32BIT:-unset}"); }
check "probe: a loader that runs"          0:1 "$(probe "$dir/runs")"
check "probe: a loader the kernel refuses" 0:0 "$(probe "$dir/refused")"
check "probe: no loader"                   0:0 "$(probe "$dir/missing")"
check "probe: forced no"                   0:0 "$(probe "$dir/runs" no)"
check "probe: forced yes"                  0:1 "$(probe "$dir/refused" yes)"
check "probe: a bad forced answer"         2:unset "$(probe "$dir/runs" maybe)"
check "probe: the refusal's words"         1 "$( (WINE32_LOADER=$dir/refused; wine32_probe) | grep -c 'Exec format error')"

listing='Test project /tmp/build/win64
  Test  #1: win.register
  Test #12: win.test_side_by_side.32bit
  Test #31: win.test_setup.32bit

Total Tests: 3'
check "names of a ctest listing" "win.register
win.test_side_by_side.32bit
win.test_setup.32bit" "$(ctest_test_names <<<"$listing")"
check "the heading, then each name" "$NOT_RUN_HEADING
  win32: win.register
  win64: win.test_setup.32bit" "$(printf 'win32: win.register\n\nwin64: win.test_setup.32bit\n' | print_not_run)"
check "nothing not run, nothing said" "" "$(printf '' | print_not_run)"

verdict() { test_verdict "$@"; echo $?; }
check "all passed"                          0 "$(verdict 1 0 0 0 0)"
check "32-bit prefix not run, no 32-bit"    0 "$(verdict 0 0 0 - 0)"
check "32-bit prefix not run, 32-bit runs"  1 "$(verdict 1 0 0 - 0)"
check "a failure in what ran"               1 "$(verdict 0 0 0 - 8)"
check "native failed"                       1 "$(verdict 0 1 0 - 0)"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
