#!/bin/bash
# `make clean` and the build's first configure (tools/build-root): a build root
# made by the project carries its mark and `make clean` removes it; a folder
# that was there before, or a link, is never marked or removed; a mark counts
# only as the project writes it, in a folder others cannot change; and the
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

# A mark counts only as the project writes it, in a folder only its owner
# may change: each case is left, with one line naming the folder.
marked() {  # FOLDER MARK_CONTENT MODE
  mkdir -p "$1/x86_64" && printf '%s' "$2" > "$1/.vornelle-build" && chmod "$3" "$1"
}
mark_cases=(
  "an empty mark|empty||755"
  "a mark of other words|other|made by hand|755"
  "a marked folder that others may write|open|a build root of this project\n|777"
  "a marked folder that its group may write|group|a build root of this project\n|775"
)
for case in "${mark_cases[@]}"; do
  IFS='|' read -r what name content mode <<<"$case"
  marked "$work/$name" "$(printf "$content")" "$mode"
  clean "$work/$name"
  check "make clean leaves $what" [ -d "$work/$name/x86_64" ]
  check "... saying so in one line" one_line_naming "$work/$name"
done

# Under a folder that others may write and that is not sticky, anyone could
# swap the build root: it is neither made nor removed there.
mkdir -m 777 "$work/open-parent"
build_root make "$work/open-parent/build"
check "no build root is made under a folder that others may write" \
  [ ! -e "$work/open-parent/build" ]
check "... saying so in one line" grep -q "open-parent, above it, may be written by others" "$work/err"
build_root make "$new"
mv "$new" "$work/open-parent/build"
clean "$work/open-parent/build"
check "a marked build root under such a folder is not removed" \
  [ -f "$work/open-parent/build/.vornelle-build" ]
check "... saying so in one line" one_line_naming "open-parent, above it, may be written by others"

checks_summary
