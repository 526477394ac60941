#!/bin/bash
# Statistical checks, on demand:
#  1. chi_squared: 10^6 pass phrases from the secure source, per position and
#     overall (must pass); the same count from the time-seeded generator, for
#     comparison.
#  2. dieharder on the secure source's draw stream (must pass: no FAILED) and,
#     with the same tests, on the time-seeded generator's draws (the negative
#     control: must fail at least one test).
# Environment: COUNT (pass phrases, default 1000000), TESTS (dieharder test
# list, default below). Runs inside the Wine session of a build folder, as
# `make stats` starts it (tools/setup stats installs dieharder):
#   tools/in-session ARCH --build build/bench --setup stats chi_squared draw_stream \
#     -- bench/stats/run.sh
set -uo pipefail
BUILD=${VORNELLE_BUILD:?run through make stats (tools/in-session)}
COUNT=${COUNT:-1000000}
# Chosen to finish in minutes on the secure stream (about 30 MB/s under Wine):
# birthdays, OPERM5, 32x32 and 6x8 binary rank, count-the-1s stream, runs,
# STS monobit, runs and serial (n = 1..16), RGB bit distribution (n = 4),
# byte distribution, DAB DCT, DAB monobit 2.
TESTS=${TESTS:-"0 1 2 3 8 15 100 101 102 200:4 205 206 209"}

bin=$BUILD/bench/stats
logs=$BUILD/bench/stats/logs
mkdir -p "$logs"
status=0

echo "== chi-squared, $COUNT pass phrases, 61 degrees of freedom"
for source in secure lcg; do
  wine "$bin/chi_squared.exe" --count "$COUNT" --source "$source" > "$logs/chi_squared.$source.log"
  rc=$?
  sed 's/^/  /' "$logs/chi_squared.$source.log"
  [ "$source" = secure ] && [ $rc != 0 ] && status=1
done

run_dieharder() {  # SOURCE -> log, one dieharder run per test
  local source=$1 t d n
  : > "$logs/dieharder.$source.log"; : > "$logs/dieharder.$source.final"
  for t in $TESTS; do
    d=${t%%:*}; n=()
    [ "$t" != "$d" ] && n=(-n "${t#*:}")
    wine "$bin/draw_stream.exe" "$source" 2>/dev/null \
      | dieharder -g 200 -d "$d" "${n[@]}" -Y 1 > "$logs/one.log" 2>&1
    cat "$logs/one.log" >> "$logs/dieharder.$source.log"
    # -Y 1 prints every round of a re-run; the verdict is the last round, the
    # one with the most p-samples. A test that gave no result (or ran out of
    # input) counts as failed.
    if ! grep -qE 'PASSED|WEAK|FAILED' "$logs/one.log" || grep -q 'Error' "$logs/one.log"; then
      echo "  | no result for test $t |||| FAILED" >> "$logs/dieharder.$source.final"
    else
      awk -F'|' '/PASSED|WEAK|FAILED/ {line[NR] = $0; ps[NR] = $4 + 0; if ($4 + 0 > max) max = $4 + 0}
                 END {for (i in line) if (ps[i] == max) print line[i]}' "$logs/one.log" \
        | sort -t'|' -k2,2n >> "$logs/dieharder.$source.final"
    fi
  done
  rm -f "$logs/one.log"
}
summary() {  # LOG -> "P passed, W weak, F failed"
  awk -F'|' '/PASSED|WEAK|FAILED/ {gsub(/ /, "", $6); c[$6]++}
             END {printf "%d passed, %d weak, %d failed\n", c["PASSED"], c["WEAK"], c["FAILED"]}' "$1"
}

for source in secure lcg; do
  start=$(date +%s)
  run_dieharder "$source"
  echo "== dieharder -g 200 -Y 1, tests: $TESTS; $source draws ($(( $(date +%s) - start )) s)"
  echo "  final verdicts: $(summary "$logs/dieharder.$source.final")"
  echo "  every round of -Y 1: $(summary "$logs/dieharder.$source.log")"
  grep -E 'FAILED' "$logs/dieharder.$source.final" | awk -F'|' '{n = $1 ~ /^ *$/ ? $2 : $1; gsub(/^ +| +$/, "", n); print n}' \
    | sort | uniq -c | sed 's/^/  failed: /'
done
secure_failed=$(grep -c FAILED "$logs/dieharder.secure.final")
lcg_failed=$(grep -c FAILED "$logs/dieharder.lcg.final")
secure_results=$(grep -cE 'PASSED|WEAK' "$logs/dieharder.secure.final")
if [ "$secure_failed" != 0 ] || [ "$secure_results" = 0 ]; then
  echo "FAIL: the secure source failed dieharder"; status=1
fi
if [ "$lcg_failed" = 0 ]; then
  echo "FAIL: the negative control passed: the harness cannot tell"; status=1
fi
echo "logs: $logs"
[ $status = 0 ] && echo "result PASS" || echo "result FAIL"
exit $status
