#!/bin/bash
# Drives vornelle.exe with real X input (xdotool) as a person would: click,
# Space, Tab, typing and Esc, then Alt+F4, the caption's close button and the
# system menu's Close each end it with exit code 0. Prints "N passed, N failed".
# vornelle_probe tells where things are on screen. There is no window manager:
# the keyboard goes to the window under the pointer.
#   usage: x_input_test.sh VORNELLE_EXE VORNELLE_PROBE_EXE
set -u
exe=$1
probe_exe=$2
source "$(dirname "$0")/x_input_support.sh"

still_running() { sleep 0.5; kill -0 "$pid" 2>/dev/null && probe window >/dev/null; }

click_button() {
  local point
  point=$(probe button) || return 1
  xdotool mousemove --sync $point click 1
}

# 1. Mouse, keyboard and Alt+F4.
if start_program; then
  check "the dialog's title reaches the X window" \
    bash -c 'xdotool search --name "$0" >/dev/null' "$title_pattern"
  click_button
  first=$(new_passphrase "")
  check "a mouse click on the button shows a pass phrase" is_passphrase "$first"
  xdotool key space
  second=$(new_passphrase "$first")
  check "Space on the focused button shows another pass phrase" \
    bash -c '[[ $0 =~ ^[0-9A-Za-z]{63}$ && $0 != $1 ]]' "$second" "$first"
  xdotool key Tab
  check "Tab moves the focus to the text box" focus_becomes 101
  xdotool type --delay 50 'abc 123'
  xdotool key BackSpace Delete ctrl+v ctrl+x
  xdotool key Tab
  check "Tab moves the focus back to the button" focus_becomes 102
  check "typing into the text box changes nothing" same_text "$second"
  xdotool key Escape
  check "Esc leaves the dialog open" still_running
  xdotool key alt+F4
  check "Alt+F4 ends the program with exit code 0" ended_with_zero
else
  check "the dialog appears" false
fi

# 2. The caption's close button.
if start_program; then
  click_button
  check "a mouse click shows a pass phrase" is_passphrase "$(new_passphrase "")"
  point=$(probe close-button)
  check "the caption has a close button" test -n "$point"
  [ -n "$point" ] && xdotool mousemove --sync $point click 1
  check "the caption's close button ends the program with exit code 0" ended_with_zero
else
  check "the dialog appears" false
fi

# 3. The system menu's Close: Alt+Space opens the menu, C chooses Close.
if start_program; then
  xdotool key alt+space
  sleep 0.5
  xdotool key c
  check "the system menu's Close ends the program with exit code 0" ended_with_zero
else
  check "the dialog appears" false
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
