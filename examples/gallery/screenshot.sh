#!/bin/bash
# Takes the screenshot of the gallery shown in the README (docs/gallery.png):
# starts the built vornelle_gallery.exe on a virtual display, saves a picture
# of its dialog and closes it with Alt+F4.
#   usage: examples/gallery/screenshot.sh BUILD_FOLDER [OUTPUT.png]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != --inside ]; then
  build=$(cd "${1:-build/i686}" && pwd)
  out=$(realpath -m "${2:-$root/docs/gallery.png}")
  [ -e "$build/examples/gallery/vornelle_gallery.exe" ] || {
    echo "screenshot: $build/examples/gallery/vornelle_gallery.exe is not built" >&2; exit 1; }
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
  exec "$root/.ci/wine-session" "$0" --inside "$build" "$out"
fi

# Inside the session, on the virtual display.
. "$root/.ci/window-tools.sh"
build=$2
out=$3
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
