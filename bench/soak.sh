#!/bin/bash
# Soak run of the real program: PRESSES presses of the generate button from
# outside (default 100,000), each followed by a read of the text box. Every pass
# phrase must be valid and all distinct, resident memory may grow by at most
# 512 KiB after a warm-up of WARMUP presses (default 5,000), and the dialog must
# still close with exit code 0. See tests/soak/soak_driver.cpp. APP_EXE soaks
# another vornelle.exe. Runs inside the Wine session of a build folder, as
# `make soak` starts it:
#   tools/in-session ARCH --build build/bench vornelle soak_driver -- bench/soak.sh
set -uo pipefail
BUILD=${VORNELLE_BUILD:?run through make soak (tools/in-session)}
PRESSES=${PRESSES:-100000}
WARMUP=${WARMUP:-5000}
app=${APP_EXE:-$BUILD/app/vornelle.exe}
echo "soak: $PRESSES presses of $app ($VORNELLE_ARCH), warm-up $WARMUP" >&2
exec wine "$BUILD/tests/soak/soak_driver.exe" "$app" "$PRESSES" --warmup "$WARMUP" --max-growth-kib 512
