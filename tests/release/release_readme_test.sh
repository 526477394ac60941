#!/bin/bash
# The release's README.md (release/README.md, packed as README.md) is read
# where the zip was unpacked, away from the source tree: every link in it leads
# to a file that the zip holds, or to a heading of the page itself; nothing
# leads to a web address, a picture or another page of the tree.
#   release_readme_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
page=$src/release/README.md
[ -f "$page" ] || { echo "FAIL - $page is missing"; exit 1; }

# The zip's files, as the release check knows them.
packed=$(python3 -I -B -c 'import sys; sys.path.insert(0, sys.argv[1]); import release_zip as z
print(" ".join(z.RELEASE_FILES))' "$src/release") \
  || { echo "FAIL - the release's list of files could not be read"; exit 1; }
# The page outside its code blocks, where a link is a link.
prose=$(awk '/^ *```/ {code = !code; next} !code' "$page")
# Each heading as its anchor: lower case, punctuation dropped, spaces as dashes.
anchors=$(grep -E '^#+ ' <<<"$prose" | sed -E 's/^#+ +//' | tr 'A-Z' 'a-z' \
            | sed -E 's/[^a-z0-9 _-]//g; s/ /-/g')
# Link targets: [text](target), [name]: target, <scheme:...>, href= and src=.
targets=$( { grep -oE '\]\([^)]*\)' <<<"$prose" | sed -E 's/^\]\(<?([^ >)]*).*$/\1/'
             grep -oE '^ {0,3}\[[^]]+\]: *[^ ]+' <<<"$prose" | sed -E 's/^[^:]*: *<?([^>]*)>?$/\1/'
             grep -oE '<[A-Za-z][A-Za-z0-9+.-]*:[^> ]*>' <<<"$prose" | tr -d '<>'
             grep -oiE '(href|src) *= *"[^"]*"' <<<"$prose" | sed -E 's/^[^"]*"([^"]*)"$/\1/'
           } | sort -u)

leads_inside() {  # TARGET: a file of the zip, or an anchor of the page
  case $1 in
    '#'*) grep -qxF -- "${1#\#}" <<<"$anchors" ;;
    *) [[ " $packed " == *" $1 "* ]] ;;
  esac
}
[ -n "$targets" ] || echo "note: the page has no links"
while IFS= read -r target; do
  [ -n "$target" ] || continue
  check "the link to $target leads to what the unpacked zip holds" leads_inside "$target"
done <<<"$targets"
checks_summary
