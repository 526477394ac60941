# Shared by the scripts that drive vornelle.exe with real X input: the display
# check, counting checks, the probe, starting the program with the pointer
# over its dialog, waiting for pass phrases and focus, and ending it.
# The sourcing script sets exe and probe_exe first; pid is the running
# program's, passed and failed count the checks.
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
pid=

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "$(basename "$0" .sh): no X display (run it inside .ci/in-session)" >&2
  exit 1
fi

probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

is_passphrase() { [[ $1 =~ ^[0-9A-Za-z]{63}$ ]]; }

# Waits for the text box to show a pass phrase other than $1; prints it.
new_passphrase() {
  local text i
  for i in $(seq 1 50); do
    text=$(probe text)
    if is_passphrase "$text" && [ "$text" != "$1" ]; then echo "$text"; return 0; fi
    sleep 0.1
  done
  echo "$text"
  return 1
}

same_text() { [ "$(probe text)" = "$1" ]; }

# The control with the focus is $1 now ...
focus_is() { [ "$(probe focus)" = "$1" ]; }

# What the probe prints for $1 becomes $2 within 5 s; says what it was if not.
probe_becomes() {
  local i
  for i in $(seq 1 50); do
    [ "$(probe "$1")" = "$2" ] && return 0
    sleep 0.1
  done
  echo "  $1: $(probe "$1")" >&2
  return 1
}

# ... or within 5 s.
focus_becomes() { probe_becomes focus "$1"; }

# Starts the program and puts the pointer over its dialog, so that the
# keyboard goes there too (there is no window manager); false when no dialog
# appears.
start_program() {
  wine "$exe" </dev/null >/dev/null 2>&1 &
  pid=$!
  local rect
  rect=$(probe window) || return 1
  read -r left top right bottom <<<"$rect"
  xdotool mousemove --sync $(((left + right) / 2)) $(((top + bottom) / 2))
  sleep 0.3
}

# Waits up to 10 s for the program to end; true when it ended with code 0.
ended_with_zero() {
  local i rc
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=
    echo "  the program is still running" >&2
    return 1
  fi
  wait "$pid"; rc=$?; pid=
  [ "$rc" -eq 0 ] || echo "  exit code $rc" >&2
  [ "$rc" -eq 0 ]
}

finish() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; }
trap finish EXIT
