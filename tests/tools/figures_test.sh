#!/bin/bash
# The blocks of measured figures in the docs (tools/figures): a write replaces
# its block's text and nothing else, headed by the commit and the machine; the
# check fails, naming the block, when a marker is missing, doubled or out of
# order, when a block names no commit or one that is not in the history, and
# when a page holds a marker of no known block. Prints "N passed, N failed".
#   figures_test.sh SOURCE_DIR
set -uo pipefail
src=$(cd "$1" && pwd)
source "$src/tests/support/checks.sh"
command -v git >/dev/null || { echo "skipped: git is not installed"; exit 77; }
new_temporary_folder work

# A repository of its own holding the tool and the two pages as committed.
repo="$work/a repo"
mkdir -p "$repo/tools" "$repo/docs"
cp "$src/tools/figures" "$repo/tools/"
cp "$src/docs/performance.md" "$src/docs/security.md" "$repo/docs/"
git() { command git -C "$repo" -c user.name=test -c user.email=test@example.invalid "$@"; }
git init -q && git add -A && git commit -qm pages || exit 1
head=$(git rev-parse HEAD)
# The blocks name this repository's commit, as if measured here.
sed -i "s/^Measured at commit \`[0-9a-f]*\`/Measured at commit \`$head\`/" "$repo"/docs/*.md
figures() { "$repo/tools/figures" "$@" >"$work/out" 2>"$work/err"; }
outside_blocks() { sed '/^<!-- .*: begin -->$/,/^<!-- .*: end -->$/d' "$1"; }

check "the project's pages pass the check" figures check

outside_blocks "$repo/docs/performance.md" > "$work/before"
printf '| a | b |\n|---|---|\n| 1 \\n | 2 |\n' | VORNELLE_ARCH=i686 figures write "bench i686" "RUNS=3"
block=$(sed -n '/^<!-- bench i686: begin -->$/,/^<!-- bench i686: end -->$/p' "$repo/docs/performance.md")
check "a write puts the text into its block" grep -qxF '| 1 \n | 2 |' <<<"$block"
check "... headed by the commit, the settings and the machine" \
  grep -qE "^Measured at commit \`$head\` on [0-9-]+: i686 build under .*, [0-9]+ cores; RUNS=3\.\$" <<<"$block"
check "... and changes nothing outside it" cmp -s "$work/before" <(outside_blocks "$repo/docs/performance.md")
check "... which then passes the check" figures check

echo "# a change" >> "$repo/tools/figures"
echo x | figures write "bench i686" "RUNS=3"
check "a write in a changed tree says so" grep -qF "\`$head\` with changes not committed" "$repo/docs/performance.md"
git checkout -q -- tools/figures

cp "$repo/docs/security.md" "$work/security.md"
sed -i '/^<!-- memory i686: begin -->$/d' "$repo/docs/security.md"
echo x | figures write "memory i686" "RUNS=1"
check "a write to a block without its markers fails" [ $? -ne 0 ]
check "... as it was, but for the marker removed" \
  cmp -s <(sed '/^<!-- memory i686: begin -->$/d' "$work/security.md") "$repo/docs/security.md"
cp "$work/security.md" "$repo/docs/security.md"

# Each broken page: what breaks it (a sed script on docs/performance.md), and
# the words the check's complaint must hold.
cases=(
  'the begin marker gone|/^<!-- soak: begin -->$/d|block '"'soak'"' needs one begin and one end'
  'the end marker doubled|/^<!-- soak: end -->$/p|block '"'soak'"' needs one begin and one end'
  'the markers swapped|s/^<!-- soak: begin -->$/<!-- soak: TMP -->/; s/^<!-- soak: end -->$/<!-- soak: begin -->/; s/^<!-- soak: TMP -->$/<!-- soak: end -->/|block '"'soak'"' ends before it begins'
  'a commit not in the history|s/^Measured at commit `[0-9a-f]*`/Measured at commit `'"$(printf '%040d' 0 | tr 0 a)"'`/|which is not in the history'
  'no commit named|s/^Measured at commit `[0-9a-f]*`/Measured by hand/|names no commit'
  'a marker of no known block|$a <!-- bench sparc: begin -->|a marker of no known block'
)
for entry in "${cases[@]}"; do
  IFS='|' read -r what script words <<<"$entry"
  git show HEAD:docs/performance.md \
    | sed "s/^Measured at commit \`[0-9a-f]*\`/Measured at commit \`$head\`/" \
    | sed -e "$script" > "$repo/docs/performance.md"
  figures check
  check "the check fails with $what" [ $? -ne 0 ]
  check "... naming it" grep -qF -- "$words" "$work/err"
done

checks_summary
