#!/bin/bash
# Side-by-side comparison of vornelle.exe with the yardstick program
# (bench/baseline), printed as ratios vornelle / baseline: exe size, launch to
# visible window, idle CPU over 10 s with the dialog open, resident memory with
# the dialog open, and the secure source's pass phrases per second against the
# raw BCryptGenRandom fill of the same bytes. Timed figures are medians over
# RUNS runs (default 21) that alternate which program goes first, the idle
# window IDLE_SECONDS long (default 10). The table goes into
# docs/performance.md as the block "bench ARCH" (tools/figures), unless APP_EXE
# names another vornelle.exe to measure.
# Runs inside the Wine session of a build folder, as `make bench` starts it:
#   tools/in-session ARCH --build build/bench vornelle baseline launch_wait passphrase_rate \
#     -- bench/compare.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VORNELLE_BUILD:?run through make bench (tools/in-session)}
RUNS=${RUNS:-21}
IDLE_SECONDS=${IDLE_SECONDS:-10}
[[ $RUNS =~ ^[1-9][0-9]{0,3}$ && $IDLE_SECONDS =~ ^[1-9][0-9]{0,3}$ ]] \
  || { echo "compare: RUNS and IDLE_SECONDS are numbers from 1 to 9999" >&2; exit 2; }

app=${APP_EXE:-$BUILD/app/vornelle.exe}
base=$BUILD/bench/baseline/baseline.exe
waiter=$BUILD/bench/launch_wait.exe
rate=$BUILD/bench/passphrase_rate.exe
for f in "$app" "$base" "$waiter" "$rate"; do
  [ -e "$f" ] || { echo "compare: $f is missing" >&2; exit 1; }
done
hz=$(getconf CLK_TCK)
# Every run under Wine has a time limit (seconds); one that takes longer fails.
STEP_SECONDS=120
step() { timeout "$STEP_SECONDS" wine "$@"; }

median() { sort -g | awk '{v[NR]=$1} END {if (NR==0) print "nan"; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b+0==0) print "n/a"; else printf "%.3f\n", a/b}'; }
field() { awk -v k="$1" '$1==k {print $2}'; }

# The Linux process of a program started under this prefix from path $1.
unix_pid_of() {
  local p c
  for p in /proc/[0-9]*; do
    c=$(tr '\0' ' ' 2>/dev/null < "$p/cmdline") || continue
    case "$c" in
      *"$1"*) tr '\0' '\n' 2>/dev/null < "$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" \
                && { echo "${p#/proc/}"; return 0; } ;;
    esac
  done
  return 1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Launch to visible window: one discarded warm-up each, then RUNS alternating.
step "$waiter" launch "$app" >/dev/null; step "$waiter" launch "$base" >/dev/null
for i in $(seq 1 "$RUNS"); do
  if [ $((i % 2)) = 1 ]; then order="app base"; else order="base app"; fi
  for who in $order; do
    exe=$app; [ "$who" = base ] && exe=$base
    out=$(step "$waiter" launch "$exe") || { echo "compare: launch of $exe failed (or took over $STEP_SECONDS s): $out" >&2; exit 1; }
    echo "$out" | field launch_ms >> "$tmp/launch.$who"
  done
done

# Idle CPU and resident memory: both dialogs open over the same window of
# IDLE_SECONDS, started in alternating order; CPU from utime + stime.
for i in $(seq 1 "$RUNS"); do
  if [ $((i % 2)) = 1 ]; then order="app base"; else order="base app"; fi
  declare -A wpid upid t0
  for who in $order; do
    exe=$app; [ "$who" = base ] && exe=$base
    # To a file: the started program inherits the output and keeps it open.
    step "$waiter" start "$exe" > "$tmp/start.$who" \
      || { echo "compare: start of $exe failed (or took over $STEP_SECONDS s): $(cat "$tmp/start.$who")" >&2; exit 1; }
    wpid[$who]=$(field pid < "$tmp/start.$who")
  done
  sleep 1
  for who in app base; do
    exe=$app; [ "$who" = base ] && exe=$base
    upid[$who]=$(unix_pid_of "$exe") || { echo "compare: no Linux process for $exe" >&2; exit 1; }
    t0[$who]=$(cpu_ticks "${upid[$who]}")
  done
  sleep "$IDLE_SECONDS"
  for who in app base; do
    t1=$(cpu_ticks "${upid[$who]}")
    awk -v a="${t0[$who]}" -v b="$t1" -v hz="$hz" 'BEGIN {print (b - a) * 1000 / hz}' >> "$tmp/cpu.$who"
    rss_kib "${upid[$who]}" >> "$tmp/rss.$who"
  done
  for who in $order; do
    out=$(step "$waiter" close "${wpid[$who]}") || { echo "compare: close failed (or took over $STEP_SECONDS s): $out" >&2; exit 1; }
  done
