#!/bin/bash
# Takes the screenshot of the gallery shown in the README (docs/gallery.png):
# starts the built vornelle_gallery.exe on a virtual display, saves a picture
# of its dialog and closes it with Alt+F4.
#   usage: examples/gallery/screenshot.sh BUILD_FOLDER [OUTPUT.png]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != --inside ]; then
  build=$(cd "${1:-build/mingw}" && pwd)
  out=$(realpath -m "${2:-$root/docs/gallery.png}")
  [ -e "$build/examples/gallery/vornelle_gallery.exe" ] || {
    echo "screenshot: $build/examples/gallery/vornelle_gallery.exe is not built" >&2; exit 1; }
  export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
  exec "$root/.ci/wine-session" "$0" --inside "$build" "$out"
fi

# Inside the session, on the virtual display.
build=$2
out=$3
wine "$build/examples/gallery/vornelle_gallery.exe" </dev/null >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --name '^Vornelle toolkit gallery$' 2>/dev/null | head -n 1)
if [ -z "$window" ]; then
  echo "screenshot: the gallery did not appear" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"
# The pointer over the title bar brings the keyboard there (no window manager).
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + 8))
sleep 1
mkdir -p "$(dirname "$out")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "screenshot: $out"
xdotool key alt+F4
wait "$pid"
rc=$?
echo "screenshot: the gallery ended with exit code $rc"
exit $rc
