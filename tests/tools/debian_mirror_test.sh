#!/bin/bash
# tools/debian-mirror, fed sample apt sources with made-up hosts: it takes the
# first usable `deb` source of bookworm with main, in deb822 and one-line
# files, and skips source packages, other suites and components, disabled
# stanzas and media; a source of the asked release wins over one of another
# release, which serves when there is none; with none it fails with one line.
# Prints "N passed, N failed".
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

# The asked release's source first, in any file; another release's serves.
cat > "$samples/both.list" <<'LIST'
deb http://old.example.invalid/debian bookworm main
deb http://new.example.invalid/debian trixie main
LIST
cat > "$samples/both.sources" <<'SOURCES'
Types: deb
URIs: http://old.example.invalid/debian
Suites: bookworm
Components: main

Types: deb
URIs: http://new.example.invalid/debian
Suites: trixie trixie-updates
Components: main
SOURCES
printf 'deb http://new.example.invalid/debian trixie main\n' > "$samples/trixie.list"
# Each case: what | the mirror | the arguments (files in the samples).
while IFS='|' read -r what expected args; do
  read -r -a args <<<"$args"
  check "${what%"${what##*[! ]}"}" \
    [ "$(cd "$samples" && mirror "${args[@]}")" = "${expected// /}" ]
done <<'CASES'
trixie, one-line: its source, not the earlier bookworm one  | http://new.example.invalid/debian | --suite trixie both.list
trixie, deb822: its source, not the earlier bookworm one    | http://new.example.invalid/debian | --suite trixie both.sources
bookworm: its own source                                    | http://old.example.invalid/debian | --suite bookworm both.list
the newest release when none is asked                       | http://new.example.invalid/debian | both.sources
a later file with the release wins over an earlier without  | http://new.example.invalid/debian | --suite trixie sources.list trixie.list
trixie with only a bookworm source: that mirror serves      | https://one.example.invalid/debian | --suite trixie sources.list
bookworm with only a trixie source: that mirror serves      | http://new.example.invalid/debian | --suite bookworm trixie.list
CASES

printf 'deb http://stable.example.invalid/debian stable main\n' > "$samples/stable.list"
mirror "$samples/stable.list" "$samples/missing.sources" >/dev/null
check "no source of a tested Debian release: exit 1" [ $? -eq 1 ]
check "... with one line naming the releases" \
  bash -c '[ $(wc -l <"$1") -eq 1 ] && grep -q "bookworm trixie" "$1"' _ "$samples/err"
mirror --suite sid "$samples/sources.list" >/dev/null
check "a release the project is not tested on: exit 2" [ $? -eq 2 ]

checks_summary
