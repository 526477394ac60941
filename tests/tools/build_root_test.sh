#!/bin/bash
# `make clean` and the build's first configure (tools/build-root): a build root
# made by the project carries its mark and `make clean` removes it; a folder
# that was there before, or a link, is never marked or removed, and the
# refusal is one line naming it. Prints "N passed, N failed".
#   build_root_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
new_temporary_folder work
build_root() { "$src/tools/build-root" "$@" 2>"$work/err"; }
clean() { make -s -C "$src" clean BUILD="$1" >/dev/null 2>"$work/err"; }
one_line_naming() { [ "$(grep -c '^clean:' "$work/err")" -eq 1 ] && grep -qF -- "$1" "$work/err"; }

new="$work/a new build"
build_root make "$new"
check "a build root made here carries the mark" [ -f "$new/.vornelle-build" ]
mkdir -p "$new/x86_64" && touch "$new/x86_64/CMakeCache.txt"
clean "$new"
check "... and is removed" [ ! -e "$new" ]

mine=$work/home
mkdir -p "$mine/documents" && echo "a person's own file" > "$mine/documents/letter.txt"
build_root make "$mine"
check "an existing folder is used, not marked" [ ! -e "$mine/.vornelle-build" ]
clean "$mine"
check "... and not removed" [ -f "$mine/documents/letter.txt" ]
check "... saying so in one line" one_line_naming "$mine"

ln -s "$new" "$work/link" && build_root make "$new"
clean "$work/link"
check "a link to a build root is not followed" [ -L "$work/link" -a -f "$new/.vornelle-build" ]
check "... saying so in one line" one_line_naming "$work/link"
clean "$work/missing"
check "a build root that is not there is nothing to do" [ $? -eq 0 ]

checks_summary
