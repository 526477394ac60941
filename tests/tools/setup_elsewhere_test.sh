#!/bin/bash
# tools/setup on a system that is not Debian (no dpkg-query on PATH): it
# installs nothing, passes when the programs the commands call are there, and
# otherwise fails with one line naming each missing program and its Debian
# package. Runs after set-up (make test's), so the programs are there to hide.
# Prints "N passed, N failed".
#   setup_elsewhere_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
new_temporary_folder farm
new_temporary_folder out

# PATH's programs as links, earlier folders' first, without dpkg-query.
IFS=: read -r -a folders <<<"$PATH"
for (( i=${#folders[@]}-1; i>=0; i-- )); do
  [ -d "${folders[$i]}" ] && ln -sf -- "${folders[$i]}"/* "$farm/" 2>/dev/null
done
rm -f -- "$farm/dpkg-query" "$farm/apt-get"
setup() { PATH=$farm "$src/tools/setup" 2>"$out/err"; }

setup
check "every program there: set-up passes without dpkg" [ $? -eq 0 ]
rm -f -- "$farm/gpgv" "$farm/xdotool"
setup
check "gpgv and xdotool missing: set-up fails" [ $? -eq 1 ]
check "... with one line naming both and their packages" \
  bash -c '[ $(wc -l <"$1") -eq 1 ] && grep -q "gpgv (gpgv)" "$1" && grep -q "xdotool (xdotool)" "$1"' \
  _ "$out/err"
checks_summary
