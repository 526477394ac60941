# Shared by the scripts that drive vornelle.exe with real X input: the display
# check, counting checks, the probe, starting the program with the pointer
# over its dialog, waiting for pass phrases and focus, and ending it.
# The sourcing script sets exe and probe_exe first; pid is the running
# program's, passed and failed count the checks.
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../tools" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../support/checks.sh"
source "$tools/lib/wait.sh"
source "$tools/lib/window.sh"
pid=
# The dialog's title as a pattern: the name, three spaces, "v " and the
# version, which release/version.py reads from the file VERSION.
version=$(python3 -I -B "$tools/../release/version.py") || exit 1
title_pattern="^Vornelle   v ${version//./\\.}\$"

if ! "$tools/has-display"; then
  echo "$(basename "$0" .sh): no X display (run it inside tools/in-session)" >&2
  exit 1
fi

probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

is_passphrase() { [[ $1 =~ ^[0-9A-Za-z]{63}$ ]]; }

# Waits for the text box to show a pass phrase other than $1; prints it.
shown=
shows_new_passphrase() { shown=$(probe text); is_passphrase "$shown" && [ "$shown" != "$1" ]; }
new_passphrase() {
  local status=0
  wait_until 5 shows_new_passphrase "$1" || status=1
  echo "$shown"
  return $status
}

same_text() { [ "$(probe text)" = "$1" ]; }

# The control with the focus is $1 now ...
focus_is() { [ "$(probe focus)" = "$1" ]; }

# What the probe prints for $1 becomes $2 within 5 s; says what it was if not.
probe_says() { [ "$(probe "$1")" = "$2" ]; }
probe_becomes() {
  wait_until 5 probe_says "$1" "$2" && return 0
  echo "  $1: $(probe "$1")" >&2
  return 1
}

# ... or within 5 s.
focus_becomes() { probe_becomes focus "$1"; }

# Starts the program and puts the pointer over its dialog, so that the
# keyboard goes there too (there is no window manager); false when no dialog
# appears.
start_program() {
  start_window_program "$exe" "$title_pattern" || return 1
  pid=$program_pid
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  sleep 0.3
}

# Waits up to 10 s for the program to end; true when it ended with code 0.
program_ended() { ! kill -0 "$pid" 2>/dev/null; }
ended_with_zero() {
  local rc
  if ! wait_until 10 program_ended; then
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
