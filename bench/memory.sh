#!/bin/bash
# What stays of the pass phrases in the program's memory: RUNS runs (default
# 12) of bench/tools/memory_probe.cpp, each pressing PRESSES times (default 5),
# summed up as the number of runs in which each kind of copy was found. The
# table goes into docs/security.md as the block "memory ARCH" (tools/figures),
# unless APP_EXE names another vornelle.exe to probe; each run's own output is
# kept in BUILD/memory-logs. Runs inside the Wine session of a build folder, as
# `make memory` starts it:
#   tools/in-session ARCH --build build/bench vornelle memory_probe -- bench/memory.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${VORNELLE_BUILD:?run through make memory (tools/in-session)}
RUNS=${RUNS:-12}
PRESSES=${PRESSES:-5}
RUN_SECONDS=300
[[ $RUNS =~ ^[1-9][0-9]{0,2}$ && $PRESSES =~ ^[2-9]$ ]] \
  || { echo "memory: RUNS is 1 to 999, PRESSES 2 to 9" >&2; exit 2; }

app=${APP_EXE:-$BUILD/app/vornelle.exe}
probe=$BUILD/bench/memory_probe.exe
for f in "$app" "$probe"; do
  [ -e "$f" ] || { echo "memory: $f is missing" >&2; exit 1; }
done
logs=$BUILD/memory-logs
rm -rf -- "$logs" && mkdir -p -- "$logs" || exit 1

for i in $(seq 1 "$RUNS"); do
  timeout "$RUN_SECONDS" wine "$probe" "Z:$app" "$PRESSES" 2>/dev/null | tr -d '\r' > "$logs/run-$i.txt"
  status=${PIPESTATUS[0]}
  [ "$status" -eq 124 ] && { echo "memory: run $i took over $RUN_SECONDS s" >&2; exit 1; }
  [ "$status" -eq 0 ] || { echo "memory: run $i failed: $(tail -1 "$logs/run-$i.txt")" >&2; exit 1; }
done

# One line per run: the facts the table counts, as "name=value" words.
summary=$(for i in $(seq 1 "$RUNS"); do
  awk -v presses="$PRESSES" '
    /^heap-layout read yes/ { heap = 1 }
    /^learnt press / { if ($5 != 1) learnt_other = 1 }
    /^busy press / {
      # A block that held every press s pass phrase in turn.
      delete now
      for (f = 5; f <= NF; ++f) now[$f] = 1
      if ($3 == 1) { for (b in now) held[b] = 1 }
      else { for (b in held) if (!(b in now)) delete held[b] }
    }
    /^press / { phrase = $2 }
    /^  (ansi|utf16) / {
      place = $0
      if (phrase == 1 && $1 == "ansi" && $3 == "teb" && $4 == "main") offset = substr($5, 2)
      if (phrase == presses && $1 == "utf16" && / busy block /) shown = 1
      if (phrase < presses && / freed block /) freed = 1
      if (phrase < presses && / busy block /) undo = 1
      if ($3 == "private") private_ = 1
    }
    END {
      inplace = 0; for (b in held) inplace = 1
      printf "heap=%d learnt_one=%d offset=%s shown=%d inplace=%d freed=%d undo=%d private=%d\n",
        heap, !learnt_other, (offset == "" ? "none" : offset), shown, inplace, freed, undo, private_
    }' "$logs/run-$i.txt"
done)
echo "$summary"
count() { grep -c -- "$1" <<<"$summary"; }
offsets=$(grep -o 'offset=[^ ]*' <<<"$summary" | sort | uniq -c \
  | awk '{sub("offset=", "", $2); printf "%s%s in %d", (NR > 1 ? ", " : ""), $2, $1}')
of="of $RUNS runs"

table=$(cat <<EOF
| copy, after $PRESSES presses | found in |
|---|---|
| the first pass phrase, 8-bit, in the main thread's own block | $(count 'offset=0x') $of; bytes past the thread's TEB: $offsets |
| the pass phrase on show, UTF-16, in a busy heap block | $(count 'shown=1') $of |
| one busy heap block that held each press's pass phrase in turn (a buffer written over in place) | $(count 'inplace=1') $of |
| an earlier pass phrase in a freed heap block | $(count 'freed=1') $of |
| an earlier pass phrase in a busy heap block (an undo copy) | $(count 'undo=1') $of |
| a copy the probe could place only as private memory | $(count 'private=1') $of |
| each press brought exactly one new pass phrase into memory | $(count 'learnt_one=1') $of |
| the probe read the heap's blocks (its own check) | $(count 'heap=1') $of |
EOF
)
echo "$table"
if [ -n "${APP_EXE:-}" ]; then
  echo "memory: APP_EXE is another program; docs/security.md is left as it is"
  exit 0
fi
"$root/tools/figures" write "memory $VORNELLE_ARCH" \
  "RUNS=$RUNS runs of PRESSES=$PRESSES presses, 500 ms after each" <<<"$table"
