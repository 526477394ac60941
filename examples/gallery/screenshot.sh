#!/bin/bash
# Takes the screenshot of the gallery shown in the README (docs/gallery.png,
# or FILE): starts the built vornelle_gallery.exe on the session's virtual
# display, saves a picture of its dialog and closes it with Alt+F4. Runs
# inside the Wine session of a build folder, as `make screenshot` starts it:
#   .ci/in-session --preferred vornelle_gallery -- examples/gallery/screenshot.sh [FILE]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VORNELLE_BUILD:?run through make screenshot (.ci/in-session)}
out=$(realpath -m "${1:-$root/docs/gallery.png}")

. "$root/.ci/window-tools.sh"
start_window_program "$build/examples/gallery/vornelle_gallery.exe" \
  '^Vornelle toolkit gallery$' || exit 1
# The pointer over the title bar brings the keyboard there (no window manager).
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + 8))
sleep 1
grab_window "$out"
echo "screenshot: $out"
close_window_program
rc=$?
echo "screenshot: the gallery ended with exit code $rc"
exit $rc
