#!/bin/bash
# `make run`: starts the built vornelle.exe under Wine on the X display, or,
# without one, on a virtual display where it presses the button once, saves a
# screenshot of the dialog (its path is printed) and closes the program.
#   usage: app/run.sh BUILD_FOLDER
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" != --demo ]; then
  build=$(cd "${1:-build/i686}" && pwd)
  exe=$build/app/vornelle.exe
  [ -e "$exe" ] || { echo "run: $exe is not built" >&2; exit 1; }
  # The build folder's own prefix, which also tells the session its architecture.
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    VORNELLE_USE_DISPLAY=1 exec "$root/.ci/wine-session" wine "$exe"
  fi
  echo "run: no X display; running on a virtual one and taking a screenshot" >&2
  exec "$root/.ci/wine-session" "$0" --demo "$build"
fi

# Inside the session, on the virtual display.
. "$root/.ci/window-tools.sh"
build=$2
shot=$build/screenshot.png
start_window_program "$build/app/vornelle.exe" '^Vornelle   v 1\.0$' || exit 1
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
