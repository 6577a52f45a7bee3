#!/usr/bin/env bash
# The install step's decision after a mirror caught mid-sync, fed apt's own exit codes and
# output as measured on such a mirror.
set -u
. "$(dirname "$0")/../../scripts/lib/apt-install"

passed=0 failed=0
check() {  # name expected actual
  if [ "$2" = "$3" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1: expected '$2', got '$3'"; fi
}

midsync='E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?
E: Some index files failed to download. They have been ignored, or old ones used instead.'
warning_only='W: http://deb.example/debian/dists/bookworm/InRelease: Key is stored in legacy trusted.gpg keyring'

check "healthy mirror, install works"            done  "$(apt_next_step 0 '' 0)"
check "healthy mirror, install fails"            fail  "$(apt_next_step 0 '' 100)"
check "update failed, install works anyway"      done  "$(apt_next_step 100 "$midsync" 0)"
check "update failed, install fails"             retry "$(apt_next_step 100 "$midsync" 100)"
check "update exits 0 but lost an index"         retry "$(apt_next_step 0 "$midsync" 100)"
check "update's warnings are no errors"          fail  "$(apt_next_step 0 "$warning_only" 100)"
check "a fetch error line in apt's short form"   retry "$(apt_next_step 0 'Err:7 http://deb.example bookworm-security InRelease' 100)"

dir=$(mktemp -d); trap 'rm -rf "$dir"' EXIT
printf 'PRETTY_NAME="Debian GNU/Linux 13 (trixie)"\nVERSION_ID="13"\nVERSION_CODENAME=trixie\n' > "$dir/os-release"
check "code name read from os-release"           trixie "$(release_codename "$dir/os-release")"
printf 'NAME="Some Linux"\n' > "$dir/none"
check "no code name"                             ""     "$(release_codename "$dir/none")"
check "no os-release at all"                     ""     "$(release_codename "$dir/missing")"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
