#!/bin/bash
# Soak run of the real program: PRESSES presses of the generate button from
# outside (default 100,000), each followed by a read of the text box. Every pass
# phrase must be valid and all distinct, resident memory may grow by at most
# 512 KiB after a warm-up of WARMUP presses (default 5,000), and the dialog must
# still close with exit code 0. See bench/tools/soak_driver.cpp.
#   bench/soak.sh [BUILD]        BUILD defaults to build/bench/ARCH
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
# The architecture measured: i686 where this machine runs 32-bit programs,
# else x86_64 (ARCH chooses); its own build folder and Wine prefix.
ARCH=${ARCH:-$(.ci/can-run --preferred)}
BUILD=${1:-${BUILD:-build/bench/$ARCH}}
PRESSES=${PRESSES:-100000}
WARMUP=${WARMUP:-5000}
export WINEPREFIX=${WINEPREFIX:-$root/$BUILD/wineprefix}
app=${APP_EXE:-$BUILD/app/vornelle.exe}

.ci/setup || exit 1
[ -f "$BUILD/CMakeCache.txt" ] || cmake --preset "$ARCH" -B "$BUILD" >/dev/null || exit 1
cmake --build "$BUILD" -j 2 --target soak_driver wine_keepalive >/dev/null || exit 1
[ -n "${APP_EXE:-}" ] || cmake --build "$BUILD" -j 2 --target vornelle >/dev/null \
  || { echo "soak: vornelle.exe does not build" >&2; exit 1; }
exec .ci/wine-session --keepalive "$BUILD/tests/support/wine_keepalive.exe" \
  wine "$BUILD/bench/soak_driver.exe" "$app" "$PRESSES" --warmup "$WARMUP" --max-growth-kib 512
