# Shell helpers for scripts that start a Windows program inside the project's
# Wine session and work its window with X tools. Source this file; functions
# report their own errors and return non-zero on failure.

# start_window_program EXE TITLE_REGEX: starts EXE under Wine and waits (30 s
# at most) for its window. Sets program_pid, window (the X window id) and X, Y,
# WIDTH, HEIGHT (its geometry, frame included).
start_window_program() {
  wine "$1" </dev/null >/dev/null 2>&1 &
  program_pid=$!
  window=$(timeout 30 xdotool search --sync --name "$2" 2>/dev/null | head -n 1)
  if [ -z "$window" ]; then
    echo "$(basename "$0"): no window titled '$2' appeared" >&2
    kill "$program_pid" 2>/dev/null
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window")"
}

# grab_window FILE: saves a picture of the window found by start_window_program.
grab_window() {
  mkdir -p "$(dirname "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
}

# close_window_program: Alt+F4 to the window, then its exit code.
close_window_program() {
  xdotool key alt+F4
  wait "$program_pid"
}
