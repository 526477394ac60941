#!/bin/bash
# tools/debian-mirror, fed sample apt sources with made-up hosts: it takes the
# first usable `deb` source of bookworm with main, in deb822 and one-line
# files, and skips source packages, other suites and components, disabled
# stanzas and media; with none it fails with one line. Prints
# "N passed, N failed".
#   debian_mirror_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
new_temporary_folder samples
mirror() { "$src/tools/debian-mirror" "$@" 2>"$samples/err"; }

cat > "$samples/debian.sources" <<'SOURCES'
# Sources of packages, not programs.
Types: deb-src
URIs: http://sources.example.invalid/debian
Suites: bookworm
Components: main

Types: deb
URIs: http://security.example.invalid/debian-security
Suites: bookworm-security
Components: main

Types: deb
URIs: http://disabled.example.invalid/debian
Suites: bookworm
Components: main
Enabled: no

Types: deb
URIs: http://contrib.example.invalid/debian
Suites: bookworm
Components: contrib

types: deb deb-src
uris: cdrom:[Debian GNU/Linux 12]/
  http://mirror.example.invalid/debian
suites: bookworm bookworm-updates
components: main contrib
SOURCES
check "deb822: the first usable URI of a bookworm main source" \
  [ "$(mirror "$samples/debian.sources")" = http://mirror.example.invalid/debian ]

cat > "$samples/sources.list" <<'LIST'
# deb http://commented.example.invalid/debian bookworm main
deb-src http://sources.example.invalid/debian bookworm main
deb http://other.example.invalid/apt other-bookworm main
deb http://updates.example.invalid/debian bookworm-updates main
deb cdrom:[Debian GNU/Linux 12]/ bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] https://one.example.invalid/debian bookworm contrib main # the mirror
LIST
check "one-line: the first usable bookworm main source, options and comments aside" \
  [ "$(mirror "$samples/sources.list")" = https://one.example.invalid/debian ]
check "the first file that has one wins" \
  [ "$(mirror "$samples/sources.list" "$samples/debian.sources")" = https://one.example.invalid/debian ]

printf 'deb http://stable.example.invalid/debian stable main\n' > "$samples/stable.list"
mirror "$samples/stable.list" "$samples/missing.sources" >/dev/null
check "no Debian 12 source: exit 1" [ $? -eq 1 ]
check "... with one line saying so" \
  bash -c '[ $(wc -l <"$1") -eq 1 ] && grep -q "Debian 12" "$1"' _ "$samples/err"

checks_summary
