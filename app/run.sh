#!/bin/bash
# `make run`: starts the built vornelle.exe under Wine on the session's display
# and waits for it to end. With --screenshot (`make run` without an X display,
# `make screenshot`) it presses the button once instead, saves a picture of
# the dialog to FILE (default: screenshot.png in the build folder; its path is
# printed) and closes the program. Runs inside the Wine session of a build
# folder, as make starts it:
#   .ci/in-session --preferred [--display] vornelle -- app/run.sh [--screenshot [FILE]]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VORNELLE_BUILD:?run through make run (.ci/in-session)}
exe=$build/app/vornelle.exe
echo "run: vornelle.exe for $VORNELLE_ARCH" >&2
if [ "${1:-}" != --screenshot ]; then
  exec wine "$exe"
fi

# On the virtual display.
. "$root/.ci/window-tools.sh"
shot=$(realpath -m "${2:-$build/screenshot.png}")
start_window_program "$exe" '^Vornelle   v 1\.0$' || exit 1
# The pointer over the dialog brings the keyboard there (no window manager);
# the button has the focus, so Space presses it.
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + 10))
sleep 0.5
xdotool key space
sleep 1
grab_window "$shot"
echo "run: screenshot of the dialog after one press: $shot"
close_window_program
rc=$?
echo "run: vornelle.exe ended with exit code $rc"
exit $rc
