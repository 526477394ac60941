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
source "$(dirname "$0")/x_input_support.sh"

tool() { wine "$tool_exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }

before="on the clipboard before the copy"
unmarked="missing missing missing"
marked="0 0 0"  # the DWORD 0 in each of the three formats

# Waits up to 5 s for the clipboard's text to be $1, then checks that its
# marks are $2; says what it found otherwise.
clipboard_text=
clipboard_text_is() { clipboard_text=$(tool text); [ "$clipboard_text" = "$1" ]; }
clipboard_is() {
  local text marks
  wait_until 5 clipboard_text_is "$1"
  text=$clipboard_text
  marks=$(tool marks)
  [ "$text" = "$1" ] && [ "$marks" = "$2" ] && return 0
  echo "  clipboard: '$text', marks: $marks" >&2
  return 1
}

# The clipboard is as it was at sequence number $1: nothing changed it since.
clipboard_unchanged_since() {
  local now
  now=$(tool sequence)
  [ "$now" = "$1" ] && clipboard_is "$before" "$unmarked" && return 0
  echo "  sequence number $1 became $now" >&2
  return 1
}

if ! start_program; then
  check "the dialog appears" false
  echo "$passed passed, $failed failed"
  exit 1
fi
read -r button_x button_y <<<"$(probe button)"
xdotool mousemove --sync "$button_x" "$button_y" click 1
passphrase=$(new_passphrase "")
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

# The caret alone: nothing to copy. Shift+Home after the copy keys selects
# the whole text; once the box shows that selection, the box has handled the
# keys before it too (its keys arrive in order), and the clipboard's sequence
# number, which any change of the clipboard advances, must be the same.
xdotool key End
tool put "$before"
sequence=$(tool sequence)
xdotool key ctrl+c ctrl+Insert shift+Home
check "the box handles the keys up to Shift+Home" probe_becomes selection "0 63"
check "Ctrl+C and Ctrl+Insert with nothing selected leave the clipboard alone" \
  clipboard_unchanged_since "$sequence"
xdotool key ctrl+c
check "then Ctrl+C copies the whole pass phrase" \
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
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) key alt+F4
check "Alt+F4 ends the program with exit code 0" ended_with_zero
check "the copied pass phrase stays on the clipboard" clipboard_is "$passphrase" "$marked"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
