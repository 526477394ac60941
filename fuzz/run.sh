#!/bin/bash
# Builds the fuzz targets natively with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded number of inputs. On
# demand only (`make fuzz`); not part of `make test`. Native programs: no Wine
# session.
#   usage: fuzz/run.sh [TARGET...]
#          (targets: command_tail text dialog_template; default all three)
#   FUZZ_RUNS   inputs per target (default 1000000)
#   FUZZ_OUT    build and corpus folder (default build/fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_OUT:-$root/build/fuzz}
runs=${FUZZ_RUNS:-1000000}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(command_tail text dialog_template)

# clang and its sanitizer and libFuzzer runtimes come from `tools/setup fuzz`.
command -v clang++ >/dev/null \
  || { echo "fuzz: clang++ is missing; make fuzz installs it (tools/setup fuzz)" >&2; exit 1; }

flags=(-std=c++14 -g -O1 -Wall -Wextra -Werror
       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I "$root")
mkdir -p "$out"

build() {
  case $1 in
    command_tail)
      clang++ "${flags[@]}" -o "$out/command_tail_fuzz" \
        "$root/fuzz/command_tail_fuzz.cpp" "$root/runtime/command_tail.cpp" ;;
    text)
      # The text code is pure; only the allocator is the harness's own.
      clang++ "${flags[@]}" -o "$out/text_fuzz" \
        "$root/fuzz/text_fuzz.cpp" "$root/fuzz/host_system_memory.cpp" \
        "$root/runtime/text.cpp" "$root/runtime/runtime_error.cpp" ;;
    dialog_template)
      # The template builder is the toolkit's pure part: no platform header.
      clang++ "${flags[@]}" -o "$out/dialog_template_fuzz" \
        "$root/fuzz/dialog_template_fuzz.cpp" "$root/toolkit/dialog_template.cpp" ;;
    *) echo "fuzz: unknown target $1" >&2; exit 2 ;;
  esac
}

status=0
for t in "${targets[@]}"; do
  build "$t"
  mkdir -p "$out/corpus-$t"
  echo "fuzz: $t, $runs inputs" >&2
  rc=0
  # Inputs of the text target are programs of operations: 1 KiB is plenty.
  limits=()
  [ "$t" = text ] && limits=(-max_len=1024)
  (cd "$out" && "./${t}_fuzz" -runs="$runs" "${limits[@]}" -print_final_stats=1 "corpus-$t" \
     >"$t.log" 2>&1) || rc=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/$t.log" >&2 || true
  if [ $rc -ne 0 ]; then
    tail -n 40 "$out/$t.log" >&2
    echo "fuzz: $t FAILED (exit $rc, log $out/$t.log)" >&2
    status=1
  else
    echo "fuzz: $t passed" >&2
  fi
done
exit $status
