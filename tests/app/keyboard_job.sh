#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A small job driven by the keyboard alone through a real X server: the
# Device menu by its accelerator, the device by its key, a file named on the
# command line, Write and Verify from the Action menu, Ctrl+Q. Each box's
# text is read back with Ctrl+C from the clipboard. Skips (77) only when no X
# server can be started.
set -uo pipefail

source "$(dirname "$0")/x_session.sh"
prepare_job xclip
start_x 1024x768

# There is no window manager: keyboard focus is given to the window by hand.
keys_to() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" || fail "cannot focus window $id"
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.2
  done
}

# Waits for the message box, copies its text, presses Enter; prints the text.
# A menu that is still closing bears the same name but copies nothing: then
# it tries again.
read_box() {
  local box text=
  for _ in $(seq 10); do
    box=$(window_named '^lpt51$') || fail "no message box came up"
    echo -n | xclip -selection clipboard
    keys_to "$box" ctrl+c
    text=$(timeout 5 xclip -o -selection clipboard 2>/dev/null)
    [ -n "$text" ] && break
    sleep 0.3
  done
  [ -n "$text" ] || fail "no message box text could be copied"
  keys_to "$box" Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name '^lpt51$' >/dev/null 2>&1 || break
    sleep 0.1
  done
  echo "$text"
}

cd "$work"
./lpt51 --port "sim:$work/chip.state" --sim-chip 12v --sim-timing virtual prog.hex >app.log 2>&1 &
app_pid=$!
main=$(window_named "$work/prog\\.hex") || fail "the window did not show prog.hex in its title"

keys_to "$main" alt+d 1
keys_to "$main" alt+a w
written=$(read_box)
[ "$written" = "File was burn !" ] || fail "after Write Chip the box said '$written'"

keys_to "$main" alt+a v
verified=$(read_box)
[ "$verified" = "File Check successful!" ] || fail "after Verify Chip the box said '$verified'"

keys_to "$main" ctrl+q
wait_app "Ctrl+Q did not end the program"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "keyboard job: written, verified and ended by Ctrl+Q"
