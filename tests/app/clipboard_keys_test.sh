#!/bin/bash
# Copies from vornelle.exe's text box with real X input (xdotool) as a person
# would: Ctrl+C, Ctrl+Insert and the context menu's Copy, of the whole pass
# phrase, of a part selected with Shift+arrows, and of an empty selection;
# clipboard_tool reads the clipboard from another program after each.
# Prints "N passed, N failed". There is no window manager: the keyboard goes
# to the window under the pointer.
#   usage: clipboard_keys_test.sh VORNELLE_EXE VORNELLE_PROBE_EXE CLIPBOARD_TOOL_EXE
set -u
exe=$1
probe_exe=$2
tool_exe=$3
passed=0
failed=0
pid=

if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  echo "clipboard_keys_test: no X display (run it inside .ci/wine-session)" >&2
  exit 1
fi

check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then
    echo "ok - $what"; passed=$((passed + 1))
  else
    echo "FAIL - $what"; failed=$((failed + 1))
  fi
}

probe() { wine "$probe_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
tool() { wine "$tool_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

before="on the clipboard before the copy"
unmarked="missing missing missing"
marked="0 0 0"  # the DWORD 0 in each of the three formats

# Waits up to 5 s for the clipboard's text to be $1, then checks that its
# marks are $2; says what it found otherwise.
clipboard_is() {
  local text marks i
  for i in $(seq 1 50); do
    text=$(tool text)
    [ "$text" = "$1" ] && break
    sleep 0.1
  done
  marks=$(tool marks)
  [ "$text" = "$1" ] && [ "$marks" = "$2" ] && return 0
  echo "  clipboard: '$text', marks: $marks" >&2
  return 1
}

# The clipboard keeps $before for a while after a key that should not copy.
clipboard_keeps_before() { sleep 0.5; clipboard_is "$before" "$unmarked"; }

same_text() { [ "$(probe text)" = "$1" ]; }
focus_is() { [ "$(probe focus)" = "$1" ]; }

# Waits for the text box to show a pass phrase; prints it.
first_passphrase() {
  local text i
  for i in $(seq 1 50); do
    text=$(probe text)
    if [[ $text =~ ^[0-9A-Za-z]{63}$ ]]; then echo "$text"; return 0; fi
    sleep 0.1
  done
  echo "$text"
  return 1
}

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

wine "$exe" </dev/null >/dev/null 2>&1 &
pid=$!
if ! rect=$(probe window); then
  check "the dialog appears" false
  echo "$passed passed, $failed failed"
  exit 1
fi
read -r left top right bottom <<<"$rect"
# The pointer goes over the dialog first, so that the keyboard goes there too.
xdotool mousemove --sync $(((left + right) / 2)) $(((top + bottom) / 2))
sleep 0.3
read -r button_x button_y <<<"$(probe button)"
xdotool mousemove --sync "$button_x" "$button_y" click 1
passphrase=$(first_passphrase)
check "a click shows a pass phrase" [ ${#passphrase} -eq 63 ]

# Tab into the box selects all of its text, as the dialog does for a text box.
xdotool key Tab
sleep 0.3
check "Tab moves the focus to the text box" focus_is 101

tool put "$before"
xdotool key ctrl+c
check "Ctrl+C copies the pass phrase, marked private" clipboard_is "$passphrase" "$marked"

tool put "$before"
xdotool key ctrl+Insert
check "Ctrl+Insert copies the pass phrase, marked private" clipboard_is "$passphrase" "$marked"

# The last ten characters, selected from the end with Shift+Left.
xdotool key End
for i in $(seq 1 10); do xdotool key shift+Left; done
tool put "$before"
xdotool key ctrl+c
check "Ctrl+C copies just the selected part, marked private" \
  clipboard_is "${passphrase:53}" "$marked"

# The caret alone: nothing to copy.
xdotool key End
tool put "$before"
xdotool key ctrl+c ctrl+Insert
check "Ctrl+C and Ctrl+Insert with nothing selected leave the clipboard alone" \
  clipboard_keeps_before
xdotool key shift+Home ctrl+c
check "then Shift+Home and Ctrl+C copy the whole pass phrase" \
  clipboard_is "$passphrase" "$marked"

# The context menu of the box (right click on it), and its Copy with its key.
# The box lies 31 pixels above the button's middle (client y 61 against 92).
tool put "$before"
xdotool mousemove --sync "$button_x" $((button_y - 31)) click 3
sleep 0.7
xdotool key c
check "the context menu's Copy copies the pass phrase, marked private" \
  clipboard_is "$passphrase" "$marked"

check "the box still shows the pass phrase" same_text "$passphrase"
check "the focus is still in the box" focus_is 101
xdotool mousemove --sync $(((left + right) / 2)) $(((top + bottom) / 2)) key alt+F4
check "Alt+F4 ends the program with exit code 0" ended_with_zero
check "the copied pass phrase stays on the clipboard" clipboard_is "$passphrase" "$marked"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
