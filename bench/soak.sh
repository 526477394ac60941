#!/bin/bash
# Soak run of the real program: PRESSES presses of the generate button from
# outside (default 100,000), each followed by a read of the text box. Every pass
# phrase must be valid and all distinct, resident memory may grow by at most
# 512 KiB after a warm-up of WARMUP presses (default 5,000), and the dialog must
# still close with exit code 0. See tests/soak/soak_driver.cpp. The figures go
# into docs/performance.md as the block "soak" (tools/figures), unless APP_EXE
# names another vornelle.exe to soak. Runs inside the Wine session of a build folder, as
# `make soak` starts it:
#   tools/in-session ARCH --build build/bench vornelle soak_driver -- bench/soak.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VORNELLE_BUILD:?run through make soak (tools/in-session)}
PRESSES=${PRESSES:-100000}
WARMUP=${WARMUP:-5000}
[[ $PRESSES =~ ^[1-9][0-9]{0,7}$ && $WARMUP =~ ^[1-9][0-9]{0,7}$ ]] \
  || { echo "soak: PRESSES and WARMUP are numbers from 1 to 99999999" >&2; exit 2; }
app=${APP_EXE:-$BUILD/app/vornelle.exe}
echo "soak: $PRESSES presses of $app ($VORNELLE_ARCH), warm-up $WARMUP" >&2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# A time limit of 20 presses a second at the least.
limit=$((60 + PRESSES / 20))
timeout "$limit" wine "$BUILD/tests/soak/soak_driver.exe" "$app" "$PRESSES" --warmup "$WARMUP" \
  --max-growth-kib 512 | tee "$tmp/out"
status=${PIPESTATUS[0]}
[ "$status" -eq 124 ] && { echo "soak: the run took over $limit s" >&2; exit 1; }

if [ -n "${APP_EXE:-}" ]; then
  echo "soak: APP_EXE is another program; docs/performance.md is left as it is"
  exit "$status"
fi
value() { awk -v k="$1" '$1 == k {print $2}' "$tmp/out" | tr -d '\r'; }
for key in presses distinct invalid repeated unanswered presses_per_s rss_after_warmup_kib \
           rss_peak_kib rss_growth_kib exit_code result; do
  [ -n "$(value "$key")" ] || { echo "soak: the driver gave no $key; the page is left as it is" >&2; exit 1; }
done
{
  echo "| figure | value |"
  echo "|---|---|"
  echo "| presses | $(value presses) |"
  echo "| valid pass phrases (63 characters of 0-9 A-Z a-z) | $(($(value presses) - $(value invalid))) ($(value invalid) invalid) |"
  echo "| distinct pass phrases | $(value distinct) ($(value repeated) repeated) |"
  echo "| presses per second (press + read, across processes) | $(value presses_per_s) |"
  echo "| resident memory after the warm-up (KiB) | $(value rss_after_warmup_kib) |"
  echo "| peak after the warm-up, sampled every 500 presses (KiB) | $(value rss_peak_kib) |"
  echo "| growth after the warm-up (KiB; limit 512) | $(value rss_growth_kib) |"
  echo "| unanswered messages | $(value unanswered) |"
  echo "| exit code after \`WM_SYSCOMMAND\` / \`SC_CLOSE\` | $(value exit_code) |"
  echo "| result | $(value result) |"
} | "$root/tools/figures" write soak "PRESSES=$PRESSES, WARMUP=$WARMUP" || exit 1
exit "$status"