done

rate_out=$(step "$rate") || { echo "compare: the rate measurement failed (or took over $STEP_SECONDS s)" >&2; exit 1; }

size_app=$(stat -c %s "$app"); size_base=$(stat -c %s "$base")
l_app=$(median < "$tmp/launch.app"); l_base=$(median < "$tmp/launch.base")
c_app=$(median < "$tmp/cpu.app"); c_base=$(median < "$tmp/cpu.base")
r_app=$(median < "$tmp/rss.app"); r_base=$(median < "$tmp/rss.base")
secure=$(echo "$rate_out" | field secure_passphrases_per_s)
raw=$(echo "$rate_out" | field raw_fills_per_s)

# Each row: metric, vornelle, baseline, ratio, the target and whether it is met.
size_most=24576
ratio_size=$(ratio "$size_app" "$size_base"); ratio_launch=$(ratio "$l_app" "$l_base")
ratio_cpu=$(ratio "$c_app" "$c_base"); ratio_rss=$(ratio "$r_app" "$r_base")
ratio_rate=$(ratio "$secure" "$raw")
met() { awk -v v="$1" -v op="$2" -v limit="$3" \
  'BEGIN {if (v !~ /^[0-9.]+$/) print "no"; else print ((op == "<=" ? v <= limit : v >= limit) ? "yes" : "no")}'; }
size_met=$(met "$ratio_size" "<=" 1.10)
[ "$VORNELLE_ARCH" = i686 ] && [ "$size_app" -gt "$size_most" ] && size_met=no
size_target="<= 1.10"
[ "$VORNELLE_ARCH" = i686 ] && size_target="<= 1.10, vornelle <= $size_most bytes"
rows=(
  "exe size (bytes)|$size_app|$size_base|$ratio_size|$size_target|$size_met"
  "launch to visible window (ms, median)|$l_app|$l_base|$ratio_launch|<= 1.10|$(met "$ratio_launch" "<=" 1.10)"
  "idle CPU over $IDLE_SECONDS s, dialog open (ms, median)|$c_app|$c_base|$ratio_cpu|<= 1.10|$(met "$ratio_cpu" "<=" 1.10)"
  "VmRSS, dialog open (KiB, median)|$r_app|$r_base|$ratio_rss|<= 1.10|$(met "$ratio_rss" "<=" 1.10)"
  "pass phrases/s: secure source vs raw fill|$secure|$raw|$ratio_rate|>= 0.5|$(met "$ratio_rate" ">=" 0.5)"
)

# The session runs the Wine of its build folder's architecture, and says which.
echo "architecture measured: $VORNELLE_ARCH ($BUILD, under $(wine --version 2>/dev/null) $WINEARCH)"
printf '%-46s %12s %12s %8s  %-34s %s\n' metric vornelle baseline ratio target met
for row in "${rows[@]}"; do
  IFS='|' read -r -a cell <<<"$row"
  printf '%-46s %12s %12s %8s  %-34s %s\n' "${cell[@]}"
done
echo "runs $RUNS (alternating); launch samples (ms): vornelle $(paste -sd' ' "$tmp/launch.app") | baseline $(paste -sd' ' "$tmp/launch.base")"
echo "idle CPU samples (ms): vornelle $(paste -sd' ' "$tmp/cpu.app") | baseline $(paste -sd' ' "$tmp/cpu.base")"

if [ -n "${APP_EXE:-}" ]; then
  echo "compare: APP_EXE is another program; docs/performance.md is left as it is"
  exit 0
fi
{
  echo "| metric | vornelle | baseline | ratio | target | met |"
  echo "|---|---|---|---|---|---|"
  for row in "${rows[@]}"; do
    IFS='|' read -r -a cell <<<"$row"
    echo "| ${cell[0]} | ${cell[1]} | ${cell[2]} | ${cell[3]} | ${cell[4]} | ${cell[5]} |" \
      | sed 's/<=/≤/g; s/>=/≥/g'
  done
} | "$root/tools/figures" write "bench $VORNELLE_ARCH" \
  "RUNS=$RUNS alternating runs, an idle window of IDLE_SECONDS=$IDLE_SECONDS s"
